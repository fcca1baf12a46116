"""The real program under a private Xvfb, its clock faked by libfaketime and
its windows driven with xdotool: what the end-to-end cases and the drills share.
"""

import argparse
import atexit
import glob
import os
import re
import shutil
import subprocess
import sys
import time

LEDGER, GOAL = "ヒビノボリ.txt", "目標ヒビノボリ.txt"
BACKUPS = "バックアップ"
MAIN_TITLE, INTRO_TITLE, CONFIRM_TITLE = "ヌピカ貯めよう！", "ヌピカ始めてみよう！", "削除確認"

# The main window's controls in the coordinates of its original content,
# 631 x 452. The menu bar above that content makes the window taller: its
# height moves every control down.
CONTENT_SIZE = (631, 452)
MENU_AT_MOST = 60
CONTROLS = {"deposit": (373, 38), "reset": (428, 38), "exit": (593, 38), "goal": (573, 162)}

# One whole ledger line as the program writes it, Shift-JIS and CR LF: its day and amount.
RECORD = re.compile('"(\\d{4}年\\d\\d月\\d\\d日)","\\d\\d:\\d\\d:\\d\\d",(\\d+)\r\n'.encode("cp932"))

_children = []


@atexit.register
def _stop_children():
    for child in _children:
        if child.poll() is None:
            child.kill()


def day_text(day):
    return f"{day.year:04d}年{day.month:02d}月{day.day:02d}日"


def ledger_line(day, clock, amount):
    return f'"{day_text(day)}","{clock}",{amount}\r\n'.encode("cp932")


def appended(old, new):
    """(day text, amount) of the one whole record new adds to old, or None."""
    old = old or b""
    found = new is not None and new.startswith(old) and RECORD.fullmatch(new[len(old):])
    return found and (found[1].decode("cp932"), int(found[2]))


