#pragma once
// The object store: a volume over a host folder. Names match host entries case-insensitively (an exact
// match first); host names are UTF-8, and host entries whose names are not valid device names are not
// listed. The read-only, hidden, system and archive bits and the creation time live in extended
// attributes of each entry. Share modes are enforced across processes with open-file-description locks in
// the device's run-time folder. A listing leaves out, without looking at them, the host entries that this
// process's mount folders hide.

#include <filesystem>
#include <memory>
#include <optional>

#include "kernel/Volume.h"

namespace kernel::files {

std::shared_ptr<Volume> MakeHostVolume(const std::filesystem::path& store, const std::filesystem::path& run);

// The host path of a path below the store: existing entries matched as the volume matches them, the
// other names taken as given; nullopt for a name that has no UTF-8 form.
std::optional<std::filesystem::path> HostPathBelow(const std::filesystem::path& store,
                                                   const PathComponents& path);

} // namespace kernel::files
