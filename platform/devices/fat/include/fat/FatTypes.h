#pragma once
// The plain records and codes of the FAT engine, the partitioning and the formatting. Every call returns
// a FatResult; attribute bits have the values of the platform's FILE_ATTRIBUTE_* bits; times are
// FILETIME-like counts of 100 ns since 1601-01-01 in local time (FAT stores local time).

#include <cstdint>
#include <functional>
#include <string>

namespace fat {

enum class FatResult : uint8_t {
    Ok,               // the call succeeded
    DiskError,        // the disk failed a read, write or flush
    InternalError,    // the engine's own bookkeeping is inconsistent (never caused by disk content)
    NotReady,         // no volume is mounted
    NoFile,           // the file or folder named by the last path component does not exist
    NoPath,           // a folder on the way does not exist or is a file
    InvalidName,      // the path or a name in it is not valid on FAT
    Denied,           // refused: read-only entry, folder opened as a file, access the handle lacks, the root
    Exists,           // an entry of that name exists already
    InvalidObject,    // the handle is unknown, closed, or belongs to another or an earlier mount
    WriteProtected,   // the disk is write-protected
    NoFileSystem,     // there is no valid FAT volume at that place
    FormatAborted,    // the volume is too small or too large to be formatted
    Locked,           // the entry is in use: an open file deleted or renamed, a folder being searched removed
    NotEnoughMemory,  // an allocation failed
    TooManyOpenFiles, // the volume's limit of open handles is reached
    InvalidParameter, // an argument is out of range
    DiskFull,         // no free cluster is left
    DirectoryFull,    // the folder cannot take another entry (fixed root folder, or 65536 entries)
    NotEmpty,         // the folder to remove still has entries
    NoMoreFiles,      // the search has no more matches (also none at all in an existing folder)
    Corrupt,          // the volume's structures are damaged where the call needed them
    TooLarge,         // the file would grow beyond 4 GiB - 1 bytes
};

// The enumerator's name, for messages and test output.
const char* FatResultName(FatResult result);

enum class FatType : uint8_t { Fat12, Fat16, Fat32 };

// Attribute bits as stored in a directory entry; the same values as FILE_ATTRIBUTE_*.
constexpr uint32_t kAttrReadOnly = 0x01;
constexpr uint32_t kAttrHidden = 0x02;
constexpr uint32_t kAttrSystem = 0x04;
constexpr uint32_t kAttrVolumeLabel = 0x08;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrArchive = 0x20;
// The bits a caller may set on a file or folder.
constexpr uint32_t kAttrChangeable = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive;

// A local date and time as a clock gives it (the shape of SYSTEMTIME).
struct FatLocalTime {
    uint16_t year = 1980;
    uint8_t month = 1;
    uint8_t day = 1;
    uint8_t hour = 0;
    uint8_t minute = 0;
    uint8_t second = 0;
    uint16_t millisecond = 0;
};

// Gives the current local time; an empty clock stands for 1980-01-01 00:00:00.
using FatClock = std::function<FatLocalTime()>;

// Where a volume lies on its disk.
struct VolumeLocation {
    uint32_t firstSector = 0;
    uint32_t sectorCount = 0;
};

// A file or folder as a search or a query reports it.
struct FatEntryInfo {
    std::u16string name;         // the long name, or the short name when there is none
    std::u16string shortName;    // the 8.3 name as stored ("README.TXT"); empty for the root
    uint32_t attributes = 0;     // kAttr* bits
    uint32_t size = 0;           // bytes; 0 for folders
    uint64_t creationTime = 0;   // local FILETIME ticks; 0 where the entry holds no valid date
    uint64_t lastAccessTime = 0; // a date only: midnight of the access day
    uint64_t lastWriteTime = 0;
};

// The values of the platform's creation dispositions.
enum class FatDisposition : uint8_t {
    CreateNew = 1,        // fail with Exists when the file exists
    CreateAlways = 2,     // create, or empty an existing file and replace its attributes
    OpenExisting = 3,     // fail with NoFile when the file does not exist
    OpenAlways = 4,       // open, creating the file when it does not exist
    TruncateExisting = 5, // open an existing file and empty it (needs write access)
};

enum class FatAccess : uint8_t { None = 0, Read = 1, Write = 2, ReadWrite = 3 };

// Whether an open found the file or made it.
enum class FatOpened : uint8_t { Created, Existing };

// Handles: plain values that name an open file or search of one mount. A handle from an earlier mount,
// or one that was closed, is refused with InvalidObject.
struct FatFile {
    uint32_t mountId = 0;
    uint32_t id = 0;
};
struct FatFind {
    uint32_t mountId = 0;
    uint32_t id = 0;
};

struct FatVolumeInfo {
    FatType type = FatType::Fat12;
    uint32_t bytesPerCluster = 0;
    uint32_t totalClusters = 0;
    uint32_t freeClusters = 0;
    uint32_t serialNumber = 0;
    VolumeLocation location;
};

} // namespace fat
