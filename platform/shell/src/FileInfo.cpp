#include "shell/FileInfo.h"

#include <string>

#include "FileTypes.h"
#include "SystemIcons.h"
#include "crt/Crt.h"
#include "kernel/Kernel.h"
#include "user/Icon.h"

namespace {

constexpr UINT kKnownFlags =
    SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES | SHGFI_ICON | SHGFI_DISPLAYNAME | SHGFI_SYSICONINDEX;

// The system list's index for a file: its type's icon, else the file icon.
int FileIconIndex(const std::u16string& path) {
    using shell::detail::QueryString;
    std::u16string extension = shell::detail::ExtensionOf(path);
    std::u16string type =
        extension.empty() ? std::u16string() : QueryString(HKEY_CLASSES_ROOT, extension, nullptr);
    if (type.empty())
        return shell::kFileIconIndex;
    std::u16string icon = QueryString(HKEY_CLASSES_ROOT, type + u"\\DefaultIcon", nullptr);
    return icon.empty() ? shell::kFileIconIndex : shell::detail::TypeIconIndex(icon);
}

} // namespace

DWORD_PTR SHGetFileInfo(LPCWSTR pszPath, DWORD dwFileAttributes, SHFILEINFO* psfi, UINT cbFileInfo,
                        UINT uFlags) {
    if (!pszPath || (uFlags & ~kKnownFlags) != 0 || (psfi && cbFileInfo != sizeof(SHFILEINFO)) ||
        (!psfi && (uFlags & ~(SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES)) != SHGFI_SYSICONINDEX))
        return kernel::Fail(ERROR_INVALID_PARAMETER, DWORD_PTR{0});
    DWORD attributes = dwFileAttributes;
    if (!(uFlags & SHGFI_USEFILEATTRIBUTES)) {
        attributes = GetFileAttributesW(pszPath);
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return 0;
    }
    bool small = (uFlags & SHGFI_SMALLICON) != 0;
    int index = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? shell::kFolderIconIndex : FileIconIndex(pszPath);
    if (psfi) {
        if (uFlags & SHGFI_SYSICONINDEX)
            psfi->iIcon = index;
        if (uFlags & SHGFI_ICON) {
            psfi->hIcon = CopyIcon(shell::SystemIcon(index, small));
            psfi->iIcon = index;
        }
        if (uFlags & SHGFI_DISPLAYNAME) {
            const WCHAR* name = wcsrchr(pszPath, u'\\');
            CopyStringW(psfi->szDisplayName, MAX_PATH, name ? name + 1 : pszPath);
        }
    }
    if (!(uFlags & SHGFI_SYSICONINDEX))
        return 1;
    HIMAGELIST images = shell::detail::SystemImageList(small);
    if (!images)
        return kernel::Fail(ERROR_NOT_ENOUGH_MEMORY, DWORD_PTR{0});
    return reinterpret_cast<DWORD_PTR>(images);
}
