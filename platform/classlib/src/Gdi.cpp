#include "classlib/Gdi.h"

#include <memory>
#include <unordered_map>

namespace {

void Release(CGdiObject& object) {
    object.m_hObject = nullptr;
}
void Release(CDC& dc) {
    dc.m_hDC = nullptr;
}

// The handle maps of one thread: objects that own their handles, and temporary wrappers, which never own
// theirs, not even when the thread ends.
template <typename Handle, typename Object>
struct HandleMaps {
    std::unordered_map<Handle, Object*> permanent;
    std::unordered_map<Handle, std::unique_ptr<Object>> temporary;

    // Temporary wrappers of handles that are gone serve nobody; past this many they are dropped.
    static constexpr size_t kPruneAbove = 256;

    HandleMaps() = default;
    HandleMaps(const HandleMaps&) = delete;
    HandleMaps& operator=(const HandleMaps&) = delete;
    ~HandleMaps() { DeleteTemporary(); }
    void PruneDead() {
        if (temporary.size() <= kPruneAbove)
            return;
        for (auto it = temporary.begin(); it != temporary.end();) {
            if (::GetObjectType(reinterpret_cast<HGDIOBJ>(it->first)) == 0) {
                Release(*it->second);
                it = temporary.erase(it);
            } else {
                ++it;
            }
        }
    }
    void DeleteTemporary() {
        auto doomed = std::move(temporary);
        temporary.clear();
        for (auto& [handle, object] : doomed)
            Release(*object);
    }
};

HandleMaps<HGDIOBJ, CGdiObject>& ObjectMaps() {
    thread_local HandleMaps<HGDIOBJ, CGdiObject> maps;
    return maps;
}

HandleMaps<HDC, CDC>& DcMaps() {
    thread_local HandleMaps<HDC, CDC> maps;
    return maps;
}

// A temporary wrapper of the handle's own kind.
std::unique_ptr<CGdiObject> MakeWrapper(HGDIOBJ handle) {
    switch (::GetObjectType(handle)) {
    case OBJ_PEN:
        return std::make_unique<CPen>();
    case OBJ_BRUSH:
        return std::make_unique<CBrush>();
    case OBJ_FONT:
        return std::make_unique<CFont>();
    case OBJ_BITMAP:
        return std::make_unique<CBitmap>();
    case OBJ_REGION:
        return std::make_unique<CRgn>();
    default:
        return nullptr;
    }
}

// Attaches a handle just made for an object; one that cannot be attached is deleted again.
BOOL AttachNew(CGdiObject& object, HGDIOBJ handle) {
    if (object.Attach(handle))
        return TRUE;
    if (handle)
        ::DeleteObject(handle);
    return FALSE;
}

template <typename T, typename Handle>
T* WrapperAs(Handle handle) {
    return dynamic_cast<T*>(CGdiObject::FromHandle(reinterpret_cast<HGDIOBJ>(handle)));
}

} // namespace

CGdiObject::~CGdiObject() {
    DeleteObject();
}

CGdiObject* CGdiObject::FromHandle(HGDIOBJ handle) {
    if (!handle)
        return nullptr;
    auto& maps = ObjectMaps();
    if (auto it = maps.permanent.find(handle); it != maps.permanent.end())
        return it->second;
    if (auto it = maps.temporary.find(handle); it != maps.temporary.end())
        return it->second.get();
    auto wrapper = MakeWrapper(handle);
    if (!wrapper)
        return nullptr;
    maps.PruneDead();
    wrapper->m_hObject = handle;
    CGdiObject* result = wrapper.get();
    maps.temporary.emplace(handle, std::move(wrapper));
    return result;
}

void CGdiObject::DeleteTempMap() {
    ObjectMaps().DeleteTemporary();
}

BOOL CGdiObject::Attach(HGDIOBJ handle) {
    if (!handle || m_hObject)
        return FALSE;
    m_hObject = handle;
    ObjectMaps().permanent[handle] = this;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
    HGDIOBJ handle = m_hObject;
    if (handle) {
        auto& permanent = ObjectMaps().permanent;
        if (auto it = permanent.find(handle); it != permanent.end() && it->second == this)
            permanent.erase(it);
    }
    m_hObject = nullptr;
    return handle;
}

BOOL CGdiObject::DeleteObject() {
    if (!m_hObject)
        return FALSE;
    return ::DeleteObject(Detach());
}

int CGdiObject::GetObject(int count, LPVOID buffer) const {
    return ::GetObjectW(m_hObject, count, buffer);
}

UINT CGdiObject::GetObjectType() const {
    return m_hObject ? ::GetObjectType(m_hObject) : 0;
}

BOOL CGdiObject::CreateStockObject(int index) {
    return Attach(::GetStockObject(index));
}

CPen* CPen::FromHandle(HPEN pen) {
    return WrapperAs<CPen>(pen);
}

BOOL CPen::CreatePen(int style, int width, COLORREF color) {
    return AttachNew(*this, reinterpret_cast<HGDIOBJ>(::CreatePen(style, width, color)));
}

