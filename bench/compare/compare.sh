#!/usr/bin/env bash
# Side by side: the same records from the same result pages, read by our reader
# and by BeautifulSoup (html.parser and lxml). Prints a Markdown table.
# Usage: bench/compare/compare.sh [PAGES]   (default 300; needs a release build)
set -euo pipefail
cd "$(dirname "$0")/../.."
pages=${1:-300}
bin=build/release/bin
work=$(mktemp -d)
source scripts/local_site.sh
trap 'stop_local_site; rm -rf "$work"' EXIT
start_local_site "$bin" "$work"
site=$LOCAL_SITE

# The result pages of the first cities of Tokyo, Osaka and Hokkaido crossed with
# the first sub-categories, as a run would ask for them.
mkdir -p "$work/pages"
awk -F'\t' '$1==13 || $1==27 || $1==1 {printf "%02d%03d\n", $1, $2}' data/cities.tsv >"$work/areas"
awk -F'\t' '$1<=3 {print $2}' data/subcategories.tsv >"$work/subs"
n=0
while read -r area && [ "$n" -lt "$pages" ]; do
  while read -r sub && [ "$n" -lt "$pages" ]; do
    n=$((n + 1))
    curl -sf "$site/doko/kekka.php/$area$sub/" -o "$work/pages/$(printf '%05d' "$n")"
  done <"$work/subs"
done <"$work/areas"

measure() {  # name, command...: runs it, keeps stdout, reads pages/seconds/peak from stderr
  local name=$1
  shift
  "$@" >"$work/$name.tsv" 2>"$work/$name.err"
  sed -n 's/.*pages=\([0-9]*\) seconds=\([0-9.e-]*\) peak_rss_kib=\([0-9]*\).*/\1 \2 \3/p' "$work/$name.err"
}
read -r p_ours s_ours m_ours < <(measure ours "$bin/valmeric-extract-pages" "$work/pages")
read -r p_hp s_hp m_hp < <(measure html_parser /usr/bin/python3 bench/compare/bs4_reader.py html.parser "$work/pages")
read -r p_lx s_lx m_lx < <(measure lxml /usr/bin/python3 bench/compare/bs4_reader.py lxml "$work/pages")

records=$(wc -l <"$work/ours.tsv")
same() { if cmp -s "$work/ours.tsv" "$work/$1.tsv"; then echo "yes"; else echo "NO"; fi; }
rate() { awk -v p="$1" -v s="$2" 'BEGIN { printf "%.0f", p / s }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a / b }'; }
r_ours=$(rate "$p_ours" "$s_ours")
r_hp=$(rate "$p_hp" "$s_hp")
r_lx=$(rate "$p_lx" "$s_lx")
echo "pages: $p_ours, records: $records"
echo
echo "| reader | pages/s | ours is faster by | peak RSS (MiB) | same records |"
echo "|---|---:|---:|---:|---|"
echo "| valmeric (C++) | $r_ours | 1.0x | $(ratio "$m_ours" 1024) | - |"
echo "| BeautifulSoup + html.parser | $r_hp | $(ratio "$r_ours" "$r_hp")x | $(ratio "$m_hp" 1024) | $(same html_parser) |"
echo "| BeautifulSoup + lxml | $r_lx | $(ratio "$r_ours" "$r_lx")x | $(ratio "$m_lx" 1024) | $(same lxml) |"
for name in html_parser lxml; do
  if ! cmp -s "$work/ours.tsv" "$work/$name.tsv"; then
    echo
    echo "records differ ($name):"
    diff "$work/ours.tsv" "$work/$name.tsv" | head -n 20
  fi
done
