#pragma once
// The class library's device-context and GDI-object classes. A C++ object owns the handle it created or
// was attached to: the destructor deletes it (DeleteObject, DeleteDC), Detach gives it up.
//
// FromHandle finds the object attached to a handle; for a handle that no object holds it makes a
// temporary object of the handle's kind (a CBitmap for a bitmap, ...), which is deleted, without deleting
// the handle, at the next DeleteTempMap (the class library's idle processing calls it). So the pointers
// that SelectObject and GetCurrent... return are valid until then and must not be deleted by the caller.
// Wrappers of handles that have been deleted or released may go earlier, when many have gathered. The
// maps belong to the calling thread.

#include "classlib/Geometry.h"
#include "classlib/String.h"
#include "crt/Types.h"
#include "gdi/Gdi.h"
#include "gdi/Scoped.h"

class CDC;

class CGdiObject {
public:
    CGdiObject() = default;
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    virtual ~CGdiObject();

    static CGdiObject* FromHandle(HGDIOBJ handle);
    static void DeleteTempMap();

    operator HGDIOBJ() const { return m_hObject; }
    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    // False when the handle is NULL or this object already holds one.
    BOOL Attach(HGDIOBJ handle);
    HGDIOBJ Detach();
    BOOL DeleteObject();
    int GetObject(int count, LPVOID buffer) const;
    UINT GetObjectType() const;
    BOOL CreateStockObject(int index);

    HGDIOBJ m_hObject = nullptr;
};

class CPen : public CGdiObject {
public:
    CPen() = default;
    CPen(int style, int width, COLORREF color) { CreatePen(style, width, color); }
    static CPen* FromHandle(HPEN pen);
    BOOL CreatePen(int style, int width, COLORREF color);
    int GetLogPen(LOGPEN* logPen) const { return GetObject(sizeof(LOGPEN), logPen); }
    operator HPEN() const { return reinterpret_cast<HPEN>(m_hObject); }
};

class CBrush : public CGdiObject {
public:
    CBrush() = default;
    explicit CBrush(COLORREF color) { CreateSolidBrush(color); }
    static CBrush* FromHandle(HBRUSH brush);
    BOOL CreateSolidBrush(COLORREF color);
    int GetLogBrush(LOGBRUSH* logBrush) const { return GetObject(sizeof(LOGBRUSH), logBrush); }
    operator HBRUSH() const { return reinterpret_cast<HBRUSH>(m_hObject); }
};

class CFont : public CGdiObject {
public:
    static CFont* FromHandle(HFONT font);
    BOOL CreateFontIndirect(const LOGFONTW* logFont);
    int GetLogFont(LOGFONTW* logFont) const { return GetObject(sizeof(LOGFONTW), logFont); }
    operator HFONT() const { return reinterpret_cast<HFONT>(m_hObject); }
};

class CBitmap : public CGdiObject {
public:
    static CBitmap* FromHandle(HBITMAP bitmap);
    BOOL CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
    BOOL CreateCompatibleBitmap(CDC* dc, int width, int height);
    int GetBitmap(BITMAP* bitmap) const { return GetObject(sizeof(BITMAP), bitmap); }
    operator HBITMAP() const { return reinterpret_cast<HBITMAP>(m_hObject); }
};

class CRgn : public CGdiObject {
public:
    static CRgn* FromHandle(HRGN region);
    BOOL CreateRectRgn(int left, int top, int right, int bottom);
    BOOL CreateRectRgnIndirect(LPCRECT rect);
    int CombineRgn(CRgn* source1, CRgn* source2, int mode);
    void SetRectRgn(int left, int top, int right, int bottom);
    void SetRectRgn(LPCRECT rect);
    int OffsetRgn(int x, int y);
    int GetRgnBox(LPRECT rect) const;
    BOOL PtInRegion(int x, int y) const;
    BOOL PtInRegion(POINT point) const { return PtInRegion(point.x, point.y); }
    operator HRGN() const { return reinterpret_cast<HRGN>(m_hObject); }
};

class CDC {
public:
    CDC() = default;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;
    virtual ~CDC();

    static CDC* FromHandle(HDC hdc);
    static void DeleteTempMap();

    operator HDC() const { return m_hDC; }
    HDC GetSafeHdc() const { return m_hDC; }
    BOOL Attach(HDC hdc);
    HDC Detach();
    virtual BOOL DeleteDC();
    // A memory DC compatible with dc (NULL: the screen).
    BOOL CreateCompatibleDC(CDC* dc);

