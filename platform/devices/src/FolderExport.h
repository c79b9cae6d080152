#pragma once
// A mounted volume served at the host folder that its device path maps to, through FUSE, so that the
// device's other processes and the user's own programs see and change the same files as the process that
// mounted it. The FUSE session runs on threads of this process and calls the volume through the kernel's
// volume interface; this process's kernel keeps serving the folder from its own mount table and never
// looks into the host folder.
//
// What a caller may rely on:
// - Start serves the folder or says why it cannot; the volume is then seen by this process only, which is
//   no failure of the mount.
// - The host sees FAT's rules: names are matched case-insensitively, and an entry's short (8.3) name is
//   another name of it for every call, as the volume resolves it; names the device refuses are refused
//   (EINVAL); an open file cannot be deleted or renamed (EBUSY), while one that the thread which opened it
//   has closed can be at once, before the kernel's release of it arrives; the read-only attribute is the
//   owner's write bit. fsync of a file or a folder writes the volume through to its disk. The platform's
//   attributes and creation time are answered as the extended attributes the object store keeps them in, so
//   the file calls of another device process work through the folder; extended attributes outside the
//   user namespace (access lists, security labels) are not supported (ENOTSUP).
// - Share modes are the mounting process's business among its own handles: opens through the folder take
//   no part in them.
// - Stop unmounts the folder once nothing on the host holds anything in it (an open file, a current
//   folder), waiting at most the patience on the platform clock; while something does, the folder stays
//   served and unchanged and Stop reports it busy. A stopped export leaves no host folder behind.

#include <filesystem>
#include <memory>
#include <string>

#include "crt/Types.h"
#include "kernel/Volume.h"

namespace devices {

enum class ExportStop {
    Stopped, // the folder is unmounted and removed
    Busy,    // host programs still hold the folder; it is served as before
};

class FolderExport {
public:
    // Creates the host folder and serves the volume there; deviceFolder ("\Encrypted") bounds the length
    // of the paths the host may create. A read-only volume is mounted read-only, so the host's changes
    // fail with EROFS. Null, with the reason in *whyNot, when the folder cannot be served.
    static std::unique_ptr<FolderExport> Start(const std::filesystem::path& hostFolder,
                                               const std::u16string& deviceFolder,
                                               std::shared_ptr<kernel::Volume> volume, bool readOnly,
                                               std::string* whyNot);
    ~FolderExport(); // stops without waiting; still busy, the session is left to the end of the process
    FolderExport(const FolderExport&) = delete;
    FolderExport& operator=(const FolderExport&) = delete;

    ExportStop Stop(DWORD patienceMilliseconds);

    const std::filesystem::path& HostFolder() const;
    // Files host programs hold open through the folder.
    size_t OpenFiles() const;

    class Server;

private:
    explicit FolderExport(std::unique_ptr<Server> server);
    std::unique_ptr<Server> m_server;
};

// Clears what a process that died while serving a folder left at this host folder: a dead FUSE mount is
// detached, and the empty folder that Start had made is removed. Anything else is left alone. True when
// there was a dead mount.
bool ReclaimHostFolder(const std::filesystem::path& hostFolder);

} // namespace devices
