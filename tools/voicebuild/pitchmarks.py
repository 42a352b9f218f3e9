"""Pitch marks: one per glottal period in voiced stretches, one every 10 ms
in voiceless ones, every spacing between MIN_PERIOD and MAX_PERIOD samples,
and at least one mark inside every labelled unit.
"""

import math

MIN_PERIOD = 32       # 500 Hz at 16 kHz: closer marks are dropped
MAX_PERIOD = 400      # 40 Hz: wider gaps are filled with evenly spaced marks
VOICELESS_STEP = 160  # 10 ms
SEARCH = 0.22         # a period may differ this much from the one before


def estimate_period(x, a, b, lo=80, hi=300):
    """Pitch period of x[a:b] by normalised autocorrelation (samples)."""
    seg = x[a:b]
    n = len(seg) - hi
    if n <= 0:
        return None
    best, best_score = None, 0.0
    for lag in range(lo, hi + 1):
        num = 0
        e0 = 0
        e1 = 0
        for i in range(0, n, 2):
            u, v = seg[i], seg[i + lag]
            num += u * v
            e0 += u * u
            e1 += v * v
        if e0 and e1:
            score = num / (e0 * e1) ** 0.5
            if score > best_score:
                best, best_score = lag, score
    return best if best_score > 0.5 else None


FUNDAMENTAL_CUTOFF = 200.0  # Hz: keeps the fundamental of a voice near 110 Hz


def fundamental(x, cutoff=FUNDAMENTAL_CUTOFF, rate=16000.0):
    """x low-passed without phase shift (a Butterworth section run forward and
    backward): what is left is the fundamental, whose peaks mark every period
    at the same phase in every phone, so that units cut from different words
    join in phase."""
    w0 = 2 * math.pi * cutoff / rate
    alpha = math.sin(w0) / (2 * math.sqrt(0.5))
    c = math.cos(w0)
    a0 = 1 + alpha
    b0, b1, b2 = (1 - c) / 2 / a0, (1 - c) / a0, (1 - c) / 2 / a0
    a1, a2 = -2 * c / a0, (1 - alpha) / a0

    def run(s):
        out = [0.0] * len(s)
        x1 = x2 = y1 = y2 = 0.0
        for i, v in enumerate(s):
            y = b0 * v + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2
            x2, x1, y2, y1 = x1, v, y1, y
            out[i] = y
        return out

    return run(run(x)[::-1])[::-1]


def voiced_marks(y, a, b, period):
    """Marks on the peak of each period of the fundamental y."""
    if a >= b:
        return []

    def peak(lo, hi):
        best = lo
        for i in range(lo, hi):
            if y[i] > y[best]:
                best = i
        return best

    marks = [peak(a, min(b, a + period))]
    low, high = int(period * (1 - SEARCH)), int(period * (1 + SEARCH)) + 1
    while marks[-1] + low < b:
        marks.append(peak(marks[-1] + low, min(b, marks[-1] + high)))
    return marks


def place_marks(x, units, voiced, period, length):
    """Pitch marks for a recording of `length` samples.

    `units` are (label, start) in order; a unit ends where the next begins and
    the last at `length`.  `voiced(label)` tells voiced units.
    """
    y = fundamental(x)
    return assemble_marks(units, voiced, length, lambda a, b: voiced_marks(y, a, b, period))


def assemble_marks(units, voiced, length, marks_between):
    """Pitch marks of a labelled recording: marks_between(a, b) in every
    stretch of voiced units, one every 10 ms in voiceless ones, regularised,
    and a mark of its own in every unit."""
    bounds = [s for _, s in units] + [length]
    marks = []
    i = 0
    while i < len(units):
        j = i
        v = voiced(units[i][0])
        while j + 1 < len(units) and voiced(units[j + 1][0]) == v:
            j += 1
        a, b = bounds[i], bounds[j + 1]
        if v:
            marks.extend(marks_between(a, b))
        else:
            marks.extend(range(a + VOICELESS_STEP // 2, b, VOICELESS_STEP))
        i = j + 1
    marks = regularise(sorted(set(marks)), 0, length)
    # Every unit needs a mark of its own.
    for k in range(len(units)):
        a, b = bounds[k], bounds[k + 1]
        if not any(a <= m < b for m in marks):
            marks.append((a + b) // 2)
            marks = regularise(sorted(set(marks)), 0, length, keep=(a + b) // 2)
    return marks


def regularise(marks, first, end, keep=None):
    """Drop marks closer than MIN_PERIOD, fill gaps wider than MAX_PERIOD and
    cover [first, end) so that no mark is more than MAX_PERIOD from its ends."""
    out = []
    for m in marks:
        if m < first or m >= end:
            continue
        if out and m - out[-1] < MIN_PERIOD:
            if m == keep:
                out[-1] = m
            continue
        out.append(m)
    if not out:
        out = [first + min(VOICELESS_STEP // 2, (end - first) // 2)]
    filled = [out[0]]
    while filled[0] - first > VOICELESS_STEP:
        filled.insert(0, filled[0] - VOICELESS_STEP)
    for m in out[1:]:
        prev = filled[-1]
        gap = m - prev
        if gap > MAX_PERIOD:
            n = -(-gap // VOICELESS_STEP)
            filled.extend(prev + gap * k // n for k in range(1, n))
        filled.append(m)
    while end - filled[-1] > VOICELESS_STEP:
        filled.append(filled[-1] + VOICELESS_STEP)
    return filled


def check_marks(marks, units, length):
    """Faults of a mark list: [(what, position)]; empty when it is sound."""
    faults = []
    for a, b in zip(marks, marks[1:]):
        if not MIN_PERIOD <= b - a <= MAX_PERIOD:
            faults.append(("period %d" % (b - a), a))
    bounds = [s for _, s in units] + [length]
    k = 0
    for i, (label, _) in enumerate(units):
        a, b = bounds[i], bounds[i + 1]
        while k < len(marks) and marks[k] < a:
            k += 1
        if k >= len(marks) or marks[k] >= b:
            faults.append(("no mark in " + label, a))
    return faults
