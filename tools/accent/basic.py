#!/usr/bin/env python3
"""Lists basic everyday vocabulary by semantic field that the accent lexicon lacks.

    apt-get install hunspell-sl hunspell-tools
    python3 tools/accent/basic.py      # writes tools/accent/basic_fields.tsv

The software text and the dictionaries behind the lexicon's other sections
lack much basic concrete vocabulary (trees, animals, tools, food, the body,
the farm and the village, the verbs of daily life). tools/accent/basic_words.txt
gives such words by semantic field, written by a reader; this script keeps
those that hunspell's Slovenian dictionary spells through its entries (so
that its affixes give their forms, see build_lexicon.hunspell_forms) and that
voice/accents/accents_sl.txt does not hold above its basic section (so that
the list stays the same as that section grows). A word listed in two fields
is kept in the first. The output has one lemma a line: field, lemma, part of
speech.
"""
import argparse
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import build_lexicon as bl  # noqa: E402

# The line that opens the source's section of basic vocabulary.
BASIC_HEADING = "# Basic vocabulary by semantic field"
WORD = re.compile(r"^[a-zčšž]+$")


def read_words(path):
    """(field, lemma, part of speech) in the order of the word list.

    The list has a line "[field]" before each field and then lines
    "pos: word word ...", pos being n, adj, vblex or adv."""
    rows, field = [], None
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            if line.startswith("[") and line.endswith("]"):
                field = line[1:-1]
                continue
            pos, colon, words = line.partition(":")
            if not colon or pos not in bl.POS or field is None:
                sys.exit("%s:%d: \"[field]\" or \"pos: words\" expected" % (path, number))
            for word in words.split():
                if not WORD.match(word):
                    sys.exit("%s:%d: %r is no lower-case Slovenian word" % (path, number, word))
                rows.append((field, word, pos))
    return rows


def held_lemmas(path):
    held = set()
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith(BASIC_HEADING):
                break
            if line.strip() and not line.startswith("#"):
                held.add(bl.accent_of(line.split("\t")[0])[0])
    return held


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--words", default=os.path.join(HERE, "basic_words.txt"))
    ap.add_argument("--source", default=os.path.join(ROOT, "voice/accents/accents_sl.txt"))
    ap.add_argument("--out", default=os.path.join(HERE, "basic_fields.tsv"))
    args = ap.parse_args()
    rows = read_words(args.words)
    held = held_lemmas(args.source)
    spelled = bl.hunspell_forms({lemma for _, lemma, _ in rows})
    seen, kept = set(), []
    for field, lemma, pos in rows:
        if lemma in held or lemma in seen or lemma not in spelled:
            continue
        seen.add(lemma)
        kept.append("%s\t%s\t%s\n" % (field, lemma, pos))
    with open(args.out, "w", encoding="utf-8") as f:
        f.writelines(kept)
    print("%d of %d listed words kept (%d already in the source, %d not spelled by hunspell)"
          % (len(kept), len(rows), sum(1 for _, w, _ in rows if w in held),
             sum(1 for _, w, _ in rows if w not in held and w not in spelled)),
          file=sys.stderr)


if __name__ == "__main__":
    main()
