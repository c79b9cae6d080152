// The engine's file and folder operations on volumes it formatted: what they do, what they refuse, and
// that it all holds after a remount.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "TestSupport.h"

namespace fat::test {
namespace {

constexpr uint64_t kMiB = 1024 * 1024;

std::set<std::u16string> Names(const std::vector<FatEntryInfo>& entries) {
    std::set<std::u16string> names;
    for (const FatEntryInfo& entry : entries)
        names.insert(entry.name);
    return names;
}

uint32_t ClusterBytes(FatVolume& volume) {
    FatVolumeInfo info;
    volume.GetVolumeInfo(info);
    return info.bytesPerCluster;
}

uint32_t FreeClusters(FatVolume& volume) {
    FatVolumeInfo info;
    volume.GetVolumeInfo(info);
    return info.freeClusters;
}

class FatFilesAndFolders : public ::testing::TestWithParam<uint64_t> {};

TEST_P(FatFilesAndFolders, AreWrittenReadListedRenamedAndDeletedAndHoldAfterRemount) {
    TestClock clock;
    MountedImage image(GetParam(), clock);
    FatVolume& volume = image.Volume();
    uint32_t cluster = ClusterBytes(volume);
    std::map<std::u16string, std::vector<uint8_t>> files = {
        {u"empty.txt", {}},
        {u"README.TXT", PatternBytes(100, 1)},
        {u"A long file name with spaces.data", PatternBytes(5 * cluster + 123, 2)},
        {u"exact", PatternBytes(cluster, 3)},
        {u"Docs\\Nested\\Deep\\file.bin", PatternBytes(3 * cluster, 4)},
        {u"Docs\\Ünïcødé Ωμέγα.txt", PatternBytes(10, 5)},
    };
    ASSERT_EQ(volume.CreateDirectory(u"Docs"), FatResult::Ok);
    ASSERT_EQ(volume.CreateDirectory(u"\\Docs\\Nested"), FatResult::Ok);
    ASSERT_EQ(volume.CreateDirectory(u"Docs\\Nested\\Deep"), FatResult::Ok);
    ASSERT_EQ(volume.CreateDirectory(u"Empty Folder"), FatResult::Ok);
    for (const auto& [path, content] : files)
        ASSERT_EQ(WriteWholeFile(volume, path, content), FatResult::Ok) << U8(path);

    auto verify = [&] {
        for (const auto& [path, content] : files) {
            std::vector<uint8_t> read;
            ASSERT_EQ(ReadWholeFile(volume, path, read), FatResult::Ok) << U8(path);
            EXPECT_EQ(read, content) << U8(path);
        }
        EXPECT_EQ(Names(ListFolder(volume, u"")),
                  (std::set<std::u16string>{u"empty.txt", u"README.TXT", u"A long file name with spaces.data",
                                            u"exact", u"Docs", u"Empty Folder"}));
        EXPECT_TRUE(ListFolder(volume, u"Empty Folder").empty());
        EXPECT_EQ(Names(ListFolder(volume, u"Docs")),
                  (std::set<std::u16string>{u"Nested", u"Ünïcødé Ωμέγα.txt"}));
    };
    verify();
    image.Remount();
    verify();

    ASSERT_EQ(volume.Rename(u"A long file name with spaces.data", u"Docs\\Nested\\moved.data"),
              FatResult::Ok);
    files[u"Docs\\Nested\\moved.data"] = files[u"A long file name with spaces.data"];
    files.erase(u"A long file name with spaces.data");
    ASSERT_EQ(volume.Rename(u"Docs\\Nested\\Deep", u"Deep Moved"), FatResult::Ok);
    files[u"Deep Moved\\file.bin"] = files[u"Docs\\Nested\\Deep\\file.bin"];
    files.erase(u"Docs\\Nested\\Deep\\file.bin");
    ASSERT_EQ(volume.Delete(u"exact"), FatResult::Ok);
    files.erase(u"exact");
    ASSERT_EQ(volume.RemoveDirectory(u"Empty Folder"), FatResult::Ok);
    image.Remount();
    for (const auto& [path, content] : files) {
        std::vector<uint8_t> read;
        ASSERT_EQ(ReadWholeFile(volume, path, read), FatResult::Ok) << U8(path);
        EXPECT_EQ(read, content) << U8(path);
    }
    EXPECT_EQ(Names(ListFolder(volume, u"")),
              (std::set<std::u16string>{u"empty.txt", u"README.TXT", u"Docs", u"Deep Moved"}));
    FatEntryInfo info;
    EXPECT_EQ(volume.GetInfo(u"exact", info), FatResult::NoFile);
    EXPECT_EQ(volume.GetInfo(u"Empty Folder", info), FatResult::NoFile);
    image.Unmount();
    ToolResult fsck = CheckVolume(image.Image(), image.Where());
    EXPECT_EQ(fsck.exitCode, 0) << fsck.output;
}

INSTANTIATE_TEST_SUITE_P(Types, FatFilesAndFolders, ::testing::Values(1 * kMiB, 32 * kMiB, 600 * kMiB),
                         [](const auto& info) { return std::to_string(info.param / kMiB) + "MiB"; });

struct NameCase {
    const char16_t* name;
    const char16_t* stored; // the long name as kept
    const char16_t* alias;  // the short name
};

TEST(FatNames, LongNamesGetAliasesAndMatchWithoutCase) {
    TestClock clock;
    MountedImage image(1 * kMiB, clock);
    FatVolume& volume = image.Volume();
    const NameCase cases[] = {
        {u"README.TXT", u"README.TXT", u"README.TXT"},
        {u"readme2.txt", u"readme2.txt", u"README2.TXT"},
        {u"Long File Name.txt", u"Long File Name.txt", u"LONGFI~1.TXT"},
        {u"Long File Name 2.txt", u"Long File Name 2.txt", u"LONGFI~2.TXT"},
        {u"a+b=c.text", u"a+b=c.text", u"A_B_C~1.TEX"},
        {u".profile", u".profile", u"PROFIL~1"},
        {u"archive.tar.gz", u"archive.tar.gz", u"ARCHIV~1.GZ"},
        {u"ÅÄÖ.txt", u"ÅÄÖ.txt", u"___~1.TXT"},
        {u"trailing dots...", u"trailing dots", u"TRAILI~1"},
        {u"  leading", u"  leading", u"LEADIN~1"},
    };
    for (const NameCase& c : cases) {
        FatFile file;
        ASSERT_EQ(volume.Open(c.name, FatAccess::Write, FatDisposition::CreateNew, 0, file), FatResult::Ok)
            << U8(c.name);
        volume.Close(file);
    }
    auto check = [&] {
        for (const NameCase& c : cases) {
            FatEntryInfo info;
            ASSERT_EQ(volume.GetInfo(c.stored, info), FatResult::Ok) << U8(c.stored);
            EXPECT_EQ(info.name, c.stored);
            EXPECT_EQ(info.shortName, c.alias) << U8(c.stored);
            // Found by its alias and in another case too.
            FatEntryInfo byAlias;
            ASSERT_EQ(volume.GetInfo(c.alias, byAlias), FatResult::Ok) << U8(c.alias);
            EXPECT_EQ(byAlias.name, c.stored);
        }
        FatEntryInfo info;
        EXPECT_EQ(volume.GetInfo(u"LONG FILE NAME.TXT", info), FatResult::Ok);
        EXPECT_EQ(volume.GetInfo(u"åäö.TXT", info), FatResult::Ok);
        EXPECT_EQ(volume.GetInfo(u"longfi~2.txt", info), FatResult::Ok);
        EXPECT_EQ(info.name, u"Long File Name 2.txt");
    };
    check();
    image.Remount();
    check();
}

TEST(FatNames, InvalidNamesAreRefusedAndTheLongestIsKept) {
    TestClock clock;
    MountedImage image(1 * kMiB, clock);
    FatVolume& volume = image.Volume();
    const char16_t* invalid[] = {u"a*b", u"a?b", u"a:b", u"a<b", u"a>b", u"a|b",    u"a\"b",
                                 u"x/y", u".",   u"..",  u"...", u"  ",  u"a\\\\b", u"tab\there"};
    for (const char16_t* name : invalid) {
        FatFile file;
        EXPECT_EQ(volume.Open(name, FatAccess::Write, FatDisposition::CreateAlways, 0, file),
                  FatResult::InvalidName)
            << U8(name);
        EXPECT_EQ(volume.CreateDirectory(name), FatResult::InvalidName) << U8(name);
    }
    std::u16string longest(255, u'n');
    std::u16string tooLong(256, u'n');
    FatFile file;
    EXPECT_EQ(volume.Open(tooLong, FatAccess::Write, FatDisposition::CreateAlways, 0, file),
              FatResult::InvalidName);
    ASSERT_EQ(volume.Open(longest, FatAccess::Write, FatDisposition::CreateAlways, 0, file), FatResult::Ok);
    volume.Close(file);
    image.Remount();
    EXPECT_EQ(Names(ListFolder(volume, u"")), std::set<std::u16string>{longest});
}

struct DispositionCase {
    FatDisposition disposition;
    bool exists;
    FatResult result;
    FatOpened opened;
    uint32_t sizeAfter;
};

TEST(FatOpen, DispositionsCreateOpenAndTruncateAsThePlatformDoes) {
    const DispositionCase cases[] = {
        {FatDisposition::CreateNew, false, FatResult::Ok, FatOpened::Created, 0},
        {FatDisposition::CreateNew, true, FatResult::Exists, FatOpened::Existing, 10},
        {FatDisposition::CreateAlways, false, FatResult::Ok, FatOpened::Created, 0},
        {FatDisposition::CreateAlways, true, FatResult::Ok, FatOpened::Existing, 0},
        {FatDisposition::OpenExisting, false, FatResult::NoFile, FatOpened::Existing, 0},
        {FatDisposition::OpenExisting, true, FatResult::Ok, FatOpened::Existing, 10},
        {FatDisposition::OpenAlways, false, FatResult::Ok, FatOpened::Created, 0},
        {FatDisposition::OpenAlways, true, FatResult::Ok, FatOpened::Existing, 10},
        {FatDisposition::TruncateExisting, false, FatResult::NoFile, FatOpened::Existing, 0},
        {FatDisposition::TruncateExisting, true, FatResult::Ok, FatOpened::Existing, 0},
    };
    TestClock clock;
    MountedImage image(1 * kMiB, clock);
    FatVolume& volume = image.Volume();
    uint32_t freeBefore = FreeClusters(volume);
    for (const DispositionCase& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.disposition) * 10 + c.exists);
        volume.Delete(u"f");
        if (c.exists) {
            ASSERT_EQ(WriteWholeFile(volume, u"f", PatternBytes(10, 1)), FatResult::Ok);
        }
        FatFile file;
        FatOpened opened = FatOpened::Existing;
        EXPECT_EQ(volume.Open(u"f", FatAccess::ReadWrite, c.disposition, 0, file, &opened), c.result);
        if (c.result == FatResult::Ok) {
            EXPECT_EQ(opened, c.opened);
            volume.Close(file);
        }
        FatEntryInfo info;
        if (volume.GetInfo(u"f", info) == FatResult::Ok) {
            EXPECT_EQ(info.size, c.sizeAfter);
        }
    }
    volume.Delete(u"f");
    EXPECT_EQ(FreeClusters(volume), freeBefore);
}

