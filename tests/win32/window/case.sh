#!/usr/bin/env bash
# Runs one of the window's cases (cases/NAME.sh) under Wine, on the fixture's
# X server, and counts its checks:
#
#   case.sh NAME STATE_DIR
#
# WIN_BIN is the Windows build's bin folder (valmeric-wintest.exe,
# valmeric.exe, db/hpt_data.db); HOST_BIN the Linux build's (valmeric-cli,
# valmeric-sitesim). KEEP_WORK=1 keeps the case's folders.
set -euo pipefail
cd "$(dirname "$0")/../../.."
name=$1
state=$2
[ -s "$state/display" ] || { echo "no X server: run the fixture first (ctest -L window)" >&2; exit 1; }
export DISPLAY=:$(cat "$state/display")
source scripts/wine_env.sh
source scripts/local_site.sh
source scripts/check_tally.sh
source tests/win32/window/lib.sh

WORK=$(mktemp -d)
cleanup() {
  stop_local_site
  if [ -n "${KEEP_WORK:-}" ]; then echo "kept $WORK"; else rm -rf "$WORK"; fi
}
trap cleanup EXIT
source "tests/win32/window/cases/$name.sh"
tally
