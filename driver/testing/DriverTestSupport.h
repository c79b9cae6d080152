#pragma once
// A device root with Ferrovane.dll installed and loaded, its entry points, and small helpers around
// container records and files.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "ContainerFormat.h"
#include "crt/Crt.h"
#include "devices/DiskIo.h"
#include "kernel/Kernel.h"
#include "testing/DeviceRootTest.h"
#include "user/MessageBox.h"

namespace drivertest {

using InitFn = DWORD_PTR (*)(LPCWSTR, LPVOID);
using DeinitFn = BOOL (*)(DWORD_PTR);
using IoControlFn = BOOL (*)(DWORD_PTR, DWORD, PBYTE, DWORD, PBYTE, DWORD, PDWORD);

inline CONTAINER_PARAMS MakeRecord(const std::u16string& path, const std::u16string& password,
                                   const std::u16string& folder, uint32_t size) {
    CONTAINER_PARAMS record;
    std::memset(&record, 0, sizeof record);
    CopyStringW(record.containerPath, kContainerTextUnits, path.c_str());
    CopyStringW(record.password, kContainerTextUnits, password.c_str());
    CopyStringW(record.folderName, kContainerTextUnits, folder.c_str());
    record.size = size;
    record.status = -1;
    record.lastError = 0xDEADBEEF;
    return record;
}

inline std::filesystem::path HostPath(const std::u16string& devicePath) {
    DWORD error = 0;
    return kernel::DeviceToHostPath(devicePath.c_str(), &error).value_or("");
}

inline std::vector<uint8_t> ReadHostFile(const std::u16string& devicePath) {
    std::ifstream in(HostPath(devicePath), std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteHostFile(const std::u16string& devicePath, const std::vector<uint8_t>& bytes) {
    std::ofstream out(HostPath(devicePath), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A request of up to eight buffers, laid out as the driver expects it.
struct Request {
    explicit Request(DWORD start, DWORD sectors, std::vector<std::pair<PBYTE, DWORD>> buffers) {
        storage.resize(offsetof(SG_REQ, sr_sglist) + sizeof(SG_BUF) * std::max<size_t>(buffers.size(), 1));
        SG_REQ* r = Get();
        r->sr_start = start;
        r->sr_num_sec = sectors;
        r->sr_num_sg = static_cast<DWORD>(buffers.size());
        r->sr_status = 0xFFFF;
        r->sr_callback = nullptr;
        for (size_t i = 0; i < buffers.size(); ++i)
            r->sr_sglist[i] = SG_BUF{buffers[i].first, buffers[i].second};
    }
    SG_REQ* Get() { return reinterpret_cast<SG_REQ*>(storage.data()); }
    PBYTE Bytes() { return storage.data(); }
    DWORD Size() const { return static_cast<DWORD>(storage.size()); }
    std::vector<uint8_t> storage;
};

class DriverTest : public testing_support::DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        Install(DRIVER_MANIFEST);
        kernel::SetProgramDevicePath(u"\\program files\\ferrovane\\ferrovane.exe");
        // The driver's boxes are answered OK without being shown; the tests read what was shown.
        user::SetMessageBoxHandler([](const user::MessageBoxRecord&) { return IDOK; });
        user::TakeShownMessageBoxes();
        m_module = LoadLibraryW(u"Ferrovane.dll");
        ASSERT_NE(m_module, nullptr) << GetLastError();
        m_init = reinterpret_cast<InitFn>(GetProcAddressW(m_module, u"FRV_Init"));
        m_deinit = reinterpret_cast<DeinitFn>(GetProcAddressW(m_module, u"FRV_Deinit"));
        m_ioControl = reinterpret_cast<IoControlFn>(GetProcAddressW(m_module, u"FRV_IOControl"));
        ASSERT_TRUE(m_init && m_deinit && m_ioControl);
        CreateDirectoryW(u"\\My Documents", nullptr);
    }
    void TearDown() override {
        if (m_module != nullptr)
            FreeLibrary(m_module);
        user::SetMessageBoxHandler({});
        DeviceRootTest::TearDown();
    }

    BOOL Control(DWORD_PTR disk, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize) {
        return m_ioControl(disk, code, static_cast<PBYTE>(in), inSize, static_cast<PBYTE>(out), outSize,
                           nullptr);
    }
    BOOL Transfer(DWORD_PTR disk, DWORD code, Request& request) {
        return Control(disk, code, request.Bytes(), request.Size(), nullptr, 0);
    }

    // Creates a container, partitions it the way the storage manager does (sector 0 beginning E9 FD FF),
    // deactivates it and writes its trailer: it then opens with the password.
    void MakeContainer(const std::u16string& path, const std::u16string& password,
                       const std::u16string& folder, uint32_t size) {
        CONTAINER_PARAMS record = MakeRecord(path, password, folder, size);
        DWORD_PTR disk = m_init(u"Drivers\\Active\\01", &record);
        ASSERT_NE(disk, 0u);
        std::vector<uint8_t> sector(512, 0);
        sector[0] = 0xE9;
        sector[1] = 0xFD;
        sector[2] = 0xFF;
        Request request(0, 1, {{sector.data(), 512}});
        ASSERT_TRUE(Transfer(disk, IOCTL_DISK_WRITE, request));
        m_deinit(disk);
        CONTAINER_TRAILER trailer;
        BuildNewContainerTrailer(password.c_str(), folder.c_str(), &trailer);
        std::vector<uint8_t> bytes = ReadHostFile(path);
        std::memcpy(bytes.data() + bytes.size() - sizeof trailer, &trailer, sizeof trailer);
        WriteHostFile(path, bytes);
        user::TakeShownMessageBoxes();
    }

    HMODULE m_module = nullptr;
    InitFn m_init = nullptr;
    DeinitFn m_deinit = nullptr;
    IoControlFn m_ioControl = nullptr;
};

} // namespace drivertest
