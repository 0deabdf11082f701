#!/usr/bin/env bash
# The throwaway test database: a PostgreSQL 15 cluster on a free loopback port, a SQLite file and
# a private unixODBC configuration pointing at both.
#   testdb.sh start DIR         writes DIR/odbc/odbcinst.ini, DIR/odbc/odbc.ini and DIR/env
#   testdb.sh stop DIR          stops the cluster and removes it; also after a failed start
#   testdb.sh start-mssql DIR   starts the SQL Server stand-in (a test fixture, tests/tds) in front of
#                               the cluster, with the FreeTDS data source QuillonMSSQL, a Cyrillic
#                               login, and its entries in DIR/env
#   testdb.sh stop-mssql DIR    stops the stand-in
# The cluster itself lives in a folder under /tmp that the postgres user owns: PostgreSQL refuses
# to run as root, and the postgres user may not be able to reach DIR (a clone under /root).
set -euo pipefail

action=${1:-}
dir=${2:-}
if [ -z "$action" ] || [ -z "$dir" ]; then
  echo "usage: $0 start|stop|start-mssql|stop-mssql DIR" >&2
  exit 2
fi

role=quillon
database=quillon
# Characters that must be braced in an ODBC connection string, so the tests cover the bracing.
password='q;ui}llon'

# shellcheck source=scripts/cluster-helpers.sh
source "$(dirname "$0")/cluster-helpers.sh"

stop_cluster() {
  local cluster
  [ -f "$dir/cluster" ] || return 0
  cluster=$(cat "$dir/cluster")
  cluster_stop "$cluster"
  case "$cluster" in
    /tmp/quillon-pg.*) rm -rf "$cluster" ;;
  esac
  rm -f "$dir/cluster"
}

start() {
  stop_cluster
  mkdir -p "$dir/odbc"
  rm -f "$dir/env" "$dir/test.sqlite"

  local cluster
  cluster=$(cluster_folder_in_tmp quillon-pg)
  echo "$cluster" > "$dir/cluster"

  local pwfile="$cluster/superuser-password"
  as_postgres bash -c "umask 077; echo postgres > '$pwfile'"
  cluster_init "$cluster" --pwfile="$pwfile" || exit 1

  local port candidates=()
  for _ in $(seq 1 20); do
    candidates+=($((20000 + RANDOM % 30000)))
  done
  # pg_stat_statements, loaded as a server that offers it to monitors loads it: the script cost probe reads it.
  port=$(cluster_start "$cluster" "-c synchronous_commit=off -c full_page_writes=off -c shared_preload_libraries=pg_stat_statements" \
    "${candidates[@]}") || exit 1

  "$pg_bin/psql" -X -q -v ON_ERROR_STOP=1 -h "$cluster" -p "$port" -U postgres -d postgres <<SQL
create role $role login password '$password';
create database $database owner $role encoding 'UTF8' template template0;
\\c $database
create extension pg_stat_statements;
SQL

  cat > "$dir/odbc/odbcinst.ini" <<INI
[PostgreSQL Unicode]
Description=PostgreSQL ODBC driver (Unicode)
Driver=$(odbc_library psqlodbcw.so)

[SQLite3]
Description=SQLite3 ODBC driver
Driver=$(odbc_library libsqlite3odbc.so)

[FreeTDS]
Description=FreeTDS ODBC driver
Driver=$(odbc_library libtdsodbc.so)
INI

  cat > "$dir/odbc/odbc.ini" <<INI
[QuillonPG]
Driver=PostgreSQL Unicode
Servername=127.0.0.1
Port=$port
Database=$database
UseDeclareFetch=1
Fetch=1000

[QuillonSQLite]
Driver=SQLite3
Database=$dir/test.sqlite
INI

  cat > "$dir/env" <<ENV
PG_DSN='QuillonPG'
SQLITE_DSN='QuillonSQLite'
SQLITE_FILE='$dir/test.sqlite'
PG_HOST='127.0.0.1'
PG_PORT='$port'
PG_SOCKET_DIR='$cluster'
PG_DATABASE='$database'
PG_USER='$role'
PG_PASSWORD='$password'
PG_SUPERUSER='postgres'
PG_BIN='$pg_bin'
ENV
  echo "testdb: PostgreSQL on 127.0.0.1:$port, configuration in $dir"
}

# The stand-in's logins are the cluster's: a second one with a Cyrillic name tests the login's text.
cyrillic_role='оператор'
cyrillic_password='пароль;1'

start_mssql() {
  # shellcheck disable=SC1091
  source "$dir/env"
  "$pg_bin/psql" -X -q -v ON_ERROR_STOP=1 -h "$PG_SOCKET_DIR" -p "$PG_PORT" -U "$PG_SUPERUSER" -d "$PG_DATABASE" <<SQL
create role "$cyrillic_role" login password '$cyrillic_password';
grant create on schema public to "$cyrillic_role";
SQL
  local port
  port=$(bash "$(dirname "$0")/tds-standin.sh" start "$dir/mssql" "$PG_PORT" "$PG_DATABASE")
  cat >> "$dir/odbc/odbc.ini" <<INI

[QuillonMSSQL]
Driver=FreeTDS
Server=127.0.0.1
Port=$port
TDS_Version=7.4
INI
  cat >> "$dir/env" <<ENV
MSSQL_DSN='QuillonMSSQL'
MSSQL_PORT='$port'
MSSQL_CYRILLIC_USER='$cyrillic_role'
MSSQL_CYRILLIC_PASSWORD='$cyrillic_password'
ENV
  echo "testdb: SQL Server stand-in on 127.0.0.1:$port"
}

case "$action" in
  start) start ;;
  start-mssql) start_mssql ;;
  stop-mssql) bash "$(dirname "$0")/tds-standin.sh" stop "$dir/mssql" ;;
  stop)
    bash "$(dirname "$0")/tds-standin.sh" stop "$dir/mssql"
    stop_cluster
    rm -rf "$dir/odbc" "$dir/env" "$dir/test.sqlite"
    ;;
  *)
    echo "usage: $0 start|stop|start-mssql|stop-mssql DIR" >&2
    exit 2
    ;;
esac
