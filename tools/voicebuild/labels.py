"""Unit labels of one rendered carrier word, from the donor's phoneme events.

The donor reports a stop at its release and leaves the silent closure at the
end of the phone before; voiced stops and affricates carry their closure
inside their own phoneme.  Closures are cut out here so that every plosive
becomes a closure unit followed by a release unit, as the phone conversion
asks for them.
"""

import phones as ph


class LabelError(ValueError):
    pass


def _rms(x, a, b):
    n = max(1, b - a)
    return (sum(v * v for v in x[a:b]) / n) ** 0.5


def silent_start(x, end, limit, frame, threshold):
    """First sample of the silent stretch that ends at `end` (not before limit)."""
    pos = end
    while pos - frame >= limit and _rms(x, pos - frame, pos) < threshold:
        pos -= frame
    return pos


# Donor consonant names back to phones, for consonants that the donor changed
# (it assimilates voicing in obstruent clusters and devoices final ones).
# The donor's voiced velar fricative (h before a voiced obstruent) is "h" too.
_FROM_DONOR = {ph.donor_event_name(p): p for p in ph.CONSONANTS}
_FROM_DONOR["Q"] = "h"


def spoken_phones(phones, names):
    """The phones the donor really said: the asked phones, with each consonant
    that the donor replaced by another one taken from the donor."""
    expected = [ph.donor_event_name(p) for p in phones]
    if len(names) != len(expected):
        raise LabelError("donor said %s for %s" % (" ".join(names), " ".join(expected)))
    out = []
    for p, want, said in zip(phones, expected, names):
        if want == said:
            out.append(p)
        elif not ph.is_vowel(p) and said in _FROM_DONOR:
            out.append(_FROM_DONOR[said])
        else:
            raise LabelError("donor said %s for %s" % (" ".join(names), " ".join(expected)))
    return out


# Obstruents that differ in voicing alone.
VOICING_PARTNER = {"b": "p", "d": "t", "g": "k", "z": "s", "Z": "S", "dZ": "tS"}
VOICING_PARTNER.update({v: k for k, v in list(VOICING_PARTNER.items())})
VOICING_PARTNER["f"] = "v"  # the donor voices f before a voiced obstruent


def label_phones(asked, spoken):
    """The phone each spoken phone is labelled with.

    Where the donor only changed the voicing of an obstruent (it assimilates
    clusters and devoices finals, as Slovenian speakers do), the label keeps
    the phone that was asked for: a transcription that writes "b" before "f"
    or at the end of a word then finds a recording of it, spoken as Slovenian
    speakers say it.  Any other change takes the spoken phone.
    """
    return [a if VOICING_PARTNER.get(a) == s else s for a, s in zip(asked, spoken)]


def word_units(phones, samples, events, rate):
    """[(unit, start sample)], the end sample and the label phones of one
    rendered word.

    `events` are the donor's (name, sample) phoneme events; they must match
    the phones one to one (up to consonant changes), else LabelError.  Units
    are cut as the donor spoke them and named after label_phones.
    """
    names = [n for n, _ in events if not n.startswith("_")]
    asked = phones
    phones = spoken_phones(phones, names)
    labels = label_phones(asked, phones)
    starts = [s for n, s in events if not n.startswith("_")]
    ends = [s for n, s in events if n.startswith("_") and s > starts[-1]]
    end = ends[0] if ends else len(samples)
    bounds = starts + [end]
    ms = rate // 1000
    units = []
    for i, p in enumerate(phones):
        a, b = bounds[i], bounds[i + 1]
        length = b - a
        if p in ph.VOICELESS_STOPS or p in ("ts", "tS"):
            # Closure: the silence before the release, taken from the phone
            # before (never more than 60% of it) or from the leading pause.
            limit = units[-1][1] + (a - units[-1][1]) * 2 // 5 if units else max(0, a - 60 * ms)
            c = silent_start(samples, a, limit, ms, 200.0)
            if a - c < 15 * ms:
                c = max(limit, a - 30 * ms)
            units.append((ph.CLOSURE_VOICELESS, c))
            if p in ph.VOICELESS_STOPS:
                units.append((p, a))
            else:
                burst = min(12 * ms, length // 3)
                units.append(("t", a))
                units.append((p[1], a + burst))
        elif p in ph.VOICED_STOPS:
            release = max(10 * ms, length * 3 // 10)
            units.append((ph.CLOSURE_VOICED, a))
            units.append((p, b - min(release, length // 2)))
        elif p == "dZ":
            units.append((ph.CLOSURE_VOICED, a))
            units.append(("d", a + length * 35 // 100))
            units.append(("Z", a + length * 35 // 100 + min(10 * ms, length // 5)))
        else:
            units.append((p, a))
    # Rename the units of voicing-changed phones: both partners have as many
    # units ("-" "p" and "=" "b"), so the names are swapped one for one.
    names = [u for label in labels for u in ph.units_of(label)]
    if len(names) != len(units):
        raise LabelError("unit count of %s" % " ".join(labels))
    return [(n, s) for n, (_, s) in zip(names, units)], end, labels
