#pragma once
// Reading the registry back as text for the tests: one line per key (its path below the dumped key) and
// one per value ("path @name = value", "@" alone for the default value; strings quoted, numbers bare),
// in creation order. Test names and values are ASCII.

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "kernel/Errors.h"
#include "kernel/Registry.h"

namespace com_test {

inline std::string Narrow(std::u16string_view text) {
    return std::string(text.begin(), text.end());
}

inline std::u16string Wide(std::string_view text) {
    return std::u16string(text.begin(), text.end());
}

inline void DumpInto(HKEY key, const std::string& path, std::vector<std::string>& lines) {
    if (!path.empty())
        lines.push_back(path);
    std::string prefix = path.empty() ? std::string() : path + " ";
    for (DWORD index = 0;; ++index) {
        WCHAR name[256];
        DWORD nameLength = 256;
        BYTE data[1024];
        DWORD dataSize = sizeof(data);
        DWORD type = REG_NONE;
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &dataSize) != ERROR_SUCCESS)
            break;
        std::string line = prefix + "@" + Narrow(std::u16string_view(name, nameLength)) + " = ";
        if (type == REG_SZ) {
            std::u16string text(reinterpret_cast<const char16_t*>(data), dataSize / 2);
            while (!text.empty() && text.back() == u'\0')
                text.pop_back();
            line += "\"" + Narrow(text) + "\"";
        } else if (type == REG_DWORD && dataSize == 4) {
            DWORD number = 0;
            std::memcpy(&number, data, 4);
            line += std::to_string(number);
        } else {
            line += "type " + std::to_string(type);
        }
        lines.push_back(line);
    }
    for (DWORD index = 0;; ++index) {
        WCHAR name[256];
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY child = nullptr;
        if (RegOpenKeyExW(key, name, 0, KEY_READ, &child) != ERROR_SUCCESS)
            continue;
        std::string childName = Narrow(std::u16string_view(name, nameLength));
        DumpInto(child, path.empty() ? childName : path + "\\" + childName, lines);
        RegCloseKey(child);
    }
}

// Every key and value below root\path; empty when the key does not exist.
inline std::vector<std::string> Dump(HKEY root, const std::u16string& path) {
    std::vector<std::string> lines;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return lines;
    DumpInto(key, "", lines);
    RegCloseKey(key);
    return lines;
}

inline bool KeyExists(HKEY root, const std::u16string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

} // namespace com_test
