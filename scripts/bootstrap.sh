#!/usr/bin/env bash
# Installs every Debian package the build, the demo and the tests need, then configures and
# builds the project into build/. Safe to run again: installs only what is missing, and says
# nothing about packages when all are there.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev qt6-translations-l10n
  libgtest-dev libgmock-dev googletest
  unixodbc unixodbc-dev tdsodbc freetds-bin freetds-dev
  libsqlite3-dev sqlite3 python3
  fonts-wqy-microhei
  g++-mingw-w64-x86-64 wine wine64 locales
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -qq
  $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Register the FreeTDS ODBC driver with unixODBC under a fixed name so that programs can name it
# in their connection strings without a DSN.
if ! odbcinst -q -d -n "FreeTDS" >/dev/null 2>&1; then
  driver=$(find /usr/lib -name libtdsodbc.so 2>/dev/null | head -n 1)
  setup=$(find /usr/lib -name libtdsS.so 2>/dev/null | head -n 1)
  tmp=$(mktemp)
  printf '[FreeTDS]\nDescription=FreeTDS ODBC driver\nDriver=%s\nSetup=%s\nUsageCount=1\n' \
    "$driver" "${setup:-$driver}" >"$tmp"
  odbcinst -i -d -f "$tmp" >/dev/null
  rm -f "$tmp"
fi

build_type=${BUILD_TYPE:-RelWithDebInfo}
if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="$build_type" >/dev/null
fi
echo "bootstrap: building into build/"
cmake --build build -j"$(nproc)" -- --quiet
