#!/usr/bin/env bash
# Installs what is missing, builds, and runs what the project has to run so far: the main program does
# not exist yet, so this runs the AES-128 throughput benchmark beside OpenSSL.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
scripts/setup.sh
BUILD_TARGET=crypto_benchmark scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
exec build/crypto/crypto_benchmark "$@"
