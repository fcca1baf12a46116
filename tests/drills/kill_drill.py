#!/usr/bin/env python3
"""Kill drill: the real program under Xvfb is killed with SIGKILL at a random
moment after a deposit or a reset is pressed, often in the middle of its save.

Every run starts on a later faked day (libfaketime), so a deposit is due, in
the same directory as the run before. After each kill the ledger must be the
old content, the old content plus exactly one whole record for that day, or
(after a reset) empty; the next start must show no error. The preloaded
fault_inject.so logs the save's system calls, which tells where each kill
landed; some runs go through a slow disk (each call of the save delayed) or a
file system without unnamed temp files (Qt then writes a named temp file).

  kill_drill.py --program P --fault-lib F --work DIR [--full] [--seed N]
Short form: 20 kills. --full: 200 kills.
"""

import collections
import datetime
import os
import random
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import drill_common as dc  # noqa: E402


def where_killed(log_lines):
    """Where the kill landed, from the fault log lines written after the press."""
    if not log_lines:
        return "before the save"
    pending = None
    committed = False
    link_target = ""
    for line in log_lines:
        words = line.split(" ")
        if words[0] == ">":
            pending = words[1]
            if pending == "link":
                link_target = line[len("> link "):]
        elif words[0] == "<":
            succeeded = words[2:3] == ["0"]
            if words[1] == "rename" and succeeded:
                committed = True
            # A link straight to the ledger's own name commits a new file.
            if words[1] == "link" and succeeded and link_target.endswith("/" + dc.LEDGER_NAME):
                committed = True
            pending = None
    if pending:
        return f"in {pending}"
    return "after the commit" if committed else "between calls"


