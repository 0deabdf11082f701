#!/usr/bin/env bash
# Sets up the machine, builds Quillon and starts it from its program folder build/bin.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target quillon
exec build/bin/quillon
