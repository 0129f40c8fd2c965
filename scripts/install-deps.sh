#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and benchmarks with.
# Runs apt only when a package is missing, so repeated builds stay fast.
set -euo pipefail
packages=(cmake ninja-build g++ libabsl-dev libeigen3-dev libtbb-dev libtet1.5-dev
          libgtest-dev libbenchmark-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ] || [ "${FORCE_APT:-0}" = 1 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y "${packages[@]}"
fi
