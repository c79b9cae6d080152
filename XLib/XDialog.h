#pragma once
// CXDialog: the base of every skinned dialog. A dialog template gives the window; LoadSkin (called from
// the derived dialog's OnInitDialog) reads a skin file: the form's caption, background colour, background
// bitmaps and size, and named layers of skinned controls made from their elements' names. ShowLayer shows
// or hides a layer's controls under a redraw lock, so the dialog repaints once. The dialog paints its
// background off screen and lends the part under each control to that control's paint
// (PaintBackground), which makes the controls look transparent over the form. The creation order of the
// controls is the tab order of their arrow keys.
//
// Skinned custom controls paint in these steps: return at once while the parent CXDialog's redraw lock is
// set; begin the paint and make a CXMemDC of the client size; the parent's PaintBackground(own id, buffer
// DC); the control's own drawing; release the buffer; end the paint.

#include <vector>

#include "XBitmap.h"
#include "XmlReader.h"
#include "classlib/Dialog.h"
#include "classlib/String.h"
#include "crt/Types.h"

// The skin's element names; any other name is kXmlUnknown.
enum XmlElementType {
    kXmlUnknown = 0,
    kXmlForm = 1,
    kXmlLayer = 2,
    kXmlButton = 3,
    kXmlCheckBox = 4,
    kXmlStatic = 5,
    kXmlEdit = 6,
    kXmlList = 7,
    kXmlSlider = 8,
    kXmlTree = 9,
};

class CXDialog : public CDialog {
    DECLARE_DYNAMIC(CXDialog)
public:
    // A named group of controls that is shown and hidden at once; it owns its controls.
    class CXLayer {
    public:
        explicit CXLayer(LPCWSTR name = nullptr);
        ~CXLayer();
        CXLayer(const CXLayer&) = delete;
        CXLayer& operator=(const CXLayer&) = delete;

        void Init(LPCWSTR name);
        // Destroys every control's window and deletes it, last to first; the name is emptied.
        void DestroyControls();
        int Add(CWnd* control);
        int GetCount() const { return static_cast<int>(m_controls.size()); }
        CWnd* GetAt(int index) const;
        LPCWSTR GetName() const { return m_name; }
        bool IsVisible() const { return m_visible; }
        // Shows or hides every control, last to first; true when focus is one of the layer's controls.
        bool Show(bool show, CWnd* focus);

    private:
        CString m_name;
        std::vector<CWnd*> m_controls;
        bool m_visible = true;
    };

    explicit CXDialog(UINT templateId, CWnd* parent = nullptr);
    ~CXDialog() override;

    // Builds the dialog from the skin file: false only when the file cannot be loaded. A second call adds
    // to what the first built.
    bool LoadSkin(LPCWSTR path);
    static int GetElementType(LPCWSTR name);

    void SetBackgroundColor(COLORREF color);
    COLORREF GetBackgroundColor() const { return m_backgroundColor; }
    // Appends a bitmap whether or not it loaded; answers the new count.
    int AddBackgroundBitmap(LPCWSTR path);
    int AddBackgroundBitmap(UINT resourceId, bool plainLoader);
    int GetBackgroundBitmapCount() const { return static_cast<int>(m_backgroundBitmaps.size()); }
    // Makes a loaded bitmap the current one and sizes the dialog to it.
    bool SelectBackgroundBitmap(int index);
    void FreeBackgroundBitmaps();
    // Makes the client area width x height.
    void ResizeToSkin();
    int GetSkinWidth() const { return m_width; }
    int GetSkinHeight() const { return m_height; }

    // Answers the new layer count.
    int AddLayer(LPCWSTR name);
    int GetLayerCount() const { return static_cast<int>(m_layers.size()); }
    // The control factory: makes the control of the element's type, lets it load itself and adds it to the
    // layer, whatever its load answered.
    bool CreateControl(CXmlElement* element, LPCWSTR basePath, int layerIndex);
    bool AddControlToLayer(CWnd* control, int layerIndex);
    void ShowLayer(LPCWSTR name, bool show);
    bool IsLayerVisible(LPCWSTR name) const;
    int GetControlIndex(CWnd* control) const;
    int GetControlCount() const { return static_cast<int>(m_controls.size()); }
    // The next (previous) visible, enabled tab-stop control in creation order, wrapping; the control itself
    // when no other qualifies; NULL for a window that is not one of the dialog's controls.
    CWnd* GetNextTabControl(CWnd* control) const;
    CWnd* GetPrevTabControl(CWnd* control) const;
    // Suspends painting of the dialog and its controls; clearing it invalidates the dialog and its controls.
    void LockRedraw(bool lock);
    bool IsRedrawLocked() const { return m_redrawLocked; }

    // Paints into dc, whose origin is the control's top-left corner, the background under the child with
    // that id.
    void PaintBackground(int controlId, CDC* dc);

    BOOL OnInitDialog() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    afx_msg void OnPaint();
    afx_msg void OnDestroy();

    DECLARE_MESSAGE_MAP()

private:
    void DestroyLayers();
    const CXBitmap* CurrentFrame() const;
    void FillBackground(CDC* dc, const RECT& rect) const;

    std::vector<CXLayer*> m_layers;
    std::vector<CWnd*> m_controls;
    bool m_redrawLocked = false;
    COLORREF m_backgroundColor = RGB(255, 255, 255);
    std::vector<CXBitmap*> m_backgroundBitmaps;
    CXBitmap* m_currentBitmap = nullptr;
    int m_width = 0;
    int m_height = 0;
};
