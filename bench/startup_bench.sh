#!/usr/bin/env bash
# Start-up, memory and deposit benchmark of the real program on its own Xvfb
# display, against a bare Qt window (bench_bare_window) measured in the same
# run. Usage: bench/startup_bench.sh BUILD_DIR [ROUNDS]   (ROUNDS: 15 if unset)
#
# Every round runs each case once, the order rotated round by round so that
# a change in the machine's load falls on all of them alike:
#   bare         the bare window (floor)
#   text         the bare window with one label of Japanese text (reference:
#                what drawing any text at all costs)
#   empty        the program on an empty ledger (first run: the schedule
#                window opens over the main window; the clock stops at the
#                main window's map)
#   full         the program on a 32,766-record ledger (the most it takes),
#                started the day after the last record
#   click_small  a 1-record ledger with a deposit due: start, then a click on
#                the deposit button
#   click_large  a 32,765-record ledger (the most that can still take a
#                deposit) with a deposit due: start, then a click on the
#                deposit button
# All of them run on a session bus started for the run, and under libfaketime
# at 2019-09-17 12:00:00 (the day after the 32,766th record), the monotonic
# clock left alone. File times are not faked
# (NO_FAKE_STAT): libfaketime shifts them by each process's own offset, so
# fontconfig would take its caches for stale and rescan every font at every
# start. Fontconfig reads the system configuration but keeps its caches in a
# directory of this run, built by the untimed first runs, so that processes
# elsewhere on the machine that rewrite the system caches cannot change what
# the timed runs find.
#
# Per run, bench/map_timer.c measures: the time from fork() to the MapNotify
# of the titled top-level window; the peak resident memory (VmHWM) SETTLE_MS
# after the map (1000 if unset); for the click cases, the time from the
# XTEST button press to the ledger file being replaced with a new size.
set -euo pipefail

usage() { echo "usage: $0 BUILD_DIR [ROUNDS]" >&2; exit 2; }
[[ $# -ge 1 && $# -le 2 ]] || usage
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "$1" && pwd)"
rounds="${2:-15}"
[[ "$rounds" =~ ^[0-9]+$ && "$rounds" -ge 1 ]] || usage
settle="${SETTLE_MS:-1000}"
program="$build/src/hibinobori"
bare="$build/bench/bench_bare_window"
faketime_lib=/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1
today="2019-09-17 12:00:00"

for f in "$program" "$bare"; do
    [[ -x "$f" ]] || { echo "no $f; build the targets hibinobori and bench_bare_window" >&2; exit 1; }
done
[[ -r "$faketime_lib" ]] || { echo "no $faketime_lib (apt-get install libfaketime)" >&2; exit 1; }
for tool in Xvfb xdpyinfo cc dbus-daemon; do
    command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 1; }
done

