# Sourced by the scripts that run the Windows program under Wine.
# prepare_wine [PREFIX]: a Wine prefix of our own (build/wine/prefix unless
# given), made once, with the IPA Gothic fonts standing in for the Japanese
# Windows fonts the window asks for. Sets WINEPREFIX, WINEDEBUG and
# WINEDLLOVERRIDES (no Mono or Gecko download prompts).
prepare_wine() {
  export WINEPREFIX=${1:-$PWD/build/wine/prefix}
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$WINEPREFIX/.valmeric-fonts" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
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
    wineserver -w
    rm -f "$reg"
    touch "$WINEPREFIX/.valmeric-fonts"
  fi
}