TEST(FatOpen, CreateAlwaysReplacesAttributesAndEmptiesTheFile) {
    TestClock clock;
    MountedImage image(1 * kMiB, clock);
    FatVolume& volume = image.Volume();
    ASSERT_EQ(WriteWholeFile(volume, u"f", PatternBytes(3000, 1)), FatResult::Ok);
    ASSERT_EQ(volume.SetAttributes(u"f", kAttrHidden | kAttrSystem), FatResult::Ok);
    FatFile file;
    ASSERT_EQ(volume.Open(u"f", FatAccess::Write, FatDisposition::CreateAlways, kAttrHidden, file),
              FatResult::Ok);
    volume.Close(file);
    FatEntryInfo info;
    ASSERT_EQ(volume.GetInfo(u"f", info), FatResult::Ok);
    EXPECT_EQ(info.attributes, kAttrHidden | kAttrArchive);
    EXPECT_EQ(info.size, 0u);
}

struct RefusalCase {
    const char* what;
    std::function<FatResult(FatVolume&)> call;
    FatResult expected;
};

TEST(FatRefusals, EachFailureHasItsResult) {
    TestClock clock;
    MountedImage image(1 * kMiB, clock);
    FatVolume& volume = image.Volume();
    ASSERT_EQ(volume.CreateDirectory(u"dir"), FatResult::Ok);
    ASSERT_EQ(volume.CreateDirectory(u"dir\\sub"), FatResult::Ok);
    ASSERT_EQ(WriteWholeFile(volume, u"dir\\file", PatternBytes(10, 1)), FatResult::Ok);
    ASSERT_EQ(WriteWholeFile(volume, u"other", PatternBytes(10, 2)), FatResult::Ok);
    auto open = [](FatVolume& v, const char16_t* path, FatAccess access, FatDisposition disposition) {
        FatFile file;
        FatResult result = v.Open(path, access, disposition, 0, file);
        if (result == FatResult::Ok)
            v.Close(file);
        return result;
    };
    const RefusalCase cases[] = {
        {"open in a missing folder",
         [&](FatVolume& v) { return open(v, u"nope\\f", FatAccess::Read, FatDisposition::OpenAlways); },
         FatResult::NoPath},
        {"path through a file",
         [&](FatVolume& v) { return open(v, u"other\\f", FatAccess::Read, FatDisposition::OpenAlways); },
         FatResult::NoPath},
        {"open a missing file",
         [&](FatVolume& v) { return open(v, u"dir\\nope", FatAccess::Read, FatDisposition::OpenExisting); },
         FatResult::NoFile},
        {"open a folder as a file",
         [&](FatVolume& v) { return open(v, u"dir", FatAccess::Read, FatDisposition::OpenExisting); },
         FatResult::Denied},
        {"open the root",
         [&](FatVolume& v) { return open(v, u"\\", FatAccess::Read, FatDisposition::OpenExisting); },
         FatResult::Denied},
        {"truncate without write access",
         [&](FatVolume& v) { return open(v, u"other", FatAccess::Read, FatDisposition::TruncateExisting); },
         FatResult::Denied},
        {"create an existing folder", [](FatVolume& v) { return v.CreateDirectory(u"dir"); },
         FatResult::Exists},
        {"create a folder over a file", [](FatVolume& v) { return v.CreateDirectory(u"other"); },
         FatResult::Exists},
        {"create a folder in a missing one", [](FatVolume& v) { return v.CreateDirectory(u"a\\b"); },
         FatResult::NoPath},
        {"remove a folder with entries", [](FatVolume& v) { return v.RemoveDirectory(u"dir"); },
         FatResult::NotEmpty},
        {"remove a file as a folder", [](FatVolume& v) { return v.RemoveDirectory(u"other"); },
         FatResult::Denied},
        {"remove the root", [](FatVolume& v) { return v.RemoveDirectory(u""); }, FatResult::Denied},
        {"remove a missing folder", [](FatVolume& v) { return v.RemoveDirectory(u"nope"); },
         FatResult::NoFile},
        {"delete a folder", [](FatVolume& v) { return v.Delete(u"dir\\sub"); }, FatResult::Denied},
        {"delete a missing file", [](FatVolume& v) { return v.Delete(u"dir\\nope"); }, FatResult::NoFile},
        {"rename onto another entry", [](FatVolume& v) { return v.Rename(u"other", u"dir\\FILE"); },
         FatResult::Exists},
        {"rename a missing entry", [](FatVolume& v) { return v.Rename(u"nope", u"x"); }, FatResult::NoFile},
        {"rename into a missing folder", [](FatVolume& v) { return v.Rename(u"other", u"nope\\x"); },
         FatResult::NoPath},
        {"move a folder into itself", [](FatVolume& v) { return v.Rename(u"dir", u"dir\\sub\\dir"); },
         FatResult::Denied},
        {"rename the root", [](FatVolume& v) { return v.Rename(u"", u"x"); }, FatResult::Denied},
        {"search a missing folder",
         [](FatVolume& v) {
             FatFind find;
             FatEntryInfo info;
             return v.FindFirst(u"nope\\*", find, info);
         },
         FatResult::NoPath},
    };
    for (const RefusalCase& c : cases)
        EXPECT_EQ(c.call(volume), c.expected) << c.what;
    // Nothing was changed by any of them.
    image.Unmount();
    ToolResult fsck = CheckVolume(image.Image(), image.Where());
    EXPECT_EQ(fsck.exitCode, 0) << fsck.output;
    EXPECT_NE(fsck.output.find("4 files"), std::string::npos) << fsck.output;
}

