#include <map>

#include "DriverFaults.h"
#include "DriverTestSupport.h"

namespace drivertest {
namespace {

struct Value {
    DWORD type;
    std::vector<uint8_t> data;
    bool operator==(const Value&) const = default;
};

std::map<std::u16string, Value> ValuesOf(const WCHAR* keyPath) {
    std::map<std::u16string, Value> values;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, 0, &key) != ERROR_SUCCESS)
        return values;
    for (DWORD i = 0;; ++i) {
        WCHAR name[256];
        DWORD nameLength = 256;
        BYTE data[512];
        DWORD size = sizeof data;
        DWORD type = 0;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS)
            break;
        values[name] = Value{type, std::vector<uint8_t>(data, data + size)};
    }
    RegCloseKey(key);
    return values;
}

Value Text(const std::u16string& text) {
    const uint8_t* raw = reinterpret_cast<const uint8_t*>(text.c_str());
    return Value{REG_SZ, std::vector<uint8_t>(raw, raw + (text.size() + 1) * 2)};
}

Value Number(DWORD n) {
    const uint8_t* raw = reinterpret_cast<const uint8_t*>(&n);
    return Value{REG_DWORD, std::vector<uint8_t>(raw, raw + 4)};
}

const std::map<std::u16string, Value> kDriverValues = {
    {u"Prefix", Text(u"FRV")},
    {u"Dll", Text(u"Ferrovane.dll")},
    {u"FriendlyName", Text(u"Ferrovane Driver")},
    {u"Order", Number(0)},
    {u"Ioctl", Number(4)},
    {u"IClass", Text(u"{A4E7EDDA-E575-4252-9D6B-4195D48BB865}")},
    {u"Profile", Text(u"Ferrovane")},
};

const std::map<std::u16string, Value> kProfileValues = {
    {u"Name", Text(u"Ferrovane Disk Block Device")},
    {u"Folder", Text(u"Encrypted")},
    {u"AutoMount", Number(1)},
    {u"AutoPart", Number(1)},
    {u"AutoFormat", Number(1)},
    {u"MountFlags", Number(0)},
    {u"DefaultFileSystem", Text(u"FATFS")},
    {u"PartitionDriver", Text(u"mspart.dll")},
};

const WCHAR kDriverKey[] = u"Drivers\\Builtin\\Ferrovane";
const WCHAR kProfileKey[] = u"System\\StorageManager\\Profiles\\Ferrovane";

using RegistrationTest = DriverTest;

TEST_F(RegistrationTest, LoadingWritesExactlyTheDriverKeyAndTheProfile) {
    FreeLibrary(m_module);
    m_module = nullptr;
    EXPECT_EQ(ValuesOf(kDriverKey), kDriverValues);
    EXPECT_EQ(ValuesOf(kProfileKey), kProfileValues);
}

TEST_F(RegistrationTest, EveryLoadWritesTheValuesAgainAndResetsTheFolder) {
    CONTAINER_PARAMS record = MakeRecord(u"\\missing.fvc", u"password", u"Elsewhere", 0);
    m_init(u"Drivers\\Active\\01", &record);
    EXPECT_EQ(ValuesOf(kProfileKey)[u"Folder"], Text(u"Elsewhere"));
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kDriverKey);
    FreeLibrary(m_module);

    m_module = LoadLibraryW(u"Ferrovane.dll");
    ASSERT_NE(m_module, nullptr);
    EXPECT_EQ(ValuesOf(kDriverKey), kDriverValues);
    EXPECT_EQ(ValuesOf(kProfileKey), kProfileValues);
}

TEST_F(RegistrationTest, AValueThatCannotBeWrittenIsSkippedAndTheOthersAreWritten) {
    FreeLibrary(m_module);
    m_module = nullptr;
    struct Key {
        const WCHAR* path;
        const std::map<std::u16string, Value>* values;
    };
    const Key driver{kDriverKey, &kDriverValues};
    const Key profile{kProfileKey, &kProfileValues};
    for (const auto& [failing, other] : {std::pair{driver, profile}, std::pair{profile, driver}}) {
        for (const auto& entry : *failing.values) {
            const std::u16string& name = entry.first;
            SCOPED_TRACE(std::string(name.begin(), name.end()));
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, kDriverKey);
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, kProfileKey);
            {
                ValueWriteFailure failure(name);
                m_module = LoadLibraryW(u"Ferrovane.dll");
            }
            ASSERT_NE(m_module, nullptr) << "the library loads all the same";
            FreeLibrary(m_module);
            m_module = nullptr;
            std::map<std::u16string, Value> written = *failing.values;
            written.erase(name);
            EXPECT_EQ(ValuesOf(failing.path), written);
            EXPECT_EQ(ValuesOf(other.path), *other.values);
        }
    }
}

TEST_F(RegistrationTest, StreamCallsMoveNoData) {
    using OpenFn = DWORD_PTR (*)(DWORD_PTR, DWORD, DWORD);
    using CloseFn = BOOL (*)(DWORD_PTR);
    using ReadFn = DWORD (*)(DWORD_PTR, LPVOID, DWORD);
    using WriteFn = DWORD (*)(DWORD_PTR, LPCVOID, DWORD);
    using SeekFn = DWORD (*)(DWORD_PTR, LONG, DWORD);
    auto open = reinterpret_cast<OpenFn>(GetProcAddressW(m_module, u"FRV_Open"));
    auto close = reinterpret_cast<CloseFn>(GetProcAddressW(m_module, u"FRV_Close"));
    auto read = reinterpret_cast<ReadFn>(GetProcAddressW(m_module, u"FRV_Read"));
    auto write = reinterpret_cast<WriteFn>(GetProcAddressW(m_module, u"FRV_Write"));
    auto seek = reinterpret_cast<SeekFn>(GetProcAddressW(m_module, u"FRV_Seek"));
    ASSERT_TRUE(open && close && read && write && seek);
    ASSERT_NE(GetProcAddressW(m_module, u"FRV_PowerUp"), nullptr);
    ASSERT_NE(GetProcAddressW(m_module, u"FRV_PowerDown"), nullptr);

    // On a mounted disk: no call reads, writes or moves anything, in the buffers or on the disk.
    CONTAINER_PARAMS record = MakeRecord(u"\\My Documents\\s.fvc", u"password1", u"S", 4096);
    DWORD_PTR disk = m_init(u"Drivers\\Active\\01", &record);
    ASSERT_NE(disk, 0u);
    const std::vector<uint8_t> stored(512, 0x6B);
    std::vector<uint8_t> sector = stored;
    Request put(0, 1, {{sector.data(), 512}});
    ASSERT_TRUE(Transfer(disk, IOCTL_DISK_WRITE, put));

    EXPECT_EQ(open(disk, GENERIC_READ | GENERIC_WRITE, 0), disk);
    std::vector<uint8_t> buffer(512, 'x');
    EXPECT_EQ(read(disk, buffer.data(), 512), 0u);
    EXPECT_EQ(buffer, std::vector<uint8_t>(512, 'x'));
    EXPECT_EQ(seek(disk, 512, 0), 0u);
    EXPECT_EQ(write(disk, buffer.data(), 512), 0u);
    EXPECT_EQ(buffer, std::vector<uint8_t>(512, 'x'));
    EXPECT_EQ(close(disk), TRUE);
    std::vector<uint8_t> after(512);
    Request get(0, 1, {{after.data(), 512}});
    ASSERT_TRUE(Transfer(disk, IOCTL_DISK_READ, get));
    EXPECT_EQ(after, stored);
    m_deinit(disk);
}

} // namespace
} // namespace drivertest
