#include <atomic>
#include <random>
#include <thread>

#include "DriverTestSupport.h"
#include "OpenSslReference.h"

namespace drivertest {
namespace {

constexpr DWORD kSectors = 16;

class DiskControlTest : public DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        m_record = MakeRecord(u"\\My Documents\\disk.fvc", u"disk password", u"Disk", kSectors * 512);
        m_disk = m_init(u"Drivers\\Active\\01", &m_record);
        ASSERT_NE(m_disk, 0u);
        DerivePasswordKey(m_record.password, kContainerTextUnits, m_key);
    }
    void TearDown() override {
        if (m_disk != 0)
            m_deinit(m_disk);
        DriverTest::TearDown();
    }

    std::vector<uint8_t> ReadDisk(DWORD start, DWORD sectors) {
        std::vector<uint8_t> bytes(sectors * 512);
        Request request(start, sectors, {{bytes.data(), static_cast<DWORD>(bytes.size())}});
        EXPECT_TRUE(Transfer(m_disk, IOCTL_DISK_READ, request));
        return bytes;
    }
    // The stored bytes, straight from the container file (the mapping is shared with it).
    std::vector<uint8_t> Stored(size_t offset, size_t length) {
        std::vector<uint8_t> file = ReadHostFile(u"\\My Documents\\disk.fvc");
        return std::vector<uint8_t>(file.begin() + offset, file.begin() + offset + length);
    }

    CONTAINER_PARAMS m_record;
    DWORD_PTR m_disk = 0;
    uint8_t m_key[16];
};

struct ControlCase {
    const char* name;
    DWORD code;
    int inSize;  // -1: no in buffer
    int outSize; // -1: no out buffer
    BOOL result;
    DWORD error;
};

TEST_F(DiskControlTest, EveryControlCodeChecksItsArguments) {
    const ControlCase cases[] = {
        {"old getinfo", DISK_IOCTL_GETINFO, 24, -1, TRUE, 0},
        {"old getinfo short", DISK_IOCTL_GETINFO, 23, -1, FALSE, 87},
        {"old getinfo no in", DISK_IOCTL_GETINFO, -1, 24, FALSE, 87},
        {"getinfo", IOCTL_DISK_GETINFO, -1, 24, TRUE, 0},
        {"getinfo long", IOCTL_DISK_GETINFO, -1, 25, FALSE, 87},
        {"getinfo no out", IOCTL_DISK_GETINFO, 24, -1, FALSE, 87},
        {"old setinfo", DISK_IOCTL_SETINFO, 24, -1, TRUE, 0},
        {"setinfo", IOCTL_DISK_SETINFO, 24, -1, TRUE, 0},
        {"setinfo short", IOCTL_DISK_SETINFO, 23, -1, FALSE, 87},
        {"setinfo no in", IOCTL_DISK_SETINFO, -1, 24, FALSE, 87},
        {"old initialized", DISK_IOCTL_INITIALIZED, 8, -1, TRUE, 0},
        {"old initialized no in", DISK_IOCTL_INITIALIZED, -1, -1, FALSE, 87},
        {"new initialized is unknown", IOCTL_DISK_INITIALIZED, 8, -1, FALSE, 87},
        {"old format", DISK_IOCTL_FORMAT_MEDIA, -1, -1, TRUE, 0},
        {"format", IOCTL_DISK_FORMAT_MEDIA, -1, -1, TRUE, 0},
        {"old getname", DISK_IOCTL_GETNAME, -1, 34, TRUE, 0},
        {"getname", IOCTL_DISK_GETNAME, -1, 64, TRUE, 0},
        {"getname short", IOCTL_DISK_GETNAME, -1, 33, FALSE, 87},
        {"getname no out", IOCTL_DISK_GETNAME, 34, -1, FALSE, 87},
        {"device info", IOCTL_DISK_DEVICE_INFO, 80, -1, TRUE, 0},
        {"device info short", IOCTL_DISK_DEVICE_INFO, 79, -1, FALSE, 87},
        {"sector addresses", IOCTL_DISK_GET_SECTOR_ADDR, 8, 16, TRUE, 0},
        {"sector addresses sizes differ", IOCTL_DISK_GET_SECTOR_ADDR, 8, 8, FALSE, 87},
        {"sector addresses no out", IOCTL_DISK_GET_SECTOR_ADDR, 8, -1, FALSE, 87},
        {"read no request", IOCTL_DISK_READ, -1, -1, FALSE, 87},
        {"write request header cut", IOCTL_DISK_WRITE, 19, -1, FALSE, 87},
        {"code 0", 0, 24, 24, FALSE, 87},
        {"code 7", 7, 24, 24, FALSE, 87},
        {"code 8", 8, 24, 24, FALSE, 87},
        {"flush", IOCTL_DISK_FLUSH_CACHE, -1, -1, TRUE, 0},
        {"code 0x71C4C", 0x71C4C, 24, 24, FALSE, 87},
    };
    for (const ControlCase& c : cases) {
        SCOPED_TRACE(c.name);
        alignas(8) uint8_t in[128] = {};
        alignas(8) uint8_t out[128] = {};
        DISK_INFO info{};
        Control(m_disk, IOCTL_DISK_GETINFO, nullptr, 0, &info, sizeof info);
        std::memcpy(in, &info, sizeof info); // SETINFO cases put back what is there
        SetLastError(12345);
        BOOL result = Control(m_disk, c.code, c.inSize < 0 ? nullptr : in, c.inSize < 0 ? 24 : c.inSize,
                              c.outSize < 0 ? nullptr : out, c.outSize < 0 ? 24 : c.outSize);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(GetLastError(), c.error);
    }
}

