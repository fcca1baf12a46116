"""What the drills share: a private Xvfb, the program on a faked date driven
with xdotool, and the ledger's lines checked byte by byte."""

import argparse
import atexit
import collections
import datetime
import functools
import glob
import os
import re
import resource
import shutil
import signal
import subprocess
import sys
import time

LEDGER_NAME = "ヒビノボリ.txt"
GOAL_NAME = "目標ヒビノボリ.txt"
MAIN_TITLE = "ヌピカ貯めよう！"
INTRO_TITLE = "ヌピカ始めてみよう！"
CONFIRM_TITLE = "削除確認"
MAIN_SIZE = (631, 452)

# Client coordinates of the controls, inside the main window.
DEPOSIT_BUTTON = (345 + 28, 5 + 33)
RESET_BUTTON = (400 + 28, 5 + 33)
EXIT_BUTTON = (565 + 28, 5 + 33)
GOAL_BOX = (525 + 48, 150 + 12)

# One ledger line as the program writes it: "YYYY年MM月DD日","hh:mm:ss",amount CR LF.
RECORD_LINE = re.compile(
    rb'"(\d{4})\x94\x4e(\d{2})\x8c\x8e(\d{2})\x93\xfa","\d{2}:\d{2}:\d{2}",(-?\d+(?:\.\d{1,4})?)\r\n'
)

# A runaway allocation then fails as a crash instead of taking the machine's memory.
MEMORY_LIMIT = 4 << 30

_children = []


def _cleanup():
    for process in reversed(_children):
        if process.poll() is None:
            process.kill()


def _on_signal(number, _frame):
    _cleanup()
    sys.exit(128 + number)


atexit.register(_cleanup)
for _number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
    signal.signal(_number, _on_signal)


