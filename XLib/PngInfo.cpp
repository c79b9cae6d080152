#include "PngInfo.h"

namespace {

// Lives from start-up to exit; its palette vector is freed by the static destructor.
PngInfo pngState;

} // namespace

void ResetPngInfo() {
    pngState.error = kPngOk;
    pngState.keyDefined = 0;
    pngState.backgroundDefined = 0;
    pngState.paletteSize = 0;
}

bool PngHasError() {
    return pngState.error != kPngOk;
}

uint32_t GetPngError() {
    return pngState.error;
}

uint32_t GetPngWidth() {
    return pngState.width;
}

uint32_t GetPngHeight() {
    return pngState.height;
}

PngInfo& GetPngInfo() {
    return pngState;
}
