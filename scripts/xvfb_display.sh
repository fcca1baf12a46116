# Sourced by the picture scripts. start_xvfb FIRST LAST SIZE starts Xvfb on
# the first free display from FIRST to LAST with a screen of SIZE (WxH),
# exports DISPLAY and sets xvfb_pid; wait_for_display waits until it answers.
start_xvfb() {
    local n
    DISPLAY=""
    for n in $(seq "$1" "$2"); do
        if [[ ! -e /tmp/.X11-unix/X$n && ! -e /tmp/.X$n-lock ]]; then DISPLAY=":$n"; break; fi
    done
    [[ -n "$DISPLAY" ]] || { echo "no free X display" >&2; exit 1; }
    Xvfb "$DISPLAY" -screen 0 "$3x24" -nolisten tcp -noreset >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY
}

wait_for_display() {
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
}