TEST(FatHandles, AccessTheHandleLacksIsDenied) {
    TestClock clock;
    MountedImage image(1 * kMiB, clock);
    FatVolume& volume = image.Volume();
    ASSERT_EQ(WriteWholeFile(volume, u"f", PatternBytes(10, 1)), FatResult::Ok);
    FatFile reader;
    FatFile writer;
    ASSERT_EQ(volume.Open(u"f", FatAccess::Read, FatDisposition::OpenExisting, 0, reader), FatResult::Ok);
    ASSERT_EQ(volume.Open(u"f", FatAccess::Write, FatDisposition::OpenExisting, 0, writer), FatResult::Ok);
    uint8_t byte = 0;
    uint32_t done = 0;
    EXPECT_EQ(volume.Write(reader, &byte, 1, done), FatResult::Denied);
    EXPECT_EQ(volume.SetEndOfFile(reader), FatResult::Denied);
    EXPECT_EQ(volume.Read(writer, &byte, 1, done), FatResult::Denied);
}

TEST(FatHandles, OutlivedHandlesAreRefused) {
    TestClock clock;
    MountedImage image(1 * kMiB, clock);
    FatVolume& volume = image.Volume();
    ASSERT_EQ(WriteWholeFile(volume, u"f", PatternBytes(10, 1)), FatResult::Ok);
    FatFile file;
    ASSERT_EQ(volume.Open(u"f", FatAccess::Read, FatDisposition::OpenExisting, 0, file), FatResult::Ok);
    FatFind find;
    FatEntryInfo info;
    ASSERT_EQ(volume.FindFirst(u"*", find, info), FatResult::Ok);
    FatFile closed;
    ASSERT_EQ(volume.Open(u"f", FatAccess::Read, FatDisposition::OpenExisting, 0, closed), FatResult::Ok);
    ASSERT_EQ(volume.Close(closed), FatResult::Ok);
    uint8_t buffer[10];
    uint32_t done = 0;
    EXPECT_EQ(volume.Read(closed, buffer, 10, done), FatResult::InvalidObject);
    EXPECT_EQ(volume.Close(closed), FatResult::InvalidObject);

    image.Unmount();
    EXPECT_EQ(volume.Read(file, buffer, 10, done), FatResult::InvalidObject);
    EXPECT_EQ(volume.FindNext(find, info), FatResult::InvalidObject);
    EXPECT_EQ(volume.GetInfo(u"f", info), FatResult::NotReady);
    // A later mount of the same volume object does not revive them either.
    image.Mount();
    FatVolume& again = image.Volume();
    EXPECT_EQ(again.Read(file, buffer, 10, done), FatResult::InvalidObject);
    EXPECT_EQ(again.Close(file), FatResult::InvalidObject);
    EXPECT_EQ(again.FindClose(find), FatResult::InvalidObject);
    ASSERT_EQ(again.Open(u"f", FatAccess::Read, FatDisposition::OpenExisting, 0, file), FatResult::Ok);
    EXPECT_EQ(again.Read(file, buffer, 10, done), FatResult::Ok);
    EXPECT_EQ(done, 10u);
}

