# The window case: the window at 144 dpi (150 %).
D=$(make_folder dpi)
trap 'wine reg delete "HKCU\\Control Panel\\Desktop" /v LogPixels /f >/dev/null 2>&1 || true; cleanup' EXIT
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
run_window "$D" "wait-config
dump
close"
wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1
L=$D/log.txt
check "client area scaled to 474 x 455 (lengths rounded)" has "$L" "client|474|455"
check "controls scaled" in_order "$L" "control|lstCtgr||12,42,218,246|visible|enabled" \
  "control|btnAction|取得開始 (&R)|12,303,218,48|visible|enabled"