def arguments(description):
    parser = argparse.ArgumentParser(description=description, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--program", required=True, help="the hibinobori executable")
    parser.add_argument("--fault-lib", required=True, help="fault_inject.so")
    parser.add_argument("--work", required=True, help="a scratch directory, emptied first")
    parser.add_argument("--full", action="store_true", help="the long form")
    parser.add_argument("--seed", type=int, default=None)
    return parser


def fresh_directory(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def find_libfaketime():
    found = sorted(glob.glob("/usr/*lib/*/faketime/libfaketimeMT.so.1") + glob.glob("/usr/*lib/faketime/libfaketimeMT.so.1"))
    if not found:
        raise SystemExit("libfaketime not found (apt-get install libfaketime)")
    return found[0]


def wait_until(predicate, timeout, interval=0.02):
    """Polls predicate until it returns something true; that value, or None."""
    deadline = time.monotonic() + timeout
    while not (value := predicate()):
        if time.monotonic() >= deadline:
            return None
        time.sleep(interval)
    return value


def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return None


def write_bytes(path, data):
    with open(path, "wb") as f:
        f.write(data)


class Drill:
    """One drill's run: its work directory, its private Xvfb and its tally."""

    def __init__(self, args):
        self.args = args
        self.work = fresh_directory(args.work)
        self.passed, self.failures = 0, []
        self.started = time.monotonic()
        self.xvfb, self.display = _start_xvfb()

    def check(self, case, ok, detail=""):
        if ok:
            self.passed += 1
        else:
            self.failures.append(f"{case}: {detail}")
            print(f"FAIL {case}: {detail}", flush=True)
        return ok

    def start(self, directory, day, **options):
        """The program in directory, its clock running from noon of day."""
        return Program(self.args, self.display, directory, datetime.datetime.combine(day, datetime.time(12)),
                       **options)

    def finish(self, *summary):
        """Stops the display, prints the summary lines and the tally; the exit status."""
        self.xvfb.kill()
        for text in summary + (f"duration: {time.monotonic() - self.started:.1f} s",):
            print(text)
        print(f"{self.passed} passed, {len(self.failures)} failed", flush=True)
        return 1 if self.failures else 0


@functools.cache
def _sanitized(program):
    with open(program, "rb") as f:
        return b"libasan.so" in f.read()


def _start_xvfb():
    """An Xvfb on a free display number, and the display's name."""
    if not shutil.which("Xvfb") or not shutil.which("xdotool"):
        raise SystemExit("Xvfb and xdotool are needed (apt-get install xvfb xdotool)")
    read_end, write_end = os.pipe()
    process = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"],
        pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _children.append(process)
    os.close(write_end)
    with os.fdopen(read_end) as display:
        number = display.readline().strip()
    if not number:
        raise SystemExit("Xvfb did not start")
    return process, ":" + number


Window = collections.namedtuple("Window", "kind id")


def _kind(name, size):
    if name == MAIN_TITLE and size == MAIN_SIZE:
        return "main"
    if name.startswith(INTRO_TITLE):
        return "intro"
    if name.startswith(CONFIRM_TITLE):
        return "confirm"
    return "box" if name == MAIN_TITLE else "other"  # the program's message boxes carry its title


class Program:
    """The real program in directory, its clock faked from fake_time on."""

    def __init__(self, args, display, directory, fake_time, control=None, fault_log=None, log=None):
        self.display = display
        env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb", LC_ALL="C.UTF-8",
                   FAKETIME="@" + fake_time.strftime("%Y-%m-%d %H:%M:%S"), DONT_FAKE_MONOTONIC="1",
                   LD_PRELOAD=find_libfaketime() + ":" + os.path.abspath(args.fault_lib),
                   HIBI_FAULT_CONTROL=control or "", HIBI_FAULT_LOG=fault_log or "")
        env.pop("WAYLAND_DISPLAY", None)
        # A sanitized build reserves its shadow memory as address space, and its
        # strict string checks trip inside the X keyboard library, not in ours.
        limit = None if _sanitized(args.program) else MEMORY_LIMIT
        env["ASAN_OPTIONS"] = ":".join(filter(None, (env.get("ASAN_OPTIONS"), "verify_asan_link_order=0",
                                                     f"hard_rss_limit_mb={MEMORY_LIMIT >> 20}",
                                                     "strict_string_checks=0")))
        with open(log or os.devnull, "ab") as output:
            self.process = subprocess.Popen(
                [os.path.abspath(args.program)], cwd=directory, env=env, stdin=subprocess.DEVNULL,
                stdout=output, stderr=subprocess.STDOUT,
                preexec_fn=limit and (lambda: resource.setrlimit(resource.RLIMIT_AS, (limit, limit))))
        _children.append(self.process)

    def xdotool(self, *words, wait=True):
        """What xdotool printed; with wait=False the running xdotool, so that a
        kill can land while the program handles the input."""
        command = ["xdotool", *map(str, words)]
        env = dict(os.environ, DISPLAY=self.display)
        if not wait:
            _children.append(subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
            return _children[-1]
        return subprocess.run(command, env=env, capture_output=True, timeout=5).stdout.decode("utf-8", "replace")

    def windows(self):
        """The visible windows: each one's geometry, then each one's name."""
        out = self.xdotool("search", "--onlyvisible", "--name", ".", "getwindowgeometry", "--shell", "%@",
                           "getwindowname", "%@")
        geometries = list(re.finditer(r"WINDOW=(\d+)\nX=-?\d+\nY=-?\d+\nWIDTH=(\d+)\nHEIGHT=(\d+)\nSCREEN=\d+\n", out))
        names = out[geometries[-1].end():].splitlines() if geometries else []
        return [Window(_kind(name, (int(g[2]), int(g[3]))), g[1]) for g, name in zip(geometries, names)]

    def kinds(self):
        return sorted(w.kind for w in self.windows() if w.kind != "other")

    def window_of(self, *kinds):
        return next((w for w in self.windows() if w.kind in kinds), None)

    def wait_for(self, kind, timeout=10):
        return wait_until(lambda: self.alive() and self.window_of(kind), timeout, 0.05)

    def wait_settled(self, expected=("main",), timeout=30):
        """The kinds of window showing once those expected show, and a moment
        more for a box that comes with them; None when the program ended."""
        wait_until(lambda: not self.alive() or set(expected) <= set(self.kinds()), timeout, 0.05)
        time.sleep(0.4)
        return self.kinds() if self.alive() else None

    def click(self, window, point):
        self.xdotool("mousemove", "--window", window.id, *point, "click", "1")

    def key(self, window, *keys):
        self.xdotool("windowfocus", "--sync", window.id, "key", "--clearmodifiers", *keys)

    def answer(self, window):
        """Return on a box or the first-run window, and waits for it to go."""
        self.key(window, "Return")
        return wait_until(lambda: all(w.id != window.id for w in self.windows()), 5, 0.05)

    def alive(self):
        return self.process.poll() is None

    def kill(self):
        self.process.kill()
        self.process.wait()

    def close_normally(self, timeout=10):
        """The exit button's exit status (boxes answered first); None if killed."""
        deadline = time.monotonic() + timeout
        while self.alive() and time.monotonic() < deadline:
            if box := self.window_of("box", "confirm", "intro"):
                self.answer(box)
            elif main := self.window_of("main"):
                self.click(main, EXIT_BUTTON)
                wait_until(lambda: not self.alive(), 2)
        if self.alive():
            self.kill()
            return None
        return self.process.returncode


def describe_exit(status):
    return "did not exit and was killed" if status is None else f"exit status {status}"


def _record(line):
    """(date, amount bytes) of one whole ledger line, or None."""
    m = RECORD_LINE.fullmatch(line)
    try:
        return m and (datetime.date(int(m[1]), int(m[2]), int(m[3])), m[4])
    except ValueError:  # a date that names no day
        return None


def appended_record(old, new):
    """(date, amount bytes) of the one whole record new adds to old, or None;
    an unfinished last line gets its line end first."""
    old = old or b""
    if old and not old.endswith(b"\n"):
        old += b"\n" if old.endswith(b"\r") else b"\r\n"
    return _record(new[len(old):]) if new.startswith(old) else None


def ledger_records(content):
    """(date, amount) of each line of a ledger the program wrote, or None."""
    records = [_record(line + b"\r\n") for line in content.split(b"\r\n")[:-1]]
    return None if None in records else records
