#!/usr/bin/env bash
# Runs one test program of the Windows build under Wine, as CTest's emulator.
# A QtTest program's report does not come through Wine's standard output: it
# is written to a file and shown from there. The exit code is the program's
# (for QtTest, the number of failed tests). A run that hangs is stopped.
set -uo pipefail
program="$1"
shift
report="$(mktemp /tmp/hibi-wine-report.XXXXXX)"
trap 'rm -f "$report"' EXIT
if (($# == 0)); then
    timeout "${HIBI_WINE_TEST_TIMEOUT:-300}" wine "$program" -o "$(winepath -w "$report"),txt" \
        </dev/null
    status=$?
    cat "$report"
else
    # The fuzz corpus replay: a folder, which Wine reads through drive Z:.
    args=()
    for arg in "$@"; do
        [[ -e $arg ]] && arg="$(winepath -w "$arg")"
        args+=("$arg")
    done
    timeout "${HIBI_WINE_TEST_TIMEOUT:-300}" wine "$program" "${args[@]}" </dev/null
    status=$?
fi
((status == 124)) && echo "wine-test: $(basename "$program") timed out" >&2
exit "$status"
