// CWnd: run-time classes, message maps and their chaining, OnWndMsg and Default, reflection to control
// objects, subclassing existing windows, the handle map and the end of a window's object.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "NoDigitsEdit.h"
#include "classlib/Controls.h"
#include "classlib/Wnd.h"
#include "kernel/Resources.h"
#include "user/WindowTest.h"

namespace {

using user::test::RunUntilIdle;

std::vector<std::string>& Log() {
    static std::vector<std::string> log;
    return log;
}

using user::test::OnScreen;

constexpr UINT kFirstCommand = 100;
constexpr UINT kRangeFirst = 200;
constexpr UINT kRangeLast = 209;
constexpr UINT kSum = WM_USER + 1;

// A base window with its own map; the derived one overrides some entries and chains to the base.
class CBaseWnd : public CWnd {
    DECLARE_DYNAMIC(CBaseWnd)
public:
    afx_msg void OnTimer(UINT_PTR nIDEvent) { Log().push_back("base timer " + std::to_string(nIDEvent)); }
    afx_msg void OnFirst() { Log().push_back("base first"); }
    afx_msg void OnRange(UINT nID) { Log().push_back("base range " + std::to_string(nID)); }

protected:
    DECLARE_MESSAGE_MAP()
};

IMPLEMENT_DYNAMIC(CBaseWnd, CWnd)

BEGIN_MESSAGE_MAP(CBaseWnd, CWnd)
ON_WM_TIMER()
ON_COMMAND(kFirstCommand, OnFirst)
ON_COMMAND_RANGE(kRangeFirst, kRangeLast, OnRange)
END_MESSAGE_MAP()

class CDerivedWnd : public CBaseWnd {
    DECLARE_DYNAMIC(CDerivedWnd)
public:
    afx_msg void OnTimer(UINT_PTR nIDEvent) {
        Log().push_back("derived timer");
        CBaseWnd::OnTimer(nIDEvent);
    }
    afx_msg LRESULT OnSum(WPARAM wParam, LPARAM lParam) { return static_cast<LRESULT>(wParam) + lParam; }
    afx_msg void OnRangeFive() { Log().push_back("derived 205"); }

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override {
        m_seen.push_back(message);
        if (message == m_swallow) {
            *pResult = 42;
            return TRUE;
        }
        return CBaseWnd::OnWndMsg(message, wParam, lParam, pResult);
    }

    std::vector<UINT> m_seen;
    UINT m_swallow = 0;

protected:
    DECLARE_MESSAGE_MAP()
};

IMPLEMENT_DYNAMIC(CDerivedWnd, CBaseWnd)

BEGIN_MESSAGE_MAP(CDerivedWnd, CBaseWnd)
ON_WM_TIMER()
ON_MESSAGE(kSum, OnSum)
ON_COMMAND(kRangeFirst + 5, OnRangeFive)
END_MESSAGE_MAP()

// The maps' thunks take a handler only with the signature of its macro.
static_assert(afx::kHasSignature<&CBaseWnd::OnRange, void(UINT)>);
static_assert(!afx::kHasSignature<&CBaseWnd::OnRange, void()>);
static_assert(!afx::kHasSignature<&CDerivedWnd::OnSum, LRESULT(WPARAM, WPARAM)>);

// A class without run-time class macros of its own.
class CPlainWnd : public CDerivedWnd {};

class WndTest : public user::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        Log().clear();
    }
    void TearDown() override {
        CWnd::DeleteTempMap();
        WindowTest::TearDown();
    }
    // A visible top-level window of the class library's own class, owned by the caller.
    static bool MakeFrame(CWnd& frame) {
        return frame.CreateEx(0, nullptr, u"Frame", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320, nullptr,
                              nullptr) != FALSE;
    }
};