def wait_until(predicate, timeout, interval=0.05):
    """predicate's first true value within timeout seconds, or None."""
    deadline = time.monotonic() + timeout
    while not (value := predicate()):
        if time.monotonic() >= deadline:
            return None
        time.sleep(interval)
    return value


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return None


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def fresh(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


class Run:
    """One script's run: its arguments, scratch directory, Xvfb and tally."""

    def __init__(self, description):
        parser = argparse.ArgumentParser(description=description)
        parser.add_argument("--program", required=True, help="the hibinobori executable")
        parser.add_argument("--work", required=True, help="a scratch directory, emptied first")
        parser.add_argument("--fault-lib", help="fault_inject.so, preloaded into the program")
        parser.add_argument("--full", action="store_true", help="the long form")
        parser.add_argument("--seed", type=int)
        self.args = parser.parse_args()
        self.work, self.passed, self.failed, self.started = fresh(self.args.work), 0, 0, time.monotonic()
        faketime = glob.glob("/usr/lib/*/faketime/libfaketimeMT.so.1")
        self.preload = faketime[:1] + [os.path.abspath(lib) for lib in [self.args.fault_lib] if lib]
        if not (shutil.which("Xvfb") and shutil.which("xdotool") and faketime):
            sys.exit("Xvfb, xdotool and libfaketime are needed: scripts/install-deps.sh test")
        # -noreset: a reset when the last client leaves would drop the next xdotool's connection.
        number_out, number_in = os.pipe()
        _children.append(subprocess.Popen(
            ["Xvfb", "-displayfd", str(number_in), "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=(number_in,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        os.close(number_in)
        with os.fdopen(number_out) as number:
            self.display = ":" + number.readline().strip()
        if self.display == ":":
            sys.exit("Xvfb did not start")

    def check(self, name, problems):
        """Counts one case; problems (a list or a text) say what went wrong."""
        self.passed, self.failed = self.passed + (not problems), self.failed + bool(problems)
        print(f"FAIL {name}: {problems}" if problems else f"ok   {name}", flush=True)

    def finish(self, *notes):
        for note in notes + (f"{time.monotonic() - self.started:.1f} s",):
            print(note)
        print(f"{self.passed} passed, {self.failed} failed", flush=True)
        return 1 if self.failed or not self.passed else 0


def _kind(name, size):
    if name == MAIN_TITLE:
        width, height = size
        main = width == CONTENT_SIZE[0] and 0 <= height - CONTENT_SIZE[1] < MENU_AT_MOST
        return "main" if main else "box"
    return "intro" if name.startswith(INTRO_TITLE) else "confirm" if name.startswith(CONFIRM_TITLE) else "other"


class Program:
    """The program started in directory with libfaketime's FAKETIME clock: a
    stopped "YYYY-MM-DD hh:mm:ss" or one running from "@YYYY-MM-DD hh:mm:ss".
    control and fault_log go to the fault library (fault_inject.c); user, a
    user name, runs it as that user with a home of its own."""

    def __init__(self, run, directory, clock, control="", fault_log="", user=None):
        self.display, self.output = run.display, directory + ".out"
        home = os.path.join(run.work, "home" + (f"-{user}" if user else ""))
        os.makedirs(home, 0o700, exist_ok=True)
        if user:  # another user, who needs a home of their own
            shutil.chown(home, user, user)
        # Japan's time without tzdata; the file times stay true (NO_FAKE_STAT)
        # so that fontconfig does not take its caches for stale.
        env = dict(os.environ, DISPLAY=self.display, QT_QPA_PLATFORM="xcb", LC_ALL="C.UTF-8", TZ="JST-9",
                   HOME=home, XDG_RUNTIME_DIR=home, FAKETIME=clock, DONT_FAKE_MONOTONIC="1", NO_FAKE_STAT="1",
                   LD_PRELOAD=":".join(run.preload), HIBI_FAULT_CONTROL=control,
                   HIBI_FAULT_LOG=fault_log)
        with open(self.output, "wb") as output:
            self.process = subprocess.Popen([os.path.abspath(run.args.program)], cwd=directory, env=env,
                                            stdin=subprocess.DEVNULL, stdout=output, stderr=subprocess.STDOUT,
                                            user=user, group=user, extra_groups=[] if user else None)
        _children.append(self.process)

    def xdotool(self, *words, wait=True):
        """What xdotool printed; with wait=False the running xdotool, so that a
        kill can land while the program handles the input."""
        command, env = ["xdotool", *map(str, words)], dict(os.environ, DISPLAY=self.display)
        if not wait:
            _children.append(subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL,
                                              stderr=subprocess.DEVNULL))
            return _children[-1]
        return subprocess.run(command, env=env, capture_output=True, timeout=10).stdout.decode("utf-8", "replace")

    def windows(self):
        """(kind, id) of each visible window: main, intro, confirm, box (a
        message box: the main window's title at another size) or other."""
        out = self.xdotool("search", "--onlyvisible", "--name", ".", "getwindowgeometry", "--shell", "%@",
                           "getwindowname", "%@")
        found = list(re.finditer(r"WINDOW=(\d+)\nX=-?\d+\nY=-?\d+\nWIDTH=(\d+)\nHEIGHT=(\d+)\nSCREEN=\d+\n", out))
        names = out[found[-1].end():].splitlines() if found else []
        self.heights = {g[1]: int(g[3]) for g in found}
        return [(_kind(name, (int(g[2]), int(g[3]))), g[1]) for g, name in zip(found, names)]

    def kinds(self):
        return sorted(kind for kind, _ in self.windows() if kind != "other")

    def window(self, *kinds):
        return next((id for kind, id in self.windows() if kind in kinds), None)

    def wait_for(self, kind, timeout=10):
        return wait_until(lambda: self.alive() and self.window(kind), timeout)

    def up(self, *kinds, timeout=20):
        """Whether exactly these kinds of window come up and are still the
        only ones a moment later (a message box may follow the main window)."""
        exactly = lambda: self.kinds() == sorted(kinds)
        wait_until(lambda: not self.alive() or exactly(), timeout)
        return exactly() and (time.sleep(0.3) or exactly())

    def click(self, control, wait=True):
        main = self.window("main")
        x, y = CONTROLS[control]
        top = self.heights.get(main, CONTENT_SIZE[1]) - CONTENT_SIZE[1]
        return self.xdotool("mousemove", "--window", main, str(x), str(y + top), "click", "1", wait=wait)

    def key(self, window, *keys, wait=True):
        self.xdotool("windowfocus", "--sync", window)
        return self.xdotool("key", "--clearmodifiers", *keys, wait=wait)

    def reset(self, wait=True):
        """Clicks the reset and answers its question with Return; None when it
        asked nothing, else (wait=False) the running xdotool."""
        self.click("reset")
        confirm = self.wait_for("confirm", 5)
        return confirm and (self.key(confirm, "Return", wait=wait) or confirm)

    def answer(self, window):
        """Return in a window over the main one; whether it went."""
        self.key(window, "Return")
        return wait_until(lambda: window not in (id for _, id in self.windows()), 5)

    def alive(self):
        return self.process.poll() is None

    def kill(self):
        self.process.kill()
        self.process.wait()

    def quit(self):
        """Ends the program with 終了; what went wrong (a status, a word printed)."""
        self.click("exit")
        if not wait_until(lambda: not self.alive(), 10):
            self.kill()
            return ["終了 did not end the program"]
        # A daily copy that could not be kept (a disk fault) is reported on
        # standard error and holds up nothing.
        printed = b"".join(line for line in (read(self.output) or b"").splitlines(True)
                           if not line.startswith(b"hibinobori: no daily copy"))
        return ([f"exit status {self.process.returncode}"] if self.process.returncode else []) + (
            [f"it printed {printed[:300]!r}"] if printed else [])
