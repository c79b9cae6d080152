#pragma once
// The string table of the test program (TestStrings.cpp).

#include <string>

inline const std::u16string kLongString(300, u'w');

// Ids and their strings.
enum TestString : unsigned {
    kHello = 1,         // "Hello"
    kEmptySlot = 2,     // an empty slot of the first block
    kLong = 5,          // kLongString
    kAfterBlockEnd = 9, // the first block ends after id 5
    kNoBlock = 100,     // no block holds it
    kMalformed = 33,    // claims more units than its block has
    kAppTitle = 0xE000, // "FerrovaneEx"
};