TEST_F(WndTest, RunTimeClassesNameTheMostDerivedDeclaredClassAndItsBases) {
    CDerivedWnd derived;
    CPlainWnd plain;
    EXPECT_STREQ(derived.GetRuntimeClass()->m_lpszClassName, "CDerivedWnd");
    EXPECT_STREQ(plain.GetRuntimeClass()->m_lpszClassName, "CDerivedWnd");
    EXPECT_TRUE(derived.IsKindOf(RUNTIME_CLASS(CBaseWnd)));
    EXPECT_TRUE(derived.IsKindOf(RUNTIME_CLASS(CCmdTarget)));
    EXPECT_TRUE(derived.IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_FALSE(derived.IsKindOf(RUNTIME_CLASS(CListCtrl)));
    EXPECT_EQ(DYNAMIC_DOWNCAST(CBaseWnd, &derived), &derived);
    EXPECT_EQ(DYNAMIC_DOWNCAST(CEdit, &derived), nullptr);
    // Creatable by name only with DECLARE_DYNCREATE.
    EXPECT_EQ(RUNTIME_CLASS(CDerivedWnd)->CreateObject(), nullptr);
    CObject* made = RUNTIME_CLASS(CEdit)->CreateObject();
    ASSERT_NE(made, nullptr);
    EXPECT_TRUE(made->IsKindOf(RUNTIME_CLASS(CEdit)));
    delete made;
}

TEST_F(WndTest, MessagesReachTheMostDerivedEntryAndChainToTheBaseMap) {
    CDerivedWnd wnd;
    ASSERT_TRUE(MakeFrame(wnd));
    struct Case {
        const char* what;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        std::vector<std::string> log;
        LRESULT result;
    };
    const Case cases[] = {
        {"derived handler calls the base's", WM_TIMER, 7, 0, {"derived timer", "base timer 7"}, 0},
        {"entry only in the base map", WM_COMMAND, kFirstCommand, 0, {"base first"}, 1},
        {"range entry gets the id", WM_COMMAND, kRangeFirst + 3, 0, {"base range 203"}, 1},
        {"derived entry wins over the base range", WM_COMMAND, kRangeFirst + 5, 0, {"derived 205"}, 1},
        {"message entry answers", kSum, 40, 2, {}, 42},
        {"command nobody maps", WM_COMMAND, 999, 0, {}, 0},
    };
    for (const Case& c : cases) {
        Log().clear();
        EXPECT_EQ(wnd.SendMessage(c.message, c.wParam, c.lParam), c.result) << c.what;
        EXPECT_EQ(Log(), c.log) << c.what;
    }
    // What no map takes goes to the default procedure.
    wnd.SetWindowText(u"changed");
    CString text;
    wnd.GetWindowText(text);
    EXPECT_EQ(text, u"changed");
}

TEST_F(WndTest, OnWndMsgSeesEveryMessageFromTheFirstOn) {
    CDerivedWnd wnd;
    ASSERT_TRUE(MakeFrame(wnd));
    ASSERT_FALSE(wnd.m_seen.empty());
    EXPECT_EQ(wnd.m_seen.front(), static_cast<UINT>(WM_NCCREATE));
    // A message it keeps never reaches the map.
    wnd.m_swallow = WM_TIMER;
    EXPECT_EQ(wnd.SendMessage(WM_TIMER, 1), 42);
    EXPECT_TRUE(Log().empty());
}

TEST_F(WndTest, SubclassedControlPassesWhatItDoesNotKeepToItsOwnProcedure) {
    CWnd frame;
    ASSERT_TRUE(MakeFrame(frame));
    HWND edit = CreateWindowExW(0, u"EDIT", u"", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 10, 200, 24,
                                frame.m_hWnd, reinterpret_cast<HMENU>(5), nullptr, nullptr);
    ASSERT_NE(edit, nullptr);
    CNoDigitsEdit filter;
    ASSERT_TRUE(filter.SubclassDlgItem(5, &frame));
    EXPECT_EQ(CWnd::FromHandlePermanent(edit), &filter);
    filter.SetFocus();
    user::test::TypeText(u"a1b2c");
    RunUntilIdle();
    EXPECT_EQ(user::test::Text(edit), u"abc");
    // Given back, the edit takes digits again.
    EXPECT_EQ(filter.UnsubclassWindow(), edit);
    EXPECT_EQ(CWnd::FromHandlePermanent(edit), nullptr);
    user::test::TypeText(u"9");
    RunUntilIdle();
    EXPECT_EQ(user::test::Text(edit), u"abc9");
}

// Controls that take their own notifications back from the parent.
class CReflectButton : public CButton {
public:
    afx_msg void OnClicked() { Log().push_back("button took click"); }

protected:
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CReflectButton, CButton)
ON_CONTROL_REFLECT(BN_CLICKED, OnClicked)
END_MESSAGE_MAP()

class CSharingList : public CListBox {
public:
    afx_msg BOOL OnSelChange() {
        Log().push_back("list saw change");
        return FALSE;
    }

protected:
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CSharingList, CListBox)
ON_CONTROL_REFLECT_EX(LBN_SELCHANGE, OnSelChange)
END_MESSAGE_MAP()

constexpr COLORREF kEditBackground = RGB(255, 0, 0);

class CColouredEdit : public CEdit {
public:
    CColouredEdit() { m_brush.CreateSolidBrush(kEditBackground); }
    afx_msg HBRUSH CtlColor(CDC* pDC, UINT nCtlColor) {
        m_kind = nCtlColor;
        pDC->SetBkColor(kEditBackground);
        return m_brush;
    }
    CBrush m_brush;
    UINT m_kind = 0xFFFF;

protected:
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CColouredEdit, CEdit)
ON_WM_CTLCOLOR_REFLECT()
END_MESSAGE_MAP()

constexpr UINT kButtonId = 11;
constexpr UINT kListId = 12;
constexpr UINT kEditId = 13;

class CParentWnd : public CWnd {
public:
    afx_msg void OnButton() { Log().push_back("parent saw click"); }
    afx_msg void OnList() { Log().push_back("parent saw change"); }

protected:
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CParentWnd, CWnd)
ON_BN_CLICKED(kButtonId, OnButton)
ON_LBN_SELCHANGE(kListId, OnList)
END_MESSAGE_MAP()

TEST_F(WndTest, ControlNotificationsAreReflectedToTheControlObjectFirst) {
    CParentWnd parent;
    ASSERT_TRUE(MakeFrame(parent));
    CReflectButton button;
    ASSERT_TRUE(button.Create(u"Go", WS_VISIBLE | BS_PUSHBUTTON, CRect(10, 10, 90, 40), &parent, kButtonId));
    CSharingList list;
    ASSERT_TRUE(list.Create(WS_VISIBLE | WS_BORDER | LBS_NOTIFY, CRect(10, 50, 200, 150), &parent, kListId));
    list.AddString(u"one");
    list.AddString(u"two");
    RunUntilIdle();

    ASSERT_TRUE(user::test::TapWindow(button.m_hWnd));
    RunUntilIdle();
    EXPECT_EQ(Log(), std::vector<std::string>{"button took click"});

    Log().clear();
    CRect item;
    ASSERT_NE(list.GetItemRect(1, &item), LB_ERR);
    ASSERT_TRUE(user::test::TapWindow(list.m_hWnd,
                                      POINT{(item.left + item.right) / 2, (item.top + item.bottom) / 2}));
    RunUntilIdle();
    EXPECT_EQ(Log(), (std::vector<std::string>{"list saw change", "parent saw change"}));
    EXPECT_EQ(list.GetCurSel(), 1);
}

TEST_F(WndTest, ControlColourQueryIsAnsweredByTheControlObject) {
    CParentWnd parent;
    ASSERT_TRUE(MakeFrame(parent));
    CColouredEdit coloured;
    ASSERT_TRUE(coloured.Create(WS_VISIBLE, CRect(10, 10, 110, 40), &parent, kEditId));
    CEdit plain;
    ASSERT_TRUE(plain.Create(WS_VISIBLE, CRect(10, 60, 110, 90), &parent, kEditId + 1));
    RunUntilIdle();
    EXPECT_EQ(coloured.m_kind, static_cast<UINT>(CTLCOLOR_EDIT));
    CRect client;
    coloured.GetClientRect(&client);
    EXPECT_EQ(user::test::WindowPixel(coloured.m_hWnd, client.right - 3, client.bottom - 3),
              OnScreen(kEditBackground));
    // A control object without the entry leaves the query to the default colours.
    plain.GetClientRect(&client);
    EXPECT_NE(user::test::WindowPixel(plain.m_hWnd, client.right - 3, client.bottom - 3),
              OnScreen(kEditBackground));
}

// A header that paints itself; it is attached to a list view's header after the list exists.
constexpr COLORREF kHeaderColour = RGB(0, 0, 255);

class CPaintedHeader : public CHeaderCtrl {
public:
    afx_msg void OnPaint() {
        ++m_paints;
        CPaintDC dc(this);
        CRect client;
        GetClientRect(&client);
        dc.FillSolidRect(&client, kHeaderColour);
    }
    int m_paints = 0;

protected:
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CPaintedHeader, CHeaderCtrl)
ON_WM_PAINT()
END_MESSAGE_MAP()

TEST_F(WndTest, HeaderSubclassedAfterCreationPaintsAndKeepsItsItems) {
    CWnd frame;
    ASSERT_TRUE(MakeFrame(frame));
    CListCtrl list;
    ASSERT_TRUE(list.Create(WS_VISIBLE | WS_BORDER | LVS_REPORT, CRect(0, 0, 200, 150), &frame, 20));
    list.InsertColumn(0, u"Name", LVCFMT_LEFT, 100);
    list.InsertColumn(1, u"Size", LVCFMT_LEFT, 60);
    RunUntilIdle();

    CHeaderCtrl* temporary = list.GetHeaderCtrl();
    ASSERT_NE(temporary, nullptr);
    HWND headerWindow = temporary->m_hWnd;
    CPaintedHeader header;
    ASSERT_TRUE(header.SubclassWindow(headerWindow));
    EXPECT_EQ(list.GetHeaderCtrl(), &header);
    // The list view's own messages still reach the header's procedure.
    EXPECT_EQ(header.GetItemCount(), 2);

    header.Invalidate();
    RunUntilIdle();
    EXPECT_GT(header.m_paints, 0);
    EXPECT_EQ(user::test::WindowPixel(headerWindow, 5, 5), OnScreen(kHeaderColour));
}

// A list whose custom-draw notifications come back to it from its parent.
class CDrawnList : public CListCtrl {
public:
    afx_msg void OnCustomDraw(NMHDR* pNotifyStruct, LRESULT* pResult) {
        auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(pNotifyStruct);
        m_stages.push_back(draw->nmcd.dwDrawStage);
        if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT)
            m_items.push_back(static_cast<int>(draw->nmcd.dwItemSpec));
        *pResult = draw->nmcd.dwDrawStage == CDDS_PREPAINT ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
    }
    std::vector<DWORD> m_stages;
    std::vector<int> m_items;

protected:
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDrawnList, CListCtrl)
ON_NOTIFY_REFLECT(NM_CUSTOMDRAW, OnCustomDraw)
END_MESSAGE_MAP()

