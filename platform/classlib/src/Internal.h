#pragma once
// What the class library's sources share: attaching windows at their creation, the window handle map,
// and the temporary-object maps of the other handle kinds.

#include <memory>
#include <unordered_map>

#include "classlib/Wnd.h"

namespace classlib::detail {

// While it lives, the next window that this thread creates is attached to wnd and subclassed, before
// that window's first message. Nested creations (a window made by another one's WM_CREATE) each attach
// their own window.
class PendingCreation {
public:
    explicit PendingCreation(CWnd* wnd);
    ~PendingCreation();
    PendingCreation(const PendingCreation&) = delete;
    PendingCreation& operator=(const PendingCreation&) = delete;

    // Whether a window was attached to the object.
    bool Consumed() const;

private:
    CWnd* m_wnd;
    CWnd* m_previous;
};

CWnd* FindPermanent(HWND hwnd);
// The permanent object of the window when it is of the wanted class (NULL: any), else a temporary one of
// that class (which must be creatable by name) or a plain CWnd.
CWnd* FindOrMakeTemporary(HWND hwnd, const CRuntimeClass* wanted);

template <typename T>
T* TemporaryAs(HWND hwnd) {
    CWnd* wnd = FindOrMakeTemporary(hwnd, T::GetThisClass());
    return wnd && wnd->IsKindOf(T::GetThisClass()) ? static_cast<T*>(wnd) : nullptr;
}

// The object's access to what CWnd keeps private.
struct WndAccess {
    static void SetSuper(CWnd* wnd, WNDPROC proc) { wnd->m_pfnSuper = proc; }
    static WNDPROC Super(const CWnd* wnd) { return wnd->m_pfnSuper; }
};

// Makes the window's procedure AfxWndProc, keeping the old one as the object's super procedure.
void SubclassAttached(CWnd* wnd, HWND hwnd);

// Permanent and temporary wrappers of one kind of handle (menus, image lists) on one thread; Member is
// the wrapper's handle. Temporary wrappers never own their handles: the handle is taken out of one before
// it is deleted.
template <typename Handle, typename Object, Handle Object::*Member>
class HandleMap {
public:
    static HandleMap& ForThisThread() {
        // Never freed: objects of static storage may still detach in their destructors at the end.
        thread_local auto* map = new HandleMap;
        return *map;
    }

    void Add(Handle handle, Object* object) { m_permanent[handle] = object; }
    void Remove(Handle handle, const Object* object) {
        auto it = m_permanent.find(handle);
        if (it != m_permanent.end() && it->second == object)
            m_permanent.erase(it);
    }
    Object* FromHandle(Handle handle) {
        if (!handle)
            return nullptr;
        if (auto it = m_permanent.find(handle); it != m_permanent.end())
            return it->second;
        auto& slot = m_temporary[handle];
        if (!slot) {
            slot = std::make_unique<Object>();
            (*slot).*Member = handle;
        }
        return slot.get();
    }
    void DeleteTemporary() {
        auto doomed = std::move(m_temporary);
        m_temporary.clear();
        for (auto& [handle, object] : doomed)
            (*object).*Member = nullptr;
    }

private:
    std::unordered_map<Handle, Object*> m_permanent;
    std::unordered_map<Handle, std::unique_ptr<Object>> m_temporary;
};

} // namespace classlib::detail
