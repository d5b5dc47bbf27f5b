#!/usr/bin/env bash
# Installs what is missing, builds the program and shows how to use it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD_DIR=build bash scripts/build.sh -DVELM_BUILD_TESTS=OFF -DVELM_BUILD_BENCH=OFF
# Help ends the program with status 1 by design; here it is the expected outcome.
./build/velm-jct --help || true
