#!/usr/bin/env bash
# Sets up the machine, builds Quillon and makes its Debian package build/quillon_<version>_amd64.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target quillon quillon_icon_pngs
cd build
cpack -G DEB
ls -1 "$PWD"/quillon_*.deb
