#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "TemporaryDeviceRoot.h"
#include "kernel/Errors.h"
#include "kernel/Handles.h"
#include "kernel/Registry.h"
#include "kernel/Sync.h"

namespace {

std::vector<BYTE> Bytes(std::u16string_view units) {
    std::vector<BYTE> bytes(units.size() * 2);
    if (!units.empty())
        std::memcpy(bytes.data(), units.data(), bytes.size());
    return bytes;
}

std::vector<BYTE> DwordBytes(DWORD value) {
    std::vector<BYTE> bytes(4);
    std::memcpy(bytes.data(), &value, 4);
    return bytes;
}

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream input(path, std::ios::binary);
    std::stringstream text;
    text << input.rdbuf();
    return text.str();
}

class RegistryTest : public ::testing::Test {
protected:
    HKEY Create(HKEY parent, const char16_t* path, DWORD* disposition = nullptr) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(parent, path, 0, u"", 0, KEY_ALL_ACCESS, nullptr, &key, disposition),
                  ERROR_SUCCESS);
        return key;
    }
    LONG Open(HKEY parent, const char16_t* path, HKEY* key) {
        return RegOpenKeyExW(parent, path, 0, KEY_READ, key);
    }
    void SetNumber(HKEY key, const char16_t* name, DWORD value) {
        EXPECT_EQ(RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4),
                  ERROR_SUCCESS);
    }
    DWORD Number(HKEY key, const char16_t* name) {
        DWORD value = 0;
        DWORD size = sizeof value;
        EXPECT_EQ(RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
                  ERROR_SUCCESS);
        return value;
    }
    // Makes the process read the registry file afresh, as another process would.
    void Reread() {
        TemporaryDeviceRoot elsewhere;
        HKEY key = nullptr;
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, nullptr, 0, 0, &key);
        RegCloseKey(key);
        kernel::SetDeviceRoot(m_root.Path());
    }

    TemporaryDeviceRoot m_root;
};

struct ValueCase {
    const char* what;
    DWORD type;
    std::vector<BYTE> data;
};

TEST_F(RegistryTest, EveryValueTypeRoundTripsThroughTheFile) {
    const ValueCase cases[] = {
        {"string", REG_SZ, Bytes(std::u16string_view(u"FRV", 4))},
        {"empty string", REG_SZ, Bytes(std::u16string_view(u"", 1))},
        {"string of markup and escapes", REG_SZ,
         Bytes(std::u16string_view(u"100% \"quoted\" \\path\\ [key] =x\r\n\t\x7f", 34))},
        {"string beyond ASCII", REG_SZ, Bytes(std::u16string_view(u"K\u00e4se \u20ac \U0001D11E", 10))},
        {"string with a lone surrogate", REG_SZ,
         Bytes(std::u16string_view(u"a\xd800"
                                   u"b",
                                   4))},
        {"string without terminator", REG_SZ, Bytes(u"abc")},
        {"string of an odd byte count", REG_SZ, {'a', 0, 'b'}},
        {"string with an inner terminator", REG_SZ, Bytes(std::u16string_view(u"a\0b", 4))},
        {"expandable string", REG_EXPAND_SZ, Bytes(std::u16string_view(u"%WINDIR%\\x", 11))},
        {"number", REG_DWORD, DwordBytes(0xA4E7EDDA)},
        {"number of three bytes", REG_DWORD, {1, 2, 3}},
        {"binary", REG_BINARY, {0x00, 0xFF, 0x10, 0x00}},
        {"empty binary", REG_BINARY, {}},
        {"string list", REG_MULTI_SZ, Bytes(std::u16string_view(u"one\0two words\0\0", 16))},
        {"empty string list", REG_MULTI_SZ, Bytes(std::u16string_view(u"", 1))},
        {"string list with an empty string", REG_MULTI_SZ, Bytes(std::u16string_view(u"a\0\0\0", 4))},
        {"no type", REG_NONE, {}},
        {"type of our own", 0x12345, {9, 8, 7}},
    };
    HKEY key = Create(HKEY_LOCAL_MACHINE, u"Software\\Types");
    for (size_t i = 0; i < std::size(cases); ++i) {
        std::u16string name = u"Value" + std::u16string(1, static_cast<char16_t>(u'A' + i));
        ASSERT_EQ(RegSetValueExW(key, name.c_str(), 0, cases[i].type, cases[i].data.data(),
                                 static_cast<DWORD>(cases[i].data.size())),
                  ERROR_SUCCESS)
            << cases[i].what;
    }
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t i = 0; i < std::size(cases); ++i) {
            SCOPED_TRACE(std::string(cases[i].what) +
                         (pass == 0 ? " (as written)" : " (read from the file)"));
            std::u16string name = u"Value" + std::u16string(1, static_cast<char16_t>(u'A' + i));
            DWORD type = 0;
            DWORD size = 0;
            ASSERT_EQ(RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size), ERROR_SUCCESS);
            EXPECT_EQ(type, cases[i].type);
            ASSERT_EQ(size, cases[i].data.size());
            std::vector<BYTE> data(size + 1, 0xCC);
            ASSERT_EQ(RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &size), ERROR_SUCCESS);
            data.resize(size);
            EXPECT_EQ(data, cases[i].data);
        }
        Reread();
    }
    RegCloseKey(key);
}

