#include "XDialog.h"

#include <algorithm>
#include <array>
#include <memory>
#include <utility>

#include "XButton.h"
#include "XCheckBox.h"
#include "XEdit.h"
#include "XList.h"
#include "XMemDC.h"
#include "XSlider.h"
#include "XStatic.h"
#include "classlib/App.h"
#include "user/System.h"

IMPLEMENT_DYNAMIC(CXDialog, CDialog)

BEGIN_MESSAGE_MAP(CXDialog, CDialog)
ON_WM_ERASEBKGND()
ON_WM_PAINT()
ON_WM_DESTROY()
END_MESSAGE_MAP()

namespace {

struct ElementName {
    const char16_t* name;
    XmlElementType type;
};

// Sorted by name, compared exactly.
constexpr std::array<ElementName, 9> kElementNames = {{
    {u"xButton", kXmlButton},
    {u"xCheckBox", kXmlCheckBox},
    {u"xEdit", kXmlEdit},
    {u"xForm", kXmlForm},
    {u"xLayer", kXmlLayer},
    {u"xList", kXmlList},
    {u"xSlider", kXmlSlider},
    {u"xStatic", kXmlStatic},
    {u"xTree", kXmlTree},
}};

// A control of the element's class that has loaded itself from the element; what the load answered does
// not matter, the control joins its layer either way.
template <typename Control, typename... Arguments>
Control* Made(CXmlElement* element, Arguments... arguments) {
    auto control = std::make_unique<Control>();
    control->LoadFromXml(element, arguments...);
    return control.release();
}

bool Qualifies(CWnd* control) {
    return control->m_hWnd != nullptr &&
           (control->GetStyle() & (WS_VISIBLE | WS_TABSTOP)) == (WS_VISIBLE | WS_TABSTOP) &&
           control->IsWindowEnabled();
}

} // namespace

// --- Layers ------------------------------------------------------------------------------------------------

CXDialog::CXLayer::CXLayer(LPCWSTR name) {
    if (name != nullptr)
        Init(name);
}

CXDialog::CXLayer::~CXLayer() {
    DestroyControls();
}

void CXDialog::CXLayer::Init(LPCWSTR name) {
    DestroyControls();
    m_visible = true;
    m_name = name;
}

void CXDialog::CXLayer::DestroyControls() {
    m_name.Empty();
    while (!m_controls.empty()) {
        CWnd* control = m_controls.back();
        m_controls.pop_back();
        if (control->m_hWnd != nullptr)
            control->DestroyWindow();
        delete control;
    }
}

int CXDialog::CXLayer::Add(CWnd* control) {
    m_controls.push_back(control);
    return GetCount();
}

CWnd* CXDialog::CXLayer::GetAt(int index) const {
    return index >= 0 && index < GetCount() ? m_controls[static_cast<size_t>(index)] : nullptr;
}

bool CXDialog::CXLayer::Show(bool show, CWnd* focus) {
    m_visible = show;
    bool holdsFocus = false;
    for (auto it = m_controls.rbegin(); it != m_controls.rend(); ++it) {
        CWnd* control = *it;
        // A control whose load failed has no window to show.
        if (control->m_hWnd != nullptr)
            control->ShowWindow(show ? SW_SHOW : SW_HIDE);
        if (focus != nullptr && control->m_hWnd != nullptr && control->m_hWnd == focus->m_hWnd)
            holdsFocus = true;
    }
    return holdsFocus;
}

// --- The dialog --------------------------------------------------------------------------------------------

CXDialog::CXDialog(UINT templateId, CWnd* parent) : CDialog(templateId, parent) {}

CXDialog::~CXDialog() {
    // OnDestroy frees everything while the window goes; a dialog that never had one frees it here.
    DestroyLayers();
    FreeBackgroundBitmaps();
}

void CXDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
}

BOOL CXDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    ModifyStyle(0, WS_CLIPCHILDREN);
    return TRUE;
}

int CXDialog::GetElementType(LPCWSTR name) {
    if (name == nullptr)
        return kXmlUnknown;
    const std::u16string_view wanted(name);
    const auto it = std::lower_bound(kElementNames.begin(), kElementNames.end(), wanted,
                                     [](const ElementName& entry, std::u16string_view key) {
                                         return std::u16string_view(entry.name) < key;
                                     });
    return it != kElementNames.end() && wanted == it->name ? it->type : kXmlUnknown;
}

