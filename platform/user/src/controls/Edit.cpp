// The EDIT class: single- and multi-line text boxes with a selection, a caret, typing, the stylus, and
// scrolling.
//
// Text model: the text is UTF-16; a multi-line edit breaks lines at CR LF and, unless it scrolls
// horizontally (ES_AUTOHSCROLL or WS_HSCROLL), wraps words at its width. Positions are character
// indexes; a position never falls between the CR and the LF of a line break, and arrows, backspace and
// delete step over a line break as one character. The selection runs from the anchor to the caret; the
// caret is drawn as a solid bar while the edit has the focus and nothing is selected, the selection in
// the highlight colours (also without the focus with ES_NOHIDESEL).
//
// Input rules: typed text is refused with ES_READONLY, with ES_NUMBER for anything but digits, and with
// EN_MAXTEXT when it would pass the limit, in a single-line edit without ES_AUTOHSCROLL when it would
// not fit the width, and in a multi-line edit without ES_AUTOVSCROLL when it would not fit the height.
// EM_REPLACESEL obeys the limit and the fit rules (cutting the text) but not ES_READONLY or ES_NUMBER;
// WM_SETTEXT obeys none of them. Every change of the text sends EN_UPDATE and then EN_CHANGE (WM_SETTEXT
// of a multi-line edit sends neither, as on the handheld).

#include <algorithm>
#include <string>
#include <vector>

#include "ControlSupport.h"
#include "ScrollBar.h"
#include "user/Dialog.h"
#include "user/System.h"

