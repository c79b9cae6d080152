// Simple one-unit case mapping for the scripts the handheld's file names and texts use.

#include <cstddef>

#include "crt/WideString.h"

namespace {

// A run of upper-case letters whose lower-case forms lie at a fixed distance. With a step of 2 the run
// alternates upper, lower, upper, ... and only every other unit is an upper-case letter.
struct CaseRun {
    char16_t first;
    char16_t last;
    int delta;
    int step;
};

constexpr CaseRun kCaseRuns[] = {
    {0x0041, 0x005A, 32, 1},    // Basic Latin
    {0x00C0, 0x00D6, 32, 1},    // Latin-1, up to the multiplication sign
    {0x00D8, 0x00DE, 32, 1},    // Latin-1, after it
    {0x0100, 0x012E, 1, 2},     // Latin Extended-A pairs
    {0x0132, 0x0136, 1, 2},     //
    {0x0139, 0x0147, 1, 2},     //
    {0x014A, 0x0176, 1, 2},     //
    {0x0178, 0x0178, -0x79, 1}, // Y with diaeresis, whose small form is in Latin-1
    {0x0179, 0x017D, 1, 2},     //
    {0x0370, 0x0372, 1, 2},     // Greek archaic letters
    {0x0376, 0x0376, 1, 1},     //
    {0x037F, 0x037F, 0x74, 1},  // yot
    {0x0386, 0x0386, 0x26, 1},  // Greek letters with tonos
    {0x0388, 0x038A, 0x25, 1},  //
    {0x038C, 0x038C, 0x40, 1},  //
    {0x038E, 0x038F, 0x3F, 1},  //
    {0x0391, 0x03A1, 32, 1},    // Greek alphabet, alpha to rho
    {0x03A3, 0x03AB, 32, 1},    // sigma to upsilon with dialytika
    {0x03CF, 0x03CF, 8, 1},     // kai
    {0x03D8, 0x03EE, 1, 2},     // archaic and Coptic pairs
    {0x03F7, 0x03F7, 1, 1},     //
    {0x03F9, 0x03F9, -7, 1},    // lunate sigma
    {0x03FA, 0x03FA, 1, 1},     //
    {0x03FD, 0x03FF, -0x82, 1}, // reversed lunate sigmas
    {0x0400, 0x040F, 0x50, 1},  // Cyrillic with marks
    {0x0410, 0x042F, 32, 1},    // Cyrillic alphabet
    {0x0460, 0x0480, 1, 2},     // historic Cyrillic pairs
    {0x048A, 0x04BE, 1, 2},     //
    {0x04C0, 0x04C0, 15, 1},    // palochka
    {0x04C1, 0x04CD, 1, 2},     //
    {0x04D0, 0x04FE, 1, 2},     //
};

// Letters whose mapping is not undone by the opposite one: several small forms share one capital.
struct OneWay {
    char16_t from;
    char16_t to;
};

constexpr OneWay kLowerOnly[] = {
    {0x0130, 0x0069}, // capital I with dot above
    {0x03F4, 0x03B8}, // capital theta symbol
};

constexpr OneWay kUpperOnly[] = {
    {0x0131, 0x0049}, // dotless i
    {0x017F, 0x0053}, // long s
    {0x03C2, 0x03A3}, // final sigma
    {0x03D0, 0x0392}, // beta symbol
    {0x03D1, 0x0398}, // theta symbol
    {0x03D5, 0x03A6}, // phi symbol
    {0x03D6, 0x03A0}, // pi symbol
    {0x03F0, 0x039A}, // kappa symbol
    {0x03F1, 0x03A1}, // rho symbol
    {0x03F5, 0x0395}, // lunate epsilon symbol
};

bool InRun(const CaseRun& run, int c) {
    return c >= run.first && c <= run.last && (c - run.first) % run.step == 0;
}

} // namespace

WCHAR ToLowerW(WCHAR c) {
    if (c < 0x80) {
        return (c >= u'A' && c <= u'Z') ? static_cast<WCHAR>(c + 32) : c;
    }
    for (const OneWay& entry : kLowerOnly) {
        if (entry.from == c)
            return entry.to;
    }
    for (const CaseRun& run : kCaseRuns) {
        if (InRun(run, c))
            return static_cast<WCHAR>(c + run.delta);
    }
    return c;
}

WCHAR ToUpperW(WCHAR c) {
    if (c < 0x80) {
        return (c >= u'a' && c <= u'z') ? static_cast<WCHAR>(c - 32) : c;
    }
    for (const OneWay& entry : kUpperOnly) {
        if (entry.from == c)
            return entry.to;
    }
    for (const CaseRun& run : kCaseRuns) {
        if (InRun(run, c - run.delta))
            return static_cast<WCHAR>(c - run.delta);
    }
    return c;
}

bool IsSpaceW(WCHAR c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

bool IsDigitW(WCHAR c) {
    return c >= u'0' && c <= u'9';
}
