#include "fat/FatTypes.h"

namespace fat {

const char* FatResultName(FatResult result) {
    switch (result) {
    case FatResult::Ok:
        return "Ok";
    case FatResult::DiskError:
        return "DiskError";
    case FatResult::InternalError:
        return "InternalError";
    case FatResult::NotReady:
        return "NotReady";
    case FatResult::NoFile:
        return "NoFile";
    case FatResult::NoPath:
        return "NoPath";
    case FatResult::InvalidName:
        return "InvalidName";
    case FatResult::Denied:
        return "Denied";
    case FatResult::Exists:
        return "Exists";
    case FatResult::InvalidObject:
        return "InvalidObject";
    case FatResult::WriteProtected:
        return "WriteProtected";
    case FatResult::NoFileSystem:
        return "NoFileSystem";
    case FatResult::FormatAborted:
        return "FormatAborted";
    case FatResult::Locked:
        return "Locked";
    case FatResult::NotEnoughMemory:
        return "NotEnoughMemory";
    case FatResult::TooManyOpenFiles:
        return "TooManyOpenFiles";
    case FatResult::InvalidParameter:
        return "InvalidParameter";
    case FatResult::DiskFull:
        return "DiskFull";
    case FatResult::DirectoryFull:
        return "DirectoryFull";
    case FatResult::NotEmpty:
        return "NotEmpty";
    case FatResult::NoMoreFiles:
        return "NoMoreFiles";
    case FatResult::Corrupt:
        return "Corrupt";
    case FatResult::TooLarge:
        return "TooLarge";
    }
    return "Unknown";
}

} // namespace fat
