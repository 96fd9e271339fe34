#!/usr/bin/env bash
# Builds the runtime's core and sql tests and the stand-in (server and tests) with
# AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/ and runs those tests.
# The stand-in tests start the sanitized sqlstandin, so the server itself is checked too.
set -euo pipefail
cd "$(dirname "$0")/.."

targets=(runtime_text_tests runtime_settings_tests runtime_system_tests hostrt_sql_tests
         sqlstandin standin_engine_tests standin_tds_tests standin_fake_protocol_tests
         standin_client_tests standin_case_tests)

if [ ! -f build-asan/CMakeCache.txt ]; then
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHOSTRT_SANITIZE=ON >/dev/null
fi
cmake --build build-asan -j"$(nproc)" --target "${targets[@]}" -- --quiet

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for t in "${targets[@]}"; do
  [ "$t" = sqlstandin ] && continue
  echo "-- $t (sanitized)"
  if ! build-asan/bin/"$t" --gtest_brief=1; then
    echo "FAILED under sanitizers: $t"
    status=1
  fi
done
exit $status
