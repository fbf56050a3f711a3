#!/usr/bin/env bash
# The installer under Wine: its pages and the uninstaller's in Japanese, a
# silent install for the user with the guide beside the program and its
# Start-menu entries, a start of the installed program, a silent install with
# the comparison's desktop shortcut and two CSV files dropped on it, a silent
# uninstall that leaves only the user's CSV files and none of the shortcuts.
#
#   scripts/windows-installer-check.sh [BUILD_DIR]   (default build/windows)
#
# Needs the targets installer, valmeric-winclose and valmeric-wintexts of the
# windows preset.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ]; then
  exec bash scripts/with-xvfb.sh bash "$0" "$@"
fi
BUILD=$(realpath "${1:-build/windows}")
SETUP=$(ls "$BUILD"/valmeric-*-setup.exe)
CLOSER=$BUILD/bin/valmeric-winclose.exe
TEXTS=$BUILD/bin/valmeric-wintexts.exe
VERSION=$(basename "$SETUP" | sed 's/^valmeric-\(.*\)-setup\.exe$/\1/')
source scripts/wine_env.sh
# A prefix of its own, so that nothing of the window tests is taken for the installer's.
prepare_wine "$BUILD/wine-installer"
prepare_japanese_fonts
trap 'wineserver -k 2>/dev/null || true' EXIT

