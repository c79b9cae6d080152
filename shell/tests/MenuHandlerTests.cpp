// MenuHandler, created through the registry as the shell's New menu creates it.

#include <gtest/gtest.h>

#include <string>

#include "ShellEntryTest.h"
#include "Tallowick.h"
#include "shell/Shell.h"

namespace {

using namespace shell_entry_test;

class MenuHandlerTest : public ShellEntryTest {
protected:
    void SetUp() override {
        ShellEntryTest::SetUp();
        ASSERT_EQ(RunTallowickExport("DllRegisterServer"), S_OK);
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    }
    // The thread's last CoUninitialize frees the server once nothing of it is in use.
    void TearDown() override {
        CoUninitialize();
        EXPECT_EQ(GetModuleHandleW(kTallowickPath), nullptr) << "Tallowick stayed loaded";
        ShellEntryTest::TearDown();
    }
    static HRESULT CanUnloadNow() {
        HMODULE module = GetModuleHandleW(kTallowickPath);
        auto entry =
            module ? reinterpret_cast<LPFNCANUNLOADNOW>(GetProcAddress(module, "DllCanUnloadNow")) : nullptr;
        return entry ? entry() : E_FAIL;
    }
};

TEST_F(MenuHandlerTest, EachCreationSendsTheRunningMainProgramTheNewRequest) {
    StartMainWindowProcess();
    HWND mainWindow = FindWindowW(nullptr, u"Ferrovane");

    IMenuHandler* handler = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_MenuHandler, nullptr, CLSCTX_INPROC_SERVER, IID_IMenuHandler,
                               reinterpret_cast<void**>(&handler)),
              S_OK);
    // The send waited for the answer, so the request is recorded by now.
    StandInRequests got = ReadStandInRequests();
    EXPECT_EQ(got.count, 1u);
    EXPECT_EQ(got.data, 0u);
    EXPECT_EQ(got.size, 0u);
    EXPECT_EQ(got.hasData, 0u);
    EXPECT_EQ(got.toItself, 1u);
    EXPECT_EQ(CanUnloadNow(), S_FALSE);
    EXPECT_EQ(handler->Release(), 0u);
    EXPECT_EQ(CanUnloadNow(), S_OK);

    // A creation that fails for want of the interface asked for has done its work all the same.
    void* none = &none;
    EXPECT_EQ(CoCreateInstance(CLSID_MenuHandler, nullptr, CLSCTX_INPROC_SERVER, IID_IClassFactory, &none),
              E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(ReadStandInRequests().count, 2u);
    EXPECT_EQ(CanUnloadNow(), S_OK);

    EXPECT_EQ(MainProgramStarts(), 0u);
    EXPECT_EQ(FindWindowW(nullptr, u"Ferrovane"), mainWindow);
}

TEST_F(MenuHandlerTest, TheObjectAnswersItsInterfacesAndItsTypeInformation) {
    StartMainWindowProcess();
    IUnknown* unknown = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_MenuHandler, nullptr, CLSCTX_ALL, IID_IUnknown,
                               reinterpret_cast<void**>(&unknown)),
              S_OK);
    IMenuHandler* handler = nullptr;
    IDispatch* dispatch = nullptr;
    ISupportErrorInfo* errorInfo = nullptr;
    ASSERT_EQ(unknown->QueryInterface(IID_IMenuHandler, reinterpret_cast<void**>(&handler)), S_OK);
    ASSERT_EQ(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
    ASSERT_EQ(unknown->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&errorInfo)), S_OK);
    // IMenuHandler and IDispatch are one sub-object, which is also the object's identity.
    EXPECT_EQ(static_cast<void*>(handler), static_cast<void*>(unknown));
    EXPECT_EQ(static_cast<void*>(dispatch), static_cast<void*>(handler));

    struct ErrorInfoCase {
        const char* name;
        const IID* iid;
        HRESULT expected;
    };
    const ErrorInfoCase cases[] = {
        {"IMenuHandler", &IID_IMenuHandler, S_OK},
        {"IDispatch", &IID_IDispatch, S_FALSE},
        {"IUnknown", &IID_IUnknown, S_FALSE},
        {"ISupportErrorInfo", &IID_ISupportErrorInfo, S_FALSE},
    };
    for (const ErrorInfoCase& entry : cases) {
        SCOPED_TRACE(entry.name);
        EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(*entry.iid), entry.expected);
    }

    ITypeInfo* typeInfo = nullptr;
    ASSERT_EQ(dispatch->GetTypeInfo(0, 0, &typeInfo), S_OK);
    BSTR name = nullptr;
    BSTR help = nullptr;
    ASSERT_EQ(typeInfo->GetDocumentation(MEMBERID_NIL, &name, &help, nullptr, nullptr), S_OK);
    EXPECT_EQ(std::u16string(name), u"IMenuHandler");
    EXPECT_EQ(std::u16string(help), u"IMenuHandler Interface");
    SysFreeString(name);
    SysFreeString(help);
    typeInfo->Release();

    errorInfo->Release();
    dispatch->Release();
    handler->Release();
    EXPECT_EQ(unknown->Release(), 0u);
    EXPECT_EQ(CanUnloadNow(), S_OK);
    EXPECT_EQ(ReadStandInRequests().count, 1u);
}

} // namespace
