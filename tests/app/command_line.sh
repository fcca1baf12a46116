#!/usr/bin/env bash
# Runs the real program with command lines and environments it must answer
# without opening a window: exit code, what it prints, and that it leaves the
# directory it was started in untouched (no ledger file appears).
#   command_line.sh PROGRAM VERSION
set -uo pipefail
program="$1"
version="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# run DISPLAY_ENV EXPECTED_EXIT ARGS...: DISPLAY_ENV is "none" (no display at
# all), "offscreen" (a display Qt could open, so that an argument the program
# wrongly ignored would start the window and be stopped by the timeout instead),
# or NAME=VALUE (a display or platform that is named but cannot be opened).
run() {
    local display="$1" want="$2"
    shift 2
    local env_args=(-u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
    [[ "$display" == offscreen ]] && env_args+=(QT_QPA_PLATFORM=offscreen)
    [[ "$display" == *=* ]] && env_args+=("$display")
    rm -rf "$work/cwd" && mkdir "$work/cwd"
    (cd "$work/cwd" && exec env "${env_args[@]}" timeout 10 "$program" "$@") \
        >"$work/out" 2>"$work/err"
    status=$?
    what="'$*' ($display)"
    [[ $status == "$want" ]] || fail "$what exited $status, expected $want; stderr: $(cat "$work/err")"
    [[ -z "$(ls -A "$work/cwd")" ]] || fail "$what wrote $(ls -A "$work/cwd")"
}
has_usage() { grep -q -- '--help' "$1" && grep -q -- '--version' "$1" && grep -q '^使い方:' "$1" &&
    grep -q '^Usage:' "$1"; }

for display in none offscreen; do
    for option in --help -h; do
        run "$display" 0 "$option"
        has_usage "$work/out" || fail "'$option' printed no usage: $(cat "$work/out")"
        [[ ! -s "$work/err" ]] || fail "'$option' wrote to stderr: $(cat "$work/err")"
    done
    for option in --version -v; do
        run "$display" 0 "$option"
        [[ "$(cat "$work/out")" == "hibinobori $version" ]] || fail "'$option' printed '$(cat "$work/out")'"
    done
    # Unknown options, one of Qt's own, and a file name given as if to open it.
    for args in --frob -x -platform ヒビノボリ.txt '--help=x' '-- --help'; do
        read -ra words <<<"$args"
        run "$display" 2 "${words[@]}"
        first="$(head -n 1 "$work/err")"
        [[ "$first" == "hibinobori: "*": ${words[0]}" ]] || fail "'$args': first line '$first'"
        has_usage "$work/err" || fail "'$args': no usage on stderr"
        [[ ! -s "$work/out" ]] || fail "'$args' wrote to stdout: $(cat "$work/out")"
    done
done

# No display and no arguments: one line, exit 1, no abort.
run none 1
[[ "$(wc -l <"$work/err")" == 1 && ! -s "$work/out" ]] || fail "no display: printed $(cat "$work/err")"

# A display that is named but does not answer, a platform that does not
# exist: the same one line in both languages and exit 1, never an abort.
dead=99
while [[ -e /tmp/.X11-unix/X$dead || -e /tmp/.X$dead-lock ]]; do dead=$((dead + 1)); done
for display in "DISPLAY=:$dead" WAYLAND_DISPLAY=nowhere QT_QPA_PLATFORM=nowhere; do
    run "$display" 1
    [[ "$(wc -l <"$work/err")" == 1 && ! -s "$work/out" ]] &&
        grep -q '起動できません / cannot start: .*'"$display" "$work/err" ||
        fail "$display: printed $(cat "$work/err")"
done

# No arguments with a display: the window starts as before and keeps running
# until stopped; it makes its ledger file at start-up.
rm -rf "$work/cwd" && mkdir "$work/cwd"
(cd "$work/cwd" && QT_QPA_PLATFORM=offscreen exec timeout 3 "$program") >"$work/out" 2>&1
status=$?
[[ $status == 124 ]] || fail "no arguments, offscreen: exited $status: $(cat "$work/out")"
[[ -e "$work/cwd/ヒビノボリ.txt" ]] || fail "no arguments, offscreen: no ledger file made"

((failures == 0)) || { echo "$failures check(s) failed" >&2; exit 1; }
echo "command line OK"
