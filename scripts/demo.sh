#!/usr/bin/env bash
# The demo server: a PostgreSQL 15 cluster on a free loopback port with a demo database, a little
# live activity of its own and a private ODBC configuration holding the data source "demo"; in front
# of it the SQL Server stand-in of the tests (tests/tds, a test fixture, not a SQL Server) with
# client sessions of its own, as the FreeTDS data source "demo-mssql".
#   demo.sh start OWNER      starts the cluster, the stand-in and their workload, or reuses them when
#                            running, for the process OWNER; prints the folder that holds odbc.ini
#   demo.sh stop OWNER       OWNER is done; when no other owner is alive, the workload ends and the
#                            stand-in and the cluster stop (the cluster's data is kept for the next start)
#   demo.sh seed FOLDER      a program folder without a server list gets "demo" as its first server
#                            and "demo-mssql" as its second, written by build/tools/quillon_demo_seed
#                            (or the one QUILLON_DEMO_SEED names)
# Everything lives in $XDG_CACHE_HOME/quillon-demo. PostgreSQL refuses to run as root: then the
# cluster runs as the postgres user, in a folder of its own under /tmp (it cannot enter /root).
set -euo pipefail

demo=${XDG_CACHE_HOME:-$HOME/.cache}/quillon-demo
role=quillon_demo
database=demo
# The demo's ports lie below the range the test database draws from, so the two never meet.
first_port=15432
last_port=15531

# shellcheck source=scripts/cluster-helpers.sh
source "$(dirname "$0")/cluster-helpers.sh"
scripts=$(cd "$(dirname "$0")" && pwd)

cluster_dir() {
  [ -f "$demo/cluster" ] && cat "$demo/cluster"
}

demo_cluster_running() {
  local cluster
  cluster=$(cluster_dir) || return 1
  cluster_running "$cluster"
}

psql_demo() {
  local app=$1
  shift
  PGAPPNAME=$app "$pg_bin/psql" -X -q -h "$(cluster_dir)" -p "$(cat "$demo/port")" -U "$role" -d "$database" "$@"
}

create_cluster() {
  local cluster
  if [ "$(id -u)" -eq 0 ]; then
    cluster=$(cluster_folder_in_tmp quillon-demo)
  else
    cluster=$demo/cluster.d
    rm -rf "$cluster"
    mkdir -p "$cluster"
  fi
  echo "$cluster" > "$demo/cluster"
  cluster_init "$cluster" || exit 1
}

# The port of the last start first, so that a running program's data source still finds the cluster.
start_cluster() {
  local port
  # shellcheck disable=SC2046
  port=$(cluster_start "$(cluster_dir)" "-c shared_preload_libraries=pg_stat_statements" $(cat "$demo/port" 2>/dev/null) $(shuf -i "$first_port-$last_port" -n 20)) || exit 1
  echo "$port" > "$demo/port"
}

# The role, the database and its tables; run after every start, so a half-made cluster is completed.
create_database() {
  local cluster port password
  cluster=$(cluster_dir)
  port=$(cat "$demo/port")
  password=$(cat "$demo/password")
  "$pg_bin/psql" -X -q -v ON_ERROR_STOP=1 -h "$cluster" -p "$port" -U postgres -d postgres <<SQL
select 'create role $role login' where not exists (select from pg_roles where rolname = '$role')\gexec
alter role $role password '$password';
select 'create database $database owner $role' where not exists (select from pg_database where datname = '$database')\gexec
\\c $database
create extension if not exists pg_stat_statements;
SQL
  PGOPTIONS='-c client_min_messages=warning' psql_demo demo-setup -v ON_ERROR_STOP=1 <<'SQL'
create table if not exists accounts (
  id integer primary key,
  owner varchar(60) not null,
  balance numeric(12, 2) not null
);
create table if not exists orders (
  id integer primary key,
  account_id integer not null references accounts,
  placed timestamp not null,
  amount numeric(12, 2) not null
);
-- Filled once: a conflicting insert would wait for the row the workload keeps locked.
insert into accounts
  select n, 'Клиент ' || n, 1000 + n from generate_series(1, 50) as n
  where not exists (select from accounts);
insert into orders
  select n, 1 + n % 50, timestamp '2026-01-01' + n * interval '7 minutes', (n % 97) * 10.5
  from generate_series(1, 20000) as n
  where not exists (select from orders);
SQL
}

write_odbc_ini() {
  local driver="PostgreSQL Unicode" freetds=FreeTDS
  # The machine's drivers by name where they are registered (so the program knows a driver by it),
  # else their libraries by path.
  odbcinst -q -d -n "$driver" >/dev/null 2>&1 || driver=$(odbc_library psqlodbcw.so)
  odbcinst -q -d -n "$freetds" >/dev/null 2>&1 || freetds=$(odbc_library libtdsodbc.so)
  (
    umask 077
    {
      # The user's own data sources stay visible beside the demo's.
      if [ -f "$HOME/.odbc.ini" ]; then
        awk '/^[ \t]*\[/ { skip = (tolower($0) ~ /^[ \t]*\[demo\]/) } !skip' "$HOME/.odbc.ini"
        echo
      fi
      cat <<INI
[demo]
Description=Quillon demo server
Driver=$driver
Servername=127.0.0.1
Port=$(cat "$demo/port")
Database=$database
Username=$role
Password=$(cat "$demo/password")
UseDeclareFetch=1
Fetch=1000

[demo-mssql]
Description=Quillon demo: the SQL Server stand-in of the tests, in front of the demo server
Driver=$freetds
Server=127.0.0.1
Port=$(cat "$demo/mssql/port")
TDS_Version=7.4
INI
    } > "$demo/odbc.ini.new"
    mv "$demo/odbc.ini.new" "$demo/odbc.ini"
  )
}

