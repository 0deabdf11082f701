#!/usr/bin/env bash
# Starts and stops the SQL Server stand-in (tests/tds/tds_standin.py, a test fixture: a TDS server in
# front of PostgreSQL) for the test fixture and the demo.
#   tds-standin.sh start FOLDER PG_PORT DATABASE   starts it on a free loopback port, or reuses the one
#                                                  running for FOLDER; prints its port
#   tds-standin.sh stop FOLDER                     stops it
# FOLDER keeps its process id, port and log.
set -euo pipefail

action=${1:-}
folder=${2:-}
if [ -z "$action" ] || [ -z "$folder" ]; then
  echo "usage: $0 start FOLDER PG_PORT DATABASE | stop FOLDER" >&2
  exit 2
fi
standin=$(cd "$(dirname "$0")/.." && pwd)/tests/tds/tds_standin.py

# The stand-in whose process id FOLDER holds, if it is still that program.
running_pid() {
  local pid
  [ -f "$folder/pid" ] || return 1
  pid=$(cat "$folder/pid")
  [ -n "$pid" ] && tr '\0' ' ' < "/proc/$pid/cmdline" 2>/dev/null | grep -q "tds_standin.py" && echo "$pid"
}

start() {
  local pg_port=${1:?PG_PORT} database=${2:?DATABASE} pid
  mkdir -p "$folder"
  if running_pid >/dev/null && [ -s "$folder/port" ]; then
    cat "$folder/port"
    return 0
  fi
  rm -f "$folder/port"
  # A session of its own, so a terminal's Ctrl+C reaches only the program; stop ends it.
  setsid /usr/bin/python3 "$standin" --pg-port "$pg_port" --database "$database" \
    </dev/null >"$folder/log" 2>&1 9>&- &
  pid=$!
  echo "$pid" > "$folder/pid"
  for _ in $(seq 1 100); do
    if grep -q '^listening on ' "$folder/log" 2>/dev/null; then
      sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$folder/log" | head -n 1 > "$folder/port"
      cat "$folder/port"
      return 0
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  cat "$folder/log" >&2 || true
  echo "tds-standin: the SQL Server stand-in did not start" >&2
  exit 1
}

stop() {
  local pid
  if pid=$(running_pid); then
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 1 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
  fi
  rm -f "$folder/pid" "$folder/port"
}

case "$action" in
  start) start "${3:-}" "${4:-}" ;;
  stop) stop ;;
  *)
    echo "usage: $0 start FOLDER PG_PORT DATABASE | stop FOLDER" >&2
    exit 2
    ;;
esac
