#include "SkinSupport.h"

#include <filesystem>
#include <fstream>
#include <string>

#include "crt/Utf8.h"
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

void InstalledSkinTest::InstallSkin(const std::u16string& folder) {
    // The manifest's lines: a host file, a tab, its device path.
    std::ifstream manifest(FERROVANE_SKIN_MANIFEST);
    for (std::string line; std::getline(manifest, line);) {
        const size_t tab = line.find('\t');
        ASSERT_NE(tab, std::string::npos);
        const std::filesystem::path host = line.substr(0, tab);
        const std::u16string device = folder + crt::FromUtf8Exact(host.filename().string()).value_or(u"");
        ASSERT_EQ(kernel::InstallDeviceFile(host, device.c_str()), 0u) << line;
    }
}

void InstalledSkinTest::SaveReviewShot(const std::string& name) {
    const std::filesystem::path folder =
        std::filesystem::path(FERROVANE_SKIN_MANIFEST).parent_path() / "review";
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(user::test::SaveScreenshot(folder / (name + ".png")));
}

} // namespace apptest
