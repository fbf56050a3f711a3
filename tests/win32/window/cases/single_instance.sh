# The window case: single instance.
D=$(make_folder first)
started_window "$D" "wait-config
wait-file $(win "$D/release")
close"
wait_for_line "$D/log.txt" '^done|wait-config'
second_start=$(date +%s%N)
code=0
timeout 60 wine "$D/valmeric.exe" || code=$?
second_ms=$(( ($(date +%s%N) - second_start) / 1000000 ))
check "a second start ends with exit code 1 (in ${second_ms} ms)" test "$code" = 1
touch "$D/release"
wait "$WINDOW_PID" || true
check "the first one is unaffected and ends with 0" test "$(cat "$D/exit")" = 0
check "the first one went on to the end of its script" has "$D/log.txt" "script-end"
