#pragma once
// The storage manager's tests: a device root with Ferrovane.dll installed and loaded (the driver tests'
// fixture), containers created in the three steps the main program takes and opened through
// ActivateDeviceEx, and small helpers around the file calls under a mount folder.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "ContainerImage.h"
#include "DriverTestSupport.h"
#include "ToolSupport.h"
#include "devices/DeviceManager.h"
#include "devices/StorageManager.h"

namespace storagetest {

// The engine-free test helpers (temporary folders, host files, names, the real tools) by their short names.
using fat::test::CheckVolume;
using fat::test::MtoolsEnv;
using fat::test::MtoolsImage;
using fat::test::PatternBytes;
using fat::test::Quote;
using fat::test::ReadHostFile;
using fat::test::RunTool;
using fat::test::TempDir;
using fat::test::ToolResult;
using fat::test::U16;
using fat::test::U8;
using fat::test::WriteHostFile;

// An activation's outcome: the device handle (NULL when ActivateDeviceEx failed), the record's status,
// and the folder the storage manager mounted the disk at (empty when it did not).
struct Activation {
    HANDLE device = nullptr;
    int32_t status = -1;
    DWORD lastError = 0;
    std::u16string folder;
};

class StorageTest : public drivertest::DriverTest {
protected:
    void TearDown() override;

    // ActivateDeviceEx of the driver key with a record (size 0 opens, any other size creates).
    Activation Activate(const std::u16string& path, const std::u16string& password,
                        const std::u16string& folder, uint32_t size);
    // The three steps of creating a container: activate with the size (the storage manager partitions,
    // formats and mounts the new disk), deactivate, write the trailer.
    void CreateContainer(const std::u16string& path, const std::u16string& password,
                         const std::u16string& folder, uint32_t size);
    // Opens a container and expects it mounted.
    Activation Open(const std::u16string& path, const std::u16string& password,
                    const std::u16string& folder = u"Encrypted");
    bool Deactivate(Activation& activation);
    // Sets a value of the driver's storage profile.
    static void SetProfileValue(const WCHAR* name, DWORD value);
    static void SetProfileString(const WCHAR* name, const std::u16string& text);

    std::vector<HANDLE> m_devices; // deactivated at the end if a test left them
};

// The host file of a device path.
std::filesystem::path Host(const std::u16string& devicePath);

// Whole files and listings through the file calls.
bool WriteFileBytes(const std::u16string& path, const std::vector<uint8_t>& content, DWORD chunk = 0);
std::optional<std::vector<uint8_t>> ReadFileBytes(const std::u16string& path);
// Names matching a pattern, in the order FindFirstFileW/FindNextFileW give them; the last error of the
// search in *error (ERROR_NO_MORE_FILES when it ended normally).
std::vector<WIN32_FIND_DATAW> Find(const std::u16string& pattern, DWORD* error = nullptr);
std::vector<std::u16string> Names(const std::u16string& pattern);

// The bytes of a text.
std::vector<uint8_t> TextBytes(const std::string& text);
// A shell command on the host with $D standing for a folder (quoted), output and errors together.
ToolResult OnHostFolder(const std::filesystem::path& folder, std::string command);

// Shared folders switched on (FERROVANE_FUSE unset) for the object's life, the setting put back after.
class SharingSwitchedOn {
public:
    SharingSwitchedOn();
    ~SharingSwitchedOn();
    SharingSwitchedOn(const SharingSwitchedOn&) = delete;
    SharingSwitchedOn& operator=(const SharingSwitchedOn&) = delete;

private:
    std::optional<std::string> m_setting;
};

} // namespace storagetest
