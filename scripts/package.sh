#!/usr/bin/env bash
# Sets up the machine, builds Quillon and makes its Debian package build/quillon_<version>_amd64.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
# shellcheck source=scripts/presets.sh
source scripts/presets.sh
configure_preset default
build_preset default --target quillon quillon_icon_pngs
cd build
cpack -G DEB
ls -1 "$PWD"/quillon_*.deb
