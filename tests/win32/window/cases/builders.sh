# The window case: the table builders let the window's messages through.
# Each page a tenth of a second late: the builders run long enough to be seen.
site --latency-ms 100
D=$(make_folder builders)
run_window "$D" "wait-config
press btnCtgr
wait-rebuilding
dump
wait-rebuilt
press btnArea
wait-rebuilding
wait-text lblStatus 県コード：2 取得中
close
dump
wait-rebuilt
dump
close"
L=$D/log.txt
check "while the sub-category builder runs, the script goes on from the message loop" in_order "$L" \
  "done|press" "done|wait-rebuilding" "rebuilding|1" "done|wait-rebuilt"
check "while the city builder runs, the status label shows each prefecture" in_order "$L" \
  "done|wait-text" "rebuilding|1" "done|wait-rebuilt"
check "a close while the city builder runs leaves the window as it is" in_order "$L" \
  "done|close" "rebuilding|1" "done|dump" "done|wait-rebuilt"
check "each builder ends with its box" test "$(count "$L" 'box|0x0|Valmeric|終了|owned')" = 2
check "afterwards the status label reads the last prefecture" grep -q "^control|lblStatus|県コード：47 取得中|" "$L"
check "no error box" lacks "$L" "^box|0x10|"
