#!/usr/bin/env bash
# Sets everything up (scripts/bootstrap.sh) and runs every test. Exits non-zero on any failure.
#   scripts/test.sh            build, then all tests (CTest)
# Extra checks run after the main suite:
#   - the runtime built for Windows with MinGW and its tests run under Wine (scripts/check_windows.sh)
#   - the runtime and stand-in tests again under AddressSanitizer and UBSan (build-asan/)
#   - each libFuzzer target for about 20 seconds from its corpus (scripts/fuzz.sh, build-fuzz/)
# Set SKIP_EXTRA_CHECKS=1 to run the main suite only.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh

export QT_QPA_PLATFORM=offscreen
# Qt wants a private runtime directory; CI has none.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  XDG_RUNTIME_DIR=$(mktemp -d)
  export XDG_RUNTIME_DIR
  trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi
jobs=$(nproc)
status=0

echo "== tests"
ctest --test-dir build --output-on-failure -j"$jobs" --timeout 600 || status=1

if [ "${SKIP_EXTRA_CHECKS:-0}" != 1 ]; then
  if [ -x scripts/check_windows.sh ]; then
    echo "== Windows tests (MinGW build under Wine)"
    scripts/check_windows.sh || status=1
  fi
  if [ -x scripts/sanitize.sh ]; then
    echo "== sanitizer tests"
    scripts/sanitize.sh || status=1
  fi
  if [ -x scripts/fuzz.sh ]; then
    echo "== fuzzing (20 s per target, sanitizers on)"
    scripts/fuzz.sh 20 || status=1
  fi
fi

exit $status
