#!/usr/bin/env bash
# Fuzzes every reader of outside input: installs clang when it is missing, builds the libFuzzer
# programs with AddressSanitizer and UndefinedBehaviorSanitizer in build-fuzz/, and runs each
# target for the given number of seconds (default 60), one after the other.
#
# Each target starts from its committed corpus (fuzz/corpus/<target>, read only) and keeps what
# it finds in build-fuzz/corpus/<target>; crashes, leaks, timeouts and slow inputs land in
# build-fuzz/artifacts/<target>/. Add each of those to the committed corpus once it is fixed:
# the tests replay the corpus on every run. FUZZ_TARGETS picks targets ("classfile archive"),
# FUZZ_FLAGS adds libFuzzer flags ("-jobs=2 -workers=2"); the logs of -jobs (fuzz-<n>.log) land
# in build-fuzz/logs/<target>/. CMAKE_BUILD_PARALLEL_LEVEL bounds the build's jobs.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
targets=${FUZZ_TARGETS:-classfile goldfile archive directory cmdline conformance}

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
if ! command -v clang++ >/dev/null; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends clang
fi
# The fuzzing engine ships with the compiler's runtime libraries, a separate package on Debian.
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
printf '#include <cstddef>\n#include <cstdint>\nextern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }\n' \
  >"$probe/probe.cpp"
if ! clang++ -fsanitize=fuzzer "$probe/probe.cpp" -o "$probe/probe" 2>/dev/null; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "libclang-rt-$(clang++ -dumpversion | cut -d. -f1)-dev"
fi
bash scripts/install-deps.sh

cmake -S . -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELM_SANITIZE=ON -DVELM_BUILD_FUZZ=ON \
  -DVELM_BUILD_TESTS=OFF -DVELM_BUILD_BENCH=OFF
# Without --parallel, cmake takes its number of jobs from CMAKE_BUILD_PARALLEL_LEVEL when it is
# set, and leaves it to the build tool otherwise.
# shellcheck disable=SC2046,SC2086
cmake --build build-fuzz --target $(printf 'velm-fuzz-%s ' $targets)

# Class files and gold files stay small; archives and directories hold a few dozen small
# classes; command lines are short.
max_len() {
  case $1 in
    archive | directory) echo 131072 ;;
    cmdline) echo 4096 ;;
    *) echo 65536 ;;
  esac
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
export QT_QPA_PLATFORM=offscreen
here=$(pwd)
for target in $targets; do
  corpus=$here/build-fuzz/corpus/$target
  artifacts=$here/build-fuzz/artifacts/$target
  logs=$here/build-fuzz/logs/$target
  mkdir -p "$corpus" "$artifacts" "$logs"
  echo "== $target: $seconds seconds"
  # libFuzzer writes the logs of -jobs into its working directory.
  # shellcheck disable=SC2086
  (cd "$logs" && "$here/build-fuzz/fuzz/velm-fuzz-$target" "$corpus" "$here/fuzz/corpus/$target" \
    -dict="$here/fuzz/dict/$target.dict" -max_len="$(max_len "$target")" -timeout=10 \
    -rss_limit_mb=2048 -max_total_time="$seconds" -close_fd_mask=3 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" ${FUZZ_FLAGS:-})
done
