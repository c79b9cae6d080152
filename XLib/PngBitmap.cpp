#include "PngBitmap.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "PngDecoder.h"
#include "PngInfo.h"
#include "gdi/Gdi.h"
#include "kernel/Stdio.h"

namespace {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// The whole file, or nothing when it cannot be read, is empty or is larger than any image could be.
std::vector<uint8_t> ReadWholeFile(LPCWSTR path) {
    File file(_wfopen(path, u"rb"));
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0)
        return {};
    long size = std::ftell(file.get());
    if (size <= 0 || static_cast<uint64_t>(size) > kMaxPngBufferBytes ||
        std::fseek(file.get(), 0, SEEK_SET) != 0)
        return {};
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
        return {};
    return bytes;
}

HBITMAP MakeDibSection(const std::vector<uint8_t>& rows, int width, int height) {
    BITMAPINFO info{};
    BITMAPINFOHEADER& header = info.bmiHeader;
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = width;
    header.biHeight = height; // positive: bottom-up
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(rows.size());
    header.biXPelsPerMeter = 1;
    header.biYPelsPerMeter = 1;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap)
        return nullptr;
    BITMAP record{};
    if (!GetObjectW(bitmap, sizeof record, &record) || !bits) {
        DeleteObject(bitmap);
        return nullptr;
    }
    // The converted rows are top first; the section's memory holds the bottom row first.
    size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
    size_t sectionStride = static_cast<size_t>(record.bmWidthBytes);
    size_t copied = std::min(stride, sectionStride);
    auto* memory = static_cast<uint8_t*>(bits);
    for (int r = 0; r < height; ++r)
        std::memcpy(memory + static_cast<size_t>(r) * sectionStride,
                    rows.data() + static_cast<size_t>(height - 1 - r) * stride, copied);
    return bitmap;
}

} // namespace

HBITMAP LoadPngBitmap(LPCWSTR path, bool want16Bit, bool& hasAlpha) {
    if (!path)
        return nullptr;
    std::vector<uint8_t> bytes = ReadWholeFile(path);
    if (bytes.empty())
        return nullptr;
    std::vector<uint8_t> rows;
    bool alpha = false;
    if (want16Bit)
        ConvertPngToRgb565(bytes, rows, alpha);
    else
        ConvertPngToBgr24(bytes, rows, alpha);
    if (rows.empty())
        return nullptr;
    bytes = {};
    // The decoder bounds both sides far below the range of int.
    int width = static_cast<int>(GetPngWidth());
    int height = static_cast<int>(GetPngHeight()) * (alpha ? 2 : 1);
    HBITMAP bitmap =
        want16Bit ? CreateBitmap(width, height, 1, 16, rows.data()) : MakeDibSection(rows, width, height);
    if (bitmap)
        hasAlpha = alpha;
    return bitmap;
}
