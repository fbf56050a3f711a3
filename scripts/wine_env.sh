# Sourced by the scripts that run the Windows build under Wine. Sets a Wine
# prefix of the build tree's own (made on first use) and its user, and keeps
# Wine quiet.
export WINEPREFIX="${WINEPREFIX:-$PWD/build/windows/wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko install prompts; no menu entries or desktop files on the
# host for the shortcuts an installer makes (winemenubuilder).
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}"

# Wine names the user (USERNAME, the profile C:\users\NAME) after the Unix
# variable USER, taken when a prefix's Wine server starts its session, and
# else after the login name. The tests run as root; the user of the guide's
# pictures (the resume question names a file in the profile) has an
# ordinary name.
export USER=taro

# prepare_wine [PREFIX]: makes the prefix on first use; PREFIX, when given,
# becomes WINEPREFIX.
prepare_wine() {
  if [ -n "${1:-}" ]; then export WINEPREFIX=$1; fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot --init >/dev/null 2>&1
    wineserver --wait
  elif [ ! -d "$WINEPREFIX/drive_c/users/$USER/Documents" ]; then
    # A prefix made under another name: Wine makes a new user's profile
    # folders (Documents, where the save dialog opens) only when updating.
    wineboot --update >/dev/null 2>&1
    wineserver --wait
  fi
  keep_profile_inside
  prepare_symbol_font
}

# keep_profile_inside: the user's folders are the prefix's own. Wine links
# Documents, Desktop and the like to the host's home, where the files a run
# leaves (a CSV, the copy kept beside it, a shortcut) would meet every later
# run and every other prefix.
keep_profile_inside() {
  local profile="$WINEPREFIX/drive_c/users/$USER" link
  for link in "$profile"/* "$profile/AppData/Roaming/Microsoft/Windows/Templates"; do
    if [ -L "$link" ]; then
      rm "$link"
      mkdir "$link"
    fi
  done
}

# prepare_symbol_font: Marlett, the font Windows draws the title bar's
# buttons with (minimize, maximize, close; the message boxes' close too).
# This Wine does not load it from its own fonts folder (fonts-wine), and
# without it the buttons show the letters "0 1 r": the prefix's Fonts folder
# gets a copy, which Wine reads at each start.
prepare_symbol_font() {
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  [ ! -f "$fonts/marlett.ttf" ] || return 0
  mkdir -p "$fonts"
  cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
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
