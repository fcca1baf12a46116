#!/usr/bin/env bash
# Installs the Windows installer silently into a fresh Wine prefix and checks
# it: the program's folder, the Start-menu shortcut starting in
# Documents\ヒビノボリ, the entry under Apps; then that the uninstaller removes
# the program and leaves the ledgers, in Documents and beside the program.
#   packaging/windows/check_installer.sh dist/hibinobori-X.Y.Z-setup.exe
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
setup="$(realpath "$1")"
# shellcheck source=../../scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
trap wine_stop EXIT
wine_start /nonexistent
fail() { echo "check_installer: $*" >&2; exit 1; }
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\hibinobori'

user="$(ls "$WINEPREFIX/drive_c/users" | grep -vx Public | head -1)"
programs="$WINEPREFIX/drive_c/users/$user/AppData/Local/Programs/hibinobori"
menu="$WINEPREFIX/drive_c/users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
# A new prefix links Documents to the home folder.
documents="$HOME/ヒビノボリ"
mkdir -p "$documents"
printf 'kept\r\n' >"$documents/ヒビノボリ.txt"

timeout 300 wine "$setup" /S || fail "the installer failed"
[[ -f $programs/hibinobori.exe && -f $programs/uninstall.exe ]] || fail "no program in $programs"
shortcut="$menu/ヌピカ貯めよう！.lnk"
[[ -f $shortcut ]] || fail "no shortcut $shortcut"
# The shortcut's working folder, stored in UTF-16.
utf16() { printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE | od -An -tx1 | tr -d ' \n'; }
od -An -tx1 "$shortcut" | tr -d ' \n' | grep -q "$(utf16 'ヒビノボリ')" ||
    fail "the shortcut does not start in Documents\\ヒビノボリ"
[[ "$(cat "$documents/ヒビノボリ.txt")" == $'kept\r' ]] || fail "the installer touched the ledger"
wine reg query "$key" /v UninstallString >/dev/null 2>&1 || fail "not listed under Apps"

printf 'beside\r\n' >"$programs/ヒビノボリ.txt"
timeout 300 wine "$programs/uninstall.exe" /S || fail "the uninstaller failed"
# The uninstaller runs on from a copy of itself: wait for its work.
for _ in $(seq 120); do
    [[ -e $programs/hibinobori.exe || -e $programs/uninstall.exe ]] || break
    sleep 0.5
done
[[ ! -e $programs/hibinobori.exe && ! -e $shortcut ]] || fail "the program or its shortcut is left"
[[ -f $documents/ヒビノボリ.txt && -f $programs/ヒビノボリ.txt ]] || fail "a ledger was removed"
! wine reg query "$key" >/dev/null 2>&1 || fail "still listed under Apps"
echo "check_installer: installed, shortcut in Documents\\ヒビノボリ, uninstalled, ledgers kept"
