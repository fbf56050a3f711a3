#!/usr/bin/env bash
# The Windows program's window under Wine and Xvfb: the window's cases
# (tests/win32/window), which ctest lists under the label "window" in the
# windows build. With an argument, the screenshots of the window they made
# for the office guide are copied into that folder (docs/screenshots).
#
#   scripts/windows-gui-tests.sh [SCREENSHOT_FOLDER]
#
# Needs build/windows (targets valmeric, valmeric-wintest, valmeric_refdb) and
# build/release (valmeric-cli, valmeric-sitesim, valmeric_refdb).
set -euo pipefail
cd "$(dirname "$0")/.."
ctest --test-dir build/windows -L window --output-on-failure
if [ -n "${1:-}" ]; then
  mkdir -p "$1"
  cp build/windows/screenshots/windows-*.png "$1/"
fi
