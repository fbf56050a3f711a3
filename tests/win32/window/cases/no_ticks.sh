# The window case: starting without ticks.
D=$(make_folder empty)
run_window "$D" "wait-config
click btnAction
tick lstCtgr 0
click btnAction
close"
L=$D/log.txt
check "no category, then no prefecture" in_order "$L" \
  "box|0x40040|Error|診療科目は１つ以上を選択してください。|owned" \
  "box|0x40040|Error|都道府県は１つ以上を選択してください。|owned"
check "no save dialog" lacks "$L" "^save|"
