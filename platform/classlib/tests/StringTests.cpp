#include <gtest/gtest.h>

#include <string>

#include "classlib/String.h"
#include "crt/WideString.h"

namespace {

std::u16string Of(const CString& s) {
    return std::u16string(static_cast<LPCWSTR>(s), s.GetLength());
}

struct SliceCase {
    const char16_t* text;
    int first;
    int count;
    const char16_t* mid;
};

TEST(CStringTest, SlicesClampTheirArguments) {
    const SliceCase cases[] = {
        {u"container", 0, 3, u"con"},
        {u"container", 3, 100, u"tainer"},
        {u"container", -2, 3, u"con"},
        {u"container", 4, -1, u""},
        {u"container", 9, 1, u""},
        {u"container", 20, 2, u""},
        {u"", 0, 5, u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Of(CString(c.text).Mid(c.first, c.count)), c.mid) << c.first << " " << c.count;
    CString text(u"Encrypted Folder");
    EXPECT_EQ(Of(text.Mid(10)), u"Folder");
    EXPECT_EQ(Of(text.Mid(-5)), u"Encrypted Folder");
    EXPECT_EQ(Of(text.Left(9)), u"Encrypted");
    EXPECT_EQ(Of(text.Left(-1)), u"");
    EXPECT_EQ(Of(text.Left(99)), u"Encrypted Folder");
    EXPECT_EQ(Of(text.Right(6)), u"Folder");
    EXPECT_EQ(Of(text.Right(99)), u"Encrypted Folder");
}

TEST(CStringTest, FindsUnitsAndTexts) {
    CString path(u"\\Storage Card\\box.fvc");
    EXPECT_EQ(path.Find(u'\\'), 0);
    EXPECT_EQ(path.Find(u'\\', 1), 13);
    EXPECT_EQ(path.Find(u'x', 30), -1);
    EXPECT_EQ(path.Find(u'\\', -1), -1);
    EXPECT_EQ(path.Find(u"Card"), 9);
    EXPECT_EQ(path.Find(u"card"), -1);
    EXPECT_EQ(path.Find(u"", 3), 3);
    EXPECT_EQ(path.ReverseFind(u'\\'), 13);
    EXPECT_EQ(path.ReverseFind(u'.'), 17);
    EXPECT_EQ(path.ReverseFind(u'#'), -1);
}

TEST(CStringTest, ComparesAndConcatenates) {
    CString a(u"Alpha");
    EXPECT_EQ(a.Compare(u"Alpha"), 0);
    EXPECT_LT(a.Compare(u"alpha"), 0);
    EXPECT_EQ(a.CompareNoCase(u"ALPHA"), 0);
    EXPECT_GT(a.CompareNoCase(u"ALP"), 0);
    EXPECT_TRUE(a == u"Alpha");
    EXPECT_TRUE(u"Alpha" == a);
    EXPECT_TRUE(a != CString(u"Beta"));
    EXPECT_TRUE(a < CString(u"Beta"));
    CString joined = a + u'-' + CString(u"Beta") + u"!";
    EXPECT_EQ(Of(joined), u"Alpha-Beta!");
    joined += u'?';
    joined += static_cast<LPCWSTR>(nullptr);
    EXPECT_EQ(Of(joined), u"Alpha-Beta!?");
    EXPECT_EQ(Of(CString(u'*', 3)), u"***");
    EXPECT_EQ(Of(CString(static_cast<LPCWSTR>(nullptr))), u"");
    EXPECT_EQ(Of(CString("8-bit \xE9")), u"8-bit \u00E9");
    // Assigning a part of the string to itself.
    CString self(u"abcdef");
    self = static_cast<LPCWSTR>(self) + 2;
    EXPECT_EQ(Of(self), u"cdef");
    self += static_cast<LPCWSTR>(self);
    EXPECT_EQ(Of(self), u"cdefcdef");
    EXPECT_EQ(self.GetAt(1), u'd');
    EXPECT_EQ(self[99], 0);
    self.SetAt(0, u'X');
    self.SetAt(99, u'Y');
    EXPECT_EQ(Of(self), u"Xdefcdef");
}

TEST(CStringTest, ChangesCase) {
    CString text(u"Ferrovane \u00C9T\u00C9");
    EXPECT_EQ(Of(CString(text).MakeLower()), u"ferrovane \u00E9t\u00E9");
    EXPECT_EQ(Of(text.MakeUpper()), u"FERROVANE \u00C9T\u00C9");
}

TEST(CStringTest, FormatsWithTheRunTimesRules) {
    CString text;
    text.Format(u"[WINAPI-%04d] %s", 5, u"Access is denied.");
    EXPECT_EQ(Of(text), u"[WINAPI-0005] Access is denied.");
    text.Format(u"%d MB free, %.1f%%, %x %X %c %u", 12, 45.25, 255, 255, u'Z', 7u);
    EXPECT_EQ(Of(text), u"12 MB free, 45.2%, ff FF Z 7");
    text.Format(u"backgroundBitmap%i", 3);
    EXPECT_EQ(Of(text), u"backgroundBitmap3");
    // Long results grow the buffer.
    std::u16string longText(3000, u'x');
    text.Format(u"<%s>", longText.c_str());
    EXPECT_EQ(text.GetLength(), 3002);
    EXPECT_EQ(text[3001], u'>');
}

TEST(CStringTest, BuffersTakeWrittenText) {
    CString text(u"old");
    LPWSTR buffer = text.GetBuffer(10);
    wcscpy(buffer, u"written");
    text.ReleaseBuffer();
    EXPECT_EQ(Of(text), u"written");
    buffer = text.GetBuffer(2); // at least the current length
    EXPECT_EQ(buffer[6], u'n');
    text.ReleaseBuffer(5);
    EXPECT_EQ(Of(text), u"writt");
    buffer = text.GetBufferSetLength(3);
    buffer[0] = u'W';
    text.ReleaseBuffer(99); // never beyond the buffer
    EXPECT_EQ(Of(text), u"Wri");
    text.Empty();
    EXPECT_TRUE(text.IsEmpty());
}

} // namespace
