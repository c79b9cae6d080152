// Type libraries and their imports: what registering one writes, the standard library the platform
// provides, and a library whose import cannot be found.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "com/Com.h"
#include "testing/DeviceRootTest.h"
#include "testing/RegistryDump.h"

namespace {

using com_test::Dump;
using Lines = std::vector<std::string>;

const GUID kLibid = {0x6A0D1E52, 0x1B3C, 0x4D2E, {0x8F, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x01}};
const IID kIid = {0x6A0D1E52, 0x1B3C, 0x4D2E, {0x8F, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x02}};
const std::string kLibidText = "{6A0D1E52-1B3C-4D2E-8F11-223344556601}";
const std::string kIidText = "{6A0D1E52-1B3C-4D2E-8F11-223344556602}";

const com::TypeInterfaceDescription kInterfaces[] = {
    {u"IThing", &kIid, u"IThing Interface", com::InterfaceKind::Dual},
};

using TypeLibraryTest = testing_support::DeviceRootTest;

TEST_F(TypeLibraryTest, ALibraryIsRegisteredWithoutWhatItImports) {
    struct Case {
        const char* name;
        std::vector<LPCOLESTR> imports;
        HRESULT result;
    };
    const Case cases[] = {
        {"nothing imported", {}, S_OK},
        {"the standard library", {u"stdole2.tlb"}, S_OK},
        {"in other letter case", {u"StdOle2.TLB"}, S_OK},
        {"a library the platform does not have", {u"stdole2.tlb", u"missing.tlb"}, TYPE_E_CANTLOADLIBRARY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RegDeleteKeyW(HKEY_CLASSES_ROOT, u"TypeLib");
        RegDeleteKeyW(HKEY_CLASSES_ROOT, u"Interface");
        const com::TypeLibraryDescription library = {
            u"THINGLib", &kLibid, 1, 0, u"Thing 1.0 Type Library", kInterfaces, {}, c.imports};
        EXPECT_EQ(com::RegisterTypeLibrary(library, u"\\windows\\thing.dll", u"\\windows"), c.result);
        if (FAILED(c.result)) {
            EXPECT_EQ(Dump(HKEY_CLASSES_ROOT, u""), Lines{}) << "nothing is written";
            continue;
        }
        EXPECT_EQ(
            Dump(HKEY_CLASSES_ROOT, u"TypeLib"),
            (Lines{kLibidText, kLibidText + "\\1.0", kLibidText + "\\1.0 @ = \"Thing 1.0 Type Library\"",
                   kLibidText + "\\1.0\\FLAGS", kLibidText + "\\1.0\\FLAGS @ = \"0\"",
                   kLibidText + "\\1.0\\0", kLibidText + "\\1.0\\0\\win32",
                   kLibidText + "\\1.0\\0\\win32 @ = \"\\windows\\thing.dll\"", kLibidText + "\\1.0\\HELPDIR",
                   kLibidText + "\\1.0\\HELPDIR @ = \"\\windows\""}));
        const Lines interfaces = Dump(HKEY_CLASSES_ROOT, u"Interface");
        ASSERT_FALSE(interfaces.empty());
        EXPECT_EQ(interfaces[0], kIidText) << "only the library's own interface";
        for (const std::string& line : interfaces)
            EXPECT_EQ(line.compare(0, kIidText.size(), kIidText), 0) << line;
    }
}

TEST_F(TypeLibraryTest, ThePlatformProvidesTheStandardLibrary) {
    const com::TypeLibraryDescription* standard = com::FindProvidedTypeLibrary(u"stdole2.tlb");
    ASSERT_EQ(standard, &com::kStdOle2TypeLibrary);
    EXPECT_EQ(com::FindProvidedTypeLibrary(u"stdole32.tlb"), nullptr);
    EXPECT_EQ(com::FindProvidedTypeLibrary(nullptr), nullptr);
    EXPECT_EQ(std::u16string(standard->name), u"stdole");
    EXPECT_EQ(std::u16string(standard->helpString), u"OLE Automation");
    const GUID libid = {0x00020430, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
    EXPECT_TRUE(*standard->libid == libid);
    EXPECT_EQ(standard->majorVersion, 2);
    EXPECT_EQ(standard->minorVersion, 0);

    for (const IID* iid : {&IID_IUnknown, &IID_IDispatch}) {
        ITypeInfo* typeInfo = nullptr;
        ASSERT_EQ(com::GetTypeInfoOfGuid(*standard, *iid, &typeInfo), S_OK);
        BSTR name = nullptr;
        ASSERT_EQ(typeInfo->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
        EXPECT_EQ(std::u16string(name), *iid == IID_IUnknown ? u"IUnknown" : u"IDispatch");
        SysFreeString(name);
        typeInfo->Release();
    }
    // Its interfaces are no automation interfaces: registering it writes no key for them.
    ASSERT_EQ(com::RegisterTypeLibrary(*standard, u"\\windows\\stdole2.tlb", u"\\windows"), S_OK);
    EXPECT_EQ(Dump(HKEY_CLASSES_ROOT, u"Interface"), Lines{});
    const Lines version = Dump(HKEY_CLASSES_ROOT, u"TypeLib\\{00020430-0000-0000-C000-000000000046}\\2.0");
    ASSERT_FALSE(version.empty());
    EXPECT_EQ(version[0], "@ = \"OLE Automation\"");
}

} // namespace