TEST(FatHandles, ObjectsInUseAreLocked) {
    TestClock clock;
    MountedImage image(1 * kMiB, clock);
    FatVolume& volume = image.Volume();
    ASSERT_EQ(WriteWholeFile(volume, u"f", PatternBytes(10, 1)), FatResult::Ok);
    ASSERT_EQ(volume.CreateDirectory(u"d"), FatResult::Ok);
    FatFile file;
    ASSERT_EQ(volume.Open(u"f", FatAccess::Read, FatDisposition::OpenExisting, 0, file), FatResult::Ok);
    EXPECT_EQ(volume.Delete(u"f"), FatResult::Locked);
    EXPECT_EQ(volume.Rename(u"f", u"g"), FatResult::Locked);
    FatFind find;
    FatEntryInfo info;
    ASSERT_EQ(volume.FindFirst(u"*", find, info), FatResult::Ok);
    FatFind inside;
    EXPECT_EQ(volume.FindFirst(u"d\\*", inside, info), FatResult::NoMoreFiles);
    ASSERT_EQ(volume.Open(u"d\\x", FatAccess::Write, FatDisposition::CreateNew, 0, file), FatResult::Ok);
    ASSERT_EQ(volume.FindFirst(u"d\\*", inside, info), FatResult::Ok);
    volume.Close(file);
    ASSERT_EQ(volume.Delete(u"d\\x"), FatResult::Ok);
    EXPECT_EQ(volume.RemoveDirectory(u"d"), FatResult::Locked);
    ASSERT_EQ(volume.FindClose(inside), FatResult::Ok);
    EXPECT_EQ(volume.RemoveDirectory(u"d"), FatResult::Ok);
}

TEST(FatAttributes, AreKeptAndReadOnlyProtectsTheFile) {
    TestClock clock;
    MountedImage image(1 * kMiB, clock);
    FatVolume& volume = image.Volume();
    ASSERT_EQ(WriteWholeFile(volume, u"f", PatternBytes(10, 1)), FatResult::Ok);
    ASSERT_EQ(volume.CreateDirectory(u"d"), FatResult::Ok);
    FatEntryInfo info;
    ASSERT_EQ(volume.GetInfo(u"f", info), FatResult::Ok);
    EXPECT_EQ(info.attributes, kAttrArchive);
    ASSERT_EQ(volume.GetInfo(u"d", info), FatResult::Ok);
    EXPECT_EQ(info.attributes, kAttrDirectory);

    ASSERT_EQ(volume.SetAttributes(u"f", kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrDirectory),
              FatResult::Ok);
    ASSERT_EQ(volume.SetAttributes(u"d", kAttrHidden), FatResult::Ok);
    image.Remount();
    ASSERT_EQ(volume.GetInfo(u"f", info), FatResult::Ok);
    EXPECT_EQ(info.attributes, kAttrReadOnly | kAttrHidden | kAttrSystem);
    ASSERT_EQ(volume.GetInfo(u"d", info), FatResult::Ok);
    EXPECT_EQ(info.attributes, kAttrDirectory | kAttrHidden);
    EXPECT_EQ(volume.SetAttributes(u"", kAttrHidden), FatResult::Denied);

    FatFile file;
    EXPECT_EQ(volume.Open(u"f", FatAccess::Write, FatDisposition::OpenExisting, 0, file), FatResult::Denied);
    EXPECT_EQ(volume.Open(u"f", FatAccess::Read, FatDisposition::CreateAlways, 0, file), FatResult::Denied);
    EXPECT_EQ(volume.Delete(u"f"), FatResult::Denied);
    ASSERT_EQ(volume.Open(u"f", FatAccess::Read, FatDisposition::OpenExisting, 0, file), FatResult::Ok);
    volume.Close(file);
    // Renaming a read-only file is allowed, as on the platform.
    EXPECT_EQ(volume.Rename(u"f", u"g"), FatResult::Ok);
    ASSERT_EQ(volume.SetAttributes(u"g", 0), FatResult::Ok);
    EXPECT_EQ(volume.Delete(u"g"), FatResult::Ok);
}

