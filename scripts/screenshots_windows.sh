#!/usr/bin/env bash
# Pictures of the Windows build as Wine draws it, from the zip unpacked into a
# fresh prefix: the first run (the schedule window over the main one) and the
# main window with arrears due; the latter once more with the system's fonts
# hidden from Wine, so that only the IPA fonts the zip ships can draw it.
#   scripts/screenshots_windows.sh dist/hibinobori-X.Y.Z-win64.zip [OUT_DIR]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
zip_file="$(realpath "$1")"
out="$(realpath -m "${2:-$root/docs}")"
mkdir -p "$out"
# shellcheck source=wine-env.sh
source "$root/scripts/wine-env.sh"
trap wine_stop EXIT
wine_start /nonexistent
app="$wine_folder/app"
mkdir -p "$app"
(cd "$app" && unzip -q "$zip_file")
exe="$(find "$app" -name hibinobori.exe | head -1)"

wait_window() {
    for _ in $(seq 240); do
        xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 && return 0
        sleep 0.5
    done
    echo "no window $1" >&2
    return 1
}

# shot NAME FOLDER TITLE: starts the program in FOLDER, waits for TITLE and
# saves the windows, cut out of the empty screen around them, as OUT/NAME.png.
shot() {
    (cd "$2" && wine "$exe" >/dev/null 2>&1 &)
    wait_window "$3"
    sleep 3
    import -window root png:- | convert - -trim +repage "$out/$1.png"
    wineserver -k
    sleep 1
}

mkdir -p "$wine_folder/first" "$wine_folder/arrears"
shot windows_first_run "$wine_folder/first" 'ヌピカ始めてみよう！'
# Days 1 and 2 kept, yesterday missed.
line() { printf '"%s","%s",%s\r\n' "$(date -d "$1" +%Y年%m月%d日)" "$2" "$3" | iconv -f UTF-8 -t CP932; }
{ line '3 days ago' 21:00:00 1; line '2 days ago' 07:15:09 2; } >"$wine_folder/arrears/ヒビノボリ.txt"
shot windows_main "$wine_folder/arrears" '^ヌピカ貯めよう！$'
wine_stop
# Again in a prefix made without the system's fonts (Wine reads them through
# fontconfig when the prefix starts): only the IPA fonts the zip ships.
nofonts="$(mktemp -d /tmp/hibi-nofonts.XXXXXX)"
printf '<?xml version="1.0"?>\n<fontconfig><dir>%s</dir><cachedir>%s</cachedir></fontconfig>\n' \
    "$nofonts" "$nofonts" >"$nofonts/fonts.conf"
export FONTCONFIG_FILE="$nofonts/fonts.conf"
wine_start /nonexistent
trap 'wine_stop; rm -rf "$nofonts"' EXIT
app="$wine_folder/app"
mkdir -p "$app" "$wine_folder/arrears"
(cd "$app" && unzip -q "$zip_file")
exe="$(find "$app" -name hibinobori.exe | head -1)"
{ line '3 days ago' 21:00:00 1; line '2 days ago' 07:15:09 2; } >"$wine_folder/arrears/ヒビノボリ.txt"
shot windows_main_shipped_fonts "$wine_folder/arrears" '^ヌピカ貯めよう！$'
echo "pictures in $out"
