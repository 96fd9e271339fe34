#!/usr/bin/env bash
# Refreshes the README's pictures (docs/screenshots/*.png) from the programs themselves, running
# under a real X server (Xvfb) with a window manager (openbox), so that title bars and frames
# show as an operator sees them. It installs what it needs for that (Xvfb, openbox, xdotool,
# xwd, netpbm) when they are missing, starts a stand-in server with the demo database
# (scripts/demo.sh --keep-running on a free port in a scratch directory), then:
#
#   dbsetup_main.png     the installer's window as it opens
#   dbsetup_confirm.png  the confirmation dialog, after Install over the existing database
#   import_main.png      the data administration window as it opens
#   import_done.png      the same window after an import of the demo files (a few left out),
#                        with each table's remark, once the completion box is answered
#
# The import is driven from the keyboard as an operator would: Tab to the directory, type it,
# Tab to the code, type it, Tab to the import button, Space.
#
#   scripts/screenshots.sh            (after scripts/bootstrap.sh has built build/)
#
# Environment: SCREENSHOT_BUILD_DIR (build), SCREENSHOT_OUT (docs/screenshots).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${SCREENSHOT_BUILD_DIR:-$root/build}" && pwd)
out=${SCREENSHOT_OUT:-$root/docs/screenshots}
mkdir -p "$out"

die() {
  echo "screenshots: $*" >&2
  # What the screen showed, for the reader of the failure.
  if [ -n "${DISPLAY:-}" ] && command -v xwd >/dev/null; then
    xwd -root -silent 2>/dev/null | xwdtopnm 2>/dev/null | pnmtopng >"${TMPDIR:-/tmp}/screenshots-failure.png" 2>/dev/null &&
      echo "screenshots: the screen at the failure is in ${TMPDIR:-/tmp}/screenshots-failure.png" >&2
  fi
  exit 1
}

packages=(xvfb openbox xdotool x11-apps x11-utils netpbm)  # xwd in x11-apps, xwininfo in x11-utils
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "screenshots: installing ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -qq
  $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
for program in dbsetup hostrt-run sqlstandin; do
  [ -x "$build/bin/$program" ] || die "$build/bin/$program is missing: build first"
done

work=$(mktemp -d)
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
sa_password='Velmora#Shots1'
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  DEMO_DIR=$work/demo "$root/scripts/demo.sh" --stop >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "== a stand-in server with the demo database (port $port)"
DEMO_DIR=$work/demo DEMO_PORT=$port DEMO_BUILD_DIR=$build DEMO_SKIP_BOOTSTRAP=1 \
  DEMO_SA_PASSWORD=$sa_password "$root/scripts/demo.sh" --keep-running >"$work/demo.log" 2>&1 ||
  die "the demo did not install the database: $(tail -n 5 "$work/demo.log")"
registry=$work/demo/registry.reg

# The import application's own registry values, as a shop's installation leaves them.
mkdir -p "$work/app"
cat >>"$registry" <<EOF

[HKEY_LOCAL_MACHINE\\SOFTWARE\\qdzt]
"DBMS"="MSS Microsoft SQL Server 6.x"
"Database"="qdzt"
"ServerName"="."

[HKEY_LOCAL_MACHINE\\SOFTWARE\\qdzt\\setup]
"Chain"="0"
"system_Path"="$work/app"
EOF

echo "== X server and window manager"
# Xvfb picks a free display and writes its number once it accepts clients.
Xvfb -displayfd 5 -screen 0 1280x900x24 -nolisten tcp 5>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
display=
for _ in $(seq 300); do
  display=$(cat "$work/display" 2>/dev/null || true)
  [ -n "$display" ] && break
  sleep 0.1
done
[ -n "$display" ] || die "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=:$display
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
export QT_QPA_PLATFORM=xcb HOSTRT_REGISTRY=$registry XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

