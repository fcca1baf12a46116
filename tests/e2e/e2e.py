#!/usr/bin/env python3
"""End-to-end cases: the program in a fresh directory, its clock stopped at a
set time in Japan, driven through its windows, its files compared byte for byte.
"""

import datetime
import os
import sys

import harness as h

# name | stopped clock | ledger at the start ("-": none) | windows up at start-up | steps
#      | ledger at the end | goal file at the end ("-": none)
# After the steps the program is ended with 終了 (exit status 0, nothing
# printed) and its directory must hold those files alone. Clicks are handled
# in order, so a deposit that should not have been taken shows at the end.
# Steps:
#   press:CONTROL   click deposit, reset, exit or goal (the goal box)
#   up:KIND,...     exactly these windows are up
#   close:KEY       KEY in the window over the main one, which is then alone
#   type:KEY,...    keys pressed in the main window
#   ledger:ITEMS    the ledger holds these lines: "D/hh:mm:ss/AMOUNT" on day D of
#                   April 2009, "=" the ledger at the start, any other text as it is
#   goal:TEXT       the goal file holds TEXT and CR LF ("-": there is none)
#   kept:NAME=ITEMS the copy バックアップ/ヒビノボリ_NAME.txt holds these lines
#   restart:CLOCK   ends the program with 終了 and starts it again
CASES = [
    # The first-run window is modal: the first press goes nowhere. 08:30 in
    # Japan is the 4th in UTC: the date written is the local one. A second
    # press the same day records nothing.
    """first_run | 2009-04-05 08:30:00 | - | intro,main | press:deposit close:Return ledger:
        press:deposit ledger:5/08:30:00/1 press:deposit up:main | 5/08:30:00/1 | -""",
    # 3 + 4 yen missed on the 3rd and 4th, 5 for today: 12 after the old lines.
    # Started again the same day, the program takes no second deposit. Escape
    # answers the reset's question with Cancel, Return with OK; then the plan
    # starts again on day 1, with no first-run window. The day's first
    # deposit kept a copy of the ledger before it, the reset one before it.
    """arrears_reset | 2009-04-05 21:05:33 | 1/21:00:00/1,2/07:15:09/2 | main | press:deposit
        ledger:=,5/21:05:33/12 restart:2009-04-05_21:07:00 press:deposit press:reset up:confirm,main
        close:Escape ledger:=,5/21:05:33/12 press:reset up:confirm,main close:Return ledger:
        kept:20090405_210533== kept:20090405_210700_クリア前==,5/21:05:33/12
        press:deposit up:main | 5/21:07:00/1 | -""",
    # 12.5 is saved as typed, on Enter. After a restart Enter saves what the
    # box shows: 12. Text that is no number, or over 32766 days, saves nothing.
    """goal | 2009-04-05 21:05:33 | 4/21:00:00/1 | main | goal:- press:goal
        type:ctrl+a,BackSpace,1,2,period,5,Return goal:12.5 restart:2009-04-05_21:07:00 goal:12.5
        press:goal type:End,Return goal:12 type:ctrl+a,BackSpace,a,b,c,Return,ctrl+a,BackSpace,4,0,0,0,0,Return
        | = | 12""",
    # A line that is no record: a message box says so, no first-run window
    # opens, and the file is never touched, not even by 入金.
    """unreadable_ledger | 2009-04-05 21:05:33 | 1/21:00:00/1,garbage,2/21:00:00/2 | box,main | close:Return
        press:deposit | = | -""",
]


def ledger_bytes(items, start):
    out = b""
    for item in filter(None, items.split(",")):
        parts = item.split("/")
        out += start if item == "=" else (h.ledger_line(datetime.date(2009, 4, int(parts[0])), *parts[1:])
                                          if len(parts) == 3 else item.encode() + b"\r\n")
    return out


def holds(path, expected):
    """What is wrong with the file at path unless it comes to hold expected (None: no file)."""
    if not h.wait_until(lambda: h.read(path) == expected, 10):
        return f"it holds {h.read(path)!r}, not {expected!r}"
    return None


def run_case(run, name, clock, start, at_start, steps, end, goal):
    """What went wrong, up to the first step that fails."""
    directory = h.fresh(os.path.join(run.work, name))
    ledger, goal_file = os.path.join(directory, h.LEDGER), os.path.join(directory, h.GOAL)
    start = None if start == "-" else ledger_bytes(start, b"")
    if start is not None:
        h.write(ledger, start)
    program = h.Program(run, directory, clock)
    try:
        if not program.up(*at_start.split(",")):
            return f"at start-up the windows up are {program.kinds()}"
        for step in steps.split() + ["restart:", f"ledger:{end}", f"goal:{goal}"]:
            op, _, arg = step.partition(":")
            problem = None
            if op == "press":
                program.click(arg)
            elif op == "type":
                program.key(program.window("main"), *arg.split(","))
            elif op == "close":
                over = program.window("box", "intro", "confirm")
                problem = None if over else "no window is over the main one"
                if over:
                    program.key(over, arg)
            elif op == "restart":
                problem = "; ".join(program.quit())
                if arg and not problem:
                    program = h.Program(run, directory, arg.replace("_", " "))
            elif op == "ledger":
                problem = holds(ledger, ledger_bytes(arg, start or b""))
            elif op == "kept":
                name, _, items = arg.partition("=")
                problem = holds(os.path.join(directory, h.BACKUPS, f"ヒビノボリ_{name}.txt"),
                                ledger_bytes(items, start or b""))
            elif op == "goal":
                problem = holds(goal_file, None if arg == "-" else arg.encode() + b"\r\n")
            up = {"up": arg.split(","), "close": ["main"], "restart": ["main"] * bool(arg)}.get(op)
            if problem or (up and not program.up(*up)):
                return f"{step}: {problem or 'the windows up are not those'}; windows up: {program.kinds()}"
        files = sorted(os.listdir(directory))
        expected = [h.LEDGER] + [h.GOAL] * (goal != "-") + [h.BACKUPS] * ("kept:" in steps)
        return files != sorted(expected) and f"files left: {files}"
    finally:
        program.kill()


def main():
    run = h.Run(__doc__)
    for row in CASES:
        fields = [field.strip() for field in " ".join(row.split()).split("|")]
        run.check(fields[0], run_case(run, *fields))
    return run.finish()


if __name__ == "__main__":
    sys.exit(main())
