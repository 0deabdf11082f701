#!/usr/bin/env bash
# The demo server: it starts with its workload, the data source "demo" logs on by itself and shows
# the blocked session in pg_locks, and the SQL Server stand-in in front of it ("demo-mssql") shows
# its own client sessions in sp_who2, one blocked by another; a second owner shares the cluster, and
# it stops only when the last owner is done; a program folder without a server list gets "demo"
# and "demo-mssql" where its main settings file puts the list, and one with a list keeps it.
set -euo pipefail
demo_sh=$1
work=$(mktemp -d /tmp/quillon-demo-test.XXXXXX)
export XDG_CACHE_HOME=$work/cache
owner_a=
cleanup() {
  [ -n "$owner_a" ] && kill "$owner_a" 2>/dev/null || true
  bash "$demo_sh" stop $$ >/dev/null 2>&1 || true
  # As root the cluster lives outside the cache folder, in a folder of the postgres user.
  local cluster
  cluster=$(cat "$XDG_CACHE_HOME/quillon-demo/cluster" 2>/dev/null) || true
  case "$cluster" in /tmp/quillon-demo.*) rm -rf "$cluster" ;; esac
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

sleep 600 &
owner_a=$!
folder=$(bash "$demo_sh" start "$owner_a")
[ "$folder" = "$XDG_CACHE_HOME/quillon-demo" ] || fail "demo folder is $folder"
[ "$(stat -c %a "$folder/odbc.ini")" = 600 ] || fail "odbc.ini is readable by others"
export ODBCINI=$folder/odbc.ini

query() {
  isql -b -d'|' -x0x09 demo <<< "$1" 2>&1 | tr -d ' \t\r'
}
waiting=
for _ in $(seq 1 60); do
  waiting=$(query "select application_name from pg_locks l join pg_stat_activity a on a.pid = l.pid where not l.granted") || true
  [[ "$waiting" == *demo-payments* ]] && break
  sleep 0.5
done
[[ "$waiting" == *demo-payments* ]] || fail "no blocked session in pg_locks: $waiting"
sessions=$(query "select application_name || ':' || state from pg_stat_activity where application_name like 'demo-%' order by 1")
for expected in demo-billing:idleintransaction demo-reports:active; do
  [[ "$sessions" == *"$expected"* ]] || fail "no session $expected in: $sessions"
done

# The stand-in, as FreeTDS's own client reads it: sp_who2 with the workload's sessions, the blocked
# one naming its blocker.
grep -q '^\[demo-mssql\]' "$folder/odbc.ini" || fail "no data source demo-mssql"
who() {
  printf 'exec sp_who2\ngo\n' | TDSVER=7.4 tsql -H 127.0.0.1 -p "$(cat "$folder/mssql/port")" -U quillon_demo \
    -P "$(cat "$folder/password")" 2>/dev/null | tr -d '\r'
}
who_rows=
for _ in $(seq 1 60); do
  who_rows=$(who) || true
  [[ "$who_rows" == *SUSPENDED*demo-payments* ]] && break
  sleep 0.5
done
for expected in demo-billing demo-reports demo-dashboard; do
  [[ "$who_rows" == *"$expected"* ]] || fail "no session $expected in sp_who2: $who_rows"
done
billing=$(awk -F'\t' '$11 == "demo-billing" { gsub(/ /, "", $1); print $1 }' <<< "$who_rows")
blocked_by=$(awk -F'\t' '$11 == "demo-payments" { gsub(/ /, "", $5); print $5 }' <<< "$who_rows")
[ -n "$billing" ] && [ "$blocked_by" = "$billing" ] || fail "demo-payments is not blocked by demo-billing: $who_rows"

