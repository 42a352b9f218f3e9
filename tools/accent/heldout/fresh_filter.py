#!/usr/bin/env python3
"""Keeps the accented words that the voice does not know yet.

Reads rows of accented word TAB class (the format of words.tsv) and writes to
standard output those whose plain spelling is neither a key of a dictionary of
the voice (voice/slovarji/*.dct, keys in the engine's internal letter coding)
nor a word of the older measurement set words.tsv. Comment lines are copied.
The dropped words and the count kept per class go to standard error.

    python3 tools/accent/heldout/fresh_filter.py candidates.tsv > fresh.tsv
    python3 tools/accent/heldout/fresh_filter.py --check tools/accent/heldout/fresh.tsv

With --check nothing is written; the exit status says whether every word is
still unknown (a dictionary may have grown since the set was written).
"""
import argparse
import glob
import os
import sys
from collections import Counter

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(HERE)))
sys.path.insert(0, os.path.join(ROOT, "tools/stress-stats"))
sys.path.insert(0, os.path.dirname(HERE))
import build_exceptions as bx  # noqa: E402
import build_lexicon as bl  # noqa: E402


def dictionary_keys(folder):
    """Only the keys (before the tab) of every dictionary; the transcriptions are not read."""
    keys = set()
    for path in sorted(glob.glob(os.path.join(folder, "*.dct"))):
        with open(path, encoding="latin-1") as f:
            keys.update(line.split("\t", 1)[0] for line in f)
    return keys


def read_rows(path):
    with open(path, encoding="utf-8") as f:
        return [line.rstrip("\n") for line in f if line.strip()]


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("words", help="rows of accented word TAB class")
    ap.add_argument("--dictionaries", default=os.path.join(ROOT, "voice/slovarji"))
    ap.add_argument("--older", default=os.path.join(HERE, "words.tsv"))
    ap.add_argument("--check", action="store_true",
                    help="only report; fail when a word is known")
    args = ap.parse_args()
    keys = dictionary_keys(args.dictionaries)
    older = {bl.accent_of(line.split("\t")[0])[0]
             for line in read_rows(args.older) if not line.startswith("#")}
    kept, dropped, seen = Counter(), [], set()
    for line in read_rows(args.words):
        if line.startswith("#"):
            if not args.check:
                print(line)
            continue
        word, kind = line.split("\t")
        plain = bl.accent_of(word)[0]
        if bx.internal(plain) in keys:
            dropped.append("%s (in a dictionary)" % word)
        elif plain in older:
            dropped.append("%s (in %s)" % (word, os.path.basename(args.older)))
        elif plain in seen:
            dropped.append("%s (twice)" % word)
        else:
            seen.add(plain)
            kept[kind] += 1
            if not args.check:
                print(line)
    for note in dropped:
        print("dropped " + note, file=sys.stderr)
    print("kept: " + ", ".join("%s %d" % item for item in sorted(kept.items())) +
          "; dropped %d" % len(dropped), file=sys.stderr)
    if args.check and dropped:
        sys.exit(1)


if __name__ == "__main__":
    main()
