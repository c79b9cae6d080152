// Tallowick's registration: the keys its script writes and removes, its type library, its resources.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ShellEntryTest.h"
#include "Tallowick.h"
#include "testing/DeviceRootTest.h"
#include "testing/RegistryDump.h"

namespace {

using com_test::Dump;
using com_test::KeyExists;
using shell_entry_test::RunTallowickExport;
using Lines = std::vector<std::string>;

const std::string kClsid = "{7EB8A0D7-7D17-44CC-A74A-00DC6AB30734}";
const std::string kLibid = "{B11EF4E8-FB4A-4A97-A54C-D0FECEA8D5A2}";
const std::string kIid = "{5FC6D546-988C-4545-B9AD-6B236A71010A}";
const std::u16string kNewMenu = u"SOFTWARE\\Microsoft\\Shell\\Extensions\\NewMenu";

Lines Concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The type library's keys and the interface's, which registering writes and unregistering leaves. The library
// lives in the device's \Windows folder, whose name keeps its case.
Lines TypeLibraryLines() {
    const std::string lib = "TypeLib\\" + kLibid;
    const std::string face = "Interface\\" + kIid;
    const std::string marshaller = "\"{00020424-0000-0000-C000-000000000046}\"";
    return {"TypeLib",
            lib,
            lib + "\\1.0",
            lib + "\\1.0 @ = \"Tallowick 1.0 Type Library\"",
            lib + "\\1.0\\FLAGS",
            lib + "\\1.0\\FLAGS @ = \"0\"",
            lib + "\\1.0\\0",
            lib + "\\1.0\\0\\win32",
            lib + "\\1.0\\0\\win32 @ = \"\\Windows\\Tallowick.dll\"",
            lib + "\\1.0\\HELPDIR",
            lib + "\\1.0\\HELPDIR @ = \"\\Windows\"",
            "Interface",
            face,
            face + " @ = \"IMenuHandler\"",
            face + "\\ProxyStubClsid",
            face + "\\ProxyStubClsid @ = " + marshaller,
            face + "\\ProxyStubClsid32",
            face + "\\ProxyStubClsid32 @ = " + marshaller,
            face + "\\TypeLib",
            face + "\\TypeLib @ = \"" + kLibid + "\"",
            face + "\\TypeLib @Version = \"1.0\""};
}

class TallowickRegistrationTest : public testing_support::DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        Install(SHELL_ENTRY_MANIFEST);
    }
    static void CreateKey(HKEY root, const std::u16string& path) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
};

TEST_F(TallowickRegistrationTest, RegisteringWritesTheClassTheFileTypeTheNewMenuEntryAndTheTypeLibrary) {
    ASSERT_EQ(RunTallowickExport("DllRegisterServer"), S_OK);
    const std::string cls = "CLSID\\" + kClsid;
    EXPECT_EQ(
        Dump(HKEY_CLASSES_ROOT, u""),
        Concat({{"Tallowick.MenuHandler.1", "Tallowick.MenuHandler.1 @ = \"MenuHandler Class\"",
                 "Tallowick.MenuHandler.1\\CLSID", "Tallowick.MenuHandler.1\\CLSID @ = \"" + kClsid + "\"",
                 "Tallowick.MenuHandler", "Tallowick.MenuHandler @ = \"MenuHandler Class\"",
                 "Tallowick.MenuHandler\\CLSID", "Tallowick.MenuHandler\\CLSID @ = \"" + kClsid + "\"",
                 "Tallowick.MenuHandler\\CurVer",
                 "Tallowick.MenuHandler\\CurVer @ = \"Tallowick.MenuHandler.1\"", "CLSID", cls,
                 cls + " @ = \"MenuHandler Class\"", cls + "\\ProgID",
                 cls + "\\ProgID @ = \"Tallowick.MenuHandler.1\"", cls + "\\VersionIndependentProgID",
                 cls + "\\VersionIndependentProgID @ = \"Tallowick.MenuHandler\"", cls + "\\Programmable",
                 cls + "\\InprocServer32", cls + "\\InprocServer32 @ = \"\\Windows\\Tallowick.dll\"",
                 cls + "\\TypeLib", cls + "\\TypeLib @ = \"" + kLibid + "\"", ".fvc",
                 ".fvc @ = \"FerrovaneContainer\"", "FerrovaneContainer", "FerrovaneContainer\\DefaultIcon",
                 "FerrovaneContainer\\DefaultIcon @ = \"\\program files\\ferrovane\\ferrovane.exe,-145\"",
                 "FerrovaneContainer\\Shell", "FerrovaneContainer\\Shell\\Open",
                 "FerrovaneContainer\\Shell\\Open\\Command",
                 // The script's doubled percent sign is written once.
                 "FerrovaneContainer\\Shell\\Open\\Command @ = \"Drovel.exe  %1\""},
                TypeLibraryLines()}));
    EXPECT_EQ(
        Dump(HKEY_LOCAL_MACHINE, u""),
        (Lines{"SOFTWARE", "SOFTWARE\\Microsoft", "SOFTWARE\\Microsoft\\Shell",
               "SOFTWARE\\Microsoft\\Shell\\Extensions", "SOFTWARE\\Microsoft\\Shell\\Extensions\\NewMenu",
               "SOFTWARE\\Microsoft\\Shell\\Extensions\\NewMenu\\" + kClsid,
               "SOFTWARE\\Microsoft\\Shell\\Extensions\\NewMenu\\" + kClsid + " @ = \"Encrypted Folder\"",
               "SOFTWARE\\Microsoft\\Shell\\Extensions\\NewMenu\\" + kClsid + " @Enabled = 1"}));
    EXPECT_EQ(Dump(HKEY_CURRENT_USER, u""), Lines{});
}

