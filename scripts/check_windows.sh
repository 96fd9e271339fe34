#!/usr/bin/env bash
# Builds the runtime for Windows with the MinGW-w64 cross compiler and runs its tests under Wine:
#  1. hostrt.dll with every service that needs no Qt (text, settings, system, sql, data stores),
#     the tests of those services and of the installer's statement texts and command line as
#     .exe files (GoogleTest built by MinGW from /usr/src/googletest), and the launcher and the Qt-free ui sources (compiled only: no Qt
#     for Windows here);
#  2. checks that the DLL and the programs need no DLL beyond the system's and hostrt.dll;
#  3. starts a stand-in (the Linux build's sqlstandin) for the server tests, which reach it
#     through Wine's odbc32, unixODBC and FreeTDS registered as the driver "SQL Server";
#  4. runs every test program under Wine (headless, in a fresh prefix, as an unprivileged user:
#     as root a copy over a read-only file succeeds) and ends with "windows: N passed, M failed".
# Exits non-zero when anything fails.
# Usage: scripts/check_windows.sh
#   HOSTRT_WIN_BUILD_DIR     build directory (build-win/); everything the step makes stays there
#   HOSTRT_NATIVE_BUILD_DIR  the Linux build whose sqlstandin serves the tests (build/)
#   HOSTRT_WIN_TESTS         only these programs (names separated by spaces)
#   HOSTRT_WIN_GTEST_FILTER  a --gtest_filter for every program (patterns to run only; the
#                            exclusions below are added to it)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

# Tests that Wine cannot judge: they run in the Linux build only. "program:Suite.Test" and why.
wine_cannot_judge=(
  # A batch whose first statement fails: Wine's odbc32 hands SQLMoreResults to unixODBC, which
  # answers it itself (no more results) once a statement failed, so the row count of the rest
  # of the batch is lost. The Linux build reads the rest from the driver directly; the Windows
  # build relies on the Windows driver manager, which passes the call on.
  "hostrt_sql_server_tests:TransactionServerTest.ABatchReportsItsFirstErrorAndRunsToItsEnd"
  # Wine's GetPrivateProfileString, which the Windows build reads INI files with, keeps a line
  # "[broken header" (no closing bracket) inside the section before it; Windows ends the
  # section there, as the Linux build's reader does.
  "runtime_settings_tests:ProfileTest.CommentsMalformedLinesAndDuplicates"
)

for tool in x86_64-w64-mingw32-g++-posix wine wineserver python3 localedef; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "check_windows: $tool is missing (scripts/bootstrap.sh installs it)" >&2
    exit 1
  fi
done
gtest_src=/usr/src/googletest
if [ ! -f "$gtest_src/CMakeLists.txt" ]; then
  echo "check_windows: GoogleTest sources missing in $gtest_src (Debian package googletest)" >&2
  exit 1
fi

build_dir=$(realpath -m "${HOSTRT_WIN_BUILD_DIR:-build-win}")
native_dir=$(realpath -m "${HOSTRT_NATIVE_BUILD_DIR:-build}")
toolchain="$repo/cmake/mingw-w64.cmake"
mkdir -p "$build_dir"

# Builds quietly: ninja prints only failures (and not that there was nothing to do).
build() {
  cmake --build "$@" -j2 -- --quiet | { grep -v '^ninja: no work to do\.$' || true; }
}

# 1. The toolchain file's flags reach only a first configure (CMake caches them), so the build
# is configured afresh each time; objects whose command lines did not change are not rebuilt.
rm -f "$build_dir/CMakeCache.txt"
cmake -S "$repo/scripts/windows" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DHOSTRT_REPO="$repo" -DHOSTRT_GTEST_SRC="$gtest_src" \
  >/dev/null
build "$build_dir"
echo "check_windows: hostrt.dll, its tests, the launcher and the Qt-free ui sources built"

