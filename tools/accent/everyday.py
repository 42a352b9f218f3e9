#!/usr/bin/env python3
"""Ranks everyday Slovenian lemmas that the accent lexicon does not hold yet.

    apt-get install dict-freedict-slv-eng mythes-sl hunspell-sl
    python3 tools/accent/everyday.py > tools/accent/everyday_ranked.tsv

Two sources of everyday vocabulary:
- the headwords of the Slovenian-English FreeDict dictionary, in its order;
- the single-word entries of the Slovenian thesaurus (mythes), ranked by the
  number of synonym sets they appear in, a rough measure of how common a word
  is (ties in alphabetical order).

Kept are nouns, adjectives, verbs and adverbs that hunspell's Slovenian
dictionary spells through its entries (so that its affixes give their
forms, see build_lexicon.hunspell_forms) and that
voice/accents/accents_sl.txt does not hold above its everyday section (so
that the list stays the same as that section grows). The output has one lemma a
line: source (freedict or mythes:COUNT), lemma, part of speech.
"""
import argparse
import gzip
import os
import re
import sys
from collections import Counter, defaultdict

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import build_lexicon as bl  # noqa: E402

FREEDICT = "/usr/share/dictd/freedict-slv-eng.dict.dz"
MYTHES = "/usr/share/mythes/th_sl_SI_v2.dat"
FREEDICT_POS = {"n": "n", "adj": "adj", "v": "vblex", "vt": "vblex", "adv": "adv"}
MYTHES_POS = {"(sam.)": "n", "(prid.)": "adj", "(gl.)": "vblex", "(prisl.)": "adv"}
HEADWORD = re.compile(r"^(\S+) /[^/]*/ <([^,>]+)")
NOTE = re.compile(r"\s*\([^)]*\)")
WORD = re.compile(r"^[a-zčšž]+$")


def freedict(path):
    """(lemma, part of speech) in the dictionary's order."""
    out = []
    with gzip.open(path, "rt", encoding="utf-8") as f:
        for line in f:
            match = HEADWORD.match(line)
            if match and match.group(2) in FREEDICT_POS:
                out.append((match.group(1), FREEDICT_POS[match.group(2)]))
    return out


def mythes(path):
    """(count, lemma, part of speech), the most frequent first."""
    sets = Counter()
    pos_of = defaultdict(Counter)
    with open(path, encoding="iso-8859-2") as f:
        lines = f.read().splitlines()[1:]
    at = 0
    while at < len(lines):
        head, _, count = lines[at].partition("|")
        for line in lines[at + 1:at + 1 + int(count)]:
            fields = line.split("|")
            words = {head} | {NOTE.sub("", w).strip() for w in fields[1:]}
            for word in words:
                sets[word] += 1
            if fields[0] in MYTHES_POS:
                pos_of[head][MYTHES_POS[fields[0]]] += 1
        at += 1 + int(count)
    ranked = [(sets[w], w, pos.most_common(1)[0][0]) for w, pos in pos_of.items()]
    return sorted(ranked, key=lambda item: (-item[0], item[1]))


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--source", default=os.path.join(ROOT, "voice/accents/accents_sl.txt"))
    args = ap.parse_args()
    held = set()
    with open(args.source, encoding="utf-8") as f:
        for line in f:
            if line.startswith(bl.EVERYDAY_HEADING):
                break
            if line.strip() and not line.startswith("#"):
                held.add(bl.accent_of(line.split("\t")[0])[0])
    seen = set()
    rows = [("freedict", lemma, pos) for lemma, pos in freedict(FREEDICT)]
    rows += [("mythes:%d" % count, lemma, pos) for count, lemma, pos in mythes(MYTHES)]
    spelled = bl.hunspell_forms({lemma for _, lemma, _ in rows if WORD.match(lemma)})
    for source, lemma, pos in rows:
        if not WORD.match(lemma) or lemma in held or lemma in seen or lemma not in spelled:
            continue
        seen.add(lemma)
        print("%s\t%s\t%s" % (source, lemma, pos))


if __name__ == "__main__":
    main()
