#!/usr/bin/env bash
# The main job on the bundled local directory site: installs, builds, starts the
# site on loopback, collects one small prefecture and one category at the real
# 500 ms pacing, shows the result, and stops the site.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/local_site.sh
prepare_demo_site valmeric-cli
bin=build/release/bin
work=$DEMO_WORK

# Category 10 (動物病院) in prefecture 31 (鳥取県).
status=0
"$bin/valmeric-cli" collect --category 10 --prefecture 31 \
  --output "$work/病院施設一覧" --site-origin "$LOCAL_SITE" || status=$?

csv="$work/病院施設一覧.csv"
if [ -f "$csv" ]; then
  records=$(( $(wc -l <"$csv") - 1 ))
  echo
  echo "CSV file: $csv"
  echo "records:  $records"
  echo "first lines (converted to UTF-8):"
  head -n 6 "$csv" | iconv -f CP932 -t UTF-8
fi
exit "$status"
