// C streams on device paths, used the way the auto-mount list is read and rewritten.

#include <cerrno>
#include <cstring>

#include "FilesTestSupport.h"
#include "kernel/Stdio.h"

namespace {
using filestest::Open;
using filestest::ReadWhole;
using filestest::WriteWhole;

constexpr const char16_t* kList = u"\\program files\\ferrovane\\amount.cfg";
constexpr const char16_t* kTemporary = u"\\program files\\ferrovane\\amount.tmp";

class Streams : public filestest::DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        ASSERT_TRUE(CreateDirectoryW(u"\\Program Files", nullptr));
        ASSERT_TRUE(CreateDirectoryW(u"\\Program Files\\Ferrovane", nullptr));
    }

    // Seven lines of exactly 208 bytes.
    static std::string Preamble() {
        std::string text;
        for (int i = 0; i < 6; ++i)
            text += std::string(29, static_cast<char>('a' + i)) + "\n";
        text += std::string(207 - text.size(), '#') + "\n";
        return text;
    }

    static std::string Entry(const std::string& path, const std::string& folder) {
        return "[container]\n" + path + "\n" + folder + "\n[/container]\n";
    }
};

TEST_F(Streams, AppendCreatesTheListAndStoresWideTextAsBytes) {
    FILE* list = _wfopen(kList, u"a");
    ASSERT_NE(list, nullptr);
    EXPECT_GE(fputws(u"[container]\n", list), 0);
    EXPECT_GE(fputws(u"\\My Documents\\caf\u00E9 \u03A9.fvc", list), 0); // Latin-1 as its byte, the rest '?'
    EXPECT_GE(std::fputs("\n", list), 0);
    EXPECT_EQ(fwprintf(list, u"%s\n", u"Encrypted Folder"), 17);
    EXPECT_GE(std::fputs("[/container]\n", list), 0);
    ASSERT_EQ(std::fclose(list), 0);
    EXPECT_EQ(ReadWhole(kList),
              "[container]\n\\My Documents\\caf\xE9 ?.fvc\nEncrypted Folder\n[/container]\n");

    // Appending again writes at the end, wherever the stream was moved.
    list = _wfopen(u"\\PROGRAM FILES\\ferrovane\\AMOUNT.CFG", u"a+");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(std::fseek(list, 0, SEEK_SET), 0);
    char first[16] = {};
    ASSERT_NE(std::fgets(first, sizeof first, list), nullptr);
    EXPECT_STREQ(first, "[container]\n");
    EXPECT_EQ(fwprintf(list, u"%d-%ls\n", 42, u"x"), 5);
    ASSERT_EQ(std::fclose(list), 0);
    const std::string content = ReadWhole(kList);
    EXPECT_EQ(content.substr(content.size() - 5), "42-x\n");
    EXPECT_EQ(content.substr(0, 12), "[container]\n");
}

