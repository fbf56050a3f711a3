#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for SECONDS (default 30) from the
# committed seed corpus. A crash, leak or sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in build/fuzz/bin/fuzz_*; do
  name=$(basename "$target")
  seeds="tests/fuzz/corpus/${name#fuzz_}"
  mkdir -p "$work/$name"
  [ -d "$seeds" ] && cp -r "$seeds/." "$work/$name/"
  echo "== $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$work/$name-" -print_final_stats=1 "$work/$name" 2>"$work/$name.log" || {
    tail -n 60 "$work/$name.log"
    echo "fuzzing $name failed"
    exit 1
  }
  grep -E '^stat::number_of_executed_units|^Done' "$work/$name.log" | tr '\n' ' '
  echo
done
