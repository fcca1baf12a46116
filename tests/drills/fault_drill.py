#!/usr/bin/env python3
"""Fault drill: one call of a deposit's, a goal's or a reset's save fails.
The file must stay byte for byte, a message box open and the program keep
running; with the fault lifted the same action must save. And a record
written in place whose flush fails is shown as made. Short form: 9 cases;
--full: 34, every call of each save, with unnamed and named temp files.
"""

import datetime
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import harness as h  # noqa: E402

TODAY = datetime.date(2031, 3, 10)
OLD_LEDGER = b"".join(h.ledger_line(TODAY - datetime.timedelta(days=3 - n), "12:00:00", n + 1) for n in range(3))
OLD_GOAL, NEW_GOAL = b"100\r\n", "250"

# (action, failing call, errno, temp file). An empty ledger is written without
# a write call. An unnamed temp file is linked to a name: straight to the
# file's own name when there is none yet (no rename then). A named one is
# only renamed.
FULL = [(action, call, error, temp) for temp in ("unnamed", "named")
        for action in ("deposit", "goal", "goal (new file)", "reset")
        for call, error in (("open", "ENOSPC"), ("write", "ENOSPC"), ("fsync", "EIO"), ("link", "EIO"),
                            ("rename", "EIO"))
        if not (action == "reset" and call == "write")
        and not (temp == "unnamed" and action == "goal (new file)" and call == "rename")
        and not (temp == "named" and call == "link")]
SHORT = [c for c in FULL if c[3] == "unnamed" and c[0] != "goal (new file)" and c[1] in ("write", "fsync", "rename")]


def act(program, action):
    """Starts the action; what went wrong, if anything."""
    if action == "reset":
        return None if program.reset() else "the reset asked nothing"
    program.click("deposit" if action == "deposit" else "goal")
    if action != "deposit":
        program.key(program.window("main"), "ctrl+a", *NEW_GOAL, "Return")
    return None


def saved(action, old, now):
    if action == "deposit":
        return h.appended(old, now) == (h.day_text(TODAY), 4)
    return now == (NEW_GOAL.encode() + b"\r\n" if action.startswith("goal") else b"")


def drive(program, action, fault, control, target):
    """What goes wrong: the save with the fault armed, then without it."""
    old = h.read(target)
    if not program.up("main"):
        return [f"start-up showed {program.kinds()}"]
    h.write(control, fault.encode())
    if trouble := act(program, action):
        return [trouble]
    box, problems = program.wait_for("box"), []
    if not box:
        problems.append("no message box while the disk failed")
    if h.read(target) != old:
        problems.append(f"the file changed while the disk failed: {h.read(target)!r}")
    # The disk recovers while the box is up; the same action now saves.
    os.remove(control)
    if box:
        program.answer(box)
    if trouble := act(program, action):
        return problems + ["again: " + trouble]
    if not h.wait_until(lambda: saved(action, old, h.read(target)), 5):
        problems.append(f"the {action} after the fault left {h.read(target)!r}")
    elif program.window("box"):
        problems.append("a message box for the save after the fault")
    return problems + program.quit()


def flushed_in_place_fails(run):
    """In a folder that takes no new file the record is written in place; when
    only its flush fails, the record is in the file, and the window, after its
    message, shows it as made: 入金 is off and a press does nothing."""
    directory = h.fresh(os.path.join(run.work, "in-place"))
    ledger, control = os.path.join(directory, h.LEDGER), directory + ".control"
    h.write(ledger, OLD_LEDGER)
    h.write(control, b"readonly")
    program = h.Program(run, directory, f"@{TODAY} 12:00:00", control=control)
    if not program.up("main", "box"):  # told that no copy can be kept here
        return program, [f"start-up showed {program.kinds()}"]
    program.answer(program.window("box"))
    h.write(control, b"readonly fsync EIO")
    program.click("deposit")
    box, problems = program.wait_for("box"), []
    written = h.read(ledger)
    if h.appended(OLD_LEDGER, written) != (h.day_text(TODAY), 4):
        problems.append(f"the ledger holds {written!r}")
    if not box:
        return program, problems + ["no message box when the flush failed"]
    program.answer(box)
    h.write(control, b"readonly")
    program.click("deposit")
    if program.wait_for("box", 2) or h.read(ledger) != written:
        problems.append("入金 still took a press: the window did not show what the file holds")
    return program, problems + program.quit()


def main():
    run = h.Run(__doc__)
    cases = FULL if run.args.full else SHORT
    for number, (action, call, error, temp) in enumerate(cases, 1):
        directory = h.fresh(os.path.join(run.work, f"case{number:02d}"))
        h.write(os.path.join(directory, h.LEDGER), OLD_LEDGER)
        if action != "goal (new file)":
            h.write(os.path.join(directory, h.GOAL), OLD_GOAL)
        target = os.path.join(directory, h.GOAL if action.startswith("goal") else h.LEDGER)
        control = directory + ".control"
        program = h.Program(run, directory, f"@{TODAY} 12:00:00", control=control)
        fault = f"{call} {error}" + (" tmpfile" if temp == "named" else "")
        run.check(f"{action}, {call} fails with {error}, {temp} temp file",
                  drive(program, action, fault, control, target))
        program.kill()
    program, problems = flushed_in_place_fails(run)
    run.check("deposit written in place, its flush fails", problems)
    program.kill()
    return run.finish()


if __name__ == "__main__":
    sys.exit(main())
