#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TemporaryDeviceRoot.h"
#include "kernel/Errors.h"
#include "kernel/Install.h"

namespace {

namespace fs = std::filesystem;

class InstallTest : public ::testing::Test {
protected:
    fs::path Source(const char* name, const char* content, fs::perms permissions) {
        fs::path path = m_sources.Path() / name;
        std::ofstream(path) << content;
        fs::permissions(path, permissions);
        return path;
    }
    static std::string Content(const fs::path& path) {
        std::ifstream input(path);
        return std::string(std::istreambuf_iterator<char>(input), {});
    }

    TemporaryDeviceRoot m_sources; // made first, so the root below is the process's device root
    TemporaryDeviceRoot m_root;
};

TEST_F(InstallTest, FilesGoIntoExistingFoldersMatchedCaseInsensitively) {
    fs::create_directories(kernel::ObjectStoreFolder() / "Windows");
    fs::path program = Source("program", "first", fs::perms::owner_all);
    ASSERT_EQ(kernel::InstallDeviceFile(program, u"\\windows\\Drovel.exe"), 0u);
    ASSERT_EQ(kernel::InstallDeviceFile(program, u"\\program files\\ferrovane\\ferrovane.exe"), 0u);

    fs::path installed = kernel::ObjectStoreFolder() / "Windows" / "Drovel.exe";
    EXPECT_EQ(Content(installed), "first");
    EXPECT_EQ(fs::status(installed).permissions() & fs::perms::owner_exec, fs::perms::owner_exec);
    EXPECT_FALSE(fs::exists(kernel::ObjectStoreFolder() / "windows"));
    EXPECT_TRUE(fs::exists(kernel::ObjectStoreFolder() / "program files" / "ferrovane" / "ferrovane.exe"));

    // A second install replaces the file; nothing of the copy is left beside it.
    std::ofstream(program) << "second";
    ASSERT_EQ(kernel::InstallDeviceFile(program, u"\\WINDOWS\\drovel.EXE"), 0u);
    EXPECT_EQ(Content(installed), "second");
    EXPECT_EQ(std::distance(fs::directory_iterator(installed.parent_path()), fs::directory_iterator()), 1);
}

TEST_F(InstallTest, FailuresGiveErrorCodes) {
    fs::path file = Source("file", "x", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(kernel::InstallDeviceFile(m_sources.Path() / "missing", u"\\windows\\x.dll"),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(kernel::InstallDeviceFile(file, u"\\windows\\bad|name.dll"),
              static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_EQ(kernel::InstallDeviceFile(file, nullptr), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    fs::path manifest = m_sources.Path() / "manifest.txt";
    std::ofstream(manifest) << file.string() << "\t\\windows\\a.dll\n" << file.string() << " no tab\n";
    EXPECT_EQ(kernel::InstallDeviceManifest(manifest), static_cast<DWORD>(ERROR_BAD_FORMAT));
    EXPECT_TRUE(fs::exists(kernel::ObjectStoreFolder() / "windows" / "a.dll")); // lines before it are done
    EXPECT_EQ(kernel::InstallDeviceManifest(m_sources.Path() / "none.txt"),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(InstallTest, TheBuildsManifestInstallsTheTestFiles) {
    TemporaryDeviceRoot::InstallTestFiles();
    for (const char* name : {"TestProgram.exe", "ArgumentEcho.exe", "TestLibrary.dll", "NotALibrary.dll"})
        EXPECT_TRUE(fs::is_regular_file(kernel::ObjectStoreFolder() / "windows" / name)) << name;
    EXPECT_TRUE(
        fs::is_regular_file(kernel::ObjectStoreFolder() / "program files" / "test" / "TestLibrary.dll"));
}

} // namespace
