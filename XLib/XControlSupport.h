#pragma once
// What the skinned controls share: the caption's look (colours, transparent or opaque text background,
// outline rectangles) and font as a skin element gives them, the paint of a control over the background
// its dialog lends it, and, for the controls built on platform controls, the skin font handed to the
// control, the focus moves along the dialog's tab order, Enter kept from the dialog manager, and bare
// notifications to the parent.

#include <memory>

#include "XMemDC.h"
#include "XmlReader.h"
#include "classlib/Gdi.h"
#include "classlib/String.h"
#include "classlib/Wnd.h"
#include "crt/Types.h"

// Colours are COLORREF values (0x00BBGGRR).
struct CaptionLook {
    COLORREF textColor = RGB(0, 0, 0);
    COLORREF backgroundColor = RGB(255, 255, 255);
    // No background behind the text (and, for a static, no fill).
    bool transparent = true;
    // Number of outline rectangles, each one pixel inside the one before.
    int outlineWidth = 0;
    COLORREF outlineColor = RGB(0, 0, 0);
};

// A skin font: a face name and a character height in pixels (0: the height of the DC's font).
struct CaptionFont {
    CString faceName;
    int size = 0;
    bool bold = false;
    bool italic = false;
};

// Reads "textColor", "backgroundColor", "transparent", "outlineWidth" and "outlineColor"; an absent
// attribute leaves what look holds.
void ReadCaptionLook(const CXmlElement& element, CaptionLook* look);
// Reads "fontName" and, when it is not empty, "fontSize", "fontBold" and "fontItalic" (absent ones leave
// what font holds); false when the element names no font.
bool ReadCaptionFont(const CXmlElement& element, CaptionFont* font);

// Replaces the font's handle with the window DC's current font changed to the face (at most 31
// characters), the pixel height, the weight and the slant. Without a DC, or when the font cannot be made,
// the font is left without a handle, so the caption keeps the DC's own font.
void CreateCaptionFont(CFont& font, CWnd* window, const CaptionFont& spec);

// For a platform control, which keeps showing the font it was given: makes the font as CreateCaptionFont
// does into a new object, hands it to the window (WM_SETFONT, redraw) and only then frees the font held
// before. Without a DC, or when the font cannot be made, the window and font keep what they have.
void SetControlFont(CWnd* window, CFont& font, const CaptionFont& spec);

enum class TabStep { Previous, Next };
// Gives the focus to the previous or next control of the parent CXDialog's tab order (GetPrevTabControl,
// GetNextTabControl). False when the parent is no CXDialog or the control is not one of its controls; true
// otherwise, also when no other control qualifies and the focus stays where it is.
bool MoveFocusAlongTabOrder(CWnd* control, TabStep step);

// Sends the control's parent WM_NOTIFY with a bare NMHDR (the control's window and id, the code); false
// when the control has no parent or its window went away while the parent handled the notification.
bool NotifyParentBare(CWnd* control, UINT code);

// The WM_GETDLGCODE answer of a control that handles Enter itself, so that the dialog manager hands it an
// Enter key-down instead of pressing the default button: code plus DLGC_WANTMESSAGE for that message.
LRESULT WithEnterKey(LRESULT code, const MSG* message);

// Draws the text into rect in the look's background mode and background colour and in textColor, with
// the font when it has a handle; the DC's font is put back.
void DrawCaptionText(CDC* dc, CFont& font, const CString& text, RECT rect, UINT format, COLORREF textColor,
                     const CaptionLook& look);
// The look's outline rectangles, the first on rect.
void DrawCaptionOutline(CDC* dc, RECT rect, const CaptionLook& look);

// The paint of a skinned control. While the parent dialog's redraw is locked nothing is begun and Dc() is
// NULL. Otherwise the paint is begun and Dc() is an off-screen buffer of the client size holding the
// dialog's background under the control; the buffer reaches the window and the paint ends with the scope.
class CXControlPaint {
public:
    explicit CXControlPaint(CWnd* control);
    ~CXControlPaint();
    CXControlPaint(const CXControlPaint&) = delete;
    CXControlPaint& operator=(const CXControlPaint&) = delete;

    CDC* Dc() { return m_buffer ? m_buffer->GetDC() : nullptr; }
    const CRect& Client() const { return m_client; }

private:
    std::unique_ptr<CPaintDC> m_paint;
    std::unique_ptr<CXMemDC> m_buffer;
    CRect m_client;
};