TEST_F(DiskControlTest, InformationCodesAnswerWithTheDisk) {
    DISK_INFO info{};
    ASSERT_TRUE(Control(m_disk, DISK_IOCTL_GETINFO, &info, sizeof info, nullptr, 0));
    EXPECT_EQ(info.di_total_sectors, kSectors);
    EXPECT_EQ(info.di_bytes_per_sect, 512u);

    WCHAR name[32];
    ASSERT_TRUE(Control(m_disk, IOCTL_DISK_GETNAME, nullptr, 0, name, 34));
    EXPECT_EQ(std::u16string(name), u"Encrypted Folder");

    STORAGEDEVICEINFO device{};
    ASSERT_TRUE(Control(m_disk, IOCTL_DISK_DEVICE_INFO, &device, sizeof device, nullptr, 0));
    EXPECT_EQ(std::u16string(device.szProfile), u"Ferrovane");
    EXPECT_EQ(device.dwDeviceClass, 1u);
    EXPECT_EQ(device.dwDeviceType, 0x80000000u);
    EXPECT_EQ(device.dwDeviceFlags, 1u);
}

TEST_F(DiskControlTest, UntrustedCallersAreRefusedEveryCodeUnlessInKernelMode) {
    const DWORD codes[] = {DISK_IOCTL_GETINFO,
                           IOCTL_DISK_GETINFO,
                           IOCTL_DISK_READ,
                           IOCTL_DISK_WRITE,
                           DISK_IOCTL_INITIALIZED,
                           IOCTL_DISK_GETNAME,
                           IOCTL_DISK_DEVICE_INFO,
                           IOCTL_DISK_FLUSH_CACHE,
                           0,
                           0x12345};
    std::thread untrusted([&] {
        kernel::CallerTrustScope trust(OEM_CERTIFY_RUN);
        for (DWORD code : codes) {
            uint8_t buffer[128] = {};
            SetLastError(0);
            EXPECT_FALSE(Control(m_disk, code, buffer, sizeof buffer, buffer, sizeof buffer)) << code;
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << code;
        }
        kernel::KernelModeScope kernelMode;
        DISK_INFO info{};
        EXPECT_TRUE(Control(m_disk, IOCTL_DISK_GETINFO, nullptr, 0, &info, sizeof info));
    });
    untrusted.join();
}

TEST_F(DiskControlTest, BufferCountAndSectorRangeAreChecked) {
    std::vector<uint8_t> data(512 * 9);
    std::vector<std::pair<PBYTE, DWORD>> nine;
    for (int i = 0; i < 9; ++i)
        nine.push_back({data.data() + 512 * i, 512});
    struct Case {
        const char* name;
        DWORD start;
        DWORD sectors;
        std::vector<std::pair<PBYTE, DWORD>> buffers;
        DWORD error;
    };
    const Case cases[] = {
        {"no buffers", 0, 1, {}, 87},
        {"nine buffers", 0, 9, nine, 87},
        {"eight buffers", 0, 8, {nine.begin(), nine.begin() + 8}, 0},
        {"ends at the last sector", kSectors - 1, 1, {{data.data(), 512}}, 0},
        {"one past the end", kSectors - 1, 2, {{data.data(), 512}}, 27},
        {"wraps around 32 bits", 0xFFFFFFFF, 2, {{data.data(), 512}}, 27},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (DWORD code : {IOCTL_DISK_READ, DISK_IOCTL_READ}) {
            Request request(c.start, c.sectors, c.buffers);
            EXPECT_EQ(Transfer(m_disk, code, request), c.error == 0);
            EXPECT_EQ(request.Get()->sr_status, c.error);
            EXPECT_EQ(GetLastError(), c.error);
        }
    }
}