namespace user::controls {

namespace {

constexpr size_t kDefaultLimit = 32767;
constexpr size_t kLargestLimit = 0x7FFFFFFE;
constexpr int kMarginX = 2;
constexpr int kMarginY = 1;
constexpr int kCaretWidth = 2;

enum class Source { Typing, Program };

class Edit : public ControlBase {
public:
    Edit(HWND hwnd, const CREATESTRUCTW& create)
        : ControlBase(hwnd), m_multiline((create.style & ES_MULTILINE) != 0),
          m_comboField((create.style & WS_CHILD) && HasClass(create.hwndParent, u"COMBOBOX")),
          m_vertical(hwnd, SB_VERT), m_horizontal(hwnd, SB_HORZ) {
        if (create.lpszName && !IS_INTRESOURCE(create.lpszName))
            m_text = create.lpszName;
    }

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
        case WM_CREATE:
            Relayout();
            return 0;
        case WM_SIZE:
        case WM_STYLECHANGED:
            Relayout();
            ClampScroll();
            UpdateScrollBars();
            InvalidateRect(m_hwnd, nullptr, FALSE);
            return 0;
        case WM_SETFONT:
            m_font = reinterpret_cast<HFONT>(wParam);
            m_measure.SetFont(m_font);
            Relayout();
            ClampScroll();
            UpdateScrollBars();
            if (lParam)
                InvalidateRect(m_hwnd, nullptr, FALSE);
            return 0;
        case WM_SETTEXT:
            SetText(TextOf(reinterpret_cast<LPCWSTR>(lParam)));
            return TRUE;
        case WM_GETTEXT:
            return static_cast<LRESULT>(CopyToBuffer(m_text, reinterpret_cast<LPWSTR>(lParam), wParam));
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(m_text.size());
        case WM_GETDLGCODE:
            return DialogCode(reinterpret_cast<const MSG*>(lParam));
        case WM_SETFOCUS:
            m_focus = true;
            InvalidateRect(m_hwnd, nullptr, FALSE);
            NotifyParent(m_hwnd, EN_SETFOCUS);
            return 0;
        case WM_KILLFOCUS:
            m_focus = false;
            EndTracking();
            InvalidateRect(m_hwnd, nullptr, FALSE);
            NotifyParent(m_hwnd, EN_KILLFOCUS);
            return 0;
        case WM_ENABLE:
            InvalidateRect(m_hwnd, nullptr, FALSE);
            return 0;
        case WM_CHAR:
            OnChar(static_cast<WCHAR>(wParam));
            return 0;
        case WM_KEYDOWN:
            OnKeyDown(static_cast<UINT>(wParam), lParam);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            OnPress(PointFromLParam(lParam));
            return 0;
        case WM_MOUSEMOVE:
            if (m_vertical.Tracking())
                m_vertical.Move(PointFromLParam(lParam));
            else if (m_horizontal.Tracking())
                m_horizontal.Move(PointFromLParam(lParam));
            else if (m_tracking)
                MoveCaret(PositionAt(PointFromLParam(lParam)), true);
            return 0;
        case WM_LBUTTONUP:
            if (m_vertical.Tracking())
                m_vertical.Release(PointFromLParam(lParam));
            else if (m_horizontal.Tracking())
                m_horizontal.Release(PointFromLParam(lParam));
            else
                EndTracking();
            return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != m_hwnd) {
                m_vertical.Cancel();
                m_horizontal.Cancel();
                m_tracking = false;
            }
            return 0;
        case WM_TIMER:
            if (!m_vertical.Timer(wParam) && !m_horizontal.Timer(wParam))
                return DefWindowProcW(m_hwnd, message, wParam, lParam);
            return 0;
        case WM_VSCROLL:
            ScrollLines(LOWORD(wParam), static_cast<SHORT>(HIWORD(wParam)));
            return 0;
        case WM_HSCROLL:
            ScrollColumns(LOWORD(wParam), static_cast<SHORT>(HIWORD(wParam)));
            return 0;
        case EM_GETSEL: {
            size_t start = std::min(m_anchor, m_caret);
            size_t end = std::max(m_anchor, m_caret);
            if (auto* out = reinterpret_cast<DWORD*>(wParam))
                *out = static_cast<DWORD>(start);
            if (auto* out = reinterpret_cast<DWORD*>(lParam))
                *out = static_cast<DWORD>(end);
            return MAKELRESULT(static_cast<WORD>(std::min<size_t>(start, 0xFFFF)),
                               static_cast<WORD>(std::min<size_t>(end, 0xFFFF)));
        }
        case EM_SETSEL:
            SetSelection(static_cast<int>(static_cast<INT_PTR>(wParam)), static_cast<int>(lParam));
            return 0;
        case EM_REPLACESEL:
            if (lParam)
                ReplaceSelection(reinterpret_cast<LPCWSTR>(lParam), Source::Program);
            return 0;
        case EM_SCROLLCARET:
            ScrollToCaret();
            return TRUE;
        case EM_LIMITTEXT:
            m_limit = wParam ? std::min<size_t>(wParam, kLargestLimit) : kLargestLimit;
            return 0;
        case EM_GETLIMITTEXT:
            return static_cast<LRESULT>(m_limit);
        case EM_SETPASSWORDCHAR:
            SetPasswordChar(static_cast<WCHAR>(wParam));
            return 0;
        case EM_GETPASSWORDCHAR:
            return Masked() ? m_passwordChar : 0;
        case EM_GETLINECOUNT:
            return m_multiline ? static_cast<LRESULT>(m_lines.size()) : 1;
        case EM_GETFIRSTVISIBLELINE:
            return static_cast<LRESULT>(m_multiline ? m_firstLine : FirstVisibleCharacter());
        case EM_SETREADONLY: {
            LONG style = GetWindowLongW(m_hwnd, GWL_STYLE);
            SetWindowLongW(m_hwnd, GWL_STYLE, wParam ? style | ES_READONLY : style & ~ES_READONLY);
            InvalidateRect(m_hwnd, nullptr, FALSE);
            return TRUE;
        }
        default:
            return DefWindowProcW(m_hwnd, message, wParam, lParam);
        }
    }