work="$(mktemp -d)"
xvfb_pid=""
bus_pid=""
cleanup() {
    [[ -n "$bus_pid" ]] && kill "$bus_pid" 2>/dev/null || true
    if [[ -n "$xvfb_pid" ]]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# The timer, built fresh from its source.
cc -O2 -o "$work/map_timer" "$root/bench/map_timer.c" -lXtst -lX11 ||
    { echo "cannot build map_timer (needs libx11-dev and libxtst-dev)" >&2; exit 1; }

# A display of our own.
display=""
for n in $(seq 140 199); do
    [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        kill -0 "$xvfb_pid" 2>/dev/null || break
        DISPLAY=":$n" xdpyinfo >/dev/null 2>&1 && { display=":$n"; break; }
        sleep 0.05
    done
    [[ -n "$display" ]] && break
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
done
[[ -n "$display" ]] || { echo "no free X display" >&2; exit 1; }

# A session bus of our own, as every desktop session has one. Without it,
# each Qt program's first accessibility event forks a helper in the hope of
# starting a bus, which no user's desktop pays.
bus_info="$(dbus-daemon --session --address="unix:path=$work/bus" --fork --nopidfile \
    --print-address=1 --print-pid=1)" ||
    { echo "cannot start a session bus" >&2; exit 1; }
bus_address="$(sed -n 1p <<<"$bus_info")"
bus_pid="$(sed -n 2p <<<"$bus_info")"

# Ledgers: one record a day from 1930-01-01, the Nth record N yen, in cp932
# (年 94 4E, 月 8C 8E, 日 93 FA) with CR LF.
ledger_name="ヒビノボリ.txt"
seq 0 32765 | sed 's/.*/1930-01-01 +& days/' | LC_ALL=C date -f - +'%Y %m %d' |
    LC_ALL=C awk '{ printf "\"%s\224N%s\214\216%s\223\372\",\"07:30:15\",%d\r\n", $1, $2, $3, NR }' \
        >"$work/ledger_32766"
head -n 32765 "$work/ledger_32766" >"$work/ledger_32765"
LC_ALL=C printf '"2019\224N09\214\21616\223\372","07:30:15",1\r\n' >"$work/ledger_1"
[[ "$(wc -l <"$work/ledger_32766")" -eq 32766 ]] || { echo "ledger generation failed" >&2; exit 1; }
[[ "$(tail -n 1 "$work/ledger_32766" | iconv -f CP932 -t UTF-8 | tr -d '\r')" == \
   '"2019年09月16日","07:30:15",32766' ]] || { echo "unexpected last record" >&2; exit 1; }

# The system font configuration with the caches moved to our directory.
sed -e 's|<cachedir[^>]*>[^<]*</cachedir>||' \
    -e "s|</fontconfig>|<cachedir>$work/fontconfig</cachedir></fontconfig>|" \
    -e 's|<include ignore_missing="yes">conf.d</include>|<include ignore_missing="yes">/etc/fonts/conf.d</include>|' \
    /etc/fonts/fonts.conf >"$work/fonts.conf"
mkdir -m 700 "$work/runtime"

cases=(bare text empty full click_small click_large)
main_title="ヌピカ貯めよう！"
mkdir -p "$work/run"

# Runs one case once; prints map_timer's line.
run_case() {
    local dir="$work/run/$1"
    rm -rf "$dir"
    mkdir -p "$dir"
    local -a timer=("$work/map_timer" --settle "$settle" --timeout 60000 --preload "$faketime_lib")
    case "$1" in
        bare) timer+=(--title "空のウィンドウ" -- "$bare") ;;
        text) timer+=(--title "空のウィンドウ" -- "$bare" --text) ;;
        empty) timer+=(--title "$main_title" -- "$program") ;;
        full)
            cp "$work/ledger_32766" "$dir/$ledger_name"
            timer+=(--title "$main_title" -- "$program") ;;
        click_small | click_large)
            if [[ $1 == click_small ]]; then cp "$work/ledger_1" "$dir/$ledger_name"
            else cp "$work/ledger_32765" "$dir/$ledger_name"; fi
            timer+=(--title "$main_title" --click 373,38 --watch "$dir/$ledger_name" -- "$program") ;;
    esac
    (
        cd "$dir"
        export DISPLAY="$display" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime"
        export FONTCONFIG_FILE="$work/fonts.conf" NO_FAKE_STAT=1
        export DBUS_SESSION_BUS_ADDRESS="$bus_address"
        export FAKETIME="@$today" FAKETIME_DONT_FAKE_MONOTONIC=1
        "${timer[@]}" 2>>"$work/errors.log" ||
            { echo "run of $1 failed:" >&2; tail -n 3 "$work/errors.log" >&2; exit 1; }
    ) </dev/null
    # The deposit is one more line, dated the faked day.
    if [[ $1 == click_* ]]; then
        local lines had last
        lines=$(($(wc -l <"$dir/$ledger_name")))
        had=$([[ $1 == click_small ]] && echo 1 || echo 32765)
        last="$(tail -n 1 "$dir/$ledger_name" | iconv -f CP932 -t UTF-8)"
        [[ $lines -eq $((had + 1)) && $last == '"2019年09月17日",'* ]] ||
            { echo "the deposit was not recorded as expected ($1): $last" >&2; exit 1; }
    fi
}

label() {
    case "$1" in
        bare) echo "bare window (floor)" ;;
        text) echo "bare window + one label of text" ;;
        empty) echo "program, empty ledger (first run)" ;;
        full) echo "program, 32,766 records" ;;
        click_small) echo "program, 1 record, deposit due" ;;
        click_large) echo "program, 32,765 records, deposit due" ;;
    esac
}
field() { sed -n "s/.*$1=\\([0-9.]*\\).*/\\1/p"; }
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) exit 1; print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
quartiles() { sort -g | awk '{ v[NR] = $1 } END { printf "%.1f–%.1f", v[int((NR + 3) / 4)], v[int((3 * NR + 3) / 4)] }'; }

