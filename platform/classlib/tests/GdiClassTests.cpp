#include <gtest/gtest.h>

#include <cstring>

#include "classlib/Gdi.h"
#include "gdi/Surface.h"
#include "kernel/Errors.h"

namespace {

class GdiClassTest : public ::testing::Test {
protected:
    void SetUp() override { m_objectsAtStart = gdi::OpenObjectCount(); }
    void TearDown() override {
        CGdiObject::DeleteTempMap();
        CDC::DeleteTempMap();
        EXPECT_EQ(gdi::OpenObjectCount(), m_objectsAtStart) << "a GDI object was left behind";
    }

    size_t m_objectsAtStart = 0;
};

TEST_F(GdiClassTest, ObjectsOwnTheirHandles) {
    HGDIOBJ handle = nullptr;
    {
        CBrush brush(RGB(1, 2, 3));
        handle = brush.m_hObject;
        ASSERT_NE(handle, nullptr);
        EXPECT_EQ(brush.GetObjectType(), static_cast<UINT>(OBJ_BRUSH));
        EXPECT_FALSE(brush.CreateSolidBrush(RGB(4, 5, 6))) << "an object holds one handle";
        LOGBRUSH logBrush{};
        EXPECT_TRUE(brush.GetLogBrush(&logBrush));
        EXPECT_EQ(logBrush.lbColor, RGB(1, 2, 3));
    }
    EXPECT_EQ(::GetObjectType(handle), 0u) << "the destructor deletes the handle";

    CPen pen(PS_SOLID, 2, RGB(9, 9, 9));
    HGDIOBJ detached = pen.Detach();
    EXPECT_EQ(pen.m_hObject, nullptr);
    EXPECT_FALSE(pen.DeleteObject());
    EXPECT_TRUE(::DeleteObject(detached));
}

TEST_F(GdiClassTest, FromHandleFindsOwnersAndMakesTemporaryWrappers) {
    CBitmap owned;
    ASSERT_TRUE(owned.CreateBitmap(4, 4, 1, 16, nullptr));
    EXPECT_EQ(CBitmap::FromHandle(owned), &owned);
    EXPECT_EQ(CGdiObject::FromHandle(owned.m_hObject), &owned);

    HBITMAP loose = ::CreateBitmap(2, 2, 1, 16, nullptr);
    CBitmap* wrapper = CBitmap::FromHandle(loose);
    ASSERT_NE(wrapper, nullptr);
    EXPECT_EQ(CBitmap::FromHandle(loose), wrapper);
    BITMAP record{};
    EXPECT_TRUE(wrapper->GetBitmap(&record));
    EXPECT_EQ(record.bmWidth, 2);
    // A wrapper is of the handle's kind.
    EXPECT_EQ(CBrush::FromHandle(reinterpret_cast<HBRUSH>(loose)), nullptr);
    EXPECT_NE(dynamic_cast<CBitmap*>(CGdiObject::FromHandle(reinterpret_cast<HGDIOBJ>(loose))), nullptr);
    EXPECT_EQ(CGdiObject::FromHandle(nullptr), nullptr);
    // Dropping the temporary wrappers leaves the handle alone.
    CGdiObject::DeleteTempMap();
    EXPECT_EQ(::GetObjectType(loose), static_cast<DWORD>(OBJ_BITMAP));
    EXPECT_TRUE(::DeleteObject(loose));
    // A deleted handle gets no wrapper.
    EXPECT_EQ(CBitmap::FromHandle(loose), nullptr);
}

TEST_F(GdiClassTest, DcSelectsAndDraws) {
    CDC dc;
    ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.CreateBitmap(20, 10, 1, 16, nullptr));
    CBitmap* previous = dc.SelectObject(&bitmap);
    ASSERT_NE(previous, nullptr);
    BITMAP record{};
    previous->GetBitmap(&record);
    EXPECT_EQ(record.bmBitsPixel, 1) << "the DC held its 1 x 1 monochrome bitmap";
    EXPECT_EQ(dc.GetCurrentBitmap(), &bitmap);

    CRect all(0, 0, 20, 10);
    dc.FillSolidRect(&all, RGB(255, 0, 0));
    EXPECT_EQ(dc.GetPixel(19, 9), RGB(255, 0, 0));
    EXPECT_EQ(dc.GetBkColor(), RGB(255, 0, 0)) << "FillSolidRect goes through the background colour";
    CBrush blue(RGB(0, 0, 255));
    CRect inner(2, 2, 8, 8);
    dc.FrameRect(&inner, &blue);
    EXPECT_EQ(dc.GetPixel(2, 5), RGB(0, 0, 255));
    EXPECT_EQ(dc.GetPixel(3, 5), RGB(255, 0, 0));
    dc.FillRect(&inner, &blue);
    EXPECT_EQ(dc.GetPixel(3, 5), RGB(0, 0, 255));

    CPen pen(PS_SOLID, 1, RGB(0, 255, 0));
    CPen* oldPen = dc.SelectObject(&pen);
    EXPECT_EQ(oldPen->m_hObject, ::GetStockObject(BLACK_PEN));
    dc.MoveTo(0, 0);
    EXPECT_EQ(dc.MoveTo(CPoint(10, 0)), CPoint(0, 0));
    dc.LineTo(15, 0);
    EXPECT_EQ(dc.GetPixel(12, 0), RGB(0, 255, 0));
    dc.SelectObject(oldPen);