    CPen* SelectObject(CPen* pen);
    CBrush* SelectObject(CBrush* brush);
    virtual CFont* SelectObject(CFont* font);
    CBitmap* SelectObject(CBitmap* bitmap);
    // The region type of the new clip, or ERROR.
    int SelectObject(CRgn* region);
    CGdiObject* SelectObject(CGdiObject* object);
    CGdiObject* SelectStockObject(int index);
    CPen* GetCurrentPen() const;
    CBrush* GetCurrentBrush() const;
    CFont* GetCurrentFont() const;
    CBitmap* GetCurrentBitmap() const;

    COLORREF SetTextColor(COLORREF color) { return ::SetTextColor(m_hDC, color); }
    COLORREF GetTextColor() const { return ::GetTextColor(m_hDC); }
    COLORREF SetBkColor(COLORREF color) { return ::SetBkColor(m_hDC, color); }
    COLORREF GetBkColor() const { return ::GetBkColor(m_hDC); }
    int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
    int GetBkMode() const { return ::GetBkMode(m_hDC); }
    CPoint SetViewportOrg(int x, int y);
    CPoint SetViewportOrg(POINT point) { return SetViewportOrg(point.x, point.y); }
    CPoint GetViewportOrg() const;
    int GetDeviceCaps(int index) const { return ::GetDeviceCaps(m_hDC, index); }

    void FillRect(LPCRECT rect, CBrush* brush);
    // Fills with the colour through the background colour, which keeps the new colour afterwards.
    void FillSolidRect(LPCRECT rect, COLORREF color);
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF color);
    void FrameRect(LPCRECT rect, CBrush* brush);
    BOOL Rectangle(int left, int top, int right, int bottom) {
        return ::Rectangle(m_hDC, left, top, right, bottom);
    }
    BOOL Rectangle(LPCRECT rect) { return Rectangle(rect->left, rect->top, rect->right, rect->bottom); }
    CPoint MoveTo(int x, int y);
    CPoint MoveTo(POINT point) { return MoveTo(point.x, point.y); }
    BOOL LineTo(int x, int y) { return ::LineTo(m_hDC, x, y); }
    BOOL LineTo(POINT point) { return LineTo(point.x, point.y); }
    COLORREF SetPixel(int x, int y, COLORREF color) { return ::SetPixel(m_hDC, x, y, color); }
    COLORREF GetPixel(int x, int y) const { return ::GetPixel(m_hDC, x, y); }
    BOOL BitBlt(int x, int y, int width, int height, CDC* source, int sourceX, int sourceY, DWORD rop);
    BOOL PatBlt(int x, int y, int width, int height, DWORD rop) {
        return ::PatBlt(m_hDC, x, y, width, height, rop);
    }

    virtual int DrawText(LPCWSTR text, int count, LPRECT rect, UINT format);
    int DrawText(const CString& text, LPRECT rect, UINT format);
    virtual BOOL TextOut(int x, int y, LPCWSTR text, int count);
    BOOL TextOut(int x, int y, const CString& text);
    virtual BOOL ExtTextOut(int x, int y, UINT options, LPCRECT rect, LPCWSTR text, UINT count,
                            const int* dx);
    CSize GetTextExtent(LPCWSTR text, int count) const;
    CSize GetTextExtent(const CString& text) const;
    BOOL GetTextMetrics(LPTEXTMETRICW metrics) const { return ::GetTextMetricsW(m_hDC, metrics); }

    virtual int SelectClipRgn(CRgn* region);
    int IntersectClipRect(int left, int top, int right, int bottom);
    int IntersectClipRect(LPCRECT rect);
    int ExcludeClipRect(int left, int top, int right, int bottom);
    int ExcludeClipRect(LPCRECT rect);
    virtual int GetClipBox(LPRECT rect) const { return ::GetClipBox(m_hDC, rect); }

    HDC m_hDC = nullptr;
};

// Selects a pen, brush, font or bitmap into a DC for a scope and the one it replaced back at its end; a
// null object, or one without a handle, selects nothing.
class CSelectedObject {
public:
    CSelectedObject(CDC& dc, const CGdiObject* object)
        : m_selection(dc.GetSafeHdc(), object != nullptr ? object->GetSafeHandle() : nullptr) {}

private:
    gdi::SelectedObject m_selection;
};
