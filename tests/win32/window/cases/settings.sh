# The window case: settings file round trip (db\hpt.ini, read and written as the profile functions do).
D=$(make_folder settings)
run_window "$D" "wait-config
tick lstCtgr 2
space lstArea 12
close"
check "ticks written on close" bash -c "tr -d '\r' <'$D/db/hpt.ini' | grep -qx 'Category=0010000000' &&
  tr -d '\r' <'$D/db/hpt.ini' | grep -qx 'Area=00000000000010000000000000000000000000000000000'"
run_window "$D" "wait-config
dump
close"
L=$D/log.txt
check "ticks and highlighted rows restored" in_order "$L" "ticks|lstCtgr|0010000000|2" \
  "ticks|lstArea|00000000000010000000000000000000000000000000000|12"
printf '[Config]\r\nCategory=1111111111\r\nArea=1x1%s\r\n' "$(printf '1%.0s' $(seq 1 50))" >"$D/db/hpt.ini"
run_window "$D" "wait-config
dump
close"
L=$D/log.txt
check "ten 1s check the all box; other characters tick nothing" has "$L" \
  "model|1111111111|10111111111111111111111111111111111111111111111|1|0"
check "the normalised form is written back" bash -c "tr -d '\r' <'$D/db/hpt.ini' | grep -qx 'Area=10111111111111111111111111111111111111111111111'"
