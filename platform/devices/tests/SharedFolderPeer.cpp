// A device program for the shared-folder tests. Started in a process of its own, it works on the files of
// a folder that the test's process has mounted, through the platform's file calls, as any other program
// of the device would, and records what it found under HKCU\Software\SharedFolderTests: "Read" (the bytes
// of "from platform.txt"), "Attributes" (of "hidden.txt") and "Listing" (the folder's names after its
// work, joined with '|'). Its exit code is the number of the step that failed, 0 when none did; "Error"
// then holds that step's last error.
//
//   FolderPeer.exe <mount folder>

#include <functional>
#include <string>
#include <vector>

#include "kernel/Kernel.h"

namespace {

constexpr char kWritten[] = "written by another device process";

class Report {
public:
    Report() {
        RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\SharedFolderTests", 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &m_key, nullptr);
    }
    ~Report() { RegCloseKey(m_key); }
    Report(const Report&) = delete;
    Report& operator=(const Report&) = delete;

    void Binary(const char16_t* name, const std::vector<BYTE>& bytes) {
        RegSetValueExW(m_key, name, 0, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
    }
    void Number(const char16_t* name, DWORD value) {
        RegSetValueExW(m_key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }
    void Text(const char16_t* name, const std::u16string& text) {
        RegSetValueExW(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
    }

private:
    HKEY m_key = nullptr;
};

bool ReadWhole(const std::u16string& path, std::vector<BYTE>* content) {
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    content->resize(GetFileSize(file, nullptr));
    DWORD read = 0;
    const bool ok = content->empty() ||
                    (ReadFile(file, content->data(), static_cast<DWORD>(content->size()), &read, nullptr) &&
                     read == content->size());
    CloseHandle(file);
    return ok;
}

// A second open of a file that the first holds without sharing is refused, also through the folder.
bool SharingIsEnforced(const std::u16string& path) {
    HANDLE first = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (first == INVALID_HANDLE_VALUE)
        return false;
    HANDLE second =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    const DWORD error = GetLastError();
    if (second != INVALID_HANDLE_VALUE)
        CloseHandle(second);
    CloseHandle(first);
    SetLastError(error);
    return second == INVALID_HANDLE_VALUE && error == ERROR_SHARING_VIOLATION;
}

bool WriteNew(const std::u16string& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(file, kWritten, sizeof kWritten - 1, &written, nullptr) && written == sizeof kWritten - 1;
    CloseHandle(file);
    return ok;
}

std::u16string Listing(const std::u16string& folder) {
    std::u16string names;
    WIN32_FIND_DATAW data{};
    HANDLE search = FindFirstFileW((folder + u"\\*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE)
        return u"<" + std::u16string(GetLastError() == ERROR_NO_MORE_FILES ? u"empty" : u"failed") + u">";
    do {
        if (!names.empty())
            names += u'|';
        names += data.cFileName;
    } while (FindNextFileW(search, &data));
    FindClose(search);
    return names;
}

} // namespace

int wmain(int argc, WCHAR** argv) {
    if (argc != 2)
        return 100;
    const std::u16string folder = argv[1];
    Report report;
    std::vector<BYTE> content;
    DWORD attributes = 0;
    const std::vector<std::function<bool()>> steps = {
        [&] {
            if (!ReadWhole(folder + u"\\from platform.txt", &content))
                return false;
            report.Binary(u"Read", content);
            return true;
        },
        [&] {
            attributes = GetFileAttributesW((folder + u"\\hidden.txt").c_str());
            report.Number(u"Attributes", attributes);
            return attributes != INVALID_FILE_ATTRIBUTES;
        },
        [&] { return SharingIsEnforced(folder + u"\\from platform.txt"); },
        [&] { return WriteNew(folder + u"\\from peer.txt"); },
        [&] {
            return SetFileAttributesW((folder + u"\\from peer.txt").c_str(),
                                      FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN) != FALSE;
        },
        [&] { return CreateDirectoryW((folder + u"\\peer folder").c_str(), nullptr) != FALSE; },
        [&] {
            return MoveFileW((folder + u"\\move me.txt").c_str(),
                             (folder + u"\\peer folder\\moved.txt").c_str()) != FALSE;
        },
        [&] { return DeleteFileW((folder + u"\\delete me.txt").c_str()) != FALSE; },
        [&] {
            report.Text(u"Listing", Listing(folder));
            return true;
        },
    };
    for (size_t i = 0; i < steps.size(); ++i) {
        if (!steps[i]()) {
            report.Number(u"Error", GetLastError());
            return static_cast<int>(i + 1);
        }
    }
    return 0;
}
