#!/usr/bin/env python3
"""Write-failure drill: the real program under Xvfb, with fault_inject.so
preloaded, saves while the disk fails (a full disk, an I/O error) in one call
of the save: the temp file's open, its write, its fsync, its link to a name or
the rename over the old file.

For each case: a deposit, a goal (Return in the goal box) or a reset is tried
while the fault is armed. The file must stay byte for byte as it was, a
message box must open and the program must keep running. Then the fault is
removed while the box is still up, the box is answered, and the same action
again must save: one record appended, the new goal written, the ledger
emptied. Finally the exit button must end the program with status 0.

  fault_drill.py --program P --fault-lib F --work DIR [--full]
Short form: 7 cases. --full: every call of the save for each action, with
unnamed and named temp files.
"""

import datetime
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import drill_common as dc  # noqa: E402

TODAY = datetime.date(2031, 3, 10)
OLD_LEDGER = b"".join(dc.record_line(TODAY - datetime.timedelta(days=3 - n), n + 1) for n in range(3))
OLD_GOAL = b"100\r\n"
NEW_GOAL = "250"

# (action, failing call, errno, temp file kind)
SHORT = [
    ("deposit", "write", "ENOSPC", "unnamed"),
    ("deposit", "fsync", "EIO", "unnamed"),
    ("deposit", "rename", "EIO", "unnamed"),
    ("goal", "write", "ENOSPC", "unnamed"),
    ("goal", "rename", "EIO", "named"),
    ("reset", "fsync", "EIO", "unnamed"),
    ("reset", "rename", "EIO", "unnamed"),
]
FULL = [
    (action, call, error, temp)
    for temp in ("unnamed", "named")
    for action in ("deposit", "goal", "goal (new file)", "reset")
    for call, error in (("open", "ENOSPC"), ("write", "ENOSPC"), ("fsync", "EIO"), ("link", "EIO"),
                        ("rename", "EIO"))
    # An empty ledger is written without a write call. An unnamed temp file
    # is linked to a name: straight to the file's own name when there is no
    # file yet (no rename then). A named temp file is only renamed.
    if not (action == "reset" and call == "write")
    and not (temp == "unnamed" and action == "goal (new file)" and call == "rename")
    and not (temp == "named" and call == "link")
]


def act(program, main, action):
    """Starts the action; the box it opens, if any, is for the caller to find."""
    if action == "deposit":
        program.click(main, dc.DEPOSIT_BUTTON)
    elif action.startswith("goal"):
        program.click(main, dc.GOAL_BOX)
        program.key(main, "ctrl+a")
        program.type_text(main, NEW_GOAL)
        program.key(main, "Return")
    else:
        program.click(main, dc.RESET_BUTTON)
        confirm = program.wait_for("confirm", 5)
        if not confirm:
            return "the reset asked nothing"
        program.answer(confirm)
    return None


def run_case(args, display, work, number, case, tally):
    action, call, error, temp = case
    name = f"{action}, {call} fails with {error}, {temp} temp file"
    directory = dc.fresh_directory(os.path.join(work, f"case{number:02d}"))
    ledger = os.path.join(directory, dc.LEDGER_NAME)
    goal = os.path.join(directory, dc.GOAL_NAME)
    control = os.path.join(work, f"case{number:02d}.control")
    calls = os.path.join(work, f"case{number:02d}.calls")
    dc.write_bytes(ledger, OLD_LEDGER)
    if action != "goal (new file)":
        dc.write_bytes(goal, OLD_GOAL)
    target, old = (goal, dc.read_bytes(goal)) if action.startswith("goal") else (ledger, OLD_LEDGER)
    prefix = "目標ヒビノボリ" if action.startswith("goal") else "ヒビノボリ"
    if os.path.exists(control):
        os.remove(control)
    program = dc.Program(args, display, directory, fake_time=datetime.datetime.combine(TODAY, datetime.time(12)),
                         control=control, fault_log=calls, log=os.path.join(work, f"case{number:02d}.out"))
    problems = []
    try:
        kinds = program.wait_settled()
        if kinds != ["main"]:
            problems.append(f"start-up showed {kinds}")
            return
        main = program.window_of("main")

        # The save fails.
        ops = call + (",tmpfile" if temp == "named" else "")
        dc.write_bytes(control, f"ops={ops} names={prefix} errno={error}\n".encode())
        trouble = act(program, main, action)
        if trouble:
            problems.append(trouble)
            return
        box = program.wait_for("box", 10)
        log = (dc.read_bytes(calls) or b"").decode("utf-8", "replace")
        logged_as = ("fsync", "fdatasync") if call == "fsync" else (call,)
        injected = any(f"< {op} failed" in log for op in logged_as)
        if not injected:
            problems.append(f"the fault never fired (no failed {call} in the call log)")
        if not box:
            problems.append("no message box while the disk failed")
        if dc.read_bytes(target) != old:
            problems.append(f"{os.path.basename(target)} changed while the disk failed: "
                            f"{dc.read_bytes(target)!r}")
        if not program.alive():
            problems.append(f"the program ended: {dc.describe_exit(program.process.returncode)}")
            return
        leftovers = sorted(set(os.listdir(directory)) - {dc.LEDGER_NAME, dc.GOAL_NAME})
        if leftovers:
            print(f"  note: {name}: files left after the failed save: {leftovers}", flush=True)

        # The disk recovers while the box is up; the same action now saves.
        os.remove(control)
        if box:
            program.answer(box)
        trouble = act(program, main, action)
        if trouble:
            problems.append("again: " + trouble)
            return
        if action == "deposit":
            changed = dc.wait_until(lambda: dc.read_bytes(target) != old and dc.read_bytes(target), 5)
            line = dc.appended_record(old, changed or b"")
            if not line or dc.date_of_record(line) != TODAY or not line.endswith(b",4\r\n"):
                problems.append(f"the deposit after the fault wrote {changed!r}")
        elif action.startswith("goal"):
            saved = dc.wait_until(lambda: dc.read_bytes(target) == f"{NEW_GOAL}\r\n".encode(), 5)
            if not saved:
                problems.append(f"the goal after the fault is {dc.read_bytes(target)!r}")
        else:
            if not dc.wait_until(lambda: dc.read_bytes(target) == b"", 5):
                problems.append(f"the reset after the fault left {dc.read_bytes(target)!r}")
        late = program.window_of("box")
        if late:
            problems.append("a message box opened for the save after the fault was removed")
            program.answer(late)
    finally:
        status = program.close_normally()
        if status != 0:
            problems.append(dc.describe_exit(status))
        tally.check(name, not problems, "; ".join(problems))
        if args.verbose or not problems:
            print(f"{'ok' if not problems else 'FAILED'}: {name}", flush=True)


def main():
    args = dc.arguments(__doc__).parse_args()
    cases = FULL if args.full else SHORT
    print(f"fault drill: {len(cases)} cases", flush=True)
    work = dc.fresh_directory(args.work)
    tally = dc.Tally("fault drill")
    display = dc.Display()
    started = time.monotonic()
    for number, case in enumerate(cases, 1):
        run_case(args, display, work, number, case, tally)
    display.close()
    print(f"duration: {time.monotonic() - started:.1f} s")
    return tally.finish()


if __name__ == "__main__":
    sys.exit(main())
