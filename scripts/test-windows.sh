#!/usr/bin/env bash
# Cross-builds the Windows target (the windows preset), runs its tests under
# Wine, has the Windows command line collect from the local site what the
# Linux one collects and compares the two CSV files byte for byte, and checks
# the zip package by unpacking it and running the program inside; then the
# window's tests under Wine and Xvfb, and the installer's.
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
cmake --build --preset windows -j "$(nproc)" --target installer
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
  mkdir -p "$work/$name/db" "$work/$name/データ"
  cp build/release/bin/db/hpt_data.db "$work/$name/db/"
  local t0 t1
  t0=$(date +%s.%N)
  "$@" collect --category all --prefecture 31,32,39 --pause-ms 0 --quiet \
    --db "$work/$name/db/hpt_data.db" --output "$work/$name/データ/病院施設一覧.csv" --site-origin "$LOCAL_SITE"
  t1=$(date +%s.%N)
  local entries
  # status exits 1 for a finished run: nothing left to resume.
  entries=$({ build/release/bin/valmeric-cli status --db "$work/$name/db/hpt_data.db" || true; } |
            sed -n 's/^処理済みのページ: \([0-9]*\) .*/\1/p')
  awk -v n="$name" -v e="$entries" -v a="$t0" -v b="$t1" \
    'BEGIN { printf "%s: %d entries in %.2f s, %.0f entries/s\n", n, e, b - a, e / (b - a) }'
}
echo "== the same collection on Linux and under Wine"
collect linux build/release/bin/valmeric-cli
collect windows wine "$win/valmeric-cli.exe"
csv=データ/病院施設一覧.csv
cmp "$work/linux/$csv" "$work/windows/$csv"
echo "same bytes: $(wc -c <"$work/linux/$csv") bytes, $(( $(wc -l <"$work/linux/$csv") - 1 )) facilities"

echo "== every command from a folder of Japanese names, one of them outside CP932"
jp="$work/ユーザー/田中太郎/𠮷田"
mkdir -p "$jp/db" "$jp/データ"
cp "$win/valmeric-cli.exe" "$jp/"
cp build/release/bin/db/hpt_data.db "$jp/db/"  # the database beside the program: no --db
expect_exit() {  # expect_exit STATUS ARGS...: valmeric-cli.exe in that folder
  local want=$1 got=0
  shift
  wine "$jp/valmeric-cli.exe" "$@" >"$work/jp.out" 2>"$work/jp.err" || got=$?
  if [ "$got" -ne "$want" ]; then
    echo "valmeric-cli $*: expected exit status $want, got $got" >&2
    cat "$work/jp.err" >&2
    exit 1
  fi
  echo "${1} ${2:-}: exit status $got"
}
restart_site() { stop_local_site; start_local_site build/release/bin "$work" "$@"; }
quick=(--pause-ms 0 --retry-delays-ms 0,0 --quiet)
expect_exit 0 rebuild-categories --site-origin "$LOCAL_SITE" --quiet
expect_exit 0 rebuild-cities --site-origin "$LOCAL_SITE" --quiet
# Broken off by the site, then resumed.
restart_site --fail-after 30
expect_exit 3 collect --category 6 --prefecture 16 "${quick[@]}" --output "$jp/データ/皮膚科" \
  --site-origin "$LOCAL_SITE"
expect_exit 0 status
restart_site
expect_exit 0 collect --resume "${quick[@]}" --site-origin "$LOCAL_SITE"
cp build/release/bin/db/hpt_data.db "$work/reference.db"
build/release/bin/valmeric-cli collect --category 6 --prefecture 16 --pause-ms 0 --quiet \
  --db "$work/reference.db" --output "$work/reference.csv" --site-origin "$LOCAL_SITE"
cmp "$jp/データ/皮膚科.csv" "$work/reference.csv"
echo "the resumed file is the Linux command line's whole run, byte for byte"
# Pages not fetched at the end of the plan, then fetched again.
restart_site --fail-rate 0.25
expect_exit 5 collect --category all --prefecture 31 "${quick[@]}" --output "$jp/データ/鳥取" \
  --site-origin "$LOCAL_SITE"
