#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "com/Registrar.h"
#include "testing/DeviceRootTest.h"
#include "testing/RegistryDump.h"

namespace {

using com_test::Dump;
using com_test::KeyExists;
using Lines = std::vector<std::string>;

// Every construct of the grammar, in the layout a server's script has.
constexpr char16_t kScript[] = uR"(
HKCR
{
    Sample.Thing.1 = s 'Thing Class'
    {
        CLSID = s '{11111111-2222-3333-4444-555555555555}'
    }
    NoRemove CLSID
    {
        ForceRemove {11111111-2222-3333-4444-555555555555} = s 'Thing Class'
        {
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Apartment'
            }
            ForceRemove 'Programmable'
            'Shell\Open\Command' = s 'Drovel.exe  %%1'
        }
    }
    Delete Stale
}
hkey_local_machine
{
    NoRemove SOFTWARE
    {
        noremove Sample
        {
            ForceRemove Entry = s 'Encrypted Folder'
            {
                val Enabled = d 1
                val Mask = d '0xFF00'
            }
            Shared
            {
                NoRemove val Keep = s 'kept'
                val Drop = s 'dropped'
            }
        }
    }
}
HKCU
{
    'Quoted ''Name''' = s 'It''s 100%% %Product%'
}
)";

class RegistrarTest : public testing_support::DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        ASSERT_EQ(m_registrar.AddReplacement(u"MODULE", u"\\windows\\O'Brien.dll"), S_OK);
        ASSERT_EQ(m_registrar.AddReplacement(u"product", u"Sample"), S_OK);
    }

    static void CreateKey(HKEY root, const char16_t* path) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    CRegObject m_registrar;
};

TEST_F(RegistrarTest, RegisteringWritesEveryKeyAndValueAndForceRemoveClearsOldSubtrees) {
    CreateKey(HKEY_CLASSES_ROOT, u"CLSID\\{11111111-2222-3333-4444-555555555555}\\Leftover");
    CreateKey(HKEY_CLASSES_ROOT, u"CLSID\\Other");
    CreateKey(HKEY_CLASSES_ROOT, u"Stale\\Below");

    ASSERT_EQ(m_registrar.StringRegister(kScript), S_OK);

    EXPECT_EQ(
        Dump(HKEY_CLASSES_ROOT, u""),
        (Lines{
            "CLSID", "CLSID\\Other", "CLSID\\{11111111-2222-3333-4444-555555555555}",
            "CLSID\\{11111111-2222-3333-4444-555555555555} @ = \"Thing Class\"",
            "CLSID\\{11111111-2222-3333-4444-555555555555}\\InprocServer32",
            "CLSID\\{11111111-2222-3333-4444-555555555555}\\InprocServer32 @ = \"\\windows\\O'Brien.dll\"",
            "CLSID\\{11111111-2222-3333-4444-555555555555}\\InprocServer32 @ThreadingModel = \"Apartment\"",
            "CLSID\\{11111111-2222-3333-4444-555555555555}\\Programmable",
            "CLSID\\{11111111-2222-3333-4444-555555555555}\\Shell",
            "CLSID\\{11111111-2222-3333-4444-555555555555}\\Shell\\Open",
            "CLSID\\{11111111-2222-3333-4444-555555555555}\\Shell\\Open\\Command",
            "CLSID\\{11111111-2222-3333-4444-555555555555}\\Shell\\Open\\Command @ = \"Drovel.exe  %1\"",
            "Sample.Thing.1", "Sample.Thing.1 @ = \"Thing Class\"", "Sample.Thing.1\\CLSID",
            "Sample.Thing.1\\CLSID @ = \"{11111111-2222-3333-4444-555555555555}\""}));
    EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, u"SOFTWARE"),
              (Lines{"Sample", "Sample\\Entry", "Sample\\Entry @ = \"Encrypted Folder\"",
                     "Sample\\Entry @Enabled = 1", "Sample\\Entry @Mask = 65280", "Sample\\Shared",
                     "Sample\\Shared @Keep = \"kept\"", "Sample\\Shared @Drop = \"dropped\""}));
    EXPECT_EQ(Dump(HKEY_CURRENT_USER, u""),
              (Lines{"Quoted 'Name'", "Quoted 'Name' @ = \"It's 100% Sample\""}));
}

