"""What the drills share: a private Xvfb, the program started in a directory
with a faked date, its windows found and driven with xdotool, and the ledger
format checked byte by byte."""

import argparse
import atexit
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
    rb'"(\d{4})\x94\x4e(\d{2})\x8c\x8e(\d{2})\x93\xfa","(\d{2}):(\d{2}):(\d{2})",(-?\d+(?:\.\d{1,4})?)\r\n'
)

_children = []

# The program may take this much address space (a normal run needs well under
# 1 GiB): a runaway allocation then fails inside the program, which the drill
# sees as a crash, instead of taking the machine's memory.
MEMORY_LIMIT = 4 << 30


@functools.lru_cache(maxsize=None)
def _sanitized(program):
    with open(program, "rb") as f:
        return b"libasan.so" in f.read()


def _cleanup():
    for process in reversed(_children):
        if process.poll() is None:
            try:
                process.kill()
                process.wait(timeout=5)
            except (OSError, subprocess.TimeoutExpired):
                pass


def _on_signal(number, _frame):
    _cleanup()
    sys.exit(128 + number)


atexit.register(_cleanup)
signal.signal(signal.SIGTERM, _on_signal)
signal.signal(signal.SIGINT, _on_signal)
signal.signal(signal.SIGHUP, _on_signal)


def arguments(description):
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--program", required=True, help="the hibinobori executable")
    parser.add_argument("--fault-lib", required=True, help="fault_inject.so")
    parser.add_argument("--work", required=True, help="a scratch directory, emptied first")
    parser.add_argument("--full", action="store_true", help="the long form")
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--verbose", action="store_true")
    return parser


