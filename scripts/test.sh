#!/usr/bin/env bash
# Builds the release preset and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/preset.sh
build_preset release
test_preset release
