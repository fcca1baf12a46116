#!/usr/bin/env bash
# Starts the real program under Xvfb with a fixture ledger and a faked date,
# and saves pictures of the main window (arrears due) and of the schedule
# window (first run). Usage: scripts/screenshots.sh [BUILD_DIR] [OUT_DIR]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build-test}" && pwd)"
out="${2:-$root/docs}"
program="$build/src/hibinobori"
[[ -x "$program" ]] || { echo "no program at $program; build it first" >&2; exit 1; }
mkdir -p "$out"

source "$root/scripts/xvfb_display.sh"
start_xvfb 90 120 1600x1200
work="$(mktemp -d)"
app_pid=""
cleanup() {
    [[ -z "$app_pid" ]] || stop_app
    kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
wait_for_display

# faketime runs the program as its child: end both.
stop_app() {
    pkill -f "^$program\$" 2>/dev/null || true
    kill "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
    app_pid=""
}

# Waits for a window with this exact title and prints its id.
wait_window() {
    local id=""
    for _ in $(seq 100); do
        id="$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 || true)"
        [[ -n "$id" ]] && { echo "$id"; return 0; }
        sleep 0.1
    done
    echo "window '$1' did not appear" >&2
    return 1
}

shoot() {  # window id, file
    sleep 1.5  # let the first paint finish
    # Cut from the whole screen: with no window manager, a window's own
    # capture can come out black.
    # A scaled window may still be taking its size: wait until it holds.
    local geometry="" last=""
    for _ in $(seq 20); do
        geometry="$(xdotool getwindowgeometry --shell "$1" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
        [[ "$geometry" == "$last" ]] && break
        last="$geometry"
        sleep 0.5
    done
    eval "$geometry"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$2"
    echo "saved $2"
}

# Main window: deposits on 1 and 2 April 2009, started on 5 April.
mkdir "$work/arrears"
printf '"2009\x94\x4e04\x8c\x8e01\x93\xfa","07:30:15",1\r\n"2009\x94\x4e04\x8c\x8e02\x93\xfa","07:28:40",2\r\n' \
    > "$work/arrears/ヒビノボリ.txt"
(cd "$work/arrears" && exec env NO_FAKE_STAT=1 faketime '2009-04-05 21:05:33' "$program") &
app_pid=$!
shoot "$(wait_window 'ヌピカ貯めよう！')" "$out/main_window.png"
stop_app

# First run: the schedule window over the main window.
mkdir "$work/first"
(cd "$work/first" && exec env NO_FAKE_STAT=1 faketime '2026-12-06 09:00:00' "$program") &
app_pid=$!
shoot "$(wait_window 'ヌピカ始めてみよう！')" "$out/schedule_window.png"
import -window root -crop 1024x768+288+216 +repage "$out/first_run_screen.png"
echo "saved $out/first_run_screen.png"
stop_app

# Long histories: n deposits made to plan, then three days missed, so that
# the arrears, the amounts and the totals are as wide as such a plan makes
# them; the full ledger of 32,766 records is shown the next day, the last
# the day counter reaches. QT_SCALE_FACTOR=2 shows the same window on a
# doubled screen.
long_history() {  # records, out file, extra environment...
    local n="$1" file="$2"
    shift 2
    local dir="$work/long$n$RANDOM"
    mkdir "$dir"
    python3 - "$n" "$dir/ヒビノボリ.txt" <<'PY'
import datetime, sys
n, path = int(sys.argv[1]), sys.argv[2]
start = datetime.date(1935, 1, 1) if n > 30000 else datetime.date(2009, 1, 1)
with open(path, "wb") as f:
    for i in range(n):
        day = start + datetime.timedelta(days=i)
        f.write(f'"{day:%Y年%m月%d日}","07:30:15",{i + 1}\r\n'.encode("cp932"))
PY
    local today
    today="$(python3 -c "import datetime,sys; n=int(sys.argv[1]); s=datetime.date(1935,1,1) if n>30000 else datetime.date(2009,1,1); print(s+datetime.timedelta(days=n if n>=32766 else n+3))" "$n")"
    (cd "$dir" && exec env NO_FAKE_STAT=1 "$@" faketime "$today 21:05:33" "$program") &
    app_pid=$!
    local id
    id="$(wait_window 'ヌピカ貯めよう！')"
    # ENLARGE=WxH: the window made that large first.
    [[ -z "${ENLARGE:-}" ]] || { sleep 1; xdotool windowsize --sync "$id" ${ENLARGE/x/ }; sleep 2; }
    shoot "$id" "$out/$file"
    stop_app
}
if [[ "${SHOTS_LONG:-1}" == 1 ]]; then
    long_history 1000 main_window_1000.png
    long_history 3000 main_window_3000.png
    long_history 32766 main_window_32766.png
    long_history 3000 main_window_3000_scale2.png QT_SCALE_FACTOR=2
    ENLARGE=900x620 long_history 32766 main_window_32766_enlarged.png
fi

# The menu's windows over a history of 1,000 days with a few kept copies:
# the restore list, the progress window and the built-in manual.
mkdir "$work/menus"
python3 - "$work/menus" <<'PY'
import datetime, os, sys
folder = sys.argv[1]
start = datetime.date(2009, 1, 1)
lines = [f'"{start + datetime.timedelta(days=i):%Y年%m月%d日}","07:30:15",{i + 1}\r\n'.encode("cp932")
         for i in range(1000) if i % 97 not in (3, 4)]
open(os.path.join(folder, "ヒビノボリ.txt"), "wb").write(b"".join(lines))
os.mkdir(os.path.join(folder, "バックアップ"))
for n, (stamp, why) in enumerate([("20110925_073015", ""), ("20110926_073015", ""),
                                  ("20110601_210000", "_クリア前")]):
    open(os.path.join(folder, "バックアップ", f"ヒビノボリ_{stamp}{why}.txt"), "wb").write(
        b"".join(lines[: len(lines) - 2 - 300 * n]))
open(os.path.join(folder, "バックアップ", "ヒビノボリ_20110101_000000.txt"), "wb").write(b"garbage\r\n")
PY
(cd "$work/menus" && exec env NO_FAKE_STAT=1 faketime '2011-09-28 21:05:33' "$program") &
app_pid=$!
main_id="$(wait_window 'ヌピカ貯めよう！')"
menu_keys() { xdotool windowfocus --sync "$main_id"; for k in "$@"; do xdotool key --clearmodifiers "$k"; sleep 1; done; }
sleep 2
menu_keys alt+f r
shoot "$(wait_window 'バックアップから戻す')" "$out/restore_window.png"
xdotool key Escape
menu_keys ctrl+g
shoot "$(wait_window '進み具合 — ヌピカ貯めよう！')" "$out/progress_window.png"
menu_keys F1
shoot "$(wait_window 'ヌピカ貯めよう！ ヘルプ')" "$out/help_window.png"
stop_app
