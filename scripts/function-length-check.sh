#!/usr/bin/env bash
# Fails when a function under src/ is longer than 60 lines, as pmccabe counts
# them (its fifth column: the lines of the function).
set -euo pipefail
cd "$(dirname "$0")/.."
limit=60
mapfile -t files < <(git ls-files 'src/*.cpp' 'src/*.h')
long=$(pmccabe "${files[@]}" 2>/dev/null | awk -v limit="$limit" '$5 > limit')
if [ -n "$long" ]; then
  echo "function-length-check: functions over $limit lines (complexity, statements, first line, lines, place):"
  echo "$long"
  exit 1
fi
echo "function-length-check: no function in src over $limit lines"
