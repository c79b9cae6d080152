#include "MountFolder.h"

#include "ContainerFormat.h"
#include "ProgramSkin.h"
#include "crt/WideString.h"

namespace {

// The name the driver gives its disk, which the storage manager mounts a volume without a folder name at.
constexpr WCHAR kDiskName[] = u"Encrypted Folder";

} // namespace

CMountFolderProbe::CMountFolderProbe(const char16_t* folderName)
    : m_name(folderName, static_cast<int>(wcsnlen(folderName, kContainerTextUnits))) {
    if (m_name.IsEmpty())
        m_name = kDiskName;
    for (int number = 1; number <= kNames; ++number)
        m_taken[static_cast<size_t>(number - 1)] = PathExists(Candidate(number));
}

CString CMountFolderProbe::Candidate(int number) const {
    CString folder = CString(u"\\") + m_name;
    if (number > 1) {
        CString digits;
        digits.Format(u"%d", number);
        folder += digits;
    }
    return folder;
}

CString CMountFolderProbe::MountedFolder() const {
    for (int number = 1; number <= kNames; ++number)
        if (!m_taken[static_cast<size_t>(number - 1)] && PathExists(Candidate(number)))
            return Candidate(number);
    return Candidate(1);
}
