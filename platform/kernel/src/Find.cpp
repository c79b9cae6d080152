// FindFirstFileW / FindNextFileW / FindClose: a search lists its folder once, with the mount folders in
// it, and hands out the matching entries in order.

#include <algorithm>
#include <mutex>
#include <vector>

#include "PathText.h"
#include "VolumeTable.h"
#include "crt/WideString.h"
#include "kernel/Errors.h"
#include "kernel/Files.h"
#include "kernel/Handles.h"

using kernel::Fail;
using kernel::VolumeEntry;

namespace {

class FindObject final : public kernel::KernelObject {
public:
    explicit FindObject(std::vector<VolumeEntry> entries) : m_entries(std::move(entries)) {}

    // The next entry into data; false at the end.
    bool Next(WIN32_FIND_DATAW* data) {
        std::lock_guard guard(m_lock);
        if (m_next >= m_entries.size())
            return false;
        Fill(m_entries[m_next++], data);
        return true;
    }

private:
    static void Fill(const VolumeEntry& entry, WIN32_FIND_DATAW* data) {
        *data = WIN32_FIND_DATAW{};
        data->dwFileAttributes = entry.attributes;
        data->ftCreationTime = entry.creationTime;
        data->ftLastAccessTime = entry.lastAccessTime;
        data->ftLastWriteTime = entry.lastWriteTime;
        data->nFileSizeHigh = static_cast<DWORD>(entry.size >> 32);
        data->nFileSizeLow = static_cast<DWORD>(entry.size);
        data->dwOID = 0;
        CopyStringW(data->cFileName, MAX_PATH, entry.name.c_str());
    }

    std::mutex m_lock;
    std::vector<VolumeEntry> m_entries;
    size_t m_next = 0;
};

// The entries of a folder that match a pattern, mount folders included, in case-insensitive name order.
DWORD Search(const kernel::PathComponents& folder, const std::u16string& pattern,
             std::vector<VolumeEntry>* found) {
    kernel::files::Route route = kernel::files::RoutePath(folder);
    std::vector<VolumeEntry> entries;
    {
        kernel::files::MountUse use(*route.mount);
        if (!use.Mounted())
            return ERROR_PATH_NOT_FOUND;
        DWORD error = use.Target().List(route.relative, &entries);
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_DIRECTORY)
            error = ERROR_PATH_NOT_FOUND;
        if (error != ERROR_SUCCESS)
            return error;
    }
    // A mount folder hides whatever entry of the same name lies beneath it.
    for (const std::u16string& name : kernel::files::MountNamesIn(folder)) {
        std::erase_if(entries,
                      [&](const VolumeEntry& entry) { return crt::EqualsIgnoringCase(entry.name, name); });
        VolumeEntry entry;
        entry.name = name;
        entry.attributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY;
        entries.push_back(std::move(entry));
    }
    std::erase_if(entries, [&](const VolumeEntry& entry) {
        return !kernel::files::MatchesPattern(entry.name, pattern);
    });
    std::sort(entries.begin(), entries.end(), [](const VolumeEntry& a, const VolumeEntry& b) {
        const std::u16string foldedA = kernel::files::FoldName(a.name);
        const std::u16string foldedB = kernel::files::FoldName(b.name);
        return foldedA != foldedB ? foldedA < foldedB : a.name < b.name;
    });
    *found = std::move(entries);
    return ERROR_SUCCESS;
}

} // namespace

HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findData) {
    if (findData == nullptr)
        return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    kernel::PathComponents path;
    if (DWORD error = kernel::files::ParseDevicePath(fileName, kernel::files::PathUse::FindPattern, &path);
        error != ERROR_SUCCESS)
        return Fail(error, INVALID_HANDLE_VALUE);
    if (path.empty())
        return Fail(ERROR_NO_MORE_FILES, INVALID_HANDLE_VALUE); // the root is no entry of any folder
    const std::u16string pattern = path.back();
    path.pop_back();

    std::vector<VolumeEntry> entries;
    if (DWORD error = Search(path, pattern, &entries); error != ERROR_SUCCESS)
        return Fail(error, INVALID_HANDLE_VALUE);
    if (entries.empty())
        return Fail(ERROR_NO_MORE_FILES, INVALID_HANDLE_VALUE);
    auto search = std::make_shared<FindObject>(std::move(entries));
    search->Next(findData);
    return kernel::InsertHandle(std::move(search));
}

BOOL FindNextFileW(HANDLE findFile, LPWIN32_FIND_DATAW findData) {
    auto search = kernel::FindHandleAs<FindObject>(findFile);
    if (!search)
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (findData == nullptr)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (!search->Next(findData))
        return Fail(ERROR_NO_MORE_FILES, FALSE);
    return TRUE;
}

BOOL FindClose(HANDLE findFile) {
    if (!kernel::FindHandleAs<FindObject>(findFile))
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    return CloseHandle(findFile);
}
