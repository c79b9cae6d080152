#pragma once
// The device manager: activates stream-interface drivers from their registry keys, in the calling
// process and on the calling thread, and hands block devices to the storage manager. A device program
// that ends with devices still active has them deactivated once it has returned (kernel::EndProgram), the
// newest first, so their volumes and files are written back.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "crt/Types.h"
#include "devices/DiskIo.h"
#include "kernel/Handles.h"

// A registry value written into the device's active key at activation.
struct REGINI {
    LPCWSTR lpszVal;
    LPBYTE pData;
    DWORD dwLen;
    DWORD dwType;
};

// Reads the driver key (Dll, Prefix, Order, Ioctl, IClass, Profile), creates the active key, loads the
// driver, calls its Init with the active key path and the parameter, sends the Ioctl value's control,
// and hands a block driver's disk to the storage manager. Returns the device handle with the last
// error 0, or NULL with the last error the failure left (the driver's own when its Init refused).
HANDLE ActivateDeviceEx(LPCWSTR deviceKey, LPCVOID regEnts, DWORD regEntCount, LPVOID parameter);
// Has the storage manager dismount the disk (flushing its file system), calls Deinit, unloads the
// driver and deletes the active key. A handle is deactivated once; after that ERROR_INVALID_HANDLE.
// When the storage manager cannot dismount the disk now (ERROR_BUSY: host programs hold its shared
// folder), FALSE with that error, and the device stays active as it was.
BOOL DeactivateDevice(HANDLE device);

namespace devices {

// One active device. Every call into the driver runs with the thread marked as kernel mode.
class Device : public kernel::KernelObject {
public:
    virtual ~Device() = default;
    virtual BOOL IoControl(DWORD code, PBYTE in, DWORD inSize, PBYTE out, DWORD outSize,
                           PDWORD actualOut) = 0;
    virtual const std::u16string& Name() const = 0;          // "FRV1:"
    virtual const std::u16string& DriverKey() const = 0;     // "Drivers\Builtin\Ferrovane"
    virtual const std::u16string& ActiveKeyPath() const = 0; // "Drivers\Active\01"
    virtual const std::u16string& Profile() const = 0;       // the driver key's "Profile" value
};

// Receives the block devices the device manager activates (the storage manager).
class BlockDeviceHandler {
public:
    virtual ~BlockDeviceHandler() = default;
    virtual void DeviceArrived(const std::shared_ptr<Device>& device) = 0;
    // Called before the driver is de-initialised; the handler flushes and lets go of the device and
    // returns ERROR_SUCCESS, or keeps it as it was and returns why it cannot let go now.
    virtual DWORD DeviceRemoving(const std::shared_ptr<Device>& device) = 0;
};

void SetBlockDeviceHandler(BlockDeviceHandler* handler);
// The handler set last (the storage manager, once its library is loaded); a test may wrap it.
BlockDeviceHandler* GetBlockDeviceHandler();

// The devices active in this process, oldest first.
std::vector<std::shared_ptr<Device>> ActiveDevices();

} // namespace devices