uint64_t Ticks(int year, int month, int day, int hour, int minute, int second, int centis) {
    // Days from 1601-01-01, counted plainly.
    auto leap = [](int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; };
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    uint64_t days = 0;
    for (int y = 1601; y < year; ++y)
        days += leap(y) ? 366 : 365;
    for (int m = 1; m < month; ++m)
        days += kDays[m - 1] + (m == 2 && leap(year));
    days += day - 1;
    return ((days * 86400 + hour * 3600 + minute * 60 + second) * 100 + centis) * 100000;
}

TEST(FatTimeStamps, CreationWriteAndAccessComeFromTheClock) {
    TestClock clock;
    MountedImage image(1 * kMiB, clock);
    FatVolume& volume = image.Volume();
    // 2024-05-06 12:34:56.780
    ASSERT_EQ(WriteWholeFile(volume, u"f", PatternBytes(10, 1)), FatResult::Ok);
    FatEntryInfo info;
    ASSERT_EQ(volume.GetInfo(u"f", info), FatResult::Ok);
    EXPECT_EQ(info.creationTime, Ticks(2024, 5, 6, 12, 34, 56, 78));
    EXPECT_EQ(info.lastWriteTime, Ticks(2024, 5, 6, 12, 34, 56, 0));
    EXPECT_EQ(info.lastAccessTime, Ticks(2024, 5, 6, 0, 0, 0, 0));
    EXPECT_EQ(Ticks(2024, 1, 1, 0, 0, 0, 0), 133485408000000000ull);

    clock.now = FatLocalTime{2024, 5, 7, 8, 0, 3, 0};
    std::vector<uint8_t> content;
    ASSERT_EQ(ReadWholeFile(volume, u"f", content), FatResult::Ok);
    ASSERT_EQ(volume.GetInfo(u"f", info), FatResult::Ok);
    EXPECT_EQ(info.lastAccessTime, Ticks(2024, 5, 7, 0, 0, 0, 0));
    EXPECT_EQ(info.lastWriteTime, Ticks(2024, 5, 6, 12, 34, 56, 0));

    clock.now = FatLocalTime{2025, 12, 31, 23, 59, 59, 990};
    FatFile file;
    ASSERT_EQ(volume.Open(u"f", FatAccess::Write, FatDisposition::OpenExisting, 0, file), FatResult::Ok);
    uint32_t done = 0;
    ASSERT_EQ(volume.Write(file, "x", 1, done), FatResult::Ok);
    volume.Close(file);
    image.Remount();
    ASSERT_EQ(volume.GetInfo(u"f", info), FatResult::Ok);
    EXPECT_EQ(info.creationTime, Ticks(2024, 5, 6, 12, 34, 56, 78));
    EXPECT_EQ(info.lastWriteTime, Ticks(2025, 12, 31, 23, 59, 58, 0));
    EXPECT_EQ(info.lastAccessTime, Ticks(2025, 12, 31, 0, 0, 0, 0));
}

TEST(FatTimeStamps, SetFileTimesStoresWhatFatCanHoldAndClampsTheRest) {
    TestClock clock;
    MountedImage image(1 * kMiB, clock);
    FatVolume& volume = image.Volume();
    ASSERT_EQ(WriteWholeFile(volume, u"f", PatternBytes(10, 1)), FatResult::Ok);
    FatFile file;
    ASSERT_EQ(volume.Open(u"f", FatAccess::ReadWrite, FatDisposition::OpenExisting, 0, file), FatResult::Ok);
    const uint64_t creation = Ticks(2001, 2, 28, 23, 59, 59, 99) + 12345;
    const uint64_t access = Ticks(2030, 7, 4, 18, 30, 0, 0);
    const uint64_t write = Ticks(1999, 12, 31, 23, 59, 59, 50);
    ASSERT_EQ(volume.SetFileTimes(file, &creation, &access, &write), FatResult::Ok);
    volume.Close(file);
    image.Remount();
    FatEntryInfo info;
    ASSERT_EQ(volume.GetInfo(u"f", info), FatResult::Ok);
    EXPECT_EQ(info.creationTime, Ticks(2001, 2, 28, 23, 59, 59, 99));
    EXPECT_EQ(info.lastAccessTime, Ticks(2030, 7, 4, 0, 0, 0, 0));
    EXPECT_EQ(info.lastWriteTime, Ticks(1999, 12, 31, 23, 59, 58, 0));

    // Null leaves a time alone; times FAT cannot hold go to the nearest it can.
    ASSERT_EQ(volume.Open(u"f", FatAccess::Write, FatDisposition::OpenExisting, 0, file), FatResult::Ok);
    const uint64_t early = Ticks(1601, 1, 1, 0, 0, 0, 0);
    const uint64_t late = Ticks(3000, 1, 1, 0, 0, 0, 0);
    ASSERT_EQ(volume.SetFileTimes(file, nullptr, &early, &late), FatResult::Ok);
    ASSERT_EQ(volume.GetFileInfo(file, info), FatResult::Ok);
    EXPECT_EQ(info.creationTime, Ticks(2001, 2, 28, 23, 59, 59, 99));
    EXPECT_EQ(info.lastAccessTime, Ticks(1980, 1, 1, 0, 0, 0, 0));
    EXPECT_EQ(info.lastWriteTime, Ticks(2107, 12, 31, 23, 59, 58, 0));
    volume.Close(file);

    ASSERT_EQ(volume.Open(u"f", FatAccess::Read, FatDisposition::OpenExisting, 0, file), FatResult::Ok);
    EXPECT_EQ(volume.SetFileTimes(file, &creation, nullptr, nullptr), FatResult::Denied);
    volume.Close(file);
    EXPECT_EQ(volume.SetFileTimes(file, &creation, nullptr, nullptr), FatResult::InvalidObject);
}