constexpr UINT kDrawnListId = 30;

class CListParent : public CWnd {
public:
    afx_msg void OnDraw(NMHDR*, LRESULT*) { ++m_parentDraws; }
    int m_parentDraws = 0;

protected:
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CListParent, CWnd)
ON_NOTIFY(NM_CUSTOMDRAW, kDrawnListId, OnDraw)
END_MESSAGE_MAP()

TEST_F(WndTest, CustomDrawStagesReachTheListObjectThroughReflection) {
    CListParent parent;
    ASSERT_TRUE(MakeFrame(parent));
    CDrawnList list;
    ASSERT_TRUE(list.Create(WS_VISIBLE | LVS_REPORT, CRect(0, 0, 200, 150), &parent, kDrawnListId));
    list.InsertColumn(0, u"Name", LVCFMT_LEFT, 100);
    list.InsertItem(0, u"first");
    list.InsertItem(1, u"second");
    list.m_stages.clear();
    list.Invalidate();
    RunUntilIdle();
    EXPECT_EQ(list.m_stages, (std::vector<DWORD>{CDDS_PREPAINT, CDDS_ITEMPREPAINT, CDDS_ITEMPREPAINT}));
    EXPECT_EQ(list.m_items, (std::vector<int>{0, 1}));
    EXPECT_EQ(parent.m_parentDraws, 0);
}

