#!/usr/bin/env bash
# Sets up the machine, builds Quillon and starts it from its program folder build/bin, together
# with the demo server (scripts/demo.sh), its data source "demo" and the SQL Server stand-in of the
# tests in front of it, "demo-mssql"; --no-demo starts the program alone. The demo's workload, the
# stand-in and the cluster stop when the program ends.
set -euo pipefail
cd "$(dirname "$0")/.."

with_demo=1
for arg in "$@"; do
  case "$arg" in
    --no-demo) with_demo=0 ;;
    *)
      echo "usage: $0 [--no-demo]" >&2
      exit 2
      ;;
  esac
done

bash scripts/setup.sh
# shellcheck source=scripts/presets.sh
source scripts/presets.sh
configure_preset default
build_preset default --target quillon quillon_demo_seed

if [ "$with_demo" -eq 0 ]; then
  exec build/bin/quillon
fi

trap 'bash scripts/demo.sh stop $$' EXIT
trap 'exit 130' INT TERM HUP
demo=$(bash scripts/demo.sh start $$)
bash scripts/demo.sh seed build/bin
echo "Demo server running: press \"Подключиться\" (Alt+C) on \"demo\", then Alt+S in the window that opens."
echo "SQL Server stand-in (a test fixture in front of the demo server): choose \"demo-mssql\" and SQL Server"
echo "authentication, login quillon_demo, password $(cat "$demo/password"); pick \"Процессы (sp_Who2)\", then Alt+S."
ODBCINI=$demo/odbc.ini build/bin/quillon
