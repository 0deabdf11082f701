#!/usr/bin/env bash
# Benchmark of the data layer against psql on the same throwaway PostgreSQL, in one run:
#   scripts/bench.sh [RUNS]      (default 5 runs; medians are printed)
# Builds quillon_bench in build-bench/, starts its own cluster with scripts/testdb.sh, loads
# 200,000 rows x 10 columns and prints a table of times, peak memory and ratios.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-5}
build="$root/build-bench"
db="$build/benchdb"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUILLON_TESTS=OFF -DQUILLON_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target quillon_bench quillon_bench_monitor quillon_bench_export >/dev/null

mkdir -p "$db"
trap 'bash "$root/scripts/testdb.sh" stop "$db" >/dev/null 2>&1 || true' EXIT
bash "$root/scripts/testdb.sh" start "$db" >/dev/null

# shellcheck disable=SC1091
source "$db/env"
export ODBCSYSINI="$db/odbc" ODBCINI="$db/odbc/odbc.ini" QUILLON_TEST_DB_DIR="$db"
export PGPASSWORD="$PG_PASSWORD"
psql_tcp=("$PG_BIN/psql" -X -h 127.0.0.1 -p "$PG_PORT" -U "$PG_USER" -d "$PG_DATABASE")

"$PG_BIN/psql" -X -q -h "$PG_SOCKET_DIR" -p "$PG_PORT" -U "$PG_SUPERUSER" -d "$PG_DATABASE" -v ON_ERROR_STOP=1 <<'SQL'
create table bench as
select g as id, (g * 7) % 1000 as qty, g::int8 * 1000 as total,
       'process ' || g as name, md5(g::text) as hash, ('code' || g % 50)::varchar(10) as code,
       ((g % 10000) / 100.0)::numeric(12,2) as amount, ((g * 3 % 7777) / 7.0)::numeric(10,4) as ratio,
       timestamp '2020-01-01' + g * interval '1 minute' as created,
       timestamp '2021-06-01' + (g % 5000) * interval '1 hour' as updated
from generate_series(1, 200000) g;
alter table bench owner to quillon;
analyze bench;
SQL

query="select * from bench"
sort_text="[code] ,[amount] DESC"
filter_text="[qty] > 500 AND [code] = 'code7'"

# "seconds peak_kilobytes" of one command, through GNU time.
measure() {
  /usr/bin/time -f "%e %M" -o "$build/time.out" "$@" >"$build/cmd.out" 2>"$build/cmd.err" || {
    cat "$build/cmd.err" >&2
    exit 1
  }
  cat "$build/time.out"
}

median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

: >"$build/psql.txt"; : >"$build/copy.txt"; : >"$build/quillon.txt"
for _ in $(seq 1 "$runs"); do
  measure "${psql_tcp[@]}" -At -c "$query" >>"$build/psql.txt"
  measure "${psql_tcp[@]}" -c "\\copy ($query) to /dev/null" >>"$build/copy.txt"
  measure "$build/bench/quillon_bench" open "$query" >>"$build/quillon.txt"
done
open_line=$(cat "$build/cmd.out")
ops_line=$("$build/bench/quillon_bench" ops "$query" "$sort_text" "$filter_text" 7)

psql_s=$(awk '{print $1}' "$build/psql.txt" | median); psql_kb=$(awk '{print $2}' "$build/psql.txt" | median)
copy_s=$(awk '{print $1}' "$build/copy.txt" | median); copy_kb=$(awk '{print $2}' "$build/copy.txt" | median)
q_s=$(awk '{print $1}' "$build/quillon.txt" | median); q_kb=$(awk '{print $2}' "$build/quillon.txt" | median)
field() { echo "$1" | awk -v k="$2" '{for (i = 1; i < NF; i += 2) if ($i == k) print $(i + 1)}'; }

echo
echo "Data layer benchmark: $query (200,000 rows x 10 columns), median of $runs runs, PostgreSQL on loopback"
printf '%-44s %10s %12s %14s %14s\n' "what" "seconds" "peak MB" "time / psql" "memory / psql"
row() { awk -v n="$1" -v s="$2" -v kb="$3" -v ps="$psql_s" -v pkb="$psql_kb" \
  'BEGIN {printf "%-44s %10.2f %12.1f %14.2f %14.2f\n", n, s, kb / 1024, s / ps, kb / pkb}'; }
row "psql -At -c (reference)" "$psql_s" "$psql_kb"
row "psql \\copy to /dev/null (floor)" "$copy_s" "$copy_kb"
row "quillon_bench open (whole process)" "$q_s" "$q_kb"
echo
printf '%-44s %s ms\n' "open inside the process" "$(field "$open_line" open_ms)"
printf '%-44s %s bytes\n' "memory per cell held" "$(field "$open_line" bytes_per_cell)"
printf '%-44s %s ms\n' "adoption" "$(field "$ops_line" adopt_ms)"
printf '%-44s %s ms\n' "sort $sort_text" "$(field "$ops_line" sort_ms)"
printf '%-44s %s ms (%s rows pass)\n' "filter $filter_text" "$(field "$ops_line" filter_ms)" "$(field "$ops_line" filter_rows)"
echo "goals: open <= 0.80 x psql -At, peak memory <= 0.60 x psql, adoption < 1 ms, sort < 150 ms, filter < 30 ms"

echo
echo "Monitor window benchmark: user-interface thread time per hand-over (30 refreshes at 1 s) and idle CPU"
"$build/bench/quillon_bench_monitor"

echo
echo "Export of 10,000 rows x 10 columns (converted as the export does, blocks of 1,000 rows), office headless"
office_plugin=$(ls "$build"/bin/libquillon_office.so 2>/dev/null || true)
export_line=$("$build/bench/quillon_bench_export" "select * from bench order by id limit 10000" $office_plugin)
printf '%-44s %s ms (rows to cells %s ms, cells written %s ms)\n' ".xlsx written and handed over" \
  "$(field "$export_line" xlsx_ms)" "$(field "$export_line" xlsx_convert_ms)" "$(field "$export_line" xlsx_write_ms)"
if [ -n "$office_plugin" ]; then
  printf '%-44s %s ms\n' "office start and connection" "$(field "$export_line" office_start_ms)"
  printf '%-44s %s ms\n' "office fill, first workbook of the office" "$(field "$export_line" office_first_ms)"
  printf '%-44s %s ms (new workbook %s ms, rows to cells %s ms, cells written %s ms)\n' \
    "office fill, office kept from before" "$(field "$export_line" office_ms)" "$(field "$export_line" office_workbook_ms)" \
    "$(field "$export_line" office_convert_ms)" "$(field "$export_line" office_write_ms)"
  printf '%-44s %s ms\n' "office, including its start" "$(field "$export_line" office_with_start_ms)"
else
  echo "no office plugin built: office figures skipped"
fi
echo "goals: office fill < 500 ms once connected, .xlsx < 500 ms"
