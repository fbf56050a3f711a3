# The window case: a whole run against the local site.
site
D=$(make_folder run)
run_window "$D" "wait-config
tick lstCtgr 5
tick lstArea 15
save $(win "$D/out")
answer no
alt r
wait-running
wait-idle
dump
save-cancel
click btnAction
close"
L=$D/log.txt
command_line_run "$WORK/linux.csv"
check "the save dialog: title, the two file types, proposed name, opened in Documents" bash -c \
  "grep '^save|' '$L' | head -1 | grep -qx 'save|取得情報の保存先を指定してください|CSVファイル (\*.csv);Excel ブック (\*.xlsx)|病院施設一覧.csv|[A-Z]:\\\\users\\\\.*\\\\Documents'"
check "the next save dialog opens where the last file went" bash -c \
  "grep '^save|' '$L' | sed -n 2p | grep -qxF 'save|取得情報の保存先を指定してください|CSVファイル (*.csv);Excel ブック (*.xlsx)|病院施設一覧.csv|$(win "$D")'"
check "the CSV got its .csv and is the command line's, byte for byte" cmp "$D/out.csv" "$WORK/linux.csv"
# Facilities in the file: its lines after the header.
N=$(($(wc -l <"$WORK/linux.csv") - 1))
check "the end: the open question with No as default, the count and the full path" has "$L" \
  "box|0x40124|処理確認|事業所情報の取得が完了しました。\\n$N 件を保存しました（$(win "$D/out.csv")）\\n保存したファイルを開きますか？|owned"
check "taskbar: a value per entry, 1 to 60 of 60, then flashing, then no progress" in_order "$L" \
  $(for i in $(seq 1 60); do echo "taskbar-value|$i|60"; done) "flash" "taskbar-state|0"
check "no other taskbar value" test "$(grep -c '^taskbar-value|' "$L" || true)" = 60
check "idle again: the status line keeps what was saved, its right edge at 304" bash -c \
  "grep -F 'control|lblStatus|$N 件を保存しました（out.csv）|' '$L' | awk -F'|' '{split(\$4,r,\",\"); ok=(r[1]+r[3]==304)} END{exit !ok}'"
check "idle again: bar at 0, start enabled, cancel disabled" in_order "$L" \
  "control|btnAction|取得開始 (&R)|8,202,145,32|visible|enabled" "control|btnCancel|キャンセル (&C)|8,236,145,32|visible|disabled" \
  "progress|0|60"
check "no unexpected question or dialog" lacks "$L" "^unexpected"
