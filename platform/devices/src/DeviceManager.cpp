#include "devices/DeviceManager.h"

#include <cstdio>
#include <mutex>

#include "crt/Crt.h"
#include "kernel/Kernel.h"
#include "kernel/Program.h"

namespace devices {
namespace {

using InitFn = DWORD_PTR (*)(LPCWSTR, LPVOID);
using DeinitFn = BOOL (*)(DWORD_PTR);
using IoControlFn = BOOL (*)(DWORD_PTR, DWORD, PBYTE, DWORD, PBYTE, DWORD, PDWORD);

const WCHAR kActiveRoot[] = u"Drivers\\Active";
// How often the end of a program asks a busy device to let go (each time the storage manager waits for
// the host's programs), before it leaves the device as it is.
constexpr int kEndOfProgramAttempts = 3;

std::u16string ReadString(HKEY key, const WCHAR* name) {
    WCHAR buffer[MAX_PATH];
    DWORD type = 0;
    DWORD size = sizeof buffer;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    buffer[MAX_PATH - 1] = 0;
    return buffer;
}

bool ReadDword(HKEY key, const WCHAR* name, DWORD* value) {
    DWORD type = 0;
    DWORD size = sizeof *value;
    return RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) ==
               ERROR_SUCCESS &&
           type == REG_DWORD;
}

bool ParseGuid(const std::u16string& text, GUID* guid) {
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
    if (text.size() != 38 || text.front() != u'{' || text.back() != u'}')
        return false;
    auto hex = [&](size_t at, size_t digits, ULONGLONG* value) {
        *value = 0;
        for (size_t i = 0; i < digits; ++i) {
            WCHAR c = text[at + i];
            int d = c >= u'0' && c <= u'9'   ? c - u'0'
                    : c >= u'a' && c <= u'f' ? c - u'a' + 10
                    : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                             : -1;
            if (d < 0)
                return false;
            *value = *value * 16 + static_cast<ULONGLONG>(d);
        }
        return true;
    };
    ULONGLONG a, b, c, d, e;
    if (!hex(1, 8, &a) || text[9] != u'-' || !hex(10, 4, &b) || text[14] != u'-' || !hex(15, 4, &c) ||
        text[19] != u'-' || !hex(20, 4, &d) || text[24] != u'-' || !hex(25, 12, &e))
        return false;
    guid->Data1 = static_cast<DWORD>(a);
    guid->Data2 = static_cast<WORD>(b);
    guid->Data3 = static_cast<WORD>(c);
    guid->Data4[0] = static_cast<BYTE>(d >> 8);
    guid->Data4[1] = static_cast<BYTE>(d);
    for (int i = 0; i < 6; ++i)
        guid->Data4[2 + i] = static_cast<BYTE>(e >> (8 * (5 - i)));
    return true;
}

class ActiveDevice : public Device {
public:
    ~ActiveDevice() override = default;

    BOOL IoControl(DWORD code, PBYTE in, DWORD inSize, PBYTE out, DWORD outSize, PDWORD actualOut) override {
        if (!m_ioControl) {
            SetLastError(ERROR_INVALID_FUNCTION);
            return FALSE;
        }
        kernel::KernelModeScope kernelMode;
        return m_ioControl(m_context, code, in, inSize, out, outSize, actualOut);
    }
    const std::u16string& Name() const override { return m_name; }
    const std::u16string& DriverKey() const override { return m_driverKey; }
    const std::u16string& ActiveKeyPath() const override { return m_activeKeyPath; }
    const std::u16string& Profile() const override { return m_profile; }

