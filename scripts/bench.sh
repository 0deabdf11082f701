#!/usr/bin/env bash
# Benchmark of Quillon against reference programs on the same throwaway PostgreSQL, in one run:
#   scripts/bench.sh [RUNS]      (default 5 paired runs; medians are printed)
# Builds the benchmarks in build-bench/, starts its own cluster with scripts/testdb.sh, loads
# 200,000 rows x 10 columns and prints one table: each figure, its reference, the ratio of the
# two and the goal. Every reference runs in turn with the program it is compared with (A B A B ...),
# its output thrown away as the program's is, and a ratio is the median of the ratios of the pairs,
# so that a machine whose speed drifts during the run still compares like with like.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-5}
build="$root/build-bench"
db="$build/benchdb"

# shellcheck source=scripts/presets.sh
source "$root/scripts/presets.sh"
(cd "$root" && configure_preset bench >/dev/null && build_preset bench -j2 >/dev/null)

# The terminal monitor that watching is compared with; the benchmark alone uses it.
if ! command -v pg_activity >/dev/null 2>&1; then
  if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends pg-activity >/dev/null 2>&1 || true
fi

sessions=()
cleanup() {
  local pid
  for pid in "${sessions[@]}"; do kill "$pid" 2>/dev/null || true; done
  bash "$root/scripts/testdb.sh" stop "$db" >/dev/null 2>&1 || true
}
mkdir -p "$db"
trap cleanup EXIT
bash "$root/scripts/testdb.sh" start "$db" >/dev/null

# shellcheck disable=SC1091
source "$db/env"
export ODBCSYSINI="$db/odbc" ODBCINI="$db/odbc/odbc.ini" QUILLON_TEST_DB_DIR="$db"
export PGPASSWORD="$PG_PASSWORD"
psql_tcp=("$PG_BIN/psql" -X -h 127.0.0.1 -p "$PG_PORT" -U "$PG_USER" -d "$PG_DATABASE")
# The data source as the program reaches it, the password braced as ODBC wants it.
odbc_string="DSN=$PG_DSN;UID=$PG_USER;PWD={${PG_PASSWORD//\}/\}\}}}"

"$PG_BIN/psql" -X -q -h "$PG_SOCKET_DIR" -p "$PG_PORT" -U "$PG_SUPERUSER" -d "$PG_DATABASE" -v ON_ERROR_STOP=1 <<'SQL'
create table bench as
select g as id, (g * 7) % 1000 as qty, g::int8 * 1000 as total,
       'process ' || g as name, md5(g::text) as hash, ('code' || g % 50)::varchar(10) as code,
       ((g % 10000) / 100.0)::numeric(12,2) as amount, ((g * 3 % 7777) / 7.0)::numeric(10,4) as ratio,
       timestamp '2020-01-01' + g * interval '1 minute' as created,
       timestamp '2021-06-01' + (g % 5000) * interval '1 hour' as updated
from generate_series(1, 200000) g;
alter table bench owner to quillon;
-- Hint bits and the visibility map set now, so that neither the first reader nor autovacuum
-- does that work during a measurement.
vacuum (freeze, analyze) bench;
SQL

query="select * from bench"
filter_text="[qty] > 500 AND [code] = 'code7'"