private:
    // One line on the screen: characters [start, end), the next line starting at next (after the line
    // break, or at end for a wrapped line).
    struct Line {
        size_t start;
        size_t end;
        size_t next;
    };

    LONG Style() const { return GetWindowLongW(m_hwnd, GWL_STYLE); }
    bool Masked() const { return !m_multiline && (Style() & ES_PASSWORD) && m_passwordChar; }
    bool ReadOnly() const { return (Style() & ES_READONLY) != 0; }
    bool HasVerticalBar() const { return m_multiline && (Style() & WS_VSCROLL); }
    bool HasHorizontalBar() const { return m_multiline && (Style() & WS_HSCROLL); }
    bool Wraps() const { return m_multiline && !(Style() & (ES_AUTOHSCROLL | WS_HSCROLL)); }
    bool ScrollsHorizontally() const { return m_multiline ? !Wraps() : (Style() & ES_AUTOHSCROLL) != 0; }

    // --- geometry --------------------------------------------------------------------------------

    RECT TextArea() const {
        RECT r;
        GetClientRect(m_hwnd, &r);
        if (HasVerticalBar())
            r.right = std::max(r.left, r.right - GetSystemMetrics(SM_CXVSCROLL));
        if (HasHorizontalBar())
            r.bottom = std::max(r.top, r.bottom - GetSystemMetrics(SM_CYHSCROLL));
        return r;
    }

    // Where text is laid out: the text area less the margins; a single line is centred vertically.
    RECT FormatRect() {
        RECT r = TextArea();
        r.left = std::min(r.right, r.left + kMarginX);
        r.right = std::max(r.left, r.right - kMarginX);
        int height = LineHeight();
        if (m_multiline) {
            r.top = std::min(r.bottom, r.top + kMarginY);
        } else {
            r.top += std::max(0, static_cast<int>(r.bottom - r.top - height) / 2);
            r.bottom = std::max(r.bottom, r.top + height);
        }
        return r;
    }

    int LineHeight() { return m_measure.LineHeight(); }

    size_t VisibleLines() {
        RECT f = FormatRect();
        return static_cast<size_t>(std::max(1, static_cast<int>(f.bottom - f.top) / LineHeight()));
    }

    char16_t Shown(size_t index) const { return Masked() ? m_passwordChar : m_text[index]; }

    int WidthOf(size_t from, size_t to) {
        if (Masked())
            return static_cast<int>(to - from) * m_measure.Width(m_passwordChar);
        return m_measure.Width(std::u16string_view(m_text).substr(from, to - from));
    }

    std::u16string ShownText(size_t from, size_t to) const {
        if (Masked())
            return std::u16string(to - from, m_passwordChar);
        return m_text.substr(from, to - from);
    }

    // --- layout ----------------------------------------------------------------------------------

    std::vector<Line> LayOut(const std::u16string& text) {
        std::vector<Line> lines;
        if (!m_multiline) {
            lines.push_back(Line{0, text.size(), text.size()});
            return lines;
        }
        RECT f = FormatRect();
        int width = std::max(1, static_cast<int>(f.right - f.left));
        bool wrap = Wraps();
        size_t start = 0;
        for (;;) {
            size_t breakAt = text.find(u"\r\n", start);
            size_t end = breakAt == std::u16string::npos ? text.size() : breakAt;
            size_t next = breakAt == std::u16string::npos ? text.size() : breakAt + 2;
            if (wrap)
                WrapParagraph(text, start, end, width, lines);
            else
                lines.push_back(Line{start, end, end});
            lines.back().next = next;
            if (breakAt == std::u16string::npos)
                break;
            start = next;
        }
        return lines;
    }

    // Breaks [start, end) into lines no wider than width: after the last space that fits, else after the
    // last character that fits (at least one a line); spaces at a break stay at the end of the line.
    void WrapParagraph(const std::u16string& text, size_t start, size_t end, int width,
                       std::vector<Line>& lines) {
        size_t pos = start;
        do {
            int used = 0;
            size_t cut = pos;
            size_t afterSpace = std::u16string::npos;
            while (cut < end) {
                int w = Masked() ? m_measure.Width(m_passwordChar) : m_measure.Width(text[cut]);
                if (used + w > width && cut > pos)
                    break;
                used += w;
                if (text[cut] == u' ')
                    afterSpace = cut + 1;
                ++cut;
            }
            if (cut < end) {
                if (text[cut] == u' ') {
                    while (cut < end && text[cut] == u' ')
                        ++cut;
                } else if (afterSpace != std::u16string::npos && afterSpace > pos) {
                    cut = afterSpace;
                }
            }
            lines.push_back(Line{pos, cut, cut});
            pos = cut;
        } while (pos < end);
    }

    void Relayout() { m_lines = LayOut(m_text); }

    size_t LineOf(size_t position) const {
        size_t line = 0;
        for (size_t i = 1; i < m_lines.size(); ++i) {
            if (m_lines[i].start > position)
                break;
            line = i;
        }
        return line;
    }

    int XOf(size_t position) {
        const Line& line = m_lines[LineOf(position)];
        return WidthOf(line.start, std::min(position, line.end));
    }

    // The position in a line nearest to x (pixels from the line's start).
    size_t PositionInLine(size_t lineIndex, int x) {
        const Line& line = m_lines[std::min(lineIndex, m_lines.size() - 1)];
        int used = 0;
        for (size_t i = line.start; i < line.end; ++i) {
            int w = m_measure.Width(Shown(i));
            if (x < used + w / 2 + (w % 2))
                return i;
            used += w;
        }
        // The end of a line wrapped after a space is the start of the next one; stay before the space.
        if (line.end == line.next && line.end > line.start && lineIndex + 1 < m_lines.size() &&
            m_text[line.end - 1] == u' ')
            return line.end - 1;
        return line.end;
    }

    size_t PositionAt(POINT client) {
        RECT f = FormatRect();
        size_t line = 0;
        if (m_multiline) {
            int row = client.y < f.top ? -1 : static_cast<int>((client.y - f.top) / LineHeight());
            long long wanted = static_cast<long long>(m_firstLine) + row;
            line = static_cast<size_t>(
                std::clamp<long long>(wanted, 0, static_cast<long long>(m_lines.size()) - 1));
        }
        return PositionInLine(line, client.x - f.left + m_xOffset);
    }

    size_t Normalize(size_t position) const {
        position = std::min(position, m_text.size());
        if (m_multiline && position > 0 && position < m_text.size() && m_text[position - 1] == u'\r' &&
            m_text[position] == u'\n')
            --position;
        return position;
    }

    size_t Previous(size_t position) const {
        if (position == 0)
            return 0;
        if (m_multiline && position >= 2 && m_text.compare(position - 2, 2, u"\r\n") == 0)
            return position - 2;
        return position - 1;
    }

    size_t Next(size_t position) const {
        if (position >= m_text.size())
            return m_text.size();
        if (m_multiline && m_text.compare(position, 2, u"\r\n") == 0)
            return position + 2;
        return position + 1;
    }

    // --- scrolling -------------------------------------------------------------------------------

    int WidestLine() {
        int widest = 0;
        for (const Line& line : m_lines)
            widest = std::max(widest, WidthOf(line.start, line.end));
        return widest;
    }

    void ClampScroll() {
        size_t visible = VisibleLines();
        size_t last = m_lines.size() > visible ? m_lines.size() - visible : 0;
        m_firstLine = std::min(m_firstLine, last);
        RECT f = FormatRect();
        int room = static_cast<int>(f.right - f.left);
        int most = ScrollsHorizontally() ? std::max(0, WidestLine() + kCaretWidth - room) : 0;
        m_xOffset = std::clamp(m_xOffset, 0, most);
    }

    void ScrollToCaret() {
        size_t line = LineOf(m_caret);
        size_t visible = VisibleLines();
        size_t first = m_firstLine;
        if (m_multiline) {
            if (line < first)
                first = line;
            else if (line >= first + visible)
                first = line - visible + 1;
        }
        int offset = m_xOffset;
        if (ScrollsHorizontally()) {
            RECT f = FormatRect();
            int room = std::max(1, static_cast<int>(f.right - f.left));
            int x = XOf(m_caret);
            // A caret that leaves the view brings it a quarter of its width further.
            if (x < offset)
                offset = std::max(0, x - room / 4);
            else if (x + kCaretWidth > offset + room)
                offset = x + kCaretWidth - room + room / 4;
        }
        if (first != m_firstLine || offset != m_xOffset) {
            m_firstLine = first;
            m_xOffset = offset;
            ClampScroll();
            InvalidateRect(m_hwnd, nullptr, FALSE);
        }
        UpdateScrollBars();
    }

    void UpdateScrollBars() {
        if (HasVerticalBar()) {
            SCROLLINFO info{sizeof(SCROLLINFO),
                            SIF_ALL | SIF_DISABLENOSCROLL,
                            0,
                            static_cast<int>(m_lines.size()) - 1,
                            static_cast<UINT>(VisibleLines()),
                            static_cast<int>(m_firstLine),
                            0};
            SetScrollInfo(m_hwnd, SB_VERT, &info, FALSE);
        }
        if (HasHorizontalBar()) {
            RECT f = FormatRect();
            SCROLLINFO info{sizeof(SCROLLINFO),
                            SIF_ALL | SIF_DISABLENOSCROLL,
                            0,
                            WidestLine() + kCaretWidth,
                            static_cast<UINT>(std::max(1, static_cast<int>(f.right - f.left))),
                            m_xOffset,
                            0};
            SetScrollInfo(m_hwnd, SB_HORZ, &info, FALSE);
        }
        RECT client;
        GetClientRect(m_hwnd, &client);
        RECT area = TextArea();
        m_vertical.SetRect(HasVerticalBar() ? RECT{area.right, client.top, client.right, area.bottom}
                                            : RECT{});
        m_horizontal.SetRect(HasHorizontalBar() ? RECT{client.left, area.bottom, area.right, client.bottom}
                                                : RECT{});
    }

    void ScrollLines(int code, int thumb) {
        if (!m_multiline)
            return;
        long long first = static_cast<long long>(m_firstLine);
        long long page = static_cast<long long>(VisibleLines());
        switch (code) {
        case SB_LINEUP:
            --first;
            break;
        case SB_LINEDOWN:
            ++first;
            break;
        case SB_PAGEUP:
            first -= page;
            break;
        case SB_PAGEDOWN:
            first += page;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            first = thumb;
            break;
        case SB_TOP:
            first = 0;
            break;
        case SB_BOTTOM:
            first = static_cast<long long>(m_lines.size());
            break;
        default:
            return;
        }
        m_firstLine = static_cast<size_t>(std::max(0LL, first));
        ClampScroll();
        UpdateScrollBars();
        InvalidateRect(m_hwnd, nullptr, FALSE);
    }

    void ScrollColumns(int code, int thumb) {
        if (!ScrollsHorizontally())
            return;
        RECT f = FormatRect();
        int page = std::max(1, static_cast<int>(f.right - f.left));
        int step = std::max(1, m_measure.Width(u'x'));
        switch (code) {
        case SB_LINELEFT:
            m_xOffset -= step;
            break;
        case SB_LINERIGHT:
            m_xOffset += step;
            break;
        case SB_PAGELEFT:
            m_xOffset -= page;
            break;
        case SB_PAGERIGHT:
            m_xOffset += page;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            m_xOffset = thumb;
            break;
        case SB_LEFT:
            m_xOffset = 0;
            break;
        case SB_RIGHT:
            m_xOffset = WidestLine();
            break;
        default:
            return;
        }
        ClampScroll();
        UpdateScrollBars();
        InvalidateRect(m_hwnd, nullptr, FALSE);
    }

    size_t FirstVisibleCharacter() {
        int used = 0;
        for (size_t i = 0; i < m_text.size(); ++i) {
            if (used >= m_xOffset)
                return i;
            used += m_measure.Width(Shown(i));
        }
        return m_text.size();
    }

    // --- editing ---------------------------------------------------------------------------------

    void SyncWindowText() { DefWindowProcW(m_hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(m_text.c_str())); }

    void SetText(std::u16string_view text) {
        m_text.assign(text);
        m_anchor = m_caret = 0;
        m_firstLine = 0;
        m_xOffset = 0;
        Relayout();
        SyncWindowText();
        UpdateScrollBars();
        InvalidateRect(m_hwnd, nullptr, FALSE);
        if (m_multiline)
            return;
        NotifyParent(m_hwnd, EN_UPDATE);
        if (Alive())
            NotifyParent(m_hwnd, EN_CHANGE);
    }

    // Whether a text fits the fit rules of the styles.
    bool Fits(const std::u16string& text) {
        LONG style = Style();
        if (!m_multiline) {
            if (style & ES_AUTOHSCROLL)
                return true;
            RECT f = FormatRect();
            int width = Masked() ? static_cast<int>(text.size()) * m_measure.Width(m_passwordChar)
                                 : m_measure.Width(text);
            return width + kCaretWidth <= f.right - f.left;
        }
        if (style & ES_AUTOVSCROLL)
            return true;
        return LayOut(text).size() <= VisibleLines();
    }

    // Replaces the selection; false when nothing changed.
    bool ReplaceSelection(std::u16string_view insert, Source source) {
        if (source == Source::Typing && ReadOnly())
            return false;
        size_t start = std::min(m_anchor, m_caret);
        size_t end = std::max(m_anchor, m_caret);
        size_t kept = m_text.size() - (end - start);
        size_t room = kept < m_limit ? m_limit - kept : 0;
        std::u16string piece(insert.substr(0, std::min(insert.size(), room)));
        bool cut = piece.size() < insert.size();
        if (cut && !piece.empty() && piece.back() == u'\r' && insert[piece.size()] == u'\n')
            piece.pop_back(); // never half a line break
        std::u16string text = m_text.substr(0, start) + piece + m_text.substr(end);
        // Removing text is always allowed, even from a text that WM_SETTEXT made too long.
        while (!piece.empty() && !Fits(text)) {
            // Typing refuses what does not fit; a program's text is cut until it does.
            if (source == Source::Typing) {
                NotifyParent(m_hwnd, EN_MAXTEXT);
                return false;
            }
            piece.pop_back();
            if (!piece.empty() && piece.back() == u'\r')
                piece.pop_back();
            text = m_text.substr(0, start) + piece + m_text.substr(end);
            cut = true;
        }
        if (piece.empty() && start == end) {
            if (cut)
                NotifyParent(m_hwnd, EN_MAXTEXT);
            return false;
        }
        m_text = std::move(text);
        m_anchor = m_caret = start + piece.size();
        Relayout();
        SyncWindowText();
        ClampScroll();
        NotifyParent(m_hwnd, EN_UPDATE);
        if (!Alive())
            return true;
        InvalidateRect(m_hwnd, nullptr, FALSE);
        ScrollToCaret();
        NotifyParent(m_hwnd, EN_CHANGE);
        if (cut && Alive())
            NotifyParent(m_hwnd, EN_MAXTEXT);
        return true;
    }

    void DeleteRange(size_t from, size_t to) {
        if (ReadOnly())
            return;
        if (from == to)
            return;
        m_anchor = from;
        m_caret = to;
        ReplaceSelection(u"", Source::Typing);
    }

    void OnChar(WCHAR c) {
        if (c == u'\b') {
            if (m_anchor != m_caret)
                DeleteRange(std::min(m_anchor, m_caret), std::max(m_anchor, m_caret));
            else
                DeleteRange(Previous(m_caret), m_caret);
            return;
        }
        if (c == u'\r' || c == u'\n') {
            if (m_multiline && c == u'\r')
                ReplaceSelection(u"\r\n", Source::Typing);
            return;
        }
        if (c == u'\t') {
            if (m_multiline)
                ReplaceSelection(u"\t", Source::Typing);
            return;
        }
        if (c < 0x20 || c == 0x7F)
            return;
        if ((Style() & ES_NUMBER) && (c < u'0' || c > u'9'))
            return;
        ReplaceSelection(std::u16string_view(&c, 1), Source::Typing);
    }

    void MoveCaret(size_t position, bool extend) {
        position = Normalize(position);
        if (position == m_caret && (extend || m_anchor == m_caret))
            return;
        m_caret = position;
        if (!extend)
            m_anchor = position;
        InvalidateRect(m_hwnd, nullptr, FALSE);
        ScrollToCaret();
    }

    bool ForwardsToCombo(UINT key) {
        if (!m_comboField)
            return false;
        switch (key) {
        case VK_UP:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT:
            return true;
        case VK_RETURN:
        case VK_ESCAPE:
            return SendMessageW(GetParent(m_hwnd), CB_GETDROPPEDSTATE, 0, 0) != 0;
        default:
            return key == kF4;
        }
    }

    void OnKeyDown(UINT key, LPARAM lParam) {
        if (ForwardsToCombo(key)) {
            SendMessageW(GetParent(m_hwnd), WM_KEYDOWN, key, lParam);
            return;
        }
        bool extend = IsShiftDown();
        bool selection = m_anchor != m_caret;
        size_t start = std::min(m_anchor, m_caret);
        size_t end = std::max(m_anchor, m_caret);
        switch (key) {
        case VK_LEFT:
            MoveCaret(selection && !extend ? start : Previous(m_caret), extend);
            break;
        case VK_RIGHT:
            MoveCaret(selection && !extend ? end : Next(m_caret), extend);
            break;
        case VK_UP:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT: {
            if (!m_multiline) {
                bool back = key == VK_UP || key == VK_PRIOR;
                MoveCaret(back ? (selection && !extend ? start : Previous(m_caret))
                               : (selection && !extend ? end : Next(m_caret)),
                          extend);
                break;
            }
            size_t line = LineOf(m_caret);
            size_t step = key == VK_UP || key == VK_DOWN ? 1 : VisibleLines();
            bool up = key == VK_UP || key == VK_PRIOR;
            size_t target = up ? (line >= step ? line - step : 0) : std::min(line + step, m_lines.size() - 1);
            if (target == line) {
                if (!extend && selection)
                    MoveCaret(m_caret, false);
                break;
            }
            MoveCaret(PositionInLine(target, XOf(m_caret)), extend);
            break;
        }
        case VK_HOME:
            MoveCaret(IsControlDown() || !m_multiline ? 0 : m_lines[LineOf(m_caret)].start, extend);
            break;
        case VK_END: {
            if (IsControlDown() || !m_multiline) {
                MoveCaret(m_text.size(), extend);
                break;
            }
            size_t line = LineOf(m_caret);
            MoveCaret(PositionInLine(line, WidthOf(m_lines[line].start, m_lines[line].end)), extend);
            break;
        }
        case VK_DELETE:
            if (selection)
                DeleteRange(start, end);
            else
                DeleteRange(m_caret, Next(m_caret));
            break;
        default:
            break;
        }
    }

    void SetSelection(int anchor, int caret) {
        if (anchor < 0) {
            m_anchor = m_caret;
        } else {
            m_anchor = Normalize(static_cast<size_t>(anchor));
            m_caret = Normalize(caret < 0 ? m_text.size() : static_cast<size_t>(caret));
        }
        InvalidateRect(m_hwnd, nullptr, FALSE);
    }

    void SetPasswordChar(WCHAR c) {
        if (m_multiline)
            return;
        if (c)
            m_passwordChar = c;
        LONG style = Style();
        SetWindowLongW(m_hwnd, GWL_STYLE, c ? style | ES_PASSWORD : style & ~ES_PASSWORD);
        Relayout();
        ClampScroll();
        ScrollToCaret();
        InvalidateRect(m_hwnd, nullptr, FALSE);
    }

    LRESULT DialogCode(const MSG* msg) {
        LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
        if (!msg)
            return code;
        bool enter = (msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) ||
                     (msg->message == WM_CHAR && msg->wParam == u'\r');
        bool escape = msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE;
        if (enter && m_multiline && (Style() & ES_WANTRETURN))
            code |= DLGC_WANTMESSAGE;
        if ((enter || escape) && m_comboField && SendMessageW(GetParent(m_hwnd), CB_GETDROPPEDSTATE, 0, 0))
            code |= DLGC_WANTMESSAGE;
        return code;
    }

    // --- the stylus ------------------------------------------------------------------------------

    void OnPress(POINT point) {
        if (GetFocus() != m_hwnd) {
            SetFocus(m_hwnd);
            if (!Alive())
                return;
        }
        if (m_vertical.Press(point) || m_horizontal.Press(point))
            return;
        MoveCaret(PositionAt(point), IsShiftDown());
        m_tracking = true;
        SetCapture(m_hwnd);
    }

    void EndTracking() {
        if (!m_tracking)
            return;
        m_tracking = false;
        if (GetCapture() == m_hwnd)
            ReleaseCapture();
    }

    // --- painting --------------------------------------------------------------------------------

    void Paint() override {
        ScopedPaint paint(m_hwnd, m_measure.Font());
        if (!paint)
            return;
        HDC hdc = paint.Dc();
        RECT client = paint.Client();
        bool enabled = IsWindowEnabled(m_hwnd) != FALSE;
        HBRUSH background =
            RequestColors(m_hwnd, hdc, ReadOnly() || !enabled ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT);
        COLORREF textColor = enabled ? GetTextColor(hdc) : GetSysColor(COLOR_GRAYTEXT);
        FillRect(hdc, &client, background);
        m_vertical.Draw(hdc);
        m_horizontal.Draw(hdc);

        RECT area = TextArea();
        IntersectClipRect(hdc, area.left, area.top, area.right, area.bottom);
        SetBkMode(hdc, TRANSPARENT);
        RECT f = FormatRect();
        int height = LineHeight();
        bool showSelection = m_anchor != m_caret && (m_focus || (Style() & ES_NOHIDESEL));
        size_t selStart = showSelection ? std::min(m_anchor, m_caret) : 0;
        size_t selEnd = showSelection ? std::max(m_anchor, m_caret) : 0;
        size_t visible = VisibleLines() + 1;
        for (size_t i = m_firstLine; i < m_lines.size() && i < m_firstLine + visible; ++i) {
            const Line& line = m_lines[i];
            int y = f.top + static_cast<int>(i - m_firstLine) * height;
            int x = f.left - m_xOffset;
            size_t cuts[] = {line.start, std::clamp(selStart, line.start, line.end),
                             std::clamp(selEnd, line.start, line.end), line.end};
            for (int part = 0; part < 3; ++part) {
                size_t from = cuts[part];
                size_t to = cuts[part + 1];
                if (from >= to)
                    continue;
                int width = WidthOf(from, to);
                bool selected = part == 1;
                if (selected) {
                    RECT band{x, y, x + width, y + height};
                    FillSystemColor(hdc, band, COLOR_HIGHLIGHT);
                }
                SetTextColor(hdc, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : textColor);
                std::u16string shown = ShownText(from, to);
                TextOutW(hdc, x, y, shown.c_str(), static_cast<int>(shown.size()));
                x += width;
            }
        }
        if (m_focus && m_anchor == m_caret) {
            size_t line = LineOf(m_caret);
            if (line >= m_firstLine && line < m_firstLine + visible) {
                int x = f.left - m_xOffset + XOf(m_caret);
                int y = f.top + static_cast<int>(line - m_firstLine) * height;
                x = std::min(x, static_cast<int>(area.right) - kCaretWidth);
                FillSolid(hdc, RECT{x, y, x + kCaretWidth, y + height}, textColor);
            }
        }
    }

    const bool m_multiline;
    const bool m_comboField;
    std::u16string m_text;
    size_t m_anchor = 0;
    size_t m_caret = 0;
    size_t m_limit = kDefaultLimit;
    WCHAR m_passwordChar = u'*';
    TextMeasure m_measure;
    std::vector<Line> m_lines{Line{0, 0, 0}};
    size_t m_firstLine = 0;
    int m_xOffset = 0;
    bool m_focus = false;
    bool m_tracking = false;
    ScrollBar m_vertical;
    ScrollBar m_horizontal;
};

} // namespace

const SystemClass kEditWindowClass(WNDCLASSW{0, ControlProc<Edit>, 0, kStateBytes, nullptr, nullptr, nullptr,
                                             nullptr, nullptr, u"EDIT"});

} // namespace user::controls
