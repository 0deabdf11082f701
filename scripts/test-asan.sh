#!/usr/bin/env bash
# Builds the whole suite with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan and runs
# it once against the throwaway database, with the leak check on except in the tests that turn it
# off (NO_LEAK_CHECK, OFFICE in tests/CMakeLists.txt). The script tests (the demo server, the
# package) test scripts, not code, and stay out. The runs under xcb stay out: Debian's
# libxkbcommon-x11 reads past a buffer as the X connection opens, before any code of ours runs (they
# run in the plain suite).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
# shellcheck source=scripts/presets.sh
source scripts/presets.sh
configure_preset asan
build_preset asan
ctest --preset asan -j"$(nproc)"
