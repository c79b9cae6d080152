// Commands that install and start programs and use the shell: install, start, boot, open, new-menu,
// registry.

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "Arguments.h"
#include "Commands.h"
#include "Text.h"
#include "com/Runtime.h"
#include "crt/Crt.h"
#include "kernel/Install.h"
#include "kernel/Kernel.h"
#include "kernel/Program.h"
#include "shell/Shell.h"
#include "shell/Startup.h"

namespace device_tool {

namespace {

struct RootKey {
    const char* name;
    const char* shortName;
    HKEY key;
};

const RootKey kRootKeys[] = {
    {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
    {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
    {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},
};

std::string Hex(const BYTE* data, DWORD size) {
    std::string out;
    char byte[4];
    for (DWORD i = 0; i < size; ++i) {
        std::snprintf(byte, sizeof byte, i ? ",%02x" : "%02x", data[i]);
        out += byte;
    }
    return out;
}

// One value in the text form of a registry file: "name"=value, @ for the default value.
std::string ValueLine(const std::u16string& name, DWORD type, const std::vector<BYTE>& data) {
    std::string line = name.empty() ? "@" : Quoted(name);
    line += "=";
    auto text = [&](size_t from, size_t to) {
        std::u16string units(to - from, u'\0');
        std::memcpy(units.data(), data.data() + from * 2, (to - from) * 2);
        return units;
    };
    size_t units = data.size() / 2;
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
        size_t end = 0;
        while (end < units && text(end, end + 1)[0] != 0)
            ++end;
        return line + (type == REG_EXPAND_SZ ? "expand:" : "") + Quoted(text(0, end));
    }
    case REG_DWORD:
        if (data.size() == 4) {
            DWORD number = 0;
            std::memcpy(&number, data.data(), 4);
            char digits[16];
            std::snprintf(digits, sizeof digits, "dword:%08x", static_cast<unsigned>(number));
            return line + digits;
        }
        break;
    case REG_MULTI_SZ: {
        line += "multi:";
        size_t start = 0;
        bool first = true;
        for (size_t i = 0; i < units; ++i) {
            if (text(i, i + 1)[0] != 0)
                continue;
            if (i == start)
                break; // the empty string that ends the list
            line += (first ? "" : ",") + Quoted(text(start, i));
            first = false;
            start = i + 1;
        }
        return line;
    }
    default:
        break;
    }
    char prefix[24];
    std::snprintf(prefix, sizeof prefix,
                  type == REG_BINARY ? "hex:" : "hex(%u):", static_cast<unsigned>(type));
    return line + prefix + Hex(data.data(), static_cast<DWORD>(data.size()));
}

void DumpKey(HKEY key, const std::string& path) {
    std::printf("[%s]\n", path.c_str());
    for (DWORD index = 0;; ++index) {
        WCHAR name[256];
        DWORD nameLength = 256;
        DWORD type = REG_NONE;
        DWORD size = 0;
        LONG result = RegEnumValueW(key, index, name, &nameLength, nullptr, &type, nullptr, &size);
        if (result != ERROR_SUCCESS)
            break;
        std::vector<BYTE> data(size);
        nameLength = 256;
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
            break;
        data.resize(size);
        std::printf("%s\n", ValueLine(std::u16string(name, nameLength), type, data).c_str());
    }
    std::printf("\n");
    for (DWORD index = 0;; ++index) {
        WCHAR name[256];
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY child = nullptr;
        if (RegOpenKeyExW(key, name, 0, KEY_READ, &child) != ERROR_SUCCESS)
            continue;
        DumpKey(child, path + "\\" + Narrow(std::u16string_view(name, nameLength)));
        RegCloseKey(child);
    }
}

} // namespace

int Install(const Words& words) {
    Arguments args(words, {});
    if (!args.Ok() || args.Words().size() > 1)
        return Usage(args.Ok() ? "install takes one manifest at most" : args.Error());
    std::string manifest = args.Words().empty() ? FERROVANE_DEVICE_MANIFEST : args.Words()[0];
    if (DWORD error = kernel::InstallDeviceManifest(manifest))
        return Fail("installing " + manifest + " failed", error);
    std::printf("installed %s into %s\n", manifest.c_str(), kernel::DeviceRoot().c_str());
    return 0;
}

int Start(const Words& words) {
    Arguments args(words, {"line"});
    if (!args.Ok())
        return Usage(args.Error());
    if (args.Words().empty())
        return Usage("start needs a program");
    std::u16string program = Wide(args.Words()[0]);
    std::u16string line;
    if (auto raw = args.Value("line")) {
        if (args.Words().size() > 1)
            return Usage("start takes --line or arguments, not both");
        line = Wide(*raw);
    } else {
        std::vector<std::u16string> arguments;
        for (size_t i = 1; i < args.Words().size(); ++i)
            arguments.push_back(Wide(args.Words()[i]));
        line = kernel::JoinCommandLine(arguments);
    }
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), line.empty() ? nullptr : line.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, nullptr, &process))
        return Fail("cannot start " + args.Words()[0], GetLastError());
    std::printf("%u\n", static_cast<unsigned>(process.dwProcessId));
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

