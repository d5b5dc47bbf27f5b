#!/usr/bin/env bash
# Installs everything needed to build, test and run the tester on Debian 12.
# Safe to run more than once: apt-get only installs what is missing.
set -euo pipefail

packages=(
  build-essential g++ cmake ninja-build pkg-config git
  qtbase5-dev qtbase5-dev-tools libqt5network5 libqt5widgets5
  protobuf-compiler libprotobuf-dev
  libarchive-dev zlib1g-dev
  googletest libgtest-dev
  openjdk-17-jdk-headless
  clang-format
  # Benchmarks only: their inputs are packed with zip, unzip is a peer they are timed against,
  # and the parse benchmark's ASM driver builds when libasm-java is there (and is skipped when
  # it is not, so the build never needs it).
  zip unzip libasm-java
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "All dependencies are installed."
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
