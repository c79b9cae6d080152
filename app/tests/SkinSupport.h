#pragma once
// Fixtures of the tests that run the program's dialogs on the installed skin: the skin files of the build
// installed into the test's device root, and the program's own path set so that the dialogs find them.

#include <string>

#include "SkinTestSupport.h"

namespace apptest {

inline constexpr char16_t kProgramPath[] = u"\\program files\\ferrovane\\ferrovane.exe";
inline constexpr char16_t kSkinFolder[] = u"\\program files\\ferrovane\\skin\\";

class InstalledSkinTest : public skintest::SkinTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // Installs every skin file of the build into the device root, into the skin folder beside the
    // installed program or into another.
    static void InstallSkin(const std::u16string& folder = kSkinFolder);
    // Saves the screen as <name>.png in the build's folder of screenshots for review.
    static void SaveReviewShot(const std::string& name);
};

} // namespace apptest
