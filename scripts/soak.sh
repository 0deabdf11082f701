#!/usr/bin/env bash
# A long soak of the main window with 8 monitor windows refreshing a session list every second on a
# throwaway PostgreSQL while client sessions come and go:
#   scripts/soak.sh [MINUTES]      (default 120)
# Builds the harness in build-soak/, starts its own cluster with scripts/testdb.sh and prints, every
# minute, the refreshes so far, the resident size and the live heap, then the live heap's growth
# per refresh over the second half of the run. QUILLON_SOAK_WRAP runs the harness under a tool,
# e.g. QUILLON_SOAK_WRAP="heaptrack -o /tmp/soak" scripts/soak.sh 12.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
minutes=${1:-120}
build="$root/build-soak"
# A cluster of its own for each run, so that a profiled run can go beside a plain one.
db="$build/soakdb.$$"

# Debugging information, so that a heap profiler names the places that allocate.
# shellcheck source=scripts/presets.sh
source "$root/scripts/presets.sh"
(cd "$root" && configure_preset soak >/dev/null && build_preset soak -j2 >/dev/null)

clients=()
cleanup() {
  local pid
  for pid in "${clients[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  bash "$root/scripts/testdb.sh" stop "$db" >/dev/null 2>&1 || true
  rm -rf "$db"
}
mkdir -p "$db"
trap cleanup EXIT
bash "$root/scripts/testdb.sh" start "$db" >/dev/null

# shellcheck disable=SC1091
source "$db/env"
export QUILLON_TEST_DB_DIR="$db" ODBCSYSINI="$db/odbc" ODBCINI="$db/odbc/odbc.ini"
export PGPASSWORD="$PG_PASSWORD"

# Clients that connect, run a statement of a few seconds, sometimes inside a transaction, and
# leave: the windows see sessions appear, change state and vanish.
churn() {
  local n=$1
  while true; do
    "$PG_BIN/psql" -X -q -h 127.0.0.1 -p "$PG_PORT" -U "$PG_USER" -d "$PG_DATABASE" \
      -v "ON_ERROR_STOP=0" -c "set application_name = 'client $n'" \
      -c "begin" -c "select pg_sleep(random() * 4), $RANDOM" -c "select pg_sleep(random() * 2)" -c "commit" \
      >/dev/null 2>&1 || true
    sleep "0.$((RANDOM % 10))"
  done
}
for n in 1 2 3 4; do
  churn "$n" &
  clients+=($!)
done

# shellcheck disable=SC2086
${QUILLON_SOAK_WRAP:-} "$build/bench/quillon_bench_soak" "$minutes" 8
