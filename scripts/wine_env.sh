# Sourced by the scripts that run the Windows build under Wine. Sets a Wine
# prefix of the build tree's own (made on first use) and keeps Wine quiet.
export WINEPREFIX="${WINEPREFIX:-$PWD/build/windows/wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"  # no Mono or Gecko install prompts

# prepare_wine [PREFIX]: makes the prefix on first use; PREFIX, when given,
# becomes WINEPREFIX.
prepare_wine() {
  if [ -n "${1:-}" ]; then export WINEPREFIX=$1; fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot --init >/dev/null 2>&1
    wineserver --wait
  fi
}

# prepare_japanese_fonts: the IPA Gothic fonts stand in for the Japanese
# Windows fonts the window asks for (ＭＳ Ｐゴシック), once per prefix.
prepare_japanese_fonts() {
  [ ! -f "$WINEPREFIX/.valmeric-fonts" ] || return 0
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  mkdir -p "$fonts"
  cp /usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf /usr/share/fonts/opentype/ipafont-gothic/ipag.ttf "$fonts/"
  local reg
  reg=$(mktemp --suffix=.reg)
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    printf '"ＭＳ Ｐゴシック"="IPAPGothic"\r\n"MS PGothic"="IPAPGothic"\r\n'
    printf '"ＭＳ ゴシック"="IPAGothic"\r\n"MS Gothic"="IPAGothic"\r\n"MS UI Gothic"="IPAPGothic"\r\n'
    printf '\r\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n'
    printf '"MS Shell Dlg"="IPAPGothic"\r\n"MS Shell Dlg 2"="IPAPGothic"\r\n'
  } | iconv -f UTF-8 -t UTF-16 >"$reg"
  wine regedit /S "$(winepath -w "$reg")" >/dev/null 2>&1
  wineserver --wait
  rm -f "$reg"
  touch "$WINEPREFIX/.valmeric-fonts"
}
