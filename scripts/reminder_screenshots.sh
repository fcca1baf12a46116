#!/usr/bin/env bash
# Pictures of the daily reminder: its dialog, and its notification as a
# notification daemon (dunst) shows it, under Xvfb on a private session bus,
# relative to today. Usage: scripts/reminder_screenshots.sh [BUILD_DIR] [OUT_DIR]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build-test}" && pwd)"
out="$(mkdir -p "${2:-$root/docs}" && cd "${2:-$root/docs}" && pwd)"
if [[ -z "${HIBI_PRIVATE_BUS:-}" ]]; then
    HIBI_PRIVATE_BUS=1 exec dbus-run-session -- bash "$0" "$build" "$out"
fi
program="$build/src/hibinobori"
command -v dunst >/dev/null || { echo "needs dunst (apt-get install dunst)" >&2; exit 1; }

source "$root/scripts/xvfb_display.sh"
start_xvfb 90 120 1280x800
pids=("$xvfb_pid")
work="$(mktemp -d)"
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config"
wait_for_display

wait_window() {  # exact title; prints the window's id
    for _ in $(seq 100); do
        xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 && return 0
        sleep 0.1
    done
    echo "window '$1' did not appear" >&2
    return 1
}
shoot() {  # window id, file
    sleep 1.5
    eval "$(xdotool getwindowgeometry --shell "$1" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$2"
    echo "saved $2"
}

# Day 436 of a plan whose last deposit was three days ago.
mkdir "$work/貯金"
python3 - "$work/貯金/ヒビノボリ.txt" <<'PY'
import datetime, sys
today = datetime.date.today()
with open(sys.argv[1], "wb") as f:
    for ago in range(435, 2, -1):
        day = today - datetime.timedelta(days=ago)
        f.write(f'"{day:%Y年%m月%d日}","20:10:05",{436 - ago}\r\n'.encode("cp932"))
PY

mkdir -p "$work/config/dunst"
cat >"$work/config/dunst/dunstrc" <<'RC'
[global]
font = IPAPGothic 13
width = 560
offset = 20x20
frame_width = 2
frame_color = "#c08a2c"
corner_radius = 6
format = "<b>%s</b>\n%b"
[urgency_normal]
background = "#fff8e6"
foreground = "#402a00"
timeout = 0
RC
dunst -config "$work/config/dunst/dunstrc" >/dev/null 2>&1 &
pids+=($!)
sleep 1
(cd "$work/貯金" && exec "$program" --remind .) &
pids+=($!)
shoot "$(wait_window 'Dunst')" "$out/reminder_notification.png"

(cd "$work/貯金" && exec "$program") &
pids+=($!)
main_id="$(wait_window 'ヌピカ貯めよう！')"
sleep 2
xdotool windowfocus --sync "$main_id"
for key in alt+v n space; do xdotool key --clearmodifiers "$key"; sleep 1; done
shoot "$(wait_window '毎日のお知らせ')" "$out/reminder_window.png"
