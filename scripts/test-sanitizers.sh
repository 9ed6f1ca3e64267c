#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer into ./build-asan and runs
# every test headless. The save-fault tests preload our fault shim, hence the link-order option.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLIRVAN_SANITIZE=ON
cmake --build build-asan -j"$(nproc)"
cd build-asan
QT_QPA_PLATFORM=offscreen \
ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    ctest --output-on-failure --timeout 600 -j2
