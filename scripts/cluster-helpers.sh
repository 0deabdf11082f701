# shellcheck shell=bash
# The throwaway PostgreSQL clusters of the test fixture (scripts/testdb.sh, which the benchmarks and
# the soak start as well) and of the demo (scripts/demo.sh): sourced, not run. A cluster is a folder
# holding data/, its logs and its Unix socket; it listens on 127.0.0.1 only.

# The server's programs, of the one version scripts/setup.sh installs.
pg_bin=/usr/lib/postgresql/15/bin

# PostgreSQL refuses to run as root: as root, the postgres user runs the cluster's commands.
as_postgres() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

port_is_free() {
  ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# A new cluster folder under /tmp named PREFIX.XXXXXX that the postgres user owns when we are root
# (it may not be able to reach the caller's folders, a clone under /root say); prints its path.
cluster_folder_in_tmp() {
  local folder
  folder=$(mktemp -d "/tmp/$1.XXXXXX")
  chmod 755 "$folder"
  if [ "$(id -u)" -eq 0 ]; then chown postgres: "$folder"; fi
  echo "$folder"
}

# cluster_init FOLDER [INITDB_OPTION...]: a cluster in FOLDER/data whose superuser is postgres,
# trusted on its socket and asked for a password over TCP.
cluster_init() {
  local folder=$1
  shift
  if [ ! -x "$pg_bin/initdb" ]; then
    echo "cluster: no PostgreSQL server in $pg_bin (run scripts/setup.sh)" >&2
    return 1
  fi
  as_postgres "$pg_bin/initdb" -D "$folder/data" -U postgres --auth-local=trust --auth-host=scram-sha-256 \
    -E UTF8 --locale=C.UTF-8 "$@" >"$folder/initdb.log" 2>&1 || {
    cat "$folder/initdb.log" >&2
    echo "cluster: initdb failed in $folder" >&2
    return 1
  }
}

# cluster_start FOLDER "SERVER_OPTIONS" PORT...: starts the cluster on the first of the ports that is
# free and takes it, and prints that port. The server must not inherit descriptor 9, the lock
# demo.sh holds while it starts, or it would hold the lock for its whole life.
cluster_start() {
  local folder=$1 options=$2 port
  shift 2
  for port in "$@"; do
    port_is_free "$port" || continue
    if as_postgres "$pg_bin/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w -t 60 \
         -o "-c listen_addresses=127.0.0.1 -p $port -c unix_socket_directories=$folder -c fsync=off $options" \
         start >/dev/null 9>&-; then
      echo "$port"
      return 0
    fi
  done
  cat "$folder/server.log" >&2 || true
  echo "cluster: the PostgreSQL cluster in $folder did not start" >&2
  return 1
}

cluster_running() {
  [ -d "$1/data" ] && as_postgres "$pg_bin/pg_ctl" -D "$1/data" status >/dev/null 2>&1
}

cluster_stop() {
  if cluster_running "$1"; then
    as_postgres "$pg_bin/pg_ctl" -D "$1/data" -m fast -w -t 30 stop >/dev/null 2>&1 || true
  fi
}

# The full path of an ODBC driver library where Debian puts it, else its bare name.
odbc_library() {
  local found
  for found in /usr/lib/*/odbc/"$1" /usr/lib/odbc/"$1" /usr/lib64/"$1"; do
    if [ -e "$found" ]; then
      echo "$found"
      return
    fi
  done
  echo "$1"
}