CBrush* CBrush::FromHandle(HBRUSH brush) {
    return WrapperAs<CBrush>(brush);
}

BOOL CBrush::CreateSolidBrush(COLORREF color) {
    return AttachNew(*this, reinterpret_cast<HGDIOBJ>(::CreateSolidBrush(color)));
}

CFont* CFont::FromHandle(HFONT font) {
    return WrapperAs<CFont>(font);
}

BOOL CFont::CreateFontIndirect(const LOGFONTW* logFont) {
    return AttachNew(*this, reinterpret_cast<HGDIOBJ>(::CreateFontIndirectW(logFont)));
}

CBitmap* CBitmap::FromHandle(HBITMAP bitmap) {
    return WrapperAs<CBitmap>(bitmap);
}

BOOL CBitmap::CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
    return AttachNew(*this,
                     reinterpret_cast<HGDIOBJ>(::CreateBitmap(width, height, planes, bitsPerPixel, bits)));
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height) {
    if (!dc)
        return FALSE;
    return AttachNew(*this, reinterpret_cast<HGDIOBJ>(::CreateCompatibleBitmap(dc->m_hDC, width, height)));
}

CRgn* CRgn::FromHandle(HRGN region) {
    return WrapperAs<CRgn>(region);
}

BOOL CRgn::CreateRectRgn(int left, int top, int right, int bottom) {
    return AttachNew(*this, reinterpret_cast<HGDIOBJ>(::CreateRectRgn(left, top, right, bottom)));
}

BOOL CRgn::CreateRectRgnIndirect(LPCRECT rect) {
    return AttachNew(*this, reinterpret_cast<HGDIOBJ>(::CreateRectRgnIndirect(rect)));
}

int CRgn::CombineRgn(CRgn* source1, CRgn* source2, int mode) {
    return ::CombineRgn(*this, source1 ? static_cast<HRGN>(*source1) : nullptr,
                        source2 ? static_cast<HRGN>(*source2) : nullptr, mode);
}

void CRgn::SetRectRgn(int left, int top, int right, int bottom) {
    ::SetRectRgn(*this, left, top, right, bottom);
}

void CRgn::SetRectRgn(LPCRECT rect) {
    SetRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

int CRgn::OffsetRgn(int x, int y) {
    return ::OffsetRgn(*this, x, y);
}

int CRgn::GetRgnBox(LPRECT rect) const {
    return ::GetRgnBox(*this, rect);
}

BOOL CRgn::PtInRegion(int x, int y) const {
    return ::PtInRegion(*this, x, y);
}

CDC::~CDC() {
    if (m_hDC)
        ::DeleteDC(Detach());
}

CDC* CDC::FromHandle(HDC hdc) {
    if (!hdc)
        return nullptr;
    auto& maps = DcMaps();
    if (auto it = maps.permanent.find(hdc); it != maps.permanent.end())
        return it->second;
    if (auto it = maps.temporary.find(hdc); it != maps.temporary.end())
        return it->second.get();
    maps.PruneDead();
    auto wrapper = std::make_unique<CDC>();
    wrapper->m_hDC = hdc;
    CDC* result = wrapper.get();
    maps.temporary.emplace(hdc, std::move(wrapper));
    return result;
}

void CDC::DeleteTempMap() {
    DcMaps().DeleteTemporary();
}

BOOL CDC::Attach(HDC hdc) {
    if (!hdc || m_hDC)
        return FALSE;
    m_hDC = hdc;
    DcMaps().permanent[hdc] = this;
    return TRUE;
}

HDC CDC::Detach() {
    HDC hdc = m_hDC;
    if (hdc) {
        auto& permanent = DcMaps().permanent;
        if (auto it = permanent.find(hdc); it != permanent.end() && it->second == this)
            permanent.erase(it);
    }
    m_hDC = nullptr;
    return hdc;
}

BOOL CDC::DeleteDC() {
    if (!m_hDC)
        return FALSE;
    return ::DeleteDC(Detach());
}

BOOL CDC::CreateCompatibleDC(CDC* dc) {
    if (m_hDC)
        return FALSE;
    return Attach(::CreateCompatibleDC(dc ? dc->m_hDC : nullptr));
}

CPen* CDC::SelectObject(CPen* pen) {
    return pen ? CPen::FromHandle(reinterpret_cast<HPEN>(::SelectObject(m_hDC, pen->m_hObject))) : nullptr;
}

CBrush* CDC::SelectObject(CBrush* brush) {
    return brush ? CBrush::FromHandle(reinterpret_cast<HBRUSH>(::SelectObject(m_hDC, brush->m_hObject)))
                 : nullptr;
}

CFont* CDC::SelectObject(CFont* font) {
    return font ? CFont::FromHandle(reinterpret_cast<HFONT>(::SelectObject(m_hDC, font->m_hObject)))
                : nullptr;
}

CBitmap* CDC::SelectObject(CBitmap* bitmap) {
    if (!bitmap)
        return nullptr;
    return CBitmap::FromHandle(reinterpret_cast<HBITMAP>(::SelectObject(m_hDC, bitmap->m_hObject)));
}

int CDC::SelectObject(CRgn* region) {
    return SelectClipRgn(region);
}

CGdiObject* CDC::SelectObject(CGdiObject* object) {
    return object ? CGdiObject::FromHandle(::SelectObject(m_hDC, object->m_hObject)) : nullptr;
}

CGdiObject* CDC::SelectStockObject(int index) {
    HGDIOBJ stock = ::GetStockObject(index);
    return stock ? CGdiObject::FromHandle(::SelectObject(m_hDC, stock)) : nullptr;
}

CPen* CDC::GetCurrentPen() const {
    return CPen::FromHandle(reinterpret_cast<HPEN>(::GetCurrentObject(m_hDC, OBJ_PEN)));
}

CBrush* CDC::GetCurrentBrush() const {
    return CBrush::FromHandle(reinterpret_cast<HBRUSH>(::GetCurrentObject(m_hDC, OBJ_BRUSH)));
}

CFont* CDC::GetCurrentFont() const {
    return CFont::FromHandle(reinterpret_cast<HFONT>(::GetCurrentObject(m_hDC, OBJ_FONT)));
}

CBitmap* CDC::GetCurrentBitmap() const {
    return CBitmap::FromHandle(reinterpret_cast<HBITMAP>(::GetCurrentObject(m_hDC, OBJ_BITMAP)));
}

CPoint CDC::SetViewportOrg(int x, int y) {
    POINT previous{};
    ::SetViewportOrgEx(m_hDC, x, y, &previous);
    return previous;
}

CPoint CDC::GetViewportOrg() const {
    POINT origin{};
    ::GetViewportOrgEx(m_hDC, &origin);
    return origin;
}

void CDC::FillRect(LPCRECT rect, CBrush* brush) {
    ::FillRect(m_hDC, rect, brush ? static_cast<HBRUSH>(*brush) : nullptr);
}

void CDC::FillSolidRect(LPCRECT rect, COLORREF color) {
    ::SetBkColor(m_hDC, color);
    ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, rect, nullptr, 0, nullptr);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF color) {
    RECT rect{x, y, x + cx, y + cy};
    FillSolidRect(&rect, color);
}