restart_site
expect_exit 0 collect --retry-failed "${quick[@]}" --site-origin "$LOCAL_SITE"
expect_exit 1 status
expect_exit 0 diff "$jp/データ/皮膚科.csv" "$jp/データ/鳥取.csv" --output "$jp/データ/変更"
[ -s "$jp/データ/変更.csv" ] || { echo "no change report in $jp/データ" >&2; exit 1; }
[ -z "$(find "$jp" -name 'tmp-*.dat')" ] || { echo "scratch files left in $jp" >&2; exit 1; }

echo "== the monthly refresh: the list kept, the change report, a list Excel saved again"
month=(collect --category 10 --prefecture 1 "${quick[@]}" --output "$jp/データ/月次")
expect_exit 0 "${month[@]}" --site-origin "$LOCAL_SITE"
cp "$jp/データ/月次.csv" "$work/last-month.csv"
restart_site --change-share 0.2  # a month later: some gone, some changed, some new
expect_exit 0 "${month[@]}" --site-origin "$LOCAL_SITE"
kept=$(ls "$jp/データ/"月次_2*.csv)
cmp "$kept" "$work/last-month.csv"
report="$jp/データ/月次_変更点.csv"
[ -s "$report" ] || { echo "the run wrote no change report" >&2; exit 1; }
expect_exit 0 diff "$kept" "$jp/データ/月次.csv" --output "$work/比較"
cmp "$report" "$work/比較.csv"
[ "$(wc -l <"$report")" -gt 1 ] || { echo "the site's changes are not in the report" >&2; exit 1; }
echo "a second run of the same ticks kept the first as $(basename "$kept") and wrote the report diff writes"
cp "$jp/データ/月次.csv" "$work/this-month.csv"
stop_local_site
expect_exit 3 "${month[@]}" --site-origin "$LOCAL_SITE"
cmp "$(ls -t "$jp/データ/"月次_2*.csv | grep -vxF "$kept" | head -1)" "$work/this-month.csv"
echo "a run the site did not answer left the list it replaced under its dated name"
restart_site
# As Excel saves it again: quotes only where needed, no trailing empty
# column, the codes' leading zeros gone.
/usr/bin/python3 - "$work/this-month.csv" "$work/excel.csv" <<'PY'
import csv, io, sys
rows = list(csv.reader(io.StringIO(open(sys.argv[1], encoding="cp932", newline="").read())))
out = io.StringIO()
writer = csv.writer(out, lineterminator="\r\n")
zeros = 0
for i, row in enumerate(rows):
    if row and row[-1] == "":
        row = row[:-1]
    if i > 0 and row[0].startswith("0"):
        row[0] = row[0].lstrip("0")
        zeros += 1
    writer.writerow(row)
open(sys.argv[2], "w", encoding="cp932", newline="").write(out.getvalue())
sys.exit(0 if zeros > 0 else "no code lost a leading zero")
PY
expect_exit 0 diff "$work/this-month.csv" "$work/excel.csv" --output "$work/excel-diff"
[ "$(wc -l <"$work/excel-diff.csv")" = 1 ] ||
  { echo "the list Excel saved again differs:" >&2; head "$work/excel-diff.csv" >&2; exit 1; }
echo "diff of the list against its Excel re-save: 0 / 0 / 0"
expect_exit 0 export "$work/this-month.csv" --output "$jp/データ/月次ブック"
/usr/bin/python3 tests/e2e/check_workbook.py "$work/this-month.csv" "$jp/データ/月次ブック.xlsx"
echo "the workbook written under Wine, into a Japanese folder, holds the CSV's cells"

echo "== Japanese on a Japanese system's console, redirected to a file"
localedef -i ja_JP -f UTF-8 "$work/ja_JP.UTF-8" 2>/dev/null || true
status=0
LOCPATH=$work LANG=ja_JP.UTF-8 wine "$win/valmeric-cli.exe" collect --category 1 --prefecture 1 \
  --output "$work/x.csv" --db "$work/no-such.db" 2>"$work/stderr.txt" || status=$?
[ "$status" -eq 2 ] || { echo "expected exit 2 for a missing database, got $status" >&2; exit 1; }
iconv -f CP932 -t UTF-8 "$work/stderr.txt" | grep -q 'DBファイルの設定が正しくありません' ||
  { echo "the message is not CP932 Japanese:" >&2; od -c "$work/stderr.txt" | head >&2; exit 1; }
