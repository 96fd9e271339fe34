# Shared by the benchmarks; sourced, not run. bench_start NAME TARGET... builds sqlstandin and
# the named targets into $build (BUILD_DIR, default build-bench configured as Release), makes
# the work directory $work (removed at exit, with the server stopped) and starts a private
# sqlstandin on a free port, its administrator password ($password) given through the
# environment; it sets $port and $server_pid.
bench_start() {
  local name=$1
  shift
  build=${BUILD_DIR:-build-bench}
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
  cmake --build "$build" --target sqlstandin "$@" >/dev/null

  work=$(mktemp -d "${TMPDIR:-/tmp}/$name-bench-XXXXXX")
  server_pid=""
  trap bench_cleanup EXIT

  password='Bench#2024'
  mkfifo "$work/ready"
  SQLSTANDIN_SA_PASSWORD=$password "$build/bin/sqlstandin" --port 0 --data-dir "$work/data" \
    >"$work/ready" &
  server_pid=$!
  local line
  read -r line <"$work/ready"
  port=${line##*:}
  echo "sqlstandin listening on port $port"
}

bench_cleanup() {
  if [ -n "$server_pid" ]; then
    kill -TERM "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
