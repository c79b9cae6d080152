// The driver's data path: the disk I/O controls and the sector transfers between the caller's buffers
// and the mapped container file.

#include <cstring>

#include "ContainerDisk.h"
#include "Driver.h"
#include "crt/Crt.h"

namespace {

const WCHAR kDiskName[] = u"Encrypted Folder";
const WCHAR kProfileName[] = u"Ferrovane";

bool CallerMayControl() {
    if (UTlsPtr()[PRETLS_THRDINFO] & UTLS_INKMODE)
        return true;
    return CeGetCallerTrust() == OEM_CERTIFY_TRUST;
}

bool IsReadCode(DWORD code) {
    return code == DISK_IOCTL_READ || code == IOCTL_DISK_READ;
}

DISK_INFO DiskInfoOf(ContainerDisk* disk) {
    kernel::CriticalSectionLock held(disk->lock);
    return disk->diskInfo;
}

// Whether the request's bytes lie inside the mapped file and, for a write, outside the trailer, so no
// transfer can touch memory beyond the view or overwrite the keys, whatever DISK_INFO says.
DWORD CheckRequestBounds(const ContainerDisk* disk, const DISK_INFO& info, DWORD code,
                         const SG_REQ* request) {
    ULONGLONG start = ULONGLONG{request->sr_start} * info.di_bytes_per_sect;
    ULONGLONG total = 0;
    for (DWORD i = 0; i < request->sr_num_sg; ++i)
        total += request->sr_sglist[i].sb_len;
    if (start > disk->size || total > disk->size - start)
        return ERROR_SECTOR_NOT_FOUND;
    ULONGLONG trailerStart = disk->size >= kTrailerSize ? disk->size - kTrailerSize : 0;
    if (!IsReadCode(code) && total > 0 && start + total > trailerStart)
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

} // namespace

// Carries out one read or write request; the outcome is in sr_status. The checks and the position take
// the disk description that holds when the lock is entered.
void TransferSectors(ContainerDisk* disk, DWORD code, SG_REQ* request) {
    if (request->sr_num_sg == 0 || request->sr_num_sg > MAX_SG_BUF) {
        request->sr_status = ERROR_INVALID_PARAMETER;
        return;
    }
    kernel::CriticalSectionLock held(disk->lock);
    const DISK_INFO info = disk->diskInfo;
    if (ULONGLONG{request->sr_start} + request->sr_num_sec > info.di_total_sectors) {
        request->sr_status = ERROR_SECTOR_NOT_FOUND;
        return;
    }
    if (DWORD error = CheckRequestBounds(disk, info, code, request); error != ERROR_SUCCESS) {
        request->sr_status = error;
        return;
    }

    BYTE* position = disk->viewBase + ULONGLONG{request->sr_start} * info.di_bytes_per_sect;
    for (DWORD i = 0; i < request->sr_num_sg; ++i) {
        const SG_BUF& buffer = request->sr_sglist[i];
        if (buffer.sb_len % 16 != 0) {
            request->sr_status = ERROR_ACCESS_DENIED;
            return;
        }
        BYTE* mapped = static_cast<BYTE*>(MapCallerPtr(buffer.sb_buf, buffer.sb_len));
        if (buffer.sb_buf == nullptr || mapped == nullptr) {
            request->sr_status = ERROR_ACCESS_DENIED;
            return;
        }
        if (IsReadCode(code))
            DecryptBlocks(&disk->decryptionSchedule, position, mapped, buffer.sb_len);
        else
            EncryptBlocks(&disk->encryptionSchedule, mapped, position, buffer.sb_len);
        position += buffer.sb_len;
    }
    request->sr_status = ERROR_SUCCESS;
}

BOOL FRV_IOControl(DWORD_PTR openContext, DWORD code, PBYTE in, DWORD inSize, PBYTE out, DWORD outSize,
                   PDWORD /*actualOut*/) {
    if (!CallerMayControl()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    auto* disk = reinterpret_cast<ContainerDisk*>(openContext);
    auto fail = [](DWORD error) {
        SetLastError(error);
        return FALSE;
    };
    if (disk == nullptr)
        return fail(ERROR_INVALID_PARAMETER);

    switch (code) {
    case DISK_IOCTL_GETINFO: { // the old-style code answers in the in buffer
        if (in == nullptr || inSize != sizeof(DISK_INFO))
            return fail(ERROR_INVALID_PARAMETER);
        const DISK_INFO info = DiskInfoOf(disk);
        std::memcpy(in, &info, sizeof(DISK_INFO));
        break;
    }
    case IOCTL_DISK_GETINFO: {
        if (out == nullptr || outSize != sizeof(DISK_INFO))
            return fail(ERROR_INVALID_PARAMETER);
        const DISK_INFO info = DiskInfoOf(disk);
        std::memcpy(out, &info, sizeof(DISK_INFO));
        break;
    }
    case DISK_IOCTL_SETINFO:
    case IOCTL_DISK_SETINFO: {
        if (in == nullptr || inSize != sizeof(DISK_INFO))
            return fail(ERROR_INVALID_PARAMETER);
        kernel::CriticalSectionLock held(disk->lock);
        std::memcpy(&disk->diskInfo, in, sizeof(DISK_INFO));
        break;
    }
    case DISK_IOCTL_READ:
    case IOCTL_DISK_READ:
    case DISK_IOCTL_WRITE:
    case IOCTL_DISK_WRITE: {
        auto* request = reinterpret_cast<SG_REQ*>(in);
        if (request == nullptr || inSize < offsetof(SG_REQ, sr_sglist))
            return fail(ERROR_INVALID_PARAMETER);
        if (inSize < offsetof(SG_REQ, sr_sglist) + ULONGLONG{sizeof(SG_BUF)} * request->sr_num_sg)
            return fail(ERROR_INVALID_PARAMETER);
        TransferSectors(disk, code, request);
        if (request->sr_status != ERROR_SUCCESS)
            return fail(request->sr_status);
        break;
    }
    case DISK_IOCTL_INITIALIZED:
        if (in == nullptr)
            return fail(ERROR_INVALID_PARAMETER);
        break;
    case DISK_IOCTL_FORMAT_MEDIA:
    case IOCTL_DISK_FORMAT_MEDIA:
        break;
    case IOCTL_DISK_FLUSH_CACHE: // what the mapped file holds goes to its storage
        if (!disk->mapping.Flush())
            return fail(GetLastError());
        break;
    case DISK_IOCTL_GETNAME:
    case IOCTL_DISK_GETNAME:
        if (out == nullptr || outSize < sizeof kDiskName)
            return fail(ERROR_INVALID_PARAMETER);
        std::memcpy(out, kDiskName, sizeof kDiskName);
        break;
    case IOCTL_DISK_DEVICE_INFO: {
        if (in == nullptr || inSize != sizeof(STORAGEDEVICEINFO))
            return fail(ERROR_INVALID_PARAMETER);
        auto* info = reinterpret_cast<STORAGEDEVICEINFO*>(in);
        CopyStringW(info->szProfile, PROFILENAMESIZE, kProfileName);
        info->dwDeviceClass = STORAGE_DEVICE_CLASS_BLOCK;
        info->dwDeviceType = STORAGE_DEVICE_TYPE_REMOVABLE_MEDIA;
        info->dwDeviceFlags = STORAGE_DEVICE_FLAG_READWRITE;
        break;
    }
    case IOCTL_DISK_GET_SECTOR_ADDR: {
        // in: 32-bit sector numbers; out: one pointer-sized address per sector.
        if (in == nullptr || out == nullptr || inSize % sizeof(DWORD) != 0 ||
            ULONGLONG{outSize} != ULONGLONG{inSize} / sizeof(DWORD) * sizeof(ULONG_PTR))
            return fail(ERROR_INVALID_PARAMETER);
        DWORD count = inSize / sizeof(DWORD);
        const DISK_INFO info = DiskInfoOf(disk);
        for (DWORD i = 0; i < count; ++i) {
            DWORD sector;
            std::memcpy(&sector, in + i * sizeof(DWORD), sizeof sector);
            ULONGLONG offset = ULONGLONG{sector} * info.di_bytes_per_sect;
            ULONG_PTR address = ~ULONG_PTR{0};
            if (sector < info.di_total_sectors && offset < disk->size)
                address = reinterpret_cast<ULONG_PTR>(disk->viewBase + offset);
            std::memcpy(out + i * sizeof(ULONG_PTR), &address, sizeof address);
        }
        break;
    }
    default:
        return fail(ERROR_INVALID_PARAMETER);
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}
