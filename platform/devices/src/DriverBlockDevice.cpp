#include "DriverBlockDevice.h"

#include <cstddef>
#include <new>

#include "kernel/Errors.h"

namespace devices {
namespace {

// The largest buffer a request can describe: its length is a 32-bit count, kept to whole sectors.
constexpr uint32_t kMaxBufferSectors = 0xFFFFFFFFu / fat::kSectorSize;
constexpr size_t kRequestBytes = offsetof(SG_REQ, sr_sglist) + sizeof(SG_BUF) * MAX_SG_BUF;

// Restores the thread's last error when a driver call is done with it.
class LastErrorKeeper {
public:
    LastErrorKeeper() : m_saved(GetLastError()) {}
    ~LastErrorKeeper() { SetLastError(m_saved); }
    LastErrorKeeper(const LastErrorKeeper&) = delete;
    LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;

private:
    DWORD m_saved;
};

} // namespace

bool DriverBlockDevice::Open() {
    LastErrorKeeper keeper;
    DISK_INFO info{};
    if (!m_device->IoControl(IOCTL_DISK_GETINFO, nullptr, 0, reinterpret_cast<PBYTE>(&info), sizeof info,
                             nullptr))
        return false;
    if (info.di_bytes_per_sect != fat::kSectorSize || info.di_total_sectors == 0)
        return false;
    m_sectors = info.di_total_sectors;
    return true;
}

bool DriverBlockDevice::ReadSectors(uint32_t first, uint32_t count, uint8_t* data) {
    return Transfer(IOCTL_DISK_READ, first, count, data);
}

bool DriverBlockDevice::WriteSectors(uint32_t first, uint32_t count, const uint8_t* data) {
    if (m_writeProtected)
        return false;
    // The driver only reads the buffers of a write request.
    return Transfer(IOCTL_DISK_WRITE, first, count, const_cast<uint8_t*>(data));
}

bool DriverBlockDevice::Flush() {
    LastErrorKeeper keeper;
    if (m_device->IoControl(IOCTL_DISK_FLUSH_CACHE, nullptr, 0, nullptr, 0, nullptr))
        return true;
    const DWORD error = GetLastError();
    if (error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED)
        return true;
    m_lastError = error;
    return false;
}

bool DriverBlockDevice::Transfer(DWORD code, uint32_t first, uint32_t count, uint8_t* data) {
    if (count == 0 || first >= m_sectors || count > m_sectors - first || data == nullptr)
        return false;
    LastErrorKeeper keeper;
    alignas(SG_REQ) unsigned char storage[kRequestBytes];
    while (count > 0) {
        SG_REQ* request = new (storage) SG_REQ{};
        request->sr_start = first;
        DWORD buffers = 0;
        uint32_t sectors = 0;
        while (buffers < MAX_SG_BUF && sectors < count) {
            uint32_t part = count - sectors < kMaxBufferSectors ? count - sectors : kMaxBufferSectors;
            request->sr_sglist[buffers].sb_buf = data + static_cast<size_t>(sectors) * fat::kSectorSize;
            request->sr_sglist[buffers].sb_len = part * fat::kSectorSize;
            sectors += part;
            ++buffers;
        }
        request->sr_num_sec = sectors;
        request->sr_num_sg = buffers;
        const DWORD size = static_cast<DWORD>(offsetof(SG_REQ, sr_sglist) + sizeof(SG_BUF) * buffers);
        if (!m_device->IoControl(code, storage, size, nullptr, 0, nullptr)) {
            m_lastError = GetLastError();
            return false;
        }
        first += sectors;
        count -= sectors;
        data += static_cast<size_t>(sectors) * fat::kSectorSize;
    }
    return true;
}

} // namespace devices
