#include "kernel/Messages.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "kernel/Errors.h"

namespace {

struct MessageText {
    DWORD code;
    std::u16string_view text;
};

// Our own wording, one sentence a code.
constexpr MessageText kMessages[] = {
    {ERROR_SUCCESS, u"The operation completed successfully."},
    {ERROR_INVALID_FUNCTION, u"The function is not valid for this object."},
    {ERROR_FILE_NOT_FOUND, u"The system cannot find the file specified."},
    {ERROR_PATH_NOT_FOUND, u"The system cannot find the path specified."},
    {ERROR_TOO_MANY_OPEN_FILES, u"Too many files are open."},
    {ERROR_ACCESS_DENIED, u"Access is denied."},
    {ERROR_INVALID_HANDLE, u"The handle is not valid."},
    {ERROR_NOT_ENOUGH_MEMORY, u"There is not enough memory to complete the operation."},
    {ERROR_BAD_FORMAT, u"The program or file has a format that is not valid."},
    {ERROR_INVALID_ACCESS, u"The access code is not valid."},
    {ERROR_INVALID_DATA, u"The data is not valid."},
    {ERROR_OUTOFMEMORY, u"There is not enough storage to complete the operation."},
    {ERROR_INVALID_DRIVE, u"The system cannot find the drive specified."},
    {ERROR_NO_MORE_FILES, u"There are no more files."},
    {ERROR_WRITE_PROTECT, u"The medium is write protected."},
    {ERROR_NOT_READY, u"The device is not ready."},
    {ERROR_BAD_COMMAND, u"The device does not recognize the command."},
    {ERROR_CRC, u"A data error occurred (cyclic redundancy check)."},
    {ERROR_BAD_LENGTH, u"The program issued a command with a length that is not valid."},
    {ERROR_SEEK, u"The drive cannot find the area requested on the disk."},
    {ERROR_SECTOR_NOT_FOUND, u"The drive cannot find the sector requested."},
    {ERROR_WRITE_FAULT, u"The system cannot write to the device."},
    {ERROR_READ_FAULT, u"The system cannot read from the device."},
    {ERROR_GEN_FAILURE, u"A device attached to the system is not working."},
    {ERROR_SHARING_VIOLATION, u"The file is being used by another process."},
    {ERROR_LOCK_VIOLATION, u"Another process has locked a part of the file."},
    {ERROR_HANDLE_EOF, u"The end of the file has been reached."},
    {ERROR_HANDLE_DISK_FULL, u"The disk is full."},
    {ERROR_NOT_SUPPORTED, u"The request is not supported."},
    {ERROR_FILE_EXISTS, u"The file exists."},
    {ERROR_CANNOT_MAKE, u"The directory or file cannot be created."},
    {ERROR_INVALID_PARAMETER, u"The parameter is not valid."},
    {ERROR_BROKEN_PIPE, u"The pipe has been ended."},
    {ERROR_OPEN_FAILED, u"The system cannot open the device or file specified."},
    {ERROR_BUFFER_OVERFLOW, u"The file name is too long."},
    {ERROR_DISK_FULL, u"There is not enough space on the disk."},
    {ERROR_CALL_NOT_IMPLEMENTED, u"This function is not supported on this system."},
    {ERROR_INSUFFICIENT_BUFFER, u"The data area passed to a system call is too small."},
    {ERROR_INVALID_NAME, u"The file name, directory name, or volume label syntax is not valid."},
    {ERROR_MOD_NOT_FOUND, u"The specified module could not be found."},
    {ERROR_PROC_NOT_FOUND, u"The specified procedure could not be found."},
    {ERROR_NEGATIVE_SEEK, u"The file pointer cannot be moved before the beginning of the file."},
    {ERROR_DIR_NOT_EMPTY, u"The directory is not empty."},
    {ERROR_BAD_PATHNAME, u"The path specified is not valid."},
    {ERROR_BUSY, u"The requested resource is in use."},
    {ERROR_ALREADY_EXISTS, u"The file or object cannot be created because it already exists."},
    {ERROR_BAD_EXE_FORMAT, u"The file is not a program or library that this system can run."},
    {ERROR_FILENAME_EXCED_RANGE, u"The file name or extension is too long."},
    {ERROR_MORE_DATA, u"More data is available."},
    {ERROR_NO_MORE_ITEMS, u"There are no more items."},
    {ERROR_DIRECTORY, u"The directory name is not valid."},
    {ERROR_NOT_OWNER, u"The caller does not own the mutex it tried to release."},
    {ERROR_PARTIAL_COPY, u"Only part of a memory read or write request was completed."},
    {ERROR_INVALID_ADDRESS, u"The address is not valid."},
    {ERROR_OPERATION_ABORTED, u"The operation was aborted."},
    {ERROR_IO_PENDING, u"An overlapped operation is in progress."},
    {ERROR_NOACCESS, u"The memory location cannot be accessed."},
    {ERROR_INVALID_FLAGS, u"The flags are not valid."},
    {ERROR_UNRECOGNIZED_VOLUME, u"The volume does not contain a recognized file system."},
    {ERROR_FILE_INVALID, u"The volume of the file has been changed from outside, so the file is no longer "
                         u"valid."},
    {ERROR_BADDB, u"The configuration registry database is corrupt."},
    {ERROR_BADKEY, u"The configuration registry key is not valid."},
    {ERROR_CANTOPEN, u"The configuration registry key could not be opened."},
    {ERROR_CANTREAD, u"The configuration registry key could not be read."},
    {ERROR_CANTWRITE, u"The configuration registry key could not be written."},
    {ERROR_REGISTRY_CORRUPT, u"The registry file is damaged and cannot be read."},
    {ERROR_REGISTRY_IO_FAILED, u"The registry file could not be read or written."},
    {ERROR_KEY_DELETED, u"The registry key has been deleted."},
    {ERROR_MR_MID_NOT_FOUND, u"There is no text for the message number in the message file."},
    {ERROR_DLL_INIT_FAILED, u"The initialization routine of a library failed."},
    {ERROR_NO_ASSOCIATION, u"No program is associated with the file type."},
    {ERROR_NOT_FOUND, u"The element was not found."},
    {ERROR_USER_MAPPED_FILE, u"The operation cannot be done on a file that is mapped into memory."},
    {ERROR_FILE_CORRUPT, u"The file or directory is damaged and cannot be read."},
    {ERROR_DISK_CORRUPT, u"The disk structure is damaged and cannot be read."},
    {ERROR_INVALID_WINDOW_HANDLE, u"The window handle is not valid."},
    {ERROR_INVALID_MENU_HANDLE, u"The menu handle is not valid."},
    {ERROR_INVALID_CURSOR_HANDLE, u"The cursor handle is not valid."},
    {ERROR_CANNOT_FIND_WND_CLASS, u"The window class cannot be found."},
    {ERROR_WINDOW_OF_OTHER_THREAD, u"The window belongs to another thread."},
    {ERROR_CLASS_ALREADY_EXISTS, u"The window class already exists."},
    {ERROR_CLASS_DOES_NOT_EXIST, u"The window class does not exist."},
    {ERROR_INVALID_INDEX, u"The index is not valid."},
    {ERROR_RESOURCE_DATA_NOT_FOUND, u"The image file has no resource section."},
    {ERROR_RESOURCE_TYPE_NOT_FOUND, u"The resource type cannot be found in the image file."},
    {ERROR_RESOURCE_NAME_NOT_FOUND, u"The resource name cannot be found in the image file."},
    {ERROR_TIMEOUT, u"The operation returned because the time-out period expired."},
    {ERROR_DEVICE_IN_USE, u"The device is in use by an active process and cannot be disconnected."},
    {ERROR_DEVICE_NOT_AVAILABLE, u"The device is not available."},
};

constexpr std::u16string_view kLineEnd = u"\r\n";

const MessageText* FindMessage(DWORD code) {
    for (const MessageText& message : kMessages)
        if (message.code == code)
            return &message;
    return nullptr;
}

} // namespace

