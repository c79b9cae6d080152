#pragma once
// Container files seen from the host, as a peer of the driver: the data key of a container the system
// created (the MD5 of its password), its bytes decrypted and encrypted with OpenSSL's AES-128 block by
// block, whole disk images turned into containers and back, and the trailer written as the main program
// writes it.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "fat/BlockDevice.h"
#include "fat/FatTypes.h"

namespace storagetest {

struct DataKey {
    uint8_t bytes[16] = {};
};

// The data key of a container that the system created with that password.
DataKey KeyOf(const std::u16string& password);

// Writes a new container's trailer (key block and folder name) into the last 272 bytes of the file.
void WriteNewTrailer(const std::filesystem::path& container, const std::u16string& password,
                     const std::u16string& folder);

// Decrypts a container into a plain disk image of the same size, or encrypts a plain image into a new
// container with its trailer. A hole stays a hole: a sector that was never written holds nothing that a
// volume depends on, and the tests that go through the driver see such sectors as the driver serves them.
void DecryptContainer(const std::filesystem::path& container, const DataKey& key,
                      const std::filesystem::path& image);
void EncryptImage(const std::filesystem::path& image, const std::u16string& password,
                  const std::u16string& folder, const std::filesystem::path& container);

// Plain bytes of a container at an offset; offset and length are multiples of 16.
std::vector<uint8_t> ReadPlain(const std::filesystem::path& container, const DataKey& key, uint64_t offset,
                               size_t length);
void WritePlain(const std::filesystem::path& container, const DataKey& key, uint64_t offset,
                const std::vector<uint8_t>& bytes);

// Where the FAT volume of a container lies (its first partition entry) and its cluster size, read from
// the decrypted partition sector and boot sector.
struct VolumeGeometry {
    fat::VolumeLocation location;
    uint32_t bytesPerCluster = 0;
};
VolumeGeometry GeometryOf(const std::filesystem::path& container, const DataKey& key);

} // namespace storagetest
