#include "StorageTestSupport.h"

#include <cstdlib>

#include "kernel/Kernel.h"

namespace storagetest {

namespace fs = std::filesystem;

void StorageTest::TearDown() {
    for (HANDLE device : m_devices)
        DeactivateDevice(device);
    m_devices.clear();
    DriverTest::TearDown();
}

Activation StorageTest::Activate(const std::u16string& path, const std::u16string& password,
                                 const std::u16string& folder, uint32_t size) {
    CONTAINER_PARAMS record = drivertest::MakeRecord(path, password, folder, size);
    Activation activation;
    activation.device = ActivateDeviceEx(u"Drivers\\Builtin\\Ferrovane", nullptr, 0, &record);
    activation.status = record.status;
    activation.lastError = record.lastError;
    if (activation.device != nullptr) {
        m_devices.push_back(activation.device);
        if (auto device = kernel::FindHandleAs<devices::Device>(activation.device))
            activation.folder = devices::MountFolderOf(*device);
    }
    return activation;
}

void StorageTest::CreateContainer(const std::u16string& path, const std::u16string& password,
                                  const std::u16string& folder, uint32_t size) {
    Activation created = Activate(path, password, folder, size);
    ASSERT_NE(created.device, nullptr);
    ASSERT_EQ(created.status, MOUNT_OK);
    ASSERT_EQ(created.folder, u"\\" + folder);
    ASSERT_TRUE(Deactivate(created));
    WriteNewTrailer(Host(path), password, folder);
}

Activation StorageTest::Open(const std::u16string& path, const std::u16string& password,
                             const std::u16string& folder) {
    Activation opened = Activate(path, password, folder, 0);
    EXPECT_NE(opened.device, nullptr);
    EXPECT_EQ(opened.status, MOUNT_OK);
    EXPECT_FALSE(opened.folder.empty());
    return opened;
}

bool StorageTest::Deactivate(Activation& activation) {
    std::erase(m_devices, activation.device);
    const bool done = DeactivateDevice(activation.device) != FALSE;
    activation.device = nullptr;
    return done;
}

void StorageTest::SetProfileValue(const WCHAR* name, DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"System\\StorageManager\\Profiles\\Ferrovane", 0, nullptr,
                              0, 0, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

void StorageTest::SetProfileString(const WCHAR* name, const std::u16string& text) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"System\\StorageManager\\Profiles\\Ferrovane", 0, nullptr,
                              0, 0, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
    RegCloseKey(key);
}

fs::path Host(const std::u16string& devicePath) {
    return drivertest::HostPath(devicePath);
}

bool WriteFileBytes(const std::u16string& path, const std::vector<uint8_t>& content, DWORD chunk) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    if (chunk == 0)
        chunk = content.empty() ? 1 : static_cast<DWORD>(content.size());
    bool ok = true;
    for (size_t at = 0; ok && at < content.size(); at += chunk) {
        const DWORD length = static_cast<DWORD>(std::min<size_t>(chunk, content.size() - at));
        DWORD written = 0;
        ok = WriteFile(file, content.data() + at, length, &written, nullptr) && written == length;
    }
    const DWORD error = GetLastError();
    CloseHandle(file);
    SetLastError(error);
    return ok;
}

std::optional<std::vector<uint8_t>> ReadFileBytes(const std::u16string& path) {
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::vector<uint8_t> content(GetFileSize(file, nullptr));
    DWORD read = 0;
    bool ok = content.empty() ||
              (ReadFile(file, content.data(), static_cast<DWORD>(content.size()), &read, nullptr) &&
               read == content.size());
    // And nothing lies beyond the size.
    uint8_t extra = 0;
    ok = ok && ReadFile(file, &extra, 1, &read, nullptr) && read == 0;
    const DWORD error = GetLastError();
    CloseHandle(file);
    SetLastError(error);
    if (!ok)
        return std::nullopt;
    return content;
}

std::vector<WIN32_FIND_DATAW> Find(const std::u16string& pattern, DWORD* error) {
    std::vector<WIN32_FIND_DATAW> found;
    WIN32_FIND_DATAW data{};
    HANDLE search = FindFirstFileW(pattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
        if (error != nullptr)
            *error = GetLastError();
        return found;
    }
    do
        found.push_back(data);
    while (FindNextFileW(search, &data));
    if (error != nullptr)
        *error = GetLastError();
    FindClose(search);
    return found;
}

std::vector<std::u16string> Names(const std::u16string& pattern) {
    std::vector<std::u16string> names;
    for (const WIN32_FIND_DATAW& data : Find(pattern))
        names.emplace_back(data.cFileName);
    return names;
}

std::vector<uint8_t> TextBytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

ToolResult OnHostFolder(const fs::path& folder, std::string command) {
    const std::string quoted = Quote(folder);
    for (size_t at = command.find("$D"); at != std::string::npos; at = command.find("$D", at + quoted.size()))
        command.replace(at, 2, quoted);
    return RunTool("(" + command + ")");
}

namespace {
constexpr char kSharingSwitch[] = "FERROVANE_FUSE";
} // namespace

SharingSwitchedOn::SharingSwitchedOn() {
    if (const char* setting = std::getenv(kSharingSwitch))
        m_setting = setting;
    ::unsetenv(kSharingSwitch);
}

SharingSwitchedOn::~SharingSwitchedOn() {
    if (m_setting)
        ::setenv(kSharingSwitch, m_setting->c_str(), 1);
    else
        ::unsetenv(kSharingSwitch);
}

} // namespace storagetest