workload_running() {
  [ -f "$demo/workload.pid" ] && kill -0 "$(cat "$demo/workload.pid")" 2>/dev/null
}

# A few client sessions under their own application names, each restarted when it ends (when the
# operator terminates it, say): one keeps a row locked in an open transaction, one waits for that
# row holding another, one waits for that other row, one runs a slow report over and over, one
# sits idle between short queries.
workload() {
  set +e
  trap 'kill 0 2>/dev/null; exit 0' TERM INT
  (while :; do
     { echo "begin; update accounts set balance = balance - 10 where id = 1;"; sleep 300; echo "commit;"; } \
       | psql_demo demo-billing >/dev/null 2>&1
     sleep 2
   done) &
  (sleep 1
   while :; do
     psql_demo demo-payments -c "update accounts set balance = balance + 10 where id = 3;
                                 update accounts set balance = balance + 10 where id = 1" >/dev/null 2>&1
     sleep 2
   done) &
  (sleep 2
   while :; do
     psql_demo demo-audit -c "update accounts set balance = balance where id = 3" >/dev/null 2>&1
     sleep 2
   done) &
  (while :; do
     psql_demo demo-reports -c "select pg_sleep(6), a.owner, count(*), sum(o.amount)
                                 from orders o join accounts a on a.id = o.account_id group by a.owner" >/dev/null 2>&1
     sleep 1
   done) &
  (while :; do
     { for _ in $(seq 1 60); do echo "select count(*) from orders where placed > now() - interval '1 day';"; sleep 5; done; } \
       | psql_demo demo-dashboard >/dev/null 2>&1
     sleep 2
   done) &
  # The same on the SQL Server stand-in, through its own client sessions.
  /usr/bin/python3 "$scripts/../tests/tds/tds_workload.py" --port "$(cat "$demo/mssql/port")" --user "$role" \
    --password-file "$demo/password" >/dev/null 2>&1 &
  wait
}

start_workload() {
  workload_running && return 0
  # A session of its own, so the terminal's Ctrl+C reaches only the program; stop ends the group.
  setsid bash "$0" workload </dev/null >/dev/null 2>&1 9>&- &
  echo $! > "$demo/workload.pid"
}

stop_workload() {
  if workload_running; then
    local pid
    pid=$(cat "$demo/workload.pid")
    kill -TERM -- "-$pid" 2>/dev/null || true
    for _ in $(seq 1 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
  fi
  rm -f "$demo/workload.pid"
}

live_owners() {
  local f
  for f in "$demo"/owners/*; do
    [ -e "$f" ] || continue
    if kill -0 "${f##*/}" 2>/dev/null; then
      echo "${f##*/}"
    else
      rm -f "$f"
    fi
  done
}

start() {
  local owner=$1
  mkdir -p "$demo/owners"
  chmod 700 "$demo"
  exec 9>"$demo/lock"
  flock 9
  if [ ! -f "$demo/password" ]; then
    (umask 077; head -c 18 /dev/urandom | base64 | tr -d '/+=' > "$demo/password")
  fi
  if ! demo_cluster_running; then
    local cluster
    cluster=$(cluster_dir) || true
    if [ -z "$cluster" ] || [ ! -f "$cluster/data/PG_VERSION" ]; then
      create_cluster
    fi
    start_cluster
  fi
  create_database
  bash "$scripts/tds-standin.sh" start "$demo/mssql" "$(cat "$demo/port")" "$database" >/dev/null 9>&-
  write_odbc_ini
  start_workload
  touch "$demo/owners/$owner"
  echo "$demo"
}

stop() {
  local owner=$1
  [ -d "$demo" ] || return 0
  exec 9>"$demo/lock"
  flock 9
  rm -f "$demo/owners/$owner"
  if [ -n "$(live_owners)" ]; then
    return 0
  fi
  stop_workload
  bash "$scripts/tds-standin.sh" stop "$demo/mssql"
  cluster_stop "$(cluster_dir)"
}

# The program's own settings code reads and writes the folder's configuration.
seed() {
  local folder=$1 seeder=${QUILLON_DEMO_SEED:-$scripts/../build/tools/quillon_demo_seed}
  if [ ! -x "$seeder" ]; then
    echo "demo: no $seeder: build it first (cmake --build build --target quillon_demo_seed)" >&2
    exit 1
  fi
  "$seeder" "$folder" "$role"
}

case "${1:-}" in
  start) start "${2:?usage: $0 start OWNER_PID}" ;;
  stop) stop "${2:?usage: $0 stop OWNER_PID}" ;;
  seed) seed "${2:?usage: $0 seed PROGRAM_FOLDER}" ;;
  workload) workload ;;
  *)
    echo "usage: $0 start|stop OWNER_PID | seed PROGRAM_FOLDER" >&2
    exit 2
    ;;
esac
