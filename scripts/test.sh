#!/usr/bin/env bash
# Sets up the machine, builds Quillon with its tests and runs them all.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
# shellcheck source=scripts/presets.sh
source scripts/presets.sh
configure_preset default
build_preset default
ctest --preset default -j"$(nproc)"
