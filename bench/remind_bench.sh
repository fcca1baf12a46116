#!/usr/bin/env bash
# The daily reminder's whole run, "hibinobori --remind DIR", timed from
# start to exit over ledgers of 32,766 records (the most a ledger holds), on
# a private session bus whose stand-in notification service
# (tests/app/fake_notifications) closes each notification as it comes, so
# that the run ends as soon as the notification is out.
#   done     today's deposit made: read, decide, exit
#   due      yesterday's made: read, decide, notify, exit
#   version  "hibinobori --version": the floor of starting the program at all
#   empty    an empty ledger, due
# Usage: bench/remind_bench.sh BUILD_DIR [ROUNDS]   (ROUNDS: 30 if unset)
set -euo pipefail
[[ $# -ge 1 ]] || { echo "usage: $0 BUILD_DIR [ROUNDS]" >&2; exit 2; }
build="$(cd "$1" && pwd)"
rounds="${2:-30}"
if [[ -z "${HIBI_PRIVATE_BUS:-}" ]]; then
    HIBI_PRIVATE_BUS=1 exec dbus-run-session -- bash "$0" "$build" "$rounds" 2>/dev/null
fi
program="$build/src/hibinobori"
work="$(mktemp -d)"
"$build/tests/app/fake_notifications" close "$work/log" &
fake=$!
trap 'kill "$fake"; rm -rf "$work"' EXIT
for _ in $(seq 100); do [[ -e "$work/log.ready" ]] && break; sleep 0.05; done

python3 - "$work" <<'PY'
import datetime, os, sys
work, today = sys.argv[1], datetime.date.today()
def ledger(name, last):
    os.mkdir(os.path.join(work, name))
    first = last - datetime.timedelta(days=32765)
    with open(os.path.join(work, name, "ヒビノボリ.txt"), "wb") as f:
        for i in range(32766):
            day = first + datetime.timedelta(days=i)
            f.write(f'"{day:%Y年%m月%d日}","20:10:05",{i + 1}\r\n'.encode("cp932"))
ledger("done", today)
ledger("due", today - datetime.timedelta(days=1))
os.mkdir(os.path.join(work, "empty"))
open(os.path.join(work, "empty", "ヒビノボリ.txt"), "wb").close()
PY

# One run: its wall time and its processor time (user and system), in
# seconds, appended to $work/$1.times. On a busy machine the wall time waits
# for the processor; the processor time does not.
run() {
    local args=(--remind "$work/$1")
    [[ "$1" == version ]] && args=(--version)
    /usr/bin/time -f '%e %U %S' -a -o "$work/$1.times" "$program" "${args[@]}" >/dev/null ||
        { echo "run in $1 failed" >&2; exit 1; }
}
for _ in 1 2; do run done; run due; done  # warm the caches
rm -f "$work"/*.times
for _ in $(seq "$rounds"); do
    for kind in version empty done due; do run "$kind"; done
done
notified=$(wc -l <"$work/log")
echo "remind, $rounds rounds, median (min-max) in ms; $notified notifications; load: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "  case       wall                 processor"
# median (min-max) of a column of numbers
summary() { sort -n | awk '{v[NR]=$1} END {printf "%6.0f (%4.0f-%4.0f)", v[int((NR+1)/2)], v[1], v[NR]}'; }
for kind in version empty done due; do
    printf '  %-8s %s   %s\n' "$kind" \
        "$(awk '{print $1 * 1000}' "$work/$kind.times" | summary)" \
        "$(awk '{print ($2 + $3) * 1000}' "$work/$kind.times" | summary)"
done