TEST_F(DiskControlTest, StoredBlocksAreAesOfTheDataAndReadsGiveItBack) {
    std::mt19937 rng(11);
    std::vector<uint8_t> data(1536);
    for (auto& b : data)
        b = static_cast<uint8_t>(rng());
    // Buffers take consecutive bytes and may end inside a sector.
    Request write(2, 3, {{data.data(), 512}, {data.data() + 512, 496}, {data.data() + 1008, 528}});
    ASSERT_TRUE(Transfer(m_disk, DISK_IOCTL_WRITE, write));
    EXPECT_EQ(Stored(2 * 512, data.size()), reference::AesEcb(m_key, data, true));

    std::vector<uint8_t> back(1536);
    Request read(2, 3, {{back.data(), 1040}, {back.data() + 1040, 496}});
    ASSERT_TRUE(Transfer(m_disk, IOCTL_DISK_READ, read));
    EXPECT_EQ(back, data);
}

TEST_F(DiskControlTest, BadBufferAfterAGoodOneKeepsTheFirstTransferAndFreesTheLock) {
    std::vector<uint8_t> first(512, 0xAB), second(16, 0xCD);
    for (PBYTE bad : {second.data(), static_cast<PBYTE>(nullptr)}) {
        DWORD badLength = bad ? 8 : 16;
        Request request(4, 2, {{first.data(), 512}, {bad, badLength}});
        EXPECT_FALSE(Transfer(m_disk, IOCTL_DISK_WRITE, request));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        EXPECT_EQ(ReadDisk(4, 1), first); // a later request is served: the lock was left
        std::fill(first.begin(), first.end(), 0x12);
    }
}

TEST_F(DiskControlTest, WritesNeverReachTheTrailerOrBeyondTheFile) {
    const DWORD size = kSectors * 512;
    std::vector<uint8_t> before = Stored(0, size);
    std::vector<uint8_t> sector(512, 0x3C);

    Request lastSector(kSectors - 1, 1, {{sector.data(), 512}});
    EXPECT_FALSE(Transfer(m_disk, IOCTL_DISK_WRITE, lastSector));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(Transfer(m_disk, IOCTL_DISK_READ, lastSector)); // reading the trailer is fine

    // Up to the trailer's first byte is allowed.
    Request beforeTrailer(kSectors - 1, 1, {{sector.data(), 512 - kTrailerSize}});
    EXPECT_TRUE(Transfer(m_disk, IOCTL_DISK_WRITE, beforeTrailer));
    std::vector<uint8_t> after = Stored(0, size);
    EXPECT_TRUE(std::equal(after.end() - kTrailerSize, after.end(), before.end() - kTrailerSize));

    // A replaced disk description cannot move a transfer outside the mapped file.
    DISK_INFO info{};
    Control(m_disk, IOCTL_DISK_GETINFO, nullptr, 0, &info, sizeof info);
    DISK_INFO wide = info;
    wide.di_total_sectors = 1000000;
    wide.di_bytes_per_sect = 4096;
    ASSERT_TRUE(Control(m_disk, IOCTL_DISK_SETINFO, &wide, sizeof wide, nullptr, 0));
    std::vector<uint8_t> big(4096);
    for (DWORD code : {IOCTL_DISK_READ, IOCTL_DISK_WRITE}) {
        Request far(100, 1, {{big.data(), 4096}});
        EXPECT_FALSE(Transfer(m_disk, code, far));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SECTOR_NOT_FOUND));
    }
    // Long buffers under the true sector count are refused the same way.
    ASSERT_TRUE(Control(m_disk, IOCTL_DISK_SETINFO, &info, sizeof info, nullptr, 0));
    std::vector<uint8_t> tooLong(size + 512);
    Request overlong(0, 1, {{tooLong.data(), static_cast<DWORD>(tooLong.size())}});
    EXPECT_FALSE(Transfer(m_disk, IOCTL_DISK_READ, overlong));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SECTOR_NOT_FOUND));
}