# A second owner reuses the running cluster: same port, nothing restarted.
port=$(cat "$folder/port")
bash "$demo_sh" start $$ >/dev/null
[ "$(cat "$folder/port")" = "$port" ] || fail "the second start moved the cluster"
workload=$(cat "$folder/workload.pid")
kill "$owner_a"
wait "$owner_a" 2>/dev/null || true
bash "$demo_sh" stop "$owner_a" >/dev/null
owner_a=
query "select 1" >/dev/null || fail "the cluster stopped while an owner was left"
bash "$demo_sh" stop $$
if query "select 1" | grep -q '^1$'; then fail "the cluster still answers after the last owner"; fi
if kill -0 "$workload" 2>/dev/null; then fail "the workload still runs"; fi
[ ! -e "$folder/mssql/pid" ] || fail "the stand-in still runs"

# The catalogue out of order: the program lists it sorted, so the activity script comes first.
program=$work/program
mkdir -p "$program/Config"
printf 'Процессы;WHO;Scripts/who.sql\r\nАктивность;PGACTIVITY;Scripts/a.sql\r\n' | iconv -f UTF-8 -t CP1251 > "$program/Config/Sensors.ini"
bash "$demo_sh" seed "$program"
[ "$(cat "$program/Config/Servers.lst")" = $'demo\r\ndemo-mssql\r' ] || fail "server list not seeded"
# The value of a key in a section of a Windows-1251 INI file, line ends dropped.
profile() {
  iconv -f CP1251 -t UTF-8 "$1" | tr -d '\r' \
    | awk -v section="[$2]" -v key="$3" '/^\[/ { inside = ($0 == section) } inside && index($0, key "=") == 1 { print substr($0, length(key) + 2) }'
}
profiles=$program/Config/Connections.ini
[ "$(profile "$profiles" demo QueryIndex)" = 0 ] || fail "profile does not select the activity script"
grep -q $'^\\[demo-mssql\\]\r$' "$profiles" || fail "no profile for demo-mssql"
[ "$(profile "$profiles" demo-mssql QueryIndex)" = 1 ] || fail "demo-mssql's profile does not select sp_Who2"
[ "$(profile "$profiles" demo-mssql LastUser)" = quillon_demo ] || fail "demo-mssql's profile has not the demo's login"
[ "$(profile "$profiles" demo-mssql Authorization)" = 0 ] || fail "demo-mssql's profile asks for the system's login"
[ "$(profile "$profiles" demo Authorization)" = 1 ] || fail "demo's profile does not use the system's login"
for server in demo demo-mssql; do
  [ "$(profile "$profiles" "$server" Sleep)" = 2 ] || fail "$server's profile interval is not 2"
done
[ "$(stat -c %a "$program/Config/Servers.lst")" = 600 ] || fail "server list is readable by others"
[ "$(stat -c %a "$profiles")" = 600 ] || fail "profiles are readable by others"
printf 'SRV\r\n' > "$program/Config/Servers.lst"
bash "$demo_sh" seed "$program"
[ "$(cat "$program/Config/Servers.lst")" = $'SRV\r' ] || fail "an existing server list was changed"

# Where the main settings file moves the lists, as the program reads it: backslashes, a leading one
# dropped, relative to the program folder, a missing folder made; a profile already there is kept.
moved=$work/moved
mkdir -p "$moved/Config" "$moved/Profiles"
printf '[Main]\r\nServerList=\\Lists\\Servers.lst\r\nConnectionList=Profiles\\Profiles.ini\r\n' > "$moved/Config/quillon.ini"
printf '[DEMO]\r\nSleep=9\r\n' > "$moved/Profiles/Profiles.ini"
bash "$demo_sh" seed "$moved"
[ "$(cat "$moved/Lists/Servers.lst")" = $'demo\r\ndemo-mssql\r' ] || fail "moved server list not seeded"
[ ! -e "$moved/Config/Servers.lst" ] || fail "the server list went to its default place"
[ "$(profile "$moved/Profiles/Profiles.ini" DEMO Sleep)" = 9 ] || fail "an existing profile was changed"
[ "$(profile "$moved/Profiles/Profiles.ini" demo-mssql Sleep)" = 2 ] || fail "moved profiles not seeded"
echo "demo server: ok"
