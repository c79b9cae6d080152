// Activation and deactivation of one container: create or open the file, unwrap the key, check the
// password, map the file; and write it all back at the end.

#include <cstring>
#include <memory>
#include <new>

#include "ContainerDisk.h"
#include "Driver.h"
#include "Registration.h"
#include "crt/Crt.h"

namespace {

void SetOutcome(CONTAINER_PARAMS* record, int32_t status, DWORD lastError) {
    record->status = status;
    record->lastError = lastError;
}

std::u16string FieldText(const char16_t* field) {
    return std::u16string(field, wcsnlen(field, kContainerTextUnits));
}

void BuildSchedules(ContainerDisk* disk, const BYTE key[16]) {
    AesSetEncryptKey128(key, &disk->encryptionSchedule);
    AesSetDecryptKey128(key, &disk->decryptionSchedule);
}

} // namespace

DWORD_PTR FRV_Init(LPCWSTR activeKeyPath, LPVOID activationParameter) {
    auto* record = static_cast<CONTAINER_PARAMS*>(activationParameter);
    if (record == nullptr)
        return 0;

    // The storage manager names the new disk's mount folder after this value.
    std::u16string folder = FieldText(record->folderName);
    WriteRegString(HKEY_LOCAL_MACHINE, kProfileKey, u"Folder", folder.c_str());

    bool create = record->size != 0;
    // Every refusal below lets the disk go with what it opened; only a mount that succeeds keeps it.
    std::unique_ptr<ContainerDisk> disk(new (std::nothrow) ContainerDisk);
    if (disk == nullptr) {
        SetOutcome(record, create ? MOUNT_CREATE_FAILED : MOUNT_OPEN_FAILED, ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    disk->activeKeyPath = activeKeyPath != nullptr ? activeKeyPath : u"";
    disk->size = record->size;
    disk->containerPath = FieldText(record->containerPath);
    disk->folderName = folder;
    disk->createFlag = create;
    const WCHAR* path = disk->containerPath.c_str();

    if (!create) {
        if (!FileExists(path)) {
            SetOutcome(record, MOUNT_FILE_MISSING, 0);
            return 0;
        }
        ULONGLONG fileSize = 0;
        if (!GetFileSizeByName(path, &fileSize)) {
            DWORD error = GetLastError();
            SetOutcome(record, MOUNT_SIZE_FAILED, error);
            return 0;
        }
        disk->size = static_cast<DWORD>(fileSize);
    } else {
        // Rounding up must stay within the 32-bit field.
        if (disk->size > kMaxContainerSize) {
            SetOutcome(record, MOUNT_CREATE_FAILED, ERROR_INVALID_PARAMETER);
            return 0;
        }
        if (disk->size % kContainerSectorSize != 0)
            disk->size = (disk->size / kContainerSectorSize + 1) * kContainerSectorSize;
    }
    record->size = disk->size;

    BYTE passwordKey[16];
    DerivePasswordKey(record->password, kContainerTextUnits, passwordKey);
    BuildSchedules(disk.get(), passwordKey);

    disk->diskInfo.di_bytes_per_sect = kContainerSectorSize;
    disk->diskInfo.di_total_sectors = disk->size / kContainerSectorSize;
    disk->diskInfo.di_cylinders = 0;
    disk->diskInfo.di_heads = 0;
    disk->diskInfo.di_sectors = 0;
    disk->diskInfo.di_flags = DISK_INFO_FLAG_CHS_UNCERTAIN | DISK_INFO_FLAG_PAGEABLE;

    if (create) {
        // A new container has no trailer yet: its data key is the password key, and nothing is checked.
        if (!disk->file.CreateNew(path, 2, true)) {
            DWORD error = GetLastError();
            SetOutcome(record, MOUNT_CREATE_FAILED, error);
            ShowDriverMessage(u"Can't create file!", u"Driver");
            return 0;
        }
    } else {
        if (!disk->file.OpenExisting(path, 0, true)) {
            DWORD error = GetLastError();
            SetOutcome(record, MOUNT_OPEN_FAILED, error);
            ShowDriverMessage(u"Can't open the file!", u"Driver");
            return 0;
        }
        // An unreadable key block leaves zeros here; the password check below then refuses the mount.
        BYTE keyBlock[kKeyBlockSize] = {};
        BYTE nameBlock[kNameBlockSize];
        if (!ReadKeyBlock(disk->file, keyBlock)) {
            std::memset(keyBlock, 0, sizeof keyBlock);
            ShowDriverMessage(u"DEBUG ERROR: Can not open the container.", u"Driver");
        }
        if (!ReadNameBlock(disk->file, nameBlock))
            ShowDriverMessage(u"DEBUG ERROR: Can not open the container.", u"Driver");
        BYTE dataKey[16];
        AesDecryptBlock(keyBlock, dataKey, &disk->decryptionSchedule);
        BuildSchedules(disk.get(), dataKey);
    }

    if (!disk->mapping.Create(&disk->file, disk->size)) {
        DWORD error = GetLastError();
        SetOutcome(record, MOUNT_MAPPING_FAILED, error);
        return 0;
    }
    disk->viewBase = disk->mapping.View();

    if (!create) {
        // A file shorter than one block cannot hold the partition sector's jump.
        bool passes = disk->size >= 16 && CheckPassword(&disk->decryptionSchedule, disk->viewBase);
        if (!passes) {
            SetOutcome(record, MOUNT_BAD_PASSWORD, 0);
            return 0;
        }
    }

    SetOutcome(record, MOUNT_OK, 0);
    return reinterpret_cast<DWORD_PTR>(disk.release());
}

BOOL FRV_Deinit(DWORD_PTR deviceContext) {
    // The disk writes its view back and closes its file as it goes.
    delete reinterpret_cast<ContainerDisk*>(deviceContext);
    return TRUE;
}
