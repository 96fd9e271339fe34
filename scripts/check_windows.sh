#!/usr/bin/env bash
# Checks the Windows implementations on Linux with the MinGW-w64 cross compiler:
#  1. the runtime's core services (text, settings, system) build and link as hostrt.dll;
#  2. the sql service compiles and links as a DLL against that hostrt.dll and MinGW's odbc32
#     (this also proves that a module can link against hostrt.dll);
#  3. the launcher and the parts of the ui service that do not need Qt compile (no Qt for
#     Windows here, so they are not linked).
# Usage: scripts/check_windows.sh   (build directory: build-win/, or $HOSTRT_WIN_BUILD_DIR)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1; then
  echo "check_windows: x86_64-w64-mingw32-g++-posix is missing (Debian package g++-mingw-w64-x86-64)" >&2
  exit 1
fi

build_dir=$(realpath -m "${HOSTRT_WIN_BUILD_DIR:-build-win}")
toolchain="$repo/cmake/mingw-w64.cmake"
# The toolchain file's flags reach only a first configure (CMake caches them): both builds are
# configured afresh each time, so that a changed toolchain file takes effect. Objects whose
# command lines did not change are not rebuilt.
rm -f "$build_dir/CMakeCache.txt" "$build_dir/extra/CMakeCache.txt"

# Builds quietly: ninja prints only failures (and not that there was nothing to do).
build() {
  cmake --build "$@" -j2 -- --quiet | { grep -v '^ninja: no work to do\.$' || true; }
}

# 1. The core services through the project's own CMake files.
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHOSTRT_CORE_ONLY=ON \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
build "$build_dir" --target hostrt
echo "check_windows: hostrt.dll (core services) built"

# 2 and 3. A small project of its own, with the same compiler, language level and warnings as
# the main build, so that the project's CMake files stay free of Windows-check targets.
extra_src="$build_dir/extra-src"
mkdir -p "$extra_src"
cat >"$extra_src/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.20)
project(hostrt_windows_check LANGUAGES CXX)
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
add_compile_options(-Wall -Wextra -Werror -Wno-restrict)
include_directories(${HOSTRT_REPO})

file(GLOB sql_sources CONFIGURE_DEPENDS ${HOSTRT_REPO}/runtime/sql/*.cpp)
add_library(hostrt_sql_check SHARED ${sql_sources})
target_link_libraries(hostrt_sql_check PRIVATE ${HOSTRT_CORE_IMPORT_LIBRARY} odbc32)

add_library(hostrt_launcher_ui_objects OBJECT
  ${HOSTRT_REPO}/runtime/launcher/library_loader.cpp
  ${HOSTRT_REPO}/runtime/launcher/main.cpp
  ${HOSTRT_REPO}/runtime/ui/globals.cpp
  ${HOSTRT_REPO}/runtime/ui/graphic_object.cpp
  ${HOSTRT_REPO}/runtime/ui/module_handle.cpp
  ${HOSTRT_REPO}/runtime/data/data_file_codec.cpp
  ${HOSTRT_REPO}/runtime/data/data_store.cpp
  ${HOSTRT_REPO}/runtime/data/grid_definition.cpp
  ${HOSTRT_REPO}/runtime/data/row_expression.cpp
  ${HOSTRT_REPO}/runtime/data/table_file_transfer.cpp
  ${HOSTRT_REPO}/runtime/data/text_row_reader.cpp
  ${HOSTRT_REPO}/runtime/data/text_row_writer.cpp
)
EOF
cmake -S "$extra_src" -B "$build_dir/extra" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DHOSTRT_REPO="$repo" \
  -DHOSTRT_CORE_IMPORT_LIBRARY="$build_dir/lib/libhostrt.dll.a" >/dev/null
build "$build_dir/extra"
echo "check_windows: sql service linked against hostrt.dll and odbc32;" \
  "launcher, data stores and Qt-free ui sources compiled"
