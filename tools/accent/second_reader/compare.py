#!/usr/bin/env python3
"""Compares the second reader's accents with the accent source.

    python3 compare.py --answers second_reader_answers.tsv > result.txt
    python3 compare.py --folder everyday --answers everyday/second_reader.tsv

Reads from the sample's folder (--folder, by default this script's own) the
sample (sample.txt, one lemma a line) and the first reader's answers
(first_reader.tsv: the sample's lines of
voice/accents/accents_sl.txt as committed before the second reader's answers
were read), and the second reader's answers, all as lemma<TAB>accented form;
lines that start with "#" are comments. For each
lemma it tells whether both readers put the accent on the same syllable and
whether they gave the same mark (the vowel's length and quality), and lists
every disagreement.
"""
import argparse
import os
import sys
from collections import Counter

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))
import build_lexicon as bl  # noqa: E402


def read_answers(path):
    answers = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("#"):
                continue
            parts = line.rstrip("\r\n").split("\t")
            if len(parts) >= 2 and parts[1].strip():
                try:
                    bl.accent_of(parts[1].strip())
                    answers[parts[0].strip()] = parts[1].strip()
                except ValueError:
                    pass
    return answers


def syllable(accented):
    plain, index, mark = bl.accent_of(accented)
    return bl.nucleus_number(plain, index), mark


def kind(mine, theirs):
    (s1, m1), (s2, m2) = syllable(mine), syllable(theirs)
    if s1 != s2:
        return "syllable"
    if m1 == m2:
        return "same"
    long_or_short = {"á": "a", "à": "a", "í": "i", "ì": "i", "ú": "u", "ù": "u",
                     "é": "e", "ê": "e", "è": "e", "ó": "o", "ô": "o", "ò": "o", "ŕ": "r",
                     "ə": "e"}
    if long_or_short.get(m1) != long_or_short.get(m2):
        return "vowel"
    close = {"é", "ó"}
    if (m1 in close) != (m2 in close) and m1 not in "èòə" and m2 not in "èòə":
        return "quality"
    return "length"


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--folder", default=HERE,
                    help="folder of sample.txt and first_reader.tsv (default: this script's)")
    ap.add_argument("--sample", help="the sample (default: FOLDER/sample.txt)")
    ap.add_argument("--answers", required=True)
    ap.add_argument("--first", help="the first reader's answers (default: FOLDER/first_reader.tsv)")
    args = ap.parse_args()
    args.sample = args.sample or os.path.join(args.folder, "sample.txt")
    args.first = args.first or os.path.join(args.folder, "first_reader.tsv")
    for path in (args.sample, args.first, args.answers):
        if not os.path.isfile(path):
            sys.exit("compare.py: no such file: %s" % path)
    mine = read_answers(args.first)
    theirs = read_answers(args.answers)
    with open(args.sample, encoding="utf-8") as f:
        sample = [line.strip() for line in f if line.strip()]
    counts = Counter()
    rows = []
    for lemma in sample:
        a, b = mine.get(lemma), theirs.get(lemma)
        if not a or not b:
            counts["first reader left out" if not a else "second reader left out"] += 1
            continue
        k = kind(a, b)
        counts[k] += 1
        if k != "same":
            rows.append("%s\t%s\t%s\t%s" % (lemma, a, b, k))
    both = sum(counts[k] for k in ("same", "syllable", "vowel", "quality", "length"))
    print("# Second reader against the first: %d lemmas in the sample, "
          "%d accented by both." % (len(sample), both))
    print("# same accent: %d (%.1f %%); same stressed syllable: %d (%.1f %%)" % (
        counts["same"], 100.0 * counts["same"] / max(both, 1),
        both - counts["syllable"], 100.0 * (both - counts["syllable"]) / max(both, 1)))
    for k in ("syllable", "quality", "length", "vowel", "first reader left out",
              "second reader left out"):
        print("# %s: %d" % (k, counts[k]))
    print("# lemma\tfirst reader\tsecond reader\tdisagreement")
    for row in rows:
        print(row)


if __name__ == "__main__":
    main()
