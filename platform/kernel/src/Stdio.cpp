// C streams on kernel files through glibc's fopencookie, and the 8-bit wide writes.

#include "kernel/Stdio.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <limits>
#include <memory>
#include <vector>

#include "FileObject.h"
#include "crt/Convert.h"
#include "crt/Format.h"
#include "crt/WideString.h"
#include "kernel/Errors.h"
#include "kernel/Files.h"

using kernel::files::FileObject;

namespace {

constexpr size_t kFirstFormatBuffer = 1024;
constexpr size_t kLargestFormatBuffer = size_t{1} << 22;

int ErrnoOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_PARAMETER:
        return EINVAL;
    case ERROR_DISK_FULL:
        return ENOSPC;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    case ERROR_INVALID_HANDLE:
        return EBADF;
    default:
        return EIO;
    }
}

// Reports a failure both ways and gives result.
template <typename T>
T Failure(DWORD error, T result) {
    errno = ErrnoOf(error);
    SetLastError(error);
    return result;
}

struct Stream {
    std::shared_ptr<FileObject> file;
    bool append = false;
};

ssize_t StreamRead(void* cookie, char* buffer, size_t size) {
    auto* stream = static_cast<Stream*>(cookie);
    const DWORD count = static_cast<DWORD>(std::min<size_t>(size, std::numeric_limits<DWORD>::max()));
    DWORD done = 0;
    if (DWORD error = stream->file->Read(buffer, count, &done); error != ERROR_SUCCESS)
        return Failure(error, ssize_t{-1});
    return static_cast<ssize_t>(done);
}

ssize_t StreamWrite(void* cookie, const char* buffer, size_t size) {
    auto* stream = static_cast<Stream*>(cookie);
    size_t written = 0;
    while (written < size) {
        const DWORD count =
            static_cast<DWORD>(std::min<size_t>(size - written, std::numeric_limits<DWORD>::max()));
        DWORD done = 0;
        const DWORD error = stream->append ? stream->file->Append(buffer + written, count, &done)
                                           : stream->file->Write(buffer + written, count, &done);
        written += done;
        if (error != ERROR_SUCCESS)
            return written > 0 ? static_cast<ssize_t>(written) : Failure(error, ssize_t{-1});
        if (done == 0)
            break;
    }
    return static_cast<ssize_t>(written);
}

int StreamSeek(void* cookie, off64_t* offset, int whence) {
    auto* stream = static_cast<Stream*>(cookie);
    DWORD method = FILE_BEGIN;
    if (whence == SEEK_CUR)
        method = FILE_CURRENT;
    else if (whence == SEEK_END)
        method = FILE_END;
    else if (whence != SEEK_SET)
        return Failure(ERROR_INVALID_PARAMETER, -1);
    ULONGLONG position = 0;
    if (DWORD error = stream->file->Seek(*offset, method, std::numeric_limits<off64_t>::max(), &position);
        error != ERROR_SUCCESS)
        return Failure(error == ERROR_NEGATIVE_SEEK ? static_cast<DWORD>(ERROR_INVALID_PARAMETER) : error,
                       -1);
    *offset = static_cast<off64_t>(position);
    return 0;
}

int StreamClose(void* cookie) {
    delete static_cast<Stream*>(cookie);
    return 0;
}

struct OpenMode {
    DWORD access = 0;
    DWORD disposition = 0;
    bool append = false;
    const char* cookieMode = nullptr;
};

// The first letter chooses the mode; '+', 'b' and 't' may follow, each once, in any order.
bool ParseMode(const WCHAR* text, OpenMode* mode) {
    if (text == nullptr)
        return false;
    bool plus = false;
    bool binary = false;
    bool textMode = false;
    for (const WCHAR* p = text + (text[0] != 0 ? 1 : 0); *p != 0; ++p) {
        bool* flag = *p == u'+' ? &plus : *p == u'b' ? &binary : *p == u't' ? &textMode : nullptr;
        if (flag == nullptr || *flag)
            return false;
        *flag = true;
    }
    if (binary && textMode)
        return false;
    switch (text[0]) {
    case u'r':
        *mode = plus ? OpenMode{GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, false, "r+"}
                     : OpenMode{GENERIC_READ, OPEN_EXISTING, false, "r"};
        return true;
    case u'w':
        *mode = plus ? OpenMode{GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, false, "w+"}
                     : OpenMode{GENERIC_WRITE, CREATE_ALWAYS, false, "w"};
        return true;
    case u'a':
        *mode = plus ? OpenMode{GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, true, "a+"}
                     : OpenMode{GENERIC_WRITE, OPEN_ALWAYS, true, "a"};
        return true;
    default:
        return false;
    }
}

int WriteNarrowed(const WCHAR* text, size_t length, FILE* stream) {
    std::vector<char> bytes(length + 1);
    wcstombs(bytes.data(), text, length + 1);
    if (std::fwrite(bytes.data(), 1, length, stream) != length)
        return -1;
    return static_cast<int>(std::min<size_t>(length, std::numeric_limits<int>::max()));
}

} // namespace

FILE* _wfopen(const WCHAR* fileName, const WCHAR* mode) {
    OpenMode parsed;
    if (fileName == nullptr || !ParseMode(mode, &parsed))
        return Failure(ERROR_INVALID_PARAMETER, static_cast<FILE*>(nullptr));
    auto stream = std::make_unique<Stream>();
    stream->append = parsed.append;
    bool existed = false;
    if (DWORD error =
            kernel::files::OpenFileObject(fileName, parsed.access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          parsed.disposition, 0, &stream->file, &existed);
        error != ERROR_SUCCESS)
        return Failure(error, static_cast<FILE*>(nullptr));
    const cookie_io_functions_t functions{StreamRead, StreamWrite, StreamSeek, StreamClose};
    FILE* file = ::fopencookie(stream.get(), parsed.cookieMode, functions);
    if (file == nullptr)
        return Failure(ERROR_NOT_ENOUGH_MEMORY, static_cast<FILE*>(nullptr));
    stream.release(); // the stream's close callback owns it now
    return file;
}

int fputws(const WCHAR* text, FILE* stream) {
    if (text == nullptr || stream == nullptr)
        return Failure(ERROR_INVALID_PARAMETER, EOF);
    return WriteNarrowed(text, wcslen(text), stream) < 0 ? EOF : 0;
}

int fwprintf(FILE* stream, const WCHAR* format, ...) {
    if (stream == nullptr || format == nullptr)
        return Failure(ERROR_INVALID_PARAMETER, -1);
    // The bounded formatter says when its output was cut; the buffer grows until the text fits.
    for (size_t capacity = kFirstFormatBuffer; capacity <= kLargestFormatBuffer; capacity *= 4) {
        std::vector<WCHAR> buffer(capacity);
        va_list args;
        va_start(args, format);
        const int length = _vsnwprintf(buffer.data(), capacity, format, args);
        va_end(args);
        if (length >= 0 && static_cast<size_t>(length) < capacity)
            return WriteNarrowed(buffer.data(), static_cast<size_t>(length), stream);
    }
    return Failure(ERROR_NOT_ENOUGH_MEMORY, -1);
}

int _wremove(const WCHAR* fileName) {
    if (!DeleteFileW(fileName))
        return Failure(GetLastError(), -1);
    return 0;
}

int _wrename(const WCHAR* oldName, const WCHAR* newName) {
    if (!MoveFileW(oldName, newName))
        return Failure(GetLastError(), -1);
    return 0;
}
