#!/usr/bin/env bash
# Builds the thread tests with ThreadSanitizer and runs them against the throwaway database.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
# shellcheck source=scripts/presets.sh
source scripts/presets.sh
configure_preset tsan
build_preset tsan
# The tests labelled "threads", with the database fixtures they need.
ctest --preset tsan
