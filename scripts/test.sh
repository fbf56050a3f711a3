#!/usr/bin/env bash
# Builds the release preset and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset release
cmake --build --preset release -j "$(nproc)"
ctest --preset release -j "$(nproc)"
