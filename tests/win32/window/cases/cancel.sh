# The window case: cancelling a run.
site
D=$(make_folder cancel)
run_window "$D" "wait-config
$(start_run "$D/out.csv")
answer no
click btnCancel
answer yes
click btnCancel
wait-idle
dump
close"
L=$D/log.txt
check "the cancel question, twice" test "$(count "$L" 'box|0x40024|中断確認|取得処理を中断します。\nよろしいですか？|owned')" = 2
check "after Yes: idle, no end message, state 2" bash -c "grep -qx 'state|2' '$L' && ! grep -q '^box|0x40124' '$L'"
check "the taskbar progress cleared" has "$L" "taskbar-state|0"
check "the status line says the run was cancelled" grep -q "^control|lblStatus|中断しました。" "$L"