TEST_F(DiskControlTest, ADescriptionReplacedDuringTransfersNeverTakesThemOutOfTheFileOrOntoTheTrailer) {
    DISK_INFO info{};
    ASSERT_TRUE(Control(m_disk, IOCTL_DISK_GETINFO, nullptr, 0, &info, sizeof info));
    const size_t trailerAt = kSectors * 512 - kTrailerSize;
    const std::vector<uint8_t> trailer = Stored(trailerAt, kTrailerSize);
    struct Case {
        const char* name;
        DWORD code;
        DWORD bytesPerSector; // of the description switched in and out while the last sector is moved
        DWORD refusal;        // the only failure a request may meet, whichever description it sees
    };
    // Smaller sectors put a write of the last sector clear of the trailer; huge ones put a read of it far
    // beyond the file. A request must keep to one description from its checks to its transfer.
    const Case cases[] = {
        {"write", IOCTL_DISK_WRITE, 256, ERROR_ACCESS_DENIED},
        {"read", IOCTL_DISK_READ, 0x01000000, ERROR_SECTOR_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DISK_INFO other = info;
        other.di_bytes_per_sect = c.bytesPerSector;
        std::atomic<bool> done{false};
        std::thread switcher([&] {
            for (unsigned i = 0; !done; ++i) {
                DISK_INFO next = i % 2 ? info : other;
                Control(m_disk, IOCTL_DISK_SETINFO, &next, sizeof next, nullptr, 0);
            }
        });
        std::vector<uint8_t> sector(512, 0x5A);
        int unexpected = 0;
        for (int i = 0; i < 20000; ++i) {
            Request last(kSectors - 1, 1, {{sector.data(), 512}});
            if (!Transfer(m_disk, c.code, last) && GetLastError() != c.refusal)
                ++unexpected;
        }
        done = true;
        switcher.join();
        ASSERT_TRUE(Control(m_disk, IOCTL_DISK_SETINFO, &info, sizeof info, nullptr, 0));
        EXPECT_EQ(unexpected, 0);
        EXPECT_EQ(Stored(trailerAt, kTrailerSize), trailer) << "a write reached the trailer";
    }
}

TEST_F(DiskControlTest, SectorAddressesPointAtTheStoredSectors) {
    std::vector<uint8_t> sector(512, 0x42);
    Request write(3, 1, {{sector.data(), 512}});
    ASSERT_TRUE(Transfer(m_disk, IOCTL_DISK_WRITE, write));
    DWORD sectors[3] = {3, kSectors, 0};
    ULONG_PTR addresses[3] = {};
    ASSERT_TRUE(
        Control(m_disk, IOCTL_DISK_GET_SECTOR_ADDR, sectors, sizeof sectors, addresses, sizeof addresses));
    EXPECT_EQ(addresses[1], ~ULONG_PTR{0});
    EXPECT_EQ(addresses[0] - addresses[2], 3u * 512);
    std::vector<uint8_t> stored(reinterpret_cast<uint8_t*>(addresses[0]),
                                reinterpret_cast<uint8_t*>(addresses[0]) + 512);
    EXPECT_EQ(stored, reference::AesEcb(m_key, sector, true));
}

TEST_F(DiskControlTest, FlushingTheCacheWritesTheViewAndTheFileToStorage) {
    std::vector<uint8_t> sector(512, 0x5A);
    Request write(3, 1, {{sector.data(), 512}});
    ASSERT_TRUE(Transfer(m_disk, IOCTL_DISK_WRITE, write));
    const size_t views = kernel::ViewFlushCount();
    const size_t files = kernel::HostFileFlushCount();
    SetLastError(12345);
    ASSERT_TRUE(Control(m_disk, IOCTL_DISK_FLUSH_CACHE, nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(kernel::ViewFlushCount(), views + 1);
    EXPECT_EQ(kernel::HostFileFlushCount(), files + 1);
    EXPECT_EQ(ReadDisk(3, 1), sector);
}

TEST_F(DiskControlTest, ConcurrentRequestsBehaveAsIfSerialised) {
    // Writers fill sectors 0-7 as one request each with a single value; readers must never see a mix,
    // and every thread's own sectors end as its last write left them.
    std::vector<uint8_t> initial(4096, 0xEE); // the fresh disk holds no uniform plaintext yet
    Request first(0, 8, {{initial.data(), 4096}});
    ASSERT_TRUE(Transfer(m_disk, IOCTL_DISK_WRITE, first));
    std::atomic<bool> torn{false};
    std::vector<std::thread> threads;
    std::vector<std::vector<uint8_t>> lastOwn(4);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            std::vector<uint8_t> shared(4096), own(512);
            for (int round = 0; round < 200; ++round) {
                std::fill(shared.begin(), shared.end(), static_cast<uint8_t>(t * 50 + round % 50));
                Request write(0, 8, {{shared.data(), 4096}});
                EXPECT_TRUE(Transfer(m_disk, IOCTL_DISK_WRITE, write));
                std::fill(own.begin(), own.end(), static_cast<uint8_t>(round));
                Request mine(8 + t, 1, {{own.data(), 512}});
                EXPECT_TRUE(Transfer(m_disk, IOCTL_DISK_WRITE, mine));
            }
            lastOwn[t] = own;
        });
        threads.emplace_back([&] {
            std::vector<uint8_t> seen(4096);
            for (int round = 0; round < 200; ++round) {
                Request read(0, 8, {{seen.data(), 4096}});
                EXPECT_TRUE(Transfer(m_disk, IOCTL_DISK_READ, read));
                if (std::count(seen.begin(), seen.end(), seen[0]) != 4096)
                    torn = true;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_FALSE(torn);
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(ReadDisk(8 + t, 1), lastOwn[t]);
}

} // namespace
} // namespace drivertest
