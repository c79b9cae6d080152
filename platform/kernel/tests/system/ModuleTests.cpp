#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "TemporaryDeviceRoot.h"
#include "kernel/Errors.h"
#include "kernel/Modules.h"

namespace {

struct ModuleEvent {
    std::u16string module;
    DWORD reason;
    bool operator==(const ModuleEvent&) const = default;
};

std::mutex g_eventsLock;
std::vector<ModuleEvent> g_events;

std::vector<ModuleEvent> TakeEvents() {
    std::lock_guard guard(g_eventsLock);
    return std::exchange(g_events, {});
}

} // namespace

// Called by the test libraries' DllMain.
extern "C" __attribute__((visibility("default"))) void KernelTestRecordModuleEvent(const WCHAR* module,
                                                                                   DWORD reason) {
    std::lock_guard guard(g_eventsLock);
    g_events.push_back({module, reason});
}

namespace {

constexpr char16_t kWindowsLibrary[] = u"\\windows\\TestLibrary.dll";
constexpr char16_t kProgramFolderLibrary[] = u"\\program files\\test\\TestLibrary.dll";

std::u16string ModuleName(HMODULE module) {
    WCHAR name[MAX_PATH] = {};
    GetModuleFileNameW(module, name, MAX_PATH);
    return name;
}

class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        TemporaryDeviceRoot::InstallTestFiles();
        kernel::SetProgramDevicePath(u"\\program files\\test\\App.exe");
        TakeEvents();
    }
    void TearDown() override { kernel::SetProgramDevicePath(u""); }

    TemporaryDeviceRoot m_root;
};

TEST_F(ModuleTest, NestedLoadsAttachOnceAndDetachOnce) {
    HMODULE first = LoadLibraryW(u"TestLibrary.dll");
    ASSERT_NE(first, nullptr);
    // Other spellings of the same file are the same module.
    EXPECT_EQ(LoadLibraryW(u"testlibrary"), first);
    EXPECT_EQ(LoadLibraryW(u"\\PROGRAM FILES\\Test\\TestLibrary.DLL"), first);
    EXPECT_EQ(TakeEvents(), (std::vector<ModuleEvent>{{kProgramFolderLibrary, DLL_PROCESS_ATTACH}}));

    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(TakeEvents(), std::vector<ModuleEvent>{});
    EXPECT_EQ(GetModuleHandleW(u"TestLibrary.dll"), first);
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(TakeEvents(), (std::vector<ModuleEvent>{{kProgramFolderLibrary, DLL_PROCESS_DETACH}}));

    EXPECT_FALSE(FreeLibrary(first));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(GetModuleHandleW(u"TestLibrary.dll"), nullptr);
    EXPECT_EQ(ModuleName(first), u"");
}

TEST_F(ModuleTest, ADllMainMayLoadAndFreeAnotherLibrary) {
    HMODULE loader = LoadLibraryW(u"Loader.dll");
    ASSERT_NE(loader, nullptr);
    EXPECT_EQ(TakeEvents(), (std::vector<ModuleEvent>{{u"\\windows\\Loader.dll", DLL_PROCESS_ATTACH},
                                                      {kProgramFolderLibrary, DLL_PROCESS_ATTACH}}));
    HMODULE inner = LoadLibraryW(u"TestLibrary.dll");
    EXPECT_TRUE(FreeLibrary(loader));
    EXPECT_EQ(TakeEvents(), (std::vector<ModuleEvent>{{u"\\windows\\Loader.dll", DLL_PROCESS_DETACH}}));
    EXPECT_TRUE(FreeLibrary(inner));
    EXPECT_EQ(TakeEvents(), (std::vector<ModuleEvent>{{kProgramFolderLibrary, DLL_PROCESS_DETACH}}));
}

