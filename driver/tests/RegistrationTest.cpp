#include <map>

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

    char buffer[64] = {'x'};
    EXPECT_EQ(open(0x1234, GENERIC_READ, 0), 0x1234u);
    EXPECT_EQ(read(0x1234, buffer, sizeof buffer), 0u);
    EXPECT_EQ(write(0x1234, buffer, sizeof buffer), 0u);
    EXPECT_EQ(seek(0x1234, 100, 0), 0u);
    EXPECT_EQ(close(0x1234), TRUE);
    EXPECT_EQ(buffer[0], 'x');
}

} // namespace
} // namespace drivertest
