#!/usr/bin/env bash
# Draws the first sheet of a workbook the export makes, as a spreadsheet
# program prints it: a collection from the local site (category 6, prefecture
# 1), exported, turned into PDF by LibreOffice without a display and into PNG
# by poppler, the top of the page kept.
#   tools/workbook_screenshot.sh [preset] [output PNG]
# Installs libreoffice-calc-nogui and poppler-utils when they are missing (they
# serve this picture only, not the build or the tests).
set -euo pipefail
preset=${1:-release}
root=$(cd "$(dirname "$0")/.." && pwd)
out=${2:-$root/docs/screenshots/workbook.png}
bin=$root/build/$preset/bin
if ! command -v soffice >/dev/null || ! command -v pdftoppm >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
    libreoffice-calc-nogui poppler-utils fonts-ipafont-gothic
fi
work=$(mktemp -d)
source "$root/scripts/local_site.sh"
trap 'stop_local_site; rm -rf "$work"' EXIT
start_local_site "$bin" "$work"
cp "$bin/db/hpt_data.db" "$work/"
"$bin/valmeric-cli" collect --category 6 --prefecture 1 --pause-ms 0 --quiet \
  --db "$work/hpt_data.db" --output "$work/病院施設一覧" --site-origin "$LOCAL_SITE" || true
"$bin/valmeric-cli" export "$work/病院施設一覧.csv" --db "$work/hpt_data.db" >/dev/null
(cd "$work" && HOME=$work soffice --headless --convert-to pdf 病院施設一覧.xlsx >/dev/null 2>&1)
pdftoppm -r 100 -f 1 -l 1 -png "$work/病院施設一覧.pdf" "$work/page"
convert "$work/page-1.png" -crop 827x420+0+0 +repage "$out" 2>/dev/null ||
  convert "$work/page-01.png" -crop 827x420+0+0 +repage "$out"
echo "$out"
