# The window case: selection lists by mouse and keyboard.
D=$(make_folder selection)
run_window "$D" "wait-config
tick lstCtgr 3
space lstCtgr 4
dump
click chkCtgr
dump
tick lstCtgr 7
dump
tick lstCtgr 7
dump
click chkArea
click chkArea
dump
close"
L=$D/log.txt
check "a click on a row's box and the space key tick" has "$L" "ticks|lstCtgr|0001100000|4"
check "the all box ticks every item" has "$L" "model|1111111111|00000000000000000000000000000000000000000000000|1|0"
check "unticking one unchecks the all box, the others stay" has "$L" \
  "model|1111111011|00000000000000000000000000000000000000000000000|0|0"
check "ticking the last one checks the all box" in_order "$L" \
  "model|1111111011|00000000000000000000000000000000000000000000000|0|0" \
  "model|1111111111|00000000000000000000000000000000000000000000000|1|0"
check "unchecking the all box clears every tick" has "$L" "ticks|lstArea|00000000000000000000000000000000000000000000000|0"