def main():
    parser = dc.arguments(__doc__)
    args = parser.parse_args()
    iterations = 200 if args.full else 20
    seed = args.seed if args.seed is not None else int(time.time())
    rng = random.Random(seed)
    print(f"kill drill: {iterations} kills, seed {seed}", flush=True)

    work = dc.fresh_directory(args.work)
    data = dc.fresh_directory(os.path.join(work, "data"))
    logs = dc.fresh_directory(os.path.join(work, "logs"))
    control = os.path.join(work, "control")
    ledger = os.path.join(data, dc.LEDGER_NAME)
    tally = dc.Tally("kill drill")
    outcomes = collections.Counter()
    landed = collections.Counter()
    timings = collections.Counter()
    modes = collections.Counter()
    leftovers = set()
    display = dc.Display()
    started = time.monotonic()
    first_day = datetime.date(2031, 1, 1)

    for i in range(iterations):
        day = first_day + datetime.timedelta(days=i)
        case = f"kill {i + 1} ({day})"
        old = dc.read_bytes(ledger)
        mode = rng.choices(["plain", "slow disk", "named temp"], weights=[2, 1, 1])[0]
        modes[mode] += 1
        dc.write_bytes(control, {"plain": b"", "slow disk": b"ops=write,fsync,link,rename delay_ms=25",
                                 "named temp": b"ops=tmpfile"}[mode])
        fault_log = os.path.join(logs, f"{i + 1:03d}.calls")
        program = dc.Program(args, display, data, fake_time=datetime.datetime.combine(day, datetime.time(12)),
                             control=control, fault_log=fault_log, log=os.path.join(logs, f"{i + 1:03d}.out"))
        empty_before = not old
        expected = ["intro", "main"] if empty_before else ["main"]
        kinds = program.wait_settled(expected)
        if kinds != expected:
            tally.check(case, False, f"start-up showed {kinds}, expected {expected} "
                                     f"(ledger {len(old or b'')} bytes)")
            program.kill()
            continue
        if empty_before:
            program.answer(program.window_of("intro"))
        main = program.window_of("main")
        old = dc.read_bytes(ledger)  # the first start creates the empty ledger
        action = "reset" if (not empty_before and rng.random() < 0.2) else "deposit"
        mark = len(dc.read_bytes(fault_log) or b"")
        if action == "reset":
            program.click(main, dc.RESET_BUTTON)
            confirm = program.wait_for("confirm", 5)
            if not confirm:
                tally.check(case, False, "the reset asked nothing")
                program.kill()
                continue
            program.xdotool("windowfocus", "--sync", confirm.id)
            press = program.xdotool_nowait("key", "Return")
        else:
            program.point_at(main, dc.DEPOSIT_BUTTON)
            press = program.xdotool_nowait("click", "1")
        pressed = time.monotonic()
        # Timed: a random moment after the press, mostly within the first tens
        # of milliseconds, when the save runs. Triggered: a random moment after
        # the save's first system call shows in the log.
        timing = rng.choice(["timed", "triggered"])
        if timing == "timed":
            time.sleep(rng.choice([rng.uniform(0, 0.03), rng.uniform(0.01, 0.08), rng.uniform(0.08, 0.3)]))
        else:
            dc.wait_until(lambda: len(dc.read_bytes(fault_log) or b"") > mark, 3, interval=0.0005)
            # An idle machine saves in a few milliseconds: mostly very short.
            scale = 4 if mode == "slow disk" else 1
            time.sleep(scale * rng.choice([rng.uniform(0, 0.002), rng.uniform(0, 0.006), rng.uniform(0, 0.015)]))
        delay = time.monotonic() - pressed
        program.kill()
        press.wait()
        calls = (dc.read_bytes(fault_log) or b"")[mark:].decode("utf-8", "replace").splitlines()
        landed[where_killed(calls)] += 1
        timings[timing] += 1

        new = dc.read_bytes(ledger)
        if new is None:
            tally.check(case, False, "the ledger is gone")
            continue
        if new == old:
            outcome = "unchanged"
        elif action == "reset" and new == b"":
            outcome = "emptied"
        elif action == "deposit" and dc.appended_record(old, new):
            outcome = "appended"
            line = dc.appended_record(old, new)
            records = dc.ledger_records(new)
            if dc.date_of_record(line) != day:
                tally.check(case, False, f"the record is dated {dc.date_of_record(line)}, not {day}")
                continue
            # Day k of the plan (from 0) brings the total to 1 + 2 + ... + (k + 1),
            # missed days included.
            k = (day - records[0][0]).days
            total = sum(int(a) for _, a in records)
            if total != (k + 1) * (k + 2) // 2:
                tally.check(case, False, f"the ledger adds up to {total} on day {k + 1}")
                continue
        else:
            outcome = None
        outcomes[f"{action}: {outcome or 'BROKEN'}"] += 1
        tally.check(case, outcome is not None,
                    f"{action} left {len(new)} bytes after {len(old)}: {new[-80:]!r}")
        extra = sorted(set(os.listdir(data)) - {dc.LEDGER_NAME})
        leftovers.update(extra)
        if args.verbose:
            print(f"{case}: {mode}, {action}, {timing}, killed after {delay * 1000:.1f} ms "
                  f"{where_killed(calls)}: {outcome}", flush=True)

    # The last kill must not stop the next start either, and a normal exit works.
    old = dc.read_bytes(ledger)
    day = first_day + datetime.timedelta(days=iterations)
    dc.write_bytes(control, b"")
    program = dc.Program(args, display, data, fake_time=datetime.datetime.combine(day, datetime.time(12)),
                         control=control, log=os.path.join(logs, "final.out"))
    expected = ["intro", "main"] if not old else ["main"]
    kinds = program.wait_settled(expected)
    tally.check("final start", kinds == expected, f"showed {kinds}, expected {expected}")
    status = program.close_normally()
    tally.check("final exit", status == 0, dc.describe_exit(status))
    tally.check("final ledger", dc.read_bytes(ledger) == old, "the start changed the ledger")
    display.close()

    print(f"modes: {dict(modes)}; timing: {dict(timings)}")
    print(f"outcomes: {dict(sorted(outcomes.items()))}")
    print(f"kill landed: {dict(sorted(landed.items()))}")
    print(f"leftover files: {len(leftovers)} {sorted(leftovers)[:5]}")
    print(f"records in the final ledger: {len(dc.ledger_records(old or b'') or [])}")
    print(f"duration: {time.monotonic() - started:.1f} s")
    return tally.finish()


if __name__ == "__main__":
    sys.exit(main())
