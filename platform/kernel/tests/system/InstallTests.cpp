#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TemporaryDeviceRoot.h"
#include "kernel/Errors.h"
#include "kernel/Install.h"
#include "kernel/Registry.h"

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
    static fs::path Stored(const char* path) { return kernel::ObjectStoreFolder() / path; }
    // A value of HKCU\Software\InstallTests: a DWORD as its number, a text as itself; empty when absent.
    static std::string TestValue(const WCHAR* name) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\InstallTests", 0, 0, &key) != ERROR_SUCCESS)
            return {};
        BYTE data[256] = {};
        DWORD size = sizeof data;
        DWORD type = 0;
        LONG result = RegQueryValueExW(key, name, nullptr, &type, data, &size);
        RegCloseKey(key);
        if (result != ERROR_SUCCESS)
            return {};
        if (type == REG_DWORD)
            return std::to_string(*reinterpret_cast<DWORD*>(data));
        std::string text;
        for (DWORD i = 0; i + 1 < size && data[i]; i += 2)
            text.push_back(static_cast<char>(data[i]));
        return text;
    }
    static void SetTestValue(const WCHAR* name, const std::u16string& text) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\InstallTests", 0, nullptr, 0, 0, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * 2));
        RegCloseKey(key);
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

TEST_F(InstallTest, AReinstallReplacesProgramFilesAndKeepsWhatTheUserChanged) {
    fs::path program = Source("program", "program 1", fs::perms::owner_all);
    fs::path list = Source("list", "list 1\n", fs::perms::owner_read | fs::perms::owner_write);
    fs::path settings = Source("settings", "settings 1\n", fs::perms::owner_read | fs::perms::owner_write);
    fs::path library = m_sources.Path() / "library.dll";
    fs::copy_file(REGISTERING_LIBRARY, library);
    fs::path manifest = m_sources.Path() / "manifest.txt";
    std::ofstream(manifest) << program.string() << "\t\\windows\\Program.exe\n"
                            << list.string() << "\t\\program files\\test\\list.cfg\tconfig\n"
                            << settings.string() << "\t\\program files\\test\\settings.cfg\tconfig\n"
                            << library.string() << "\t\\windows\\Registering.dll\tregister\n";

    ASSERT_EQ(kernel::InstallDeviceManifest(manifest), 0u);
    EXPECT_EQ(Content(Stored("windows/Program.exe")), "program 1");
    EXPECT_EQ(Content(Stored("program files/test/list.cfg")), "list 1\n");
    EXPECT_EQ(TestValue(u"Registered"), "1");
    EXPECT_EQ(TestValue(u"Text"), "as registered");

    // The user's day: an entry in the list, a value in the library's key, a document of their own.
    std::ofstream(Stored("program files/test/list.cfg"), std::ios::app) << "the user's entry\n";
    SetTestValue(u"Text", u"the user's text");
    fs::create_directories(Stored("My Documents"));
    std::ofstream(Stored("My Documents/notes.txt")) << "notes";
    for (int again = 0; again < 2; ++again) {
        ASSERT_EQ(kernel::InstallDeviceManifest(manifest), 0u);
        EXPECT_EQ(Content(Stored("program files/test/list.cfg")), "list 1\nthe user's entry\n");
        EXPECT_EQ(TestValue(u"Registered"), "1") << "an unchanged library is not registered again";
        EXPECT_EQ(TestValue(u"Text"), "the user's text");
        EXPECT_EQ(Content(Stored("My Documents/notes.txt")), "notes");
    }

    // A new version: program files and the file the user left alone are replaced, the user's file stays,
    // and the changed library is registered again.
    std::ofstream(program) << "program 2";
    std::ofstream(list) << "list 2\n";
    std::ofstream(settings) << "settings 2\n";
    std::ofstream(library, std::ios::app) << "version 2";
    ASSERT_EQ(kernel::InstallDeviceManifest(manifest), 0u);
    EXPECT_EQ(Content(Stored("windows/Program.exe")), "program 2");
    EXPECT_EQ(Content(Stored("program files/test/settings.cfg")), "settings 2\n");
    EXPECT_EQ(Content(Stored("program files/test/list.cfg")), "list 1\nthe user's entry\n");
    EXPECT_EQ(TestValue(u"Registered"), "2");

    // A configuration file that is gone is laid down again.
    fs::remove(Stored("program files/test/list.cfg"));
    ASSERT_EQ(kernel::InstallDeviceManifest(manifest), 0u);
    EXPECT_EQ(Content(Stored("program files/test/list.cfg")), "list 2\n");
}

TEST_F(InstallTest, ALibraryWhoseRegistrationFailedIsRegisteredByTheNextInstall) {
    // A device root installed before its libraries were registered: the file is there, no record of it.
    fs::create_directories(Stored("windows"));
    fs::copy_file(REGISTERING_LIBRARY, Stored("windows/Registering.dll"));
    SetTestValue(u"Refuse", u"yes");
    EXPECT_EQ(kernel::InstallDeviceFile(REGISTERING_LIBRARY, u"\\windows\\Registering.dll",
                                        kernel::DeviceFileKind::SelfRegistering),
              static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(TestValue(u"Registered"), "");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\InstallTests", 0, 0, &key), ERROR_SUCCESS);
    RegDeleteValueW(key, u"Refuse");
    RegCloseKey(key);
    EXPECT_EQ(kernel::InstallDeviceFile(REGISTERING_LIBRARY, u"\\windows\\Registering.dll",
                                        kernel::DeviceFileKind::SelfRegistering),
              0u);
    EXPECT_EQ(TestValue(u"Registered"), "1");

    EXPECT_EQ(kernel::InstallDeviceFile(REFUSING_LIBRARY, u"\\windows\\Refusing.dll",
                                        kernel::DeviceFileKind::SelfRegistering),
              static_cast<DWORD>(ERROR_DLL_INIT_FAILED));
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
    std::ofstream(manifest) << file.string() << "\t\\windows\\b.dll\tsomething\n";
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
