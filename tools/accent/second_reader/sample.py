#!/usr/bin/env python3
"""Draws the second reader's sample: lemmas of the accent list, unaccented.

Reads the ranked lemma list (count, lemma, part of speech), keeps the lemmas
whose spelling belongs to one part of speech only (so the reader cannot take
another word of the same spelling), and writes a seeded random sample, one
lemma a line.

    python3 sample.py selected.tsv --seed 28 --size 420 > sample.txt
"""
import argparse
import random
from collections import Counter


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("ranked")
    ap.add_argument("--seed", type=int, default=28)
    ap.add_argument("--size", type=int, default=420)
    args = ap.parse_args()
    with open(args.ranked, encoding="utf-8") as f:
        lemmas = [line.rstrip("\n").split("\t")[1] for line in f if line.strip()]
    spellings = Counter(lemmas)
    single = sorted(lemma for lemma in spellings if spellings[lemma] == 1)
    for lemma in random.Random(args.seed).sample(single, args.size):
        print(lemma)


if __name__ == "__main__":
    main()
