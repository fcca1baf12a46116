#!/usr/bin/env python3
"""Kill drill: SIGKILL at a random moment after a deposit or a reset is
pressed, often inside its save (some runs on a slow disk or with named temp
files). The ledger must be the old one, the old one plus one whole record of
that day, or empty after a reset. Short form: 20 kills; --full: 200.
"""

import collections
import datetime
import os
import random
import sys
import time

import drill_common as dc

MODES = {"plain": b"", "slow disk": b"write fsync link rename delay=25", "named temp": b"tmpfile"}
FIRST_DAY = datetime.date(2031, 1, 1)


def where_killed(calls):
    """Where the kill landed, from the fault log lines written after the press."""
    if not calls:
        return "before the save"
    if calls[-1].startswith(">"):
        return "in " + calls[-1][2:]
    return "after the commit" if "< rename 0" in calls else "between calls"


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
    drill = dc.Drill(args)
    data = dc.fresh_directory(os.path.join(drill.work, "data"))
    logs = dc.fresh_directory(os.path.join(drill.work, "logs"))
    control = os.path.join(drill.work, "control")
    ledger = os.path.join(data, dc.LEDGER_NAME)
    outcomes, landed = collections.Counter(), collections.Counter()

    for i in range(iterations + 1):
        day = FIRST_DAY + datetime.timedelta(days=i)
        case = f"kill {i + 1} ({day})"
        mode = rng.choices(list(MODES), weights=[2, 1, 1])[0] if i < iterations else "plain"
        dc.write_bytes(control, MODES[mode])
        fault_log = os.path.join(logs, f"{i + 1:03d}.calls")
        old = dc.read_bytes(ledger)
        expected = ["main"] if old else ["intro", "main"]
        program = drill.start(data, day, control=control, fault_log=fault_log,
                              log=os.path.join(logs, f"{i + 1:03d}.out"))
        kinds = program.wait_settled(expected)
        if i == iterations:
            # The last kill must not trouble the next start, nor a normal exit.
            drill.check("final start", kinds == expected, f"showed {kinds}, expected {expected}")
            drill.check("final exit", program.close_normally() == 0, "no clean exit")
            drill.check("final ledger", dc.read_bytes(ledger) == old, "the start changed the ledger")
            break
        if not drill.check(case, kinds == expected, f"start-up showed {kinds}, expected {expected}"):
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
            if not drill.check(case, confirm, "the reset asked nothing"):
                program.kill()
                continue
            program.xdotool("windowfocus", "--sync", confirm.id)
            press = program.xdotool("key", "Return", wait=False)
        else:
            program.xdotool("mousemove", "--window", main_window.id, *dc.DEPOSIT_BUTTON)
            press = program.xdotool("click", "1", wait=False)
        # Either a random moment after the press, mostly within the tens of
        # milliseconds the save takes, or a few after its first call shows.
        if rng.random() < 0.5:
            time.sleep(rng.choice([rng.uniform(0, 0.03), rng.uniform(0.01, 0.08), rng.uniform(0.08, 0.3)]))
        else:
            dc.wait_until(lambda: len(dc.read_bytes(fault_log) or b"") > mark, 3, interval=0.0005)
            time.sleep((4 if mode == "slow disk" else 1) * rng.uniform(0, rng.choice([0.002, 0.006, 0.015])))
        program.kill()
        press.wait()
        landed[where_killed((dc.read_bytes(fault_log) or b"")[mark:].decode("utf-8", "replace").splitlines())] += 1

        new = dc.read_bytes(ledger)
        outcome, why = outcome_of(action, old, new, day) if new is not None else (None, "the ledger is gone")
        outcomes[f"{action}: {outcome or 'BROKEN'}"] += 1
        drill.check(case, outcome is not None, why)

    return drill.finish(f"outcomes: {dict(sorted(outcomes.items()))}", f"kill landed: {dict(sorted(landed.items()))}")


if __name__ == "__main__":
    sys.exit(main())