bool CXDialog::LoadSkin(LPCWSTR path) {
    CXmlDocument document;
    if (!document.Init())
        return false;
    if (!document.Load(path)) {
        document.Uninit(false);
        return false;
    }
    CXmlElement root;
    if (document.GetRootElement(root) && GetElementType(root.GetName()) == kXmlForm) {
        CString basePath;
        bool relative = false;
        root.GetBoolAttribute(u"relativePathes", &relative);
        if (relative) {
            basePath = path;
            basePath = basePath.Left(basePath.ReverseFind(u'\\') + 1);
        }

        CString caption;
        root.GetAttribute(u"caption", &caption);
        SetWindowText(caption);

        int colour = RGB(255, 255, 255);
        root.GetIntAttribute(u"backgroundColor", &colour);
        SetBackgroundColor(static_cast<COLORREF>(colour));

        CString bitmap;
        if (root.GetAttribute(u"backgroundBitmap", &bitmap) && !bitmap.IsEmpty()) {
            AddBackgroundBitmap(basePath + bitmap);
            SelectBackgroundBitmap(0);
        } else {
            for (int i = 0;; ++i) {
                CString name;
                name.Format(u"backgroundBitmap%i", i);
                CString numbered;
                if (!root.GetAttribute(name, &numbered) || numbered.IsEmpty())
                    break;
                AddBackgroundBitmap(basePath + numbered);
            }
            int selected = 0;
            root.GetIntAttribute(u"defaultBackgroundBitmap", &selected);
            if (!SelectBackgroundBitmap(selected)) {
                m_width = GetSystemMetrics(SM_CXSCREEN);
                m_height = GetSystemMetrics(SM_CYSCREEN);
                root.GetIntAttribute(u"width", &m_width);
                root.GetIntAttribute(u"height", &m_height);
            }
            ResizeToSkin();
        }

        CXmlElement layer;
        CXmlElement child;
        CString layerName; // a layer without a name takes the one before it
        for (int i = 0; i < root.GetChildCount(); ++i) {
            if (!root.GetChild(i, layer) || GetElementType(layer.GetName()) != kXmlLayer)
                continue;
            layer.GetAttribute(u"name", &layerName);
            const int layerIndex = AddLayer(layerName) - 1;
            for (int j = 0; j < layer.GetChildCount(); ++j) {
                if (layer.GetChild(j, child))
                    CreateControl(&child, basePath, layerIndex);
            }
        }
    }
    document.Close();
    document.Uninit(false);
    CenterWindow();
    return true;
}

void CXDialog::SetBackgroundColor(COLORREF color) {
    m_backgroundColor = color;
    if (m_hWnd != nullptr)
        InvalidateRect(nullptr, FALSE);
}

int CXDialog::AddBackgroundBitmap(LPCWSTR path) {
    auto bitmap = std::make_unique<CXBitmap>();
    bitmap->LoadFromFile(path, 1, false);
    m_backgroundBitmaps.push_back(bitmap.release());
    return GetBackgroundBitmapCount();
}

int CXDialog::AddBackgroundBitmap(UINT resourceId, bool plainLoader) {
    auto bitmap = std::make_unique<CXBitmap>();
    bitmap->LoadFromResource(AfxGetInstanceHandle(), resourceId, 1, false, plainLoader);
    m_backgroundBitmaps.push_back(bitmap.release());
    return GetBackgroundBitmapCount();
}

bool CXDialog::SelectBackgroundBitmap(int index) {
    if (index < 0 || index >= GetBackgroundBitmapCount())
        return false;
    CXBitmap* bitmap = m_backgroundBitmaps[static_cast<size_t>(index)];
    if (bitmap->GetFrameWidth() == 0)
        return false;
    m_currentBitmap = bitmap;
    m_width = static_cast<int>(bitmap->GetFrameWidth());
    m_height = bitmap->GetFrameHeight();
    ResizeToSkin();
    return true;
}

void CXDialog::FreeBackgroundBitmaps() {
    while (!m_backgroundBitmaps.empty()) {
        delete m_backgroundBitmaps.back();
        m_backgroundBitmaps.pop_back();
    }
    m_currentBitmap = nullptr;
}

