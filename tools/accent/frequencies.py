#!/usr/bin/env python3
"""Ranks the lemmas of the morphological lexicon by their frequency in text.

Reads plain UTF-8 text (any number of files), counts its word tokens, maps
each form to its lemmas with the form list of expand_att.py, and shares a
form's count equally among the lemmas (lemma and part of speech) it may
belong to. Writes "count<TAB>lemma<TAB>part of speech" lines, most frequent
first; lemmas the text never uses follow with count 0 in alphabetical order,
so the list holds the whole lexicon. Proper nouns, numerals, abbreviations
and punctuation are left out.

    python3 tools/accent/frequencies.py --forms forms.txt text1.txt ... > ranked.tsv
"""
import argparse
import re
import sys
from collections import defaultdict

WORD = re.compile(r"[a-zčšžćđ]+")
KEPT = {"n", "adj", "vblex", "vbser", "vbmod", "vaux", "adv", "prn", "pr", "cnjcoo",
        "cnjsub", "cnjadv", "det", "ij", "part", "preadv"}


def read_forms(path):
    lemmas = defaultdict(set)
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            surface, _, analysis = line.rstrip("\n").partition("\t")
            m = re.match(r"([^<+#]+)<([^>]+)>", analysis)
            if not m or "+" in analysis or m.group(2) not in KEPT:
                continue
            lemma = m.group(1)
            if not WORD.fullmatch(lemma) or not WORD.fullmatch(surface.lower()):
                continue
            lemmas[surface.lower()].add((lemma, m.group(2)))
    return lemmas


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--forms", required=True)
    ap.add_argument("texts", nargs="+")
    args = ap.parse_args()
    lemmas = read_forms(args.forms)
    counts = defaultdict(float)
    tokens = known = 0
    for path in args.texts:
        with open(path, encoding="utf-8", errors="replace") as f:
            for word in WORD.findall(f.read().lower()):
                tokens += 1
                found = lemmas.get(word)
                if found:
                    known += 1
                    for key in found:
                        counts[key] += 1.0 / len(found)
    every = {key for found in lemmas.values() for key in found}
    ranked = sorted(every, key=lambda k: (-counts.get(k, 0.0), k))
    for lemma, pos in ranked:
        sys.stdout.write("%.1f\t%s\t%s\n" % (counts.get((lemma, pos), 0.0), lemma, pos))
    sys.stderr.write("%d tokens, %d with a lemma of the lexicon (%.1f %%), %d lemmas\n"
                     % (tokens, known, 100.0 * known / max(tokens, 1), len(ranked)))


if __name__ == "__main__":
    main()
