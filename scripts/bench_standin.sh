#!/usr/bin/env bash
# Benchmark of the stand-in (not a test): rows per second for `freebcp in`, `freebcp out` and
# single-row parameterised INSERTs over ODBC, on a generated table of ten mixed-type columns.
#   scripts/bench_standin.sh [ROWS [INSERT_ROWS]]      (defaults: 1000000 and 20000)
# BUILD_DIR (default build-bench, configured as Release) holds the programs.
set -euo pipefail
cd "$(dirname "$0")/.."

rows=${1:-1000000}
insert_rows=${2:-20000}
build=${BUILD_DIR:-build-bench}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" --target sqlstandin standin_bench_insert >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/standin-bench-XXXXXX")
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then
    kill -TERM "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

password='Bench#2024'
mkfifo "$work/ready"
"$build/bin/sqlstandin" --port 0 --data-dir "$work/data" --sa-password "$password" \
  >"$work/ready" &
server_pid=$!
read -r line <"$work/ready"
port=${line##*:}
echo "sqlstandin listening on port $port"

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

t0=$(now)
freebcp bench_in in "$work/in.txt" -c -S "127.0.0.1:$port" -U sa -P "$password" -b 100000 \
  >"$work/bcp-in.log" 2>&1 || { cat "$work/bcp-in.log" >&2; exit 1; }
t1=$(now)
grep -q "$rows rows copied" "$work/bcp-in.log" || { cat "$work/bcp-in.log" >&2; exit 1; }
echo "freebcp in:  $rows rows, $(rate "$rows" "$t0" "$t1") rows/s"

t0=$(now)
freebcp bench_in out "$work/out.txt" -c -S "127.0.0.1:$port" -U sa -P "$password" \
  >"$work/bcp-out.log" 2>&1 || { cat "$work/bcp-out.log" >&2; exit 1; }
t1=$(now)
out_rows=$(wc -l <"$work/out.txt")
echo "freebcp out: $out_rows rows, $(rate "$out_rows" "$t0" "$t1") rows/s"

result=$("$build/bin/standin_bench_insert" "$conn" bench_ins "$insert_rows")
echo "ODBC single-row parameterised INSERT: $result"
