#!/usr/bin/env bash
# Benchmark of the base-data export and import (not a test): the application's export and
# import of one table of the template's shape (t_st_material_io_flow: identity key, char,
# varchar with NULLs and Chinese text, decimals, datetimes, an index), driven through the data
# administration window, against `freebcp out -c` and `freebcp in -c` on the same server and
# rows. For each size, 3 interleaved runs of the four; prints the medians, the ratios and the
# peak resident memory of each process, and checks that the rows come back byte for byte.
#   scripts/bench_transfer.sh [ROWS...]            (default: 100000 1000000)
# BUILD_DIR (default build-bench, configured as Release) holds the programs.
set -euo pipefail
cd "$(dirname "$0")/.."

sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(100000 1000000)
# shellcheck source=scripts/bench_lib.sh
source scripts/bench_lib.sh
bench_start transfer import_bench_transfer
server="127.0.0.1,$port"
db=benchdb
table=t_st_material_io_flow
export QT_QPA_PLATFORM=offscreen
export FREETDSCONF="$work/freetds.conf"
printf '[global]\n\ttds version = 7.4\n\tencryption = off\n\tclient charset = GB18030\n' \
  >"$FREETDSCONF"

"$build/bin/import_bench_transfer" setup "$server" "$password" "$db" demo/schema.sql

run_sql() {
  tsql -H 127.0.0.1 -p "$port" -U sa -P "$password" -D "$db" >"$work/tsql.out" 2>&1 <<<"$1
go
exit"
  if grep -q '^Msg ' "$work/tsql.out"; then cat "$work/tsql.out" >&2; exit 1; fi
}

# CPU seconds the server has used so far (user + system).
server_cpu() {
  awk -v hz="$(getconf CLK_TCK)" '{ printf "%.2f", ($14 + $15) / hz }' "/proc/$server_pid/stat"
}
# Runs a command under /usr/bin/time; appends "seconds peak_kB server_cpu_seconds" to the file
# named first. The seconds are read from the clock in nanoseconds around the command
# (/usr/bin/time rounds to hundredths, too coarse for the smaller runs).
measure() {
  local out=$1
  shift
  local s0 s1 t0 t1
  s0=$(server_cpu)
  t0=$(date +%s%N)
  /usr/bin/time -f '%M' -o "$work/time.txt" "$@" >"$work/cmd.log" 2>&1 ||
    { cat "$work/cmd.log" >&2; echo "failed: $*" >&2; exit 1; }
  t1=$(date +%s%N)
  s1=$(server_cpu)
  printf '%s %s %s\n' "$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')" \
    "$(cat "$work/time.txt")" "$(awk -v a="$s0" -v b="$s1" 'BEGIN { print b - a }')" >>"$out"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

for rows in "${sizes[@]}"; do
  echo
  echo "== $rows rows"
  mkdir -p "$work/in" "$work/out"
  # The application's text layout in GBK: TAB between values, CRLF after each line, NULL as an
  # empty field; Chinese text, NULLs, decimals, datetime milliseconds.
  awk -v n="$rows" 'BEGIN {
    ms[0] = "000"; ms[1] = "003"; ms[2] = "007"
    for (i = 1; i <= n; i++) {
      voucher = (i % 5 == 0) ? "" : sprintf("单据%07d", i)
      printf "%d\t%03d\tM%07d\t%s\t%02d\t%d.%03d\t%d.%04d\t%d.%02d\t员%d\t2024-%02d-%02d %02d:%02d:%02d.%s\r\n",
        i + 100, i % 7, i % 9000000, voucher, 1 + i % 5, (i % 2 ? -1 : 1) * (i % 100000), i % 1000,
        i % 10000, i % 10000, i % 1000000, i % 100, i % 10000, 1 + i % 12, 1 + i % 28,
        i % 24, i % 60, (i * 7) % 60, ms[i % 3]
    }
  }' | iconv -f UTF-8 -t GB18030 >"$work/in/$table.txt"
  bytes=$(stat -c %s "$work/in/$table.txt")
  echo "file: $bytes bytes"
  : >"$work/app_export" ; : >"$work/bcp_out" ; : >"$work/app_import" ; : >"$work/bcp_in"
  for run in 1 2 3; do
    measure "$work/app_import" "$build/bin/import_bench_transfer" import "$server" sa "$password" \
      "$db" "$work/in" "$table"
    measure "$work/app_export" "$build/bin/import_bench_transfer" export "$server" sa "$password" \
      "$db" "$work/out" "$table"
    # The rows that come back are the rows that went in.
    cmp -s "$work/in/$table.txt" "$work/out/$table.txt" ||
      { echo "the exported file differs from the imported one" >&2; exit 1; }
    rm -f "$work/out/$table.txt"
    measure "$work/bcp_out" freebcp "$db.dbo.$table" out "$work/bcp.txt" -c -S "127.0.0.1:$port" \
      -U sa -P "$password"
    [ "$(wc -l <"$work/bcp.txt")" -eq "$rows" ] || { echo "freebcp out lost rows" >&2; exit 1; }
    run_sql "truncate table $table"
    measure "$work/bcp_in" freebcp "$db.dbo.$table" in "$work/bcp.txt" -c -E -S "127.0.0.1:$port" \
      -U sa -P "$password"
    grep -q "$rows rows copied" "$work/cmd.log" || { cat "$work/cmd.log" >&2; exit 1; }
  done
  for what in app_export bcp_out app_import bcp_in; do
    t=$(awk '{ print $1 }' "$work/$what" | median)
    m=$(awk '{ print $2 }' "$work/$what" | median)
    c=$(awk '{ print $3 }' "$work/$what" | median)
    printf '%-11s median %7.3f s   peak RSS %6.1f MB   server CPU %6.2f s = %8.0f rows/s   (runs: %s)\n' \
      "$what" "$t" "$(awk -v k="$m" 'BEGIN { print k / 1024 }')" "$c" \
      "$(awk -v n="$rows" -v c="$c" 'BEGIN { print (c > 0 ? n / c : 0) }')" \
      "$(awk '{ printf "%s ", $1 }' "$work/$what")"
    eval "${what}_t=$t"
    eval "${what}_m=$m"
  done
  awk -v ae="$app_export_t" -v bo="$bcp_out_t" -v ai="$app_import_t" -v bi="$bcp_in_t" \
    -v m="$app_import_m" -v me="$app_export_m" 'BEGIN {
      printf "export / freebcp out = %.2f (target <= 1.0)\n", ae / bo
      printf "import / freebcp in  = %.2f (target <= 0.7)\n", ai / bi
      printf "application peak RSS: import %.1f MB, export %.1f MB\n", m / 1024, me / 1024
    }'
  rm -f "$work/in/$table.txt" "$work/bcp.txt"
done
