#pragma once
// The GDI objects behind the handles and the process's handle table.

#include <algorithm>
#include <atomic>
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
    explicit GdiObject(DWORD type) : m_type(type) {}
    virtual ~GdiObject() = default;
    // OBJ_BITMAP, OBJ_BRUSH, ...: read on every lookup, so a plain field rather than a virtual call.
    DWORD Type() const { return m_type; }

    // The handle the object is entered under; null once it is taken out of the table.
    std::atomic<HGDIOBJ> handle = nullptr;
    bool stock = false;
    // Number of DCs that have this object selected; DeleteObject refuses while it is not 0.
    int selections = 0;

private:
    const DWORD m_type;
};

enum class PixelFormat { Mono1, Rgb565, Bgr24 };

inline int BitsPerPixel(PixelFormat format) {
    switch (format) {
    case PixelFormat::Mono1:
        return 1;
    case PixelFormat::Rgb565:
        return 16;
    case PixelFormat::Bgr24:
        return 24;
    }
    return 16;
}

// The bits of a pixel value that the format uses.
inline uint32_t PixelMask(PixelFormat format) {
    switch (format) {
    case PixelFormat::Mono1:
        return 1;
    case PixelFormat::Rgb565:
        return 0xFFFF;
    case PixelFormat::Bgr24:
        return 0xFFFFFF;
    }
    return 0xFFFF;
}

class BitmapObject final : public GdiObject {
public:
    // rowBytes of 0 picks the DDB layout (rows padded to 16 bits).
    BitmapObject(int width, int height, PixelFormat format, size_t rowBytes = 0, bool bottomUp = false);
    static constexpr DWORD kType = OBJ_BITMAP;

    uint8_t* Row(int y) { return m_pixels.data() + RowOffset(y); }
    const uint8_t* Row(int y) const { return m_pixels.data() + RowOffset(y); }
    uint8_t* Bits() { return m_pixels.data(); }
    uint32_t Read(int x, int y) const;
    void Write(int x, int y, uint32_t value);
    // Grows the screen's damage rectangle when this bitmap is the screen.
    void Touch(const RECT& rect) {
        if (!isScreen || rect.left >= rect.right || rect.top >= rect.bottom)
            return;
        if (!damage) {
            damage = rect;
            return;
        }
        damage->left = std::min(damage->left, rect.left);
        damage->top = std::min(damage->top, rect.top);
        damage->right = std::max(damage->right, rect.right);
        damage->bottom = std::max(damage->bottom, rect.bottom);
    }
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
    static constexpr DWORD kType = OBJ_BRUSH;
    BrushObject() : GdiObject(kType) {}
    COLORREF color = 0;
    bool hollow = false;
};

class PenObject final : public GdiObject {
public:
    static constexpr DWORD kType = OBJ_PEN;
    PenObject() : GdiObject(kType) {}
    int style = PS_SOLID;
    int width = 1;
    COLORREF color = 0;
};

class FontObject final : public GdiObject {
public:
    static constexpr DWORD kType = OBJ_FONT;
    FontObject() : GdiObject(kType) {}
    // The FreeType font that renders it, made on first use; null when no font file can be loaded.
    // Realised fonts are never freed, so the pointer stays valid.
    RealizedFont* Realized();

    LOGFONTW logFont{};

private:
    std::once_flag m_realizeOnce;
    std::atomic<bool> m_realizedReady = false;
    std::shared_ptr<RealizedFont> m_realized;
};

class RegionObject final : public GdiObject {
public:
    static constexpr DWORD kType = OBJ_REGION;
    RegionObject() : GdiObject(kType) {}
    Region region;
};

// Conversions between the handle types, which all stand for entries of one table.
template <typename To, typename From>
To HandleAs(From handle) {
    return reinterpret_cast<To>(handle);
}
template <typename To, typename From>
To HandleAs(const std::atomic<From>& handle) {
    return reinterpret_cast<To>(handle.load());
}

// Handle table. Handle values are never reused. Each thread remembers the objects it found last, so
// that the calls of one paint find their DC, brushes and fonts without taking the lock or counting
// references.
HGDIOBJ InsertObject(std::shared_ptr<GdiObject> object);
// The object of a handle. What it returns may hold no reference of its own: it is good until the calling
// API function returns, and is never kept beyond that; FindObjectShared gives one to keep.
std::shared_ptr<GdiObject> FindObject(HGDIOBJ handle);
std::shared_ptr<GdiObject> FindObjectShared(HGDIOBJ handle);
template <typename T, typename Handle>
std::shared_ptr<T> FindObjectAs(Handle handle) {
    auto object = FindObject(reinterpret_cast<HGDIOBJ>(handle));
    if (!object || object->Type() != T::kType)
        return nullptr;
    return std::static_pointer_cast<T>(std::move(object));
}
bool RemoveObject(HGDIOBJ handle);
// Takes an object out of the table like RemoveObject but keeps the object and its table entry, so that
// RecycleObject can enter it again under a new handle without allocating; for objects made and deleted
// all the time (the DCs of paints). False when the handle is unknown.
bool RetireObject(HGDIOBJ handle);
// A retired object of the type, entered under a new handle; null when none is kept. The caller sets it up
// as new while it holds ObjectLock.
std::shared_ptr<GdiObject> RecycleObject(DWORD type);

// Stock objects, made on first use and never deleted (so the reference stays valid); null for an unknown
// index.
const std::shared_ptr<GdiObject>& StockObject(int index);
// The 1 x 1 monochrome bitmap that a new memory DC holds.
const std::shared_ptr<BitmapObject>& DefaultBitmap();

} // namespace gdi
