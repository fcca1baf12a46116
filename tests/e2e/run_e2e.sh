#!/usr/bin/env bash
# End-to-end tests of the real program: each case starts hibinobori on a
# private Xvfb display, under libfaketime, in a fresh directory, drives it
# with xdotool and checks the ledger and goal files byte for byte.
#
# Usage: run_e2e.sh PATH_TO_HIBINOBORI [CASE...]   (CASES below lists the cases)
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
CASES=(first_run first_run_space arrears deposited_today reset goal unreadable_ledger clock_behind
       upper_case_name date_changes)
(($#)) && CASES=("$@")

setup_failed() {
    echo "FAIL: e2e setup: $*"
    echo "0 passed, 1 failed"
    exit 1
}

FAKETIME_LIB=""
for candidate in /usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1 \
                 /usr/lib/*/faketime/libfaketime.so.1 /usr/lib/faketime/libfaketime.so.1; do
    [[ -f $candidate ]] && FAKETIME_LIB="$candidate" && break
done
missing=()
for tool in Xvfb xdotool xwininfo iconv cmp od timeout; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
[[ -n $FAKETIME_LIB ]] || missing+=("libfaketime.so.1")
[[ -x $APP ]] || missing+=("the program at $APP")
((${#missing[@]} == 0)) || setup_failed "missing ${missing[*]} (scripts/install-deps.sh test installs the tools)"

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
APP_PID=""
CASE_DIR=""

xvfb_running() { [[ -n $XVFB_PID ]] && kill -0 "$XVFB_PID" 2>/dev/null; }

stop_xvfb() {
    kill -TERM "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=""
}
# Kills what this script started, by pid only: the programs still running
# and the X server.
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
        while ((SECONDS < deadline)) && xvfb_running; do
            if [[ "$(cat "$ROOT/display")" == "$display" ]]; then
                export DISPLAY=":$display"
                return 0
            fi
            sleep 0.05
        done
        stop_xvfb
    done
    echo "Xvfb did not start:" >&2
    cat "$ROOT/xvfb.log" >&2
    return 1
}

# --- Helpers for the cases -----------------------------------------------------
# A case runs in a subshell; fail prints why and ends that subshell.

MAIN_TITLE="ヌピカ貯めよう！"
SCHEDULE_TITLE="ヌピカ始めてみよう！"
CONFIRM_TITLE="削除確認"
LEDGER="ヒビノボリ.txt"
GOAL="目標ヒビノボリ.txt"

fail() {
    echo "    $*"
    xvfb_running || echo "    (the X server on $DISPLAY has gone)"
    app_running && echo "    windows up: $(windows | tr '\n' ';')"
    if [[ -s $CASE_DIR/app.log ]]; then
        echo "    program output:"
        sed 's/^/      /' "$CASE_DIR/app.log" | head -n 40
    fi
    exit 1
}

# Polls a command until it succeeds or the seconds run out.
wait_until() {
    local deadline=$(($(date +%s%N) + $1 * 1000000000))
    shift
    until "$@"; do
        (($(date +%s%N) >= deadline)) && return 1
        sleep 0.05
    done
}

# One ledger line as the program writes it: Shift-JIS, CR LF.
ledger_line() { printf '"%s","%s",%s\r\n' "$1" "$2" "$3" | iconv -f UTF-8 -t CP932; }

# new_case NAME [DATE TIME AMOUNT]...: a fresh data directory; with lines,
# a ledger of them there, kept as $CASE_DIR/before to compare with.
new_case() {
    CASE_DIR="$ROOT/$1" DATA="$ROOT/$1/data" LEDGER_PATH="$ROOT/$1/data/$LEDGER"
    shift
    mkdir -p "$DATA"
    : >"$CASE_DIR/empty"
    : >"$CASE_DIR/before"
    while (($# >= 3)); do ledger_line "$1" "$2" "$3" >>"$CASE_DIR/before"; shift 3; done
    [[ ! -s $CASE_DIR/before ]] || cp "$CASE_DIR/before" "$LEDGER_PATH"
}

# Starts the program in $DATA under the clock settings given. Only the clock
# is faked: file times stay true (NO_FAKE_STAT), or fontconfig would take its
# caches for stale, rescan every font at each start and rewrite the system's
# cache with the faked times.
launch() {
    mkdir -p "$CASE_DIR/runtime" && chmod 700 "$CASE_DIR/runtime"
    APP_LAUNCHED_AT=$(date +%s)
    (
        cd "$DATA" || exit 1
        exec env -u FAKETIME -u FAKETIME_TIMESTAMP_FILE LANG=C.UTF-8 LC_ALL=C.UTF-8 \
            QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$CASE_DIR/runtime" HOME="$ROOT/home" \
            FAKETIME_DONT_FAKE_MONOTONIC=1 DONT_FAKE_MONOTONIC=1 NO_FAKE_STAT=1 \
            LD_PRELOAD="$PRELOAD" "$@" "$APP"
    ) >"$CASE_DIR/app.log" 2>&1 &
    APP_PID=$!
    echo "$APP_PID" >>"$ROOT/app-pids"
}

# Waits for the main window (MAIN), then for the schedule window or a
# message box when $1 names one (FOUND); else nothing but the main window
# may be up. A box that opens after this look is still caught: it would
# block the clicks and the exit that follow.
await_start() {
    await_window "the main window" "$MAIN_TITLE" 631x452
    MAIN=$FOUND
    case ${1:-} in
        schedule) await_window "the schedule window" "$SCHEDULE_TITLE" 481x249 ;;
        box) await_window "a message box" "$MAIN_TITLE" box ;;
        *) only_main_window || fail "a window other than the main one is up" ;;
    esac
}

# start_app LOCAL_TIME [schedule|box]: the clock runs on from that time.
start_app() {
    launch FAKETIME="@$1"
    await_start "${2:-}"
}

# Moves the clock of a program started on FAKETIME_TIMESTAMP_FILE=$CLOCK_FILE,
# which holds "YYYY-MM-DD hh:mm:ss": the clock stays there until changed.
set_clock() { printf '%s\n' "$1" >"$CLOCK_FILE.new" && mv -f "$CLOCK_FILE.new" "$CLOCK_FILE"; }

# Running: neither gone nor a zombie waiting to be reaped.
app_running() {
    local stat
    [[ -n $APP_PID ]] && stat=$(cat "/proc/$APP_PID/stat" 2>/dev/null) && [[ ! $stat =~ ^[0-9]+\ \(.*\)\ Z ]]
}

app_ended() { ! app_running; }

# The program's mapped windows, one "id|type|WxH|name" a line, the type as
# the first one it asks for (Normal, Dialog, ...). Tooltips are left out:
# they come and go with the mouse. One xwininfo a window: the machine may be
# busy, and this runs in every poll.
windows() {
    local id
    app_running || return 0
    for id in $(xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null); do
        xwininfo -id "$id" -stats -wm 2>/dev/null | awk -v id="$id" '
            /Window id: / { name = $0; sub(/^[^"]*"/, "", name); sub(/"$/, "", name) }
            /Width: / { width = $NF }
            /Height: / { height = $NF }
            /Map State: IsViewable/ { mapped = 1 }
            type == "next" { type = $1 }
            /Window type:/ { type = "next" }
            END { if (mapped && width && height && type != "Tooltip") printf "%s|%s|%sx%s|%s\n", id, type, width, height, name }'
    done
}

# Finds a mapped window of that title and size ("" for any size; "box" for
# any window of that title but the main window) and sets FOUND to its id.
# Qt adds " — <program title>" to the titles of the other windows.
find_window() {
    local title=$1 size=$2 id type geometry name
    while IFS='|' read -r id type geometry name; do
        [[ -n $id && ($name == "$title" || $name == "$title — $MAIN_TITLE") ]] || continue
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

# Waits for a window; sets FOUND.
await_window() {
    local what=$1
    shift
    wait_until 20 find_window "$@" || fail "$what did not appear"
}

only_main_window() {
    local list
    list=$(windows)
    [[ $(grep -c . <<<"$list") == 1 && $list == "$MAIN|"* ]]
}

# Presses a key in the window FOUND; then only the main window may be left.
dismiss() {
    keys_to "$FOUND" "$1"
    wait_until 10 only_main_window || fail "$1 did not close $2"
}

# Clicks at window coordinates, then takes the mouse off the program's
# windows so that no tooltip opens.
click() {
    xdotool mousemove --window "$1" "$2" "$3" click 1 mousemove 0 0 || fail "xdotool could not click in window $1"
}

# The buttons across the top, by their client x; each is 56×66 from y 5.
click_deposit() { click "$MAIN" 373 38; }
click_reset() { click "$MAIN" 428 38; }
click_goal_box() { click "$MAIN" 573 162; }

# Gives the keyboard focus to a window and presses keys there.
keys_to() {
    local window=$1
    shift
    timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null || fail "could not focus window $window"
    xdotool key --clearmodifiers "$@" || fail "xdotool could not press $*"
}

# Clicks 終了; the program must end with status 0 having written nothing on
# its output: no Qt warning, no sanitizer report.
exit_app() {
    click "$MAIN" 593 38
    wait_until 15 app_ended || fail "the program did not end after 終了"
    local status=0 noise
    wait "$APP_PID" || status=$?
    APP_PID=""
    ((status == 0)) || fail "the program ended with status $status"
    noise=$(grep -v -e '^$' "$CASE_DIR/app.log")
    [[ -z $noise ]] || fail "the program reported: $noise"
}

same_bytes() { [[ -f $2 ]] && cmp -s "$1" "$2"; }

expect_bytes() {
    local what=$1 expected=$2 actual=$3
    same_bytes "$expected" "$actual" && return
    echo "    $what: expected bytes:"
    od -An -c "$expected" | sed 's/^/      /'
    echo "    actual bytes:"
    if [[ -f $actual ]]; then od -An -c "$actual" | sed 's/^/      /'; else echo "      (no file)"; fi
    fail "$what differs"
}

# finish EXPECTED_LEDGER [FILE...]: exits, then checks the ledger byte for
# byte and that the data directory holds exactly those files (the ledger
# alone by default): no stray or temporary files.
finish() {
    local expected actual
    exit_app
    expect_bytes "ledger after exit" "$1" "$LEDGER_PATH"
    shift
    (($#)) || set -- "${LEDGER_PATH##*/}"
    expected=$(printf '%s\n' "$@" | sort)
    actual=$(find "$DATA" -mindepth 1 -maxdepth 1 -printf '%f\n' | sort)
    [[ $expected == "$actual" ]] ||
        fail "files in the directory: expected [$(tr '\n' ' ' <<<"$expected")], found [$(tr '\n' ' ' <<<"$actual")]"
}

