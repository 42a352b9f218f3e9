#!/usr/bin/env python3
"""Derives the word forms the number stage needs from the Slovenian generator
of apertium-hbs-slv (GPL-3) into one compact text file of the voice.

The generator is printed with lt-print (lttoolbox) and every path that begins
with a letter is walked. Kept are the prepositions with their cases, the
cardinal and ordinal numerals in every gender, number and case, the common
nouns with their gender and all eighteen forms, the positive forms of the
adjectives (only as words that may stand between a number and its noun), and
the forms of the verbs that tell whether a clause has a verb besides "biti"
(the present, the imperative, the infinitive, the l-participle and the
passive participle in the nominative).
Letters are written in the engine's internal codes (c~ s{ z`), so that the
file is plain ASCII and the engine reads it on every platform alike.

Usage: derive_lexicon.py GENERATOR.bin OUTPUT [--lt-print PATH]
"""
import argparse
import collections
import os
import re
import subprocess
import sys

CASES = ["nom", "gen", "dat", "acc", "loc", "ins"]
NUMBERS = ["sg", "du", "pl"]
GENDERS = {"mi": "m", "ma": "ma", "m": "m", "f": "f", "nt": "n"}
LETTERS = str.maketrans({"č": "~", "š": "{", "ž": "`"})
WORD = re.compile(r"^[a-zčšž]+$")
# Paths longer than this (in symbols) belong to no word the stage needs; the
# limit also ends the walk through the cycles of the digit section.
MAX_PATH = 64
# Forms the generator spells wrongly: the accusative of "en" doubles its first
# letter ("een", "eenega").
CORRECTIONS = {"een": "en", "eenega": "enega"}
# Verb forms kept: "f" the present, imperative, infinitive and future, "p" the
# participles (the l-participle and the passive participle's nominative), "b"
# every form of the verb "biti" (to be), which joins a participle or a predicate.
VERB_FINITE = ("pres", "imp", "inf", "fut", "cni")
VERB_PARTICIPLE = ("past", "pp")
# Last letters of a soft stem: its neuter ordinal ends in -e ("tretje", where
# the generator gives "tretjo").
SOFT_STEM_ENDS = "jčšžc"


def sections(text):
    current = []
    for line in text.splitlines():
        if line == "--":
            yield current
            current = []
        elif line:
            current.append(line)
    if current:
        yield current


def paths(att):
    """Yields (analysis, surface) for every path of the printed transducer."""
    for section in sections(att):
        edges = collections.defaultdict(list)
        finals = set()
        for line in section:
            f = line.split("\t")
            if len(f) >= 4:
                edges[int(f[0])].append((int(f[1]), f[2], f[3]))
            else:
                finals.add(int(f[0]))
        stack = [(0, "", "", 0)]
        while stack:
            state, left, right, depth = stack.pop()
            if state in finals:
                yield left, right
            if depth >= MAX_PATH:
                continue
            for target, a, b in edges[state]:
                if depth == 0 and not a.isalpha():
                    continue
                stack.append((target, left + ("" if a == "ε" else a),
                              right + ("" if b == "ε" else b), depth + 1))


def split(analysis):
    m = re.match(r"^([^<]+)((?:<[^>]+>)+)$", analysis)
    if not m:
        return None, []
    return m.group(1), re.findall(r"<([^>]+)>", m.group(2))


def internal(word):
    return word.translate(LETTERS)


