#!/usr/bin/env python3
"""Malformed-ledger drill: the program starts on each ledger of
malformed_ledgers.py, answers its windows, deposits and exits with status 0. A
ledger refused at start-up stays byte for byte, a changed one gained one whole
record, and what malformed_ledgers.expect() is sure of is checked exactly.
Short form: 30 ledgers; --full: 1,000. --shard I/N runs every N-th from the I-th.
"""

import collections
import os
import sys

import drill_common as dc
import malformed_ledgers as ml


def answer_all(program, quiet_for):
    """Answers every box and first-run window until none shows for quiet_for
    seconds (a fifth of that after an answer); returns their kinds."""
    seen = []
    for round_number in range(6):
        others = dc.wait_until(
            lambda: program.alive() and [w for w in program.windows() if w.kind in ("box", "intro", "confirm")],
            quiet_for if round_number == 0 else quiet_for / 5, 0.05)
        for window in others or []:
            seen.append(window.kind)
            program.answer(window)
        if not others:
            break
    return seen


def run(drill, data):
    """Starts, answers, deposits and exits; the problems, the ledger left and
    the windows shown at start-up and on the deposit."""
    directory = dc.fresh_directory(os.path.join(drill.work, "run"))
    ledger = os.path.join(directory, dc.LEDGER_NAME)
    dc.write_bytes(ledger, data)
    program = drill.start(directory, ml.TODAY, log=os.path.join(drill.work, "program.out"))
    problems, at_start, at_deposit = [], [], []
    main = dc.wait_until(lambda: not program.alive() or program.window_of("main"), 30)
    if program.alive() and main:
        at_start = answer_all(program, 0.6)
        program.click(main, dc.DEPOSIT_BUTTON)
        if "box" not in at_start:
            dc.wait_until(lambda: dc.read_bytes(ledger) != data or program.window_of("box"), 3)
        at_deposit = answer_all(program, 0.3 if "box" in at_start else 0.2)
    elif program.alive():
        problems.append("no main window")
    status = program.close_normally() if program.alive() else program.process.returncode
    if status != 0:
        problems.append(dc.describe_exit(status))
    return problems, dc.read_bytes(ledger), at_start, at_deposit


def run_case(drill, number, kind, data, outcomes):
    verdict, detail = ml.expect(data)
    name = f"ledger {number:04d} ({kind}, expected {verdict}: {detail})"
    problems, new, at_start, at_deposit = run(drill, data)
    added = new is not None and new != data and dc.appended_record(data, new)
    if new is None:
        outcome = "ledger gone"
    elif "box" in at_start:
        outcome = "refused at start-up" + ("" if new == data else ", CHANGED")
    elif new == data:
        outcome = "read, deposit refused" if "box" in at_deposit else "read, nothing written"
    else:
        outcome = "read, one record added" if added and added[0] == ml.TODAY else "read, file BROKEN"
    if outcome in ("ledger gone", "refused at start-up, CHANGED", "read, file BROKEN"):
        problems.append(f"{outcome}: {(new or b'')[-80:]!r}")
    expected = {"reject": "refused at start-up", "full": "read, deposit refused"}.get(verdict, outcome)
    if outcome != expected:
        problems.append(f"expected {expected}, got {outcome}")
    if verdict == "accept":
        if set(at_start) - {"intro"}:
            problems.append(f"start-up showed {at_start}")
        if detail is None and new != data:
            problems.append("nothing was due, yet the file changed")
        elif detail is not None and (not added or added[1] != str(detail // 10000).encode()):
            problems.append(f"recorded {added!r} ({outcome}), expected {detail // 10000} yen")
    outcomes[outcome] += 1
    sample = os.path.join(drill.work, f"{number:04d}.txt")
    if not drill.check(name, not problems, "; ".join(problems) + f" (kept in {sample})"):
        dc.write_bytes(sample, data)


def main():
    parser = dc.arguments(__doc__)
    parser.add_argument("--shard", default="1/1", help="I/N: every N-th ledger from the I-th")
    args = parser.parse_args()
    shard, shards = (int(x) for x in args.shard.split("/"))
    # Seed 48's first 30 ledgers hold each kind both refused and read, where it can be.
    seed = args.seed if args.seed is not None else 48
    cases = ml.generate(1000 if args.full else 30, seed, with_big=args.full)
    print(f"malformed drill: {len(cases)} ledgers, seed {seed}, shard {shard}/{shards}", flush=True)
    drill = dc.Drill(args)
    outcomes = collections.Counter()
    for number in range(shard - 1, len(cases), shards):
        run_case(drill, number, *cases[number], outcomes)
    return drill.finish(f"outcomes: {dict(sorted(outcomes.items()))}")


if __name__ == "__main__":
    sys.exit(main())
