// A library with one bitmap resource, id 7: a 2 x 1 packed DIB, red then blue.

#include "kernel/Resources.h"

namespace {

const unsigned char kTwoPixels[] = {
    40, 0, 0,   0,   2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0, // size, width 2, height 1, planes 1, 24 bits
    0,  0, 0,   0,   0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  0, // BI_RGB, image size, resolutions
    0,  0, 0,   0,   0, 0, 0, 0,                          // colours used and important
    0,  0, 255, 255, 0, 0, 0, 0,                          // red (B, G, R), blue, padding
};

const kernel::ResourceEntry kResources[] = {{RT_BITMAP, MAKEINTRESOURCE(7), kTwoPixels, sizeof kTwoPixels}};
const kernel::ResourceTable kTable(kResources);

} // namespace