def common_prefix(words):
    return os.path.commonprefix(list(words)) if words else ""


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("generator")
    parser.add_argument("output")
    parser.add_argument("--lt-print", default="lt-print")
    args = parser.parse_args()
    att = subprocess.run([args.lt_print, args.generator], check=True,
                         capture_output=True, text=True).stdout

    preps = collections.OrderedDict()
    numerals = collections.defaultdict(dict)  # (kind, lemma, g, n) -> case -> form
    nouns = collections.defaultdict(lambda: collections.defaultdict(list))
    adjectives = collections.defaultdict(set)
    verbs = collections.defaultdict(set)  # (lemma, kind) -> forms
    for analysis, surface in paths(att):
        surface = CORRECTIONS.get(surface, surface)
        lemma, tags = split(analysis)
        if tags[:2] == ["np", "ant"]:
            # First names, for a regnal number after them ("Karlu V.").
            tags = ["n"] + tags[2:]
            lemma, surface = lemma.lower(), surface.lower()
        if not lemma or not WORD.match(lemma) or not WORD.match(surface):
            continue
        lemma, surface = internal(lemma), internal(surface)
        head = tags[0] if tags else ""
        if head == "pr" and len(tags) == 2 and tags[1] in CASES:
            preps.setdefault(lemma, [])
            if tags[1] not in preps[lemma]:
                preps[lemma].append(tags[1])
        elif head == "num" and len(tags) >= 4 and tags[-1] in CASES:
            ordinal = "ord" in tags
            if "coll" in tags or (tags[-3] not in GENDERS) or tags[-2] not in NUMBERS:
                continue
            raw_lemma = split(analysis)[0]
            if ordinal and tags[-3] == "nt" and tags[-2] == "sg" and tags[-1] in ("nom", "acc") \
                    and len(raw_lemma) > 2 and raw_lemma[-2] in SOFT_STEM_ENDS and surface.endswith("o"):
                surface = surface[:-1] + "e"
            key = ("O" if ordinal else "C", lemma, GENDERS[tags[-3]], tags[-2])
            numerals[key].setdefault(tags[-1], surface)
        elif head == "n" and len(tags) == 4 and tags[1] in GENDERS and \
                tags[2] in NUMBERS and tags[3] in CASES:
            slot = NUMBERS.index(tags[2]) * 6 + CASES.index(tags[3])
            forms = nouns[(lemma, GENDERS[tags[1]])][slot]
            if surface not in forms:
                forms.append(surface)
        elif head in ("vblex", "vbser"):
            if "pp" in tags and "nom" not in tags:
                continue
            kind = "b" if head == "vbser" else "p" if any(t in VERB_PARTICIPLE for t in tags) else \
                "f" if any(t in VERB_FINITE for t in tags) else None
            if kind:
                verbs[(lemma, kind)].add(surface)
        elif head == "adj" and len(tags) > 1 and tags[1] not in ("comp", "sup", "ela"):
            adjectives[lemma].add(surface)

    lines = ["# Slovenian word forms for the number stage, derived by",
             "# tools/lexicon/derive_lexicon.py from the generator of apertium-hbs-slv",
             "# (GPL-3). Internal letter codes: c~ s{ z`. Cases: nom gen dat acc loc ins.",
             "# P preposition cases | C/O cardinal/ordinal lemma gender number six forms",
             "# N noun lemma gender prefix eighteen endings (sg, du, pl; '/' between",
             "#   alternatives, '-' where none) | A adjective prefix its endings",
             "# V verb lemma kind (f finite, p participle, b biti) prefix its endings"]
    for prep, cases in sorted(preps.items()):
        lines.append("P\t%s\t%s" % (prep, ",".join(cases)))
    for key in sorted(numerals):
        forms = numerals[key]
        if len(forms) == 6:
            lines.append("%s\t%s\t%s\t%s\t%s" % (key[0], key[1], key[2], key[3],
                                                   ",".join(forms[c] for c in CASES)))
    for (lemma, gender) in sorted(nouns):
        slots = nouns[(lemma, gender)]
        prefix = common_prefix([f for forms in slots.values() for f in forms])
        endings = ["/".join(f[len(prefix):] for f in slots[s]) if s in slots else "-"
                   for s in range(18)]
        lines.append("N\t%s\t%s\t%s\t%s" % (lemma, gender, prefix, ",".join(endings)))
    for lemma in sorted(adjectives):
        forms = sorted(adjectives[lemma])
        prefix = common_prefix(forms)
        lines.append("A\t%s\t%s" % (prefix, ",".join(f[len(prefix):] for f in forms)))
    for (lemma, kind) in sorted(verbs):
        forms = sorted(verbs[(lemma, kind)])
        prefix = common_prefix(forms)
        lines.append("V\t%s\t%s\t%s\t%s" % (lemma, kind, prefix,
                                             ",".join(f[len(prefix):] for f in forms)))
    tmp = args.output + ".tmp"
    with open(tmp, "w", encoding="ascii") as out:
        out.write("\n".join(lines) + "\n")
    os.replace(tmp, args.output)
    counts = collections.Counter(l[0] for l in lines if not l.startswith("#"))
    print("derive_lexicon: %d prepositions, %d numeral rows, %d nouns, %d adjectives, "
          "%d verb rows" % (counts["P"], counts["C"] + counts["O"], counts["N"], counts["A"],
                            counts["V"]))


if __name__ == "__main__":
    sys.exit(main())
