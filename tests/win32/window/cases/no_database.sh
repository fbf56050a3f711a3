# The window case: configuration error without a database.
D=$(make_folder nodb nodb)
run_window "$D" "wait-config"
L=$D/log.txt
check "the configuration box, naming the missing file" has "$L" \
  "box|0x40040|設定エラー|DBファイルの設定が正しくありません。\\n管理者に確認してください。\\n$(win "$D/db/hpt_data.db")（ファイルがありません）|owned"
check "the program ends with exit code 0" test "$(cat "$D/exit")" = 0
check "no settings file written" test ! -e "$D/db/hpt.ini"
