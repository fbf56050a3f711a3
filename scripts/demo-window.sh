#!/usr/bin/env bash
# The window on the bundled local directory site: installs, builds, starts the
# site on loopback and opens the desktop program pointed at it. Tick a
# prefecture and a category, press 取得開始 and choose where the CSV goes.
# Closing the window stops the site. Needs a desktop session (DISPLAY).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "no desktop session here (DISPLAY is not set): run this from a desktop," >&2
  echo "or try it headless with: bash scripts/with-xvfb.sh bash scripts/demo-window.sh" >&2
  exit 2
fi

source scripts/local_site.sh
prepare_demo_site valmeric
bin=build/release/bin

# The window takes no arguments; the site's origin comes from the environment.
VALMERIC_SITE_ORIGIN="$LOCAL_SITE" "$bin/valmeric"
