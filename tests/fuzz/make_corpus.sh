#!/usr/bin/env bash
# Fills tests/fuzz/corpus/ with seed inputs cut from the local site's pages.
# Usage: tests/fuzz/make_corpus.sh BUILD_BIN_DIR
set -euo pipefail
bin=${1:?usage: make_corpus.sh BUILD_BIN_DIR}
here=$(cd "$(dirname "$0")" && pwd)
corpus="$here/corpus"
work=$(mktemp -d)
source "$here/../../scripts/local_site.sh"
trap 'stop_local_site; rm -rf "$work"' EXIT
start_local_site "$bin" "$work"
site=$LOCAL_SITE

mkdir -p "$corpus"/{result_page,next_page_link,euc_to_ansi,strip_tags,split_text,city_page,sub_category_page}
fetch() { curl -sf "$site$1" -o "$2"; }

n=0
for pair in 01101110 01101120 13101110 13104950 27128110 31201950 47201110; do
  n=$((n + 1))
  { printf '1,札幌市中央区,01101,110,一般内科\n'; curl -sf "$site/doko/kekka.php/$pair/"; } \
    >"$corpus/result_page/page$n" || true
done
# Two of the pages with a pager, as pages only, for the next-link finder.
for n in 1 3; do tail -n +2 "$corpus/result_page/page$n" >"$corpus/next_page_link/page$n"; done
for pref in 1 13 31 47; do fetch "/doko/city.php?pref_no=$pref" "$corpus/city_page/pref$pref"; done
fetch "/doko/kamoku.php?pref_no=01&city_no=27" "$corpus/sub_category_page/kamoku"

# Single lines for the text routines: a few of every kind the pages hold.
i=0
grep -a -h -E 'h1>|<a |<ad|<dd|results_number|<li' "$corpus/result_page/page1" "$corpus/city_page/pref1" |
  head -n 40 | while IFS= read -r line; do
    i=$((i + 1))
    printf '%s' "$line" >"$corpus/euc_to_ansi/line$i"
    printf '%s' "$line" >"$corpus/strip_tags/line$i"
    printf '\001/%s' "$line" >"$corpus/split_text/line$i"
  done
printf '\001,1,札幌市中央区,01101,110,一般内科' >"$corpus/split_text/plan_entry"
echo "corpus written to $corpus"
