#!/usr/bin/env python3
"""Kill drill: the real program is killed with SIGKILL at a random moment
after a deposit or a reset is pressed, often in the middle of its save.

Each run starts a faked day later in the same directory, so a deposit is
due. After each kill the ledger must be the old one, the old one plus one
whole record of that day (the plan's total), or empty after a reset; the next
start must show no error. fault_inject.so logs the save's calls, which tells
where each kill landed; some runs go through a slow disk (each call delayed)
or a file system without unnamed temp files (Qt then names its temp file).

Short form: 20 kills; --full: 200.
"""

import collections
import datetime
import os
import random
import sys
import time

import drill_common as dc

MODES = {"plain": b"", "slow disk": b"ops=write,fsync,link,rename delay_ms=25", "named temp": b"ops=tmpfile"}
FIRST_DAY = datetime.date(2031, 1, 1)


def where_killed(log_lines):
    """Where the kill landed, from the fault log lines written after the press."""
    if not log_lines:
        return "before the save"
    pending, committed, link_target = None, False, ""
    for line in log_lines:
        words = line.split(" ")
        if words[0] == ">":
            pending = words[1]
            if pending == "link":
                link_target = line[len("> link "):]
        elif words[0] == "<":
            # A rename, or a link straight to the ledger's own name, commits.
            committed |= words[2:3] == ["0"] and (
                words[1] == "rename" or (words[1] == "link" and link_target.endswith("/" + dc.LEDGER_NAME)))
            pending = None
    return f"in {pending}" if pending else "after the commit" if committed else "between calls"


def outcome_of(action, old, new, day):
    """What the kill left, or (None, why) when the ledger is broken."""
    if new == old:
        return "unchanged", ""
    if action == "reset" and new == b"":
        return "emptied", ""
    record = action == "deposit" and dc.appended_record(old, new)
    if not record:
        return None, f"{action} left {len(new)} bytes after {len(old or b'')}: {new[-80:]!r}"
    if record[0] != day:
        return None, f"the record is dated {record[0]}, not {day}"
    # Day k of the plan (from 0) brings the total to 1 + 2 + ... + (k + 1),
    # missed days included.
    records = dc.ledger_records(new)
    k = (day - records[0][0]).days
    total = sum(int(a) for _, a in records)
    if total != (k + 1) * (k + 2) // 2:
        return None, f"the ledger adds up to {total} on day {k + 1}"
    return "appended", ""


def main():
    args = dc.arguments(__doc__).parse_args()
    iterations = 200 if args.full else 20
    seed = args.seed if args.seed is not None else int(time.time())
    rng = random.Random(seed)
    print(f"kill drill: {iterations} kills, seed {seed}", flush=True)
    drill = dc.Drill("kill drill", args)
    data = dc.fresh_directory(os.path.join(drill.work, "data"))
    logs = dc.fresh_directory(os.path.join(drill.work, "logs"))
    control = os.path.join(drill.work, "control")
    ledger = os.path.join(data, dc.LEDGER_NAME)
    outcomes, landed, timings, modes = (collections.Counter() for _ in range(4))
    leftovers = set()

    for i in range(iterations):
        day = FIRST_DAY + datetime.timedelta(days=i)
        case = f"kill {i + 1} ({day})"
        mode = rng.choices(list(MODES), weights=[2, 1, 1])[0]
        modes[mode] += 1
        dc.write_bytes(control, MODES[mode])
        fault_log = os.path.join(logs, f"{i + 1:03d}.calls")
        old = dc.read_bytes(ledger)
        expected = ["main"] if old else ["intro", "main"]
        program = drill.start(data, day, control=control, fault_log=fault_log,
                              log=os.path.join(logs, f"{i + 1:03d}.out"))
        kinds = program.wait_settled(expected)
        if kinds != expected:
            drill.check(case, False, f"start-up showed {kinds}, expected {expected} (ledger {len(old or b'')} bytes)")
            program.kill()
            continue
        if "intro" in expected:
            program.answer(program.window_of("intro"))
        main_window = program.window_of("main")
        old = dc.read_bytes(ledger)  # the first start creates the empty ledger
        action = "reset" if ("intro" not in expected and rng.random() < 0.2) else "deposit"
        mark = len(dc.read_bytes(fault_log) or b"")
        if action == "reset":
            program.click(main_window, dc.RESET_BUTTON)
            confirm = program.wait_for("confirm", 5)
            if not confirm:
                drill.check(case, False, "the reset asked nothing")
                program.kill()
                continue
            program.xdotool("windowfocus", "--sync", confirm.id)
            press = program.xdotool("key", "Return", wait=False)
        else:
            program.xdotool("mousemove", "--window", main_window.id, *dc.DEPOSIT_BUTTON)
            press = program.xdotool("click", "1", wait=False)
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
            drill.check(case, False, "the ledger is gone")
            continue
        outcome, why = outcome_of(action, old, new, day)
        outcomes[f"{action}: {outcome or 'BROKEN'}"] += 1
        drill.check(case, outcome is not None, why)
        leftovers.update(set(os.listdir(data)) - {dc.LEDGER_NAME})
        if args.verbose:
            print(f"{case}: {mode}, {action}, {timing}, killed after {delay * 1000:.1f} ms "
                  f"{where_killed(calls)}: {outcome}", flush=True)

    # The last kill must not stop the next start either, and a normal exit works.
    old = dc.read_bytes(ledger)
    dc.write_bytes(control, b"")
    expected = ["main"] if old else ["intro", "main"]
    program = drill.start(data, FIRST_DAY + datetime.timedelta(days=iterations), control=control,
                          log=os.path.join(logs, "final.out"))
    kinds = program.wait_settled(expected)
    drill.check("final start", kinds == expected, f"showed {kinds}, expected {expected}")
    status = program.close_normally()
    drill.check("final exit", status == 0, dc.describe_exit(status))
    drill.check("final ledger", dc.read_bytes(ledger) == old, "the start changed the ledger")
    return drill.finish(f"modes: {dict(modes)}; timing: {dict(timings)}",
                        f"outcomes: {dict(sorted(outcomes.items()))}",
                        f"kill landed: {dict(sorted(landed.items()))}",
                        f"leftover files: {len(leftovers)} {sorted(leftovers)[:5]}",
                        f"records in the final ledger: {len(dc.ledger_records(old or b'') or [])}")


if __name__ == "__main__":
    sys.exit(main())