    std::u16string m_name;
    std::u16string m_prefix;
    std::u16string m_driverKey;
    std::u16string m_activeKeyPath;
    std::u16string m_profile;
    int m_index = 0;
    bool m_isBlockDevice = false;
    HMODULE m_module = nullptr;
    DWORD_PTR m_context = 0;
    DeinitFn m_deinit = nullptr;
    IoControlFn m_ioControl = nullptr;
    bool m_active = true;
    bool m_removing = false; // a DeactivateDevice is in progress
    HANDLE m_handle = nullptr;
};

struct Manager {
    std::mutex lock;
    std::vector<std::shared_ptr<ActiveDevice>> devices;
    BlockDeviceHandler* blockHandler = nullptr;
    int nextActiveKey = 1;
};

Manager& TheManager() {
    static Manager* manager = new Manager;
    return *manager;
}

FARPROC Entry(HMODULE module, const std::u16string& prefix, const WCHAR* name) {
    std::u16string symbol = prefix + u"_" + name;
    return GetProcAddressW(module, symbol.c_str());
}

// The first free device index 1 to 9 of a prefix, 0 when all are taken.
int FreeIndex(Manager& manager, const std::u16string& prefix) {
    for (int index = 1; index <= 9; ++index) {
        bool taken = false;
        for (const auto& device : manager.devices)
            taken |= device->m_active && device->m_index == index &&
                     _wcsicmp(device->m_prefix.c_str(), prefix.c_str()) == 0;
        if (!taken)
            return index;
    }
    return 0;
}

// The devices a program leaves active go when it ends, newest first, as its own unmounting would take
// them: the storage manager writes the volume back and the driver its file. On the handheld they would
// outlive the program; here they live in its process.
void DeactivateLeftDevices() {
    for (int attempt = 0; attempt < kEndOfProgramAttempts; ++attempt) {
        std::vector<HANDLE> left;
        {
            Manager& manager = TheManager();
            std::lock_guard guard(manager.lock);
            for (auto it = manager.devices.rbegin(); it != manager.devices.rend(); ++it)
                if ((*it)->m_active && !(*it)->m_removing)
                    left.push_back((*it)->m_handle);
        }
        if (left.empty())
            return;
        for (HANDLE handle : left)
            DeactivateDevice(handle);
    }
    if (!ActiveDevices().empty())
        std::fprintf(stderr, "devices: host programs still hold a mounted folder; it is left as it is\n");
}

void ClearUpAtProgramEnd() {
    static std::once_flag registered;
    std::call_once(registered, [] { kernel::AtProgramEnd(DeactivateLeftDevices); });
}

} // namespace

void SetBlockDeviceHandler(BlockDeviceHandler* handler) {
    Manager& manager = TheManager();
    std::lock_guard guard(manager.lock);
    manager.blockHandler = handler;
}

BlockDeviceHandler* GetBlockDeviceHandler() {
    Manager& manager = TheManager();
    std::lock_guard guard(manager.lock);
    return manager.blockHandler;
}

std::vector<std::shared_ptr<Device>> ActiveDevices() {
    Manager& manager = TheManager();
    std::lock_guard guard(manager.lock);
    return {manager.devices.begin(), manager.devices.end()};
}

} // namespace devices

using devices::ActiveDevice;