struct PatternCase {
    const char16_t* pattern;
    std::set<std::u16string> matches;
};

TEST(FatFind, PatternsMatchWithoutCase) {
    TestClock clock;
    MountedImage image(1 * kMiB, clock);
    FatVolume& volume = image.Volume();
    for (const char16_t* name : {u"a.txt", u"b.TXT", u"abc.doc", u"noext", u"x.y.z", u"Long name.text"})
        ASSERT_EQ(WriteWholeFile(volume, name, {}), FatResult::Ok);
    ASSERT_EQ(volume.CreateDirectory(u"Folder"), FatResult::Ok);
    std::set<std::u16string> all = {u"a.txt", u"b.TXT",          u"abc.doc", u"noext",
                                    u"x.y.z", u"Long name.text", u"Folder"};
    const PatternCase cases[] = {
        {u"*", all},
        {u"*.*", all},
        {u"\\*", all},
        {u"*.txt", {u"a.txt", u"b.TXT"}},
        {u"?.txt", {u"a.txt", u"b.TXT"}},
        {u"A*", {u"a.txt", u"abc.doc"}},
        {u"*c.d?c", {u"abc.doc"}},
        {u"*.text", {u"Long name.text"}},
        {u"*.y.*", {u"x.y.z"}},
        {u"NOEXT", {u"noext"}},
        {u"folder", {u"Folder"}},
        {u"LONGNA~1.TEX", {u"Long name.text"}},
        {u"??", {}},
        {u"zz*", {}},
    };
    for (const PatternCase& c : cases) {
        FatFind find;
        FatEntryInfo info;
        std::set<std::u16string> found;
        FatResult result = volume.FindFirst(c.pattern, find, info);
        if (c.matches.empty()) {
            EXPECT_EQ(result, FatResult::NoMoreFiles) << U8(c.pattern);
            continue;
        }
        ASSERT_EQ(result, FatResult::Ok) << U8(c.pattern);
        do {
            found.insert(info.name);
        } while (volume.FindNext(find, info) == FatResult::Ok);
        EXPECT_EQ(volume.FindNext(find, info), FatResult::NoMoreFiles);
        EXPECT_EQ(volume.FindClose(find), FatResult::Ok);
        EXPECT_EQ(found, c.matches) << U8(c.pattern);
    }
    FatFind find;
    FatEntryInfo info;
    EXPECT_EQ(volume.FindFirst(u"Folder\\*", find, info), FatResult::NoMoreFiles);
    EXPECT_EQ(volume.FindFirst(u"Folder\\", find, info), FatResult::InvalidName);
}

TEST(FatFiles, SeekBeyondTheEndAndSetEndOfFileFillWithZerosAndFreeClusters) {
    TestClock clock;
    MountedImage image(1 * kMiB, clock);
    FatVolume& volume = image.Volume();
    uint32_t cluster = ClusterBytes(volume);
    uint32_t freeBefore = FreeClusters(volume);
    FatFile file;
    ASSERT_EQ(volume.Open(u"f", FatAccess::ReadWrite, FatDisposition::CreateNew, 0, file), FatResult::Ok);
    std::vector<uint8_t> expected = PatternBytes(700, 1);
    uint32_t done = 0;
    ASSERT_EQ(volume.Write(file, expected.data(), 700, done), FatResult::Ok);
    ASSERT_EQ(volume.Seek(file, 5000), FatResult::Ok);
    ASSERT_EQ(volume.Write(file, "tail", 4, done), FatResult::Ok);
    expected.resize(5000, 0);
    expected.insert(expected.end(), {'t', 'a', 'i', 'l'});
    uint32_t size = 0;
    ASSERT_EQ(volume.GetSize(file, size), FatResult::Ok);
    EXPECT_EQ(size, 5004u);

    // A second handle sees the same file.
    FatFile other;
    ASSERT_EQ(volume.Open(u"f", FatAccess::Read, FatDisposition::OpenExisting, 0, other), FatResult::Ok);
    std::vector<uint8_t> read(6000);
    ASSERT_EQ(volume.Read(other, read.data(), 6000, done), FatResult::Ok);
    read.resize(done);
    EXPECT_EQ(read, expected);

    ASSERT_EQ(volume.Seek(file, 600), FatResult::Ok);
    ASSERT_EQ(volume.SetEndOfFile(file), FatResult::Ok);
    EXPECT_EQ(FreeClusters(volume), freeBefore - (600 + cluster - 1) / cluster);
    ASSERT_EQ(volume.Seek(file, 2 * cluster + 10), FatResult::Ok);
    ASSERT_EQ(volume.SetEndOfFile(file), FatResult::Ok);
    expected.resize(600);
    expected.resize(2 * cluster + 10, 0);
    ASSERT_EQ(volume.Seek(other, 0), FatResult::Ok);
    read.assign(10000, 0xAA);
    ASSERT_EQ(volume.Read(other, read.data(), 10000, done), FatResult::Ok);
    read.resize(done);
    EXPECT_EQ(read, expected);
    ASSERT_EQ(volume.Seek(file, 0), FatResult::Ok);
    ASSERT_EQ(volume.SetEndOfFile(file), FatResult::Ok);
    EXPECT_EQ(FreeClusters(volume), freeBefore);
    // Reading where the other handle still stands gives nothing now.
    ASSERT_EQ(volume.Read(other, read.data(), 10, done), FatResult::Ok);
    EXPECT_EQ(done, 0u);
    volume.Close(file);
    volume.Close(other);
    image.Unmount();
    ToolResult fsck = CheckVolume(image.Image(), image.Where());
    EXPECT_EQ(fsck.exitCode, 0) << fsck.output;
}

