#include <gtest/gtest.h>

#include <cstdint>
#include <thread>

#include "kernel/Errors.h"
#include "kernel/Threads.h"

namespace {

bool InKernelMode() {
    return (UTlsPtr()[PRETLS_THRDINFO] & UTLS_INKMODE) != 0;
}

TEST(ThreadModeTest, KernelModeIsMarkedPerThreadForAScope) {
    EXPECT_FALSE(InKernelMode());
    {
        kernel::KernelModeScope outer;
        EXPECT_TRUE(InKernelMode());
        {
            kernel::KernelModeScope inner;
            EXPECT_TRUE(InKernelMode());
        }
        EXPECT_TRUE(InKernelMode());
        bool otherThread = true;
        std::thread([&] { otherThread = InKernelMode(); }).join();
        EXPECT_FALSE(otherThread);
    }
    EXPECT_FALSE(InKernelMode());
}

TEST(ThreadModeTest, CallerTrustIsFullUnlessSet) {
    EXPECT_EQ(CeGetCallerTrust(), static_cast<DWORD>(OEM_CERTIFY_TRUST));
    {
        kernel::CallerTrustScope untrusted(OEM_CERTIFY_RUN);
        EXPECT_EQ(CeGetCallerTrust(), static_cast<DWORD>(OEM_CERTIFY_RUN));
        DWORD otherThread = 0;
        std::thread([&] { otherThread = CeGetCallerTrust(); }).join();
        EXPECT_EQ(otherThread, static_cast<DWORD>(OEM_CERTIFY_TRUST));
    }
    kernel::SetProcessCallerTrust(OEM_CERTIFY_FALSE);
    DWORD otherThread = 0;
    std::thread([&] { otherThread = CeGetCallerTrust(); }).join();
    EXPECT_EQ(otherThread, static_cast<DWORD>(OEM_CERTIFY_FALSE));
    {
        kernel::CallerTrustScope trusted(OEM_CERTIFY_TRUST);
        EXPECT_EQ(CeGetCallerTrust(), static_cast<DWORD>(OEM_CERTIFY_TRUST));
    }
    EXPECT_EQ(CeGetCallerTrust(), static_cast<DWORD>(OEM_CERTIFY_FALSE));
    kernel::SetProcessCallerTrust(OEM_CERTIFY_TRUST);
}

TEST(ThreadModeTest, CallerPointersNeedNoMapping) {
    char buffer[32];
    EXPECT_EQ(MapCallerPtr(buffer, sizeof buffer), buffer);
    SetLastError(0);
    EXPECT_EQ(MapCallerPtr(nullptr, 16), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(MapCallerPtr(reinterpret_cast<void*>(UINTPTR_MAX - 8), 16), nullptr); // wraps around
}

} // namespace