# The window whose title is $1, once it is shown.
window_named() {
  timeout 30 xdotool search --sync --onlyvisible --name "$1" | head -n 1
}
# Saves window $1 with its frame (title bar and borders) as $2. A moment first, so that
# everything has painted.
shot() {
  sleep 1
  local geometry extents x y w h left right top bottom
  geometry=$(xwininfo -id "$1")
  x=$(sed -n 's/^ *Absolute upper-left X: *//p' <<<"$geometry")
  y=$(sed -n 's/^ *Absolute upper-left Y: *//p' <<<"$geometry")
  w=$(sed -n 's/^ *Width: *//p' <<<"$geometry")
  h=$(sed -n 's/^ *Height: *//p' <<<"$geometry")
  # _NET_FRAME_EXTENTS(CARDINAL) = left, right, top, bottom
  extents=$(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | tr -d ' ')
  IFS=, read -r left right top bottom <<<"${extents:-0,0,0,0}"
  # The frame from the screen, the inside from the window itself (a dialog's inside does not
  # always show in a capture of the screen under Xvfb).
  xwd -root -silent | xwdtopnm 2>/dev/null |
    pnmcut -left $((x - left)) -top $((y - top)) -width $((w + left + right)) \
      -height $((h + top + bottom)) >"$work/frame.pnm"
  xwd -id "$1" -silent | xwdtopnm 2>/dev/null >"$work/inside.pnm"
  pnmpaste "$work/inside.pnm" "$left" "$top" "$work/frame.pnm" | pnmtopng >"$2"
  echo "   $2"
}
# The names of the windows on the screen (for a failure's message).
window_names() {
  for id in $(xdotool search --onlyvisible --name . 2>/dev/null); do
    printf '%s; ' "$(xdotool getwindowname "$id")"
  done
}
# Window units to pixels at 96 dpi, as the runtime places controls.
ux() { echo $((($1 * 7 + 16) / 32)); }
uy() { echo $((($1 + 2) / 4)); }

echo "== the installer"
(cd "$work/demo" && exec "$build/bin/dbsetup") >"$work/dbsetup.log" 2>&1 &
dbsetup_pid=$!
pids+=("$dbsetup_pid")
main=$(window_named 'Velmora') || die "the installer's window did not open"
shot "$main" "$out/dbsetup_main.png"
# The administrator password, then Install: the database exists, so the code is asked for.
xdotool mousemove --window "$main" "$(ux $((955 + 363)))" "$(uy $((820 + 42)))" click 1
xdotool type --delay 20 "$sa_password"
xdotool mousemove --window "$main" "$(ux $((1445 + 160)))" "$(uy $((1132 + 50)))" click 1
confirm=$(window_named '输入校验码') ||
  die "the confirmation dialog did not open (windows: $(window_names))"
shot "$confirm" "$out/dbsetup_confirm.png"
kill "$dbsetup_pid" 2>/dev/null || true

echo "== the import application"
data=$work/data
mkdir -p "$data"
cp "$root"/demo/sample/*.txt "$data/"
# A few tables without a file, to show what the window says of them.
rm -f "$data"/cybr_bt_dish_present.txt "$data"/t_st_stock_master.txt "$data"/t_st_stock_price.txt
(cd "$work/app" && exec "$build/bin/hostrt-run" import) >"$work/import.log" 2>&1 &
import_pid=$!
pids+=("$import_pid")
admin=$(window_named '快餐V5售前演示数据导入工具') ||
  die "the import window did not open (windows: $(window_names)) $(cat "$work/import.log")"
shot "$admin" "$out/import_main.png"
# Keyboard only: the tab page, "...", the directory, the grid, the code, the import button.
xdotool windowactivate --sync "$admin"
xdotool key --delay 50 Tab Tab
xdotool type --delay 10 "$data"
xdotool key --delay 50 Tab Tab
xdotool type --delay 20 "$(date +%Y%m%d)"
xdotool key --delay 50 Tab space
box=$(timeout 600 xdotool search --sync --onlyvisible --name '快餐 Velmora' | head -n 1) ||
  die "the import did not finish"
# The completion box has the focus: Enter presses its button. Then the window at rest, with
# each table's remark.
sleep 1
xdotool key Return
for _ in $(seq 100); do
  xdotool search --onlyvisible --name '快餐 Velmora' >/dev/null 2>&1 || break
  sleep 0.1
done
shot "$admin" "$out/import_done.png"
kill "$import_pid" 2>/dev/null || true
echo "== done"