TEST(FatFiles, AFullVolumeKeepsWhatFitsAndLeavesTheLastSectorAlone) {
    TestClock clock;
    MountedImage image(1 * kMiB, clock);
    uint64_t diskBytes = 1 * kMiB;
    std::vector<uint8_t> trailer = PatternBytes(kSectorSize, 9);
    image.Unmount();
    WriteBytes(image.Image(), diskBytes - kSectorSize, trailer);
    image.Mount();
    FatVolume& volume = image.Volume();
    uint32_t cluster = ClusterBytes(volume);
    uint32_t freeBytes = FreeClusters(volume) * cluster;

    ASSERT_EQ(WriteWholeFile(volume, u"small", PatternBytes(100, 1)), FatResult::Ok);
    FatFile file;
    ASSERT_EQ(volume.Open(u"big", FatAccess::Write, FatDisposition::CreateNew, 0, file), FatResult::Ok);
    std::vector<uint8_t> data = PatternBytes(freeBytes, 2);
    uint32_t done = 0;
    EXPECT_EQ(volume.Write(file, data.data(), freeBytes, done), FatResult::DiskFull);
    EXPECT_EQ(done, freeBytes - cluster);
    EXPECT_EQ(FreeClusters(volume), 0u);
    EXPECT_EQ(volume.Write(file, data.data(), 1, done), FatResult::DiskFull);
    EXPECT_EQ(done, 0u);
    volume.Close(file);
    EXPECT_EQ(volume.CreateDirectory(u"no room"), FatResult::DiskFull);
    EXPECT_LT(image.Disk().highestSectorWritten, image.Disk().SectorCount() - 1);

    image.Remount();
    std::vector<uint8_t> read;
    ASSERT_EQ(ReadWholeFile(image.Volume(), u"big", read), FatResult::Ok);
    data.resize(freeBytes - cluster);
    EXPECT_EQ(read, data);
    EXPECT_EQ(FreeClusters(image.Volume()), 0u);
    image.Unmount();
    EXPECT_EQ(ReadBytes(image.Image(), diskBytes - kSectorSize, kSectorSize), trailer);
    ToolResult fsck = CheckVolume(image.Image(), image.Where());
    EXPECT_EQ(fsck.exitCode, 0) << fsck.output;
    image.Mount();
    ASSERT_EQ(image.Volume().Delete(u"big"), FatResult::Ok);
    EXPECT_EQ(FreeClusters(image.Volume()) * cluster, freeBytes - cluster);
}

TEST(FatFiles, AWriteBeyondTheEndThatDoesNotFitLeavesTheFileAsItWas) {
    TestClock clock;
    MountedImage image(1 * kMiB, clock);
    FatVolume& volume = image.Volume();
    uint32_t cluster = ClusterBytes(volume);
    uint32_t freeClusters = FreeClusters(volume);
    FatFile file;
    ASSERT_EQ(volume.Open(u"f", FatAccess::Write, FatDisposition::CreateNew, 0, file), FatResult::Ok);
    // The zeros up to the position take every free cluster; the byte itself finds none.
    ASSERT_EQ(volume.Seek(file, freeClusters * cluster), FatResult::Ok);
    uint32_t done = 0;
    EXPECT_EQ(volume.Write(file, "x", 1, done), FatResult::DiskFull);
    EXPECT_EQ(done, 0u);
    uint32_t size = 1;
    ASSERT_EQ(volume.GetSize(file, size), FatResult::Ok);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(FreeClusters(volume), freeClusters);
    volume.Close(file);
    image.Unmount();
    ToolResult fsck = CheckVolume(image.Image(), image.Where());
    EXPECT_EQ(fsck.exitCode, 0) << fsck.output;
}

TEST(FatFiles, SizesStopAtFourGibibytesLessOne) {
    TestClock clock;
    MountedImage image(1 * kMiB, clock);
    FatVolume& volume = image.Volume();
    FatFile file;
    ASSERT_EQ(volume.Open(u"f", FatAccess::Write, FatDisposition::CreateNew, 0, file), FatResult::Ok);
    ASSERT_EQ(volume.Seek(file, 0xFFFFFFFF), FatResult::Ok);
    uint32_t done = 0;
    EXPECT_EQ(volume.Write(file, "x", 1, done), FatResult::TooLarge);
    EXPECT_EQ(done, 0u);
    // Far beyond the free space: the gap cannot be filled, and the file stays as it was.
    uint32_t freeBefore = FreeClusters(volume);
    ASSERT_EQ(volume.Seek(file, 0xFFFFFFF0), FatResult::Ok);
    EXPECT_EQ(volume.Write(file, "x", 1, done), FatResult::DiskFull);
    EXPECT_EQ(volume.SetEndOfFile(file), FatResult::DiskFull);
    uint32_t size = 1;
    ASSERT_EQ(volume.GetSize(file, size), FatResult::Ok);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(FreeClusters(volume), freeBefore);
    volume.Close(file);
    image.Unmount();
    ToolResult fsck = CheckVolume(image.Image(), image.Where());
    EXPECT_EQ(fsck.exitCode, 0) << fsck.output;
}

TEST(FatFolders, GrowPastOneClusterAndTheFixedRootFillsUp) {
    TestClock clock;
    MountedImage image(1 * kMiB, clock);
    FatVolume& volume = image.Volume();
    ASSERT_EQ(volume.CreateDirectory(u"many"), FatResult::Ok);
    std::set<std::u16string> names;
    for (int i = 0; i < 150; ++i) {
        std::u16string name = U16("file with a long name number " + std::to_string(i));
        ASSERT_EQ(WriteWholeFile(volume, u"many\\" + name, {}), FatResult::Ok) << i;
        names.insert(name);
    }
    image.Remount();
    EXPECT_EQ(Names(ListFolder(image.Volume(), u"many")), names);

    // The 1 MiB volume's root holds 224 slots; "many" takes two (its long name and its alias), each
    // upper-case 8.3 name one.
    int created = 0;
    FatResult result = FatResult::Ok;
    for (; created < 300; ++created) {
        FatFile file;
        result = image.Volume().Open(U16("R" + std::to_string(created)), FatAccess::Write,
                                     FatDisposition::CreateNew, 0, file);
        if (result != FatResult::Ok)
            break;
        image.Volume().Close(file);
    }
    EXPECT_EQ(result, FatResult::DirectoryFull);
    EXPECT_EQ(created, 222);
    image.Unmount();
    ToolResult fsck = CheckVolume(image.Image(), image.Where());
    EXPECT_EQ(fsck.exitCode, 0) << fsck.output;
}

