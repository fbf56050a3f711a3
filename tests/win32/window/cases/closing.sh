# The window case: closing during a run.
site
D=$(make_folder closing)
run_window "$D" "wait-config
$(start_run "$D/out.csv")
answer no
close
answer yes
close"
L=$D/log.txt
check "the close question, No then Yes" test "$(count "$L" 'box|0x40024|終了確認|取得処理の実行中ですが終了しますか？|owned')" = 2
check "the program ends with 0 once the worker has stopped, without an end message" \
  bash -c "[ \"\$(cat '$D/exit')\" = 0 ] && ! grep -q '^box|0x40124' '$L'"
check "the ticks were saved" bash -c "tr -d '\r' <'$D/db/hpt.ini' | grep -qx 'Category=0000010000'"