source scripts/check_tally.sh
reg_has_key() { wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Valmeric' >/dev/null 2>&1; }
reg_lacks_key() { ! reg_has_key; }
shows() { grep -qx -- "$2" <<<"$1"; }  # shows TEXTS LINE: the window showed this (a regex)

# The user's profile under Japanese names, one of them outside CP932, as a
# Japanese user's may be: the shell folders the installer asks for lie there.
PROFILE='C:\users\ユーザー\田中太郎\𠮷田'
PROFILE_UNIX=$WINEPREFIX/drive_c/users/ユーザー/田中太郎/𠮷田
LOCAL=$PROFILE_UNIX/AppData/Local
PROGRAMS=$PROFILE_UNIX/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs
DESKTOP=$PROFILE_UNIX/Desktop
mkdir -p "$LOCAL" "$PROGRAMS" "$DESKTOP"
set_profile_folders() {
  local reg key
  reg=$(mktemp --suffix=.reg)
  {
    printf 'Windows Registry Editor Version 5.00\r\n'
    for key in 'User Shell Folders' 'Shell Folders'; do
      printf '\r\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\%s]\r\n' "$key"
      printf '"%s"="%s"\r\n' \
        "Local AppData" "$PROFILE\AppData\Local" \
        "Desktop" "$PROFILE\Desktop" \
        "AppData" "$PROFILE\AppData\Roaming" \
        "Start Menu" "$PROFILE\AppData\Roaming\Microsoft\Windows\Start Menu" \
        "Programs" "$PROFILE\AppData\Roaming\Microsoft\Windows\Start Menu\Programs" |
        sed 's/\\/\\\\/g'
    done
  } | iconv -f UTF-8 -t UTF-16 >"$reg"
  wine regedit /S "$(winepath -w "$reg")" >/dev/null 2>&1
  wineserver --wait
  rm -f "$reg"
}
set_profile_folders
DIR=$LOCAL/Programs/Valmeric
SECOND='C:\Programs\バルメリック'  # the second install's folder, below
SECOND_UNIX=$WINEPREFIX/drive_c/Programs/バルメリック
# Nothing an earlier check that stopped half-way left.
rm -rf "$DIR" "$SECOND_UNIX" "$PROGRAMS"/Valmeric*.lnk "$DESKTOP"/Valmeric*.lnk

# first_page_texts PROGRAM: starts PROGRAM as a user starts it, prints the
# caption and control texts of its first page and closes it.
first_page_texts() {
  wine "$1" &
  local pid=$!
  wine "$TEXTS" "Valmeric $VERSION" 60 | tr -d '\r' || true
  wait "$pid" || true
  wineserver -w
}

echo "installer: $SETUP ($(stat -c %s "$SETUP") bytes)"
# The installer started as a user starts it: its first page, read and closed.
# An installer in English would read "Valmeric $VERSION Setup", "Cancel".
pages=$(first_page_texts "$SETUP")
# (NSIS's Japanese captions end in a blank.)
check "the installer's caption is Japanese" shows "$pages" "title|Valmeric $VERSION セットアップ *"
check "its buttons are Japanese" shows "$pages" "text|キャンセル"
check "its install button is Japanese" shows "$pages" "text|インストール(&I)"
check "its folder page is Japanese" shows "$pages" "text|参照(&R)\.\.\."
check "closing the first page installs nothing" test ! -e "$DIR/valmeric.exe"

wine "$SETUP" /S
wineserver -w
check "installed into %LOCALAPPDATA%\\Programs\\Valmeric of a Japanese profile" test -f "$DIR/valmeric.exe"
check "the command line beside it" test -f "$DIR/valmeric-cli.exe"
check "db\\hpt_data.db beside it" test -f "$DIR/db/hpt_data.db"
check "an uninstaller" test -f "$DIR/uninstall.exe"
check "the guide beside the program" test -s "$DIR/guide-ja.html"
check "the batch file that compares two CSV files" test -s "$DIR/compare-csv.bat"
check "the guide in the Start menu" test -f "$PROGRAMS/Valmeric 使い方.lnk"
check "a Start-menu entry" test -f "$PROGRAMS/Valmeric.lnk"
check "the program's folder in the Start menu" test -f "$PROGRAMS/Valmeric のフォルダー.lnk"
check "the comparison in the Start menu" test -f "$PROGRAMS/Valmeric 2 つの CSV を比べる.lnk"
check "no desktop shortcut unless asked for" test ! -e "$DESKTOP/Valmeric 2 つの CSV を比べる.lnk"
check "an entry in the user's programs list" reg_has_key

# The installed program, started as the Start-menu entry starts it, shows its
# window; closed while idle it writes its settings into db\ (writable).
wine "$DIR/valmeric.exe" &
PROGRAM=$!
size=$(wine "$CLOSER" 60 | tr -d '\r' || true)
code=0
wait "$PROGRAM" || code=$?
check "the installed program shows its window ($size)" test "$size" = "client 316 303"
check "and ends with exit code 0 when closed" test "$code" = 0
check "db\\ is writable: the settings were saved there" test -f "$DIR/db/hpt.ini"

# The uninstaller started from the programs list: its first page, read and closed.
pages=$(first_page_texts "$DIR/uninstall.exe")
check "the uninstaller's caption is Japanese" shows "$pages" "title|Valmeric $VERSION アンインストール *"
check "its buttons are Japanese" shows "$pages" "text|キャンセル"
check "closing it removes nothing" test -f "$DIR/valmeric.exe"

# A CSV the user saved in the program's folder must survive the uninstall.
printf 'mine\r\n' >"$DIR/mine.csv"
wine "$DIR/uninstall.exe" /S
wineserver -w  # the uninstaller runs on from a copy of itself
check "the uninstall leaves only the user's CSV file" test "$(cd "$DIR" && find . -mindepth 1 | sort | tr '\n' ' ')" = "./mine.csv "
check "the Start-menu entries are gone" test -z "$(find "$PROGRAMS" -name 'Valmeric*')"
check "the programs list entry is gone" reg_lacks_key
rm -rf "$DIR"

# Installed again, silently with the desktop shortcut, by a Japanese
# system (cmd reads the batch file in its code page): two CSV files dropped
# on the shortcut (the shell starts its batch file with their paths) are
# compared by the valmeric-cli.exe beside the batch file, the report beside
# the newer one. Into a folder of CP932 names: this Wine resolves no
# shortcut whose target's path leaves the ANSI code page (Windows does).
locales=$(mktemp -d)
localedef -i ja_JP -f UTF-8 "$locales/ja_JP.UTF-8" 2>/dev/null || true
japanese() { LOCPATH=$locales LANG=ja_JP.UTF-8 "$@"; }
japanese wine "$SETUP" /S /DESKTOP "/D=$SECOND"
wineserver -w
LINK=$DESKTOP/Valmeric\ 2\ つの\ CSV\ を比べる.lnk
check "/DESKTOP puts the comparison on the desktop" test -f "$LINK"
header='"病院ID","病院名","郵便番号","住所","電話番号","最寄駅","診療科目","詳細ページURL"'
record='"0123456","ｻｸﾗ医院","〒123-4567","東京都","03","","内科","https://example.invalid/0123456/",'
printf '%s\r\n%s\r\n' "$header" "$record" | iconv -f UTF-8 -t CP932 >"$PROFILE_UNIX/old.csv"
printf '%s\r\n' "$header" | iconv -f UTF-8 -t CP932 >"$PROFILE_UNIX/new.csv"
touch -d '2026-01-01 10:00' "$PROFILE_UNIX/old.csv"
touch -d '2026-01-02 10:00' "$PROFILE_UNIX/new.csv"
japanese wine start /b "$(winepath -w "$LINK")" "$PROFILE\new.csv" "$PROFILE\old.csv" \
  </dev/null >/dev/null 2>&1 || true
report=$PROFILE_UNIX/new_変更点.csv
reported() { iconv -f CP932 -t UTF-8 "$report" 2>/dev/null | grep -q '^"廃止","0123456"'; }
for _ in $(seq 1 600); do reported && break; sleep 0.1; done
check "two CSV files dropped on it give the report beside the newer" reported
# The batch file waits for a key at its end, in a console of its own: the
# Wine server ends it (and has nothing to end when nothing started).
wineserver -k || true
rm -f "$PROFILE_UNIX/old.csv" "$PROFILE_UNIX/new.csv" "$report"
japanese wine "$SECOND_UNIX/uninstall.exe" /S
wineserver -w
check "its uninstall removes the desktop shortcut" test ! -e "$LINK"
check "and the Start-menu entries" test -z "$(find "$PROGRAMS" -name 'Valmeric*')"
check "and the program's folder" test ! -e "$SECOND_UNIX"
rm -rf "$locales"

tally