TEST(FatFolders, RenameChangesCaseAndMovedFoldersPointToTheirNewParent) {
    TestClock clock;
    MountedImage image(32 * kMiB, clock);
    FatVolume& volume = image.Volume();
    ASSERT_EQ(volume.CreateDirectory(u"a"), FatResult::Ok);
    ASSERT_EQ(volume.CreateDirectory(u"a\\child"), FatResult::Ok);
    ASSERT_EQ(WriteWholeFile(volume, u"a\\child\\f", PatternBytes(5000, 1)), FatResult::Ok);
    ASSERT_EQ(volume.CreateDirectory(u"b"), FatResult::Ok);
    ASSERT_EQ(volume.Rename(u"a\\child", u"b\\Child Renamed"), FatResult::Ok);
    ASSERT_EQ(volume.Rename(u"b\\Child Renamed", u"b\\CHILD RENAMED"), FatResult::Ok);
    ASSERT_EQ(WriteWholeFile(volume, u"readme.txt", {}), FatResult::Ok);
    ASSERT_EQ(volume.Rename(u"readme.txt", u"README.TXT"), FatResult::Ok);
    image.Remount();
    EXPECT_EQ(Names(ListFolder(image.Volume(), u"b")), std::set<std::u16string>{u"CHILD RENAMED"});
    EXPECT_EQ(Names(ListFolder(image.Volume(), u"")), (std::set<std::u16string>{u"a", u"b", u"README.TXT"}));
    FatEntryInfo info;
    ASSERT_EQ(image.Volume().GetInfo(u"README.TXT", info), FatResult::Ok);
    EXPECT_EQ(info.shortName, u"README.TXT");
    std::vector<uint8_t> read;
    ASSERT_EQ(ReadWholeFile(image.Volume(), u"b\\child renamed\\f", read), FatResult::Ok);
    EXPECT_EQ(read, PatternBytes(5000, 1));
    image.Unmount();
    // fsck checks every ".." entry against the folder that holds the folder.
    ToolResult fsck = CheckVolume(image.Image(), image.Where());
    EXPECT_EQ(fsck.exitCode, 0) << fsck.output;
}

TEST(FatTransfers, SequentialIoMovesWholeRunsInFewRequests) {
    TestClock clock;
    MountedImage image(32 * kMiB, clock);
    FatVolume& volume = image.Volume();
    HostFileDevice& disk = image.Disk();
    std::vector<uint8_t> data = PatternBytes(4 * kMiB, 1);
    FatFile file;
    ASSERT_EQ(volume.Open(u"big", FatAccess::ReadWrite, FatDisposition::CreateNew, 0, file), FatResult::Ok);
    disk.writeRequests = disk.sectorsWritten = 0;
    uint32_t done = 0;
    ASSERT_EQ(volume.Write(file, data.data(), static_cast<uint32_t>(data.size()), done), FatResult::Ok);
    uint64_t dataSectors = data.size() / kSectorSize;
    EXPECT_LE(disk.writeRequests, 12u);
    EXPECT_LE(disk.sectorsWritten, dataSectors + dataSectors / 50);

    // In 64 KiB pieces the metadata writes stay a small share.
    ASSERT_EQ(volume.Seek(file, 0), FatResult::Ok);
    ASSERT_EQ(volume.SetEndOfFile(file), FatResult::Ok);
    disk.writeRequests = disk.sectorsWritten = 0;
    for (size_t at = 0; at < data.size(); at += 64 * 1024)
        ASSERT_EQ(volume.Write(file, data.data() + at, 64 * 1024, done), FatResult::Ok);
    EXPECT_LE(disk.sectorsWritten, dataSectors + dataSectors / 10);

    ASSERT_EQ(volume.Seek(file, 0), FatResult::Ok);
    disk.readRequests = disk.sectorsRead = 0;
    std::vector<uint8_t> read(data.size());
    ASSERT_EQ(volume.Read(file, read.data(), static_cast<uint32_t>(read.size()), done), FatResult::Ok);
    EXPECT_EQ(read, data);
    EXPECT_LE(disk.readRequests, 12u);
    EXPECT_LE(disk.sectorsRead, dataSectors + 40);
    volume.Close(file);
}

TEST(FatWriteProtection, AWriteProtectedDiskIsReadOnly) {
    TestClock clock;
    MountedImage image(1 * kMiB, clock);
    ASSERT_EQ(WriteWholeFile(image.Volume(), u"f", PatternBytes(10, 1)), FatResult::Ok);
    image.Unmount();
    HostFileDevice disk(image.Image());
    disk.SetWriteProtected(true);
    FatVolume volume(clock.AsClock());
    ASSERT_EQ(volume.Mount(disk), FatResult::Ok);
    std::vector<uint8_t> read;
    EXPECT_EQ(ReadWholeFile(volume, u"f", read), FatResult::Ok);
    EXPECT_EQ(read, PatternBytes(10, 1));
    FatFile file;
    EXPECT_EQ(volume.Open(u"f", FatAccess::Write, FatDisposition::OpenExisting, 0, file),
              FatResult::WriteProtected);
    EXPECT_EQ(volume.Open(u"g", FatAccess::Read, FatDisposition::OpenAlways, 0, file),
              FatResult::WriteProtected);
    EXPECT_EQ(volume.CreateDirectory(u"d"), FatResult::WriteProtected);
    EXPECT_EQ(volume.Delete(u"f"), FatResult::WriteProtected);
    EXPECT_EQ(volume.Rename(u"f", u"g"), FatResult::WriteProtected);
    EXPECT_EQ(volume.SetAttributes(u"f", 0), FatResult::WriteProtected);
    EXPECT_EQ(volume.Unmount(), FatResult::Ok);
    EXPECT_EQ(disk.writeRequests, 0u);
}

} // namespace
} // namespace fat::test
