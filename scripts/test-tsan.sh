#!/usr/bin/env bash
# Builds the thread tests with ThreadSanitizer and runs them against the throwaway database.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build-tsan -DQUILLON_TSAN=ON -DQUILLON_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
cmake --build build-tsan -j"$(nproc)" --target tst_form_mon tst_command_menu tst_logon tst_query_thread tst_hostile_servers tst_query tst_data_set
cd build-tsan
export TSAN_OPTIONS="suppressions=$PWD/../tests/tsan.supp die_after_fork=0 halt_on_error=1"
ctest --output-on-failure -R '^(tst_form_mon|tst_command_menu|tst_logon|tst_query_thread|tst_hostile_servers|tst_query|tst_data_set|database_start|database_stop)$'
