#include "SkinTestSupport.h"

#include <filesystem>
#include <fstream>
#include <optional>

#include "PngTestSupport.h"
#include "crt/Utf8.h"
#include "kernel/DeviceRoot.h"
#include "user/DialogTemplate.h"

namespace skintest {

Bytes StripPng(int frameWidth, int height, const std::vector<COLORREF>& frameColours,
               const std::function<bool(int x, int y)>& transparent) {
    PngImage image;
    image.width = static_cast<uint32_t>(frameWidth * static_cast<int>(frameColours.size()));
    image.height = static_cast<uint32_t>(height);
    image.colorType = transparent ? 6 : 2;
    for (int y = 0; y < height; ++y) {
        Bytes row;
        for (COLORREF colour : frameColours) {
            for (int x = 0; x < frameWidth; ++x) {
                row.insert(row.end(), {GetRValue(colour), GetGValue(colour), GetBValue(colour)});
                if (transparent)
                    row.push_back(transparent(x, y) ? 0 : 255);
            }
        }
        image.rows.push_back(std::move(row));
    }
    return EncodeWithLibpng(image);
}

// Smaller than the screen in dialog units; a skin gives it its size.
CSkinHost::CSkinHost(std::u16string skinPath, DWORD style)
    : CXDialog(0), m_skinPath(std::move(skinPath)), m_template({style, 0, 0, 0, 100, 120, u"Skin host"}, {}) {
}

CSkinHost::~CSkinHost() {
    if (m_hWnd != nullptr)
        DestroyWindow();
}

bool CSkinHost::Open() {
    if (!CreateIndirect(m_template.Template()))
        return false;
    ShowWindow(SW_SHOW);
    user::test::RunUntilIdle();
    return true;
}

BOOL CSkinHost::OnInitDialog() {
    CXDialog::OnInitDialog();
    if (!m_skinPath.empty())
        m_skinLoaded = LoadSkin(m_skinPath.c_str());
    return TRUE;
}

BOOL CSkinHost::OnCommand(WPARAM wParam, LPARAM) {
    m_commands.emplace_back(LOWORD(wParam), HIWORD(wParam));
    return TRUE;
}

BOOL CSkinHost::OnNotify(WPARAM, LPARAM lParam, LRESULT* pResult) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    m_notifications.emplace_back(static_cast<UINT>(header->idFrom), header->code);
    *pResult = 0;
    return TRUE;
}

void SkinTest::WriteDeviceFile(std::u16string_view path, std::string_view bytes) {
    // Folders already there are matched without regard to case, as every device path is; a path beyond
    // what a device path may be is planted as it is written.
    std::optional<std::filesystem::path> host =
        kernel::DeviceToHostPath(std::u16string(path).c_str(), nullptr);
    if (!host) {
        std::string relative = crt::ToUtf8(path);
        for (char& c : relative)
            if (c == '\\')
                c = '/';
        host = m_root.Store() / relative.substr(relative.find_first_not_of('/'));
    }
    std::filesystem::create_directories(host->parent_path());
    std::ofstream(*host, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void SkinTest::WriteDeviceFile(std::u16string_view path, const Bytes& bytes) {
    WriteDeviceFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

} // namespace skintest
