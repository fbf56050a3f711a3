#!/usr/bin/env bash
# Builds and runs the tests under AddressSanitizer+UBSan and ThreadSanitizer.
# Any sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/preset.sh
build_preset asan
test_preset asan
build_preset tsan
# Under ThreadSanitizer the taskbar tests, which talk to a real session bus
# through the uninstrumented D-Bus libraries, are left out: see
# docs/reliability.md.
test_preset tsan -E '^TaskbarTest\.'
