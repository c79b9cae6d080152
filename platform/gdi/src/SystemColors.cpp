// The system colours: the handheld's default scheme, white windows and dialogs with black text, grey
// buttons and a dark blue selection.

#include <array>
#include <atomic>
#include <memory>

#include "Objects.h"
#include "SystemColors.h"
#include "kernel/Errors.h"

namespace {

constexpr std::array<COLORREF, gdi::kSystemColorCount> kDefaultColors = {
    RGB(192, 192, 192), // COLOR_SCROLLBAR
    RGB(0, 128, 128),   // COLOR_BACKGROUND
    RGB(0, 0, 128),     // COLOR_ACTIVECAPTION
    RGB(128, 128, 128), // COLOR_INACTIVECAPTION
    RGB(255, 255, 255), // COLOR_MENU
    RGB(255, 255, 255), // COLOR_WINDOW
    RGB(0, 0, 0),       // COLOR_WINDOWFRAME
    RGB(0, 0, 0),       // COLOR_MENUTEXT
    RGB(0, 0, 0),       // COLOR_WINDOWTEXT
    RGB(255, 255, 255), // COLOR_CAPTIONTEXT
    RGB(192, 192, 192), // COLOR_ACTIVEBORDER
    RGB(192, 192, 192), // COLOR_INACTIVEBORDER
    RGB(128, 128, 128), // COLOR_APPWORKSPACE
    RGB(0, 0, 128),     // COLOR_HIGHLIGHT
    RGB(255, 255, 255), // COLOR_HIGHLIGHTTEXT
    RGB(192, 192, 192), // COLOR_BTNFACE
    RGB(128, 128, 128), // COLOR_BTNSHADOW
    RGB(128, 128, 128), // COLOR_GRAYTEXT
    RGB(0, 0, 0),       // COLOR_BTNTEXT
    RGB(192, 192, 192), // COLOR_INACTIVECAPTIONTEXT
    RGB(255, 255, 255), // COLOR_BTNHIGHLIGHT
    RGB(0, 0, 0),       // COLOR_3DDKSHADOW
    RGB(224, 224, 224), // COLOR_3DLIGHT
    RGB(0, 0, 0),       // COLOR_INFOTEXT
    RGB(255, 255, 225), // COLOR_INFOBK
    RGB(255, 255, 255), // COLOR_STATIC
    RGB(0, 0, 0),       // COLOR_STATICTEXT
    RGB(16, 132, 208),  // COLOR_GRADIENTACTIVECAPTION
    RGB(181, 181, 181), // COLOR_GRADIENTINACTIVECAPTION
};

int IndexOf(int index) {
    return index & ~SYS_COLOR_INDEX_FLAG;
}

} // namespace

DWORD GetSysColor(int index) {
    int i = IndexOf(index);
    if (i < 0 || static_cast<size_t>(i) >= kDefaultColors.size())
        return 0;
    return kDefaultColors[static_cast<size_t>(i)];
}

HBRUSH GetSysColorBrush(int index) {
    int i = IndexOf(index);
    if (i < 0 || static_cast<size_t>(i) >= kDefaultColors.size())
        return kernel::Fail(ERROR_INVALID_PARAMETER, static_cast<HBRUSH>(nullptr));
    static std::array<std::shared_ptr<gdi::BrushObject>, gdi::kSystemColorCount> brushes;
    // The handle of each brush once it is made; read without the lock after that.
    static std::array<std::atomic<HBRUSH>, gdi::kSystemColorCount> handles;
    if (HBRUSH made = handles[static_cast<size_t>(i)].load(std::memory_order_acquire))
        return made;
    std::lock_guard guard(gdi::ObjectLock());
    auto& brush = brushes[static_cast<size_t>(i)];
    if (!brush) {
        brush = std::make_shared<gdi::BrushObject>();
        brush->color = kDefaultColors[static_cast<size_t>(i)];
        brush->stock = true;
        gdi::InsertObject(brush);
        handles[static_cast<size_t>(i)].store(gdi::HandleAs<HBRUSH>(brush->handle), std::memory_order_release);
    }
    return gdi::HandleAs<HBRUSH>(brush->handle);
}
