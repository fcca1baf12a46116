#!/usr/bin/env python3
"""Malformed ledgers made from valid ones, and expect(): what the program
must make of each, read by its promises (Shift-JIS "YYYY年MM月DD日","hh:mm:ss",
amount lines, up to four decimals, blank lines and LF ends allowed, only the
first and the last date counted); "unsure" where this model cannot tell.
"""

import datetime
import itertools
import random
import re

TODAY = datetime.date(2031, 6, 15)
FIRST = datetime.date(2031, 6, 1)
MAX_RECORDS = 32766
INT64_MAX = 2**63 - 1


def line(day, amount, date_text=None):
    date = date_text if date_text is not None else f"{day.year:04d}年{day.month:02d}月{day.day:02d}日"
    return f'"{date}","08:30:00",{amount}\r\n'.encode("cp932")


def valid_ledger(rng):
    """Three to eight records from FIRST on, paying as the program would."""
    days = [0] + sorted(rng.sample(range(1, (TODAY - FIRST).days), rng.randint(2, 7)))
    due = lambda d: (d + 1) * (d + 2) // 2  # the plan's total by day d
    return [(FIRST + datetime.timedelta(days=d), due(d) - (due(p) if n else 0))
            for n, (p, d) in enumerate(zip([0] + days, days))]


def render(records):
    return b"".join(line(day, amount) for day, amount in records)


# --- what the program should do ------------------------------------------------

# Bytes where code page 932 tables disagree (single bytes 0x80, 0xA0, 0xFD-0xFF,
# the user-defined and vendor rows): the model does not guess.
_UNSURE = set(range(0x85, 0x89)) | set(range(0xEB, 0xFD)) | {0x80, 0xA0, 0xFD, 0xFE, 0xFF}


def _unsure_bytes(data):
    i = 0
    while i < len(data):
        if data[i] in _UNSURE:
            return True
        i += 2 if 0x81 <= data[i] <= 0x9F or 0xE0 <= data[i] <= 0xFC else 1
    return False


def date_of(text):
    m = re.fullmatch(r"(\d{4})年(\d{1,2})月(\d{1,2})日", text, re.ASCII)
    try:
        return m and datetime.date(*map(int, m.groups()))
    except ValueError:  # no such day, or the year 0
        return None


def amount_units(text):
    """Ten-thousandths of a yen, or a reason."""
    m = re.fullmatch(r"(-?)(\d*)(?:\.(\d*))?", text, re.ASCII)
    if not m or not (m.group(2) or m.group(3)):
        return "malformed"
    decimals = m.group(3) or ""
    if len(decimals) > 4:
        return "decimals"
    units = int((m.group(2) or "") + decimals.ljust(4, "0") or "0")
    if units > INT64_MAX:
        return "range"
    return -units if m.group(1) else units


def expect(data, today=TODAY):
    """("reject", why) | ("accept", amount due in units, or None when nothing is due)
    | ("full", why): read, but a deposit is refused with a message | ("unsure", why)"""
    if _unsure_bytes(data):
        return ("unsure", "bytes code page tables disagree on")
    try:
        text = data.decode("cp932")
    except UnicodeDecodeError:
        return ("reject", "encoding")
    records = []
    for raw in text.split("\n"):
        raw = raw.removesuffix("\r")
        if not raw:
            continue
        if len(records) >= MAX_RECORDS:
            return ("reject", "too many records")
        m = re.fullmatch(r'"([^"]*)","([^"]*)",(.*)', raw, re.S)
        if not m:
            return ("reject", "malformed")
        units = amount_units(m.group(3))
        if isinstance(units, str):
            return ("reject", units)
        if not records and not date_of(m.group(1)):
            return ("reject", "first date")
        records.append((m.group(1), units))
    if not records:
        return ("accept", 10000)  # a new plan: day 1, one yen
    first, last = date_of(records[0][0]), date_of(records[-1][0])
    if not last:
        return ("reject", "last date")
    sums = list(itertools.accumulate(units for _, units in records))
    if max(map(abs, sums)) > INT64_MAX:
        return ("reject", "sum out of range")
    if abs(sums[-1]) > INT64_MAX // 2:
        return ("unsure", "sum near the amount's limit")
    if last > today:
        return ("reject", "clock behind the last date")
    if first > last:
        return ("unsure", "first date after the last")
    k = (today - first).days
    if k > 32000:
        return ("reject", "day number out of range") if k > 40000 else ("unsure", "day number near its limit")
    if len(records) >= MAX_RECORDS:
        return ("full", "no room for one more record")
    if last == today:
        return ("accept", None)
    # Day k + 1 of the plan, and each day missed since the last deposit.
    return ("accept", sum(range(k + 2 - (today - last).days, k + 2)) * 10000)


# --- malformations -------------------------------------------------------------
# Each takes the random source and a valid ledger's records, and returns bytes.

