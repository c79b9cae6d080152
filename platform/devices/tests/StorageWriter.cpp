// The writer program of the storage tests: mounts a container through the device manager and carries out
// the writer script of a seed, reporting each completed step on standard output ("done <step>"), until it
// is killed. With a step limit it stops after that many steps, says "limit" and waits to be killed, so a
// test chooses its kill point by work done; without one it runs the script to its end.
//
//   storage_test_writer <container device path> <password> <seed> [<step limit>]

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ContainerFormat.h"
#include "ToolSupport.h"
#include "WriterScript.h"
#include "crt/Crt.h"
#include "devices/DeviceManager.h"
#include "devices/StorageManager.h"
#include "kernel/Kernel.h"

namespace {

constexpr uint32_t kMaxSteps = 100000;

void Report(const std::string& line) {
    const std::string text = line + "\n";
    ssize_t ignored = ::write(STDOUT_FILENO, text.data(), text.size());
    (void)ignored;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        Report("usage: storage_test_writer <container> <password> <seed> [<step limit>]");
        return 2;
    }
    // A writer left waiting at its limit goes with the test that started it.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    CONTAINER_PARAMS record;
    std::memset(&record, 0, sizeof record);
    CopyStringW(record.containerPath, kContainerTextUnits, fat::test::U16(argv[1]).c_str());
    CopyStringW(record.password, kContainerTextUnits, fat::test::U16(argv[2]).c_str());
    CopyStringW(record.folderName, kContainerTextUnits, u"Encrypted");
    const uint32_t seed = static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10));
    const uint32_t limit = argc == 5 ? static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 10)) : kMaxSteps;

    HANDLE device = ActivateDeviceEx(u"Drivers\\Builtin\\Ferrovane", nullptr, 0, &record);
    auto active = device != nullptr ? kernel::FindHandleAs<devices::Device>(device) : nullptr;
    const std::u16string folder = active ? devices::MountFolderOf(*active) : std::u16string();
    if (folder.empty()) {
        Report("not mounted: status " + std::to_string(record.status));
        return 1;
    }
    Report("ready");
    storagetest::WriterScript script(seed);
    for (uint32_t index = 0; index < limit; ++index) {
        const storagetest::WriterStep step = script.Next();
        if (!storagetest::RunWriterStep(folder, step)) {
            Report("failed " + std::to_string(index) + " error " + std::to_string(GetLastError()));
            DeactivateDevice(device);
            return 1;
        }
        script.Apply(step);
        Report("done " + std::to_string(index));
    }
    if (argc == 5) {
        Report("limit");
        for (;;)
            ::pause();
    }
    DeactivateDevice(device);
    return 0;
}
