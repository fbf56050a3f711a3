# Sourced by the build and test scripts: the configure-build-test sequence
# they share, each step on every core.

# build_preset PRESET [TARGET...]: configures PRESET and builds it, only the
# named targets when there are any.
build_preset() {
  local preset=$1
  shift
  cmake --preset "$preset" >/dev/null
  if [ $# -gt 0 ]; then
    cmake --build --preset "$preset" -j "$(nproc)" --target "$@"
  else
    cmake --build --preset "$preset" -j "$(nproc)"
  fi
}

# test_preset PRESET [CTEST-ARG...]: runs PRESET's tests.
test_preset() {
  local preset=$1
  shift
  ctest --preset "$preset" -j "$(nproc)" "$@"
}
