#!/usr/bin/env python3
"""Write-failure drill: with fault_inject.so preloaded, one call of a save
(the temp file's open, write, fsync, its link to a name, or the rename over
the old file) fails as on a full disk or with an I/O error while a deposit,
a goal (Return in the goal box) or a reset is tried. The file must stay byte
for byte as it was, a message box must open and the program keep running.
Then the fault is removed while the box is up, and the same action must
save; at the end the exit button must end the program with status 0.

Short form: 7 cases; --full: every call of the save for each action, with
unnamed and named temp files.
"""

import datetime
import os
import sys

import drill_common as dc

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
        program.xdotool("windowfocus", "--sync", main.id, "type", "--delay", "5", NEW_GOAL)
        program.key(main, "Return")
    else:
        program.click(main, dc.RESET_BUTTON)
        confirm = program.wait_for("confirm", 5)
        if not confirm:
            return "the reset asked nothing"
        program.answer(confirm)
    return None


def saved(action, old, now):
    """Whether the file now holds what the action saves."""
    if action == "deposit":
        return dc.appended_record(old, now or b"") == (TODAY, b"4")
    return now == (f"{NEW_GOAL}\r\n".encode() if action.startswith("goal") else b"")


def drive(program, case, target, old, stem):
    """Yields what goes wrong: the save with the fault armed, then without it."""
    action, call, error, temp = case
    kinds = program.wait_settled()
    if kinds != ["main"]:
        yield f"start-up showed {kinds}"
        return
    main = program.window_of("main")

    prefix = os.path.splitext(os.path.basename(target))[0]
    ops = call + (",tmpfile" if temp == "named" else "")
    dc.write_bytes(stem + ".control", f"ops={ops} names={prefix} errno={error}\n".encode())
    if trouble := act(program, main, action):
        yield trouble
        return
    box = program.wait_for("box", 10)
    log = (dc.read_bytes(stem + ".calls") or b"").decode("utf-8", "replace")
    if not any(f"< {op} failed" in log for op in (("fsync", "fdatasync") if call == "fsync" else (call,))):
        yield f"the fault never fired (no failed {call} in the call log)"
    if not box:
        yield "no message box while the disk failed"
    if dc.read_bytes(target) != old:
        yield f"{os.path.basename(target)} changed while the disk failed: {dc.read_bytes(target)!r}"
    if not program.alive():
        yield f"the program ended: {dc.describe_exit(program.process.returncode)}"
        return
    leftovers = sorted(set(os.listdir(stem)) - {dc.LEDGER_NAME, dc.GOAL_NAME})
    if leftovers:
        print(f"  note: files left after the failed save: {leftovers}", flush=True)

    # The disk recovers while the box is up; the same action now saves.
    os.remove(stem + ".control")
    if box:
        program.answer(box)
    if trouble := act(program, main, action):
        yield "again: " + trouble
        return
    if not dc.wait_until(lambda: saved(action, old, dc.read_bytes(target)), 5):
        yield f"the {action} after the fault left {dc.read_bytes(target)!r}"
    if late := program.window_of("box"):
        yield "a message box opened for the save after the fault was removed"
        program.answer(late)


def run_case(drill, number, case):
    action, call, error, temp = case
    name = f"{action}, {call} fails with {error}, {temp} temp file"
    stem = os.path.join(drill.work, f"case{number:02d}")
    directory = dc.fresh_directory(stem)
    dc.write_bytes(os.path.join(directory, dc.LEDGER_NAME), OLD_LEDGER)
    if action != "goal (new file)":
        dc.write_bytes(os.path.join(directory, dc.GOAL_NAME), OLD_GOAL)
    target = os.path.join(directory, dc.GOAL_NAME if action.startswith("goal") else dc.LEDGER_NAME)
    old = dc.read_bytes(target)
    program = drill.start(directory, TODAY, control=stem + ".control", fault_log=stem + ".calls", log=stem + ".out")
    problems = []
    try:
        problems.extend(drive(program, case, target, old, stem))
    finally:
        status = program.close_normally()
        if status != 0:
            problems.append(dc.describe_exit(status))
        drill.check(name, not problems, "; ".join(problems))
        if drill.args.verbose or not problems:
            print(f"{'ok' if not problems else 'FAILED'}: {name}", flush=True)


def main():
    args = dc.arguments(__doc__).parse_args()
    cases = FULL if args.full else SHORT
    print(f"fault drill: {len(cases)} cases", flush=True)
    drill = dc.Drill("fault drill", args)
    for number, case in enumerate(cases, 1):
        run_case(drill, number, case)
    return drill.finish()


if __name__ == "__main__":
    sys.exit(main())
