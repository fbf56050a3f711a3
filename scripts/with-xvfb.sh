#!/usr/bin/env bash
# Runs a command on an X server of its own and stops the server after it:
#
#   scripts/with-xvfb.sh COMMAND [ARG...]
#
# Xvfb picks a display that no other server holds, through every kind of
# socket, and names it only once it accepts connections, so the command never
# starts before its server nor reaches another one.
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: with-xvfb.sh COMMAND [ARG...]" >&2; exit 2; }
log=$(mktemp)
exec {server}< <(exec Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp </dev/null 2>"$log")
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; rm -f "$log"' EXIT
if ! read -r -t 30 -u "$server" display; then
  echo "Xvfb did not start:" >&2
  cat "$log" >&2
  exit 1
fi
status=0
DISPLAY=:$display "$@" || status=$?
exit $status
