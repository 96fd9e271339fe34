#!/usr/bin/env bash
# Shows the product's tools at work on this machine: sets everything up (scripts/bootstrap.sh),
# builds the template backup, starts a stand-in SQL Server on 127.0.0.1:1433 with its data under
# build/demo/, gives it the registry values a SQL Server installation leaves, installs the
# application database with `dbsetup --unattended`, writes the registry values the product's
# installation leaves for the application, generates the demonstration data of a restaurant
# (demo/make_demo_data.py), loads it with `hostrt-run import --import`, prints what the
# database holds and stops the server. Running it again replaces the database.
#
#   scripts/demo.sh [--mode 0|1|2|3] [--rows N] [--keep-running] [--gui]
#   scripts/demo.sh --stop      stop a server left running by --keep-running
#
#   --mode N        installation mode (0 single store, 1 chain headquarters, 2 chain branch,
#                   3 distribution centre); 0 by default
#   --rows N        about N rows of demonstration data (50000 by default; 1000000 and more
#                   show the import's speed)
#   --keep-running  leave the server up afterwards (and say how to open the import window on
#                   it, how to reach it with tsql and how to stop it)
#   --gui           open the installer's window instead of the unattended run (needs a display)
#
# Environment (for tests and for running beside another server):
#   DEMO_DIR             where the server's data, the template and the registry file go
#                        (build/demo)
#   DEMO_PORT            the server's port (1433; the server "." is pointed at any other port
#                        through a client alias in the registry file)
#   DEMO_BUILD_DIR       the build whose bin/ holds sqlstandin and dbsetup (build)
#   DEMO_SKIP_BOOTSTRAP  1: do not run scripts/bootstrap.sh (the programs are built already)
#   DEMO_SA_PASSWORD     the server administrator's password (Velmora#Demo1); a server made
#                        by an earlier run keeps the password it was made with
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
app_login=qdzt
app_password=kestrum
setup_key='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\MSSQLServer\Setup'
connect_key='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\MSSQLServer\Client\ConnectTo'

die() {
  echo "demo: $*" >&2
  if [ -n "${server_pid:-}" ]; then
    echo "demo: the server's own messages are in $server_log" >&2
  fi
  exit 1
}

usage() {
  sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'
}

mode=0
rows=50000
keep_running=0
gui=0
stop=0
while [ $# -gt 0 ]; do
  case "$1" in
    --mode)
      [ $# -ge 2 ] || die "--mode needs a value (0, 1, 2 or 3)"
      mode=$2
      shift
      ;;
    --mode=*) mode=${1#--mode=} ;;
    --rows)
      [ $# -ge 2 ] || die "--rows needs a value (a number of rows, 10000 or more)"
      rows=$2
      shift
      ;;
    --rows=*) rows=${1#--rows=} ;;
    --keep-running) keep_running=1 ;;
    --gui) gui=1 ;;
    --stop) stop=1 ;;
    -h | --help)
      usage
      exit 0
      ;;
    *) die "unknown option '$1' (see scripts/demo.sh --help)" ;;
  esac
  shift
done
case "$mode" in
  0 | 1 | 2 | 3) ;;
  *) die "the installation mode must be 0, 1, 2 or 3, not '$mode'" ;;
esac
if ! [[ "$rows" =~ ^[0-9]{1,9}$ ]] || [ "$rows" -lt 10000 ]; then
  die "--rows must be a number of rows, 10000 or more, not '$rows'"
fi

demo_dir=${DEMO_DIR:-$root/build/demo}
mkdir -p "$demo_dir" || die "cannot create $demo_dir"
demo_dir=$(cd "$demo_dir" && pwd)
port=${DEMO_PORT:-1433}
if ! [[ "$port" =~ ^[0-9]{1,5}$ ]] || [ "$port" -lt 1 ] || [ "$port" -gt 65535 ]; then
  die "DEMO_PORT must be a port number, not '$port'"