# 2. Every DLL a program or hostrt.dll imports is one of Windows' own or hostrt.dll.
bad_imports=0
for binary in "$build_dir"/bin/*.dll "$build_dir"/bin/*.exe; do
  while read -r dll; do
    case "${dll,,}" in
      hostrt.dll | kernel32.dll | advapi32.dll | msvcrt.dll | odbc32.dll | user32.dll | \
        shell32.dll | ole32.dll | ws2_32.dll | api-ms-win-*) ;;
      *)
        echo "check_windows: $(basename "$binary") needs $dll" >&2
        bad_imports=1
        ;;
    esac
  done < <(x86_64-w64-mingw32-objdump -p "$binary" | sed -n 's/^\s*DLL Name: //p')
done
[ "$bad_imports" = 0 ] || exit 1

# 3. The stand-in, on a free port with a fresh data directory.
standin="$native_dir/bin/sqlstandin"
if [ ! -x "$standin" ]; then
  if [ ! -f "$native_dir/CMakeCache.txt" ]; then
    cmake -S "$repo" -B "$native_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  fi
  build "$native_dir" --target sqlstandin
fi
# Wine runs as an unprivileged user: as root a copy over a read-only file succeeds.
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  user=hostrt-wine
  if ! id "$user" >/dev/null 2>&1; then
    useradd --system --no-create-home --shell /usr/sbin/nologin "$user"
  fi
  as_user=(setpriv --reuid="$user" --regid="$user" --init-groups)
fi
run_dir="$build_dir/run"
rm -rf "$run_dir"
mkdir -p "$run_dir"
temporary_run_dir=""
if [ ${#as_user[@]} -gt 0 ] && ! "${as_user[@]}" test -x "$run_dir"; then
  # The build directory lies where that user cannot go (under /root, say): the run goes to a
  # temporary directory instead, removed afterwards.
  run_dir=$(mktemp -d /tmp/hostrt-windows-run.XXXXXX)
  chmod 755 "$run_dir"
  temporary_run_dir=$run_dir
fi
mkdir -p "$run_dir/standin-data" "$run_dir/odbc"
sa_password='Standin#2024'
mkfifo "$run_dir/standin.out"
"$standin" --port 0 --data-dir "$run_dir/standin-data" --sa-password "$sa_password" \
  >"$run_dir/standin.out" &
standin_pid=$!
wineserver_env=()
cleanup() {
  kill "$standin_pid" 2>/dev/null || true
  if [ ${#wineserver_env[@]} -gt 0 ]; then
    "${wineserver_env[@]}" wineserver -k 2>/dev/null || true
  fi
  [ -z "$temporary_run_dir" ] || rm -rf "$temporary_run_dir"
}
trap cleanup EXIT
exec 3<"$run_dir/standin.out"
if ! read -r -t 60 line <&3 || [[ "$line" != "listening on 127.0.0.1:"* ]]; then
  echo "check_windows: the stand-in did not start (${line:-no output})" >&2
  exit 1
fi
port=${line##*:}
cat <&3 >/dev/null &  # the rest of its output
exec 3<&-

# FreeTDS registered with unixODBC as "SQL Server", the driver the Windows build asks for.
cat >"$run_dir/odbc/odbcinst.ini" <<EOF
[SQL Server]
Description=FreeTDS for the Windows build's tests
Driver=$(find /usr/lib -name libtdsodbc.so 2>/dev/null | head -n 1)
UsageCount=1
EOF
: >"$run_dir/odbc/odbc.ini"
cat >"$run_dir/freetds.conf" <<'EOF'
[global]
	tds version = 7.4
	encryption = off
	client charset = UTF-8
	text size = 2147483647
EOF

# 4. Wine as the unprivileged user, in a fresh prefix inside the build directory, on a Chinese
# system (code page 936) as the users' are. Wine takes its locale from the C library's, which is
# built here when the system lacks it.
locale_dir="$build_dir/locale"
if [ ! -d "$locale_dir/zh_CN.UTF-8" ]; then
  rm -rf "$locale_dir.new"
  mkdir -p "$locale_dir.new"
  localedef -i zh_CN -f UTF-8 "$locale_dir.new/zh_CN.UTF-8"
  rm -rf "$locale_dir"
  mv "$locale_dir.new" "$locale_dir"
fi

mkdir -p "$run_dir/home" "$run_dir/results" "$run_dir/prefix"
# The programs run from a copy the test user may write beside (a profile test puts a file next
# to the program).
cp -r "$build_dir/bin" "$run_dir/bin"
cp -r "$locale_dir" "$run_dir/locale"
[ ${#as_user[@]} -eq 0 ] || chown -R "$user:" "$run_dir"
wine_env=(env -i PATH=/usr/bin:/bin HOME="$run_dir/home" USER="${user:-$(id -un)}"
  WINEPREFIX="$run_dir/prefix" WINEARCH=win64 WINEDEBUG=-all
  WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY= LOCPATH="$run_dir/locale" LANG=zh_CN.UTF-8
  ODBCSYSINI="$run_dir/odbc" ODBCINI="$run_dir/odbc/odbc.ini" FREETDSCONF="$run_dir/freetds.conf"
  HOSTRT_TEST_SERVER="127.0.0.1,$port" HOSTRT_TEST_LOGIN=sa HOSTRT_TEST_PASSWORD="$sa_password")
wineserver_env=("${as_user[@]}" "${wine_env[@]}")
"${as_user[@]}" "${wine_env[@]}" wineserver -p 60  # one server for every program below
"${as_user[@]}" "${wine_env[@]}" wineboot --init >/dev/null 2>&1

programs=(runtime_text_tests runtime_settings_tests runtime_system_tests hostrt_sql_tests
  hostrt_sql_server_tests hostrt_data_tests hostrt_data_server_tests dbsetup_unit_tests
  import_unit_tests)
[ -z "${HOSTRT_WIN_TESTS:-}" ] || read -r -a programs <<<"$HOSTRT_WIN_TESTS"
status=0
for program in "${programs[@]}"; do
  excluded=()
  for entry in "${wine_cannot_judge[@]}"; do
    [ "${entry%%:*}" != "$program" ] || excluded+=("${entry#*:}")
  done
  filter="${HOSTRT_WIN_GTEST_FILTER:-*}"
  if [ ${#excluded[@]} -gt 0 ]; then
    filter+="-$(IFS=:; echo "${excluded[*]}")"
    echo "check_windows: $program: left to the Linux run: ${excluded[*]}"
  fi
  xml="$run_dir/results/$program.xml"
  if ! (cd "$run_dir/bin" && "${as_user[@]}" "${wine_env[@]}" wine "./$program.exe" \
    --gtest_filter="$filter" --gtest_output="xml:Z:${xml//\//\\}" \
    >"$run_dir/results/$program.log" 2>&1); then
    status=1
    grep -E '^\[  FAILED  \]|Failure|error' "$run_dir/results/$program.log" | head -40 >&2 || true
  fi
done

# Counts from the programs' reports; a program that left none (it crashed) counts as a failure.
python3 - "$run_dir/results" "${programs[@]}" <<'EOF' || status=1
import sys, xml.etree.ElementTree as ET
from pathlib import Path
results, programs = Path(sys.argv[1]), sys.argv[2:]
passed = failed = skipped = 0
for program in programs:
    report = results / (program + ".xml")
    if not report.exists():
        print(f"check_windows: {program} ended without a report (see {results / (program + '.log')})")
        failed += 1
        continue
    for case in ET.parse(report).getroot().iter("testcase"):
        if case.get("result") == "skipped" or case.find("skipped") is not None:
            skipped += 1  # the test said why (a stand-in of its own, say) in its output
            print(f"check_windows: skipped {program}: {case.get('classname')}.{case.get('name')}")
        elif case.find("failure") is not None:
            failed += 1
            print(f"check_windows: FAILED {program}: {case.get('classname')}.{case.get('name')}")
        else:
            passed += 1
print(f"windows: {passed} passed, {failed} failed")
sys.exit(1 if failed else 0)
EOF
exit $status
