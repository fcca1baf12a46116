"""Write-failure drill: one call of a deposit's, goal's or reset's save fails.
The file must stay byte for byte, a message box open and the program keep
running; with the fault lifted the same action must save. Short form: 8
cases; --full: 33, every call of each save, unnamed and named temp files.
"""

import datetime
import os
import sys

import drill_common as dc

TODAY = datetime.date(2031, 3, 10)
OLD_LEDGER = "".join(f'"2031年03月{7 + n:02d}日","12:00:00",{n + 1}\r\n' for n in range(3)).encode("cp932")
OLD_GOAL = b"100\r\n"
NEW_GOAL = "250"

# (action, failing call, errno, temp file kind). An empty ledger is written
# without a write call. An unnamed temp file is linked to a name: straight to
# the file's own name when there is none yet (no rename then). A named temp
# file is only renamed.
FULL = [(action, call, error, temp) for temp in ("unnamed", "named")
        for action in ("deposit", "goal", "goal (new file)", "reset")
        for call, error in (("open", "ENOSPC"), ("write", "ENOSPC"), ("fsync", "EIO"), ("link", "EIO"),
                            ("rename", "EIO"))
        if not (action == "reset" and call == "write")
        and not (temp == "unnamed" and action == "goal (new file)" and call == "rename")
        and not (temp == "named" and call == "link")]
SHORT = [c for c in FULL if c[3] == "unnamed" and c[0] != "goal (new file)" and c[1] in ("write", "fsync", "rename")]


def act(program, main, action):
    """Starts the action; what went wrong, if anything."""
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


def drive(program, action, fault, control, target, old):
    """Yields what goes wrong: the save with the fault armed, then without it."""
    if (kinds := program.wait_settled()) != ["main"]:
        yield f"start-up showed {kinds}"
        return
    main = program.window_of("main")
    dc.write_bytes(control, fault.encode())
    if trouble := act(program, main, action):
        yield trouble
        return
    box = program.wait_for("box", 10)
    if not box:
        yield "no message box while the disk failed"
    if (now := dc.read_bytes(target)) != old:
        yield f"{os.path.basename(target)} changed while the disk failed: {now!r}"
    if not program.alive():
        yield f"the program ended: {dc.describe_exit(program.process.returncode)}"
        return
    # The disk recovers while the box is up; the same action now saves.
    os.remove(control)
    if box:
        program.answer(box)
    if trouble := act(program, main, action):
        yield "again: " + trouble
    elif not dc.wait_until(lambda: saved(action, old, dc.read_bytes(target)), 5):
        yield f"the {action} after the fault left {dc.read_bytes(target)!r}"
    elif program.window_of("box"):
        yield "a message box opened for the save after the fault was removed"


def main():
    args = dc.arguments(__doc__).parse_args()
    cases = FULL if args.full else SHORT
    print(f"fault drill: {len(cases)} cases", flush=True)
    drill = dc.Drill(args)
    for number, (action, call, error, temp) in enumerate(cases, 1):
        name = f"{action}, {call} fails with {error}, {temp} temp file"
        directory = dc.fresh_directory(os.path.join(drill.work, f"case{number:02d}"))
        dc.write_bytes(os.path.join(directory, dc.LEDGER_NAME), OLD_LEDGER)
        if action != "goal (new file)":
            dc.write_bytes(os.path.join(directory, dc.GOAL_NAME), OLD_GOAL)
        target = os.path.join(directory, dc.GOAL_NAME if action.startswith("goal") else dc.LEDGER_NAME)
        fault, control = f"{call} {error}{' tmpfile' if temp == 'named' else ''}", directory + ".control"
        program = drill.start(directory, TODAY, control=control, log=directory + ".out")
        problems = list(drive(program, action, fault, control, target, dc.read_bytes(target)))
        status = program.close_normally()
        if status != 0:
            problems.append(dc.describe_exit(status))
        if drill.check(name, not problems, "; ".join(problems)):
            print(f"ok: {name}", flush=True)
    return drill.finish()


if __name__ == "__main__":
    sys.exit(main())
