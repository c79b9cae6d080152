#include "SystemIcons.h"

#include <map>
#include <optional>
#include <vector>

#include "commctrl/CommCtrl.h"
#include "crt/Crt.h"
#include "kernel/Modules.h"
#include "shell/FileInfo.h"
#include "user/Icon.h"
#include "user/User.h"

namespace shell::detail {

namespace {

constexpr int kSmall = 16;
constexpr int kLarge = 32;

struct IconPair {
    HICON small = nullptr;
    HICON large = nullptr;
};

struct SystemList {
    std::vector<IconPair> icons;
    std::map<std::u16string, int> types; // DefaultIcon value, folded to lower case -> index
    // The image lists, made when first asked for and kept in step with the icons.
    HIMAGELIST smallImages = nullptr;
    HIMAGELIST largeImages = nullptr;
};

// Draws a built-in icon: colour(x, y) in a side x side square, 0xFF000000 where transparent.
template <typename Picture>
HICON MakeIcon(int side, Picture picture) {
    std::vector<uint32_t> pixels(static_cast<size_t>(side) * side);
    size_t maskStride = (static_cast<size_t>(side) + 15) / 16 * 2;
    std::vector<BYTE> mask(maskStride * side, 0);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            uint32_t colour = picture(x * 16 / side, y * 16 / side);
            if (colour == 0xFF000000)
                mask[maskStride * y + x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
            else
                pixels[static_cast<size_t>(y) * side + x] = colour;
        }
    }
    return CreateIcon(nullptr, side, side, 1, 32, mask.data(), reinterpret_cast<const BYTE*>(pixels.data()));
}

// A sheet of paper with a folded corner, on a 16 x 16 grid.
uint32_t FilePicture(int x, int y) {
    if (x < 3 || x > 12 || y < 1 || y > 14)
        return 0xFF000000;
    bool corner = x - 9 > y - 1;
    if (corner)
        return x - 9 == y ? 0x00606060 : 0xFF000000;
    bool edge = x == 3 || x == 12 || y == 1 || y == 14 || x - 9 == y - 1;
    return edge ? 0x00606060 : 0x00FFFFFF;
}

// A yellow folder with a tab.
uint32_t FolderPicture(int x, int y) {
    if (x < 1 || x > 14 || y < 3 || y > 13)
        return 0xFF000000;
    if (y < 5 && x > 6)
        return 0xFF000000;
    bool edge = x == 1 || x == 14 || y == 13 || y == 3 || (y == 5 && x > 6) || (y < 5 && x == 6);
    return edge ? 0x00806000 : 0x00F0D050;
}

SystemList& List() {
    static SystemList* list = [] {
        auto* made = new SystemList;
        made->icons.push_back({MakeIcon(kSmall, FilePicture), MakeIcon(kLarge, FilePicture)});
        made->icons.push_back({MakeIcon(kSmall, FolderPicture), MakeIcon(kLarge, FolderPicture)});
        return made;
    }();
    return *list;
}

// The module that a DefaultIcon path names, when this process has it: the program or a loaded library.
std::optional<HMODULE> ModuleOf(const std::u16string& path) {
    if (_wcsicmp(path.c_str(), kernel::ProgramDevicePath().c_str()) == 0)
        return static_cast<HMODULE>(nullptr);
    if (HMODULE module = GetModuleHandleW(path.c_str()))
        return module;
    return std::nullopt;
}

// Adds an icon to an image list: its picture, and its mask read back into a monochrome bitmap.
void AddToImageList(HIMAGELIST images, HICON icon, int side) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP picture = CreateCompatibleBitmap(screen, side, side);
    ReleaseDC(nullptr, screen);
    HGDIOBJ previous = SelectObject(dc, picture);
    DrawIconEx(dc, 0, 0, icon, side, side, 0, nullptr, DI_MASK);
    size_t stride = (static_cast<size_t>(side) + 15) / 16 * 2;
    std::vector<BYTE> maskBits(stride * side, 0);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            if (GetPixel(dc, x, y) == RGB(255, 255, 255))
                maskBits[stride * y + x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
    DrawIconEx(dc, 0, 0, icon, side, side, 0, nullptr, DI_IMAGE);
    SelectObject(dc, previous);
    DeleteDC(dc);
    HBITMAP mask = CreateBitmap(side, side, 1, 1, maskBits.data());
    ImageList_Add(images, picture, mask);
    DeleteObject(mask);
    DeleteObject(picture);
}

void Append(SystemList& list, const IconPair& pair) {
    list.icons.push_back(pair);
    if (list.smallImages)
        AddToImageList(list.smallImages, pair.small, kSmall);
    if (list.largeImages)
        AddToImageList(list.largeImages, pair.large, kLarge);
}

std::u16string Folded(const std::u16string& text) {
    std::u16string folded = text;
    for (char16_t& c : folded)
        c = ToLowerW(c);
    return folded;
}

} // namespace

int TypeIconIndex(const std::u16string& defaultIcon) {
    SystemList& list = List();
    std::u16string key = Folded(defaultIcon);
    if (auto known = list.types.find(key); known != list.types.end())
        return known->second;
    size_t comma = defaultIcon.rfind(u',');
    if (comma == std::u16string::npos || comma + 2 >= defaultIcon.size() || defaultIcon[comma + 1] != u'-')
        return kFileIconIndex;
    std::u16string module = defaultIcon.substr(0, comma);
    while (!module.empty() && module.back() == u' ')
        module.pop_back();
    long id = _wtol(defaultIcon.c_str() + comma + 2);
    if (id <= 0 || id > 0xFFFF)
        return kFileIconIndex;
    std::optional<HMODULE> holder = ModuleOf(module);
    if (!holder)
        return kFileIconIndex;
    LPCWSTR name = MAKEINTRESOURCE(static_cast<WORD>(id));
    IconPair pair{static_cast<HICON>(LoadImageW(*holder, name, IMAGE_ICON, kSmall, kSmall, 0)),
                  static_cast<HICON>(LoadImageW(*holder, name, IMAGE_ICON, kLarge, kLarge, 0))};
    if (!pair.small || !pair.large) {
        if (pair.small)
            DestroyIcon(pair.small);
        if (pair.large)
            DestroyIcon(pair.large);
        return kFileIconIndex;
    }
    Append(list, pair);
    int index = static_cast<int>(list.icons.size()) - 1;
    list.types.emplace(key, index);
    return index;
}

HIMAGELIST SystemImageList(bool small) {
    SystemList& list = List();
    HIMAGELIST& images = small ? list.smallImages : list.largeImages;
    if (images)
        return images;
    int side = small ? kSmall : kLarge;
    images = ImageList_Create(side, side, ILC_COLOR16 | ILC_MASK, static_cast<int>(list.icons.size()), 4);
    if (!images)
        return nullptr;
    for (const IconPair& pair : list.icons)
        AddToImageList(images, small ? pair.small : pair.large, side);
    return images;
}

} // namespace shell::detail

namespace shell {

HICON SystemIcon(int index, bool small) {
    detail::SystemList& list = detail::List();
    if (index < 0 || static_cast<size_t>(index) >= list.icons.size())
        return nullptr;
    return small ? list.icons[static_cast<size_t>(index)].small
                 : list.icons[static_cast<size_t>(index)].large;
}

int SystemIconCount() {
    return static_cast<int>(detail::List().icons.size());
}

} // namespace shell
