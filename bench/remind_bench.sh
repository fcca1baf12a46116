#!/usr/bin/env bash
# The daily reminder's whole run, "hibinobori --remind DIR", timed from
# start to exit over ledgers of 32,766 records (the most a ledger holds), on
# a private session bus whose stand-in notification service
# (tests/app/fake_notifications) closes each notification as it comes, so
# that the run ends as soon as the notification is out.
#   done   today's deposit made: read, decide, exit
#   due    yesterday's made: read, decide, notify, exit
#   empty  an empty ledger, due: the floor of starting the program at all
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

# Milliseconds of one run.
run() {
    local start end
    start=$(date +%s%N)
    "$program" --remind "$work/$1" || { echo "run in $1 failed" >&2; exit 1; }
    end=$(date +%s%N)
    echo $(((end - start) / 1000))
}
declare -A times
for _ in 1 2; do run done >/dev/null; run due >/dev/null; done  # warm the caches
for _ in $(seq "$rounds"); do
    for kind in empty done due; do times[$kind]+="$(run "$kind") "; done
done
notified=$(wc -l <"$work/log")
echo "remind, $rounds rounds, median (min-max) in ms; $notified notifications"
for kind in empty done due; do
    # shellcheck disable=SC2086
    printf '%s\n' ${times[$kind]} | sort -n | awk -v k="$kind" \
        '{a[NR]=$1} END {printf "  %-6s %6.1f (%.1f-%.1f)\n", k, a[int((NR+1)/2)]/1000, a[1]/1000, a[NR]/1000}'
done
