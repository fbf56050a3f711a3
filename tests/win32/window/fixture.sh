#!/usr/bin/env bash
# The ground the window cases stand on, set up once before them and taken
# down after them (ctest's fixture "window"):
#
#   fixture.sh start STATE_DIR   the Wine prefix with the Japanese fonts, an X
#                                server of its own (its display in
#                                STATE_DIR/display) and a Wine server that
#                                stays up between the cases (WIN_BIN is the
#                                Windows build's bin folder)
#   fixture.sh stop STATE_DIR    both servers stopped
set -euo pipefail
cd "$(dirname "$0")/../../.."
action=$1
state=$2
source scripts/wine_env.sh

start() {
  mkdir -p "$state"
  stop
  prepare_wine
  prepare_japanese_fonts
  # Detached from the test's output, which ctest waits on to close.
  rm -f "$state/display"
  setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$state/display" \
    </dev/null >"$state/xvfb.log" 2>&1 &
  echo $! >"$state/xvfb.pid"
  for _ in $(seq 1 100); do
    [ -s "$state/display" ] && break
    sleep 0.1
  done
  [ -s "$state/display" ] || { echo "Xvfb did not start:" >&2; cat "$state/xvfb.log" >&2; exit 1; }
  export DISPLAY=:$(cat "$state/display")
  setsid wineserver -p </dev/null >/dev/null 2>&1
  # Wine's own processes (services, the desktop) start with the first program
  # and keep its output open: started here, they hold no case's output.
  setsid wine "$WIN_BIN/valmeric-winclose.exe" 1 </dev/null >/dev/null 2>&1 || true
  echo "X display :$(cat "$state/display"), Wine prefix $WINEPREFIX"
}

stop() {
  wineserver -k 2>/dev/null || true
  if [ -s "$state/xvfb.pid" ]; then
    kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
    rm -f "$state/xvfb.pid" "$state/display"
  fi
}

case $action in
  start) start ;;
  stop) stop ;;
  *) echo "usage: fixture.sh start|stop STATE_DIR" >&2; exit 2 ;;
esac
