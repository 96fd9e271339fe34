#!/usr/bin/env bash
# Benchmark of the data-file readers (not a test): prints the milliseconds each reader (text,
# dBASE, XML spreadsheet) takes for ROWS generated rows, and for ten times as many, so that a
# reader slower than linear shows at once.
#   scripts/bench_file_readers.sh [ROWS]      (default 40000)
set -euo pipefail
cd "$(dirname "$0")/.."

rows=${1:-40000}
build=${BUILD_DIR:-build}
cmake --build "$build" --target bench_file_readers >/dev/null
"$build"/bin/bench_file_readers "$rows"
"$build"/bin/bench_file_readers $((rows * 10))
