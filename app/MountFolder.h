#pragma once
// Where the storage manager mounts a container's volume: at "\" + the folder name the driver hands it, or,
// when that name is taken, at the first free one of "\name2" to "\name99". A probe made just before an
// activation notes which of those names are taken; after it, the mount is the first one that was free
// then and is there now.

#include <array>

#include "classlib/String.h"
#include "crt/Types.h"

class CMountFolderProbe {
public:
    // The folder name of the record to be activated; an empty one stands for the disk's own name, which
    // the storage manager takes then.
    explicit CMountFolderProbe(const char16_t* folderName);

    // The folder the activation's volume came up at; "\" + the name when none of the free names appeared.
    CString MountedFolder() const;

private:
    static constexpr int kNames = 99;
    CString Candidate(int number) const;

    CString m_name;
    std::array<bool, kNames> m_taken{};
};
