#!/usr/bin/env bash
# Builds and runs the tests under AddressSanitizer+UBSan and ThreadSanitizer.
# Any sanitizer report fails the run. Each builds only what its tests run.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/preset.sh
build_preset asan valmeric_test_programs
test_preset asan
build_preset tsan valmeric_test_programs
# Under ThreadSanitizer the taskbar tests, which talk to a real session bus
# through the uninstrumented D-Bus libraries, are left out: see
# docs/reliability.md.
test_preset tsan -E '^TaskbarTest\.'