TEST_F(WndTest, HandleMapGivesTemporaryObjectsThatNeverOwnTheirWindows) {
    CWnd frame;
    ASSERT_TRUE(MakeFrame(frame));
    EXPECT_EQ(CWnd::FromHandle(nullptr), nullptr);
    EXPECT_EQ(CWnd::FromHandle(frame.m_hWnd), &frame);
    HWND plain =
        CreateWindowExW(0, u"STATIC", u"x", WS_CHILD, 0, 0, 10, 10, frame.m_hWnd, nullptr, nullptr, nullptr);
    ASSERT_NE(plain, nullptr);
    CWnd* temporary = CWnd::FromHandle(plain);
    ASSERT_NE(temporary, nullptr);
    EXPECT_EQ(temporary->m_hWnd, plain);
    EXPECT_EQ(CWnd::FromHandle(plain), temporary);
    EXPECT_EQ(CWnd::FromHandlePermanent(plain), nullptr);
    EXPECT_EQ(frame.GetDlgItem(0), temporary);
    CWnd::DeleteTempMap();
    EXPECT_TRUE(IsWindow(plain));
}

// A window object that deletes itself once its window is gone.
class CSelfDeleting : public CWnd {
public:
    explicit CSelfDeleting(bool* deleted) : m_deleted(deleted) {}
    ~CSelfDeleting() override { *m_deleted = true; }
    void PostNcDestroy() override { delete this; }

private:
    bool* m_deleted;
};

