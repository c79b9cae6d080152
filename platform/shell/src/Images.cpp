#include "shell/Images.h"

#include <cstdint>
#include <vector>

#include "gdi/Dib.h"
#include "kernel/Errors.h"
#include "kernel/Files.h"
#include "kernel/Scoped.h"

namespace {

constexpr DWORD kMaxImageFileBytes = DWORD(64) << 20;

} // namespace

HBITMAP SHLoadDIBitmap(LPCWSTR fileName) {
    if (!fileName)
        return kernel::Fail(ERROR_INVALID_PARAMETER, static_cast<HBITMAP>(nullptr));
    const kernel::ScopedHandle file(
        CreateFileW(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.IsOpen())
        return nullptr;
    DWORD high = 0;
    DWORD size = GetFileSize(file.Get(), &high);
    if (size == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS)
        return nullptr;
    if (high != 0 || size > kMaxImageFileBytes)
        return kernel::Fail(ERROR_NOT_ENOUGH_MEMORY, static_cast<HBITMAP>(nullptr));
    std::vector<uint8_t> bytes(size);
    DWORD read = 0;
    if (size > 0 && !ReadFile(file.Get(), bytes.data(), size, &read, nullptr))
        return nullptr;
    bytes.resize(read);
    return gdi::CreateBitmapFromBmpFile(bytes.data(), bytes.size());
}

HBITMAP SHLoadImageResource(HINSTANCE instance, UINT id) {
    return LoadBitmapW(instance, MAKEINTRESOURCE(id));
}