fi
build_dir=${DEMO_BUILD_DIR:-$root/build}
sa_password=${DEMO_SA_PASSWORD:-Velmora#Demo1}
pid_file=$demo_dir/sqlstandin.pid
server_log=$demo_dir/sqlstandin.log
registry=$demo_dir/registry.reg
template=$demo_dir/qdzt.dat

# The pid of a demo server that an earlier run left running, if it is still up.
running_server() {
  [ -f "$pid_file" ] || return 1
  local pid program=
  pid=$(head -n 1 "$pid_file")
  if [[ "$pid" =~ ^[0-9]+$ ]] && [ -r "/proc/$pid/cmdline" ]; then
    IFS= read -r -d '' program <"/proc/$pid/cmdline" || true
  fi
  if [[ "$program" == *sqlstandin ]]; then
    echo "$pid"
    return 0
  fi
  rm -f "$pid_file"
  return 1
}

if [ "$stop" = 1 ]; then
  if pid=$(running_server); then
    kill -TERM "$pid"
    # tail returns when the process has gone; the server finishes its sessions first.
    timeout 60 tail --pid="$pid" -f /dev/null || die "the server (pid $pid) did not stop"
    rm -f "$pid_file"
    echo "demo: stopped the server (pid $pid)"
  else
    echo "demo: no demo server is running from $demo_dir"
  fi
  exit 0
fi

if [ "$gui" = 1 ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  die "--gui needs a display (DISPLAY is not set); run without --gui for the unattended install"
fi

if pid=$(running_server); then
  die "a demo server started by an earlier 'scripts/demo.sh --keep-running' is still running" \
    "(pid $pid); stop it first with: scripts/demo.sh --stop"
fi
if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
  die "port $port on 127.0.0.1 is taken by another program (a SQL Server?); stop it, or run" \
    "the demo on another port with DEMO_PORT=N"
fi

if [ "${DEMO_SKIP_BOOTSTRAP:-0}" != 1 ]; then
  echo "== setting up and building (scripts/bootstrap.sh)"
  "$root/scripts/bootstrap.sh" || die "scripts/bootstrap.sh failed"
fi

build_dir=$(cd "$build_dir" 2>/dev/null && pwd) ||
  die "there is no build directory ${DEMO_BUILD_DIR:-$root/build}: build the project first" \
    "(scripts/bootstrap.sh)"
standin=$build_dir/bin/sqlstandin
dbsetup=$build_dir/bin/dbsetup
launcher=$build_dir/bin/hostrt-run
for program in "$standin" "$dbsetup" "$launcher"; do
  [ -x "$program" ] || die "$program is missing: build the project first (scripts/bootstrap.sh)"
done
for tool in python3 tsql; do
  command -v "$tool" >/dev/null || die "$tool is not installed (scripts/bootstrap.sh installs it)"
done

echo "== building the template backup $template"
python3 "$root/demo/build_template.py" --standin "$standin" --out "$template" ||
  die "the template backup could not be built"

# --- the server -------------------------------------------------------------------------------

server_pid=
stop_server() {
  [ -n "$server_pid" ] || return 0
  kill -TERM "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
  server_pid=
  rm -f "$pid_file"
}
trap stop_server EXIT
trap 'exit 130' INT TERM

echo "== starting sqlstandin on 127.0.0.1:$port (data in $demo_dir/server)"
mkdir -p "$demo_dir/server" "$demo_dir/mssql/data"
fifo=$(mktemp -u "$demo_dir/.sqlstandin-out.XXXXXX")
mkfifo "$fifo"
# Its own session, so that with --keep-running it outlives this script and the terminal.
SQLSTANDIN_SA_PASSWORD=$sa_password setsid "$standin" --port "$port" --data-dir "$demo_dir/server" \
  >"$fifo" 2>"$server_log" </dev/null &
server_pid=$!
# The server prints one line once it accepts connections; it closes the pipe if it fails.
exec 3<"$fifo"
rm -f "$fifo"
ready=
IFS= read -r -t 60 ready <&3 || true
exec 3<&-
if [[ "$ready" != "listening on 127.0.0.1:$port" ]]; then
  stop_server
  die "sqlstandin did not start${ready:+ (it said: $ready)}: $(tr '\n' ' ' <"$server_log")"
fi
echo "$server_pid" >"$pid_file"

export TDSVER=7.4
# The first server message in tsql's error output (tsql prints it indented and quoted).
server_message() {
  sed -n 's/^[[:space:]]\{1,\}"\(.*\)"$/\1/p' "$1" | head -n 1
}
# Runs one batch as LOGIN and prints its rows tab-separated (no heading). Fails with the server's
# message when the login is refused or the batch raises an error.
query() {
  local login=$1 password=$2 sql=$3 out err
  err=$(mktemp)
  if ! out=$(printf '%s\ngo\nexit\n' "$sql" |
    tsql -H 127.0.0.1 -p "$port" -U "$login" -P "$password" -o q 2>"$err"); then
    server_message "$err" >&2
    rm -f "$err"
    return 1
  fi
  if grep -q '^Msg [0-9]* (severity \(1[1-9]\|2[0-9]\)' "$err"; then
    server_message "$err" >&2
    rm -f "$err"
    return 1
  fi
  rm -f "$err"
  printf '%s\n' "$out" | tail -n +2
}

if ! refusal=$(query sa "$sa_password" "select 1" 2>&1 >/dev/null); then
  if [[ "$refusal" == *"Login failed"* ]]; then
    die "the server does not accept the administrator password: its data in" \
      "$demo_dir/server was made by an earlier run with another DEMO_SA_PASSWORD; use that" \
      "one, or remove $demo_dir/server to start afresh"
  fi
  die "cannot reach the server as sa: ${refusal:-tsql gave no reason}"
fi

# --- the registry values of a SQL Server installation ----------------------------------------

reg_escape() {
  local s=${1//\\/\\\\}
  printf '%s' "${s//\"/\\\"}"
}
{
  printf 'Windows Registry Editor Version 5.00\n\n'
  printf '[%s]\n"SQLPath"="%s"\n"SQLDataRoot"="%s"\n' "$setup_key" \
    "$(reg_escape "$demo_dir/mssql")" "$(reg_escape "$demo_dir/mssql")"
  if [ "$port" != 1433 ]; then
    # "." means 127.0.0.1:1433 unless an alias of that name says otherwise.
    printf '\n[%s]\n"."="DBMSSOCN,127.0.0.1,%s"\n' "$connect_key" "$port"
  fi
} >"$registry"
export HOSTRT_REGISTRY=$registry
# Qt wants a private runtime directory; give it one rather than have it warn.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  export XDG_RUNTIME_DIR=$demo_dir/runtime
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
fi

# --- the installation -------------------------------------------------------------------------

if [ "$gui" = 1 ]; then
  echo "== opening the installer's window"
  echo "   administrator login: sa, password: $sa_password"
  echo "   template: $template (preselected); pick a mode and press the install button"
  (cd "$demo_dir" && "$dbsetup") || die "the installer ended with a failure"
else
  echo "== dbsetup --unattended --mode $mode --template $template --sa sa --drop-existing"
  status=0
  (cd "$demo_dir" && DBSETUP_SA_PASSWORD=$sa_password "$dbsetup" --unattended --mode "$mode" \
    --template "$template" --sa sa --drop-existing) || status=$?
  [ "$status" = 0 ] || die "dbsetup failed (exit status $status); see its messages above"
fi

# --- what was installed -----------------------------------------------------------------------

database=$(query sa "$sa_password" \
  "select name from master.dbo.sysdatabases where name = '$app_login'") ||
  die "cannot read the server's databases"
[ -n "$database" ] || die "the database $app_login was not installed"
data_file=$(query sa "$sa_password" \
  "select filename from master.dbo.sysdatabases where name = '$app_login'") ||
  die "cannot read the database's data file"
logins=$(query sa "$sa_password" \
  "select name, dbname, sysadmin from master.dbo.syslogins where name <> 'sa' order by name") ||
  die "cannot read the server's logins"
# The rest is read as the application login, which shows that it can log in.
default_db=$(query "$app_login" "$app_password" "select db_name()") ||
  die "the application login $app_login cannot log in"
tables=$(query "$app_login" "$app_password" \
  "select count(*) from $app_login.dbo.sysobjects where xtype = 'U'") ||
  die "cannot count the tables of $app_login"
triggers=$(query "$app_login" "$app_password" \
  "select count(*) from $app_login.dbo.sysobjects where xtype = 'TR'") ||
  die "cannot count the triggers of $app_login"
installed_mode=$(query "$app_login" "$app_password" \
  "select sys_var_value from $app_login.dbo.t_sys_system where sys_var_id = 'Is_Distributed'") ||
  die "cannot read the installation mode from $app_login.dbo.t_sys_system"
alias_value=$(sed -n 's/^"qdzt"="\(.*\)"[[:space:]]*$/\1/p' "$registry" | tail -n 1)

mode_name() {
  case "$1" in
    0) echo "single store" ;;
    1) echo "chain headquarters" ;;
    2) echo "chain branch" ;;
    3) echo "distribution centre" ;;
    *) echo "unknown" ;;
  esac
}