# "wall user sys peak_kilobytes" of one command, its output thrown away.
measure() {
  /usr/bin/time -f "%e %U %S %M" -o "$build/time.out" "$@" >/dev/null 2>"$build/cmd.err" || {
    cat "$build/cmd.err" >&2
    exit 1
  }
  cat "$build/time.out"
}
median() { sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
field() { echo "$1" | awk -v k="$2" '{for (i = 1; i < NF; i += 2) if ($i == k) print $(i + 1)}'; }
# The median over the lines of a file of an awk expression of its columns.
column_median() { awk "{print $2}" "$1" | median; }

# Opening the table: psql, the bare ODBC program, the program (through libpq, as it reads this data
# source) and the program held to ODBC in turn, each pass one quadruple, after one pass unmeasured
# that brings the table and the programs into the caches.
"${psql_tcp[@]}" -At -c "$query" >/dev/null
"$build/bench/quillon_bench_odbc" "$odbc_string" "$query" >/dev/null
"$build/bench/quillon_bench" open "$query" >/dev/null
"$build/bench/quillon_bench" --odbc open "$query" >/dev/null
: >"$build/open.txt"
for _ in $(seq 1 "$runs"); do
  echo "$(measure "${psql_tcp[@]}" -At -c "$query") $(measure "$build/bench/quillon_bench_odbc" "$odbc_string" "$query") \
$(measure "$build/bench/quillon_bench" open "$query") $(measure "$build/bench/quillon_bench" --odbc open "$query")" >>"$build/open.txt"
done
open_line=$("$build/bench/quillon_bench" open "$query")

sort_line() { "$build/bench/quillon_bench" ops "$query" "$1" "$filter_text" 7; }
sort_code=$(sort_line "[code] ,[amount] DESC")
sort_hash=$(sort_line "[hash] ,[qty]")
sort_name=$(sort_line "[name] ,[id] DESC")
# The operators' own locale, whose collation the program takes from the environment as it is.
sort_hash_ru=$(env LC_ALL=ru_RU.UTF-8 "$build/bench/quillon_bench" ops "$query" "[hash] ,[qty]" "$filter_text" 7)

monitor_table=$("$build/bench/quillon_bench_monitor")
peak_line=$("$build/bench/quillon_bench_monitor" peak)

# Watching: a window on the server's activity at 1 s beside pg_activity at 1 s, each given 5 s to
# start and then measured for 20 s, in pairs, with 50 sessions asleep in a statement to show.
for _ in $(seq 1 50); do
  "${psql_tcp[@]}" -q -c "select pg_sleep(3600)" >/dev/null 2>&1 &
  sessions+=($!)
done
hz=$(getconf CLK_TCK)
# Percent of one core that process pid used over span seconds.
cpu_share() {
  local pid=$1 span=$2 a b t0 t1
  a=$(awk '{print $14 + $15}' "/proc/$pid/stat"); t0=$(date +%s.%N)
  sleep "$span"
  b=$(awk '{print $14 + $15}' "/proc/$pid/stat"); t1=$(date +%s.%N)
  awk -v a="$a" -v b="$b" -v t0="$t0" -v t1="$t1" -v hz="$hz" 'BEGIN {printf "%.3f\n", 100 * (b - a) / hz / (t1 - t0)}'
}
watch_quillon() {
  local pid share
  "$build/bench/quillon_bench_monitor" watch >/dev/null 2>&1 &
  pid=$!
  sleep 5
  share=$(cpu_share "$pid" 20)
  kill "$pid"; wait "$pid" 2>/dev/null || true
  echo "$share"
}
watch_pg_activity() {
  local outer pid share
  rm -f "$build/pg_activity.pid"
  TERM=xterm script -qec "stty rows 50 cols 200; echo \$\$ >'$build/pg_activity.pid'; exec pg_activity \
-h '$PG_SOCKET_DIR' -p '$PG_PORT' -U '$PG_SUPERUSER' -d '$PG_DATABASE' --refresh 1" /dev/null >/dev/null 2>&1 </dev/null &
  outer=$!
  sleep 5
  pid=$(cat "$build/pg_activity.pid")
  share=$(cpu_share "$pid" 20)
  kill "$pid"; wait "$outer" 2>/dev/null || true
  echo "$share"
}
: >"$build/watch.txt"
if command -v pg_activity >/dev/null 2>&1; then
  for _ in 1 2 3; do echo "$(watch_quillon) $(watch_pg_activity)" >>"$build/watch.txt"; done
else
  for _ in 1 2 3; do echo "$(watch_quillon) -" >>"$build/watch.txt"; done
fi
for pid in "${sessions[@]}"; do kill "$pid" 2>/dev/null || true; done
sessions=()

# The menu file of a script with 3,000 commands, as the editors and Start use it; no server needed.
menu_table=$("$build/bench/quillon_bench_menu" 3000 "$runs")

# A window's history of a session list with realistic churn; no server needed.
history_table=$("$build/bench/quillon_bench_history")

office_plugin=$(ls "$build"/bin/libquillon_office.so 2>/dev/null || true)
export_line=$("$build/bench/quillon_bench_export" "select * from bench order by id limit 10000" $office_plugin)

echo
echo "Quillon benchmark: $query (200,000 rows x 10 columns), PostgreSQL on loopback; $runs paired runs, medians"
printf '| %-58s | %-22s | %-26s | %-9s | %-16s |\n' "figure" "measured" "reference" "ratio" "goal"
printf '|%s|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..60})" "$(printf -- '-%.0s' {1..24})" \
  "$(printf -- '-%.0s' {1..28})" "$(printf -- '-%.0s' {1..11})" "$(printf -- '-%.0s' {1..18})"
row() { printf '| %-58s | %-22s | %-26s | %-9s | %-16s |\n' "$@"; }
sec() { printf '%.2f s' "$1"; }
mb() { awk -v kb="$1" 'BEGIN {printf "%.1f MB", kb / 1024}'; }
# Columns of open.txt: psql 1-4, bare ODBC 5-8, program 9-12, program through ODBC 13-16 (wall user
# sys peak).
# A row of two open.txt figures side by side: label, unit (sec or mb), the measured figure's awk
# expression, the reference's name and expression, and the goal.
open_row() {
  local label=$1 unit=$2 measured=$3 name=$4 reference=$5 goal=$6
  row "$label" "$("$unit" "$(column_median "$build/open.txt" "$measured")")" \
    "$name $("$unit" "$(column_median "$build/open.txt" "$reference")")" \
    "$(printf '%.2f' "$(column_median "$build/open.txt" "($measured) / ($reference + 0.000001)")")" "$goal"
}
open_row "open through libpq, whole process, wall" sec '$9' "psql -At" '$1' "<= 0.80 x psql"
open_row "open through ODBC, whole process, wall" sec '$13' "bare ODBC" '$5' "<= 1.05 x bare ODBC"
open_row "open through ODBC, processor time" sec '$14 + $15' "bare ODBC" '$6 + $7' "-"
open_row "bare ODBC program, whole process, wall" sec '$5' "psql -At" '$1' "(the driver's floor)"
open_row "open through libpq, processor time" sec '$10 + $11' "psql -At" '$2 + $3' "-"
open_row "open through libpq, peak memory" mb '$12' "psql -At" '$4' "<= 0.60 x psql"
row "open inside the process" "$(field "$open_line" open_ms) ms" "-" "-" "-"
row "memory per cell held" "$(field "$open_line" bytes_per_cell) bytes" "-" "-" "-"
row "adoption of the rows" "$(field "$sort_code" adopt_ms) ms" "-" "-" "< 1 ms"
for pair in "sort_code:[code] ,[amount] DESC (50 values)" "sort_hash:[hash] ,[qty] (md5 text)" \
  "sort_name:[name] ,[id] DESC (shared prefix)" "sort_hash_ru:[hash] ,[qty] (md5 text), ru_RU collation"; do
  name=${pair%%:*}
  line=${!name}
  label=${pair#*:}
  row "sort $label" "$(field "$line" sort_ms) ms (cpu $(field "$line" sort_cpu_ms))" "-" "-" "< 150 ms"
done
row "filter $filter_text" "$(field "$sort_code" filter_ms) ms" "-" "-" "< 30 ms"
while IFS='|' read -r _ what median worst _; do
  row "$(echo "$what" | sed 's/^ *//; s/ *$//')" "$(echo "$median" | sed 's/^ *//; s/ *$//')" "-" "-" "-"
  row "  the same, worst" "$(echo "$worst" | sed 's/^ *worst *//; s/ *$//')" "-" "-" "< 50 ms"
done < <(echo "$monitor_table" | grep '^| hand-over')
while IFS='|' read -r _ what cpu _; do
  row "$(echo "$what" | sed 's/^ *//; s/ *$//')" "$(echo "$cpu" | sed 's/^ *CPU *//; s/ of one core *$//')" "-" "-" "-"
done < <(echo "$monitor_table" | grep '^| [0-9]* windows')
base_kb=$(field "$peak_line" base_kb); held_kb=$(field "$peak_line" held_kb); peak_kb=$(field "$peak_line" peak_kb)
row "peak above base, refreshing 200,000 rows sorted by name" "$(mb $((peak_kb - base_kb)))" "held $(mb "$held_kb")" \
  "$(awk -v p=$((peak_kb - base_kb)) -v h="$held_kb" 'BEGIN {printf "%.2f", p / h}')" "<= 2.00 x held"
if command -v pg_activity >/dev/null 2>&1; then
  row "watching 50 sessions at 1 s, one window, % of a core" "$(printf '%.2f %%' "$(column_median "$build/watch.txt" '$1')")" \
    "pg_activity $(printf '%.2f %%' "$(column_median "$build/watch.txt" '$2')")" \
    "$(printf '%.2f' "$(column_median "$build/watch.txt" '$1 / ($2 + 0.0001)')")" "<= 1.00 x pg_activity"
else
  row "watching 50 sessions at 1 s, one window, % of a core" "$(printf '%.2f %%' "$(column_median "$build/watch.txt" '$1')")" \
    "pg_activity not installable" "-" "<= 1.00 x pg_activity"
fi
row ".xlsx of 10,000 rows written and handed over" "$(field "$export_line" xlsx_ms) ms" "-" "-" "< 500 ms"
row "  of it rows to cells, cells written" "$(field "$export_line" xlsx_convert_ms) ms, $(field "$export_line" xlsx_write_ms) ms" "-" "-" "-"
if [ -n "$office_plugin" ]; then
  row "office start and connection" "$(field "$export_line" office_start_ms) ms" "-" "-" "-"
  row "office fill, first workbook of the office" "$(field "$export_line" office_first_ms) ms" "-" "-" "-"
  row "office fill, office kept from before" "$(field "$export_line" office_ms) ms" "-" "-" "< 500 ms"
  row "  of it new workbook, rows to cells, cells written" "$(field "$export_line" office_workbook_ms) ms, \
$(field "$export_line" office_convert_ms) ms, $(field "$export_line" office_write_ms) ms" "-" "-" "-"
  row "office, including its start" "$(field "$export_line" office_with_start_ms) ms" "-" "-" "-"
else
  row "office fill" "no office plugin built" "-" "-" "< 500 ms"
fi
while IFS='|' read -r _ what ms _; do
  what=$(echo "$what" | sed 's/^ *//; s/ *$//')
  case "$what" in
    *"editor opened"* | *"list saved"*) goal="< 100 ms" ;;
    *) goal="-" ;;
  esac
  row "$what" "$(echo "$ms" | sed 's/^ *//; s/ *$//')" "-" "-" "$goal"
done < <(echo "$menu_table" | grep '^| menu file')
echo "Sort figures are wall and processor milliseconds inside the process in the environment's locale unless"
echo "named; watching is each program's own processor time after 5 s of start-up, over 20 s, 3 pairs."
echo
echo "History of results, session lists built by hand with 5 % of cells changed and 1 row in 100 replaced per refresh:"
echo "$history_table"