TEST_F(TallowickRegistrationTest, RegisteringAgainReplacesWhatIsBelowTheClassAndTheNewMenuEntry) {
    const std::u16string clsid(kClsid.begin(), kClsid.end());
    CreateKey(HKEY_CLASSES_ROOT, u"CLSID\\" + clsid + u"\\Stale");
    CreateKey(HKEY_LOCAL_MACHINE, kNewMenu + u"\\" + clsid + u"\\Stale");
    ASSERT_EQ(RunTallowickExport("DllRegisterServer"), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, u"CLSID\\" + clsid + u"\\Stale"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kNewMenu + u"\\" + clsid + u"\\Stale"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, u"CLSID\\" + clsid + u"\\InprocServer32"));
}

TEST_F(TallowickRegistrationTest, UnregisteringRemovesItsKeysKeepsSharedOnesAndTheTypeLibrary) {
    // Others' keys: a class beside ours, and a subkey of the file type.
    CreateKey(HKEY_CLASSES_ROOT, u"CLSID\\{00000000-0000-0000-0000-000000000001}");
    ASSERT_EQ(RunTallowickExport("DllRegisterServer"), S_OK);
    const std::u16string clsid(kClsid.begin(), kClsid.end());
    CreateKey(HKEY_CLASSES_ROOT, u"FerrovaneContainer\\ShellNew");
    // Keys marked ForceRemove go with whatever was added below them.
    CreateKey(HKEY_CLASSES_ROOT, u"CLSID\\" + clsid + u"\\Added\\Deeper");
    CreateKey(HKEY_LOCAL_MACHINE, kNewMenu + u"\\" + clsid + u"\\Added");

    ASSERT_EQ(RunTallowickExport("DllUnregisterServer"), S_OK);
    EXPECT_EQ(Dump(HKEY_CLASSES_ROOT, u""), Concat({{"CLSID", "CLSID\\{00000000-0000-0000-0000-000000000001}",
                                                     "FerrovaneContainer", "FerrovaneContainer\\ShellNew"},
                                                    TypeLibraryLines()}));
    EXPECT_EQ(
        Dump(HKEY_LOCAL_MACHINE, u""),
        (Lines{"SOFTWARE", "SOFTWARE\\Microsoft", "SOFTWARE\\Microsoft\\Shell",
               "SOFTWARE\\Microsoft\\Shell\\Extensions", "SOFTWARE\\Microsoft\\Shell\\Extensions\\NewMenu"}));

    // Unregistering what is not registered is no error either.
    EXPECT_EQ(RunTallowickExport("DllUnregisterServer"), S_OK);
}

TEST_F(TallowickRegistrationTest, UnregisteringAnswersSuccessEvenWhenTheRegistryRefusesTheChanges) {
    ASSERT_EQ(RunTallowickExport("DllRegisterServer"), S_OK);
    // A folder where the registry writes its new copy makes every change fail.
    const std::filesystem::path blocker = m_root.Path() / "registry.new";
    ASSERT_TRUE(std::filesystem::create_directory(blocker));
    EXPECT_EQ(RunTallowickExport("DllUnregisterServer"), S_OK);
    std::filesystem::remove(blocker);
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, u"CLSID\\{7EB8A0D7-7D17-44CC-A74A-00DC6AB30734}"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, u"Tallowick.MenuHandler"));
}

TEST_F(TallowickRegistrationTest, TheLibraryCarriesItsNameAndItsTypeLibraryAsResources) {
    HMODULE module = LoadLibraryW(shell_entry_test::kTallowickPath);
    ASSERT_NE(module, nullptr);
    WCHAR name[32] = {};
    EXPECT_EQ(LoadStringW(module, 100, name, 32), 9);
    EXPECT_EQ(std::u16string(name), u"Tallowick");

    HRSRC resource = FindResourceW(module, MAKEINTRESOURCE(1), u"TYPELIB");
    ASSERT_NE(resource, nullptr);
    ASSERT_EQ(SizeofResource(module, resource), sizeof(com::TypeLibraryDescription));
    const auto* library =
        static_cast<const com::TypeLibraryDescription*>(LockResource(LoadResource(module, resource)));
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(std::u16string(library->name), u"TALLOWICKLib");
    EXPECT_TRUE(*library->libid == LIBID_TALLOWICKLib);
    EXPECT_EQ(library->majorVersion, 1);
    EXPECT_EQ(library->minorVersion, 0);
    ASSERT_EQ(library->classes.size(), 1u);
    EXPECT_TRUE(*library->classes[0].defaultInterface == IID_IMenuHandler);
    // It imports the standard library, which the platform provides.
    ASSERT_EQ(library->imports.size(), 1u);
    EXPECT_EQ(std::u16string(library->imports[0]), u"stdole2.tlb");
    EXPECT_EQ(com::FindProvidedTypeLibrary(library->imports[0]), &com::kStdOle2TypeLibrary);
    FreeLibrary(module);
}

} // namespace