empty_file() { [[ -f $1 && ! -s $1 ]]; }
file_has_lines() { [[ -f $1 ]] && (($(tr -cd '\n' <"$1" | wc -c) >= $2)); }

# deposit BASE DATE START_TIME AMOUNT: presses deposit; the ledger must be
# the bytes of BASE plus one line of that date text and amount, its time
# between the faked start and now. The new ledger is kept as $CASE_DIR/after.
deposit() {
    local base=$1 date=$2 start=$3 amount=$4 last t t0 elapsed
    click_deposit
    wait_until 10 file_has_lines "$LEDGER_PATH" $(($(tr -cd '\n' <"$base" | wc -c) + 1)) ||
        fail "the deposit wrote no new line"
    last=$(tail -c +$(($(stat -c %s "$base") + 1)) "$LEDGER_PATH" | iconv -f CP932 -t UTF-8 2>/dev/null) ||
        fail "the new ledger line is not Shift-JIS"
    [[ $last =~ ^\"$date\",\"([0-2][0-9]:[0-5][0-9]:[0-5][0-9])\",$amount$'\r'$ ]] ||
        fail "new ledger line [$(printf '%q' "$last")] is not \"$date\",\"hh:mm:ss\",$amount CR LF"
    local time=${BASH_REMATCH[1]}
    t=$(date -u -d "1970-01-01 $time" +%s) t0=$(date -u -d "1970-01-01 $start" +%s)
    elapsed=$(($(date +%s) - APP_LAUNCHED_AT + 1))
    ((t >= t0 && t <= t0 + elapsed)) || fail "deposit time $time is not within ${elapsed}s after the faked start $start"
    { cat "$base"; ledger_line "$date" "$time" "$amount"; } >"$CASE_DIR/after"
    expect_bytes "ledger" "$CASE_DIR/after" "$LEDGER_PATH"
}

# --- The cases -----------------------------------------------------------------

# First run in an empty directory: the schedule window opens over the main
# window and keeps it from taking clicks; Return closes it; one deposit of 1.
case_first_run() {
    new_case first_run
    start_app "2009-04-05 08:30:00" schedule
    click_deposit  # must not deposit: the schedule window is modal
    dismiss Return "the schedule window"
    [[ ! -s $LEDGER_PATH ]] || fail "the ledger has content before any deposit: the click went through"
    # 08:30 in Japan is still the 4th in UTC: the date must be the local one.
    deposit "$CASE_DIR/empty" "2009年04月05日" "08:30:00" 1
    only_main_window || fail "a window opened on the deposit"
    click_deposit  # a second press the same day records nothing more
    finish "$CASE_DIR/after"
}

# The schedule window's button has the focus: Space closes it too. Leaving
# without a deposit records nothing and writes no goal.
case_first_run_space() {
    new_case first_run_space
    start_app "2009-04-05 21:05:33" schedule
    dismiss space "the schedule window"
    exit_app
    [[ ! -e $LEDGER_PATH ]] || expect_bytes "ledger" "$CASE_DIR/empty" "$LEDGER_PATH"
    [[ ! -e $DATA/$GOAL ]] || fail "a goal file was written"
}

# Missed days: 1 and 2 April recorded, started on the 5th: 5 for today and
# 3 + 4 of arrears make 12, appended after the two old lines untouched.
case_arrears() {
    new_case arrears "2009年04月01日" "21:00:00" 1 "2009年04月02日" "07:15:09" 2
    start_app "2009-04-05 21:05:33"
    deposit "$CASE_DIR/before" "2009年04月05日" "21:05:33" 12
    finish "$CASE_DIR/after"
}

# Already deposited today: the deposit button records nothing. Exit is
# handled after the clicks, so the file is final once the program ends.
case_deposited_today() {
    new_case deposited_today "2009年04月04日" "22:00:00" 1 "2009年04月05日" "06:00:00" 2
    start_app "2009-04-05 21:05:33"
    click_deposit
    click_deposit
    finish "$CASE_DIR/before"
}

# Reset: Escape answers Cancel and keeps the ledger; Return answers OK and
# empties it; the next deposit starts again at 1 without the schedule window.
case_reset() {
    new_case reset "2009年04月01日" "21:00:00" 1 "2009年04月02日" "21:00:00" 2 "2009年04月03日" "21:00:00" 3
    start_app "2009-04-05 21:05:33"
    click_reset
    await_window "the confirmation box" "$CONFIRM_TITLE" ""
    dismiss Escape "the confirmation box"
    expect_bytes "ledger after Cancel" "$CASE_DIR/before" "$LEDGER_PATH"
    click_reset
    await_window "the confirmation box" "$CONFIRM_TITLE" ""
    dismiss Return "the confirmation box"
    wait_until 10 empty_file "$LEDGER_PATH" ||
        fail "the ledger is not empty after OK ($(stat -c %s "$LEDGER_PATH" 2>/dev/null) bytes)"
    deposit "$CASE_DIR/empty" "2009年04月05日" "21:05:33" 1
    finish "$CASE_DIR/after"
}

# Goal: 12.5 + Return is saved as typed; after a restart the box shows the
# rounded 12 (Return there saves what the box shows) and the file is kept.
case_goal() {
    new_case goal "2009年04月04日" "21:00:00" 1
    printf '12.5\r\n' >"$CASE_DIR/goal-12.5"
    printf '12\r\n' >"$CASE_DIR/goal-12"
    start_app "2009-04-05 21:05:33"
    [[ ! -e $DATA/$GOAL ]] || fail "the goal file was written before any goal was typed"
    click_goal_box
    keys_to "$MAIN" ctrl+a BackSpace 1 2 period 5 Return
    wait_until 10 same_bytes "$CASE_DIR/goal-12.5" "$DATA/$GOAL"
    expect_bytes "goal file after 12.5 Return" "$CASE_DIR/goal-12.5" "$DATA/$GOAL"
    only_main_window || fail "a window opened on Return"
    exit_app
    expect_bytes "goal file after exit" "$CASE_DIR/goal-12.5" "$DATA/$GOAL"

    start_app "2009-04-05 21:07:00"
    expect_bytes "goal file after the restart" "$CASE_DIR/goal-12.5" "$DATA/$GOAL"
    # Return saves the box's text as it is: "12" shows the box holds 12.
    click_goal_box
    keys_to "$MAIN" End Return
    wait_until 10 same_bytes "$CASE_DIR/goal-12" "$DATA/$GOAL"
    expect_bytes "goal file after Return on the restored box (should hold 12)" "$CASE_DIR/goal-12" "$DATA/$GOAL"
    # Text that is not a number, or a goal beyond 32766 days, saves nothing.
    keys_to "$MAIN" ctrl+a BackSpace a b c Return ctrl+a BackSpace 4 0 0 0 0 Return
    finish "$CASE_DIR/before" "$LEDGER" "$GOAL"
    expect_bytes "goal file after rejected entries" "$CASE_DIR/goal-12" "$DATA/$GOAL"
}

# A ledger with a line that cannot be read: a box says so at start-up; the
# file is never changed, and the deposit button does nothing.
case_unreadable_ledger() {
    new_case unreadable_ledger "2009年04月01日" "21:00:00" 1 "2009年04月02日" "21:00:00" 2
    sed -i '1a garbage\r' "$CASE_DIR/before"
    cp "$CASE_DIR/before" "$LEDGER_PATH"
    start_app "2009-04-05 21:05:33" box
    ! find_window "$SCHEDULE_TITLE" "" || fail "the schedule window opened for an unreadable ledger"
    expect_bytes "ledger at start-up" "$CASE_DIR/before" "$LEDGER_PATH"
    dismiss Return "the message box about the ledger"
    expect_bytes "ledger after the box" "$CASE_DIR/before" "$LEDGER_PATH"
    click_deposit
    finish "$CASE_DIR/before"
}

# The clock behind the last deposit: a box says so and no deposit is taken.
case_clock_behind() {
    new_case clock_behind "2009年04月05日" "21:00:00" 1 "2009年04月06日" "21:00:00" 2
    start_app "2009-04-05 21:05:33" box
    dismiss Return "the message box about the clock"
    click_deposit
    finish "$CASE_DIR/before"
}

# A ledger named with an upper-case extension is used and keeps its name.
case_upper_case_name() {
    new_case upper_case_name "2009年04月04日" "21:00:00" 1
    mv "$LEDGER_PATH" "$DATA/ヒビノボリ.TXT"
    LEDGER_PATH="$DATA/ヒビノボリ.TXT"
    start_app "2009-04-05 21:05:33"
    deposit "$CASE_DIR/before" "2009年04月05日" "21:05:33" 2
    finish "$CASE_DIR/after"
}

# The date changes while the program is open: the first press only works out
# the new day's amount again and says so; the second records it: day 3 on
# the 6th, 3, and the 5th's 2 in arrears.
case_date_changes() {
    new_case date_changes "2009年04月04日" "21:00:00" 1
    CLOCK_FILE="$CASE_DIR/clock"
    set_clock "2009-04-05 23:59:00"
    launch FAKETIME_TIMESTAMP_FILE="$CLOCK_FILE" FAKETIME_NO_CACHE=1
    await_start
    set_clock "2009-04-06 00:00:30"
    click_deposit
    await_window "the notice that the day changed" "$MAIN_TITLE" box
    expect_bytes "ledger after the first press" "$CASE_DIR/before" "$LEDGER_PATH"
    dismiss Return "the notice"
    click_deposit
    wait_until 10 file_has_lines "$LEDGER_PATH" 2 || fail "the second press wrote nothing"
    { cat "$CASE_DIR/before"; ledger_line "2009年04月06日" "00:00:30" 5; } >"$CASE_DIR/expected"
    expect_bytes "ledger" "$CASE_DIR/expected" "$LEDGER_PATH"
    finish "$CASE_DIR/expected"
}

# --- Run -----------------------------------------------------------------------

start_xvfb || setup_failed "no X server"
passed=0
failed=0
started=$SECONDS
took() { echo "$((($(date +%s%N) - case_started) / 1000000)) ms"; }
for name in "${CASES[@]}"; do
    case_started=$(date +%s%N)
    if ! declare -F "case_$name" >/dev/null; then
        why="no such case"
    elif ! xvfb_running && ! { echo "note: the X server on $DISPLAY is gone; starting another"; start_xvfb; }; then
        why="no X server"
    elif (trap 'app_running && kill -KILL "$APP_PID" 2>/dev/null' EXIT; "case_$name"); then
        echo "PASS: $name ($(took))"
        passed=$((passed + 1))
        continue
    else
        why=$(took)
    fi
    echo "FAIL: $name ($why)"
    failed=$((failed + 1))
done
echo "e2e: $((SECONDS - started)) s on display $DISPLAY"
echo "$passed passed, $failed failed"
((failed == 0))
