# The window case: a run the site broke off, resumed at the next start.
site --fail-after 30
D=$(make_folder resume)
# Not at the site's pace: the whole_run case watches that.
export VALMERIC_TEST_PAUSE_MS=10
run_window "$D" "wait-config
$(start_run "$D/out.csv")
wait-idle
close"
L=$D/log.txt
check "the run ends with the site unreachable" grep -q "^box|0x40040|Error|サイトへのアクセスができませんでした。" "$L"
site
command_line_run "$WORK/linux.csv"
run_window "$D" "answer yes
answer yes
wait-config
wait-running
dump
wait-idle
close"
L=$D/log.txt
check "the next start asks to resume, naming the file and the pages done" bash -c \
  "grep -F 'box|0x40024|再開確認|前回の取得は途中で終了しています。続きから再開しますか？\\n' '$L' | grep -q 'out.csv\\\\n60 ページ中 [0-9]* ページ処理済み|owned\$'"
check "the run's ticks are restored" has "$L" "model|0000010000|00000000000000010000000000000000000000000000000|0|0"
check "the resumed CSV is the command line's whole run, byte for byte" cmp "$D/out.csv" "$WORK/linux.csv"
N=$(($(wc -l <"$WORK/linux.csv") - 1))
check "the end: the open question, with the whole file's count" has "$L" \
  "box|0x40124|処理確認|事業所情報の取得が完了しました。\n$N 件を保存しました（$(win "$D/out.csv")）\n保存したファイルを開きますか？|owned"
# Wine has no program for CSV files: Yes to the open question meets none.
check "no program to open the CSV: a box says so, naming the file" has "$L" \
  "box|0x40040|Error|ファイルを開くプログラムが見つかりませんでした。\n$(win "$D/out.csv")|owned"