def _edit_line(rng, records, edit):
    """The ledger with one line, picked at random, put through edit."""
    lines = render(records).split(b"\r\n")
    i = rng.randrange(len(lines) - 1)
    lines[i] = edit(lines[i])
    return b"\r\n".join(lines)


def truncated(rng, records):
    data = render(records)
    last_start = data.rstrip(b"\r\n").rfind(b"\r\n") + 2
    return data[: rng.randint(last_start + 1, len(data) - 3)]


def bad_quotes(rng, records):
    def edit(raw):
        q = rng.choice([n for n, b in enumerate(raw) if b == 0x22])
        head, _, amount = raw.rpartition(b",")
        return rng.choice([raw[:q] + raw[q + 1:], raw[:q] + b'"' + raw[q:], raw.replace(b'"', b"'"),
                           head + b',"' + amount + b'"'])
    return _edit_line(rng, records, edit)


BAD_DATES = ["2031年02月30日", "2031年13月01日", "2031年00月10日", "0000年01月01日", "31年06月01日",
             "2031/06/01", "２０３１年06月01日", "", "2031年06月01日 ", "2031年06月32日", "2030年02月29日"]


def bad_date(rng, records):
    index = rng.choice([0, len(records) - 1, rng.randrange(1, len(records) - 1)])  # first, last, between
    text = rng.choice(BAD_DATES)
    return b"".join(line(day, amount, date_text=text if n == index else None)
                    for n, (day, amount) in enumerate(records))


def invalid_cp932(rng, records):
    bad = rng.choice([b"\x81", b"\x81\x7f", b"\x9f\x20", b"\xe0\x0a", b"\xff", b"\x80", b"\x82", b"\xef\xfc"])
    spot = rng.randrange(3)
    if spot == 2:
        return render(records) + bad
    return _edit_line(rng, records, lambda raw: raw[:1] + bad + raw[1:] if spot == 0 else raw + bad)


AMOUNTS = ["922337203685477.5807", "922337203685477.5808", "99999999999999999999", "-922337203685477.5808",
           "1e10", "0x10", "１２３", "1.12345", "1.", ".5", "1.1.2", "-", "", " 1"]


def bad_amount(rng, records):
    lines = render(records).split(b"\r\n")
    i = rng.randrange(len(lines) - 1)
    head = lines[i].rpartition(b",")[0]
    lines[i] = head + b"," + rng.choice(AMOUNTS).encode("cp932")
    if rng.random() < 0.3:  # two in-range amounts that overflow together
        lines[(i + 1) % (len(lines) - 1)] = head + b",922337203685477"
    return b"\r\n".join(lines)


STRUCTURES = [
    lambda data: data.replace(b"\r\n", b',"x"\r\n', 1),  # a fourth field
    lambda data: data.replace(b'","', b'", "', 1),  # a blank after a comma
    lambda data: data.replace(b"\r\n", b"\r\n\x00", 1),
    lambda data: b"\xef\xbb\xbf" + data,  # a UTF-8 byte order mark
    lambda data: data.replace(b"\r\n", b"\r"),  # old Mac line ends: one long line
    lambda data: data.decode("cp932").encode("utf-8"),
    lambda data: data + b'"' + b"9" * 100000 + b'"\r\n',
    lambda data: data.replace(b"\r\n", b"\r\n\r\n").replace(b"\r\n", b"\n"),  # blank lines, LF only: valid
    lambda data: data[:-2],  # no final line end: valid
]


def structure(rng, records):
    return rng.choice(STRUCTURES)(render(records))


def odd_dates(rng, records):
    return render(rng.choice([
        records + [(TODAY + datetime.timedelta(days=rng.randint(1, 400)), 1)],  # the last one in the future
        [(datetime.date(1900, 1, 1), 1)] + records,  # a plan begun over 40,000 days ago
        [(records[-1][0] + datetime.timedelta(days=3), 1)] + records,  # the first after the last
        records + [(TODAY, 5)],  # paid today already
    ]))


def too_many(rng, records):
    # Dates between the first and the last are only shown: the counts matter.
    return line(FIRST, 1) + line(FIRST + datetime.timedelta(days=1), 1) * (MAX_RECORDS - 1 + rng.choice([0, 1]))


KINDS = [("truncated", truncated, 12), ("bad quotes", bad_quotes, 10), ("bad date", bad_date, 14),
         ("invalid cp932", invalid_cp932, 12), ("bad amount", bad_amount, 16), ("structure", structure, 14),
         ("odd dates", odd_dates, 8), ("valid", lambda rng, records: render(records), 4)]


def generate(count, seed, with_big=True):
    """count (kind, bytes) pairs, the first of each kind in turn (the one over
    the record limit only with_big)."""
    rng = random.Random(seed)
    kinds = KINDS + ([("too many records", too_many, 0)] if with_big else [])
    out = []
    for n in range(count):
        name, make, _ = kinds[n] if n < len(kinds) else rng.choices(kinds, weights=[w for _, _, w in kinds])[0]
        out.append((name, make(rng, valid_ledger(rng))))
    return out
