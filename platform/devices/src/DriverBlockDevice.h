#pragma once
// The FAT engine's disk over a block driver: its size from IOCTL_DISK_GETINFO, its sectors through
// IOCTL_DISK_READ and IOCTL_DISK_WRITE with scatter/gather requests, sent through the device manager so
// that the driver is called in kernel mode. A run of sectors goes out in as few requests as the request
// format allows. The calls leave the thread's last error as they found it.

#include <memory>

#include "devices/DeviceManager.h"
#include "fat/BlockDevice.h"

namespace devices {

class DriverBlockDevice final : public fat::BlockDevice {
public:
    explicit DriverBlockDevice(std::shared_ptr<Device> device) : m_device(std::move(device)) {}

    // Asks the driver for its disk information; false when it does not answer, has no sectors, or its
    // sectors are not 512 bytes.
    bool Open();

    uint32_t SectorCount() const override { return m_sectors; }
    bool ReadSectors(uint32_t first, uint32_t count, uint8_t* data) override;
    bool WriteSectors(uint32_t first, uint32_t count, const uint8_t* data) override;
    // Nothing is held back on this side; the driver is asked to write what it holds to its storage
    // (IOCTL_DISK_FLUSH_CACHE). A driver that does not know the control has nothing to write.
    bool Flush() override;
    bool IsWriteProtected() const override { return m_writeProtected; }

    void SetWriteProtected(bool on) { m_writeProtected = on; }
    // The driver's error of the last transfer or flush that failed, 0 when none did.
    DWORD LastError() const { return m_lastError; }
    const std::shared_ptr<Device>& GetDevice() const { return m_device; }

private:
    bool Transfer(DWORD code, uint32_t first, uint32_t count, uint8_t* data);

    std::shared_ptr<Device> m_device;
    uint32_t m_sectors = 0;
    bool m_writeProtected = false;
    DWORD m_lastError = 0;
};

} // namespace devices
