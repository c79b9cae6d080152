#pragma once
// The cylinder/head/sector geometry that the partition entries and boot sectors of a disk describe: 63
// sectors a track and as many heads as the usual translation gives for the disk's size.

#include <cstdint>
#include <initializer_list>

namespace fat {

struct DiskGeometry {
    uint32_t heads = 16;
    uint32_t sectorsPerTrack = 63;
};

inline DiskGeometry GeometryFor(uint32_t diskSectors) {
    DiskGeometry geometry;
    constexpr uint64_t kCylinders = 1024;
    for (uint32_t heads : {16u, 32u, 64u, 128u}) {
        geometry.heads = heads;
        if (diskSectors <= kCylinders * heads * geometry.sectorsPerTrack)
            return geometry;
    }
    geometry.heads = 255;
    return geometry;
}

} // namespace fat