void CXDialog::ResizeToSkin() {
    if (m_hWnd == nullptr)
        return;
    RECT rect{0, 0, m_width - 1, m_height - 1};
    AdjustWindowRectEx(&rect, static_cast<DWORD>(GetWindowLongW(m_hWnd, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(m_hWnd, GWL_EXSTYLE)));
    SetWindowPos(nullptr, 0, 0, rect.right - rect.left + 1, rect.bottom - rect.top + 1,
                 SWP_NOMOVE | SWP_NOZORDER);
}

// --- Layers and controls -----------------------------------------------------------------------------------

int CXDialog::AddLayer(LPCWSTR name) {
    m_layers.push_back(new CXLayer(name));
    return GetLayerCount();
}

bool CXDialog::CreateControl(CXmlElement* element, LPCWSTR basePath, int layerIndex) {
    if (layerIndex < 0 || layerIndex >= GetLayerCount() || element == nullptr)
        return false;
    CWnd* control = nullptr;
    switch (GetElementType(element->GetName())) {
    case kXmlButton:
        control = Made<CXButton>(element, this, basePath);
        break;
    case kXmlCheckBox:
        control = Made<CXCheckBox>(element, this, basePath);
        break;
    case kXmlStatic:
        control = Made<CXStatic>(element, this, basePath);
        break;
    case kXmlSlider:
        control = Made<CXSlider>(element, this, basePath);
        break;
    case kXmlTree:
        control = Made<CXTree>(element, this, basePath);
        break;
    case kXmlEdit:
        control = Made<CXEdit>(element, this);
        break;
    case kXmlList:
        control = Made<CXList>(element, this);
        break;
    default:
        return false;
    }
    return AddControlToLayer(control, layerIndex);
}

bool CXDialog::AddControlToLayer(CWnd* control, int layerIndex) {
    if (layerIndex < 0 || layerIndex >= GetLayerCount())
        return false;
    m_layers[static_cast<size_t>(layerIndex)]->Add(control);
    m_controls.push_back(control);
    return true;
}

void CXDialog::ShowLayer(LPCWSTR name, bool show) {
    for (CXLayer* layer : m_layers) {
        if (CString(layer->GetName()).Compare(name) != 0)
            continue;
        const bool wasLocked = m_redrawLocked;
        if (!wasLocked)
            LockRedraw(true);
        CWnd* focus = CWnd::GetFocus();
        if (layer->Show(show, focus)) {
            if (CWnd* next = GetNextTabControl(focus))
                next->SetFocus();
        }
        if (!wasLocked)
            LockRedraw(false);
    }
}

bool CXDialog::IsLayerVisible(LPCWSTR name) const {
    for (const CXLayer* layer : m_layers) {
        if (CString(layer->GetName()).Compare(name) == 0)
            return layer->IsVisible();
    }
    return false;
}

int CXDialog::GetControlIndex(CWnd* control) const {
    if (control == nullptr)
        return -1;
    for (size_t i = 0; i < m_controls.size(); ++i) {
        // Temporary objects stand for a window too: a control is found by its window as well.
        if (m_controls[i] == control ||
            (control->m_hWnd != nullptr && m_controls[i]->m_hWnd == control->m_hWnd))
            return static_cast<int>(i);
    }
    return -1;
}

CWnd* CXDialog::GetNextTabControl(CWnd* control) const {
    const int index = GetControlIndex(control);
    if (index < 0)
        return nullptr;
    const int count = GetControlCount();
    for (int step = 1; step < count; ++step) {
        CWnd* candidate = m_controls[static_cast<size_t>((index + step) % count)];
        if (Qualifies(candidate))
            return candidate;
    }
    return m_controls[static_cast<size_t>(index)];
}

CWnd* CXDialog::GetPrevTabControl(CWnd* control) const {
    const int index = GetControlIndex(control);
    if (index < 0)
        return nullptr;
    const int count = GetControlCount();
    for (int step = 1; step < count; ++step) {
        CWnd* candidate = m_controls[static_cast<size_t>((index - step + count) % count)];
        if (Qualifies(candidate))
            return candidate;
    }
    return m_controls[static_cast<size_t>(index)];
}

void CXDialog::LockRedraw(bool lock) {
    m_redrawLocked = lock;
    // The controls too: a control that was changed under the lock skipped its paint, and the dialog
    // clips its children.
    if (!lock && m_hWnd != nullptr)
        RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

// --- Painting ----------------------------------------------------------------------------------------------

const CXBitmap* CXDialog::CurrentFrame() const {
    return m_currentBitmap != nullptr && m_currentBitmap->GetFrameWidth() != 0 ? m_currentBitmap : nullptr;
}

BOOL CXDialog::OnEraseBkgnd(CDC*) {
    return TRUE;
}

void CXDialog::OnPaint() {
    if (m_redrawLocked)
        return;
    CPaintDC paint(this);
    CRect client;
    GetClientRect(&client);
    CXMemDC buffer(&paint, client.right, client.bottom);
    CDC* dc = buffer.GetDC();
    if (dc == nullptr)
        return;
    if (const CXBitmap* bitmap = CurrentFrame()) {
        if (client.right > static_cast<LONG>(bitmap->GetFrameWidth()) ||
            client.bottom > bitmap->GetFrameHeight())
            dc->FillSolidRect(&client, m_backgroundColor);
        m_currentBitmap->DrawAll(dc, 0, 0);
    } else {
        dc->FillSolidRect(&client, m_backgroundColor);
    }
    buffer.Release();
}

void CXDialog::PaintBackground(int controlId, CDC* dc) {
    CWnd* child = GetDlgItem(controlId);
    if (child == nullptr || dc == nullptr)
        return;
    CRect rect;
    child->GetWindowRect(&rect);
    ScreenToClient(&rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (const CXBitmap* bitmap = CurrentFrame()) {
        if (static_cast<UINT>(rect.right) >= bitmap->GetFrameWidth() ||
            static_cast<UINT>(rect.bottom) >= static_cast<UINT>(bitmap->GetFrameHeight()))
            dc->FillSolidRect(0, 0, width, height, m_backgroundColor);
        m_currentBitmap->Draw(dc, 0, 0, width, height, rect.left, rect.top);
    } else {
        dc->FillSolidRect(0, 0, width, height, m_backgroundColor);
    }
}

void CXDialog::OnDestroy() {
    DestroyLayers();
    FreeBackgroundBitmaps();
    CDialog::OnDestroy();
}

void CXDialog::DestroyLayers() {
    // The list of controls goes first: nothing may reach a deleted control through it.
    m_controls.clear();
    while (!m_layers.empty()) {
        delete m_layers.back();
        m_layers.pop_back();
    }
}
