#!/usr/bin/env bash
# Benchmark of the stand-in (not a test): rows per second for `freebcp in`, `freebcp out` and
# single-row parameterised INSERTs over ODBC, on a generated table of ten mixed-type columns.
#   scripts/bench_standin.sh [ROWS [INSERT_ROWS]]      (defaults: 1000000 and 20000)
# BUILD_DIR (default build-bench, configured as Release) holds the programs; BCP_OPTIONS adds
# options to both freebcp runs (for example "-A 32767" for larger packets).
set -euo pipefail
cd "$(dirname "$0")/.."

rows=${1:-1000000}
insert_rows=${2:-20000}
# shellcheck source=scripts/bench_lib.sh
source scripts/bench_lib.sh
bench_start standin standin_bench_insert

export FREETDSCONF="$work/freetds.conf"
printf '[global]\n\ttds version = 7.4\n\tencryption = off\n\tclient charset = UTF-8\n' \
  >"$FREETDSCONF"
driver=$(find /usr/lib -name libtdsodbc.so 2>/dev/null | head -n 1)
conn="DRIVER=$driver;SERVER=127.0.0.1;PORT=$port;UID=sa;PWD=$password;TDS_Version=7.4;ClientCharset=UTF-8;Encryption=off"

run_sql() {
  tsql -H 127.0.0.1 -p "$port" -U sa -P "$password" >"$work/tsql.out" 2>&1 <<<"$1
go
exit"
  if grep -q '^Msg ' "$work/tsql.out"; then cat "$work/tsql.out" >&2; exit 1; fi
}

columns="(id int not null primary key, name varchar(40) null, wide nvarchar(40) null,
  amount decimal(12,2) null, price money null, at datetime null, ratio float null,
  flag bit null, qty smallint null, code char(8) null)"
run_sql "create table bench_in $columns
create table bench_ins (id int not null primary key, name varchar(40) null)"

echo "generating $rows rows"
awk -v n="$rows" 'BEGIN {
  for (i = 1; i <= n; i++) {
    printf "%d\t名称%d\tname-%d\t%d.%02d\t%d.%04d\t2024-%02d-%02d %02d:%02d:%02d.%03d\t%d.25\t%d\t%d\tC%07d\n",
      i, i, i, i % 100000, i % 100, i % 1000, i % 10000, 1 + i % 12, 1 + i % 28, i % 24,
      i % 60, i % 60, (i % 333) * 3, i % 1000, i % 2, i % 30000, i
  }
}' >"$work/in.txt"

now() { date +%s.%N; }
rate() { awk -v n="$1" -v a="$2" -v b="$3" 'BEGIN { printf "%.0f", n / (b - a) }'; }
# CPU seconds the server has used so far (user + system).
server_cpu() {
  awk -v hz="$(getconf CLK_TCK)" '{ printf "%.2f", ($14 + $15) / hz }' "/proc/$server_pid/stat"
}
# Runs a client command; prints its CPU seconds (user + system) to the file named first.
timed() {
  local out=$1
  shift
  local TIMEFORMAT='%U %S'
  { time "$@" >"$out.log" 2>&1; } 2>"$out.cpu" || { cat "$out.log" >&2; exit 1; }
}
# Wall-clock rate, then the rates the server's and the client's CPU time alone would allow:
# on a machine busy with other work the wall-clock figure understates what the stand-in does.
report() {
  local label=$1 n=$2 t0=$3 t1=$4 s0=$5 s1=$6 cpufile=$7
  local client
  client=$(awk '{ printf "%.2f", $1 + $2 }' "$cpufile")
  printf '%s %s rows, %s rows/s (server CPU %.2f s = %s rows/s, client CPU %s s = %s rows/s)\n' \
    "$label" "$n" "$(rate "$n" "$t0" "$t1")" "$(awk -v a="$s0" -v b="$s1" 'BEGIN{print b-a}')" \
    "$(rate "$n" "$s0" "$s1")" "$client" "$(rate "$n" 0 "$client")"
}

s0=$(server_cpu)
t0=$(now)
timed "$work/bcp-in" freebcp bench_in in "$work/in.txt" -c -S "127.0.0.1:$port" -U sa \
  -P "$password" -b 100000 ${BCP_OPTIONS:-}
t1=$(now)
s1=$(server_cpu)
grep -q "$rows rows copied" "$work/bcp-in.log" || { cat "$work/bcp-in.log" >&2; exit 1; }
report "freebcp in: " "$rows" "$t0" "$t1" "$s0" "$s1" "$work/bcp-in.cpu"

s0=$(server_cpu)
t0=$(now)
timed "$work/bcp-out" freebcp bench_in out "$work/out.txt" -c -S "127.0.0.1:$port" -U sa \
  -P "$password" ${BCP_OPTIONS:-}
t1=$(now)
s1=$(server_cpu)
out_rows=$(wc -l <"$work/out.txt")
report "freebcp out:" "$out_rows" "$t0" "$t1" "$s0" "$s1" "$work/bcp-out.cpu"

result=$("$build/bin/standin_bench_insert" "$conn" bench_ins "$insert_rows")
echo "ODBC single-row parameterised INSERT: $result"
