#!/usr/bin/env python3
"""Two users drill: a user who may write the ledger's folder (the copy that
takes the lock file and replaces the ledger by renaming) and one who may write
only the ledger (the copy that writes in place under the ledger's own lock)
press 入金 at nearly the same moment, day after day, each first in turn, their
writes slowed at random. Every press that shows no message must have its
record in the ledger: each day the ledger gains exactly one whole record, and
exactly one window says that the other's deposit came first. Short form: 10
days; --full: 30. Needs root, to make the second user with useradd.
"""

import datetime
import os
import pwd
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import harness as h  # noqa: E402

USER = "hibidrill"
FIRST_DAY = datetime.date(2031, 5, 1)
# Each window on its own part of the screen, so that a click meets only it.
PLACES = {"folder": (0, 0), "ledger": (390, 280)}
# The delays (0..N ms) before each write or rename of a data file.
SLOW = {"folder": b"rename write delay=300", "ledger": b"write delay=400"}


def mains(program):
    return [id for kind, id in program.windows() if kind == "main"]


def click_deposit(program, window):
    x, y = h.CONTROLS["deposit"]
    top = program.heights.get(window, h.CONTENT_SIZE[1]) - h.CONTENT_SIZE[1]
    return program.xdotool("mousemove", "--window", window, x, y + top, "click", "1", wait=False)


def main():
    if os.geteuid() != 0:
        print("skipped: a second user can only be made as root")
        return 77
    run = h.Run(__doc__)
    made_user = False
    try:
        pwd.getpwnam(USER)
    except KeyError:
        subprocess.run(["useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", USER],
                       check=True)
        made_user = True
    days = 30 if run.args.full else 10
    # The folder belongs to root; the ledger may be written by anyone.
    folder = h.fresh(os.path.join(run.work, "data"))
    os.chmod(run.work, 0o755)
    os.chmod(folder, 0o755)
    ledger = os.path.join(folder, h.LEDGER)
    h.write(ledger, h.ledger_line(FIRST_DAY - datetime.timedelta(days=1), "12:00:00", 1))
    os.chmod(ledger, 0o666)
    controls = {}
    for who, words in SLOW.items():
        controls[who] = os.path.join(run.work, f"{who}.control")
        h.write(controls[who], words)
        os.chmod(controls[who], 0o644)
    try:
        for i in range(days):
            day = FIRST_DAY + datetime.timedelta(days=i)
            run.check(f"day {i + 1} ({day}), {'the folder' if i % 2 else 'the ledger'}'s user first",
                      race(run, folder, ledger, day, controls, first="folder" if i % 2 else "ledger"))
    finally:
        if made_user:
            subprocess.run(["userdel", USER], check=False)
    return run.finish()


def race(run, folder, ledger, day, controls, first):
    """What went wrong on one day."""
    before, programs, windows = h.read(ledger), {}, {}
    try:
        for who in ("ledger", "folder"):
            known = set(mains(programs["ledger"])) if programs else set()
            programs[who] = h.Program(run, folder, f"@{day} 12:00:00", control=controls[who],
                                      user=USER if who == "ledger" else None)
            program = programs[who]
            new = h.wait_until(lambda: [w for w in mains(program) if w not in known], 20)
            if not new:
                return [f"the {who} user's window did not come up: {program.kinds()}"]
            if who == "ledger":
                # Told at the start that no copy can be kept in this folder.
                box = program.wait_for("box", 10)
                if not box:
                    return ["the ledger user was not told that no copy can be kept"]
                program.answer(box)
            windows[who] = new[0]
            program.xdotool("windowmove", "--sync", windows[who], *PLACES[who])
        time.sleep(0.3)
        second = "folder" if first == "ledger" else "ledger"
        clicks = [click_deposit(programs[first], windows[first])]
        time.sleep(0.05)
        clicks.append(click_deposit(programs[second], windows[second]))
        for click in clicks:
            click.wait()
        # Both presses settle: one record, and one message from the later copy.
        h.wait_until(lambda: h.read(ledger) != before, 30)  # a loaded machine is slow
        boxes = lambda: [id for kind, id in programs["folder"].windows() if kind == "box"]
        h.wait_until(boxes, 15)
        time.sleep(1.0)
        problems, after = [], h.read(ledger)
        if (h.appended(before, after) or (None,))[0] != h.day_text(day):
            problems.append(f"the ledger went from {before[-40:]!r} to {after[len(before) - 40:]!r}")
        if len(boxes()) != 1:
            problems.append(f"{len(boxes())} message boxes: every press without one must be in the ledger")
        if problems:  # what the screen showed, beside the data
            subprocess.run(["import", "-window", "root", os.path.join(run.work, f"{day}.png")],
                           env=dict(os.environ, DISPLAY=run.display), check=False)
        return problems
    finally:
        for program in programs.values():
            program.kill()


if __name__ == "__main__":
    sys.exit(main())
