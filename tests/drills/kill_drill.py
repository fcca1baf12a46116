#!/usr/bin/env python3
"""Kill drill: SIGKILL after a deposit or (every fifth time) a reset is
pressed, inside a chosen call of its save or at a random moment. The ledger must be the old one, the old one
plus one whole record of that day, or empty after a reset, and the next start
must show no error. Short form: 20 kills; --full: 200.
"""

import collections
import datetime
import os
import random
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import harness as h  # noqa: E402

FIRST_DAY = datetime.date(2031, 1, 1)

# The kills take the scenarios in turn: the fault library's control words
# (fault_inject.c), and the call the kill lands in, held there by a long delay
# (None: at a random moment after the press).
SCENARIOS = {"plain": (b"", None), "slow disk": (b"write fsync link rename delay=25", None),
             "named temp file": (b"tmpfile", None)}
SCENARIOS.update({f"in {call}": (f"{call} delay=5000".encode(), call)
                  for call in ("open", "write", "fsync", "link", "rename")})


def outcome(action, old, new, day):
    """What the kill left of the ledger; None when it is broken."""
    if new == old:
        return "unchanged"
    if action == "reset" and new == b"":
        return "emptied"
    record = action == "deposit" and h.appended(old, new)
    return "appended" if record and record[0] == h.day_text(day) else None


def main():
    run = h.Run(__doc__)
    kills = 200 if run.args.full else 20
    seed = run.args.seed if run.args.seed is not None else int(time.time())
    rng = random.Random(seed)
    print(f"kill drill: {kills} kills, seed {seed}", flush=True)
    data = h.fresh(os.path.join(run.work, "data"))
    ledger, control, calls = os.path.join(data, h.LEDGER), data + ".control", data + ".calls"
    outcomes, landed = collections.Counter(), collections.Counter()
    for i in range(kills + 1):
        day = FIRST_DAY + datetime.timedelta(days=i)
        scenario = list(SCENARIOS)[i % len(SCENARIOS) if i < kills else 0]
        words, call = SCENARIOS[scenario]
        h.write(control, words)
        name, old = f"kill {i + 1} ({day}, {scenario})", h.read(ledger)
        first_run = not old  # no ledger, or one emptied by a reset
        program = h.Program(run, data, f"@{day} 12:00:00", control=control, fault_log=calls)
        if not program.up(*(["intro", "main"] if first_run else ["main"])):
            run.check(name, f"start-up showed {program.kinds()}")
            program.kill()
            continue
        if first_run:
            program.answer(program.window("intro"))
        if i == kills:  # the last kill must not trouble a normal start and exit
            run.check("start after the last kill", program.quit() + ["the start changed the ledger"] * (
                (h.read(ledger) or b"") != (old or b"")))
            break
        old = h.read(ledger)  # the first start writes an empty ledger
        action = "reset" if not first_run and i % 5 == 3 else "deposit"
        h.write(calls, b"")
        xdotool = program.click("deposit", wait=False) if action == "deposit" else program.reset(wait=False)
        if not xdotool:
            run.check(name, "the reset asked nothing")
            program.kill()
            continue
        # Inside the call, or at a random moment after the press: mostly within
        # the tens of milliseconds the save takes, or a few after its first call.
        if call:
            h.wait_until(lambda: f"> {call}".encode() in (h.read(calls) or b""), 2, interval=0.0005)
        elif rng.random() < 0.5:
            time.sleep(rng.choice([rng.uniform(0, 0.03), rng.uniform(0.01, 0.08), rng.uniform(0.08, 0.3)]))
        else:
            h.wait_until(lambda: h.read(calls), 3, interval=0.0005)
            time.sleep((4 if scenario == "slow disk" else 1) * rng.uniform(0, rng.choice([0.002, 0.006, 0.015])))
        program.kill()
        xdotool.wait()
        last_call = (h.read(calls) or b"").decode().splitlines()[-1:] or ["none yet"]
        landed[last_call[0]] += 1
        result = outcome(action, old, h.read(ledger), day)
        outcomes[f"{action}: {result or 'BROKEN'}"] += 1
        run.check(name, not result and f"the {action} left {h.read(ledger)!r} after {old!r}")
    return run.finish(f"outcomes: {dict(sorted(outcomes.items()))}",
                      f"the save's last call when killed: {dict(sorted(landed.items()))}")


if __name__ == "__main__":
    sys.exit(main())
