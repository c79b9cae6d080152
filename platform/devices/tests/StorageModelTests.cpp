// Thousands of random file calls under a mounted container, checked against an in-memory model of the
// tree, with the container deactivated and opened again through the device manager in between; fsck.fat
// has the last word on the decrypted volume.

#include "ApiModel.h"
#include "StorageTestSupport.h"

namespace storagetest {
namespace {

constexpr uint32_t kMiB = 1024 * 1024;
constexpr char16_t kPath[] = u"\\My Documents\\model.fvc";
constexpr char16_t kPassword[] = u"model";

class RandomFileCalls : public StorageTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(RandomFileCalls, AgreeWithTheModelAcrossDeactivationsAndLeaveACleanVolume) {
    ASSERT_NO_FATAL_FAILURE(CreateContainer(kPath, kPassword, u"Encrypted", GetParam()));
    const DataKey key = KeyOf(kPassword);
    const VolumeGeometry geometry = GeometryOf(Host(kPath), key);
    Activation opened = Open(kPath, kPassword);
    ApiWorkload workload(opened.folder, GetParam() / kMiB, geometry.bytesPerCluster);
    constexpr int kSteps = 3000;
    constexpr int kStepsPerMount = 300;
    std::string failure;
    for (int step = 1; step <= kSteps; ++step) {
        ASSERT_TRUE(workload.Step(failure)) << "step " << step << ": " << failure;
        if (step % kStepsPerMount != 0)
            continue;
        ULARGE_INTEGER before{}, after{};
        ASSERT_TRUE(GetDiskFreeSpaceExW(opened.folder.c_str(), nullptr, nullptr, &before));
        ASSERT_TRUE(Deactivate(opened));
        opened = Open(kPath, kPassword);
        ASSERT_EQ(opened.folder, u"\\Encrypted");
        ASSERT_TRUE(GetDiskFreeSpaceExW(opened.folder.c_str(), nullptr, nullptr, &after));
        EXPECT_EQ(after.QuadPart, before.QuadPart) << "step " << step;
        ASSERT_TRUE(workload.Verify(failure)) << "after step " << step << ": " << failure;
    }
    ASSERT_TRUE(Deactivate(opened));
    fat::test::TempDir dir;
    DecryptContainer(Host(kPath), key, dir / "plain.img");
    fat::test::ToolResult fsck = fat::test::CheckVolume(dir / "plain.img", geometry.location);
    EXPECT_EQ(fsck.exitCode, 0) << fsck.output;
}

INSTANTIATE_TEST_SUITE_P(Sizes, RandomFileCalls, ::testing::Values(1 * kMiB, 32 * kMiB),
                         [](const auto& info) { return std::to_string(info.param / kMiB) + "MiB"; });

} // namespace
} // namespace storagetest