echo "== installed"
echo "database:          $database (data file $data_file)"
echo "logins:"
while IFS=$'\t' read -r name dbname sysadmin; do
  [ -n "$name" ] || continue
  role=""
  [ "$sysadmin" = 1 ] && role=", sysadmin"
  echo "  $name (default database $dbname$role)"
done <<<"$logins"
echo "login $app_login:        connects, default database $default_db"
echo "tables:            $tables ($triggers triggers)"
echo "installation mode: ${installed_mode:-none recorded} ($(mode_name "$installed_mode"))"
echo "client alias:      qdzt = ${alias_value:-not written} (in $registry)"

# --- the application's settings and the demonstration data ---------------------------------

# What the product's own installation leaves for the application: the database interface, the
# database, the server and the application directory (Chain says whether the shop is part of a
# chain). The server "." is the stand-in, through the alias written above for another port.
app_key='HKEY_LOCAL_MACHINE\SOFTWARE\qdzt'
chain=1
[ "$installed_mode" = 0 ] && chain=0
{
  printf '\n[%s]\n"DBMS"="MSS Microsoft SQL Server 6.x"\n"Database"="%s"\n"ServerName"="."\n' \
    "$app_key" "$app_login"
  printf '\n[%s\\setup]\n"system_Path"="%s"\n"Chain"="%s"\n' "$app_key" \
    "$(reg_escape "$build_dir/bin")" "$chain"
} >>"$registry"
echo "application:       $app_key (DBMS, Database $app_login, ServerName ., setup\\system_Path)"