    LOGFONTW logFont{};
    logFont.lfHeight = -12;
    std::memcpy(logFont.lfFaceName, u"Arial", sizeof u"Arial");
    CFont font;
    ASSERT_TRUE(font.CreateFontIndirect(&logFont));
    CFont* oldFont = dc.SelectObject(&font);
    EXPECT_EQ(oldFont->m_hObject, ::GetStockObject(SYSTEM_FONT));
    CString text(u"Hi");
    CRect calc(0, 0, 100, 0);
    dc.DrawText(text, &calc, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(calc.Size(), dc.GetTextExtent(text));
    dc.SelectObject(oldFont);

    // Copies between DCs.
    CDC other;
    other.CreateCompatibleDC(&dc);
    CBitmap target;
    target.CreateCompatibleBitmap(&dc, 20, 10);
    CBitmap* otherPrevious = other.SelectObject(&target);
    EXPECT_TRUE(other.BitBlt(0, 0, 20, 10, &dc, 0, 0, SRCCOPY));
    EXPECT_EQ(other.GetPixel(12, 0), RGB(0, 255, 0));
    other.SelectObject(otherPrevious);
    dc.SelectObject(previous);
}

TEST_F(GdiClassTest, ASelectionLastsForItsScopeAndSkipsAFontWithoutAHandle) {
    CDC dc;
    ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
    HGDIOBJ systemFont = ::GetStockObject(SYSTEM_FONT);
    LOGFONTW logFont{};
    logFont.lfHeight = -12;
    CFont font;
    ASSERT_TRUE(font.CreateFontIndirect(&logFont));
    {
        CSelectedObject selected(dc, &font);
        EXPECT_EQ(::GetCurrentObject(dc, OBJ_FONT), font.m_hObject);
    }
    EXPECT_EQ(::GetCurrentObject(dc, OBJ_FONT), systemFont);

    CFont empty;
    for (const CFont* nothing : {static_cast<const CFont*>(nullptr), static_cast<const CFont*>(&empty)}) {
        SetLastError(ERROR_SUCCESS);
        {
            CSelectedObject selected(dc, nothing);
            EXPECT_EQ(::GetCurrentObject(dc, OBJ_FONT), systemFont);
        }
        EXPECT_EQ(::GetCurrentObject(dc, OBJ_FONT), systemFont);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    }
}

TEST_F(GdiClassTest, DcHandleMaps) {
    HGDIOBJ deletedByDestructor = nullptr;
    {
        CDC dc;
        ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
        EXPECT_EQ(CDC::FromHandle(dc), &dc);
        deletedByDestructor = reinterpret_cast<HGDIOBJ>(dc.m_hDC);
    }
    EXPECT_EQ(::GetObjectType(deletedByDestructor), 0u);

    HDC loose = ::CreateCompatibleDC(nullptr);
    CDC* wrapper = CDC::FromHandle(loose);
    ASSERT_NE(wrapper, nullptr);
    EXPECT_EQ(CDC::FromHandle(loose), wrapper);
    EXPECT_EQ(wrapper->GetSafeHdc(), loose);
    CDC::DeleteTempMap();
    EXPECT_EQ(::GetObjectType(loose), static_cast<DWORD>(OBJ_MEMDC));
    EXPECT_TRUE(::DeleteDC(loose));

    CRgn region;
    ASSERT_TRUE(region.CreateRectRgn(0, 0, 5, 5));
    CRgn other;
    other.CreateRectRgn(3, 3, 9, 9);
    EXPECT_EQ(region.CombineRgn(&region, &other, RGN_OR), COMPLEXREGION);
    EXPECT_TRUE(region.PtInRegion(CPoint(8, 8)));
    CRect box;
    region.GetRgnBox(&box);
    EXPECT_EQ(box, CRect(0, 0, 9, 9));
}

TEST(GeometryTest, RectangleArithmetic) {
    CRect a(0, 0, 10, 10);
    CRect b(5, 5, 20, 20);
    EXPECT_EQ(a & b, CRect(5, 5, 10, 10));
    EXPECT_EQ(a | b, CRect(0, 0, 20, 20));
    CRect none;
    EXPECT_FALSE(none.IntersectRect(&a, CRect(10, 0, 20, 5)));
    EXPECT_TRUE(none.IsRectNull());
    EXPECT_EQ(CRect() | a, a) << "empty rectangles add nothing to a union";
    EXPECT_TRUE(a.PtInRect(CPoint(9, 9)));
    EXPECT_FALSE(a.PtInRect(CPoint(10, 9)));
    CRect moved = a + CPoint(3, 4);
    EXPECT_EQ(moved.TopLeft(), CPoint(3, 4));
    moved.DeflateRect(1, 2);
    EXPECT_EQ(moved, CRect(4, 6, 12, 12));
    EXPECT_EQ(moved.Size(), CSize(8, 6));
    CRect flipped(10, 10, 0, 0);
    EXPECT_TRUE(flipped.IsRectEmpty());
    flipped.NormalizeRect();
    EXPECT_EQ(flipped, a);
    EXPECT_EQ(CPoint(MAKELPARAM(-3, 7)), CPoint(-3, 7));
    EXPECT_EQ(CPoint(5, 5) - CPoint(2, 1), CSize(3, 4));
}

} // namespace
