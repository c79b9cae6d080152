#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the plain build with warnings as
# errors, then the AddressSanitizer/UBSan build.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
scripts/setup.sh
jobs="$(nproc)"

scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFERROVANE_WERROR=ON
ctest --test-dir build -j"$jobs" --timeout 600 --output-on-failure

scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DFERROVANE_WERROR=ON -DFERROVANE_SANITIZE=ON \
    -DFERROVANE_BENCHMARKS=OFF
ctest --test-dir build-asan -j"$jobs" --timeout 900 --output-on-failure

# The fuzz targets, each for a bounded time.
CC=clang CXX=clang++ BUILD_TARGET=fuzzers scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DFERROVANE_FUZZ=ON -DFERROVANE_BENCHMARKS=OFF
ctest --test-dir build-fuzz -L fuzz -j"$jobs" --output-on-failure --no-tests=ignore