echo "the message reads as CP932 Japanese"

echo "== the zip package"
zip=$(ls build/windows/valmeric-*-windows-x64.zip)
echo "$zip: $(stat -c %s "$zip") bytes"
unzip -q "$zip" -d "$work/unzipped"
package=$(ls -d "$work"/unzipped/valmeric-*-windows-x64)
for file in valmeric.exe valmeric-cli.exe db/hpt_data.db README.txt guide-ja.html compare-csv.bat; do
  [ -f "$package/$file" ] || { echo "the zip lacks $file" >&2; exit 1; }
done
for text in README.txt compare-csv.bat; do  # CP932 with CR LF, as Windows reads them
  iconv -f CP932 -t UTF-8 "$package/$text" >/dev/null
  [ "$(grep -c $'\r$' "$package/$text")" = "$(wc -l <"$package/$text")" ] ||
    { echo "$text has a line without CR LF" >&2; exit 1; }
done
iconv -f CP932 -t UTF-8 "$package/README.txt" | grep -q 'guide-ja.html' ||
  { echo "README.txt does not point to the guide" >&2; exit 1; }
iconv -f CP932 -t UTF-8 "$package/README.txt" | grep -q '10 動物病院' &&
  iconv -f CP932 -t UTF-8 "$package/README.txt" | grep -q '47 沖縄県' ||
  { echo "README.txt lacks the code tables" >&2; exit 1; }
grep -q '<h1>Valmeric 使い方</h1>' "$package/guide-ja.html" ||
  { echo "guide-ja.html is not the guide" >&2; exit 1; }
echo "the zip carries the guide, the README (CP932, CR LF, code tables) and compare-csv.bat"
wine "$package/valmeric-cli.exe" collect --category 10 --prefecture 31 --pause-ms 0 --quiet \
  --output "$work/unzipped/動物病院.csv" --site-origin "$LOCAL_SITE"
[ -s "$work/unzipped/動物病院.csv" ]
echo "the unzipped program collected $(( $(wc -l <"$work/unzipped/動物病院.csv") - 1 )) facilities"

echo "== two CSV files dropped on compare-csv.bat"
# Dropped newer first: the older one is found by its modification time, and
# the report goes beside the newer one.
mkdir -p "$work/drop/old" "$work/drop/new"
cp "$work/linux/$csv" "$work/drop/old/病院施設一覧.csv"
head -n -1 "$work/linux/$csv" >"$work/drop/new/病院施設一覧.csv"
# The batch file compares the two times as the system writes them, as text:
# right for a Japanese Windows (2026/01/02 10:00), and for a Wine prefix's
# 1/2/2026 10:00 AM only while both dates have as many digits. Fixed times
# keep the check to what it is about, whatever day it runs on.
touch -d '2026-01-01 10:00' "$work/drop/old/病院施設一覧.csv"
touch -d '2026-01-02 10:00' "$work/drop/new/病院施設一覧.csv"
LOCPATH=$work LANG=ja_JP.UTF-8 wine cmd /c "$(winepath -w "$package/compare-csv.bat")" \
  "$(winepath -w "$work/drop/new/病院施設一覧.csv")" "$(winepath -w "$work/drop/old/病院施設一覧.csv")" \
  </dev/null >"$work/drop/out.txt" 2>&1 || true
report="$work/drop/new/病院施設一覧_変更点.csv"
[ -s "$report" ] || { echo "no report beside the newer file:" >&2; cat "$work/drop/out.txt" >&2; exit 1; }
# One facility fewer in the newer file: one line 廃止 after the header.
[ "$(iconv -f CP932 -t UTF-8 "$report" | grep -c '^"廃止"')" = 1 ] ||
  { echo "the report is not old -> new:" >&2; iconv -f CP932 -t UTF-8 "$report" | head >&2; exit 1; }
echo "compare-csv.bat wrote the report beside the newer file, one facility gone"

echo "== the window under Wine and Xvfb"
bash scripts/windows-gui-tests.sh docs/screenshots
echo "== the installer"
bash scripts/windows-installer-check.sh
