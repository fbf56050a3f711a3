#!/usr/bin/env bash
# Builds everything but the window, with no Qt at all, and runs every test
# that needs no window: nothing GUI-only may creep into the core.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/preset.sh
build_preset nogui
if grep -qi 'qt6' build/nogui/CMakeCache.txt; then
  echo "the build without the window found Qt" >&2
  exit 1
fi
test_preset nogui
