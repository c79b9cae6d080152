// The FAT engine's disk over a driver: what it asks the driver and how it shapes its requests, checked
// against a device that keeps its sectors in memory and records every request.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "DriverBlockDevice.h"
#include "kernel/Errors.h"

namespace {

class MemoryDevice final : public devices::Device {
public:
    explicit MemoryDevice(uint32_t sectors, DWORD bytesPerSector = 512)
        : m_bytes(size_t{sectors} * 512), m_sectors(sectors), m_bytesPerSector(bytesPerSector) {}

    struct Logged {
        DWORD code;
        DWORD start;
        DWORD sectors;
        std::vector<DWORD> lengths;
    };
    std::vector<Logged> log;
    DWORD failWith = 0; // the next transfer fails with this error

    BOOL IoControl(DWORD code, PBYTE in, DWORD inSize, PBYTE out, DWORD outSize, PDWORD) override {
        SetLastError(ERROR_SUCCESS);
        if (code == IOCTL_DISK_GETINFO) {
            if (out == nullptr || outSize != sizeof(DISK_INFO))
                return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
            DISK_INFO info{m_sectors, m_bytesPerSector, 0, 0, 0, 0};
            std::memcpy(out, &info, sizeof info);
            return TRUE;
        }
        if (code != IOCTL_DISK_READ && code != IOCTL_DISK_WRITE)
            return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
        auto* request = reinterpret_cast<SG_REQ*>(in);
        EXPECT_GE(inSize, offsetof(SG_REQ, sr_sglist) + sizeof(SG_BUF) * request->sr_num_sg);
        Logged entry{code, request->sr_start, request->sr_num_sec, {}};
        size_t at = size_t{request->sr_start} * 512;
        for (DWORD i = 0; i < request->sr_num_sg; ++i) {
            const SG_BUF& buffer = request->sr_sglist[i];
            entry.lengths.push_back(buffer.sb_len);
            if (code == IOCTL_DISK_READ)
                std::memcpy(buffer.sb_buf, m_bytes.data() + at, buffer.sb_len);
            else
                std::memcpy(m_bytes.data() + at, buffer.sb_buf, buffer.sb_len);
            at += buffer.sb_len;
        }
        log.push_back(entry);
        if (failWith != 0) {
            request->sr_status = failWith;
            return kernel::Fail(std::exchange(failWith, 0), FALSE);
        }
        request->sr_status = 0;
        return TRUE;
    }
    const std::u16string& Name() const override { return m_name; }
    const std::u16string& DriverKey() const override { return m_name; }
    const std::u16string& ActiveKeyPath() const override { return m_name; }
    const std::u16string& Profile() const override { return m_name; }

    std::vector<uint8_t> m_bytes;

private:
    DWORD m_sectors;
    DWORD m_bytesPerSector;
    std::u16string m_name = u"MEM1:";
};

TEST(DriverBlockDevice, AsksTheDriverForItsSizeAndRefusesOtherSectorSizes) {
    devices::DriverBlockDevice disk(std::make_shared<MemoryDevice>(100));
    ASSERT_TRUE(disk.Open());
    EXPECT_EQ(disk.SectorCount(), 100u);
    devices::DriverBlockDevice large(std::make_shared<MemoryDevice>(100, 2048));
    EXPECT_FALSE(large.Open());
    devices::DriverBlockDevice empty(std::make_shared<MemoryDevice>(0));
    EXPECT_FALSE(empty.Open());
}

TEST(DriverBlockDevice, MovesARunInOneRequestOfWholeCipherBlocks) {
    auto device = std::make_shared<MemoryDevice>(5000);
    devices::DriverBlockDevice disk(device);
    ASSERT_TRUE(disk.Open());
    std::vector<uint8_t> data(4000 * 512);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7 + i / 512);
    ASSERT_TRUE(disk.WriteSectors(1000, 4000, data.data()));
    std::vector<uint8_t> back(4000 * 512);
    ASSERT_TRUE(disk.ReadSectors(1000, 4000, back.data()));
    EXPECT_EQ(back, data);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), device->m_bytes.begin() + 1000 * 512));
    ASSERT_EQ(device->log.size(), 2u);
    for (const MemoryDevice::Logged& entry : device->log) {
        EXPECT_EQ(entry.start, 1000u);
        EXPECT_EQ(entry.sectors, 4000u);
        ASSERT_GE(entry.lengths.size(), 1u);
        EXPECT_LE(entry.lengths.size(), static_cast<size_t>(MAX_SG_BUF));
        DWORD total = 0;
        for (DWORD length : entry.lengths) {
            EXPECT_EQ(length % 16, 0u);
            total += length;
        }
        EXPECT_EQ(total, 4000u * 512);
    }
    EXPECT_EQ(device->log[0].code, static_cast<DWORD>(IOCTL_DISK_WRITE));
    EXPECT_EQ(device->log[1].code, static_cast<DWORD>(IOCTL_DISK_READ));
}

TEST(DriverBlockDevice, RefusesRunsOffTheDiskAndReportsTheDriversErrorWithoutChangingTheCallers) {
    auto device = std::make_shared<MemoryDevice>(16);
    devices::DriverBlockDevice disk(device);
    ASSERT_TRUE(disk.Open());
    std::vector<uint8_t> data(32 * 512);
    EXPECT_FALSE(disk.ReadSectors(15, 2, data.data()));
    EXPECT_FALSE(disk.ReadSectors(16, 1, data.data()));
    EXPECT_FALSE(disk.ReadSectors(0, 0, data.data()));
    EXPECT_TRUE(device->log.empty());

    SetLastError(4242);
    device->failWith = ERROR_SECTOR_NOT_FOUND;
    EXPECT_FALSE(disk.WriteSectors(0, 1, data.data()));
    EXPECT_EQ(disk.LastError(), static_cast<DWORD>(ERROR_SECTOR_NOT_FOUND));
    EXPECT_TRUE(disk.ReadSectors(0, 16, data.data()));
    EXPECT_EQ(GetLastError(), 4242u);

    disk.SetWriteProtected(true);
    EXPECT_TRUE(disk.IsWriteProtected());
    EXPECT_FALSE(disk.WriteSectors(0, 1, data.data()));
    EXPECT_EQ(device->log.size(), 2u);
}

} // namespace