TEST_F(RegistrarTest, UnregisteringRemovesWhatTheScriptMadeButKeepsNoRemoveAndForeignKeys) {
    ASSERT_EQ(m_registrar.StringRegister(kScript), S_OK);
    CreateKey(HKEY_CLASSES_ROOT, u"CLSID\\Other");
    // ForceRemove takes keys that others added below it; a plain key with a foreign subkey stays.
    CreateKey(HKEY_CLASSES_ROOT, u"CLSID\\{11111111-2222-3333-4444-555555555555}\\Added\\Deeper");
    CreateKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Sample\\Shared\\Foreign");

    ASSERT_EQ(m_registrar.StringUnregister(kScript), S_OK);

    EXPECT_EQ(Dump(HKEY_CLASSES_ROOT, u""), (Lines{"CLSID", "CLSID\\Other"}));
    EXPECT_EQ(
        Dump(HKEY_LOCAL_MACHINE, u"SOFTWARE"),
        (Lines{"Sample", "Sample\\Shared", "Sample\\Shared @Keep = \"kept\"", "Sample\\Shared\\Foreign"}));
    EXPECT_EQ(Dump(HKEY_CURRENT_USER, u""), Lines{});

    // Unregistering what is already gone is no error.
    EXPECT_EQ(m_registrar.StringUnregister(kScript), S_OK);
}

TEST_F(RegistrarTest, PlainKeysGoOnceEmptyAndKeysAboveThemFollow) {
    constexpr char16_t kNested[] = u"HKLM { Outer { Middle { Inner = s 'x' } } }";
    ASSERT_EQ(m_registrar.StringRegister(kNested), S_OK);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, u"Outer\\Middle\\Inner"));
    ASSERT_EQ(m_registrar.StringUnregister(kNested), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, u"Outer"));
}

TEST_F(RegistrarTest, MalformedScriptsAreRefusedBeforeTheRegistryIsTouched) {
    const char16_t* scripts[] = {
        u"HKCR { First = s 'made' } HKU { Second }", // a root the registry does not have
        u"HKCR { First = s 'made' Open = s 'no end }",
        u"HKCR { First = s 'made' ",
        u"HKCR { First = s 'made' } }",
        u"HKCR First { }",
        u"HKCR { First = s 'made' Path = s '%UNKNOWN%' }",
        u"HKCR { First = s 'made' Path = s '100%' }",
        u"HKCR { First = s 'made' Value = x 'text' }",
        u"HKCR { First = s 'made' Value = d 'ten' }",
        u"HKCR { First = s 'made' Value = d 4294967296 }",
        u"HKCR { First = s 'made' Value = d 0x }",
        u"HKCR { First = s 'made' Value = }",
        u"HKCR { First = s 'made' ForceRemove val Name = s 'x' }",
        u"HKCR { First = s 'made' val = s 'x' }",
        u"HKCR { First = s 'made' NoRemove }",
        u"HKCR { First = s 'made' Delete { } }",
        u"HKCR { First = s 'made' '' = s 'empty name' }",
    };
    for (const char16_t* script : scripts) {
        SCOPED_TRACE(com_test::Narrow(script));
        EXPECT_EQ(m_registrar.StringRegister(script), DISP_E_EXCEPTION);
        EXPECT_EQ(m_registrar.StringUnregister(script), DISP_E_EXCEPTION);
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, u"First"));
    }
    EXPECT_EQ(m_registrar.StringRegister(nullptr), E_INVALIDARG);
}

TEST_F(RegistrarTest, ReplacementsAreNamedCaseInsensitivelyAndCanBeReplacedOrCleared) {
    EXPECT_EQ(m_registrar.AddReplacement(u"Product", u"Other"), S_OK);
    ASSERT_EQ(m_registrar.StringRegister(u"HKCU { Key = s '%PRODUCT%' }"), S_OK);
    EXPECT_EQ(Dump(HKEY_CURRENT_USER, u"Key"), Lines{"@ = \"Other\""});

    EXPECT_EQ(m_registrar.AddReplacement(u"", u"x"), E_INVALIDARG);
    EXPECT_EQ(m_registrar.AddReplacement(u"Name", nullptr), E_INVALIDARG);
    EXPECT_EQ(m_registrar.ClearReplacements(), S_OK);
    EXPECT_EQ(m_registrar.StringRegister(u"HKCU { Key = s '%PRODUCT%' }"), DISP_E_EXCEPTION);
}

TEST_F(RegistrarTest, ARegistryFailureStopsTheRegistrationWhereItHappened) {
    std::u16string script = u"HKCU { Made Long" + std::u16string(300, u'x') + u" Never }";
    EXPECT_EQ(m_registrar.StringRegister(script.c_str()), HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, u"Made"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, u"Never"));
}

} // namespace
