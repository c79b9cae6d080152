// The test program's string table, laid out as a resource compiler writes it: blocks of 16 entries, each
// a unit count and the units.

#include "TestStrings.h"

#include <initializer_list>
#include <string_view>
#include <vector>

#include "kernel/Resources.h"

namespace {

std::vector<char16_t> Block(std::initializer_list<std::u16string_view> strings) {
    std::vector<char16_t> units;
    for (std::u16string_view text : strings) {
        units.push_back(static_cast<char16_t>(text.size()));
        units.insert(units.end(), text.begin(), text.end());
    }
    return units;
}

// Ids 0 to 5; the block ends there, as the compiler leaves off trailing empty entries.
const std::vector<char16_t> kFirstBlock = Block({u"", u"Hello", u"", u"", u"", kLongString});
// Ids 32 to 47: id 32 is fine, id 33 claims 50 units of which 3 are there.
const std::vector<char16_t> kBrokenBlock = {2, u'o', u'k', 50, u'a', u'b', u'c'};
// Ids 57344 to 57359: the application's title first.
const std::vector<char16_t> kTitleBlock =
    Block({u"FerrovaneEx", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"", u""});

size_t Bytes(const std::vector<char16_t>& block) {
    return block.size() * sizeof(char16_t);
}

const kernel::ResourceEntry kResources[] = {
    {RT_STRING, MAKEINTRESOURCE(1), kFirstBlock.data(), Bytes(kFirstBlock)},
    {RT_STRING, MAKEINTRESOURCE(3), kBrokenBlock.data(), Bytes(kBrokenBlock)},
    {RT_STRING, MAKEINTRESOURCE(0xE000 / 16 + 1), kTitleBlock.data(), Bytes(kTitleBlock)},
};
const kernel::ResourceTable kResourceTable(kResources);

} // namespace
