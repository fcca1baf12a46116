#!/usr/bin/env bash
# End-to-end tests of the real program: each case starts hibinobori on a
# private Xvfb display, under libfaketime, in a fresh directory, drives it
# with xdotool (mouse clicks on the buttons, keys in the boxes) and checks the
# ledger and goal files byte for byte afterwards.
#
# Usage: run_e2e.sh PATH_TO_HIBINOBORI [CASE...]
# With CASE names only those cases run (see the list at the bottom).
#
# Needs: Xvfb, xdotool, xwininfo (x11-utils), libfaketime, iconv.
# No window manager runs: windows sit where the program puts them, and the
# keyboard focus is given with "xdotool windowfocus" before keys are sent.

set -u -o pipefail

if (($# < 1)); then
    echo "usage: $0 PATH_TO_HIBINOBORI [CASE...]" >&2
    exit 2
fi
APP="$(readlink -f "$1")"
shift
SELECTED=("$@")

# --- Preconditions -------------------------------------------------------------

FAKETIME_LIB=""
for candidate in /usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1 \
                 /usr/lib/*/faketime/libfaketime.so.1 /usr/lib/faketime/libfaketime.so.1; do
    if [[ -f $candidate ]]; then
        FAKETIME_LIB="$candidate"
        break
    fi
done
missing=()
for tool in Xvfb xdotool xwininfo iconv cmp od timeout; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
[[ -n $FAKETIME_LIB ]] || missing+=("libfaketime.so.1")
[[ -x $APP ]] || missing+=("the program at $APP")
if ((${#missing[@]})); then
    echo "FAIL: e2e setup: missing ${missing[*]} (scripts/install-deps.sh test installs the tools)"
    echo "0 passed, 1 failed"
    exit 1
fi

# A sanitizer build must have its runtime first in the preload list, before
# libfaketime, or it refuses to start.
PRELOAD="$FAKETIME_LIB"
asan_runtime="$(ldd "$APP" 2>/dev/null | awk '/libasan\.so/ {print $3; exit}')"
if [[ -n $asan_runtime && -f $asan_runtime ]]; then
    PRELOAD="$asan_runtime:$FAKETIME_LIB"
    # libxkbcommon-x11 hands strndup() a counted name with no NUL after it,
    # which strict string checks take for an overflow; the last setting wins.
    export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}strict_string_checks=0"
    # The X platform brings in libdbus, whose lasting allocations the
    # project's suppressions cover: use them when the caller did not.
    if [[ ${LSAN_OPTIONS:-} != *suppressions=* ]]; then
        supp="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/lsan.supp"
        [[ -f $supp ]] && export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$supp:print_suppressions=0"
    fi
fi

# Japan's local time with no tzdata needed; a local date that differs from
# the UTC date early in the morning.
export TZ="JST-9"

ROOT="$(mktemp -d "${TMPDIR:-/tmp}/hibi-e2e.XXXXXX")"
mkdir -p "$ROOT/home"
XVFB_PID=""

# Kills what this script started: the programs still listed as running and
# the X server. Only these pids, nothing found by name.
cleanup() {
    local pid
    if [[ -f $ROOT/app-pids ]]; then
        while read -r pid; do
            if [[ -n $pid && -e /proc/$pid ]] &&
                [[ "$(readlink -f "/proc/$pid/exe" 2>/dev/null)" == "$APP" ]]; then
                kill -KILL "$pid" 2>/dev/null
            fi
        done <"$ROOT/app-pids"
    fi
    if [[ -n $XVFB_PID ]] && kill -0 "$XVFB_PID" 2>/dev/null; then
        kill -TERM "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null
    fi
    rm -rf "$ROOT"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# --- The X server --------------------------------------------------------------

# A display from :90 up (clear of :0, where people start servers by hand,
# and of xvfb-run's :99 on), skipping those in use; Xvfb writes the number
# to fd 3 once it accepts connections, or exits when another server got the
# display first. -noreset: by default the server resets each time its last
# client leaves (between two xdotool calls, or two starts of the program),
# and a connection made during the reset is dropped ("could not connect").
start_xvfb() {
    local display deadline
    for display in $(seq 90 98) $(seq 120 160); do
        [[ -e /tmp/.X$display-lock || -e /tmp/.X11-unix/X$display ]] && continue
        : >"$ROOT/display"
        Xvfb ":$display" -displayfd 3 -nolisten tcp -noreset -screen 0 1024x768x24 \
            3>"$ROOT/display" >"$ROOT/xvfb.log" 2>&1 &
        XVFB_PID=$!
        deadline=$((SECONDS + 20))
        while ((SECONDS < deadline)) && kill -0 "$XVFB_PID" 2>/dev/null; do
            if [[ "$(cat "$ROOT/display")" == "$display" ]]; then
                export DISPLAY=":$display"
                return 0
            fi
            sleep 0.05
        done
        kill -TERM "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null
        XVFB_PID=""
    done
    echo "Xvfb did not start:" >&2
    cat "$ROOT/xvfb.log" >&2
    return 1
}

xvfb_running() {
    [[ -n $XVFB_PID ]] && kill -0 "$XVFB_PID" 2>/dev/null
}

# --- Helpers for the cases -----------------------------------------------------
# A case runs in a subshell; fail prints why and ends that subshell.

MAIN_TITLE="ヌピカ貯めよう！"
SCHEDULE_TITLE="ヌピカ始めてみよう！"
CONFIRM_TITLE="削除確認"
LEDGER="ヒビノボリ.txt"
GOAL="目標ヒビノボリ.txt"

APP_PID=""
APP_LAUNCHED_AT=0  # seconds since the epoch, real clock
CASE_DIR=""
DATA=""

fail() {
    echo "    $*"
    xvfb_running || echo "    (the X server on $DISPLAY has gone)"
    if [[ -n $CASE_DIR && -s $CASE_DIR/app.log ]]; then
        echo "    program output:"
        sed 's/^/      /' "$CASE_DIR/app.log" | head -n 40
    fi
    exit 1
}

# Polls a command until it succeeds or the seconds run out.
wait_until() {
    local limit=$1
    shift
    local deadline
    deadline=$(($(date +%s%N) + limit * 1000000000))
    while true; do
        "$@" && return 0
        (($(date +%s%N) >= deadline)) && return 1
        sleep 0.05
    done
}

# One ledger line as the program writes it: Shift-JIS, CR LF.
ledger_line() {
    printf '"%s","%s",%s\r\n' "$1" "$2" "$3" | iconv -f UTF-8 -t CP932
}

new_case_dir() {
    CASE_DIR="$ROOT/$1"
    DATA="$CASE_DIR/data"
    mkdir -p "$DATA"
}

# Starts the program in $DATA with the clock starting at "$1" (local time)
# and running on from there.
start_app() {
    launch FAKETIME="@$1"
}

# Starts the program in $DATA with its clock read from a file, "YYYY-MM-DD
# hh:mm:ss" (frozen there) until the file is changed: set_clock moves it.
start_app_with_clock_file() {
    CLOCK_FILE="$CASE_DIR/clock"
    set_clock "$1"
    launch FAKETIME_TIMESTAMP_FILE="$CLOCK_FILE" FAKETIME_NO_CACHE=1
}

set_clock() {
    printf '%s\n' "$1" >"$CLOCK_FILE.new" && mv -f "$CLOCK_FILE.new" "$CLOCK_FILE"
}

# Only the clock is faked: file times stay true (NO_FAKE_STAT), or
# fontconfig would take its caches for stale, rescan every font at each
# start and rewrite the system's cache with the faked times.
launch() {
    mkdir -p "$CASE_DIR/runtime"
    chmod 700 "$CASE_DIR/runtime"
    APP_LAUNCHED_AT=$(date +%s)
    (
        { set +x; } 2>/dev/null
        cd "$DATA" || exit 1
        exec env -u FAKETIME -u FAKETIME_TIMESTAMP_FILE LANG=C.UTF-8 LC_ALL=C.UTF-8 \
            QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$CASE_DIR/runtime" HOME="$ROOT/home" \
            FAKETIME_DONT_FAKE_MONOTONIC=1 DONT_FAKE_MONOTONIC=1 NO_FAKE_STAT=1 \
            LD_PRELOAD="$PRELOAD" "$@" "$APP"
    ) >"$CASE_DIR/app.log" 2>&1 &
    APP_PID=$!
    echo "$APP_PID" >>"$ROOT/app-pids"
}

# Running: neither gone nor a zombie waiting to be reaped.
app_running() {
    local stat
    stat=$(cat "/proc/$APP_PID/stat" 2>/dev/null) || return 1
    [[ ! $stat =~ ^[0-9]+\ \(.*\)\ Z ]]
}

app_ended() {
    ! app_running
}

# The program's mapped windows, one "id|type|WxH|name" a line, the type as
# the first one it asks for (Normal, Dialog, ...). Tooltips are left out:
# they come and go with the mouse. One xwininfo a window: the machine may be
# busy, and this runs in every poll.
windows() {
    local id line name type width height mapped
    app_running || return 0
    for id in $(xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null); do
        name="" type="" width="" height="" mapped=""
        while IFS= read -r line; do
            case $line in
                *"Window id: "*) name=${line#*\"} name=${name%\"} ;;
                *"Width: "*) width=${line##* } ;;
                *"Height: "*) height=${line##* } ;;
                *"Map State: IsViewable"*) mapped=yes ;;
                *"Window type:"*) type=next ;;
                *)
                    if [[ $type == next ]]; then
                        type=${line//[[:space:]]/}
                    fi
                    ;;
            esac
        done < <(xwininfo -id "$id" -stats -wm 2>/dev/null)
        [[ $mapped == yes && -n $width && -n $height && $type != Tooltip ]] || continue
        printf '%s|%s|%sx%s|%s\n' "$id" "$type" "$width" "$height" "$name"
    done
}

# Qt adds " — <program title>" to the titles of the other windows.
title_is() {
    local name=$1 title=$2
    [[ $name == "$title" || $name == "$title — $MAIN_TITLE" ]]
}

# Sets FOUND to the id of a mapped window of that title and size ("" for
# any size); with "box" as the size, any window of that title but the main
# window.
find_window() {
    local title=$1 size=$2 id type geometry name
    FOUND=""
    while IFS='|' read -r id type geometry name; do
        [[ -n $id ]] || continue
        title_is "$name" "$title" || continue
        if [[ $size == box ]]; then
            [[ $geometry == 631x452 && $type == Normal ]] && continue
        elif [[ -n $size && $geometry != "$size" ]]; then
            continue
        fi
        FOUND=$id
        return 0
    done < <(windows)
    return 1
}

no_window() {
    ! find_window "$@"
}

# Waits for a window; sets FOUND.
await_window() {
    local what=$1
    shift
    wait_until 20 find_window "$@" || fail "$what did not appear (windows: $(windows | tr '\n' ';'))"
}

await_main() {
    await_window "the main window" "$MAIN_TITLE" 631x452
    MAIN=$FOUND
}

# Only the main window is up: no box, no schedule window.
only_main_window() {
    local list
    list=$(windows)
    [[ $(printf '%s\n' "$list" | grep -c .) == 1 ]] && [[ $list == "$MAIN|"* ]]
}

# Nothing but the main window at start-up. A box that opens after this look
# is still caught: it would block the clicks and the exit that follow.
expect_main_only() {
    only_main_window || fail "a window other than the main one is up: $(windows | tr '\n' ';')"
}

# Clicks at window coordinates, then takes the mouse off the program's
# windows so that no tooltip opens.
click() {
    xdotool mousemove --window "$1" "$2" "$3" click 1 mousemove 0 0 ||
        fail "xdotool could not click in window $1"
}

# The buttons across the top, by their client x; each is 56×66 from y 5.
click_deposit() { click "$MAIN" 373 38; }
click_reset() { click "$MAIN" 428 38; }
click_exit() { click "$MAIN" 593 38; }
click_goal_box() { click "$MAIN" 573 162; }

# Gives the keyboard focus to a window and presses keys there.
keys_to() {
    local window=$1
    shift
    timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null || fail "could not focus window $window"
    xdotool key --clearmodifiers "$@" || fail "xdotool could not press $*"
}

# Clicks exit and waits for the program to end with status 0.
exit_app() {
    click_exit
    wait_until 15 app_ended || fail "the program did not end after 終了 (windows: $(windows | tr '\n' ';'))"
    local status=0
    wait "$APP_PID" || status=$?
    ((status == 0)) || fail "the program ended with status $status"
    APP_PID=""
}

# The program wrote nothing on its output: no Qt warning, no sanitizer report.
quiet_log() {
    local noise
    noise=$(grep -v -e '^$' "$CASE_DIR/app.log" || true)
    [[ -z $noise ]] || fail "the program reported: $noise"
}

same_bytes() {
    local expected=$1 actual=$2
    [[ -f $actual ]] && cmp -s "$expected" "$actual"
}

expect_bytes() {
    local what=$1 expected=$2 actual=$3
    if ! same_bytes "$expected" "$actual"; then
        echo "    $what: expected bytes:"
        od -An -c "$expected" | sed 's/^/      /'
        echo "    actual bytes:"
        if [[ -f $actual ]]; then od -An -c "$actual" | sed 's/^/      /'; else echo "      (no file)"; fi
        fail "$what differs"
    fi
}

# Exactly these names in the data directory: no stray or temporary files.
expect_files() {
    local expected actual
    expected=$(printf '%s\n' "$@" | sort)
    actual=$(find "$DATA" -mindepth 1 -maxdepth 1 -printf '%f\n' | sort)
    [[ $expected == "$actual" ]] ||
        fail "files in the directory: expected [$(tr '\n' ' ' <<<"$expected")], found [$(tr '\n' ' ' <<<"$actual")]"
}

# Checks that the last line of the ledger is today's deposit of the amount:
# the date text exactly, a time between the faked start and now, and the
# whole file the expected earlier bytes plus that line.
expect_deposit() {
    local file=$1 before=$2 date=$3 start_time=$4 amount=$5
    local last time h m s t t0 elapsed
    last=$(tail -c +$(($(stat -c %s "$before") + 1)) "$file" | iconv -f CP932 -t UTF-8 2>/dev/null) ||
        fail "the new ledger line is not Shift-JIS"
    if [[ ! $last =~ ^\"$date\",\"([0-2][0-9]):([0-5][0-9]):([0-5][0-9])\",$amount$'\r'$ ]]; then
        fail "new ledger line [$(printf '%q' "$last")] is not \"$date\",\"hh:mm:ss\",$amount CR LF"
    fi
    h=${BASH_REMATCH[1]} m=${BASH_REMATCH[2]} s=${BASH_REMATCH[3]}
    time="$h:$m:$s"
    t=$((10#$h * 3600 + 10#$m * 60 + 10#$s))
    IFS=: read -r h m s <<<"$start_time"
    t0=$((10#$h * 3600 + 10#$m * 60 + 10#$s))
    elapsed=$(($(date +%s) - APP_LAUNCHED_AT + 1))
    ((t >= t0 && t <= t0 + elapsed)) ||
        fail "deposit time $time is not within ${elapsed}s after the faked start $start_time"
    cp "$before" "$CASE_DIR/expected"
    ledger_line "$date" "$time" "$amount" >>"$CASE_DIR/expected"
    expect_bytes "ledger" "$CASE_DIR/expected" "$file"
}

empty_file() {
    [[ -f $1 && ! -s $1 ]]
}

file_has_lines() {
    [[ -f $1 ]] && (($(tr -cd '\n' <"$1" | wc -c) >= $2))
}

# --- The cases -----------------------------------------------------------------

# First run in an empty directory: the schedule window opens over the main
# window and keeps it from taking clicks; Return closes it; one deposit of 1.
case_first_run() {
    new_case_dir first_run
    start_app "2009-04-05 08:30:00"
    await_main
    await_window "the schedule window" "$SCHEDULE_TITLE" 481x249
    local schedule=$FOUND
    # The schedule window is modal: this click must not deposit.
    click_deposit
    keys_to "$schedule" Return
    wait_until 10 no_window "$SCHEDULE_TITLE" "" || fail "Return did not close the schedule window"
    wait_until 5 only_main_window || fail "other windows are up: $(windows | tr '\n' ';')"
    if [[ -s $DATA/$LEDGER ]]; then
        fail "the ledger has content before any deposit (the click went through the schedule window)"
    fi
    : >"$CASE_DIR/empty"
    click_deposit
    wait_until 10 file_has_lines "$DATA/$LEDGER" 1 || fail "the deposit wrote nothing"
    # 08:30 in Japan is still the 4th in UTC: the date must be the local one.
    expect_deposit "$DATA/$LEDGER" "$CASE_DIR/empty" "2009年04月05日" "08:30:00" 1
    only_main_window || fail "a window opened on the deposit: $(windows | tr '\n' ';')"
    cp "$DATA/$LEDGER" "$CASE_DIR/after"
    # A second press the same day records nothing more.
    click_deposit
    exit_app
    expect_bytes "ledger after a second press and exit" "$CASE_DIR/after" "$DATA/$LEDGER"
    expect_files "$LEDGER"
    quiet_log
}

# The schedule window's button has the focus: Space closes it too. Leaving
# without a deposit records nothing and writes no goal.
case_first_run_space() {
    new_case_dir first_run_space
    start_app "2009-04-05 21:05:33"
    await_main
    await_window "the schedule window" "$SCHEDULE_TITLE" 481x249
    keys_to "$FOUND" space
    wait_until 10 no_window "$SCHEDULE_TITLE" "" || fail "Space did not close the schedule window"
    wait_until 5 only_main_window || fail "other windows are up: $(windows | tr '\n' ';')"
    exit_app
    : >"$CASE_DIR/empty"
    [[ ! -e $DATA/$LEDGER ]] || expect_bytes "ledger" "$CASE_DIR/empty" "$DATA/$LEDGER"
    [[ ! -e $DATA/$GOAL ]] || fail "a goal file was written"
    quiet_log
}

# Missed days: 1 and 2 April recorded, started on the 5th: 5 for today and
# 3 + 4 of arrears make 12, appended after the two old lines untouched.
case_arrears() {
    new_case_dir arrears
    {
        ledger_line "2009年04月01日" "21:00:00" 1
        ledger_line "2009年04月02日" "07:15:09" 2
    } >"$CASE_DIR/before"
    cp "$CASE_DIR/before" "$DATA/$LEDGER"
    start_app "2009-04-05 21:05:33"
    await_main
    expect_main_only
    click_deposit
    wait_until 10 file_has_lines "$DATA/$LEDGER" 3 || fail "the deposit wrote no third line"
    expect_deposit "$DATA/$LEDGER" "$CASE_DIR/before" "2009年04月05日" "21:05:33" 12
    cp "$DATA/$LEDGER" "$CASE_DIR/after"
    exit_app
    expect_bytes "ledger after exit" "$CASE_DIR/after" "$DATA/$LEDGER"
    expect_files "$LEDGER"
    quiet_log
}

# Already deposited today: the deposit button records nothing.
case_deposited_today() {
    new_case_dir deposited_today
    {
        ledger_line "2009年04月04日" "22:00:00" 1
        ledger_line "2009年04月05日" "06:00:00" 2
    } >"$CASE_DIR/before"
    cp "$CASE_DIR/before" "$DATA/$LEDGER"
    start_app "2009-04-05 21:05:33"
    await_main
    expect_main_only
    click_deposit
    click_deposit
    # Exit is handled after the clicks, so the file is final once the program ends.
    exit_app
    expect_bytes "ledger" "$CASE_DIR/before" "$DATA/$LEDGER"
    expect_files "$LEDGER"
    quiet_log
}

# Reset: Escape answers Cancel and keeps the ledger; Return answers OK and
# empties it; the next deposit starts again at 1 without the schedule window.
case_reset() {
    new_case_dir reset
    {
        ledger_line "2009年04月01日" "21:00:00" 1
        ledger_line "2009年04月02日" "21:00:00" 2
        ledger_line "2009年04月03日" "21:00:00" 3
    } >"$CASE_DIR/before"
    cp "$CASE_DIR/before" "$DATA/$LEDGER"
    start_app "2009-04-05 21:05:33"
    await_main
    expect_main_only

    click_reset
    await_window "the confirmation box" "$CONFIRM_TITLE" ""
    keys_to "$FOUND" Escape
    wait_until 10 no_window "$CONFIRM_TITLE" "" || fail "Escape did not close the confirmation box"
    wait_until 3 only_main_window || fail "a window is up after Cancel: $(windows | tr '\n' ';')"
    expect_bytes "ledger after Cancel" "$CASE_DIR/before" "$DATA/$LEDGER"

    click_reset
    await_window "the confirmation box" "$CONFIRM_TITLE" ""
    keys_to "$FOUND" Return
    wait_until 10 no_window "$CONFIRM_TITLE" "" || fail "Return did not close the confirmation box"
    wait_until 10 empty_file "$DATA/$LEDGER" ||
        fail "the ledger is not empty after OK ($(stat -c %s "$DATA/$LEDGER" 2>/dev/null) bytes)"
    wait_until 3 only_main_window || fail "a window is up after OK: $(windows | tr '\n' ';')"

    : >"$CASE_DIR/empty"
    click_deposit
    wait_until 10 file_has_lines "$DATA/$LEDGER" 1 || fail "the deposit after the reset wrote nothing"
    expect_deposit "$DATA/$LEDGER" "$CASE_DIR/empty" "2009年04月05日" "21:05:33" 1
    cp "$DATA/$LEDGER" "$CASE_DIR/after"
    exit_app
    expect_bytes "ledger after exit" "$CASE_DIR/after" "$DATA/$LEDGER"
    expect_files "$LEDGER"
    quiet_log
}

# Goal: 12.5 + Return is saved as typed; after a restart the box shows the
# rounded 12 (Return there saves what the box shows) and the file is kept.
case_goal() {
    new_case_dir goal
    ledger_line "2009年04月04日" "21:00:00" 1 >"$CASE_DIR/ledger"
    cp "$CASE_DIR/ledger" "$DATA/$LEDGER"
    printf '12.5\r\n' >"$CASE_DIR/goal-12.5"
    printf '12\r\n' >"$CASE_DIR/goal-12"

    start_app "2009-04-05 21:05:33"
    await_main
    expect_main_only
    [[ -e $DATA/$GOAL ]] && fail "the goal file was written before any goal was typed"
    click_goal_box
    keys_to "$MAIN" ctrl+a BackSpace 1 2 period 5 Return
    wait_until 10 same_bytes "$CASE_DIR/goal-12.5" "$DATA/$GOAL"
    expect_bytes "goal file after 12.5 Return" "$CASE_DIR/goal-12.5" "$DATA/$GOAL"
    only_main_window || fail "a window opened on Return: $(windows | tr '\n' ';')"
    exit_app
    expect_bytes "goal file after exit" "$CASE_DIR/goal-12.5" "$DATA/$GOAL"
    quiet_log

    start_app "2009-04-05 21:07:00"
    await_main
    expect_main_only
    expect_bytes "goal file after the restart" "$CASE_DIR/goal-12.5" "$DATA/$GOAL"
    # Return saves the box's text as it is: "12" shows the box holds 12.
    click_goal_box
    keys_to "$MAIN" End Return
    wait_until 10 same_bytes "$CASE_DIR/goal-12" "$DATA/$GOAL"
    expect_bytes "goal file after Return on the restored box (should hold 12)" \
        "$CASE_DIR/goal-12" "$DATA/$GOAL"
    # Text that is not a number, or a goal beyond 32766 days, saves nothing.
    keys_to "$MAIN" ctrl+a BackSpace a b c Return ctrl+a BackSpace 4 0 0 0 0 Return
    exit_app
    expect_bytes "goal file after rejected entries" "$CASE_DIR/goal-12" "$DATA/$GOAL"
    expect_bytes "ledger" "$CASE_DIR/ledger" "$DATA/$LEDGER"
    expect_files "$LEDGER" "$GOAL"
    quiet_log
}

# A ledger with a line that cannot be read: a box says so at start-up; the
# file is never changed, and the deposit button does nothing.
case_unreadable_ledger() {
    new_case_dir unreadable_ledger
    {
        ledger_line "2009年04月01日" "21:00:00" 1
        printf 'garbage\r\n'
        ledger_line "2009年04月02日" "21:00:00" 2
    } >"$CASE_DIR/before"
    cp "$CASE_DIR/before" "$DATA/$LEDGER"
    start_app "2009-04-05 21:05:33"
    await_main
    await_window "the message box about the ledger" "$MAIN_TITLE" box
    local box=$FOUND
    no_window "$SCHEDULE_TITLE" "" || fail "the schedule window opened for an unreadable ledger"
    expect_bytes "ledger at start-up" "$CASE_DIR/before" "$DATA/$LEDGER"
    keys_to "$box" Return
    wait_until 10 only_main_window || fail "the box did not close: $(windows | tr '\n' ';')"
    expect_bytes "ledger after the box" "$CASE_DIR/before" "$DATA/$LEDGER"
    click_deposit
    exit_app
    expect_bytes "ledger after a deposit click and exit" "$CASE_DIR/before" "$DATA/$LEDGER"
    expect_files "$LEDGER"
    quiet_log
}

# The clock behind the last deposit: a box says so and no deposit is taken.
case_clock_behind() {
    new_case_dir clock_behind
    {
        ledger_line "2009年04月05日" "21:00:00" 1
        ledger_line "2009年04月06日" "21:00:00" 2
    } >"$CASE_DIR/before"
    cp "$CASE_DIR/before" "$DATA/$LEDGER"
    start_app "2009-04-05 21:05:33"
    await_main
    await_window "the message box about the clock" "$MAIN_TITLE" box
    keys_to "$FOUND" Return
    wait_until 10 only_main_window || fail "the box did not close: $(windows | tr '\n' ';')"
    click_deposit
    exit_app
    expect_bytes "ledger" "$CASE_DIR/before" "$DATA/$LEDGER"
    expect_files "$LEDGER"
    quiet_log
}

# A ledger named with an upper-case extension is used and keeps its name.
case_upper_case_name() {
    new_case_dir upper_case_name
    ledger_line "2009年04月04日" "21:00:00" 1 >"$CASE_DIR/before"
    cp "$CASE_DIR/before" "$DATA/ヒビノボリ.TXT"
    start_app "2009-04-05 21:05:33"
    await_main
    expect_main_only
    click_deposit
    wait_until 10 file_has_lines "$DATA/ヒビノボリ.TXT" 2 || fail "the deposit wrote no second line"
    expect_deposit "$DATA/ヒビノボリ.TXT" "$CASE_DIR/before" "2009年04月05日" "21:05:33" 2
    exit_app
    expect_files "ヒビノボリ.TXT"
    quiet_log
}

# The date changes while the program is open: the first press only works out
# the new day's amount again and says so; the second records it.
case_date_changes() {
    new_case_dir date_changes
    ledger_line "2009年04月04日" "21:00:00" 1 >"$CASE_DIR/before"
    cp "$CASE_DIR/before" "$DATA/$LEDGER"
    start_app_with_clock_file "2009-04-05 23:59:00"
    await_main
    expect_main_only
    set_clock "2009-04-06 00:00:30"
    click_deposit
    await_window "the notice that the day changed" "$MAIN_TITLE" box
    expect_bytes "ledger after the first press" "$CASE_DIR/before" "$DATA/$LEDGER"
    keys_to "$FOUND" Return
    wait_until 10 only_main_window || fail "the notice did not close: $(windows | tr '\n' ';')"
    click_deposit
    wait_until 10 file_has_lines "$DATA/$LEDGER" 2 || fail "the second press wrote nothing"
    # Day 3 on the 6th: 3, and the 5th's 2 in arrears.
    cp "$CASE_DIR/before" "$CASE_DIR/expected"
    ledger_line "2009年04月06日" "00:00:30" 5 >>"$CASE_DIR/expected"
    expect_bytes "ledger" "$CASE_DIR/expected" "$DATA/$LEDGER"
    exit_app
    expect_bytes "ledger after exit" "$CASE_DIR/expected" "$DATA/$LEDGER"
    expect_files "$LEDGER"
    quiet_log
}

# --- Run -----------------------------------------------------------------------

CASES=(first_run first_run_space arrears deposited_today reset goal unreadable_ledger clock_behind
       upper_case_name date_changes)
if ((${#SELECTED[@]})); then
    CASES=("${SELECTED[@]}")
fi

start_xvfb || {
    echo "FAIL: e2e setup: no X server"
    echo "0 passed, 1 failed"
    exit 1
}

passed=0
failed=0
started=$SECONDS
for name in "${CASES[@]}"; do
    if ! declare -F "case_$name" >/dev/null; then
        echo "FAIL: $name (no such case)"
        failed=$((failed + 1))
        continue
    fi
    if ! xvfb_running; then
        echo "note: the X server on $DISPLAY is gone; starting another"
        start_xvfb || {
            echo "FAIL: $name (no X server)"
            failed=$((failed + 1))
            continue
        }
    fi
    case_started=$(date +%s%N)
    (
        trap '[[ -n $APP_PID ]] && app_running && kill -KILL "$APP_PID" 2>/dev/null' EXIT
        "case_$name"
    )
    status=$?
    ms=$((($(date +%s%N) - case_started) / 1000000))
    if ((status == 0)); then
        echo "PASS: $name (${ms} ms)"
        passed=$((passed + 1))
    else
        echo "FAIL: $name (${ms} ms)"
        failed=$((failed + 1))
    fi
done
echo "e2e: $((SECONDS - started)) s on display $DISPLAY"
echo "$passed passed, $failed failed"
((failed == 0))
