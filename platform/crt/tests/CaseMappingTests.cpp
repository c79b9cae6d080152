#include <gtest/gtest.h>

#include "crt/WideString.h"

namespace {

struct Pair {
    WCHAR upper;
    WCHAR lower;
};

// Letters of every run kind: contiguous offsets, alternating pairs that start on an even or an odd
// unit, and the pairs whose two halves lie in different blocks.
constexpr Pair kPairs[] = {
    {u'A', u'a'},     {u'Z', u'z'},     {0x00C0, 0x00E0}, {0x00D6, 0x00F6}, {0x00D8, 0x00F8},
    {0x00DE, 0x00FE}, {0x0178, 0x00FF}, {0x0100, 0x0101}, {0x012E, 0x012F}, {0x0132, 0x0133},
    {0x0139, 0x013A}, {0x0147, 0x0148}, {0x014A, 0x014B}, {0x0176, 0x0177}, {0x0179, 0x017A},
    {0x017D, 0x017E}, {0x0386, 0x03AC}, {0x0388, 0x03AD}, {0x038C, 0x03CC}, {0x038F, 0x03CE},
    {0x0391, 0x03B1}, {0x03A1, 0x03C1}, {0x03A3, 0x03C3}, {0x03A9, 0x03C9}, {0x03AB, 0x03CB},
    {0x03E2, 0x03E3}, {0x03F9, 0x03F2}, {0x03FD, 0x037B}, {0x037F, 0x03F3}, {0x0400, 0x0450},
    {0x040F, 0x045F}, {0x0410, 0x0430}, {0x042F, 0x044F}, {0x0460, 0x0461}, {0x048A, 0x048B},
    {0x04C0, 0x04CF}, {0x04C1, 0x04C2}, {0x04CD, 0x04CE}, {0x04D0, 0x04D1}, {0x04FE, 0x04FF},
};

TEST(CaseMapping, MapsLetterPairsBothWays) {
    for (const Pair& pair : kPairs) {
        SCOPED_TRACE(testing::Message() << std::hex << "U+" << int{pair.upper});
        EXPECT_EQ(int{ToLowerW(pair.upper)}, int{pair.lower});
        EXPECT_EQ(int{ToUpperW(pair.lower)}, int{pair.upper});
        EXPECT_EQ(int{ToLowerW(pair.lower)}, int{pair.lower});
        EXPECT_EQ(int{ToUpperW(pair.upper)}, int{pair.upper});
    }
}

TEST(CaseMapping, OneWayMappingsKeepTheirOtherSide) {
    struct Case {
        WCHAR unit;
        WCHAR lower;
        WCHAR upper;
    } const cases[] = {
        {0x0130, u'i', 0x0130},   // dotted capital I
        {0x0131, 0x0131, u'I'},   // dotless i
        {0x017F, 0x017F, u'S'},   // long s
        {0x03C2, 0x03C2, 0x03A3}, // final sigma
        {0x03D0, 0x03D0, 0x0392}, // beta symbol
        {0x03F4, 0x03B8, 0x03F4}, // capital theta symbol
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << "U+" << int{c.unit});
        EXPECT_EQ(int{ToLowerW(c.unit)}, int{c.lower});
        EXPECT_EQ(int{ToUpperW(c.unit)}, int{c.upper});
    }
}

TEST(CaseMapping, LeavesUnitsWithoutAOneUnitCounterpartAlone) {
    const WCHAR units[] = {
        u'@',   u'[',   u'`',   u'{',   u'0',   0x00B5, 0x00D7, 0x00DF, 0x00F7,
        0x0138, 0x0149, 0x0180, 0x0374, 0x0390, 0x03A2, 0x03B0, 0x0482, 0x0489,
        0x0500, 0x1E00, 0x4E2D, 0xFF21, 0xD83D, 0xFFFF, 0,
    };
    for (WCHAR unit : units) {
        SCOPED_TRACE(testing::Message() << std::hex << "U+" << int{unit});
        EXPECT_EQ(int{ToLowerW(unit)}, int{unit});
        EXPECT_EQ(int{ToUpperW(unit)}, int{unit});
    }
}

TEST(CaseMapping, EveryLoweredCapitalRaisesBackToItself) {
    const WCHAR oneWay[] = {0x0130, 0x03F4};
    for (unsigned c = 0; c <= 0xFFFF; ++c) {
        const auto unit = static_cast<WCHAR>(c);
        if (unit == oneWay[0] || unit == oneWay[1])
            continue;
        const WCHAR lower = ToLowerW(unit);
        if (lower != unit) {
            ASSERT_EQ(int{ToUpperW(lower)}, int{unit}) << std::hex << "U+" << c;
            ASSERT_EQ(int{ToLowerW(lower)}, int{lower}) << std::hex << "U+" << c;
        }
    }
}

TEST(CharacterClasses, SpacesAndDigitsAreTheAsciiOnes) {
    for (WCHAR unit : {u' ', u'\t', u'\n', u'\v', u'\f', u'\r'})
        EXPECT_TRUE(IsSpaceW(unit)) << int{unit};
    for (WCHAR unit : {WCHAR{0}, WCHAR{0x08}, WCHAR{0x0E}, WCHAR{0x1F}, u'a', WCHAR{0x00A0}, WCHAR{0x3000}})
        EXPECT_FALSE(IsSpaceW(unit)) << int{unit};
    for (WCHAR unit = u'0'; unit <= u'9'; ++unit)
        EXPECT_TRUE(IsDigitW(unit)) << int{unit};
    for (WCHAR unit : {u'/', u':', u'a', WCHAR{0x0660}, WCHAR{0xFF10}, WCHAR{0x00B2}})
        EXPECT_FALSE(IsDigitW(unit)) << int{unit};
}

} // namespace
