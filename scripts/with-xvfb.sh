#!/usr/bin/env bash
# Runs a command on an X server of its own and stops the server after it:
#
#   scripts/with-xvfb.sh COMMAND [ARG...]
#
# Xvfb picks a display that no other server holds, through every kind of
# socket, and names it once it listens; the command starts only when the
# server answers a client (xwininfo), so it never starts before its server nor
# reaches another one. A server that dies in its start-up is told with its
# log and started once more.
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: with-xvfb.sh COMMAND [ARG...]" >&2; exit 2; }
log=$(mktemp)
xvfb=""
trap '[ -z "$xvfb" ] || kill $xvfb 2>/dev/null || true; rm -f "$log"' EXIT

# start_server: starts Xvfb and sets display; false when it never answers.
start_server() {
  exec {server}< <(exec Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp </dev/null 2>"$log")
  xvfb=$!
  if ! read -r -t 30 -u "$server" display; then
    return 1
  fi
  for _ in $(seq 1 200); do
    if xwininfo -root -display ":$display" >/dev/null 2>&1; then return 0; fi
    kill -0 "$xvfb" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}

for attempt in 1 2; do
  if start_server; then break; fi
  echo "Xvfb did not start (attempt $attempt):" >&2
  cat "$log" >&2
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  xvfb=""
  [ "$attempt" -lt 2 ] || exit 1
done
status=0
DISPLAY=:$display "$@" || status=$?
if [ "$status" -ne 0 ] && ! kill -0 "$xvfb" 2>/dev/null; then
  echo "the X server :$display was gone by the command's end; its log:" >&2
  cat "$log" >&2
fi
exit $status
