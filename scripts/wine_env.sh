# Sourced by the scripts that run the Windows build under Wine. Sets a Wine
# prefix of the build tree's own (made on first use) and keeps Wine quiet.
export WINEPREFIX="${WINEPREFIX:-$PWD/build/windows/wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"  # no Mono or Gecko install prompts

prepare_wine() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot --init >/dev/null 2>&1
    wineserver --wait
  fi
}
