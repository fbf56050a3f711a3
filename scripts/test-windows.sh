#!/usr/bin/env bash
# Cross-builds the Windows target (the windows preset), runs its tests under
# Wine, has the Windows command line collect from the local site what the
# Linux one collects and compares the two CSV files byte for byte, and checks
# the zip package by unpacking it and running the program inside.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/local_site.sh
source scripts/wine_env.sh

# The build host's programs: the local site and the Linux command line.
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target valmeric-cli valmeric-sitesim valmeric_refdb \
  valmeric_contract_server
cmake --preset windows
start=$(date +%s)
cmake --build --preset windows -j "$(nproc)"
echo "windows build: $(( $(date +%s) - start )) s"
prepare_wine

win=build/windows/bin
echo "== unit tests under Wine"
wine "$win/valmeric_unit_tests.exe" --gtest_brief=1
echo "== download contract under Wine (WinINet)"
scripts/windows-download-tests.sh --gtest_brief=1

work=$(mktemp -d)
trap 'stop_local_site; rm -rf "$work"' EXIT
start_local_site build/release/bin "$work"

# One collection by each system: three prefectures, every category.
collect() {  # collect NAME PROGRAM...
  local name=$1
  shift
  mkdir -p "$work/$name/db"
  cp build/release/bin/db/hpt_data.db "$work/$name/db/"
  local t0 t1
  t0=$(date +%s.%N)
  "$@" collect --category all --prefecture 31,32,39 --pause-ms 0 --quiet \
    --db "$work/$name/db/hpt_data.db" --output "$work/$name/病院施設一覧.csv" --site-origin "$LOCAL_SITE"
  t1=$(date +%s.%N)
  local entries
  entries=$(build/release/bin/valmeric-cli status --db "$work/$name/db/hpt_data.db" |
            sed -n 's/^entries done: \([0-9]*\) .*/\1/p')
  awk -v n="$name" -v e="$entries" -v a="$t0" -v b="$t1" \
    'BEGIN { printf "%s: %d entries in %.2f s, %.0f entries/s\n", n, e, b - a, e / (b - a) }'
}
echo "== the same collection on Linux and under Wine"
collect linux build/release/bin/valmeric-cli
collect windows wine "$win/valmeric-cli.exe"
cmp "$work/linux/病院施設一覧.csv" "$work/windows/病院施設一覧.csv"
echo "same bytes: $(wc -c <"$work/linux/病院施設一覧.csv") bytes, $(( $(wc -l <"$work/linux/病院施設一覧.csv") - 1 )) facilities"

echo "== the zip package"
zip=$(ls build/windows/valmeric-*-windows-x64.zip)
echo "$zip: $(stat -c %s "$zip") bytes"
unzip -q "$zip" -d "$work/unzipped"
package=$(ls -d "$work"/unzipped/valmeric-*-windows-x64)
for file in valmeric-cli.exe db/hpt_data.db README.txt; do
  [ -f "$package/$file" ] || { echo "the zip lacks $file" >&2; exit 1; }
done
iconv -f CP932 -t UTF-8 "$package/README.txt" >/dev/null
wine "$package/valmeric-cli.exe" collect --category 10 --prefecture 31 --pause-ms 0 --quiet \
  --output "$work/unzipped/動物病院.csv" --site-origin "$LOCAL_SITE"
[ -s "$work/unzipped/動物病院.csv" ]
echo "the unzipped program collected $(( $(wc -l <"$work/unzipped/動物病院.csv") - 1 )) facilities"