void CDC::FrameRect(LPCRECT rect, CBrush* brush) {
    ::FrameRect(m_hDC, rect, brush ? static_cast<HBRUSH>(*brush) : nullptr);
}

CPoint CDC::MoveTo(int x, int y) {
    POINT previous{};
    ::MoveToEx(m_hDC, x, y, &previous);
    return previous;
}

BOOL CDC::BitBlt(int x, int y, int width, int height, CDC* source, int sourceX, int sourceY, DWORD rop) {
    return ::BitBlt(m_hDC, x, y, width, height, source ? source->m_hDC : nullptr, sourceX, sourceY, rop);
}

int CDC::DrawText(LPCWSTR text, int count, LPRECT rect, UINT format) {
    return ::DrawTextW(m_hDC, text, count, rect, format);
}

int CDC::DrawText(const CString& text, LPRECT rect, UINT format) {
    return DrawText(text, text.GetLength(), rect, format);
}

BOOL CDC::TextOut(int x, int y, LPCWSTR text, int count) {
    return ::TextOutW(m_hDC, x, y, text, count);
}

BOOL CDC::TextOut(int x, int y, const CString& text) {
    return TextOut(x, y, text, text.GetLength());
}

BOOL CDC::ExtTextOut(int x, int y, UINT options, LPCRECT rect, LPCWSTR text, UINT count, const int* dx) {
    return ::ExtTextOutW(m_hDC, x, y, options, rect, text, count, dx);
}

CSize CDC::GetTextExtent(LPCWSTR text, int count) const {
    SIZE size{};
    ::GetTextExtentPoint32W(m_hDC, text, count, &size);
    return size;
}

CSize CDC::GetTextExtent(const CString& text) const {
    return GetTextExtent(text, text.GetLength());
}

int CDC::SelectClipRgn(CRgn* region) {
    return ::SelectClipRgn(m_hDC, region ? static_cast<HRGN>(*region) : nullptr);
}

int CDC::IntersectClipRect(int left, int top, int right, int bottom) {
    return ::IntersectClipRect(m_hDC, left, top, right, bottom);
}

int CDC::IntersectClipRect(LPCRECT rect) {
    return IntersectClipRect(rect->left, rect->top, rect->right, rect->bottom);
}

int CDC::ExcludeClipRect(int left, int top, int right, int bottom) {
    return ::ExcludeClipRect(m_hDC, left, top, right, bottom);
}

int CDC::ExcludeClipRect(LPCRECT rect) {
    return ExcludeClipRect(rect->left, rect->top, rect->right, rect->bottom);
}
