#!/usr/bin/env bash
# Installs what is missing, builds, and runs every unit test twice: in the
# normal build (build/) and under AddressSanitizer and UndefinedBehaviorSanitizer
# (build-asan/). Fails when a test fails or when no test ran.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc 2>/dev/null || echo 2)

BUILD_DIR=build bash scripts/build.sh -DVELM_BUILD_TESTS=ON
ctest --test-dir build --output-on-failure --no-tests=error -j "$jobs"

BUILD_DIR=build-asan bash scripts/build.sh -DVELM_SANITIZE=ON -DVELM_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure --no-tests=error -j "$jobs"
