#!/usr/bin/env bash
# "hibinobori --remind DIR" against a notification service faked on a private
# session bus, without a display: what it notifies, that "開く" starts the
# program in DIR, and that it writes nothing.
#   remind.sh PROGRAM FAKE_NOTIFICATIONS
set -uo pipefail
if [[ -z "${HIBI_PRIVATE_BUS:-}" ]]; then
    HIBI_PRIVATE_BUS=1 exec dbus-run-session -- bash "$0" "$@" 2> >(grep -v 'fd limit' >&2)
fi
program="$1"
fake="$2"
work="$(mktemp -d)"
started=()
trap 'kill "${started[@]}" 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

day() { date -d "today - $1 days" +%Y年%m月%d日; }
# ledger DIR DAYS_AGO...: one deposit on each of those days.
ledger() {
    local dir="$1"
    shift
    mkdir -p "$dir"
    for ago in "$@"; do printf '"%s","07:00:00",%s\r\n' "$(day "$ago")" 1; done |
        iconv -f UTF-8 -t CP932 >"$dir/ヒビノボリ.txt"
}
state() { (cd "$1" && find . -printf '%p %s %T@\n' | sort && cat ./* 2>/dev/null | md5sum); }

# remind MODE DIR [DISPLAY_ENV]: runs the reminder without a display (or with
# DISPLAY_ENV), the fake answering as MODE says.
remind() {
    local mode="$1" dir="$2" display="${3:-}"
    rm -f "$work/log" "$work/log.ready"
    "$fake" "$mode" "$work/log" &
    local fake_pid=$!
    for _ in $(seq 100); do [[ -e "$work/log.ready" ]] && break; sleep 0.05; done
    before="$(state "$dir")"
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM $display timeout 20 "$program" --remind "$dir" \
        >"$work/out" 2>"$work/err"
    status=$?
    kill "$fake_pid"
    wait "$fake_pid" 2>/dev/null
    [[ $status == 0 ]] || fail "$dir: exited $status: $(cat "$work/err")"
    [[ "$(state "$dir")" == "$before" ]] || fail "$dir: the folder changed"
    [[ ! -s "$work/out" ]] || fail "$dir: wrote to stdout: $(cat "$work/out")"
}
notified() { cat "$work/log" 2>/dev/null; }

# Day 436 of a plan, the last deposit three days ago: two days of arrears.
# "開く" starts the program in that folder (offscreen, so that it stays).
ledger "$work/arrears dir" 435 3
remind open "$work/arrears dir" QT_QPA_PLATFORM=offscreen
want="ヌピカ貯めよう！|今日は436円の日です（$(date -d 'today - 2 days' +%-d)日からの滞納金 869円、計 1305円）|open,開く|io.github.hibinobori.Hibinobori"
[[ "$(notified)" == "$want" ]] || fail "arrears: notified '$(notified)', expected '$want'"
opened=""
for _ in $(seq 100); do
    for pid in $(pgrep -x "$(basename "$program")"); do
        [[ "$(readlink "/proc/$pid/cwd")" == "$work/arrears dir" ]] && opened="$pid"
    done
    [[ -n "$opened" ]] && break
    sleep 0.05
done
[[ -n "$opened" ]] && started+=("$opened") || fail "開く started no program in the folder"

# Yesterday's deposit made: today's amount alone; closing the notification ends the wait.
ledger "$work/due" 1
remind close "$work/due"
[[ "$(notified)" == "ヌピカ貯めよう！|今日は2円の日です|open,開く|io.github.hibinobori.Hibinobori" ]] ||
    fail "due: notified '$(notified)'"

# A service without actions: the notification without "開く", and no wait.
remind noactions "$work/due"
[[ "$(notified)" == "ヌピカ貯めよう！|今日は2円の日です||io.github.hibinobori.Hibinobori" ]] ||
    fail "no actions: notified '$(notified)'"

# Today's deposit made: nothing at all.
ledger "$work/done" 2 1 0
remind keep "$work/done"
[[ -z "$(notified)" && ! -s "$work/err" ]] || fail "done: notified '$(notified)' $(cat "$work/err")"

# Unreadable, missing, and a folder that does not exist: one line on stderr, nothing shown.
mkdir -p "$work/bad" "$work/empty"
printf 'not a ledger\r\n' >"$work/bad/ヒビノボリ.txt"
for dir in "$work/bad" "$work/empty"; do
    remind keep "$dir"
    [[ -z "$(notified)" && "$(wc -l <"$work/err")" == 1 ]] ||
        fail "$dir: notified '$(notified)', stderr '$(cat "$work/err")'"
done
[[ ! -e "$work/empty/ヒビノボリ.txt" ]] || fail "a ledger was made"

((failures == 0)) || { echo "$failures check(s) failed" >&2; exit 1; }
echo "remind OK"
