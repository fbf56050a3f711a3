# The window case: Alt-key repaint.
D=$(make_folder altfix)
run_window "$D" "wait-config
uistate
dump
close"
L=$D/log.txt
if grep -q '^altfix-active|1' "$L"; then
  check "after the UI-state change the window is repainted once" test "$(count "$L" altfix-repaint)" = 1
else
  check "without themes the fix stays inert" lacks "$L" "^altfix-repaint"
fi