HANDLE ActivateDeviceEx(LPCWSTR deviceKey, LPCVOID regEnts, DWORD regEntCount, LPVOID parameter) {
    if (deviceKey == nullptr)
        return kernel::Fail(ERROR_INVALID_PARAMETER, HANDLE{nullptr});
    HKEY driverKey = nullptr;
    LONG result = RegOpenKeyExW(HKEY_LOCAL_MACHINE, deviceKey, 0, 0, &driverKey);
    if (result != ERROR_SUCCESS)
        return kernel::Fail(static_cast<DWORD>(result), HANDLE{nullptr});
    auto device = std::make_shared<ActiveDevice>();
    device->m_driverKey = deviceKey;
    std::u16string dll = devices::ReadString(driverKey, u"Dll");
    device->m_prefix = devices::ReadString(driverKey, u"Prefix");
    device->m_profile = devices::ReadString(driverKey, u"Profile");
    std::u16string iclass = devices::ReadString(driverKey, u"IClass");
    DWORD ioctl = 0;
    bool hasIoctl = devices::ReadDword(driverKey, u"Ioctl", &ioctl);
    RegCloseKey(driverKey);
    if (dll.empty() || device->m_prefix.empty())
        return kernel::Fail(ERROR_INVALID_PARAMETER, HANDLE{nullptr});
    GUID interfaceClass{};
    device->m_isBlockDevice =
        devices::ParseGuid(iclass, &interfaceClass) && interfaceClass == BLOCK_DRIVER_GUID;

    devices::Manager& manager = devices::TheManager();
    {
        std::lock_guard guard(manager.lock);
        device->m_index = devices::FreeIndex(manager, device->m_prefix);
        WCHAR activeKey[64];
        _snwprintf(activeKey, 64, u"%s\\%02d", devices::kActiveRoot, manager.nextActiveKey++);
        device->m_activeKeyPath = activeKey;
    }
    if (device->m_index == 0)
        return kernel::Fail(ERROR_DEVICE_IN_USE, HANDLE{nullptr});
    WCHAR name[16];
    _snwprintf(name, 16, u"%s%d:", device->m_prefix.c_str(), device->m_index);
    device->m_name = name;

    HKEY activeKey = nullptr;
    if ((result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, device->m_activeKeyPath.c_str(), 0, nullptr, 0, 0,
                                  nullptr, &activeKey, nullptr)) != ERROR_SUCCESS)
        return kernel::Fail(static_cast<DWORD>(result), HANDLE{nullptr});
    auto setString = [&](const WCHAR* value, const std::u16string& text) {
        RegSetValueExW(activeKey, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
    };
    setString(u"Key", device->m_driverKey);
    setString(u"Name", device->m_name);
    const auto* entries = static_cast<const REGINI*>(regEnts);
    for (DWORD i = 0; entries != nullptr && i < regEntCount; ++i)
        RegSetValueExW(activeKey, entries[i].lpszVal, 0, entries[i].dwType, entries[i].pData,
                       entries[i].dwLen);

    auto undo = [&](DWORD error) {
        if (device->m_module != nullptr)
            FreeLibrary(device->m_module);
        RegCloseKey(activeKey);
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, device->m_activeKeyPath.c_str());
        SetLastError(error);
        return HANDLE{nullptr};
    };

    device->m_module = LoadLibraryW(dll.c_str());
    if (device->m_module == nullptr)
        return undo(GetLastError());
    auto init =
        reinterpret_cast<devices::InitFn>(devices::Entry(device->m_module, device->m_prefix, u"Init"));
    device->m_deinit =
        reinterpret_cast<devices::DeinitFn>(devices::Entry(device->m_module, device->m_prefix, u"Deinit"));
    device->m_ioControl = reinterpret_cast<devices::IoControlFn>(
        devices::Entry(device->m_module, device->m_prefix, u"IOControl"));
    if (init == nullptr || device->m_deinit == nullptr)
        return undo(ERROR_PROC_NOT_FOUND);

    {
        kernel::KernelModeScope kernelMode;
        device->m_context = init(device->m_activeKeyPath.c_str(), parameter);
    }
    if (device->m_context == 0) {
        DWORD error = GetLastError();
        return undo(error != ERROR_SUCCESS ? error : ERROR_OPEN_FAILED);
    }
    if (hasIoctl) {
        POST_INIT_BUF postInit{nullptr, activeKey};
        device->IoControl(ioctl, reinterpret_cast<PBYTE>(&postInit), sizeof postInit, nullptr, 0, nullptr);
    }
    RegCloseKey(activeKey);

    HANDLE handle = kernel::InsertHandle(device);
    device->m_handle = handle;
    {
        std::lock_guard guard(manager.lock);
        manager.devices.push_back(device);
    }
    devices::ClearUpAtProgramEnd();
    devices::BlockDeviceHandler* handler = nullptr;
    {
        std::lock_guard guard(manager.lock);
        handler = manager.blockHandler;
    }
    if (device->m_isBlockDevice && handler != nullptr)
        handler->DeviceArrived(device);
    SetLastError(ERROR_SUCCESS);
    return handle;
}

BOOL DeactivateDevice(HANDLE handle) {
    auto device = kernel::FindHandleAs<ActiveDevice>(handle);
    if (device == nullptr)
        return kernel::Fail(ERROR_INVALID_HANDLE, FALSE);
    devices::Manager& manager = devices::TheManager();
    devices::BlockDeviceHandler* handler = nullptr;
    {
        std::lock_guard guard(manager.lock);
        if (!device->m_active || device->m_removing)
            return kernel::Fail(ERROR_INVALID_HANDLE, FALSE);
        device->m_removing = true;
        handler = manager.blockHandler;
    }
    if (device->m_isBlockDevice && handler != nullptr) {
        if (DWORD error = handler->DeviceRemoving(device); error != ERROR_SUCCESS) {
            std::lock_guard guard(manager.lock);
            device->m_removing = false;
            return kernel::Fail(error, FALSE);
        }
    }
    {
        std::lock_guard guard(manager.lock);
        device->m_active = false;
    }
    {
        kernel::KernelModeScope kernelMode;
        device->m_deinit(device->m_context);
    }
    device->m_context = 0;
    device->m_ioControl = nullptr;
    FreeLibrary(device->m_module);
    device->m_module = nullptr;
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, device->m_activeKeyPath.c_str());
    kernel::RemoveHandle(handle);
    {
        std::lock_guard guard(manager.lock);
        std::erase(manager.devices, device);
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}