def fresh_directory(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def find_libfaketime():
    for pattern in ("/usr/lib/*/faketime/libfaketimeMT.so.1", "/usr/lib/faketime/libfaketimeMT.so.1",
                    "/usr/local/lib/faketime/libfaketimeMT.so.1", "/usr/lib/*/faketime/libfaketime.so.1"):
        found = sorted(glob.glob(pattern))
        if found:
            return found[0]
    raise SystemExit("libfaketime not found (apt-get install libfaketime)")


def wait_until(predicate, timeout, interval=0.02):
    """Polls predicate until it returns something true; that value, or None."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            return None
        time.sleep(interval)


class Tally:
    def __init__(self, name):
        self.name = name
        self.passed = 0
        self.failed = 0
        self.failures = []

    def check(self, case, ok, detail=""):
        if ok:
            self.passed += 1
        else:
            self.failed += 1
            self.failures.append(f"{case}: {detail}")
            print(f"FAIL {case}: {detail}", flush=True)
        return ok

    def finish(self):
        if self.failures:
            print(f"{self.name}: {len(self.failures)} failure(s)")
        print(f"{self.passed} passed, {self.failed} failed", flush=True)
        return 1 if self.failed else 0


class Display:
    """A private Xvfb on a free display number."""

    def __init__(self):
        if not shutil.which("Xvfb") or not shutil.which("xdotool"):
            raise SystemExit("Xvfb and xdotool are needed (apt-get install xvfb xdotool)")
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
             "-noreset"],
            pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        _children.append(self.process)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 20
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        if not number.strip():
            raise SystemExit("Xvfb did not start")
        self.name = ":" + number.decode().strip()

    def close(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.process.kill()


class Window:
    def __init__(self, wid, name, width, height):
        self.id = wid
        self.name = name
        self.size = (width, height)

    @property
    def kind(self):
        if self.name == MAIN_TITLE and self.size == MAIN_SIZE:
            return "main"
        if self.name.startswith(INTRO_TITLE):
            return "intro"
        if self.name.startswith(CONFIRM_TITLE):
            return "confirm"
        if self.name == MAIN_TITLE:
            return "box"  # the program's message boxes carry its title
        return "other"

    def __repr__(self):
        return f"{self.kind}({self.name!r} {self.size[0]}x{self.size[1]})"


class Program:
    """The real program, started in directory under display, with a faked clock."""

    def __init__(self, args, display, directory, fake_time=None, control=None, fault_log=None,
                 log=None):
        self.args = args
        self.display = display
        self.directory = directory
        env = dict(os.environ)
        env["DISPLAY"] = display.name
        env["QT_QPA_PLATFORM"] = "xcb"
        env.pop("WAYLAND_DISPLAY", None)
        env["LC_ALL"] = "C.UTF-8"
        preload = [os.path.abspath(args.fault_lib)]
        if fake_time is not None:
            preload.insert(0, find_libfaketime())
            env["FAKETIME"] = "@" + fake_time.strftime("%Y-%m-%d %H:%M:%S")
            env["DONT_FAKE_MONOTONIC"] = "1"
        env["LD_PRELOAD"] = ":".join(preload)
        # A sanitized build wants its runtime first among the loaded libraries.
        env["ASAN_OPTIONS"] = ":".join(x for x in (env.get("ASAN_OPTIONS", ""), "verify_asan_link_order=0")
                                       if x)
        limit = None
        if _sanitized(args.program):
            # The sanitizer reserves its shadow memory as address space. Strict
            # string checks stop the program at start-up inside the X keyboard
            # library (its strndup reads past a buffer that holds no NUL), not
            # in anything of ours.
            env["ASAN_OPTIONS"] += f":hard_rss_limit_mb={MEMORY_LIMIT >> 20}:strict_string_checks=0"
        else:
            limit = MEMORY_LIMIT
        env["HIBI_FAULT_CONTROL"] = control or ""
        env["HIBI_FAULT_LOG"] = fault_log or ""
        self.log_path = log or os.devnull
        self.log_file = open(self.log_path, "ab")
        self.started = time.monotonic()
        self.process = subprocess.Popen(
            [os.path.abspath(args.program)], cwd=directory, env=env, stdin=subprocess.DEVNULL,
            stdout=self.log_file, stderr=subprocess.STDOUT,
            preexec_fn=(lambda: resource.setrlimit(resource.RLIMIT_AS, (limit, limit))) if limit else None)
        _children.append(self.process)

    # --- windows -------------------------------------------------------------

    def xdotool(self, *words, timeout=5):
        env = dict(os.environ, DISPLAY=self.display.name)
        result = subprocess.run(["xdotool", *words], env=env, capture_output=True, timeout=timeout)
        return result.stdout.decode("utf-8", "replace")

    def xdotool_nowait(self, *words):
        """Starts xdotool and returns at once, so that a kill can land while
        the program handles the input."""
        env = dict(os.environ, DISPLAY=self.display.name)
        process = subprocess.Popen(["xdotool", *words], env=env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        _children.append(process)
        return process

    def windows(self):
        """The visible windows, in one xdotool call: the geometry of each
        (WINDOW=, WIDTH=, HEIGHT= ...), then the name of each, in the same order."""
        out = self.xdotool("search", "--onlyvisible", "--name", ".", "getwindowgeometry", "--shell", "%@",
                           "getwindowname", "%@")
        geometries, names = [], []
        for text in out.splitlines():
            key, eq, value = text.partition("=")
            if eq and key in ("WINDOW", "X", "Y", "WIDTH", "HEIGHT", "SCREEN") and not names:
                if key == "WINDOW":
                    geometries.append({})
                if geometries:
                    geometries[-1][key] = value
            else:
                names.append(text)
        found = []
        for geometry, name in zip(geometries, names):
            try:
                found.append(Window(geometry["WINDOW"], name, int(geometry["WIDTH"]), int(geometry["HEIGHT"])))
            except (KeyError, ValueError):
                continue
        return found

    def kinds(self):
        return sorted(w.kind for w in self.windows() if w.kind != "other")

    def window_of(self, kind):
        for w in self.windows():
            if w.kind == kind:
                return w
        return None

    def wait_for(self, kind, timeout=10):
        return wait_until(lambda: self.alive() and self.window_of(kind), timeout, 0.05)

    def wait_gone(self, window, timeout=5):
        return wait_until(lambda: all(w.id != window.id for w in self.windows()), timeout, 0.05)

    def wait_settled(self, expected=("main",), timeout=30):
        """Waits for the start-up to show the windows expected, then a moment
        more for any other (a box shows together with the main window).
        Returns the kinds showing, or None when the program ended."""
        wanted = sorted(expected)
        ready = wait_until(lambda: not self.alive() or set(wanted) <= set(self.kinds()), timeout, 0.05)
        if not ready or not self.alive():
            return None if not self.alive() else self.kinds()
        extra = wait_until(lambda: [k for k in self.kinds() if k not in wanted], 0.4, 0.05)
        return sorted(wanted + (extra or [])) if extra else wanted

    # --- input ---------------------------------------------------------------

    def click(self, window, point):
        self.xdotool("mousemove", "--window", window.id, str(point[0]), str(point[1]), "click", "1")

    def point_at(self, window, point):
        self.xdotool("mousemove", "--window", window.id, str(point[0]), str(point[1]))

    def key(self, window, *keys):
        self.xdotool("windowfocus", "--sync", window.id, "key", "--clearmodifiers", *keys)

    def type_text(self, window, text):
        self.xdotool("windowfocus", "--sync", window.id, "type", "--delay", "5", text)

    def answer(self, window):
        """Return on a box or the first-run window, and waits for it to go."""
        self.key(window, "Return")
        return self.wait_gone(window)

    # --- process -------------------------------------------------------------

    def alive(self):
        return self.process.poll() is None

    def kill(self):
        if self.alive():
            os.kill(self.process.pid, signal.SIGKILL)
        self.process.wait()
        self.log_file.close()

    def close_normally(self, timeout=10):
        """Presses the exit button (answering any box first); the exit status,
        or None when it had to be killed."""
        deadline = time.monotonic() + timeout
        while self.alive() and time.monotonic() < deadline:
            windows = self.windows()
            boxes = [w for w in windows if w.kind in ("box", "confirm", "intro")]
            if boxes:
                self.answer(boxes[0])
                continue
            main = next((w for w in windows if w.kind == "main"), None)
            if main:
                self.click(main, EXIT_BUTTON)
            if wait_until(lambda: not self.alive(), 2):
                break
        if self.alive():
            self.kill()
            return None
        self.log_file.close()
        return self.process.returncode


def describe_exit(status):
    if status is None:
        return "did not exit and was killed"
    if status < 0:
        return f"died of signal {signal.Signals(-status).name}"
    return f"exit status {status}"


def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return None


def write_bytes(path, data):
    with open(path, "wb") as f:
        f.write(data)


def record_line(day, amount, clock="12:00:00"):
    text = f'"{day.year:04d}年{day.month:02d}月{day.day:02d}日","{clock}",{amount}\r\n'
    return text.encode("cp932")


def date_of_record(line):
    m = RECORD_LINE.fullmatch(line)
    if not m:
        return None
    return datetime.date(int(m.group(1)), int(m.group(2)), int(m.group(3)))


def appended_record(old, new):
    """The one whole record line new adds to old, or None. A last line
    without its line end gets one before the new record."""
    if old is None:
        old = b""
    bases = [old]
    if old and not old.endswith(b"\n"):
        bases = [old + (b"\n" if old.endswith(b"\r") else b"\r\n")]
    for base in bases:
        if new.startswith(base):
            tail = new[len(base):]
            if RECORD_LINE.fullmatch(tail):
                return tail
    return None


def ledger_records(content):
    """(date, amount) of each line of a ledger the program wrote."""
    records = []
    for line in content.split(b"\r\n")[:-1]:
        m = RECORD_LINE.fullmatch(line + b"\r\n")
        if not m:
            return None
        records.append((datetime.date(int(m.group(1)), int(m.group(2)), int(m.group(3))), m.group(7)))
    return records
