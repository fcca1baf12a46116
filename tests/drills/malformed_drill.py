#!/usr/bin/env python3
"""Malformed-ledger drill: the real program under Xvfb starts, one at a time,
on ledgers made broken in many ways (malformed_ledgers.py): truncated records,
bad quotes, bad dates, bytes that are not code page 932, huge amounts, too
many decimals, random byte flips, odd line structure, dates out of order.

For each: a fresh directory holds the ledger, the program starts on a faked
day after the ledger's dates, every window it opens is answered with Return,
the deposit button is pressed, and the exit button ends it. Checked:
  - it never dies: the exit status after the exit button is 0;
  - with a message at start-up, the file is byte for byte as it was;
  - a changed file is the old one plus exactly one whole record of that day;
  - what malformed_ledgers.expect() is sure of: a ledger it calls broken gets
    a message and stays as it was, one it calls sound gets the deposit due.

  malformed_drill.py --program P --fault-lib F --work DIR [--full] [--seed N]
Short form: 30 ledgers. --full: 1,000, one of them over the record limit.
--shard I/N runs every N-th ledger from the I-th (1-based), so that a long run
can be shared by N processes, each with its own Xvfb and --work.
--ledgers DIR runs the ledgers in DIR instead, e.g. the ones a run kept.
"""

import collections
import datetime
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import drill_common as dc  # noqa: E402
import malformed_ledgers as ml  # noqa: E402


def answer_all(program, seen, quiet_for):
    """Answers every box and first-run window until none shows for quiet_for
    seconds (a fifth of that after the first round: what follows an answer
    shows at once); their kinds go to seen."""
    for round_number in range(6):
        others = dc.wait_until(
            lambda: program.alive() and [w for w in program.windows() if w.kind in ("box", "intro", "confirm")],
            quiet_for if round_number == 0 else quiet_for / 5, 0.05)
        if not others:
            return
        for window in others:
            seen.append(window.kind)
            program.answer(window)


def run_case(args, display, work, number, kind, data, tally, outcomes):
    expectation = ml.expect(data)
    name = f"ledger {number:04d} ({kind}, expected {expectation[0]}: {expectation[1]})"
    directory = dc.fresh_directory(os.path.join(work, "run"))
    ledger = os.path.join(directory, dc.LEDGER_NAME)
    dc.write_bytes(ledger, data)
    sample = os.path.join(work, "ledgers", f"{number:04d}.txt")
    dc.write_bytes(sample, data)
    program = dc.Program(args, display, directory, fake_time=datetime.datetime.combine(ml.TODAY, datetime.time(12)),
                         log=os.path.join(work, "program.out"))
    problems = []
    at_start, at_deposit = [], []
    main = dc.wait_until(lambda: not program.alive() or program.window_of("main"), 30)
    if program.alive() and main:
        answer_all(program, at_start, 0.6)
        program.click(main, dc.DEPOSIT_BUTTON)
        if "box" in at_start:
            answer_all(program, at_deposit, 0.3)
        else:
            dc.wait_until(lambda: dc.read_bytes(ledger) != data or program.window_of("box"), 3)
            answer_all(program, at_deposit, 0.2)
    elif program.alive():
        problems.append("no main window")
    status = program.close_normally() if program.alive() else program.process.returncode
    if status != 0:
        problems.append(dc.describe_exit(status))
    new = dc.read_bytes(ledger)
    added = dc.appended_record(data, new) if new is not None and new != data else None

    if new is None:
        problems.append("the ledger is gone")
        outcome = "ledger gone"
    elif "box" in at_start:
        outcome = "rejected at start-up, unchanged"
        if new != data:
            problems.append(f"a ledger it could not read was rewritten: {new[-60:]!r}")
            outcome = "rejected at start-up, CHANGED"
    elif new == data:
        outcome = ("read, deposit refused with a message" if "box" in at_deposit else "read, nothing written")
    elif added and dc.date_of_record(added) == ml.TODAY:
        outcome = "read, one record appended"
    else:
        outcome = "read, file BROKEN"
        problems.append(f"the file changed but not by one record of {ml.TODAY}: {new[-80:]!r}")

    verdict, detail = expectation
    if verdict == "reject" and outcome != "rejected at start-up, unchanged":
        problems.append(f"expected a message at start-up and no change, got: {outcome}")
    elif verdict == "accept":
        if at_start and set(at_start) != {"intro"}:
            problems.append(f"start-up showed {at_start}")
        if detail is None and new != data:
            problems.append("nothing was due, yet the file changed")
        if detail is not None:
            if not added:
                problems.append(f"the deposit due was not recorded ({outcome})")
            elif dc.RECORD_LINE.fullmatch(added).group(7) != str(detail // 10000).encode():
                problems.append(f"recorded {added!r}, expected {detail // 10000} yen")
    elif verdict == "full" and outcome != "read, deposit refused with a message":
        problems.append(f"expected the deposit refused with a message, got: {outcome}")

    outcomes[outcome] += 1
    if not problems:
        os.remove(sample)  # only the failing ledgers are kept
    tally.check(name, not problems, "; ".join(problems) + f" (kept in {sample})")
    if args.verbose:
        print(f"{name}: {outcome} {at_start} {at_deposit}", flush=True)


def main():
    parser = dc.arguments(__doc__)
    parser.add_argument("--shard", default="1/1", help="I/N: every N-th ledger from the I-th")
    parser.add_argument("--ledgers", help="run the ledgers in this directory instead")
    args = parser.parse_args()
    shard, shards = (int(x) for x in args.shard.split("/"))
    count = 1000 if args.full else 30
    seed = args.seed if args.seed is not None else 1
    if args.ledgers:
        names = sorted(os.listdir(args.ledgers))
        cases = []
        for name in names:
            with open(os.path.join(args.ledgers, name), "rb") as f:
                cases.append((name, f.read()))
        count = len(cases)
    else:
        cases = ml.generate(count, seed, with_big=args.full)
    print(f"malformed drill: {count} ledgers, seed {seed}, shard {shard}/{shards}", flush=True)
    work = dc.fresh_directory(args.work)
    os.makedirs(os.path.join(work, "ledgers"))
    tally = dc.Tally("malformed drill")
    outcomes = collections.Counter()
    chosen = [n for n in range(len(cases)) if n % shards == shard - 1]
    expected = collections.Counter(ml.expect(cases[n][1])[0] for n in chosen)
    display = dc.Display()
    started = time.monotonic()
    for number in chosen:
        kind, data = cases[number]
        run_case(args, display, work, number, kind, data, tally, outcomes)
    display.close()
    print(f"expected: {dict(sorted(expected.items()))}")
    print(f"outcomes: {dict(sorted(outcomes.items()))}")
    print(f"duration: {time.monotonic() - started:.1f} s")
    return tally.finish()


if __name__ == "__main__":
    sys.exit(main())
