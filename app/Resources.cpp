// The main program's resources: dialog templates, menus and strings as tables in the platform's formats.

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "Resource.h"
#include "classlib/Controls.h"
#include "commctrl/CommCtrl.h"
#include "gdi/Gdi.h"
#include "kernel/Resources.h"
#include "kernel/Version.h"
#include "user/Controls.h"
#include "user/DialogTemplate.h"
#include "user/Menu.h"

namespace {

// The about box: every control comes from its skin.
const user::DialogTemplateBytes
    kAbout({WS_POPUP | WS_CAPTION, 0, 0, 0, 127, 97, u"About", 8, u"MS Shell Dlg"}, {});

// The skinned message box: a bordered popup whose controls come from its skin.
const user::DialogTemplateBytes
    kMessageBox({WS_POPUP | WS_BORDER, 0, 0, 0, 140, 80, nullptr, 8, u"MS Shell Dlg"}, {});

// The auto-mount password dialog: the password box is the template's, at about (15, 59) to (195, 78) in
// pixels; the rest comes from the skin.
const user::DialogItem kAmountItems[] = {
    {user::kEditClass, u"", IDC_AMOUNT_PASSWORD, 10, 36, 120, 12,
     WS_BORDER | WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL},
};
const user::DialogTemplateBytes
    kAmount({WS_POPUP | WS_BORDER, 0, 0, 0, 140, 100, nullptr, 8, u"MS Shell Dlg"}, kAmountItems);

// The splash screen's window: its image gives it its size.
const user::DialogTemplateBytes
    kSplash({WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 0, 186, 95, u"Dialog", 8, u"MS Shell Dlg"}, {});

// The file chooser.
constexpr WORD kNoId = 0xFFFF;
const user::DialogItem kFileDialogItems[] = {
    {user::kStaticClass, u"Static", IDC_FILE_TITLE, 6, 3, 102, 12,
     SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | WS_GROUP},
    {user::kButtonClass, u"Cancel", IDCANCEL, 114, 1, 44, 14, WS_TABSTOP},
    {user::kStaticClass, u"Name:", kNoId, 6, 19, 22, 8, WS_GROUP},
    {user::kStaticClass, u"Type:", kNoId, 6, 34, 20, 8, WS_GROUP},
    {user::kEditClass, u"", IDC_FILE_NAME, 30, 17, 126, 14, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL},
    {user::kComboBoxClass, u"", IDC_FILE_TYPE, 30, 32, 126, 30, CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP},
    {user::kEditClass, u"", IDC_FILE_FOLDER, 6, 47, 150, 12,
     WS_BORDER | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL},
    {WC_LISTVIEW, u"", IDC_FILE_LIST, 6, 60, 150, 104,
     WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHAREIMAGELISTS | LVS_ALIGNLEFT},
};
const user::DialogTemplateBytes kFileDialog({WS_POPUP | WS_CAPTION, 0, 0, 0, 160, 167, u"File dialog...", 8,
                                             u"MS Shell Dlg"},
                                            kFileDialogItems);

// The file chooser's command bar: one 16 x 15 button, up one folder.
const WORD kFileDialogBar[] = {1, 16, 15, 1, ID_FILE_UP};

// Its image, a folder with an arrow pointing up, as a packed 24-bit DIB; the bar's grey shows through.
std::vector<uint8_t> UpFolderImage() {
    static const char* const kArt[15] = {
        "................", "...........#....", "..........###...", ".........#####..", "...........#....",
        ".####......#....", "#yyyy#.....#....", "#yyyyy######....", "#yyyyyyyyyyy#...", "#yyyyyyyyyyy#...",
        "#yyyyyyyyyyy#...", "#yyyyyyyyyyy#...", "#yyyyyyyyyyy#...", "#############...", "................",
    };
    constexpr int kWidth = 16, kHeight = 15, kStride = (kWidth * 3 + 3) / 4 * 4;
    std::vector<uint8_t> bytes(sizeof(BITMAPINFOHEADER) + kStride * kHeight);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = kWidth;
    header.biHeight = kHeight;
    header.biPlanes = 1;
    header.biBitCount = 24;
    std::memcpy(bytes.data(), &header, sizeof header);
    for (int y = 0; y < kHeight; ++y) {
        // Rows are stored bottom first; each pixel as blue, green, red.
        uint8_t* row = bytes.data() + sizeof header + (kHeight - 1 - y) * kStride;
        for (int x = 0; x < kWidth; ++x) {
            const char c = kArt[y][x];
            const uint8_t red = c == '#' ? 0 : c == 'y' ? 255 : 192;
            const uint8_t green = c == '#' ? 0 : c == 'y' ? 208 : 192;
            const uint8_t blue = c == '#' ? 0 : c == 'y' ? 64 : 192;
            row[x * 3] = blue;
            row[x * 3 + 1] = green;
            row[x * 3 + 2] = red;
        }
    }
    return bytes;
}
const std::vector<uint8_t> kFileDialogBarImage = UpFolderImage();

// The container operation dialog, never shown: the path, size, password and folder edits and the size
// spin.
const user::DialogItem kContainerItems[] = {
    {user::kEditClass, u"", IDC_CONTAINER_PATH, 6, 6, 120, 12, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL},
    {user::kEditClass, u"", IDC_CONTAINER_SIZE, 6, 22, 60, 12,
     WS_BORDER | WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL},
    {UPDOWN_CLASS, u"", IDC_CONTAINER_SPIN, 66, 22, 20, 12,
     UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_HORZ | UDS_NOTHOUSANDS},
    {user::kEditClass, u"", IDC_CONTAINER_PASSWORD, 6, 38, 120, 12,
     WS_BORDER | WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL},
    {user::kEditClass, u"", IDC_CONTAINER_FOLDER, 6, 54, 120, 12, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL},
};
const user::DialogTemplateBytes kContainer({WS_POPUP | WS_CAPTION, 0, 0, 0, 140, 80, u"", 8, u"MS Shell Dlg"},
                                           kContainerItems);

// The main dialog: an empty popup that its skin fills and sizes.
const user::DialogTemplateBytes kMain({WS_POPUP, 0, 0, 0, 160, 213, u"", 8, u"MS Shell Dlg"}, {});

// The folder list's context menu.
const user::MenuEntry kFolderMenuEntries[] = {
    {0, 0, 0, u""},
    {1, 0, ID_FOLDER_EXPLORE, u"Explore..."},
    {1, MF_SEPARATOR, 0, nullptr},
    {1, MF_CHECKED, ID_FOLDER_AUTOMOUNT, u"Automount"},
    {1, MF_SEPARATOR, 0, nullptr},
    {1, 0, ID_FOLDER_CLOSE, u"Close"},
};
const user::MenuTemplateBytes kFolderMenu(kFolderMenuEntries);

// The program's icons, a padlock on a coloured disc (the program, its tray icon) or on a sheet of paper
// (its container files), as a 32 x 32 image of 32 bits an icon holds and the group directory that names it.
void Put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

constexpr int kIconSide = 32;
constexpr COLORREF kPadlockColour = RGB(0x30, 0x30, 0x30);

// What a pixel (top-down) of an icon shows; not opaque where the icon is transparent.
struct IconPixel {
    COLORREF colour = 0;
    bool opaque = false;
};

// The padlock's body with its keyhole and its shackle, over what lies behind it.
IconPixel WithPadlock(int x, int y, IconPixel behind) {
    const bool body = x >= 9 && x <= 22 && y >= 14 && y <= 25;
    const bool shackle =
        y >= 6 && y < 14 && ((x >= 11 && x <= 12) || (x >= 19 && x <= 20) || (y <= 7 && x >= 11 && x <= 20));
    if (body && x >= 15 && x <= 16 && y >= 18 && y <= 21)
        return behind;
    if (body || shackle)
        return {kPadlockColour, true};
    return behind;
}

IconPixel PadlockOnDisc(int x, int y, COLORREF disc) {
    const int dx = 2 * x + 1 - kIconSide, dy = 2 * y + 1 - kIconSide;
    if (dx * dx + dy * dy > kIconSide * kIconSide)
        return {};
    return WithPadlock(x, y, {disc, true});
}

// A white sheet with a grey edge and its top-right corner folded, under the padlock.
IconPixel PadlockOnSheet(int x, int y) {
    if (x < 4 || x > 27 || y < 1 || y > 30)
        return {};
    const int corner = x - 20; // the fold runs from (20, 1) to (27, 8)
    if (corner > y - 1)
        return {};
    const COLORREF edge = RGB(0x60, 0x60, 0x60);
    const bool onEdge = x == 4 || x == 27 || y == 1 || y == 30 || corner == y - 1 || (x == 20 && y <= 8) ||
                        (y == 8 && x >= 20);
    return WithPadlock(x, y, {onEdge ? edge : RGB(0xFF, 0xFF, 0xFF), true});
}

template <typename Picture>
std::vector<uint8_t> IconImage(Picture pixel) {
    std::vector<uint8_t> out;
    Put32(out, 40);
    Put32(out, kIconSide);
    Put32(out, kIconSide * 2); // image and mask
    Put16(out, 1);
    Put16(out, 32);
    for (int i = 0; i < 6; ++i)
        Put32(out, 0);
    for (int y = kIconSide - 1; y >= 0; --y)
        for (int x = 0; x < kIconSide; ++x) {
            const IconPixel shown = pixel(x, y);
            out.push_back(GetBValue(shown.colour));
            out.push_back(GetGValue(shown.colour));
            out.push_back(GetRValue(shown.colour));
            out.push_back(shown.opaque ? 255 : 0);
        }
    // The AND mask, rows of whole 32-bit words: 1 where transparent.
    for (int y = kIconSide - 1; y >= 0; --y) {
        uint32_t row = 0;
        for (int x = 0; x < kIconSide; ++x)
            if (!pixel(x, y).opaque)
                row |= 0x80000000u >> x;
        out.push_back(static_cast<uint8_t>(row >> 24));
        out.push_back(static_cast<uint8_t>(row >> 16));
        out.push_back(static_cast<uint8_t>(row >> 8));
        out.push_back(static_cast<uint8_t>(row));
    }
    return out;
}

std::vector<uint8_t> PadlockIconImage(COLORREF disc) {
    return IconImage([disc](int x, int y) { return PadlockOnDisc(x, y, disc); });
}

std::vector<uint8_t> IconGroup(const std::vector<uint8_t>& image, uint16_t imageId) {
    std::vector<uint8_t> out;
    Put16(out, 0); // reserved
    Put16(out, 1); // icons
    Put16(out, 1); // one image
    out.push_back(kIconSide);
    out.push_back(kIconSide);
    out.push_back(0); // colour count
    out.push_back(0);
    Put16(out, 1);  // planes
    Put16(out, 32); // bits
    Put32(out, static_cast<uint32_t>(image.size()));
    Put16(out, imageId);
    return out;
}

constexpr uint16_t kMainIconImage = 1;
constexpr uint16_t kTrayIconImage = 2;
constexpr uint16_t kContainerIconImage = 3;
const std::vector<uint8_t> kMainIconBits = PadlockIconImage(RGB(0x1F, 0x6F, 0x8B));
const std::vector<uint8_t> kTrayIconBits = PadlockIconImage(RGB(0xE0, 0xB0, 0x30));
const std::vector<uint8_t> kContainerIconBits = IconImage(PadlockOnSheet);
const std::vector<uint8_t> kMainIconGroup = IconGroup(kMainIconBits, kMainIconImage);
const std::vector<uint8_t> kTrayIconGroup = IconGroup(kTrayIconBits, kTrayIconImage);
const std::vector<uint8_t> kContainerIconGroup = IconGroup(kContainerIconBits, kContainerIconImage);

// The program's version resource, in US English with the Windows Latin 1 code page.
VS_FIXEDFILEINFO ProgramFixedVersion() {
    VS_FIXEDFILEINFO fixed{};
    fixed.dwSignature = VS_FFI_SIGNATURE;
    fixed.dwStrucVersion = VS_FFI_STRUCVERSION;
    fixed.dwFileVersionMS = 0x00010000;
    fixed.dwProductVersionMS = 0x00010000;
    fixed.dwFileOS = 0x00050004;   // the handheld's OS on its 32-bit windows
    fixed.dwFileType = 0x00000001; // an application
    return fixed;
}
const kernel::VersionResourceBytes kVersion(ProgramFixedVersion(), u"040904E4",
                                            {{u"FileDescription", u"FerrovaneEx"},
                                             {u"FileVersion", u"1, 0, 0, 0"},
                                             {u"ProductName", u"Ferrovane"},
                                             {u"ProductVersion", u"1, 0, 0, 0"}});

// The string block of ids 57344 to 57359: a unit count and the units for each, the application's name first.
constexpr char16_t kAppNameBlock[] = {11,   u'F', u'e', u'r', u'r', u'o', u'v', u'a', u'n',
                                      u'e', u'E', u'x', 0,    0,    0,    0,    0,    0,
                                      0,    0,    0,    0,    0,    0,    0,    0,    0};

const kernel::ResourceEntry kResources[] = {
    {RT_STRING, MAKEINTRESOURCE(IDS_APP_NAME / 16 + 1), kAppNameBlock, sizeof kAppNameBlock},
    {RT_DIALOG, MAKEINTRESOURCE(IDD_MAIN), kMain.Data(), kMain.Size()},
    {RT_MENU, MAKEINTRESOURCE(IDR_FOLDER_MENU), kFolderMenu.Data(), kFolderMenu.Size()},
    {RT_ICON, MAKEINTRESOURCE(kMainIconImage), kMainIconBits.data(), kMainIconBits.size()},
    {RT_ICON, MAKEINTRESOURCE(kTrayIconImage), kTrayIconBits.data(), kTrayIconBits.size()},
    {RT_GROUP_ICON, MAKEINTRESOURCE(IDR_MAINFRAME), kMainIconGroup.data(), kMainIconGroup.size()},
    {RT_GROUP_ICON, MAKEINTRESOURCE(IDI_TRAY), kTrayIconGroup.data(), kTrayIconGroup.size()},
    {RT_ICON, MAKEINTRESOURCE(kContainerIconImage), kContainerIconBits.data(), kContainerIconBits.size()},
    {RT_GROUP_ICON, MAKEINTRESOURCE(IDI_CONTAINER_FILE), kContainerIconGroup.data(),
     kContainerIconGroup.size()},
    {RT_DIALOG, MAKEINTRESOURCE(IDD_ABOUT), kAbout.Data(), kAbout.Size()},
    {RT_DIALOG, MAKEINTRESOURCE(IDD_MESSAGE_BOX), kMessageBox.Data(), kMessageBox.Size()},
    {RT_DIALOG, MAKEINTRESOURCE(IDD_AMOUNT), kAmount.Data(), kAmount.Size()},
    {RT_DIALOG, MAKEINTRESOURCE(IDD_CONTAINER), kContainer.Data(), kContainer.Size()},
    {RT_DIALOG, MAKEINTRESOURCE(IDD_SPLASH), kSplash.Data(), kSplash.Size()},
    {RT_DIALOG, MAKEINTRESOURCE(IDD_FILE_DIALOG), kFileDialog.Data(), kFileDialog.Size()},
    {RT_TOOLBAR, MAKEINTRESOURCE(IDR_FILE_DIALOG_BAR), kFileDialogBar, sizeof kFileDialogBar},
    {RT_BITMAP, MAKEINTRESOURCE(IDR_FILE_DIALOG_BAR), kFileDialogBarImage.data(), kFileDialogBarImage.size()},
    {RT_VERSION, MAKEINTRESOURCE(VS_VERSION_INFO), kVersion.Data(), kVersion.Size()},
};
const kernel::ResourceTable kResourceTable(kResources);

} // namespace
