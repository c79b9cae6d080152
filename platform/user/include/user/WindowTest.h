#pragma once
// A GoogleTest fixture for tests that drive windows: a fresh device root, the virtual clock, a reset
// window system on a screen of ScreenSize() (240 x 320 unless a test overrides it), and every modal loop
// that no scripted answer expects reported as a test failure with its title and text. At the end it
// checks that every scripted answer was used and that no GDI object or DC was left behind. Link
// platform_user and platform_testing.

#include <gtest/gtest.h>

#include <string>

#include "gdi/Surface.h"
#include "testing/DeviceRootTest.h"
#include "user/TestSurface.h"

namespace user::test {

// The colour as the screen's 16-bit pixels give it back: 5, 6 and 5 bits widened to 8 again.
inline COLORREF OnScreen(COLORREF color) {
    auto widen = [](unsigned value, int bits) {
        unsigned kept = value >> (8 - bits);
        return (kept << (8 - bits)) | (kept >> (2 * bits - 8));
    };
    return RGB(widen(GetRValue(color), 5), widen(GetGValue(color), 6), widen(GetBValue(color), 5));
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseVirtualClock();
        ResetWindowSystem(ScreenSize());
        SetFailureHandler([](const std::string& text) { ADD_FAILURE() << text; });
        RunUntilIdle();
        m_objectsAtStart = gdi::OpenObjectCount();
    }
    void TearDown() override {
        EXPECT_EQ(PendingAnswers(), 0u) << "a scripted answer was never used";
        ResetWindowSystem(ScreenSize());
        RunUntilIdle();
        EXPECT_EQ(gdi::OpenObjectCount(), m_objectsAtStart) << "a GDI object or DC was left behind";
    }
    virtual SIZE ScreenSize() const { return SIZE{240, 320}; }

    testing_support::TemporaryDeviceRoot m_root;
    size_t m_objectsAtStart = 0;
};

} // namespace user::test
