#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang, AddressSanitizer and UBSan into build-fuzz/
# and runs each for SECONDS (default 60), starting from its corpus in fuzz/corpus/<target>/.
# New inputs found go to build-fuzz/corpus/<target>/ (the tree's corpus stays as it is), and a
# crashing input to build-fuzz/artifacts/. Exits non-zero when any target fails.
#   scripts/fuzz.sh [SECONDS] [TARGET...]     targets: text_reader dbf_reader xml_reader
#                                             packet_reader login_reader sql_parser
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(text_reader dbf_reader xml_reader packet_reader login_reader sql_parser)
fi

if [ ! -f build-fuzz/CMakeCache.txt ]; then
  launcher=()
  if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S . -B build-fuzz -G Ninja -DHOSTRT_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" >/dev/null
fi
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]/#/fuzz_}" -- --quiet |
  { grep -v '^ninja: no work to do\.$' || true; }

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p build-fuzz/artifacts
status=0
for t in "${targets[@]}"; do
  work=build-fuzz/corpus/$t
  mkdir -p "$work"
  echo "-- fuzz_$t (${seconds}s)"
  if ! build-fuzz/bin/fuzz_"$t" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix=build-fuzz/artifacts/"$t"- \
      "$work" fuzz/corpus/"$t" >build-fuzz/"$t".log 2>&1; then
    echo "FAILED: fuzz_$t (see build-fuzz/$t.log and build-fuzz/artifacts/)"
    tail -n 40 build-fuzz/"$t".log
    status=1
  else
    grep -E '^stat::number_of_executed_units' build-fuzz/"$t".log || true
  fi
done
exit $status
