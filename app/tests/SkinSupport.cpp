#include "SkinSupport.h"

#include <filesystem>

#include "kernel/Install.h"
#include "kernel/Modules.h"
#include "user/TestSurface.h"

namespace apptest {

void InstalledSkinTest::SetUp() {
    SkinTest::SetUp();
    kernel::SetProgramDevicePath(kProgramPath);
}

void InstalledSkinTest::TearDown() {
    kernel::SetProgramDevicePath({});
    SkinTest::TearDown();
}

void InstalledSkinTest::InstallSkin() {
    ASSERT_EQ(kernel::InstallDeviceManifest(FERROVANE_SKIN_MANIFEST), 0u);
}

void InstalledSkinTest::SaveReviewShot(const std::string& name) {
    const std::filesystem::path folder =
        std::filesystem::path(FERROVANE_SKIN_MANIFEST).parent_path() / "review";
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(user::test::SaveScreenshot(folder / (name + ".png")));
}

} // namespace apptest
