#pragma once
// Message maps: a class that says DECLARE_MESSAGE_MAP() and has a BEGIN_MESSAGE_MAP(class, base) ...
// END_MESSAGE_MAP() table gets its messages through the table's entries, most derived class first; a
// message no entry of the class takes goes on to the base class's table, and one that no table takes
// goes to the window's default procedure (CWnd::DefWindowProc).
//
// Each entry names its handler with the class library's macros (ON_WM_PAINT(), ON_COMMAND(id, fn),
// ON_NOTIFY(code, id, fn), ...). An entry is a typed thunk: the handler must have exactly the signature
// that its macro states, or the table does not compile. The first entry that matches a message takes it;
// the _EX forms of reflected notifications answer whether they handled it (FALSE lets the parent see it).

#include <type_traits>

#include "classlib/Object.h"
#include "crt/Types.h"
#include "user/Messages.h"

class CCmdTarget;

// Reflected messages: what a parent gets from a control comes back to the control as this offset plus the
// message, first.
#define WM_REFLECT_BASE 0xBC00
// The control-colour messages (WM_CTLCOLORMSGBOX .. WM_CTLCOLORSTATIC) as one map entry; the handler gets
// CTLCOLOR_* as the kind.
#define WM_CTLCOLOR 0x0019
#define CTLCOLOR_MSGBOX 0
#define CTLCOLOR_EDIT 1
#define CTLCOLOR_LISTBOX 2
#define CTLCOLOR_BTN 3
#define CTLCOLOR_DLG 4
#define CTLCOLOR_SCROLLBAR 5
#define CTLCOLOR_STATIC 6

// Marks message handlers in class declarations.
#define afx_msg

namespace afx {

// A message on its way to a handler, and the handler's answer.
struct Message {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result = 0;
};

// Calls one handler; false when the handler did not take the message.
using Thunk = bool (*)(CCmdTarget* target, Message& message);

// The class that declares a member function.
template <typename C, typename R, typename... A>
C* ClassOfMember(R (C::*)(A...));
template <auto Fn>
using ClassOf = std::remove_pointer_t<decltype(ClassOfMember(Fn))>;

template <typename C, typename Signature>
struct MemberPointer;
template <typename C, typename R, typename... A>
struct MemberPointer<C, R(A...)> {
    using Type = R (C::*)(A...);
};

// True when the handler has exactly that signature.
template <auto Fn, typename Signature>
inline constexpr bool kHasSignature =
    std::is_same_v<decltype(Fn), typename MemberPointer<ClassOf<Fn>, Signature>::Type>;

template <auto Fn>
ClassOf<Fn>* Target(CCmdTarget* target) {
    return static_cast<ClassOf<Fn>*>(target);
}

} // namespace afx

struct AFX_MSGMAP_ENTRY {
    UINT nMessage; // the message, WM_COMMAND, WM_NOTIFY, WM_CTLCOLOR, or WM_REFLECT_BASE plus one of them
    UINT nCode;    // the notification code of WM_COMMAND and WM_NOTIFY entries
    UINT nID;      // the first control or command id
    UINT nLastID;  // the last id of a range
    afx::Thunk pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// The base of every class with a message map.
class CCmdTarget : public CObject {
    DECLARE_DYNAMIC(CCmdTarget)
public:
    CCmdTarget() = default;
    ~CCmdTarget() override = default;

    // The first entry of this object's maps (most derived first) that takes a message of this kind.
    const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT message, UINT code, UINT id) const;

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};

#define DECLARE_MESSAGE_MAP()                                                                                \
protected:                                                                                                   \
    static const AFX_MSGMAP* GetThisMessageMap();                                                            \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                               \
    const AFX_MSGMAP* theClass::GetMessageMap() const {                                                      \
        return GetThisMessageMap();                                                                          \
    }                                                                                                        \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                                                        \
        using ThisClass = theClass;                                                                          \
        using TheBaseClass = baseClass;                                                                      \
        static const AFX_MSGMAP_ENTRY messageEntries[] = {

#define END_MESSAGE_MAP()                                                                                    \
    { 0, 0, 0, 0, nullptr }                                                                                  \
    }                                                                                                        \
    ;                                                                                                        \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &messageEntries[0]};             \
    return &messageMap;                                                                                      \
    }

// The thunks that crack each kind of message into its handler's arguments are declared with CWnd
// (classlib/Wnd.h), which the handlers' argument types need.
