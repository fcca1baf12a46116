#!/usr/bin/env bash
# Starts the installed program (the package installed in /usr) under Xvfb with
# Qt's own choice of platform plugin (xcb), once as `hibinobori` and once
# through the installed menu entry, each in a new temporary HOME and started
# from another directory, and checks that it is still running after 2 seconds
# with a window on the screen. Through the menu entry it must run in HOME.
#   smoke_installed.sh APP_ID [SCREENSHOT.png]
# Needs xvfb-run (xvfb, xauth), xdotool and xprop (x11-utils); uses
# `gio launch` (libglib2.0-bin) for the menu entry when it is there, and
# `import` (imagemagick) for the screenshot.
set -euo pipefail
app_id="$1"
shot="${2:-}"
if [[ "${HIBI_SMOKE_INSIDE_X:-}" != 1 ]]; then
    HIBI_SMOKE_INSIDE_X=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
unset QT_QPA_PLATFORM
entry="/usr/share/applications/$app_id.desktop"
program="$(readlink -f "$(command -v hibinobori)")"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
work="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

# Waits until the process shows a window, then until it has run for 2 seconds;
# prints what it found. $1 pid, $2 what for the messages.
watch_program() {
    local pid="$1" what="$2" window=""
    local started=$SECONDS
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || break
        window="$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n 1 || true)"
        [[ -n "$window" ]] && break
        sleep 0.1
    done
    while ((SECONDS - started < 2)); do sleep 0.2; done
    sleep 1
    if ! kill -0 "$pid" 2>/dev/null; then
        fail "$what: the program is not running 2 seconds after it started"
        return
    fi
    if [[ -z "$window" ]]; then
        fail "$what: the program runs but shows no window"
        return
    fi
    echo "$what: pid $pid running after 2 s, window $window" \
         "\"$(xdotool getwindowname "$window")\"," \
         "$(xprop -id "$window" WM_CLASS | sed 's/^WM_CLASS(STRING) = /WM_CLASS /')"
}

# 1. As a command, from another directory.
mkdir -p "$work/home1" "$work/start1"
(cd "$work/start1" && HOME="$work/home1" exec hibinobori) >"$work/direct.log" 2>&1 &
pids+=($!)
watch_program "$!" "hibinobori"
if [[ -n "$shot" ]] && command -v import >/dev/null; then
    import -window root "$shot" && echo "screenshot: $shot"
fi
kill "${pids[0]}" 2>/dev/null || true
wait "${pids[0]}" 2>/dev/null || true
if [[ -s "$work/direct.log" ]]; then
    echo "its output:"; sed 's/^/  /' "$work/direct.log"
fi

# 2. Through the menu entry, from another directory: it must run in HOME.
mkdir -p "$work/home2" "$work/start2"
token="hibi-smoke-$$-$RANDOM"
if command -v gio >/dev/null; then
    how="gio launch $entry"
    (cd "$work/start2" && HOME="$work/home2" HIBI_SMOKE_TOKEN="$token" gio launch "$entry") \
        >"$work/entry.log" 2>&1 || fail "gio launch failed: $(cat "$work/entry.log")"
else
    exec_line="$(sed -n 's/^Exec=//p' "$entry" | head -n 1 | sed -E 's/%[fFuUdDnNickvm]//g')"
    how="Exec=$exec_line"
    read -ra words <<<"$exec_line"
    (cd "$work/start2" && HOME="$work/home2" HIBI_SMOKE_TOKEN="$token" exec "${words[@]}") \
        >"$work/entry.log" 2>&1 &
fi
# The launcher may have been started by another process: find the program by
# the variable only this start carries.
entry_pid=""
for _ in $(seq 100); do
    for environ in /proc/[0-9]*/environ; do
        pid="${environ#/proc/}"; pid="${pid%/environ}"
        if [[ "$(readlink -f "/proc/$pid/exe" 2>/dev/null)" == "$program" ]] &&
           tr '\0' '\n' <"$environ" 2>/dev/null | grep -qx "HIBI_SMOKE_TOKEN=$token"; then
            entry_pid="$pid"
        fi
    done
    [[ -n "$entry_pid" ]] && break
    sleep 0.1
done
if [[ -z "$entry_pid" ]]; then
    fail "the menu entry ($how) started no $program; output: $(cat "$work/entry.log")"
else
    pids+=("$entry_pid")
    cwd="$(readlink -f "/proc/$entry_pid/cwd")"
    home2="$(cd "$work/home2" && pwd -P)"
    if [[ "$cwd" == "$home2" ]]; then
        echo "menu entry ($how): runs in HOME ($cwd)"
    else
        fail "menu entry ($how): runs in $cwd, not in HOME $home2"
    fi
    watch_program "$entry_pid" "menu entry"
    [[ -z "$(ls -A "$work/start2")" ]] ||
        fail "files appeared in the directory the menu entry was started from: $(ls -A "$work/start2")"
    echo "files in HOME after the start: $(cd "$work/home2" && ls -A | tr '\n' ' ')"
fi

if ((failures)); then
    echo "smoke test: $failures check(s) failed" >&2
    exit 1
fi
echo "smoke test OK"