// A WM_NCDESTROY handler that does not call the base's.
class CForgetfulWnd : public CWnd {
public:
    afx_msg void OnNcDestroy() { Log().push_back("nc destroy"); }

protected:
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CForgetfulWnd, CWnd)
ON_WM_NCDESTROY()
END_MESSAGE_MAP()

TEST_F(WndTest, DestroyedWindowLeavesItsObjectDetached) {
    CWnd frame;
    ASSERT_TRUE(MakeFrame(frame));
    CForgetfulWnd child;
    ASSERT_TRUE(child.Create(nullptr, u"child", WS_VISIBLE, CRect(0, 0, 50, 50), &frame, 1));
    HWND childWindow = child.m_hWnd;
    bool deleted = false;
    auto* owned = new CSelfDeleting(&deleted);
    ASSERT_TRUE(owned->Create(nullptr, u"owned", WS_VISIBLE, CRect(60, 0, 110, 50), &frame, 2));

    // The parent goes, and its children with it.
    ASSERT_TRUE(frame.DestroyWindow());
    EXPECT_EQ(frame.m_hWnd, nullptr);
    EXPECT_EQ(child.m_hWnd, nullptr);
    EXPECT_EQ(Log(), std::vector<std::string>{"nc destroy"});
    EXPECT_EQ(CWnd::FromHandlePermanent(childWindow), nullptr);
    EXPECT_TRUE(deleted);
    // A detached object makes a new window.
    ASSERT_TRUE(MakeFrame(frame));
}

