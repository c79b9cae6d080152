#pragma once
// CXSplashScreen: the start-up splash, one program-wide modeless, topmost popup whose client area is a
// background image, with a status line (and an optional second line) drawn over it by CXStatic labels.
// It runs before the program's message loop, so what it shows reaches the screen through immediate
// repaints. Every operation does nothing when its window or label does not exist, so a program whose
// splash could not be made starts without one.

#include "XDialog.h"
#include "XStatic.h"
#include "crt/Types.h"

class CXSplashScreen : public CXDialog {
    DECLARE_DYNAMIC(CXSplashScreen)
public:
    static constexpr UINT kStatusLabelId = 4096;
    static constexpr UINT kExtraLabelId = 4097;

    // The instance, made (without a window) by the first call.
    static CXSplashScreen* GetInstance();
    static void DestroyInstance();

    explicit CXSplashScreen(CWnd* parent = nullptr);
    ~CXSplashScreen() override;

    // Makes the hidden window from the template, sized to the image and placed on the screen; false only
    // when the window cannot be made (an image that does not load leaves the background colour).
    bool Create(UINT templateId, LPCWSTR imagePath);
    bool IsCreated() const { return m_hWnd != nullptr; }
    void ShowSplash(bool show);
    // Places the window across the middle of the screen and a third of the free height from the top.
    virtual void CenterOnScreen();

    // A line of height pixels between the margins, offset from the top or the bottom of the client area;
    // an earlier status label goes. White text, vertically centred, transparent, no outline.
    void CreateStatusLabel(int leftMargin, int rightMargin, int offset, int height, bool fromTop);
    void SetStatusFont(LPCWSTR faceName, int size, bool bold, bool italic);
    // Shown at once.
    void SetStatusText(LPCWSTR text);
    void SetStatusStyle(COLORREF textColor, COLORREF backgroundColor, UINT textFormat, bool transparent,
                        int outlineWidth, COLORREF outlineColor);

    void CreateExtraLabel(int x, int y, int width, int height);
    void SetExtraFont(LPCWSTR faceName, int size, bool bold, bool italic);
    void SetExtraText(LPCWSTR text);

    CXStatic* GetStatusLabel() const { return m_statusLabel; }
    CXStatic* GetExtraLabel() const { return m_extraLabel; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;

private:
    // Replaces *label with a new label at the rectangle, in the default style; none without a window.
    void MakeLabel(CXStatic** label, UINT id, int x, int y, int width, int height);
    static void DestroyLabel(CXStatic** label);
    void DestroyLabels();

    CXStatic* m_statusLabel = nullptr;
    CXStatic* m_extraLabel = nullptr;

    static CXSplashScreen* s_instance;
};
