#!/usr/bin/env bash
# End-to-end tests of the real program: each case starts hibinobori on a
# private Xvfb display, its clock stopped at a set time by libfaketime, in a
# fresh directory, drives it with xdotool and checks the ledger and goal
# files byte for byte.
#
# Usage: run_e2e.sh PATH_TO_HIBINOBORI [CASE...]
# Needs: Xvfb, xdotool, xwininfo (x11-utils), libfaketime, iconv.
# No window manager runs: keys go to a window after "xdotool windowfocus".

set -u -o pipefail

(($# >= 1)) || { echo "usage: $0 PATH_TO_HIBINOBORI [CASE...]" >&2; exit 2; }
APP="$(readlink -f "$1")"
shift

setup_failed() { echo "FAIL: e2e setup: $*"; echo "0 passed, 1 failed"; exit 1; }

FAKETIME_LIB=$(ls /usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1 /usr/lib/*/faketime/libfaketime.so.1 \
                  /usr/lib/faketime/libfaketime.so.1 2>/dev/null | head -n 1)
missing=()
for tool in Xvfb xdotool xwininfo iconv cmp od timeout; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
[[ -n $FAKETIME_LIB ]] || missing+=("libfaketime.so.1")
[[ -x $APP ]] || missing+=("the program at $APP")
((${#missing[@]} == 0)) || setup_failed "missing ${missing[*]} (scripts/install-deps.sh test installs the tools)"

# A sanitizer build needs its runtime first in the preload list. Strict string
# checks trip over libxkbcommon-x11's strndup() calls; libdbus's lasting
# allocations are in the project's suppressions.
PRELOAD="$FAKETIME_LIB"
asan_runtime="$(ldd "$APP" 2>/dev/null | awk '/libasan\.so/ {print $3; exit}')"
if [[ -n $asan_runtime && -f $asan_runtime ]]; then
    PRELOAD="$asan_runtime:$FAKETIME_LIB"
    export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}strict_string_checks=0"
    supp="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/lsan.supp"
    [[ ${LSAN_OPTIONS:-} == *suppressions=* || ! -f $supp ]] ||
        export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$supp:print_suppressions=0"
fi

# Japan's time without tzdata: early in the morning the UTC date is the day before.
export TZ="JST-9"

ROOT="$(mktemp -d "${TMPDIR:-/tmp}/hibi-e2e.XXXXXX")"
mkdir -p "$ROOT/home"
XVFB_PID="" APP_PID=""

xvfb_running() { [[ -n $XVFB_PID ]] && kill -0 "$XVFB_PID" 2>/dev/null; }
stop_xvfb() { kill -TERM "$XVFB_PID" 2>/dev/null; wait "$XVFB_PID" 2>/dev/null; XVFB_PID=""; }
# Kills, by pid, the programs this script started that still run, and the X server.
cleanup() {
    local pid
    while read -r pid; do
        [[ "$(readlink -f "/proc/$pid/exe" 2>/dev/null)" == "$APP" ]] && kill -KILL "$pid" 2>/dev/null
    done < <(cat "$ROOT/app-pids" 2>/dev/null)
    xvfb_running && stop_xvfb
    rm -rf "$ROOT"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# A free display from :90 (clear of :0 and of xvfb-run's :99 on). Xvfb writes
# the number to fd 3 once it accepts connections. -noreset: a reset when the
# last client leaves would drop the next xdotool's connection.
start_xvfb() {
    local display deadline
    for display in $(seq 90 98) $(seq 120 160); do
        [[ -e /tmp/.X$display-lock || -e /tmp/.X11-unix/X$display ]] && continue
        : >"$ROOT/display"
        Xvfb ":$display" -displayfd 3 -nolisten tcp -noreset -screen 0 1024x768x24 \
            3>"$ROOT/display" >"$ROOT/xvfb.log" 2>&1 &
        XVFB_PID=$!
        deadline=$((SECONDS + 20))
        while ((SECONDS < deadline)) && xvfb_running; do
            [[ "$(cat "$ROOT/display")" == "$display" ]] && export DISPLAY=":$display" && return 0
            sleep 0.05
        done
        stop_xvfb
    done
    cat "$ROOT/xvfb.log" >&2
    return 1
}

# --- Driving the program ------------------------------------------------------
# A case runs in a subshell; fail prints why and ends it.

MAIN_TITLE="ヌピカ貯めよう！"
SCHEDULE_TITLE="ヌピカ始めてみよう！"
CONFIRM_TITLE="削除確認"
LEDGER="ヒビノボリ.txt"
GOAL="目標ヒビノボリ.txt"
declare -A BUTTON=([deposit]="373 38" [reset]="428 38" [end]="593 38" [goal]="573 162")

fail() {
    echo "    $*"
    xvfb_running || echo "    (the X server on $DISPLAY has gone)"
    app_running && echo "    windows up: $(windows | tr '\n' ';')"
    [[ -s $DIR/app.log ]] && echo "    program output:" && sed 's/^/      /' "$DIR/app.log" | head -n 40
    exit 1
}

# wait_until SECONDS COMMAND...: polls until the command succeeds.
wait_until() {
    local deadline=$(($(date +%s%N) + $1 * 1000000000))
    shift
    until "$@"; do
        (($(date +%s%N) >= deadline)) && return 1
        sleep 0.05
    done
}

# Ledger bytes (Shift-JIS, CR LF) from "D/hh:mm:ss/AMOUNT" items, comma
# separated, for that day of April 2009; any other item is written as it is.
ledger_bytes() {
    local item d t a
    for item in ${1//,/ }; do
        IFS=/ read -r d t a <<<"$item"
        if [[ -n $a ]]; then printf '"2009年04月%02d日","%s",%s\r\n' "$d" "$t" "$a"; else printf '%s\r\n' "$item"; fi
    done | iconv -f UTF-8 -t CP932
}

app_running() {  # neither gone nor a zombie
    local stat
    [[ -n $APP_PID ]] && stat=$(cat "/proc/$APP_PID/stat" 2>/dev/null) && [[ ! $stat =~ ^[0-9]+\ \(.*\)\ Z ]]
}
app_ended() { ! app_running; }

# The program's mapped windows, "id kind" a line, kind being main, schedule,
# confirm, box (another window of the program's title: Qt appends
# " — <program title>" to it) or other. Tooltips are left out.
windows() {
    local id
    app_running || return 0
    for id in $(xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null); do
        xwininfo -id "$id" -stats -wm 2>/dev/null | awk -v id="$id" -v m="$MAIN_TITLE" -v s="$SCHEDULE_TITLE" -v c="$CONFIRM_TITLE" '
            /Window id: / { n = $0; sub(/^[^"]*"/, "", n); sub(/"$/, "", n); sub(" — " m "$", "", n) }
            /Width: / { w = $NF }
            /Height: / { h = $NF }
            /Map State: IsViewable/ { mapped = 1 }
            type == "next" { type = $1 }
            /Window type:/ { type = "next" }
            END { if (!mapped || type == "Tooltip") exit
                  print id, (n == s ? "schedule" : n == c ? "confirm" : n != m ? "other" : \
                             type == "Normal" && w "x" h == "631x452" ? "main" : "box") }'
    done
}

# up KIND...: exactly these windows are up, the kinds given in sorted order.
up() { [[ "$(windows | awk '{print $2}' | sort | xargs)" == "$*" ]]; }

keys_to() {
    local window=$1
    shift
    timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null || fail "could not focus window $window"
    xdotool key --clearmodifiers "$@" || fail "xdotool could not press $*"
}

# Only the clock is faked: true file times (NO_FAKE_STAT) keep fontconfig
# from taking its caches for stale and rewriting them.
start_app() {
    mkdir -p "$DIR/runtime" && chmod 700 "$DIR/runtime"
    (
        cd "$DIR/data" || exit 1
        exec env -u FAKETIME_TIMESTAMP_FILE LANG=C.UTF-8 LC_ALL=C.UTF-8 FAKETIME="$1" \
            QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$DIR/runtime" HOME="$ROOT/home" \
            FAKETIME_DONT_FAKE_MONOTONIC=1 DONT_FAKE_MONOTONIC=1 NO_FAKE_STAT=1 \
            LD_PRELOAD="$PRELOAD" "$APP"
    ) >"$DIR/app.log" 2>&1 &
    APP_PID=$!
    echo "$APP_PID" >>"$ROOT/app-pids"
    wait_until 20 up ${2//,/ } || fail "at start-up the windows up are not: $2"
    MAIN=$(windows | awk '$2 == "main" {print $1}')
}

# Clicks 終了: the program must end with status 0, having printed nothing
# (no Qt warning, no sanitizer report).
exit_app() {
    local status=0
    xdotool mousemove --window "$MAIN" ${BUTTON[end]} click 1 || fail "could not click 終了"
    wait_until 15 app_ended || fail "the program did not end after 終了"
    wait "$APP_PID" || status=$?
    APP_PID=""
    ((status == 0)) || fail "the program ended with status $status"
    ! grep -q . "$DIR/app.log" || fail "the program reported: $(cat "$DIR/app.log")"
}

# expect WHAT EXPECTED_BYTES_FILE FILE: waits a little for FILE to hold
# those bytes; a missing file stands for an empty one.
same_bytes() { cmp -s "$1" <(cat "$2" 2>/dev/null); }
expect() {
    wait_until 10 same_bytes "$2" "$3" && return
    echo "    $1: expected bytes:" && od -An -c "$2" | sed 's/^/      /'
    echo "    actual bytes:" && od -An -c "$3" 2>&1 | sed 's/^/      /'
    fail "$1 differs"
}

# One step of a case:
#   press:BUTTON          click deposit, reset, goal (the goal box) or end
#   up:KIND,...           wait until exactly these windows are up
#   close:KEY             press KEY in the window over the main one; only the main one stays
#   type:KEY,...          press keys in the main window
#   ledger:ITEMS          the ledger holds these bytes ("=" for those at the start)
#   goal:TEXT             the goal file holds TEXT CR LF ("-": no goal file)
#   restart:DATE_TIME     end the program and start it again at that time
step() {
    local op=${1%%:*} arg=${1#*:}
    case $op in
        press) xdotool mousemove --window "$MAIN" ${BUTTON[$arg]} click 1 mousemove 0 0 || fail "could not click $arg" ;;
        up) wait_until 10 up ${arg//,/ } || fail "the windows up are not: $arg" ;;
        close)
            keys_to "$(windows | awk '$2 != "main" {print $1; exit}')" "$arg"
            wait_until 10 up main || fail "$arg did not close the window over the main one" ;;
        type) keys_to "$MAIN" ${arg//,/ } ;;
        ledger)
            [[ $arg == = ]] && cp "$DIR/start" "$DIR/expected" || ledger_bytes "$arg" >"$DIR/expected"
            expect "ledger at $1" "$DIR/expected" "$DIR/data/$LEDGER" ;;
        goal)
            if [[ $arg == - ]]; then
                [[ ! -e $DIR/data/$GOAL ]] || fail "a goal file was written"
            else
                printf '%s\r\n' "$arg" >"$DIR/expected" && expect "goal file at $1" "$DIR/expected" "$DIR/data/$GOAL"
            fi ;;
        restart) exit_app && start_app "${arg/_/ }" main ;;
        *) fail "no such step: $1" ;;
    esac
}

# --- The cases -------------------------------------------------------------------
# name|stopped clock|ledger at the start ("-": none)|windows up at start-up|steps
#     |ledger at the end|goal at the end ("-": none)
# At the end the program is ended with 終了 and the directory must hold those
# files alone. Clicks are handled in order, so a deposit that should not have
# been taken shows up in the ledger at the end.
CASE_TABLE=(
    # The schedule window is modal: the first press goes nowhere. 08:30 in
    # Japan is the 4th in UTC: the date written is the local one. A second
    # press the same day records nothing.
    "first_run|2009-04-05 08:30:00|-|main,schedule|press:deposit close:Return ledger: press:deposit
        ledger:5/08:30:00/1 up:main press:deposit|5/08:30:00/1|-"
    # 3 + 4 yen missed on the 3rd and 4th, 5 for today: 12 after the old lines.
    "arrears|2009-04-05 21:05:33|1/21:00:00/1,2/07:15:09/2|main|press:deposit
        |1/21:00:00/1,2/07:15:09/2,5/21:05:33/12|-"
    "deposited_today|2009-04-05 21:05:33|4/22:00:00/1,5/06:00:00/2|main|press:deposit press:deposit
        |4/22:00:00/1,5/06:00:00/2|-"
    # Escape answers Cancel, Return answers OK; then day 1 again, with no
    # schedule window.
    "reset|2009-04-05 21:05:33|1/21:00:00/1,2/21:00:00/2,3/21:00:00/3|main|press:reset up:confirm,main
        close:Escape ledger:= press:reset up:confirm,main close:Return ledger: press:deposit up:main
        |5/21:05:33/1|-"
    # 12.5 is saved as typed. After a restart Return saves what the box
    # shows: 12. Text that is no number, or over 32766 days, saves nothing.
    "goal|2009-04-05 21:05:33|4/21:00:00/1|main|goal:- press:goal type:ctrl+a,BackSpace,1,2,period,5,Return
        goal:12.5 up:main restart:2009-04-05_21:07:00 goal:12.5 press:goal type:End,Return goal:12
        type:ctrl+a,BackSpace,a,b,c,Return,ctrl+a,BackSpace,4,0,0,0,0,Return|4/21:00:00/1|12"
    # A line that is no record: a box says so, no schedule window opens, and
    # the file is never touched.
    "unreadable_ledger|2009-04-05 21:05:33|1/21:00:00/1,garbage,2/21:00:00/2|box,main|ledger:= close:Return
        ledger:= press:deposit|=|-"
)

run_case() {
    local name clock start at_start steps end goal s files
    IFS='|' read -r name clock start at_start steps end goal <<<"$1"
    DIR="$ROOT/$name"
    mkdir -p "$DIR/data"
    [[ $start == - ]] && : >"$DIR/start" || ledger_bytes "$start" | tee "$DIR/data/$LEDGER" >"$DIR/start"
    start_app "$clock" "$at_start"
    for s in $steps; do step "$s"; done
    exit_app
    step "ledger:$end"
    step "goal:$goal"
    files=$(printf '%s\n' "$LEDGER" $([[ $goal == - ]] || echo "$GOAL") | sort | xargs)
    [[ "$(ls "$DIR/data" | sort | xargs)" == "$files" ]] || fail "files in the directory: $(ls "$DIR/data" | xargs)"
}

# --- Run -----------------------------------------------------------------------

start_xvfb || setup_failed "no X server"
passed=0 failed=0 started=$SECONDS
for row in "${CASE_TABLE[@]}"; do
    name=${row%%|*}
    (($#)) && [[ " $* " != *" $name "* ]] && continue
    case_started=$(date +%s%N)
    if ! xvfb_running && ! { echo "note: the X server is gone; starting another"; start_xvfb; }; then
        result=FAIL why="no X server"
    elif (trap 'app_running && kill -KILL "$APP_PID" 2>/dev/null' EXIT; run_case "${row//$'\n'/ }"); then
        result=PASS why=""
    else
        result=FAIL why=""
    fi
    echo "$result: $name (${why:-$((($(date +%s%N) - case_started) / 1000000)) ms})"
    [[ $result == PASS ]] && passed=$((passed + 1)) || failed=$((failed + 1))
done
echo "e2e: $((SECONDS - started)) s on display $DISPLAY"
echo "$passed passed, $failed failed"
((failed == 0 && passed > 0))