load_before="$(cut -d' ' -f1-3 /proc/loadavg)"
echo "hibinobori start-up benchmark"
echo "machine     $(nproc) CPUs, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)"
echo "display     $display (Xvfb, 1024x768x24, no window manager)"
echo "session bus $bus_address (dbus-daemon of this run)"
echo "faked date  $today (libfaketime, monotonic clock not faked)"
echo "rounds      $rounds, settle ${settle} ms"
echo "load        $load_before (1, 5, 15 min) at the start"

# One untimed run of each: the caches warm for all alike.
for c in "${cases[@]}"; do run_case "$c" >/dev/null; done

printf '\n%-6s %-12s %10s %10s %10s\n' round case map_ms hwm_MiB click_ms
for ((r = 0; r < rounds; r++)); do
    for ((k = 0; k < ${#cases[@]}; k++)); do
        c="${cases[$(((r + k) % ${#cases[@]}))]}"
        line="$(run_case "$c")"
        echo "$r $c $line" >>"$work/results"
        printf '%-6s %-12s %10s %10.1f %10s\n' "$r" "$c" "$(field map_ms <<<"$line")" \
            "$(awk "BEGIN { print $(field hwm_kib <<<"$line") / 1024 }")" \
            "$(field click_ms <<<"$line")"
    done
done
load_after="$(cut -d' ' -f1-3 /proc/loadavg)"

col() { awk -v c="$1" '$2 == c' "$work/results" | field "$2"; }
bare_map="$(col bare map_ms | median)"
bare_hwm="$(col bare hwm_kib | median)"
# Each round's own ratio, too: it cancels load that changes between rounds.
round_ratio() {
    awk -v c="$1" '$2 == "bare" || $2 == c { match($0, /map_ms=[0-9.]+/); v = substr($0, RSTART + 7, RLENGTH - 7)
        if ($2 == "bare") b[$1] = v; else p[$1] = v }
        END { for (r in p) if (r in b) print p[r] / b[r] }' "$work/results" | median
}

echo
echo "load        $load_after (1, 5, 15 min) at the end"
echo
echo "Start-up: process start to its window mapped (ms, median of $rounds; ratio to the bare window)"
printf '%-44s %9s %13s %7s %13s\n' case median "middle half" ratio "round ratio"
for c in "${cases[@]}"; do
    m="$(col "$c" map_ms | median)"
    printf '%-44s %9.1f %13s %7.2f %13.2f\n' "$(label "$c")" "$m" "$(col "$c" map_ms | quartiles)" \
        "$(awk "BEGIN { print $m / $bare_map }")" \
        "$([[ $c == bare ]] && echo 1 || round_ratio "$c")"
done
echo
echo "Peak resident memory (VmHWM ${settle} ms after the map; MiB, median of $rounds)"
printf '%-44s %9s %12s\n' case MiB "above bare"
for c in "${cases[@]}"; do
    h="$(col "$c" hwm_kib | median)"
    printf '%-44s %9.1f %+12.1f\n' "$(label "$c")" "$(awk "BEGIN { print $h / 1024 }")" \
        "$(awk "BEGIN { print ($h - $bare_hwm) / 1024 }")"
done
echo
echo "Deposit: button press to the ledger replaced on disk (ms, median of $rounds)"
printf '%-44s %9s %13s\n' case median "middle half"
for c in click_small click_large; do
    printf '%-44s %9.1f %13s\n' "$(label "$c")" "$(col "$c" click_ms | median)" "$(col "$c" click_ms | quartiles)"
done

empty_ratio="$(awk "BEGIN { print $(col empty map_ms | median) / $bare_map }")"
full_ratio="$(awk "BEGIN { print $(col full map_ms | median) / $bare_map }")"
full_extra="$(awk "BEGIN { print ($(col full hwm_kib | median) - $bare_hwm) / 1024 }")"
verdict() { awk "BEGIN { exit !($1) }" && echo met || echo missed; }
echo
echo "Goals"
printf 'empty ledger start-up <= 1.3x bare      %5.2fx  %s\n' "$empty_ratio" "$(verdict "$empty_ratio <= 1.3")"
printf '32,766 records start-up <= 1.5x bare    %5.2fx  %s\n' "$full_ratio" "$(verdict "$full_ratio <= 1.5")"
printf '32,766 records memory <= bare + 20 MiB  %+5.1f MiB  %s\n' "$full_extra" "$(verdict "$full_extra <= 20")"
if [[ -s "$work/errors.log" ]]; then
    echo
    echo "stderr of the runs (first lines):"
    sort "$work/errors.log" | uniq -c | sort -rn | head -5
fi
