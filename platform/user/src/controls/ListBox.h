#pragma once
// The LISTBOX class, and the combo box's drop-down list (class "ComboLBox"), which is the same control
// working for its combo box: it never takes the focus, highlights the item under the stylus or the one
// the combo box's keys move to, and reports a choice (or a press outside it) to the combo box instead of
// notifying a parent.

#include <string>
#include <vector>

#include "ControlSupport.h"
#include "ScrollBar.h"

namespace user::controls {

inline constexpr char16_t kComboListClassName[] = u"ComboLBox";

class ListBox : public ControlBase {
public:
    ListBox(HWND hwnd, const CREATESTRUCTW& create);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // The list of a combo box, or null for any other window.
    static ListBox* OfComboList(HWND hwnd);

    // For the combo box: the highlighted item while the list is dropped down.
    int Hot() const { return m_hot; }
    void SetHot(int index);
    void MoveHot(UINT key);
    int Count() const { return static_cast<int>(m_items.size()); }
    int Current() const { return m_current; }
    int ItemHeight() const { return m_itemHeight; }
    // Makes the current item the highlighted one and shows it, as the list drops down.
    void BeginDrop();
    void EndDrop();
    // The item after the current one (wrapping) whose text starts with c, -1 when none.
    int FindByCharacter(WCHAR c, int after) const;

private:
    struct Item {
        std::u16string text;
        ULONG_PTR data = 0;
        bool selected = false;
    };
    enum class Selection { Single, Multiple, Extended, None };
    // How a search compares an item's text with the one looked for.
    enum class Match { Prefix, Exact };
    // Whether selecting a range keeps what is selected outside it.
    enum class OtherItems { Clear, Keep };
    // What a key does at the item it moves to: moves the caret there, or toggles the item too.
    enum class KeyAction { Move, Toggle };

    bool ValidIndex(WPARAM index) const { return static_cast<INT_PTR>(index) >= 0 && index < m_items.size(); }
    bool Notifies() const { return m_notify && !m_combo; }
    void Notify(WORD code);
    RECT ItemsArea() const;
    int FullyVisible() const;
    int MaxTop() const;
    int ItemAt(POINT client) const;
    bool IsSelected(int index) const;
    void Repaint() { InvalidateRect(m_hwnd, nullptr, FALSE); }
    void UpdateScrollBar();
    void ScrollTo(int top);
    void EnsureVisible(int index);
    void ApplyIntegralHeight(WINDOWPOS* pos);

    // Window messages.
    void OnCreate();
    void OnSetFont(HFONT font, LPARAM redraw);
    void OnSetFocus();
    void OnKillFocus();
    // WM_ENABLE and WM_STYLECHANGED: the bar and the colours follow.
    void OnLookChanged();
    void OnLButtonDown(POINT client, Tap tap);
    void OnMouseMove(POINT client, WPARAM keys);
    void OnLButtonUp(POINT client);
    void OnCaptureChanged(HWND capture);
    LRESULT OnTimer(WPARAM timer, LPARAM lParam);
    void OnScroll(int code, int thumb);
    void OnKey(UINT key);
    void OnCharacter(WCHAR c);

    // List box messages.
    LRESULT AddString(LPCWSTR text);
    LRESULT InsertString(WPARAM at, LPCWSTR text);
    LRESULT DeleteString(WPARAM index);
    LRESULT GetText(WPARAM index, LPWSTR buffer) const;
    LRESULT GetTextLen(WPARAM index) const;
    LRESULT GetItemData(WPARAM index) const;
    LRESULT SetItemData(WPARAM index, LPARAM data);
    LRESULT GetCurSel() const;
    LRESULT SetCurSel(WPARAM index);
    LRESULT GetSel(WPARAM index) const;
    LRESULT SetSel(bool select, LPARAM index);
    LRESULT GetSelCount() const;
    LRESULT GetSelItems(WPARAM capacity, int* out) const;
    LRESULT SetTopIndex(WPARAM index);
    LRESULT SetItemHeight(LPARAM lParam);
    LRESULT GetItemRect(WPARAM index, RECT* rect) const;
    LRESULT ItemFromPoint(POINT client) const;
    LRESULT Find(WPARAM start, LPCWSTR text, Match match) const;

    int Insert(int index, std::u16string_view text);
    int Delete(int index);
    void Reset();
    bool SetCurrent(int index);
    void SelectRange(int from, int to, OtherItems others);
    void ClearSelection();

    // The stylus and keys of a list box, and of the drop-down list.
    void OnPress(POINT client, Tap tap);
    void OnDrag(POINT client);
    void OnRelease(POINT client);
    // Moves the caret to an item by keyboard, selecting as the selection style says.
    void KeyTo(int index, KeyAction action);
    void OnComboPress(POINT client);
    void OnComboDrag(POINT client, WPARAM keys);
    void OnComboRelease(POINT client);

    void Paint() override;

    const HWND m_combo;
    const bool m_notify;
    const bool m_sort;
    const bool m_integral;
    const bool m_disableNoScroll;
    const Selection m_selection;
    std::vector<Item> m_items;
    int m_current = -1;
    int m_caret = 0;
    int m_anchor = -1;
    int m_top = 0;
    int m_hot = -1;
    int m_itemHeight;
    bool m_focus = false;
    bool m_tracking = false;
    bool m_dropPress = false;
    ScrollBar m_bar;
};

// Implemented by the combo box for its list.
void ComboListChose(HWND combo, int index);
void ComboListPressedOutside(HWND combo, POINT screen);
void ComboListLostCapture(HWND combo);

} // namespace user::controls
