# Sourced by case.sh: the steps the window's cases are made of. The test
# build valmeric-wintest.exe reads its script from VALMERIC_TEST_SCRIPT and
# logs what the window did into VALMERIC_TEST_LOG (tests/win32/test_driver.h).

win() { winepath -w "$1"; }

# A program folder of its own for each case: the test build, valmeric.exe and db\.
make_folder() {  # make_folder NAME [nodb]
  local dir=$WORK/$1
  mkdir -p "$dir/db"
  cp "$WIN_BIN/valmeric-wintest.exe" "$WIN_BIN/valmeric.exe" "$dir/"
  [ "${2:-}" = nodb ] || cp "$WIN_BIN/db/hpt_data.db" "$dir/db/"
  echo "$dir"
}

# run_window DIR SCRIPT: runs the test build on the script (text) and waits;
# the log is DIR/log.txt, the exit code DIR/exit.
run_window() {
  local dir=$1
  printf '%s\n' "$2" >"$dir/script.txt"
  rm -f "$dir/log.txt"
  local code=0
  VALMERIC_TEST_SCRIPT=$(win "$dir/script.txt") VALMERIC_TEST_LOG=$(win "$dir/log.txt") \
    timeout 180 wine "$dir/valmeric-wintest.exe" || code=$?
  echo "$code" >"$dir/exit"
}
started_window() {  # like run_window, in the background; WINDOW_PID
  run_window "$@" &
  WINDOW_PID=$!
}
wait_for_line() {  # wait_for_line LOG PATTERN: up to 60 s
  for _ in $(seq 1 600); do
    grep -q -- "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

# site [SITESIM OPTIONS...]: the local directory site, for the window too.
site() {
  stop_local_site
  start_local_site "$HOST_BIN" "$WORK" "$@"
  export VALMERIC_SITE_ORIGIN=$LOCAL_SITE
}

# The run the cases make: 皮膚科系 (6) in 富山県 (16), 15 cities x 4
# sub-categories, 60 pages.
#
# start_run FILE: the window script's lines that tick it, choose FILE and
# start it, then wait until it runs.
start_run() {
  printf '%s\n' "tick lstCtgr 5" "tick lstArea 15" "save $(win "$1")" "click btnAction" "wait-running"
}
# command_line_run FILE: the same run by the Linux command line, into FILE.
command_line_run() {
  cp "$HOST_BIN/db/hpt_data.db" "$WORK/command-line.db"
  "$HOST_BIN/valmeric-cli" collect --category 6 --prefecture 16 --output "$1" \
    --db "$WORK/command-line.db" --site-origin "$LOCAL_SITE" --pause-ms 0 --quiet
}
