# The window case: a whole run from a folder of Japanese names, one of them outside CP932.
site
command_line_run "$WORK/linux.csv"
D=$(make_folder "ユーザー/田中太郎/𠮷田")
mkdir -p "$D/データ"
# Not at the site's pace: the whole_run case watches that.
VALMERIC_TEST_PAUSE_MS=10 run_window "$D" "wait-config
tick lstCtgr 5
tick lstArea 15
save $(win "$D/データ/皮膚科")
answer no
click btnAction
wait-running
wait-idle
close"
L=$D/log.txt
check "the window ran there and ended with exit code 0" bash -c "grep -qx 'script-end' '$L' && [ \"\$(cat '$D/exit')\" = 0 ]"
check "the CSV is the command line's, byte for byte" cmp "$D/データ/皮膚科.csv" "$WORK/linux.csv"
check "the ticks went to db\\hpt.ini there" bash -c "tr -d '\r' <'$D/db/hpt.ini' | grep -qx 'Category=0000010000'"
check "no error box" lacks "$L" "^box|0x40040|Error|"
