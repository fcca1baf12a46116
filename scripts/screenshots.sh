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

display=""
for n in $(seq 90 120); do
    if [[ ! -e /tmp/.X11-unix/X$n && ! -e /tmp/.X$n-lock ]]; then display=":$n"; break; fi
done
[[ -n "$display" ]] || { echo "no free X display" >&2; exit 1; }
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb_pid=$!
work="$(mktemp -d)"
app_pid=""
cleanup() {
    if [[ -n "$app_pid" ]]; then
        kill "$app_pid" 2>/dev/null || true
        wait "$app_pid" 2>/dev/null || true
    fi
    kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
export DISPLAY="$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

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
    sleep 0.5  # let the first paint finish
    import -window "$1" "$2"
    echo "saved $2"
}

# Main window: deposits on 1 and 2 April 2009, started on 5 April.
mkdir "$work/arrears"
printf '"2009\x94\x4e04\x8c\x8e01\x93\xfa","07:30:15",1\r\n"2009\x94\x4e04\x8c\x8e02\x93\xfa","07:28:40",2\r\n' \
    > "$work/arrears/ヒビノボリ.txt"
(cd "$work/arrears" && exec env NO_FAKE_STAT=1 faketime '2009-04-05 21:05:33' "$program") &
app_pid=$!
shoot "$(wait_window 'ヌピカ貯めよう！')" "$out/main_window.png"
kill "$app_pid"; wait "$app_pid" 2>/dev/null || true; app_pid=""

# First run: the schedule window over the main window.
mkdir "$work/first"
(cd "$work/first" && exec env NO_FAKE_STAT=1 faketime '2026-12-06 09:00:00' "$program") &
app_pid=$!
shoot "$(wait_window 'ヌピカ始めてみよう！')" "$out/schedule_window.png"
import -window root "$out/first_run_screen.png"
echo "saved $out/first_run_screen.png"
