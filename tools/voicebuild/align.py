"""Phone boundaries of a recorded take without hand labels.

The donor speaks the take's prompt; its phoneme events give the phone times
of that rendering.  Both are cut to their speech with a margin, described by
mel-frequency cepstra (mean removed, so that the microphone and the room
weigh less) and a level track, and warped onto each other by dynamic time
warping; every donor event is carried along the warping path into the take.
The mean frame distance along the path measures how well the take matches
its prompt: the kit compares it with the session's median to flag takes to
record again.
"""

import numpy as np

import features as ft

MARGIN_MS = 80         # kept around the speech of both signals
SPEECH_ABOVE_FLOOR_DB = 15.0
FLOOR_PERCENTILE = 2   # the noise floor: the quietest frames of the take
SPEECH_BELOW_PEAK_DB = 45.0
MIN_SPEECH_MS = 40     # shorter bursts above the threshold are clicks, not speech
MIN_UNIT_MS = 8        # events that the path lays closer are moved apart
LEVEL_WEIGHT = 0.15    # weight of the level track (dB) beside the cepstra
BAND_FRACTION = 0.4    # warping band: this share of the longer signal


class AlignError(ValueError):
    pass


def speech_span(x):
    """(first, end) sample of the speech in x: frames louder than the noise
    floor by SPEECH_ABOVE_FLOOR_DB, runs shorter than MIN_SPEECH_MS ignored."""
    e = ft.frame_energy(x)
    floor = np.percentile(e, FLOOR_PERCENTILE)
    if e.max() - floor < SPEECH_ABOVE_FLOOR_DB:
        raise AlignError("no speech found")
    loud = e > max(floor + SPEECH_ABOVE_FLOOR_DB, e.max() - SPEECH_BELOW_PEAK_DB)
    min_run = MIN_SPEECH_MS * ft.RATE // 1000 // ft.HOP
    runs = []
    k = 0
    while k < len(loud):
        if loud[k]:
            j = k
            while j < len(loud) and loud[j]:
                j += 1
            if j - k >= min_run:
                runs.append((k, j))
            k = j
        else:
            k += 1
    if not runs:
        raise AlignError("no speech found")
    return runs[0][0] * ft.HOP, min(len(x), runs[-1][1] * ft.HOP)


def describe(x):
    """Frame features: cepstra c1..c12 less their mean, and the level in dB
    below the loudest frame (weighted)."""
    c = ft.mfcc(x)[:, 1:]
    c = c - c.mean(axis=0)
    e = ft.frame_energy(x)
    level = LEVEL_WEIGHT * np.maximum(e - e.max(), -60.0)
    return np.column_stack([c, level])


def align(take, donor_samples, donor_events):
    """Donor events carried into the take: ([(name, take sample)], cost).

    `take` and `donor_samples` are 16 kHz; `donor_events` are (name, sample)
    of the donor rendering.
    """
    margin = MARGIN_MS * ft.RATE // 1000
    ta, tb = speech_span(take)
    da, db = speech_span(donor_samples)
    ta, tb = max(0, ta - margin), min(len(take), tb + margin)
    da, db = max(0, da - margin), min(len(donor_samples), db + margin)
    # The donor's silence is digital: a little noise keeps its level track
    # and cepstra finite, as in any room.
    rng = np.random.default_rng(0)
    d = np.asarray(donor_samples[da:db], dtype=np.float64) + rng.normal(0, 3.0, db - da)
    a = describe(d)
    b = describe(take[ta:tb])
    band = int(max(len(a), len(b)) * BAND_FRACTION) + abs(len(a) - len(b))
    path, cost = ft.dtw(a, b, band=band)
    # Donor frame -> mean of the take frames it is paired with.
    to_take = np.zeros(len(a))
    count = np.zeros(len(a))
    for i, j in path:
        to_take[i] += j
        count[i] += 1
    to_take /= np.maximum(count, 1)

    def carry(s):
        f = (s - da) / ft.HOP
        f = min(max(f, 0.0), len(a) - 1.0)
        lo = int(f)
        hi = min(lo + 1, len(a) - 1)
        j = to_take[lo] + (to_take[hi] - to_take[lo]) * (f - lo)
        return ta + int(round(j * ft.HOP))

    out = []
    gap = MIN_UNIT_MS * ft.RATE // 1000
    for name, s in donor_events:
        p = carry(s)
        if out and p < out[-1][1] + gap:
            p = out[-1][1] + gap
        out.append((name, min(p, len(take) - 1)))
    return out, cost