DWORD FormatMessageW(DWORD dwFlags, LPCVOID, DWORD dwMessageId, DWORD, LPWSTR lpBuffer, DWORD nSize,
                     va_list*) {
    if (!(dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) ||
        (dwFlags & (FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_FROM_HMODULE)) || !lpBuffer)
        return kernel::Fail(ERROR_INVALID_PARAMETER, DWORD{0});
    const MessageText* message = FindMessage(dwMessageId);
    if (!message)
        return kernel::Fail(ERROR_MR_MID_NOT_FOUND, DWORD{0});
    size_t length = message->text.size() + kLineEnd.size();
    WCHAR* target = lpBuffer;
    if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        size_t units = std::max<size_t>(length + 1, nSize);
        target = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, units * sizeof(WCHAR)));
        if (!target)
            return kernel::Fail(ERROR_NOT_ENOUGH_MEMORY, DWORD{0});
        *reinterpret_cast<LPWSTR*>(lpBuffer) = target;
    } else if (nSize <= length) {
        return kernel::Fail(ERROR_INSUFFICIENT_BUFFER, DWORD{0});
    }
    message->text.copy(target, message->text.size());
    kLineEnd.copy(target + message->text.size(), kLineEnd.size());
    target[length] = u'\0';
    return static_cast<DWORD>(length);
}

HLOCAL LocalAlloc(UINT uFlags, SIZE_T uBytes) {
    void* block =
        (uFlags & LMEM_ZEROINIT) ? std::calloc(1, uBytes ? uBytes : 1) : std::malloc(uBytes ? uBytes : 1);
    if (!block)
        return kernel::Fail(ERROR_NOT_ENOUGH_MEMORY, static_cast<HLOCAL>(nullptr));
    return block;
}

HLOCAL LocalFree(HLOCAL hMem) {
    std::free(hMem);
    return nullptr;
}
