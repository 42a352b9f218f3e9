#!/usr/bin/env python3
"""Measures the stressed syllable of common words against their dictionary accent.

Reads words.tsv, or the set given with --words (accented word, class),
transcribes every word with sint-g2p on the voice as it is and on the voice
without the accent lexicon (before), and with espeak-ng's Slovenian voice,
and prints per class how many words have the stress on the syllable of the
accent.

    python3 tools/accent/heldout/measure.py --g2p build/sintsrv/sint-g2p
    python3 tools/accent/heldout/measure.py --words tools/accent/heldout/fresh.tsv
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
from collections import defaultdict

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(HERE)))
sys.path.insert(0, os.path.join(ROOT, "tools/stress-stats"))
sys.path.insert(0, os.path.dirname(HERE))
import build_lexicon as bl  # noqa: E402
import evaluate  # noqa: E402


def expected_syllable(accented):
    plain, index, _ = bl.accent_of(accented)
    return plain, bl.nucleus_number(plain, index)


def own(g2p, ini, words):
    out = subprocess.run([g2p, "--ini", ini, "--directory"] + words, check=True,
                         capture_output=True, text=True, encoding="cp1250").stdout
    return [evaluate.own_stress(line.strip(" .")) for line in out.splitlines()]


def espeak(words):
    result = []
    for word in words:
        out = subprocess.run(["espeak-ng", "-v", "sl", "-q", "-x", word], check=True,
                             capture_output=True, text=True).stdout.strip()
        result.append(evaluate.teacher_stress(word, out))
    return result


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--g2p", default=os.path.join(ROOT, "build/sintsrv/sint-g2p"))
    ap.add_argument("--voice", default=os.path.join(ROOT, "voice"))
    ap.add_argument("--words", default=os.path.join(HERE, "words.tsv"))
    ap.add_argument("--show", action="store_true", help="list the words each reading misses")
    args = ap.parse_args()
    rows = []
    with open(args.words, encoding="utf-8") as f:
        for line in f:
            if line.strip() and not line.startswith("#"):
                word, kind = line.rstrip("\n").split("\t")
                rows.append((word, kind) + expected_syllable(word))
    words = [plain for _, _, plain, _ in rows]
    with tempfile.TemporaryDirectory() as tmp:
        before = os.path.join(tmp, "voice")
        shutil.copytree(args.voice, before, ignore=shutil.ignore_patterns("wave"))
        os.remove(os.path.join(before, "slovarji", "besedje.dct"))
        readings = {
            "before": own(args.g2p, os.path.join(before, "sint.ini"), words),
            "after": own(args.g2p, os.path.join(args.voice, "sint.ini"), words),
            "espeak-ng": espeak(words),
        }
    right = defaultdict(lambda: defaultdict(int))
    total = defaultdict(int)
    for i, (word, kind, _, syllable) in enumerate(rows):
        for name in ("", kind):
            total[name] += 1
        for who, found in readings.items():
            if found[i] == syllable:
                right[who][kind] += 1
                right[who][""] += 1
            elif args.show:
                print("%-10s %-12s %s: syllable %s" % (who, kind, word, found[i]))
    print("%-12s %6s %8s %8s %10s" % ("class", "words", "before", "after", "espeak-ng"))
    for kind in sorted(total, key=lambda k: (k == "", k)):
        print("%-12s %6d %7.0f%% %7.0f%% %9.0f%%" % (
            kind or "all", total[kind],
            *(100.0 * right[who][kind] / total[kind] for who in readings)))


if __name__ == "__main__":
    main()
