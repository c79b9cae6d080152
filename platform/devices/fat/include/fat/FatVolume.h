#pragma once
// A mounted FAT12, FAT16 or FAT32 volume: files and folders with long names, attributes, time stamps and
// searches.
//
// What a caller may rely on:
// - Paths are UTF-16, relative to the volume's root, with '\' between names; a leading '\' is allowed,
//   and "" or "\" is the root. Names match case-insensitively (long names and 8.3 names alike); trailing
//   dots and spaces of a name are dropped, as the platform does. "." and ".." are not resolved.
// - Every call that changes the volume has written its change (data, FAT copies, directory entries,
//   FSInfo) to the disk before it returns. Writes are ordered so that an interrupted call can at most
//   leave clusters unreferenced or lose its own change; an interrupted rename may leave the entry under
//   both names, never under none. Flush and Unmount also flush the disk.
// - From its first change to a clean Unmount the volume records on the disk that it is in use (the FAT's
//   clean-shutdown bit; on FAT12 the boot sector's state byte). Mounting a volume left in use repairs what
//   an interrupted session may leave, before Mount returns: clusters no entry reaches are freed, a file's
//   chain is cut to its size, stray long-name slots are removed, the FAT copies are made alike and the
//   free count is put right. Files complete before the interruption are not touched; a damaged volume is
//   left as it is.
// - File handles and search handles carry the mount they belong to; after Unmount (or a later Mount)
//   they are refused with InvalidObject. Several handles may be open on one file and see each other's
//   writes; sharing rules are the caller's business. An open file cannot be deleted or renamed (Locked).
// - Damaged structures never crash the engine: the mount is refused, or the call that meets the damage
//   fails with Corrupt.
// - Every call is serialised by an internal lock, so a volume may be used from several threads.

#include <cstdint>
#include <memory>
#include <string_view>

#include "fat/BlockDevice.h"
#include "fat/FatTypes.h"

namespace fat {

class VolumeImpl;

class FatVolume {
public:
    explicit FatVolume(FatClock clock = {});
    ~FatVolume(); // unmounts
    FatVolume(const FatVolume&) = delete;
    FatVolume& operator=(const FatVolume&) = delete;

    // Mounts the volume of a disk: the whole disk when sector 0 is a FAT boot sector, else the first FAT
    // partition of its master boot record. NoFileSystem when there is none.
    FatResult Mount(BlockDevice& disk);
    // Mounts the volume at where. The disk must outlive the mount.
    FatResult Mount(BlockDevice& disk, VolumeLocation where);
    // Flushes and forgets the volume; every handle of the mount becomes invalid, also when flushing fails.
    FatResult Unmount();
    bool IsMounted() const;
    FatResult Flush();
    FatResult GetVolumeInfo(FatVolumeInfo& info);

    // Opens or creates a file. attributes (kAttrChangeable bits) apply to a created file, and to an existing
    // one that CreateAlways empties; the archive bit is always added then.
    FatResult Open(std::u16string_view path, FatAccess access, FatDisposition disposition,
                   uint32_t attributes, FatFile& file, FatOpened* opened = nullptr);
    FatResult Close(FatFile file);
    // Reads up to count bytes at the file position and advances it; done < count only at the end of file.
    FatResult Read(FatFile file, void* buffer, uint32_t count, uint32_t& done);
    // Writes at the file position (zero-filling any gap beyond the end) and advances it. On DiskFull or
    // TooLarge, done says how much was written and kept.
    FatResult Write(FatFile file, const void* buffer, uint32_t count, uint32_t& done);
    // Sets the position; it may lie beyond the end of file.
    FatResult Seek(FatFile file, uint32_t position);
    FatResult GetPosition(FatFile file, uint32_t& position);
    FatResult GetSize(FatFile file, uint32_t& size);
    // Makes the file end at its position: shortens it, or lengthens it with zeros.
    FatResult SetEndOfFile(FatFile file);
    FatResult FlushFile(FatFile file);
    FatResult GetFileInfo(FatFile file, FatEntryInfo& info);
    // Sets the times of an open file, in local ticks as FatEntryInfo reports them; a null pointer leaves
    // that time as it is. The handle needs write access. FAT keeps creation times in 10 ms steps, write
    // times in 2-second steps and access times as a date; times outside 1980 to 2107 are clamped to it.
    FatResult SetFileTimes(FatFile file, const uint64_t* creation, const uint64_t* lastAccess,
                           const uint64_t* lastWrite);

    FatResult GetInfo(std::u16string_view path, FatEntryInfo& info);
    // Replaces the kAttrChangeable bits of a file or folder.
    FatResult SetAttributes(std::u16string_view path, uint32_t attributes);
    // Deletes a file (Denied for a folder or a read-only file).
    FatResult Delete(std::u16string_view path);
    FatResult CreateDirectory(std::u16string_view path);
    // Removes an empty folder.
    FatResult RemoveDirectory(std::u16string_view path);
    // Renames or moves a file or folder, also into another folder; Exists when the new name is taken by
    // another entry. A change of letter case only is a rename too.
    FatResult Rename(std::u16string_view from, std::u16string_view to);

    // Starts a search for a pattern ("folder\*.txt"; '*' and '?' match case-insensitively, "*.*" matches
    // every name) and reports the first match. NoMoreFiles when nothing in the folder matches, NoPath when
    // the folder does not exist. "." and ".." are never reported.
    FatResult FindFirst(std::u16string_view pattern, FatFind& find, FatEntryInfo& info);
    FatResult FindNext(FatFind find, FatEntryInfo& info);
    FatResult FindClose(FatFind find);

private:
    std::unique_ptr<VolumeImpl> m_impl;
};

} // namespace fat
