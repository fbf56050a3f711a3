# The window case: screenshots of the window for the office guide, into
# SCREENSHOTS (docs/screenshots takes them from there): windows-idle.png,
# windows-running.png, windows-end-question.png and
# windows-resume-question.png.
SHOTS=${SCREENSHOTS:-$WORK/screenshots}
mkdir -p "$SHOTS"
# shot DIR SCRIPT PATTERN PNG SIZE: runs the script on a Wine desktop of
# SIZE, and once the log has a line matching PATTERN takes the desktop; the
# script goes on when DIR/taken appears.
shot() {
  local dir=$1
  printf '%s\n' "$2" >"$dir/script.txt"
  rm -f "$dir/log.txt" "$dir/taken"
  VALMERIC_TEST_SCRIPT=$(win "$dir/script.txt") VALMERIC_TEST_LOG=$(win "$dir/log.txt") \
    timeout 180 wine explorer /desktop=Valmeric,"$5" "$dir/valmeric-wintest.exe" &
  local pid=$!
  rm -f "$4"
  if wait_for_line "$dir/log.txt" "$3"; then
    sleep 1  # the last paint
    import -window root -crop "$5+0+0" +repage "$4"
  fi
  touch "$dir/taken"
  wait "$pid" || true
  check "screenshot $(basename "$4")" test -s "$4"
}
# Under a Japanese locale, as the office's Windows: the system boxes say
# はい and いいえ. The run's file goes where the save dialog opens, the
# Documents of the user scripts/wine_env.sh names, left without an earlier
# case's lists (the end question names the copy it keeps of the last one).
localedef -i ja_JP -f UTF-8 "$WORK/ja_JP.UTF-8" 2>/dev/null || true
export LOCPATH=$WORK LANG=ja_JP.UTF-8
documents=$WINEPREFIX/drive_c/users/$USER/Documents
rm -f "$documents"/病院施設一覧*.csv
D=$(make_folder shot)
shot "$D" "wait-config
tick lstCtgr 0
tick lstCtgr 2
tick lstArea 12
tick lstArea 13
focus btnAction
wait-file $(win "$D/taken")
close" '^done|focus' "$SHOTS/windows-idle.png" 340x340

site
# A run at the site's pace, closed half-way: the next start offers to resume it.
D=$(make_folder shot-run)
shot "$D" "wait-config
tick lstCtgr 5
tick lstArea 15
save $(win "$documents/病院施設一覧.csv")
click btnAction
wait-running
wait-file $(win "$D/taken")
answer yes
close" '^done|wait-running' "$SHOTS/windows-running.png" 340x340
# The question comes with the configuration check, before it is done.
shot "$D" "answer system
wait-box
wait-file $(win "$D/taken")
dismiss-box no
wait-config
close" '^done|wait-box' "$SHOTS/windows-resume-question.png" 560x400
# The end question needs a whole run, not at the site's pace.
export VALMERIC_TEST_PAUSE_MS=10
D=$(make_folder shot-end)
shot "$D" "wait-config
tick lstCtgr 5
tick lstArea 15
save $(win "$documents/病院施設一覧.csv")
answer system
click btnAction
wait-running
wait-box
wait-file $(win "$D/taken")
dismiss-box no
wait-idle
close" '^done|wait-box' "$SHOTS/windows-end-question.png" 560x400
rm -f "$documents/病院施設一覧.csv"
