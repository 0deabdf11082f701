# Shell functions the throwaway clusters share (scripts/testdb.sh, scripts/demo.sh): sourced, not run.

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
