// The auto-mount list file: the preamble that new lists get, entries appended, found, read back and
// removed with the lines around them unchanged.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "AutoMountList.h"
#include "kernel/Files.h"
#include "testing/DeviceRootTest.h"

namespace {

namespace fs = std::filesystem;

class AutoMountListTest : public testing_support::DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        fs::create_directories(ListFile().parent_path());
    }
    fs::path ListFile() const { return m_root.Store() / "program files" / "ferrovane" / "amount.cfg"; }
    std::string ReadList() const {
        std::ifstream in(ListFile(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    void WriteList(const std::string& text) const { std::ofstream(ListFile(), std::ios::binary) << text; }
    static std::string EntryText(const std::string& path, const std::string& folder) {
        return "[container]\n" + path + "\n" + folder + "\n[/container]\n";
    }
};

TEST_F(AutoMountListTest, ANewListStartsWithThePreambleThatTheReaderSkips) {
    const std::string preamble = automount::Preamble();
    EXPECT_EQ(preamble.size(), automount::kPreambleBytes);
    EXPECT_EQ(std::count(preamble.begin(), preamble.end(), '\n'), automount::kPreambleLines);

    EXPECT_FALSE(automount::IsListed(u"\\a.fvc")) << "no list yet";
    ASSERT_TRUE(automount::AppendEntry(u"\\a.fvc", u"A"));
    ASSERT_TRUE(automount::AppendEntry(u"\\My Documents\\b.fvc", u"B"));
    EXPECT_EQ(ReadList(), preamble + EntryText("\\a.fvc", "A") + EntryText("\\My Documents\\b.fvc", "B"));
    const std::vector<automount::Entry> entries = automount::ReadEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].firstLine, 7);
    EXPECT_EQ(entries[0].path, u"\\a.fvc");
    EXPECT_EQ(entries[0].folder, u"A");
    EXPECT_EQ(entries[1].firstLine, 11);
    EXPECT_EQ(entries[1].path, u"\\My Documents\\b.fvc");
    EXPECT_TRUE(automount::IsListed(u"\\My Documents\\b.fvc"));
    EXPECT_FALSE(automount::IsListed(u"\\my documents\\b.fvc")) << "compared exactly";
}

TEST_F(AutoMountListTest, TheInstalledListIsThePreamble) {
    std::ifstream in(fs::path(APP_INSTALL_DIR) / "amount.cfg", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), automount::Preamble());
}

TEST_F(AutoMountListTest, RemovingAnEntryKeepsTheLinesAroundIt) {
    const std::string preamble = automount::Preamble();
    const std::string before = preamble + EntryText("\\x.fvc", "X") + EntryText("\\y.fvc", "Y") +
                               EntryText("\\y.fvc", "Y again") + EntryText("\\z.fvc", "Z");
    WriteList(before);
    ASSERT_TRUE(automount::RemoveEntry(u"\\y.fvc"));
    EXPECT_EQ(ReadList(), preamble + EntryText("\\x.fvc", "X") + EntryText("\\y.fvc", "Y again") +
                              EntryText("\\z.fvc", "Z"))
        << "only the first of two entries goes";
    EXPECT_FALSE(automount::RemoveEntry(u"\\none.fvc"));
    EXPECT_FALSE(fs::exists(ListFile().parent_path() / "amount.tmp"));

    // Appended and removed again: the list is as it was.
    const std::string now = ReadList();
    ASSERT_TRUE(automount::AppendEntry(u"\\w.fvc", u"W"));
    ASSERT_TRUE(automount::RemoveEntry(u"\\w.fvc"));
    EXPECT_EQ(ReadList(), now);

    // The start-up reader's removal by line index: the first of three entries.
    ASSERT_TRUE(automount::RemoveEntryAt(7));
    EXPECT_EQ(ReadList(), preamble + EntryText("\\y.fvc", "Y again") + EntryText("\\z.fvc", "Z"));
}

TEST_F(AutoMountListTest, TheReaderTakesLinesAsTheirPrintableStart) {
    const std::string preamble = automount::Preamble();
    WriteList(preamble + "[container]\n\\caf\xE9.fvc\nF\x01x\n[/container]\n" + "junk\n" +
              EntryText("\\last.fvc", "L"));
    const std::vector<automount::Entry> entries = automount::ReadEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].path, u"\\caf") << "the path ends before a byte of 128 or above";
    EXPECT_EQ(entries[0].folder, u"F");
    EXPECT_EQ(entries[1].firstLine, 12);

    for (const std::string& shortList : {std::string(), preamble.substr(0, 100)}) {
        WriteList(shortList);
        EXPECT_TRUE(automount::ReadEntries().empty());
    }
    fs::remove(ListFile());
    EXPECT_TRUE(automount::ReadEntries().empty());
    EXPECT_FALSE(automount::RemoveEntry(u"\\x.fvc"));
}

} // namespace
