# The window case: the workbook's file type in the save dialog. The run goes
# into the CSV of that name, the workbook comes at its end with the CSV's
# cells (read back by openpyxl), and the end question names it.
site
export VALMERIC_TEST_PAUSE_MS=10
D=$(make_folder workbook)
run_window "$D" "wait-config
tick lstCtgr 5
tick lstArea 15
save-xlsx $(win "$D/一覧.xlsx")
answer no
click btnAction
wait-running
wait-idle
close"
L=$D/log.txt
command_line_run "$WORK/linux.csv"
check "the CSV of the workbook's name is the command line's, byte for byte" cmp "$D/一覧.csv" "$WORK/linux.csv"
check "the end question names the workbook" grep -qF "Excel ブックを書き出しました: $(win "$D/一覧.xlsx")" "$L"
check "every cell of the workbook is the CSV's" /usr/bin/python3 tests/e2e/check_workbook.py "$D/一覧.csv" "$D/一覧.xlsx"
