#!/usr/bin/env bash
# Builds and runs the tests under AddressSanitizer+UBSan and ThreadSanitizer.
# Any sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in asan tsan; do
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j "$(nproc)"
  ctest --preset "$preset" -j "$(nproc)"
done