TEST_F(Streams, ReadUpdateSeeksPastThePreambleAndReadsBoundedLines) {
    const std::string longPath(300, 'p');
    ASSERT_TRUE(WriteWhole(kList, Preamble() + Entry("\\a.fvc", "A") + Entry(longPath, "B")));
    ASSERT_EQ(Preamble().size(), 208u);

    FILE* list = _wfopen(kList, u"r+");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(std::fseek(list, 208, SEEK_SET), 0);
    EXPECT_EQ(std::ftell(list), 208);
    char line[260];
    std::vector<std::string> lines;
    while (std::fgets(line, 260, list) != nullptr)
        lines.emplace_back(line);
    // The long path comes in two reads of at most 259 bytes.
    const std::vector<std::string> expected{"[container]\n",
                                            "\\a.fvc\n",
                                            "A\n",
                                            "[/container]\n",
                                            "[container]\n",
                                            std::string(259, 'p'),
                                            std::string(41, 'p') + "\n",
                                            "B\n",
                                            "[/container]\n"};
    EXPECT_EQ(lines, expected);
    EXPECT_TRUE(std::feof(list));

    // r+ writes in place.
    ASSERT_EQ(std::fseek(list, 208 + 12, SEEK_SET), 0);
    EXPECT_GE(std::fputs("\\b", list), 0);
    ASSERT_EQ(std::fclose(list), 0);
    EXPECT_EQ(ReadWhole(kList).substr(208, 20), "[container]\n\\b.fvc\nA");

    // A missing list cannot be opened for update.
    ASSERT_TRUE(DeleteFileW(kList));
    errno = 0;
    EXPECT_EQ(_wfopen(kList, u"r+"), nullptr);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(Streams, RewriteThroughATemporaryFileDeleteAndRename) {
    ASSERT_TRUE(WriteWhole(kList, Preamble() + Entry("\\gone.fvc", "G") + Entry("\\kept.fvc", "K")));
    FILE* copy = _wfopen(kTemporary, u"w");
    FILE* list = _wfopen(kList, u"r");
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(list, nullptr);
    char line[250];
    for (int index = 0; std::fgets(line, sizeof line, list) != nullptr; ++index)
        if (index < 7 || index > 10)
            std::fputs(line, copy);
    EXPECT_EQ(std::fclose(list), 0);
    EXPECT_EQ(std::fclose(copy), 0);
    EXPECT_EQ(_wremove(kList), 0);
    EXPECT_EQ(_wrename(kTemporary, kList), 0);
    EXPECT_EQ(ReadWhole(kList), Preamble() + Entry("\\kept.fvc", "K"));
    EXPECT_EQ(GetFileAttributesW(kTemporary), static_cast<DWORD>(INVALID_FILE_ATTRIBUTES));

    // w+ reads back what it wrote.
    FILE* scratch = _wfopen(kTemporary, u"w+");
    ASSERT_NE(scratch, nullptr);
    std::fputs("scratch\n", scratch);
    std::rewind(scratch);
    ASSERT_NE(std::fgets(line, sizeof line, scratch), nullptr);
    EXPECT_STREQ(line, "scratch\n");

    // A file is not removed while a stream has it open, and a rename never replaces an existing file.
    errno = 0;
    EXPECT_EQ(_wremove(kTemporary), -1);
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(std::fclose(scratch), 0);
    EXPECT_EQ(_wrename(kList, kTemporary), -1);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(_wremove(kTemporary), 0);
    EXPECT_EQ(_wremove(kTemporary), -1);
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(Streams, ModesAndTheirForms) {
    ASSERT_TRUE(WriteWhole(u"\\m.txt", "abc"));
    struct ModeCase {
        const char16_t* mode;
        bool opens;
    };
    const ModeCase modes[] = {{u"r", true},    {u"rb", true},   {u"rt", true},  {u"r+", true},
                              {u"r+b", true},  {u"rb+", true},  {u"w+t", true}, {u"ab", true},
                              {u"a+b", true},  {u"x", false},   {u"", false},   {u"rw", false},
                              {u"r++", false}, {u"rbt", false}, {u"+r", false}};
    for (const ModeCase& m : modes) {
        const std::u16string text(m.mode);
        SCOPED_TRACE(std::string(text.begin(), text.end()));
        ASSERT_TRUE(WriteWhole(u"\\m.txt", "abc"));
        errno = 0;
        FILE* stream = _wfopen(u"\\m.txt", m.mode);
        EXPECT_EQ(stream != nullptr, m.opens);
        if (stream != nullptr)
            std::fclose(stream);
        else
            EXPECT_EQ(errno, EINVAL);
    }
    EXPECT_EQ(_wfopen(nullptr, u"r"), nullptr);
    EXPECT_EQ(_wfopen(u"\\m.txt", nullptr), nullptr);
    EXPECT_EQ(fputws(static_cast<const WCHAR*>(nullptr), stdout), EOF);
    EXPECT_EQ(fwprintf(nullptr, u"x"), -1);

    // "w" empties, "r" cannot write, text mode leaves newlines alone.
    FILE* writer = _wfopen(u"\\m.txt", u"wt");
    ASSERT_NE(writer, nullptr);
    std::fputs("a\nb\n", writer);
    std::fclose(writer);
    EXPECT_EQ(ReadWhole(u"\\m.txt"), "a\nb\n");
    FILE* reader = _wfopen(u"\\m.txt", u"r");
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(std::fputs("zz", reader), EOF);
    char buffer[8] = {};
    EXPECT_EQ(std::fread(buffer, 1, sizeof buffer, reader), 4u);
    std::fclose(reader);
    EXPECT_EQ(ReadWhole(u"\\m.txt"), "a\nb\n");
}

TEST_F(Streams, StreamsTakePartInShareModes) {
    ASSERT_TRUE(WriteWhole(u"\\s.txt", "abc"));
    FILE* stream = _wfopen(u"\\s.txt", u"r");
    ASSERT_NE(stream, nullptr);
    // Streams share reading and writing, so they refuse only opens that will not share.
    kernel::ScopedHandle sharing(
        Open(u"\\s.txt", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING));
    EXPECT_TRUE(sharing.IsOpen());
    EXPECT_EQ(Open(u"\\s.txt", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    std::fclose(stream);
    sharing.Reset();

    kernel::ScopedHandle exclusive(Open(u"\\s.txt", GENERIC_READ, 0, OPEN_EXISTING));
    ASSERT_TRUE(exclusive.IsOpen());
    errno = 0;
    EXPECT_EQ(_wfopen(u"\\s.txt", u"r"), nullptr);
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

} // namespace
