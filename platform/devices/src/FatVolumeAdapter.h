#pragma once
// A FAT volume as the kernel's file calls see it. The adapter owns the disk and the engine's volume; it
// turns the kernel's paths into the engine's, the engine's results into the platform's error codes, and
// the engine's local time stamps into UTC FILETIMEs and back. Share modes are left to the kernel, which
// enforces them among the handles of the process that mounted the volume.

#include <memory>

#include "fat/BlockDevice.h"
#include "fat/FatVolume.h"
#include "kernel/Volume.h"

namespace devices {

class FatVolumeAdapter final : public kernel::Volume {
public:
    FatVolumeAdapter(std::unique_ptr<fat::BlockDevice> disk, fat::FatClock clock);
    ~FatVolumeAdapter() override; // dismounts
    FatVolumeAdapter(const FatVolumeAdapter&) = delete;
    FatVolumeAdapter& operator=(const FatVolumeAdapter&) = delete;

    fat::FatResult Mount(fat::VolumeLocation where);
    // Flushes and dismounts the engine's volume; every later call fails with ERROR_NOT_READY.
    fat::FatResult Dismount();

    DWORD Open(const kernel::PathComponents& path, const kernel::VolumeOpen& request,
               std::unique_ptr<kernel::VolumeFile>* file, bool* existed) override;
    DWORD Delete(const kernel::PathComponents& path) override;
    DWORD Move(const kernel::PathComponents& from, const kernel::PathComponents& to) override;
    DWORD CreateDirectory(const kernel::PathComponents& path) override;
    DWORD RemoveDirectory(const kernel::PathComponents& path) override;
    DWORD GetAttributes(const kernel::PathComponents& path, DWORD* attributes) override;
    DWORD SetAttributes(const kernel::PathComponents& path, DWORD attributes) override;
    DWORD List(const kernel::PathComponents& folder, std::vector<kernel::VolumeEntry>* entries) override;
    // Resolves the path as every other call does: a name matches an entry's long name or its short name.
    DWORD GetEntry(const kernel::PathComponents& path, kernel::VolumeEntry* entry) override;
    DWORD Flush() override;
    DWORD GetFreeSpace(ULONGLONG* freeBytes, ULONGLONG* totalBytes) override;

private:
    std::unique_ptr<fat::BlockDevice> m_disk;
    // Shared with the open files, so that none can outlive it.
    std::shared_ptr<fat::FatVolume> m_volume;
};

// The platform's error code for an engine result; Exists gives ERROR_ALREADY_EXISTS.
DWORD FatResultToError(fat::FatResult result);

// The engine's clock: the kernel's local time.
fat::FatLocalTime KernelLocalTime();

} // namespace devices
