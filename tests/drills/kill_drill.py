#!/usr/bin/env python3
"""Kill drill: SIGKILL after a deposit or (every fourth time) a reset is
pressed, inside a chosen call of its save or at a random moment. The ledger must
be the old one, the old one plus one whole record of that day, or empty after a
reset; each new backup copy must be the ledger before the press, and an emptied
ledger needs one from before the reset. In a folder that takes no new file the
record is written in place, a reset is refused and no copy is kept. The next
start must show no error. Short form: 22 kills; --full: 220.
"""

import collections
import datetime
import os
import random
import re
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
SCENARIOS.update({f"in {call}": (f"{call} delay=1000".encode(), call)
                  for call in ("open", "write", "fsync", "link", "rename")})
# A folder that takes no new file: the deposit is written in place, a reset refused.
SCENARIOS.update({"read-only folder": (b"readonly", None)}, **{
    f"read-only, in {call}": (f"readonly {call} delay=1000".encode(), call) for call in ("write", "fsync")})
COPY = re.compile(r"ヒビノボリ_\d{8}_\d{6}(_クリア前|_復元前|_変換前)?(_\d+)?\.txt")


def copies_problems(folder, known, old, emptied):
    """What is wrong in the backup folder after a press on ledger old: a copy
    new or changed since the last look must be old, a file that is no copy
    only a temp file, and an emptied ledger needs a copy from before the reset.
    known: each copy's bytes at the last look."""
    names = os.listdir(folder) if os.path.isdir(folder) else []
    copies = {n: h.read(os.path.join(folder, n)) for n in names if COPY.fullmatch(n)}
    new = {n: c for n, c in copies.items() if known.get(n) != c}
    known.update(copies)
    return ([f"{n} holds {c!r}, the ledger was {old!r}" for n, c in new.items() if c != old] +
            [f"stray file {n}" for n in names if n not in copies and not re.fullmatch(COPY.pattern + r"\.\w{6}", n)] +
            ["emptied, and no copy from before"] * (emptied and not any("クリア前" in n for n in new)))


def outcome(action, old, new, day):
    """What the kill left of the ledger; None when it is broken."""
    if new == old and action != "reset showing no message":
        return "unchanged"
    if action == "reset" and new == b"":  # not "refused reset"
        return "emptied"
    record = action == "deposit" and h.appended(old, new)
    return "appended" if record and record[0] == h.day_text(day) else None


def main():
    run = h.Run(__doc__)
    kills = 220 if run.args.full else 22
    seed = run.args.seed if run.args.seed is not None else int(time.time())
    rng = random.Random(seed)
    print(f"kill drill: {kills} kills, seed {seed}", flush=True)
    data = h.fresh(os.path.join(run.work, "data"))
    control, calls, known = data + ".control", data + ".calls", {}
    outcomes, landed = collections.Counter(), collections.Counter()
    for i in range(kills + 1):
        day = FIRST_DAY + datetime.timedelta(days=i)
        scenario = list(SCENARIOS)[i % len(SCENARIOS) if i < kills else 0]
        words, call = SCENARIOS[scenario]
        h.write(control, words)
        # The read-only folder has its own ledger, and never a backup folder.
        readonly = b"readonly" in words
        folder = os.path.join(run.work, "read-only") if readonly else data
        os.makedirs(folder, exist_ok=True)
        ledger, backups = os.path.join(folder, h.LEDGER), os.path.join(folder, h.BACKUPS)
        name, old = f"kill {i + 1} ({day}, {scenario})", h.read(ledger)
        # A ledger to copy, one record of the day before, on odd rounds (the
        # resets among them) and in the read-only folder. The scenarios are odd
        # in number, so each meets an empty ledger and one to copy.
        if not old and (i % 2 or readonly):
            h.write(ledger, old := h.ledger_line(day - datetime.timedelta(days=1), "12:00:00", 1))
        first_run = not old  # no ledger, or one emptied by a reset
        program = h.Program(run, folder, f"@{day} 12:00:00", control=control, fault_log=calls)
        # In the read-only folder the start says once that no copy can be kept.
        if not program.up(*(["intro", "main"] if first_run else ["main"]) + ["box"] * readonly):
            run.check(name, f"start-up showed {program.kinds()}")
            program.kill()
            continue
        if first_run or readonly:
            program.answer(program.window("intro", "box"))
        if i == kills:  # the last kill must not trouble a normal start and exit
            run.check("start after the last kill", program.quit() + ["the start changed the ledger"] * (
                (h.read(ledger) or b"") != (old or b"")))
            break
        old = h.read(ledger)  # the first start writes an empty ledger
        action = "reset" if not first_run and i % 4 == 3 else "deposit"
        h.write(calls, b"")
        xdotool = program.click("deposit", wait=False) if action == "deposit" else program.reset(wait=False)
        if not xdotool:
            run.check(name, "the reset asked nothing")
            program.kill()
            continue
        # Inside the call (its first, or on every other lap its second: the lock
        # file, the copy and the ledger each make one), or at a random moment
        # after the press: mostly within the tens of milliseconds the save
        # takes, or a few after its first call.
        if readonly and action == "reset":
            action = "refused reset" if program.wait_for("box", 5) else "reset showing no message"
        elif call:
            nth = 1 + i // len(SCENARIOS) % 2
            h.wait_until(lambda: (h.read(calls) or b"").count(f"> {call}".encode()) >= nth, 3, interval=0.0005)
        elif rng.random() < 0.5:
            time.sleep(rng.choice([rng.uniform(0, 0.03), rng.uniform(0.01, 0.08), rng.uniform(0.08, 0.3)]))
        else:
            h.wait_until(lambda: h.read(calls), 3, interval=0.0005)
            time.sleep((4 if scenario == "slow disk" else 1) * rng.uniform(0, rng.choice([0.002, 0.006, 0.015])))
        program.kill()
        xdotool.wait()
        last_call = (h.read(calls) or b"").decode().splitlines()[-1:] or ["none yet"]
        landed[last_call[0]] += 1
        new = h.read(ledger)
        result = outcome(action, old, new, day)
        outcomes[f"{action}: {result or 'BROKEN'}"] += 1
        run.check(name, [f"the {action} left {new!r} after {old!r}"] * (not result) + (
            ["a backup folder in the read-only folder"] * os.path.exists(backups) +
            # Held in the fsync that follows the write in place: the record is there.
            ["no record written in place"] * (call == "fsync" and action == "deposit" and result != "appended")
            if readonly else
            copies_problems(backups, known, old, result == "emptied")))
    return run.finish(f"outcomes: {dict(sorted(outcomes.items()))}",
                      f"the save's last call when killed: {dict(sorted(landed.items()))}")


if __name__ == "__main__":
    sys.exit(main())
