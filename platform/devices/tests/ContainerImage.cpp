#include "ContainerImage.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

#include "ContainerFormat.h"

namespace storagetest {
namespace {

namespace fs = std::filesystem;

constexpr size_t kChunk = 1 << 20;

// A descriptor closed on every way out.
class File {
public:
    File(const fs::path& path, int flags) : m_fd(::open(path.c_str(), flags | O_CLOEXEC, 0644)) {
        if (m_fd < 0)
            throw std::runtime_error("cannot open " + path.string());
    }
    ~File() { ::close(m_fd); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    int Fd() const { return m_fd; }
    uint64_t Size() const {
        struct stat info {};
        ::fstat(m_fd, &info);
        return static_cast<uint64_t>(info.st_size);
    }
    void ReadAt(uint64_t offset, uint8_t* data, size_t length) const {
        size_t done = 0;
        while (done < length) {
            ssize_t got = ::pread(m_fd, data + done, length - done, static_cast<off_t>(offset + done));
            if (got <= 0)
                throw std::runtime_error("cannot read");
            done += static_cast<size_t>(got);
        }
    }
    void WriteAt(uint64_t offset, const uint8_t* data, size_t length) const {
        size_t done = 0;
        while (done < length) {
            ssize_t put = ::pwrite(m_fd, data + done, length - done, static_cast<off_t>(offset + done));
            if (put <= 0)
                throw std::runtime_error("cannot write");
            done += static_cast<size_t>(put);
        }
    }

private:
    int m_fd;
};

// AES-128 of independent 16-byte blocks, in place.
void Crypt(const DataKey& key, bool encrypt, uint8_t* data, size_t length) {
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    EVP_CipherInit_ex(context, EVP_aes_128_ecb(), nullptr, key.bytes, nullptr, encrypt ? 1 : 0);
    EVP_CIPHER_CTX_set_padding(context, 0);
    int out = 0;
    EVP_CipherUpdate(context, data, &out, data, static_cast<int>(length));
    EVP_CIPHER_CTX_free(context);
}

// Copies the data extents of source into a new file of the same size, each through the cipher; the
// bytes after the last whole block are copied as they are.
void Transform(const fs::path& source, const fs::path& target, const DataKey& key, bool encrypt) {
    File in(source, O_RDONLY);
    File out(target, O_RDWR | O_CREAT | O_TRUNC);
    const uint64_t size = in.Size();
    if (::ftruncate(out.Fd(), static_cast<off_t>(size)) != 0)
        throw std::runtime_error("cannot size " + target.string());
    const uint64_t blocks = size / 16 * 16;
    std::vector<uint8_t> buffer(kChunk);
    off_t at = 0;
    while (static_cast<uint64_t>(at) < size) {
        off_t data = ::lseek(in.Fd(), at, SEEK_DATA);
        if (data < 0)
            break;
        off_t hole = ::lseek(in.Fd(), data, SEEK_HOLE);
        if (hole < 0 || static_cast<uint64_t>(hole) > size)
            hole = static_cast<off_t>(size);
        // Extents start and end on file system blocks, which are whole cipher blocks.
        for (uint64_t p = static_cast<uint64_t>(data); p < static_cast<uint64_t>(hole);) {
            size_t length = static_cast<size_t>(std::min<uint64_t>(kChunk, static_cast<uint64_t>(hole) - p));
            in.ReadAt(p, buffer.data(), length);
            uint64_t end = p + length;
            size_t crypted = end <= blocks ? length : p < blocks ? static_cast<size_t>(blocks - p) : 0;
            Crypt(key, encrypt, buffer.data(), crypted);
            out.WriteAt(p, buffer.data(), length);
            p = end;
        }
        at = hole;
    }
}

uint16_t Get16(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint16_t>(bytes.at(at) | (bytes.at(at + 1) << 8));
}

uint32_t Get32(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint32_t>(Get16(bytes, at)) | (static_cast<uint32_t>(Get16(bytes, at + 2)) << 16);
}

} // namespace

DataKey KeyOf(const std::u16string& password) {
    DataKey key;
    DerivePasswordKey(password.c_str(), kContainerTextUnits, key.bytes);
    return key;
}

void WriteNewTrailer(const fs::path& container, const std::u16string& password,
                     const std::u16string& folder) {
    CONTAINER_TRAILER trailer;
    BuildNewContainerTrailer(password.c_str(), folder.c_str(), &trailer);
    File file(container, O_RDWR);
    const uint64_t size = file.Size();
    if (size < sizeof trailer)
        throw std::runtime_error("container too short for a trailer");
    file.WriteAt(size - sizeof trailer, reinterpret_cast<const uint8_t*>(&trailer), sizeof trailer);
}

void DecryptContainer(const fs::path& container, const DataKey& key, const fs::path& image) {
    Transform(container, image, key, false);
}

void EncryptImage(const fs::path& image, const std::u16string& password, const std::u16string& folder,
                  const fs::path& container) {
    Transform(image, container, KeyOf(password), true);
    WriteNewTrailer(container, password, folder);
}

std::vector<uint8_t> ReadPlain(const fs::path& container, const DataKey& key, uint64_t offset,
                               size_t length) {
    std::vector<uint8_t> bytes(length);
    File(container, O_RDONLY).ReadAt(offset, bytes.data(), length);
    Crypt(key, false, bytes.data(), length);
    return bytes;
}

void WritePlain(const fs::path& container, const DataKey& key, uint64_t offset,
                const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> crypted = bytes;
    Crypt(key, true, crypted.data(), crypted.size());
    File(container, O_RDWR).WriteAt(offset, crypted.data(), crypted.size());
}

VolumeGeometry GeometryOf(const fs::path& container, const DataKey& key) {
    // Format notes: the first partition entry is at 446 (first sector at +8, count at +12); a boot sector
    // has its bytes per sector at 11 and sectors per cluster at 13.
    std::vector<uint8_t> mbr = ReadPlain(container, key, 0, fat::kSectorSize);
    VolumeGeometry geometry;
    geometry.location = fat::VolumeLocation{Get32(mbr, 446 + 8), Get32(mbr, 446 + 12)};
    std::vector<uint8_t> boot = ReadPlain(
        container, key, uint64_t{geometry.location.firstSector} * fat::kSectorSize, fat::kSectorSize);
    geometry.bytesPerCluster = uint32_t{Get16(boot, 11)} * boot.at(13);
    return geometry;
}

} // namespace storagetest
