#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for SECONDS (default 30) from the
# committed seed corpus, as many at once as there are cores. A crash, leak or
# sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/preset.sh
seconds=${1:-30}
build_preset fuzz
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# fuzz_one TARGET: runs it, then prints its summary or, when it failed, its log.
fuzz_one() {
  local target=$1 name
  name=$(basename "$target")
  local seeds="tests/fuzz/corpus/${name#fuzz_}"
  mkdir -p "$work/$name"
  [ -d "$seeds" ] && cp -r "$seeds/." "$work/$name/"
  if ! "$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$work/$name-" -print_final_stats=1 "$work/$name" 2>"$work/$name.log"; then
    tail -n 60 "$work/$name.log"
    echo "fuzzing $name failed"
    return 1
  fi
  echo "== $name for ${seconds}s: $(grep -E '^stat::number_of_executed_units|^Done' "$work/$name.log" |
    tr '\n' ' ')"
}

failed=0
running=0
for target in build/fuzz/bin/fuzz_*; do
  if [ "$running" -ge "$(nproc)" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
  fuzz_one "$target" &
  running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
exit "$failed"
