#!/usr/bin/env bash
# The real program on a real X server: every window's title reads exactly as
# the program sets it, with nothing of the toolkit's appended. Started with
# no database beside it, the program shows its window and the configuration
# error box. Run under scripts/with-xvfb.sh.
# usage: window_titles_test.sh PATH/TO/valmeric
set -euo pipefail
work=$(mktemp -d)
cp "$1" "$work/valmeric"  # no db/ beside it
export XDG_RUNTIME_DIR=$work HOME=$work LANG=C.UTF-8 QT_QPA_PLATFORM=xcb
"$work/valmeric" &
pid=$!
trap 'kill $pid 2>/dev/null || true; wait $pid 2>/dev/null || true; rm -rf "$work"' EXIT

# Every top-level window's WM_NAME, one a line.
titles() {
  xwininfo -root -children | sed -n 's/^ *\(0x[0-9a-f]*\) .*/\1/p' | while read -r id; do
    xprop -id "$id" WM_NAME 2>/dev/null | sed -n 's/^WM_NAME([A-Z0-9_]*) = //p'
  done
}

# Up to 30 s: a sanitizer build on a busy machine can take its time to map
# its windows; the loop ends as soon as they are there.
for _ in $(seq 1 600); do
  found=$(titles)
  if grep -qF '設定エラー' <<<"$found"; then break; fi
  sleep 0.05
done
echo "window titles:"
echo "$found"
status=0
for want in '"Valmeric"' '"設定エラー"'; do
  if ! grep -qxF "$want" <<<"$found"; then
    echo "missing a window titled exactly $want" >&2
    status=1
  fi
done
exit $status
