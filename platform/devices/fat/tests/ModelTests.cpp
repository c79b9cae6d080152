// Thousands of random operations checked against an in-memory model of the tree, with remounts in
// between, on each FAT type; fsck.fat has the last word.

#include <gtest/gtest.h>

#include "Model.h"

namespace fat::test {
namespace {

constexpr uint64_t kMiB = 1024 * 1024;

class FatRandomOperations : public ::testing::TestWithParam<uint64_t> {};

TEST_P(FatRandomOperations, AgreeWithTheModelAcrossRemountsAndLeaveACleanVolume) {
    TestClock clock;
    MountedImage image(GetParam(), clock);
    FatVolumeInfo info;
    ASSERT_EQ(image.Volume().GetVolumeInfo(info), FatResult::Ok);
    Workload workload(image.Volume(), static_cast<uint32_t>(GetParam() / kMiB), info.bytesPerCluster,
                      info.totalClusters);
    constexpr int kSteps = 3000;
    constexpr int kStepsPerMount = 300;
    std::string failure;
    for (int step = 1; step <= kSteps; ++step) {
        // Time passes, now and then across midnight.
        clock.now.second = static_cast<uint8_t>((clock.now.second + 7) % 60);
        if (step % 500 == 0)
            clock.now.day = static_cast<uint8_t>(clock.now.day % 28 + 1);
        ASSERT_TRUE(workload.Step(failure)) << "step " << step << ": " << failure;
        if (step % kStepsPerMount == 0) {
            FatVolumeInfo before;
            image.Volume().GetVolumeInfo(before);
            image.Remount();
            FatVolumeInfo after;
            image.Volume().GetVolumeInfo(after);
            EXPECT_EQ(after.freeClusters, before.freeClusters) << "step " << step;
            ASSERT_TRUE(workload.Verify(failure)) << "after step " << step << ": " << failure;
        }
    }
    image.Unmount();
    ToolResult fsck = CheckVolume(image.Image(), image.Where());
    EXPECT_EQ(fsck.exitCode, 0) << fsck.output;
}

INSTANTIATE_TEST_SUITE_P(Types, FatRandomOperations, ::testing::Values(1 * kMiB, 32 * kMiB, 600 * kMiB),
                         [](const auto& info) { return std::to_string(info.param / kMiB) + "MiB"; });

} // namespace
} // namespace fat::test
