# Sourced by the test scripts that count named checks: check runs a command
# and counts it as passed or failed; tally prints the two counts and fails
# when a check did.
PASSED=0
FAILED=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then
    PASSED=$((PASSED + 1))
    echo "ok   $what"
  else
    FAILED=$((FAILED + 1))
    echo "FAIL $what"
  fi
}
tally() {
  echo "$PASSED passed, $FAILED failed"
  [ "$FAILED" = 0 ]
}

# Checks on a log file, one line a record.
has() { grep -qxF -- "$2" "$1"; }            # the log has exactly this line
lacks() { ! grep -q -- "$2" "$1"; }          # no line of the log matches
count() { grep -cxF -- "$2" "$1" || true; }  # how many lines are exactly this
in_order() {                                 # these lines come in this order (others between)
  local log=$1
  shift
  printf '%s\n' "$@" | awk 'BEGIN { i = 0 } NR == FNR { want[n++] = $0; next } i < n && $0 == want[i] { i++ } END { exit i < n }' - "$log"
}
