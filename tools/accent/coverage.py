#!/usr/bin/env python3
"""Share of the word tokens of a text that the accent lexicon holds.

    python3 tools/accent/coverage.py tests/data/news_sl_200.txt

Counts the words of the text (small letters; numbers and marks left out) and
how many of them are keys of voice/slovarji/besedje.dct, and of the voice's
dictionaries together with and without it.
"""
import argparse
import glob
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools/stress-stats"))
import build_exceptions as bx  # noqa: E402

WORD = re.compile(r"[a-zčšžćđ]+")


def keys(path):
    with open(path, encoding="latin-1") as f:
        return {line.split("\t", 1)[0] for line in f}


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("texts", nargs="+")
    ap.add_argument("--dictionaries", default=os.path.join(ROOT, "voice/slovarji"))
    args = ap.parse_args()
    lexicon = keys(os.path.join(args.dictionaries, "besedje.dct"))
    others = set()
    for path in glob.glob(os.path.join(args.dictionaries, "*.dct")):
        if os.path.basename(path) != "besedje.dct":
            others |= keys(path)
    every = lexicon | others
    tokens = in_lexicon = in_any = in_others = 0
    for path in args.texts:
        with open(path, encoding="utf-8") as f:
            for word in WORD.findall(f.read().lower()):
                key = bx.internal(word)
                tokens += 1
                in_lexicon += key in lexicon
                in_any += key in every
                in_others += key in others
    print("%d word tokens: %.1f %% in the accent lexicon; %.1f %% in some dictionary "
          "of the voice (%.1f %% without the lexicon)"
          % (tokens, 100.0 * in_lexicon / tokens, 100.0 * in_any / tokens,
             100.0 * in_others / tokens))


if __name__ == "__main__":
    main()
