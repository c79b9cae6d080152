#!/usr/bin/env bash
# Installs what is missing, builds, installs the programs into the device root and runs the main program,
# FerrovaneEx, in an X11 window (FERROVANE_DISPLAY=x11; headless when there is no display). The device
# root is $DEVICE_ROOT, else the repository's device/. Arguments go to the program ("-new", "-hide").
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
scripts/setup.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
export DEVICE_ROOT="${DEVICE_ROOT:-$root/device}"
build/platform/tools/device/ferrovane-device install >/dev/null
if [ -n "${DISPLAY:-}" ]; then
    export FERROVANE_DISPLAY="${FERROVANE_DISPLAY:-x11}"
else
    echo "No display: FerrovaneEx runs headless; drive it with build/platform/tools/device/ferrovane-device." >&2
fi
exec "$DEVICE_ROOT/store/program files/ferrovane/ferrovane.exe" "$@"
