# The window case: size, captions, layout, tab order.
D=$(make_folder layout)
launched=$(date +%s%N)
started_window "$D" "wait-config
dump
focus chkCtgr
tab
dump
tab
dump
tab
dump
tab
dump
tab
dump
close"
wait_for_line "$D/log.txt" '^shown-ms|'
shown_wall_ms=$(( ($(date +%s%N) - launched) / 1000000 ))
wait "$WINDOW_PID" || true
L=$D/log.txt
check "client area 316 x 303" has "$L" "client|316|303"
check "title Valmeric" has "$L" "title|Valmeric"
check "category all box" has "$L" "control|chkCtgr| 診療科目の選択 : |11,8,119,17|visible|enabled"
check "category list" has "$L" "control|lstCtgr||8,28,145,164|visible|enabled"
check "prefecture all box" has "$L" "control|chkArea| 都道府県の選択 : |165,8,119,17|visible|enabled"
check "prefecture list" has "$L" "control|lstArea||162,28,145,244|visible|enabled"
check "start button" has "$L" "control|btnAction|取得開始 (&R)|8,202,145,32|visible|enabled"
check "cancel button, disabled" has "$L" "control|btnCancel|キャンセル (&C)|8,236,145,32|visible|disabled"
check "progress bar along the bottom" has "$L" "control|prgBar||0,288,316,15|visible|enabled"
check "builder buttons hidden and disabled" in_order "$L" "control|btnArea|地域|238,-10,30,20|hidden|disabled" \
  "control|btnCtgr|科目|269,-10,30,20|hidden|disabled"
check "status label: two ideographic spaces, right edge at 304" \
  bash -c "grep -q '^control|lblStatus|　　|[0-9]*,275,' '$L' && awk -F'|' '\$2==\"lblStatus\"{split(\$4,r,\",\"); exit !(r[1]+r[3]==304)}' '$L'"
check "10 categories and 47 prefectures, none ticked" has "$L" \
  "model|0000000000|00000000000000000000000000000000000000000000000|0|0"
check "tab order chkCtgr, lstCtgr, chkArea, lstArea, btnAction, back to chkCtgr" in_order "$L" \
  "focus|lstCtgr" "focus|chkArea" "focus|lstArea" "focus|btnAction" "focus|chkCtgr"
check "exit code 0 after closing" test "$(cat "$D/exit")" = 0
echo "start to window shown: ${shown_wall_ms} ms from launching wine," \
  "$(sed -n 's/^shown-ms|//p' "$L") ms inside the process"
