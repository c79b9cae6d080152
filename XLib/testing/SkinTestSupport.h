#pragma once
// Fixtures of the skinned dialog and control tests: skin files and PNG strips in the device root, and
// CSkinHost, a skinned dialog made from a template in memory that loads a given skin and records the
// commands and notifications its controls send it.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "XDialog.h"
#include "user/DialogTemplate.h"
#include "user/WindowTest.h"

namespace skintest {

using Bytes = std::vector<uint8_t>;

// A PNG strip of frames, each frameWidth x height and filled with its colour. With transparent given,
// the strip has an alpha channel and the pixels (x within the frame, y) it names are fully transparent.
Bytes StripPng(int frameWidth, int height, const std::vector<COLORREF>& frameColours,
               const std::function<bool(int x, int y)>& transparent = {});

// A skinned dialog: a popup without caption or border and without controls of its own. Its
// OnInitDialog runs CXDialog's and then LoadSkin of the skin path, when one is given.
class CSkinHost : public CXDialog {
public:
    explicit CSkinHost(std::u16string skinPath = {}, DWORD style = WS_POPUP);
    ~CSkinHost() override;

    // Makes the dialog (modeless), shows it and runs the queue until idle; false when it was not made.
    bool Open();
    BOOL OnInitDialog() override;

    bool m_skinLoaded = false;
    // WM_COMMAND as (id, notification code), WM_NOTIFY as (id, code), in the order they came.
    std::vector<std::pair<UINT, UINT>> m_commands;
    std::vector<std::pair<UINT, int>> m_notifications;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

private:
    std::u16string m_skinPath;
    user::DialogTemplateBytes m_template;
};

class SkinTest : public user::test::WindowTest {
protected:
    // Writes a device file (a path such as u"\\skins\\main.xml"), making its folders.
    void WriteDeviceFile(std::u16string_view path, std::string_view bytes);
    void WriteDeviceFile(std::u16string_view path, const Bytes& bytes);
};

} // namespace skintest
