// The main program's resources: dialog templates, menus and strings as tables in the platform's formats.

#include "kernel/Resources.h"
#include "Resource.h"
#include "user/Controls.h"
#include "user/DialogTemplate.h"

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

const kernel::ResourceEntry kResources[] = {
    {RT_DIALOG, MAKEINTRESOURCE(IDD_ABOUT), kAbout.Data(), kAbout.Size()},
    {RT_DIALOG, MAKEINTRESOURCE(IDD_MESSAGE_BOX), kMessageBox.Data(), kMessageBox.Size()},
    {RT_DIALOG, MAKEINTRESOURCE(IDD_AMOUNT), kAmount.Data(), kAmount.Size()},
    {RT_DIALOG, MAKEINTRESOURCE(IDD_SPLASH), kSplash.Data(), kSplash.Size()},
};
const kernel::ResourceTable kResourceTable(kResources);

} // namespace