TEST_F(RegistryTest, NamesAreCaseInsensitiveAndKeepTheirFirstCase) {
    HKEY builtin = Create(HKEY_LOCAL_MACHINE, u"Drivers\\Builtin\\Ferrovane");
    SetNumber(builtin, u"Order", 0);
    RegCloseKey(builtin);

    DWORD disposition = 0;
    HKEY other = Create(HKEY_LOCAL_MACHINE, u"DRIVERS\\BuiltIn\\ferrovane", &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    EXPECT_EQ(Number(other, u"ORDER"), 0u);
    SetNumber(other, u"order", 7);
    EXPECT_EQ(Number(other, u"Order"), 7u);
    WCHAR name[32];
    DWORD length = 32;
    ASSERT_EQ(RegEnumValueW(other, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(name), u"Order");
    EXPECT_EQ(RegEnumValueW(other, 1, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    RegCloseKey(other);

    HKEY drivers = nullptr;
    ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, u"drivers", &drivers), ERROR_SUCCESS);
    length = 32;
    ASSERT_EQ(RegEnumKeyExW(drivers, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(name), u"Builtin");
    EXPECT_EQ(length, 7u);
    length = 32;
    EXPECT_EQ(RegEnumKeyExW(drivers, 1, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    RegCloseKey(drivers);
}

TEST_F(RegistryTest, CreatingReportsWhetherTheKeyIsNew) {
    DWORD disposition = 0;
    HKEY key = Create(HKEY_CURRENT_USER, u"Software\\A\\B\\", &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    RegCloseKey(key);
    key = Create(HKEY_CURRENT_USER, u"Software\\A", &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    HKEY below = Create(key, u"B", &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    HKEY same = Create(below, nullptr, &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    SetNumber(same, u"x", 1);
    EXPECT_EQ(Number(below, u"x"), 1u);
    HKEY missing = nullptr;
    EXPECT_EQ(Open(key, u"C", &missing), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Open(HKEY_CLASSES_ROOT, u"Software\\A", &missing), ERROR_FILE_NOT_FOUND); // another root
    for (HKEY open : {key, below, same})
        RegCloseKey(open);
}

TEST_F(RegistryTest, QueriesFollowTheBufferRules) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, u"Software\\Query");
    const char16_t text[] = u"Encrypted";
    ASSERT_EQ(RegSetValueExW(key, u"Folder", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text),
              ERROR_SUCCESS);
    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"Folder", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, sizeof text);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));

    char16_t small[4] = {u'x', u'x', u'x', u'x'};
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExW(key, u"Folder", nullptr, &type, reinterpret_cast<BYTE*>(small), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, sizeof text);
    EXPECT_EQ(small[0], u'x'); // untouched

    EXPECT_EQ(RegQueryValueExW(key, u"Folder", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(key, u"Missing", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);

    // The default value has the empty name.
    SetNumber(key, nullptr, 5);
    EXPECT_EQ(Number(key, u""), 5u);
    RegCloseKey(key);
}

TEST_F(RegistryTest, EnumerationFollowsCreationOrderAndTheBufferRules) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, u"Software\\Enum");
    for (const char16_t* name : {u"Zeta", u"alpha", u"Mid"})
        RegCloseKey(Create(key, name));
    SetNumber(key, u"second", 2);
    SetNumber(key, u"first", 1);

    std::vector<std::u16string> keys;
    WCHAR name[16];
    for (DWORD i = 0;; ++i) {
        DWORD length = 16;
        LONG result = RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        ASSERT_EQ(result, ERROR_SUCCESS);
        keys.emplace_back(name, length);
    }
    EXPECT_EQ(keys, (std::vector<std::u16string>{u"Zeta", u"alpha", u"Mid"}));

    DWORD length = 4; // "Zeta" needs 5 units with its terminator
    EXPECT_EQ(RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    length = 5;
    WCHAR keyClass[4] = {u'x'};
    DWORD classLength = 4;
    FILETIME written{1, 1};
    EXPECT_EQ(RegEnumKeyExW(key, 0, name, &length, nullptr, keyClass, &classLength, &written), ERROR_SUCCESS);
    EXPECT_EQ(keyClass[0], u'\0');
    EXPECT_EQ(written.dwLowDateTime | written.dwHighDateTime, 0u);

    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    length = 16;
    ASSERT_EQ(RegEnumValueW(key, 0, name, &length, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(name, length), u"second");
    EXPECT_EQ(value, 2u);
    length = 16;
    size = 2;
    EXPECT_EQ(RegEnumValueW(key, 1, name, &length, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
    length = 16;
    EXPECT_EQ(RegEnumValueW(key, 2, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    RegCloseKey(key);
}

TEST_F(RegistryTest, DeletingAKeyTakesItsSubkeysAndStalesTheirHandles) {
    HKEY top = Create(HKEY_LOCAL_MACHINE, u"Drivers\\BuiltIn\\Ferrovane");
    HKEY slot = Create(top, u"12\\Deeper");
    SetNumber(slot, u"Open", 1);

    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"drivers\\builtin"), ERROR_SUCCESS);
    HKEY gone = nullptr;
    EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, u"Drivers\\Builtin", &gone), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, u"Drivers", &gone), ERROR_SUCCESS);
    RegCloseKey(gone);

    DWORD value = 1;
    for (HKEY stale : {top, slot}) {
        EXPECT_EQ(RegSetValueExW(stale, u"Open", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4),
                  ERROR_KEY_DELETED);
        EXPECT_EQ(RegQueryValueExW(stale, u"Open", nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
        EXPECT_EQ(Open(stale, nullptr, &gone), ERROR_KEY_DELETED);
        EXPECT_EQ(RegCreateKeyExW(stale, u"x", 0, u"", 0, 0, nullptr, &gone, nullptr), ERROR_KEY_DELETED);
        EXPECT_EQ(RegCloseKey(stale), ERROR_SUCCESS);
    }
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"Drivers\\Builtin"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, DeletingValues) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, u"Software\\Values");
    SetNumber(key, u"a", 1);
    SetNumber(key, u"b", 2);
    EXPECT_EQ(RegDeleteValueW(key, u"A"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(key, u"a"), ERROR_FILE_NOT_FOUND);
    WCHAR name[4];
    DWORD length = 4;
    ASSERT_EQ(RegEnumValueW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(name), u"b");
    RegCloseKey(key);
}

TEST_F(RegistryTest, BadArgumentsGiveErrorCodes) {
    size_t handlesBefore = kernel::OpenHandleCount();
    HKEY key = Create(HKEY_LOCAL_MACHINE, u"Software\\Bad");
    HKEY closed = Create(HKEY_LOCAL_MACHINE, u"Software\\Closed");
    ASSERT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
    HKEY notAKey = reinterpret_cast<HKEY>(mutex);
    HKEY result = nullptr;
    DWORD value = 0;
    DWORD size = 4;
    std::u16string longest(255, u'k');
    std::u16string tooLong(256, u'k');

    EXPECT_EQ(RegCloseKey(closed), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(notAKey), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExW(closed, nullptr, 0, 0, &result), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegSetValueExW(notAKey, u"x", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueExW(nullptr, u"x", nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCreateKeyExW(key, u"x", 0, u"", 0, 0, nullptr, nullptr, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyExW(key, u"x", 0, 0, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExW(key, u"\\x", 0, u"", 0, 0, nullptr, &result, nullptr), ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegCreateKeyExW(key, u"x\\\\y", 0, u"", 0, 0, nullptr, &result, nullptr), ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegCreateKeyExW(key, tooLong.c_str(), 0, u"", 0, 0, nullptr, &result, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExW(key, tooLong.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExW(key, u"x", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExW(key, u"x", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegEnumKeyExW(key, 0, nullptr, &size, nullptr, nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegEnumValueW(key, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegDeleteKeyW(key, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegDeleteKeyW(key, u""), ERROR_INVALID_PARAMETER);

    HKEY longKey = Create(key, longest.c_str());
    SetNumber(longKey, longest.c_str(), 1);
    EXPECT_EQ(Number(longKey, longest.c_str()), 1u);
    RegCloseKey(longKey);
    RegCloseKey(key);
    CloseHandle(mutex);
    EXPECT_EQ(kernel::OpenHandleCount(), handlesBefore);
}

TEST_F(RegistryTest, TheFileIsReadableText) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, u"Drivers\\Builtin\\Ferrovane");
    const char16_t prefix[] = u"FRV";
    RegSetValueExW(key, u"Prefix", 0, REG_SZ, reinterpret_cast<const BYTE*>(prefix), sizeof prefix);
    SetNumber(key, u"Ioctl", 4);
    RegCloseKey(key);
    std::string text = ReadText(m_root.Path() / "registry");
    EXPECT_NE(text.find("\n[HKEY_LOCAL_MACHINE\\Drivers\\Builtin\\Ferrovane]\n"
                        "\"Prefix\"=sz:\"FRV\"\n"
                        "\"Ioctl\"=dword:00000004\n"),
              std::string::npos)
        << text;
}

TEST_F(RegistryTest, ADamagedFileIsReportedAndLeftAlone) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, u"Software\\Damaged");
    SetNumber(key, u"a", 1);
    std::filesystem::path file = m_root.Path() / "registry";
    std::string damaged = ReadText(file) + "\"b\"=dword:123\n"; // a number of three digits
    std::ofstream(file, std::ios::binary | std::ios::trunc) << damaged;

    DWORD value = 2;
    EXPECT_EQ(RegQueryValueExW(key, u"a", nullptr, nullptr, nullptr, nullptr), ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(RegSetValueExW(key, u"c", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4),
              ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(ReadText(file), damaged);
    RegCloseKey(key);
}

TEST_F(RegistryTest, ThreadsWritingAtOnceLoseNothing) {
    constexpr int kThreads = 4;
    constexpr int kValues = 40;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            HKEY key = nullptr;
            RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Threads", 0, u"", 0, 0, nullptr, &key, nullptr);
            for (int i = 0; i < kValues; ++i) {
                std::string text = "T" + std::to_string(t) + "-" + std::to_string(i);
                std::u16string name(text.begin(), text.end());
                DWORD value = static_cast<DWORD>(i);
                RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4);
            }
            RegCloseKey(key);
        });
    }
    for (auto& thread : threads)
        thread.join();
    Reread();
    HKEY key = nullptr;
    ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, u"Software\\Threads", &key), ERROR_SUCCESS);
    DWORD count = 0;
    WCHAR name[16];
    for (DWORD length = 16;
         RegEnumValueW(key, count, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         length = 16)
        ++count;
    EXPECT_EQ(count, static_cast<DWORD>(kThreads * kValues));
    RegCloseKey(key);
}

} // namespace