TEST_F(WndTest, ObjectDeletedBeforeItsWindowTakesTheWindowWithIt) {
    HWND window = nullptr;
    {
        CDerivedWnd wnd;
        ASSERT_TRUE(MakeFrame(wnd));
        window = wnd.m_hWnd;
    }
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(CWnd::FromHandlePermanent(window), nullptr);
}

class CRefusingWnd : public CWnd {
public:
    afx_msg int OnCreate(LPCREATESTRUCT) { return -1; }
    void PostNcDestroy() override { ++m_postNcDestroy; }
    int m_postNcDestroy = 0;

protected:
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CRefusingWnd, CWnd)
ON_WM_CREATE()
END_MESSAGE_MAP()

TEST_F(WndTest, FailedCreationReportsFalseAndEndsTheObjectsWindowLife) {
    CRefusingWnd refused;
    EXPECT_FALSE(MakeFrame(refused));
    EXPECT_EQ(refused.m_hWnd, nullptr);
    EXPECT_EQ(refused.m_postNcDestroy, 1);

    CRefusingWnd unknown;
    EXPECT_FALSE(unknown.CreateEx(0, u"NoSuchClass", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
    EXPECT_EQ(unknown.m_hWnd, nullptr);
    EXPECT_EQ(unknown.m_postNcDestroy, 1);
    // The next window made on this thread is not attached to the failed object.
    CWnd next;
    ASSERT_TRUE(MakeFrame(next));
    EXPECT_EQ(CWnd::FromHandlePermanent(next.m_hWnd), &next);
}

constexpr UINT kMenuId = 128;
constexpr WORD kExplore = 32771;
constexpr WORD kAutomount = 32774;

const user::MenuEntry kMenuEntries[] = {
    {0, 0, 0, u"popup"},
    {1, 0, kExplore, u"Explore..."},
    {1, MF_CHECKED, kAutomount, u"Automount"},
};
const user::MenuTemplateBytes kMenu(kMenuEntries);
const kernel::ResourceEntry kResources[] = {{RT_MENU, MAKEINTRESOURCE(kMenuId), kMenu.Data(), kMenu.Size()}};
const kernel::ResourceTable kResourceTable(kResources);

class CMenuOwner : public CWnd {
public:
    afx_msg void OnExplore() { Log().push_back("explore"); }

protected:
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CMenuOwner, CWnd)
ON_COMMAND(kExplore, OnExplore)
END_MESSAGE_MAP()

TEST_F(WndTest, PopupOfAResourceMenuSendsTheChosenCommandToTheOwnersMap) {
    CMenuOwner owner;
    ASSERT_TRUE(MakeFrame(owner));
    CMenu menu;
    ASSERT_TRUE(menu.LoadMenu(kMenuId));
    CMenu* popup = menu.GetSubMenu(0);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(menu.GetSubMenu(0), popup);
    EXPECT_EQ(popup->GetMenuItemCount(), 2u);
    EXPECT_EQ(popup->CheckMenuItem(kAutomount, MF_UNCHECKED), static_cast<UINT>(MF_CHECKED));
    EXPECT_EQ(popup->GetMenuState(kAutomount, MF_BYCOMMAND) & MF_CHECKED, 0u);

    user::test::AnswerNextMenu(kExplore);
    EXPECT_TRUE(popup->TrackPopupMenu(TPM_LEFTALIGN, 10, 10, &owner));
    RunUntilIdle();
    EXPECT_EQ(Log(), std::vector<std::string>{"explore"});
    // The temporary submenu goes; the menu it stood for stays with its parent.
    HMENU submenu = popup->m_hMenu;
    CMenu::DeleteTempMap();
    EXPECT_EQ(GetMenuItemCount(submenu), 2);
    EXPECT_TRUE(menu.DestroyMenu());
    EXPECT_EQ(GetMenuItemCount(submenu), -1);
}

} // namespace
