#!/usr/bin/env bash
# Installs what is missing, then builds and tests three trees: build, the plain build with warnings as
# errors; build-asan, the AddressSanitizer/UBSan build; build-fuzz, the clang build whose fuzz targets each
# run for a bounded time.
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