int Boot(const Words& words) {
    Arguments args(words, {});
    if (!args.Ok() || !args.Words().empty())
        return Usage(args.Ok() ? "boot takes no arguments" : args.Error());
    int failed = 0;
    for (const shell::StartupItem& item : shell::RunStartupFolder()) {
        if (item.error == 0) {
            std::printf("started %s: %s\n", Narrow(item.shortcut).c_str(), Narrow(item.target).c_str());
        } else {
            Fail("cannot start " + Narrow(item.shortcut) + ": " + Narrow(item.target), item.error);
            ++failed;
        }
    }
    return failed ? 1 : 0;
}

int Open(const Words& words) {
    Arguments args(words, {});
    if (!args.Ok() || args.Words().size() != 1)
        return Usage(args.Ok() ? "open takes one path" : args.Error());
    std::u16string path = Wide(args.Words()[0]);
    SHELLEXECUTEINFO info{};
    info.cbSize = sizeof info;
    info.lpFile = path.c_str();
    info.nShow = SW_SHOW;
    if (!ShellExecuteEx(&info))
        return Fail("cannot open " + args.Words()[0], GetLastError());
    return 0;
}

int NewMenu(const Words& words) {
    Arguments args(words, {});
    if (!args.Ok() || args.Words().size() > 1)
        return Usage(args.Ok() ? "new-menu takes one entry at most" : args.Error());
    std::vector<shell::NewMenuEntry> entries = shell::NewMenuEntries();
    auto clsidText = [](const CLSID& clsid) {
        WCHAR text[40] = {};
        StringFromGUID2(clsid, text, 40);
        return Narrow(text);
    };
    if (args.Words().empty()) {
        for (const shell::NewMenuEntry& entry : entries)
            std::printf("%s\t%s\n", Narrow(entry.text).c_str(), clsidText(entry.clsid).c_str());
        return 0;
    }
    std::u16string wanted = Wide(args.Words()[0]);
    for (const shell::NewMenuEntry& entry : entries) {
        if (_wcsicmp(entry.text.c_str(), wanted.c_str()) != 0 &&
            _wcsicmp(Wide(clsidText(entry.clsid)).c_str(), wanted.c_str()) != 0)
            continue;
        HRESULT result = shell::ChooseNewMenuEntry(entry.clsid);
        if (FAILED(result))
            return Fail("creating the object of " + Narrow(entry.text) + " failed",
                        static_cast<DWORD>(result));
        return 0;
    }
    return Fail("the New menu has no entry " + args.Words()[0], 0);
}

int Registry(const Words& words) {
    Arguments args(words, {});
    if (!args.Ok() || args.Words().size() > 1)
        return Usage(args.Ok() ? "registry takes one key at most" : args.Error());
    std::string wanted = args.Words().empty() ? std::string() : args.Words()[0];
    std::string rootName = wanted.substr(0, wanted.find('\\'));
    std::string below = wanted.size() > rootName.size() ? wanted.substr(rootName.size() + 1) : std::string();
    bool found = wanted.empty();
    for (const RootKey& root : kRootKeys) {
        if (!wanted.empty() && strcasecmp(rootName.c_str(), root.name) != 0 &&
            strcasecmp(rootName.c_str(), root.shortName) != 0)
            continue;
        found = true;
        HKEY key = nullptr;
        std::u16string subkey = Wide(below);
        if (RegOpenKeyExW(root.key, subkey.empty() ? nullptr : subkey.c_str(), 0, KEY_READ, &key) !=
            ERROR_SUCCESS)
            return Fail("no key " + wanted, ERROR_FILE_NOT_FOUND);
        DumpKey(key, below.empty() ? std::string(root.name) : std::string(root.name) + "\\" + below);
        RegCloseKey(key);
    }
    return found ? 0 : Usage("a key starts with HKLM, HKCU or HKCR");
}

} // namespace device_tool
