#!/usr/bin/env bash
# Saves PNG pictures of the main window under a private X server (Xvfb) with
# the Japanese fonts: the program itself while idle, and the window in the
# middle of a run against a local site on 127.0.0.1.
#   tools/screenshot.sh [preset] [output folder]
# Needs xvfb, xauth, imagemagick and fonts-ipafont-gothic (scripts/install-deps.sh).
set -euo pipefail

preset=${1:-debug}
root=$(cd "$(dirname "$0")/.." && pwd)
out=${2:-$root/docs}
bin=$root/build/$preset/bin
mkdir -p "$out"
for program in valmeric valmeric-screenshot-running; do
  if [ ! -x "$bin/$program" ]; then
    echo "missing $bin/$program; build the preset first" >&2
    exit 1
  fi
done

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
  if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null || true; wait "$app_pid" 2>/dev/null || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# A free display number: the first without a lock file.
display=99
while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 640x480x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  sleep 0.1
done

export DISPLAY=":$display" QT_QPA_PLATFORM=xcb LANG=C.UTF-8
export DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent XDG_RUNTIME_DIR="$work"

# Idle: the program itself, placed at the top left corner of the screen.
"$bin/valmeric" >"$work/valmeric.log" 2>&1 &
app_pid=$!
sleep 3
import -window root -crop 316x303+0+0 +repage "$out/screenshot-idle.png"
kill "$app_pid"
wait "$app_pid" 2>/dev/null || true
app_pid=""

# Running: the window while a run waits for its second page.
"$bin/valmeric-screenshot-running" "$out/screenshot-running.png"

echo "saved $out/screenshot-idle.png and $out/screenshot-running.png"