TEST_F(ModuleTest, ExportsAreTheLibrarysOwn) {
    HMODULE library = LoadLibraryW(kWindowsLibrary);
    ASSERT_NE(library, nullptr);
    using Answer = int (*)();
    auto answer = reinterpret_cast<Answer>(GetProcAddress(library, "TestLibraryAnswer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(reinterpret_cast<Answer>(GetProcAddressW(library, u"TestLibraryAnswer")), answer);

    struct Missing {
        const char* name;
        DWORD error;
    } missing[] = {
        {"NoSuchExport", ERROR_PROC_NOT_FOUND},
        {"LoadLibraryW", ERROR_PROC_NOT_FOUND}, // exported by a library it depends on, not by it
        {reinterpret_cast<const char*>(static_cast<ULONG_PTR>(1)), ERROR_PROC_NOT_FOUND}, // an ordinal
        {nullptr, ERROR_PROC_NOT_FOUND},
    };
    for (const auto& test : missing) {
        SetLastError(0);
        EXPECT_EQ(GetProcAddress(library, test.name), nullptr);
        EXPECT_EQ(GetLastError(), test.error);
    }
    EXPECT_EQ(GetProcAddressW(library, u"TestLibraryAnswer\u00e9"), nullptr);
    EXPECT_EQ(GetProcAddress(reinterpret_cast<HMODULE>(0x1234), "TestLibraryAnswer"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_TRUE(FreeLibrary(library));
}

TEST_F(ModuleTest, BareNamesAreLookedForInTheProgramFolderThenInWindows) {
    struct Case {
        const char16_t* program;
        const char16_t* name;
        const char16_t* loaded; // nullptr: not found
    } cases[] = {
        {u"\\program files\\test\\App.exe", u"TestLibrary.dll", kProgramFolderLibrary},
        {u"\\Program Files\\TEST\\App.exe", u"TestLibrary", kProgramFolderLibrary},
        {u"\\elsewhere\\App.exe", u"TestLibrary.dll", kWindowsLibrary},
        {u"\\App.exe", u"testlibrary.dll", kWindowsLibrary},
        {u"\\elsewhere\\App.exe", u"\\program files\\test\\TestLibrary.dll", kProgramFolderLibrary},
        {u"\\program files\\test\\App.exe", u"Loader.dll", u"\\windows\\Loader.dll"},
        {u"\\program files\\test\\App.exe", u"Missing.dll", nullptr},
        {u"\\program files\\test\\App.exe", u"\\windows\\Missing.dll", nullptr},
        {u"\\program files\\test\\App.exe", u"\\windows", nullptr}, // a folder
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(std::string(test.name, test.name + std::char_traits<char16_t>::length(test.name)));
        kernel::SetProgramDevicePath(test.program);
        SetLastError(0);
        HMODULE module = LoadLibraryW(test.name);
        if (!test.loaded) {
            EXPECT_EQ(module, nullptr);
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
            continue;
        }
        ASSERT_NE(module, nullptr);
        EXPECT_EQ(ModuleName(module), test.loaded);
        FreeLibrary(module);
    }
    TakeEvents();
}

TEST_F(ModuleTest, FailedLoadsGiveTheirCodes) {
    struct Case {
        const char16_t* name;
        DWORD error;
    } cases[] = {
        {u"NotALibrary.dll", ERROR_BAD_EXE_FORMAT},
        {u"Refusing.dll", ERROR_DLL_INIT_FAILED},
        {u"", ERROR_MOD_NOT_FOUND},
        {nullptr, ERROR_INVALID_PARAMETER},
        {u"\\windows\\bad|name.dll", ERROR_MOD_NOT_FOUND},
    };
    for (const auto& test : cases) {
        SetLastError(0);
        EXPECT_EQ(LoadLibraryW(test.name), nullptr);
        EXPECT_EQ(GetLastError(), test.error);
    }
    // A library that refuses to attach gets its detach call and is not kept.
    EXPECT_EQ(TakeEvents(), (std::vector<ModuleEvent>{{u"\\windows\\Refusing.dll", DLL_PROCESS_ATTACH},
                                                      {u"\\windows\\Refusing.dll", DLL_PROCESS_DETACH}}));
    EXPECT_EQ(GetModuleHandleW(u"Refusing.dll"), nullptr);
}

TEST_F(ModuleTest, ModuleNamesFollowTheBufferRules) {
    EXPECT_EQ(ModuleName(nullptr), u"\\program files\\test\\App.exe");
    EXPECT_EQ(ModuleName(GetModuleHandleW(nullptr)), u"\\program files\\test\\App.exe");
    EXPECT_EQ(kernel::ProgramDevicePath(), u"\\program files\\test\\App.exe");

    WCHAR buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), u'x');
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameW(nullptr, buffer, 8), 8u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::u16string(buffer), u"\\progra");
    EXPECT_EQ(GetModuleFileNameW(nullptr, buffer, 0), 0u);
    EXPECT_EQ(buffer[0], u'\\');
    EXPECT_EQ(GetModuleFileNameW(nullptr, nullptr, 8), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(GetModuleFileNameW(reinterpret_cast<HMODULE>(0x1234), buffer, 8), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_FALSE(DisableThreadLibraryCalls(reinterpret_cast<HMODULE>(0x1234)));

    // Without an override a program outside the object store is named after its host file.
    kernel::SetProgramDevicePath(u"");
    EXPECT_EQ(ModuleName(nullptr), u"\\kernel_system_tests");
}

} // namespace
