// Image lists: equal-sized images, each with a monochrome mask when the list is masked. Each image is
// kept as its own pair of bitmaps; the list owns them and deletes them with itself.

#include <algorithm>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "Internal.h"
#include "kernel/Errors.h"

struct HIMAGELIST__ {
    struct Image {
        HBITMAP color = nullptr;
        HBITMAP mask = nullptr;
    };
    int cx = 0;
    int cy = 0;
    UINT flags = 0;
    COLORREF background = CLR_NONE;
    std::vector<Image> images;

    bool Masked() const { return (flags & ILC_MASK) != 0; }
};

namespace {

struct Registry {
    std::mutex lock;
    std::unordered_set<HIMAGELIST> lists;
};

Registry& Lists() {
    static Registry* registry = new Registry;
    return *registry;
}

// The list behind a handle that ImageList_Create made and ImageList_Destroy has not destroyed.
HIMAGELIST Checked(HIMAGELIST himl) {
    Registry& registry = Lists();
    std::lock_guard guard(registry.lock);
    if (!himl || !registry.lists.contains(himl)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return himl;
}

// A memory DC with one bitmap selected for a scope.
class MemoryDc {
public:
    explicit MemoryDc(HBITMAP bitmap) : m_dc(CreateCompatibleDC(nullptr)) {
        if (m_dc && bitmap)
            m_previous = SelectObject(m_dc, bitmap);
    }
    ~MemoryDc() {
        if (!m_dc)
            return;
        if (m_previous)
            SelectObject(m_dc, m_previous);
        DeleteDC(m_dc);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    // False when the DC could not be made or the bitmap not selected (it is selected elsewhere).
    bool Ready() const { return m_dc && m_previous; }
    operator HDC() const { return m_dc; }

private:
    HDC m_dc;
    HGDIOBJ m_previous = nullptr;
};

// Keeps a DC's text and background colours over a scope.
class SavedColors {
public:
    explicit SavedColors(HDC dc) : m_dc(dc), m_text(GetTextColor(dc)), m_background(GetBkColor(dc)) {}
    ~SavedColors() {
        SetTextColor(m_dc, m_text);
        SetBkColor(m_dc, m_background);
    }
    SavedColors(const SavedColors&) = delete;
    SavedColors& operator=(const SavedColors&) = delete;

private:
    HDC m_dc;
    COLORREF m_text;
    COLORREF m_background;
};

void FreeImage(HIMAGELIST__::Image& image) {
    if (image.color)
        DeleteObject(image.color);
    if (image.mask)
        DeleteObject(image.mask);
    image = {};
}

enum class MaskSource { None, Bitmap, Color };

// Copies the images of a strip into the list; the index of the first, -1 when nothing could be added.
int AddStrip(HIMAGELIST list, HBITMAP strip, MaskSource maskSource, HBITMAP maskBitmap, COLORREF maskColor) {
    BITMAP info{};
    if (!strip || GetObjectW(strip, sizeof info, &info) == 0)
        return kernel::Fail(ERROR_INVALID_PARAMETER, -1);
    int count = std::max(1, static_cast<int>(info.bmWidth) / list->cx);
    MemoryDc source(strip);
    if (!source.Ready())
        return kernel::Fail(ERROR_INVALID_PARAMETER, -1);
    int first = static_cast<int>(list->images.size());
    for (int i = 0; i < count; ++i) {
        HIMAGELIST__::Image image;
        image.color = CreateBitmap(list->cx, list->cy, 1, 16, nullptr);
        if (!image.color)
            break;
        MemoryDc color(image.color);
        if (!color.Ready()) {
            FreeImage(image);
            break;
        }
        BitBlt(color, 0, 0, list->cx, list->cy, source, i * list->cx, 0, SRCCOPY);
        if (list->Masked()) {
            image.mask = CreateBitmap(list->cx, list->cy, 1, 1, nullptr);
            MemoryDc mask(image.mask);
            if (!image.mask || !mask.Ready()) {
                FreeImage(image);
                break;
            }
            if (maskSource == MaskSource::Bitmap && maskBitmap) {
                MemoryDc givenMask(maskBitmap);
                if (givenMask.Ready())
                    BitBlt(mask, 0, 0, list->cx, list->cy, givenMask, i * list->cx, 0, SRCCOPY);
                else
                    PatBlt(mask, 0, 0, list->cx, list->cy, BLACKNESS);
            } else if (maskSource == MaskSource::Color) {
                // Pixels of the mask colour turn white in the mask and black in the image.
                COLORREF previous = SetBkColor(source, maskColor);
                BitBlt(mask, 0, 0, list->cx, list->cy, source, i * list->cx, 0, SRCCOPY);
                SetBkColor(source, previous);
                SavedColors saved(color);
                SetTextColor(color, RGB(255, 255, 255));
                SetBkColor(color, RGB(0, 0, 0));
                BitBlt(color, 0, 0, list->cx, list->cy, mask, 0, 0, SRCAND);
            } else {
                PatBlt(mask, 0, 0, list->cx, list->cy, BLACKNESS);
            }
        }
        list->images.push_back(image);
    }
    return static_cast<int>(list->images.size()) > first ? first : -1;
}

// Every other opaque pixel takes the highlight colour.
void Blend(HIMAGELIST list, const HIMAGELIST__::Image& image, HDC target, int x, int y) {
    COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    MemoryDc mask(image.mask);
    for (int row = 0; row < list->cy; ++row)
        for (int column = (row & 1); column < list->cx; column += 2) {
            bool transparent = image.mask && mask.Ready() && GetPixel(mask, column, row) != RGB(0, 0, 0);
            if (!transparent)
                SetPixel(target, x + column, y + row, highlight);
        }
}

} // namespace

HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int, int) {
    if (cx <= 0 || cy <= 0)
        return kernel::Fail(ERROR_INVALID_PARAMETER, HIMAGELIST{nullptr});
    auto* list = new HIMAGELIST__;
    list->cx = cx;
    list->cy = cy;
    list->flags = flags;
    Registry& registry = Lists();
    std::lock_guard guard(registry.lock);
    registry.lists.insert(list);
    return list;
}

BOOL ImageList_Destroy(HIMAGELIST himl) {
    {
        Registry& registry = Lists();
        std::lock_guard guard(registry.lock);
        if (!himl || registry.lists.erase(himl) == 0)
            return kernel::Fail(ERROR_INVALID_HANDLE, FALSE);
    }
    for (auto& image : himl->images)
        FreeImage(image);
    delete himl;
    return TRUE;
}

int ImageList_Add(HIMAGELIST himl, HBITMAP hbmImage, HBITMAP hbmMask) {
    HIMAGELIST list = Checked(himl);
    if (!list)
        return -1;
    return AddStrip(list, hbmImage, hbmMask ? MaskSource::Bitmap : MaskSource::None, hbmMask, 0);
}

int ImageList_AddMasked(HIMAGELIST himl, HBITMAP hbmImage, COLORREF crMask) {
    HIMAGELIST list = Checked(himl);
    if (!list)
        return -1;
    return AddStrip(list, hbmImage, MaskSource::Color, nullptr, crMask);
}

BOOL ImageList_Draw(HIMAGELIST himl, int i, HDC hdcDst, int x, int y, UINT fStyle) {
    HIMAGELIST list = Checked(himl);
    if (!list)
        return FALSE;
    if (i < 0 || i >= static_cast<int>(list->images.size()) || !hdcDst)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    const HIMAGELIST__::Image& image = list->images[static_cast<size_t>(i)];
    SavedColors saved(hdcDst);
    // A monochrome source reaches a colour DC as the text colour for black and the background for white.
    SetTextColor(hdcDst, RGB(0, 0, 0));
    SetBkColor(hdcDst, RGB(255, 255, 255));
    if (fStyle & ILD_MASK) {
        if (!image.mask)
            return PatBlt(hdcDst, x, y, list->cx, list->cy, BLACKNESS);
        MemoryDc mask(image.mask);
        return BitBlt(hdcDst, x, y, list->cx, list->cy, mask, 0, 0, SRCCOPY);
    }
    MemoryDc color(image.color);
    if (!color.Ready())
        return FALSE;
    if (!image.mask) {
        BitBlt(hdcDst, x, y, list->cx, list->cy, color, 0, 0, SRCCOPY);
    } else {
        if (!(fStyle & ILD_TRANSPARENT) && list->background != CLR_NONE) {
            RECT cell{x, y, x + list->cx, y + list->cy};
            gdi::FillSolid(hdcDst, cell, list->background);
        }
        MemoryDc mask(image.mask);
        BitBlt(hdcDst, x, y, list->cx, list->cy, mask, 0, 0, SRCAND);
        BitBlt(hdcDst, x, y, list->cx, list->cy, color, 0, 0, SRCPAINT);
    }
    if (fStyle & (ILD_BLEND25 | ILD_BLEND50))
        Blend(list, image, hdcDst, x, y);
    return TRUE;
}

int ImageList_GetImageCount(HIMAGELIST himl) {
    HIMAGELIST list = Checked(himl);
    return list ? static_cast<int>(list->images.size()) : 0;
}

BOOL ImageList_GetIconSize(HIMAGELIST himl, int* cx, int* cy) {
    HIMAGELIST list = Checked(himl);
    if (!list || !cx || !cy)
        return FALSE;
    *cx = list->cx;
    *cy = list->cy;
    return TRUE;
}

BOOL ImageList_Remove(HIMAGELIST himl, int i) {
    HIMAGELIST list = Checked(himl);
    if (!list)
        return FALSE;
    if (i == -1) {
        for (auto& image : list->images)
            FreeImage(image);
        list->images.clear();
        return TRUE;
    }
    if (i < 0 || i >= static_cast<int>(list->images.size()))
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    FreeImage(list->images[static_cast<size_t>(i)]);
    list->images.erase(list->images.begin() + i);
    return TRUE;
}

COLORREF ImageList_SetBkColor(HIMAGELIST himl, COLORREF clrBk) {
    HIMAGELIST list = Checked(himl);
    if (!list)
        return CLR_NONE;
    COLORREF old = list->background;
    list->background = clrBk;
    return old;
}

COLORREF ImageList_GetBkColor(HIMAGELIST himl) {
    HIMAGELIST list = Checked(himl);
    return list ? list->background : CLR_NONE;
}
