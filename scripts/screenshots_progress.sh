#!/usr/bin/env bash
# Starts the real program under Xvfb with a faked date over ledgers of one
# year, of 3,000 and 32,766 days and with no record, and saves pictures of the progress
# window: the calendar, the year list, the chart with a tooltip on a missed
# day, and the chart of a plan not yet begun.
# Usage: scripts/screenshots_progress.sh [BUILD_DIR] [OUT_DIR]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build-test}" && pwd)"
out="${2:-$root/docs}"
program="$build/src/hibinobori"
[[ -x "$program" ]] || { echo "no program at $program; build it first" >&2; exit 1; }
mkdir -p "$out"

source "$root/scripts/xvfb_display.sh"
start_xvfb 121 150 1600x1200
work="$(mktemp -d)"
app_pid=""
# faketime runs the program as its child: end both.
stop_app() {
    pkill -f "^$program\$" 2>/dev/null || true
    kill "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
    app_pid=""
}
cleanup() {
    [[ -z "$app_pid" ]] || stop_app
    kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
wait_for_display

wait_window() {  # exact title; prints the window's id
    local id=""
    for _ in $(seq 100); do
        id="$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 || true)"
        [[ -n "$id" ]] && { echo "$id"; return 0; }
        sleep 0.1
    done
    echo "window '$1' did not appear" >&2
    return 1
}

shoot() {  # window id, file: cut from the whole screen, so that popups and tooltips show
    sleep 1.5
    eval "$(xdotool getwindowgeometry --shell "$1" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$2"
    echo "saved $2"
}

# A plan of the given days up to 8 December 2026, kept as the program keeps
# it: a few days missed here and there, each time paid with the next
# deposit as arrears; the two days before today missed and today not yet
# deposited. Empty for 0 days.
ledger() {  # days, folder
    mkdir -p "$2"
    python3 - "$1" "$2/ヒビノボリ.txt" <<'PY'
import datetime, sys
days, path = int(sys.argv[1]), sys.argv[2]
today = datetime.date(2026, 12, 8)
start = today - datetime.timedelta(days=days - 1)
owed, lines = 0, []
for i in range(max(days - 3, 0)):
    missed = i > 0 and (i % 23 == 7 or i % 97 in (40, 41, 42) or i % 211 in range(120, 126))
    if missed:
        owed += i + 1
        continue
    day = start + datetime.timedelta(days=i)
    lines.append(f'"{day:%Y年%m月%d日}","07:30:15",{i + 1 + owed}\r\n'.encode("cp932"))
    owed = 0
open(path, "wb").write(b"".join(lines))
PY
}

open_progress() {  # folder; sets id to the progress window's
    (cd "$1" && exec env NO_FAKE_STAT=1 faketime '2026-12-08 21:05:33' "$program" >/dev/null 2>&1) &
    app_pid=$!
    local main_id
    main_id="$(wait_window 'ヌピカ貯めよう！')"
    sleep 2
    xdotool windowfocus --sync "$main_id"
    xdotool key --clearmodifiers ctrl+g
    id="$(wait_window '進み具合 — ヌピカ貯めよう！')"
}

# Points at window-relative x, y and waits for the tooltip.
hover() {  # window id, x, y
    eval "$(xdotool getwindowgeometry --shell "$1" | grep -E '^(X|Y)=')"
    xdotool mousemove $((X + $2 - 30)) $((Y + $3))
    sleep 0.3
    xdotool mousemove $((X + $2)) $((Y + $3))
    sleep 2
}

# One year: the calendar, then the chart with a tooltip on a missed day.
ledger 365 "$work/year"
open_progress "$work/year"
shoot "$id" "$out/progress_calendar_1year.png"
xdotool key --clearmodifiers alt+g
sleep 1
hover "$id" 318 494
shoot "$id" "$out/progress_chart.png"
stop_app

# 3,000 days: the calendar with its list of years open, and the chart.
ledger 3000 "$work/long"
open_progress "$work/long"
eval "$(xdotool getwindowgeometry --shell "$id" | grep -E '^(X|Y)=')"
xdotool mousemove $((X + 148)) $((Y + 250)) click 1
shoot "$id" "$out/progress_calendar_3000.png"
xdotool key Return  # keeps the newest year
sleep 0.5
xdotool key --clearmodifiers alt+g
shoot "$id" "$out/progress_chart_3000.png"
stop_app

# The longest plan a ledger holds: 32,766 days.
ledger 32766 "$work/full"
open_progress "$work/full"
shoot "$id" "$out/progress_calendar_32766.png"
xdotool key --clearmodifiers alt+g
shoot "$id" "$out/progress_chart_32766.png"
stop_app

# No record yet: the chart shows the plan's first week.
ledger 0 "$work/empty"
(cd "$work/empty" && exec env NO_FAKE_STAT=1 faketime '2026-12-08 21:05:33' "$program" >/dev/null 2>&1) &
app_pid=$!
sleep 3
# The first run's schedule window comes first: close it.
xdotool windowfocus --sync "$(wait_window 'ヌピカ始めてみよう！')"
xdotool key Escape
sleep 1
xdotool windowfocus --sync "$(wait_window 'ヌピカ貯めよう！')"
xdotool key --clearmodifiers ctrl+g
id="$(wait_window '進み具合 — ヌピカ貯めよう！')"
xdotool key --clearmodifiers alt+g
shoot "$id" "$out/progress_chart_first_week.png"
stop_app
