#!/usr/bin/env bash
# Cross-compiles the runtime's core services (text, settings, system) for Windows with
# MinGW-w64 and links hostrt.dll, so that the Windows implementations are checked on Linux.
# Usage: scripts/check_windows.sh   (build directory: build-win/, or $HOSTRT_WIN_BUILD_DIR)
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1; then
  echo "check_windows: x86_64-w64-mingw32-g++-posix is missing (Debian package g++-mingw-w64-x86-64)" >&2
  exit 1
fi

build_dir=${HOSTRT_WIN_BUILD_DIR:-build-win}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHOSTRT_CORE_ONLY=ON \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" >/dev/null
cmake --build "$build_dir" --target hostrt -j2
echo "check_windows: $build_dir/bin/libhostrt.dll built"
