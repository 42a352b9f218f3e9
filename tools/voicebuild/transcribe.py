#!/usr/bin/env python3
"""Unit strings of Slovenian text, as the phone conversion asks the wave
database for them, from the donor's transcription (espeak-ng -x).

  python3 transcribe.py [FILE...] > units.txt

Each input line (UTF-8) becomes one line of unit names between pauses; the
lines are what `sint-voicecheck --units` checks the recorded diphones with.
It stands in for the system's own text analysis where that is not at hand:
both write Slovenian SAMPA, and the same conversions (closures, glides, long
stressed vowels) are applied here.
"""

import subprocess
import sys
import os

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import phones as ph  # noqa: E402

# Donor phonemes (stress removed) to phones; a stressed vowel is long.
STRESSED = {"a": "a:", "a:": "a:", "E": "E:", "E:": "E:", "e": "e:", "e:": "e:",
            "i": "i:", "i:": "i:", "O": "O:", "O:": "O:", "o": "o:", "o:": "o:",
            "u": "u:", "u:": "u:", "@": "@:", "@:": "@:"}
UNSTRESSED = {"a": "a", "a:": "a", "E": "E", "E:": "E", "e": "E", "e:": "E",
              "i": "i", "i:": "i", "O": "O", "O:": "O", "o": "O", "o:": "O",
              "u": "u", "u:": "u", "@": "@", "@:": "@"}
CONSONANT = {"R": ["r"], "r": ["r"], "x": ["h"], "n^": ["n", "j"], "l^": ["l", "j"],
             "N": ["n"], "F": ["m"], "w": ["w"], "W": ["w"], "dz": ["d", "z"],
             "dZ": ["d", "Z"], "ts": ["ts"], "tS": ["tS"], "tS;": ["tS"], "v#": ["v"],
             "h": ["h"], "Q": ["h"]}


def phones_of(donor_line):
    """Phones of one line of `espeak-ng -x --sep=' '` output; "_" for pauses."""
    out = [ph.PAUSE]
    for word in donor_line.split("  "):
        for tok in word.split():
            stressed = tok.startswith("'")  # secondary stress stays short
            name = tok.lstrip("',%=")
            if name == "@-":
                name = "@"
            if not name:
                continue
            if name.startswith("_"):
                out.append(ph.PAUSE)
            elif name in STRESSED:
                out.append(STRESSED[name] if stressed else UNSTRESSED[name])
            elif name in CONSONANT:
                out.extend(CONSONANT[name])
            elif name in ph.CONSONANTS:
                out.append(name)
            else:
                out.append(None)  # unknown: marks a gap
    out.append(ph.PAUSE)
    return out


def units_of_phones(phones):
    """The conversion to database units: closures, glides, pauses merged."""
    units = []
    for p in phones:
        if p is None:
            units.append("?")
        elif p == "w":
            units.append("w")
        else:
            units.extend(ph.units_of(p))
    # Glides by context, as the phone conversion picks them.
    out = []
    for k, u in enumerate(units):
        prev = out[-1] if out else ""
        nxt = units[k + 1] if k + 1 < len(units) else ""
        if u == "i" and ph.is_vowel(prev) and nxt != "n":
            u = "I"
        elif u == "j" and ph.is_vowel(prev) and not ph.is_vowel(nxt):
            u = "I"
        elif u == "u" and ph.is_vowel(prev):
            u = "U"
        elif u == "w":
            u = "U" if ph.is_vowel(prev) else "u"
        if u == ph.PAUSE and prev == ph.PAUSE:
            continue
        out.append(u)
    return out


def transcribe(lines):
    text = "\n".join(l.replace("\n", " ") for l in lines) + "\n"
    res = subprocess.run(["espeak-ng", "-v", "sl", "-q", "-x", "--sep= "],
                         input=text.encode("utf-8"), stdout=subprocess.PIPE, check=True)
    return [units_of_phones(phones_of(l)) for l in res.stdout.decode("utf-8").splitlines()
            if l.strip()]


def main():
    files = sys.argv[1:] or ["-"]
    lines = []
    for name in files:
        f = sys.stdin if name == "-" else open(name, encoding="utf-8")
        lines.extend(l.strip() for l in f if l.strip())
    for units in transcribe(lines):
        print(" ".join(units))


if __name__ == "__main__":
    main()
