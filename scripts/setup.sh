#!/usr/bin/env bash
# Installs the Debian packages the build needs, where they are missing.
set -euo pipefail
packages=(g++ cmake ninja-build pkg-config googletest libgtest-dev libgmock-dev libbenchmark-dev time
          qt6-base-dev qt6-qpa-plugins libgl-dev libpng-dev libsleef-dev
          libhdf5-dev libgif-dev python3-numpy python3-h5py python3-matplotlib
          clang libclang-rt-14-dev)  # clang and its libFuzzer runtime: scripts/fuzz.sh
packages+=(munge slurmctld slurmd slurm-client)  # the one-node cluster of tests/cluster
packages+=(libcli11-dev)  # the runner's option declarations
packages+=(help2man)  # the runner's man page, made from its --help at build time
packages+=(libginac-dev libmuparser-dev)  # formulas of the field model: derivatives, syntax errors
packages+=(pybind11-dev python3-dev python3-pytest)  # the Python module and its tests
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
