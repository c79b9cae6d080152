#pragma once
// The GDI objects behind the handles and the process's handle table.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "gdi/Gdi.h"
#include "gdi/Region.h"

namespace gdi {

class RealizedFont;

// Guards the handle table and every selection (which DC holds which object).
std::recursive_mutex& ObjectLock();

class GdiObject {
public:
    virtual ~GdiObject() = default;
    virtual DWORD Type() const = 0;

    HGDIOBJ handle = nullptr;
    bool stock = false;
    // Number of DCs that have this object selected; DeleteObject refuses while it is not 0.
    int selections = 0;
};

enum class PixelFormat { Mono1, Rgb565, Bgr24 };

int BitsPerPixel(PixelFormat format);
// The bits of a pixel value that the format uses.
uint32_t PixelMask(PixelFormat format);

class BitmapObject final : public GdiObject {
public:
    // rowBytes of 0 picks the DDB layout (rows padded to 16 bits).
    BitmapObject(int width, int height, PixelFormat format, size_t rowBytes = 0, bool bottomUp = false);
    DWORD Type() const override { return OBJ_BITMAP; }

    uint8_t* Row(int y) { return m_pixels.data() + RowOffset(y); }
    const uint8_t* Row(int y) const { return m_pixels.data() + RowOffset(y); }
    uint8_t* Bits() { return m_pixels.data(); }
    uint32_t Read(int x, int y) const;
    void Write(int x, int y, uint32_t value);
    // Grows the screen's damage rectangle when this bitmap is the screen.
    void Touch(const RECT& rect);
    // Clears the pixels to 0 and gives the bitmap a new size (the screen only).
    void Resize(int width, int height);

    int width = 0;
    int height = 0;
    PixelFormat format = PixelFormat::Rgb565;
    size_t rowBytes = 0;
    bool bottomUp = false;
    bool dibSection = false;
    bool isScreen = false;
    std::optional<RECT> damage;
    // The memory DC that holds this bitmap, if any.
    HDC selectedInto = nullptr;

private:
    size_t RowOffset(int y) const { return static_cast<size_t>(bottomUp ? height - 1 - y : y) * rowBytes; }

    std::vector<uint8_t> m_pixels;
};

class BrushObject final : public GdiObject {
public:
    DWORD Type() const override { return OBJ_BRUSH; }
    COLORREF color = 0;
    bool hollow = false;
};

class PenObject final : public GdiObject {
public:
    DWORD Type() const override { return OBJ_PEN; }
    int style = PS_SOLID;
    int width = 1;
    COLORREF color = 0;
};

class FontObject final : public GdiObject {
public:
    DWORD Type() const override { return OBJ_FONT; }
    // The FreeType font that renders it, made on first use; null when no font file can be loaded.
    std::shared_ptr<RealizedFont> Realized();

    LOGFONTW logFont{};

private:
    std::once_flag m_realizeOnce;
    std::shared_ptr<RealizedFont> m_realized;
};

class RegionObject final : public GdiObject {
public:
    DWORD Type() const override { return OBJ_REGION; }
    Region region;
};

// Conversions between the handle types, which all stand for entries of one table.
template <typename To, typename From>
To HandleAs(From handle) {
    return reinterpret_cast<To>(handle);
}

// Handle table. Handle values are never reused.
HGDIOBJ InsertObject(std::shared_ptr<GdiObject> object);
std::shared_ptr<GdiObject> FindObject(HGDIOBJ handle);
template <typename T, typename Handle>
std::shared_ptr<T> FindObjectAs(Handle handle) {
    return std::dynamic_pointer_cast<T>(FindObject(reinterpret_cast<HGDIOBJ>(handle)));
}
bool RemoveObject(HGDIOBJ handle);

// Stock objects, made on first use and never deleted.
std::shared_ptr<GdiObject> StockObject(int index);
// The 1 x 1 monochrome bitmap that a new memory DC holds.
std::shared_ptr<BitmapObject> DefaultBitmap();

} // namespace gdi