data_dir=$demo_dir/data
echo "== generating the demonstration data of a restaurant (about $rows rows) into $data_dir"
rm -rf "$data_dir"
python3 "$root/demo/make_demo_data.py" --out "$data_dir" --rows "$rows" --quiet ||
  die "the demonstration data could not be generated"

echo "== hostrt-run import --import $data_dir --code <today as yyyymmdd>"
import_started=$(date +%s%N)
status=0
# The special-operation password is today's date; it is passed on, never printed.
QT_QPA_PLATFORM=offscreen "$launcher" import --import "$data_dir" --code "$(date +%Y%m%d)" ||
  status=$?
import_ns=$(($(date +%s%N) - import_started))
[ "$status" = 0 ] || die "the import failed (exit status $status); see its messages above"

# Read back as the application login: every catalogue table's rows.
catalogue=$(python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); import make_sample as m
print("\n".join(t for _, t in m.CATALOGUE))' "$root/demo") || die "cannot read the catalogue"
count_sql=
for table in $catalogue; do
  count_sql+="${count_sql:+ union all }select '$table', count(*) from $app_login.dbo.$table"
done
counts=$(query "$app_login" "$app_password" "$count_sql") || die "cannot count the loaded rows"
# 50086 -> 50,086
grouped() {
  sed ':a;s/\B[0-9]\{3\}\>/,&/;ta' <<<"$1"
}
echo "== what the database holds now (read back as $app_login)"
total=0
tables_loaded=0
column=0
while IFS=$'\t' read -r table count; do
  [ -n "$table" ] || continue
  total=$((total + count))
  tables_loaded=$((tables_loaded + 1))
  if [ "$column" = 0 ]; then
    printf '  %-27s%9s' "$table" "$(grouped "$count")"
    column=1
  else
    printf '   %-27s%9s\n' "$table" "$(grouped "$count")"
    column=0
  fi
done <<<"$counts"
[ "$column" = 0 ] || printf '\n'
[ "$tables_loaded" = 63 ] || die "expected 63 tables, the server answered for $tables_loaded"
import_ms=$((import_ns / 1000000))
rate=$((total * 1000 / (import_ms > 0 ? import_ms : 1)))
printf 'total:             %s rows in %s tables, loaded in %d.%d s (%s rows/s)\n' \
  "$(grouped "$total")" "$tables_loaded" $((import_ms / 1000)) $((import_ms % 1000 / 100)) \
  "$(grouped "$rate")"

if [ "$keep_running" = 1 ]; then
  server_pid=  # leave it up
  echo "== the server keeps running on 127.0.0.1:$port (pid $(cat "$pid_file"))"
  window_command="HOSTRT_REGISTRY=$(printf '%q' "$registry") $(printf '%q' "$launcher") import"
  echo "window:   $window_command"
  echo "connect:  TDSVER=7.4 tsql -H 127.0.0.1 -p $port -U $app_login -P $app_password"
  stop_command="$(printf '%q' "$0") --stop"
  if [ "$demo_dir" != "$root/build/demo" ]; then
    stop_command="DEMO_DIR=$(printf '%q' "$demo_dir") $stop_command"
  fi
  echo "stop it:  $stop_command"
else
  stop_server
  echo "== server stopped"
fi
