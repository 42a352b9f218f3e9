#!/usr/bin/env python3
"""Builds the six stress statistics tables of the default voice.

Word forms come from Debian's Slovenian spelling dictionary (hunspell-sl,
expanded with hunspell-tools' unmunch); Debian's espeak-ng Slovenian voice
(espeak-ng -v sl -x) serves as the teacher for the stressed syllable and for
the quality of a stressed e or o. A tenth of the words is held out and
written to heldout.txt for measuring the rule path.

    apt-get install hunspell-sl hunspell-tools espeak-ng
    python3 tools/stress-stats/build_tables.py --out voice/statistika [--words 40000]

Patterns are made as the engine makes them (letter sonority classes divided
into syllables by the same cluster tests); keys are written with "." between
syllables.
"""
import argparse
import collections
import os
import random
import re
import subprocess
import sys

VOWELS = set("aeiou")
# Sonority digit of each letter, in the internal letter codes (~ c caron,
# { s caron, ` z caron): 1 vowel, 2 sonorant, 3/4 obstruent.
SONORITY = dict(zip("abcdefghijklmnopqrstuvwxyz~{`",
                    "13431434124222144244122423443"))
INTERNAL = str.maketrans({"č": "~", "š": "{", "ž": "`"})


def syllabic_r(word, i):
    if word[i] != "r":
        return False
    before = i > 0 and word[i - 1] in VOWELS
    after = i + 1 < len(word) and word[i + 1] in VOWELS
    return not before and not after


def classes(word):
    son, vc = [], []
    for i, ch in enumerate(word):
        if syllabic_r(word, i):
            son.append("v"); vc.append("c")
            continue
        d = SONORITY.get(ch, "4")
        son.append({"1": "v", "2": "z"}.get(d, "n"))
        vc.append("v" if ch in VOWELS else "c")
    return "".join(son), "".join(vc)


def occurs(c, pat, frm):
    return frm >= 0 and c.find(pat, frm) != -1


def boundary(c, b, g):
    if g <= 2:
        return b + 1
    a = b + 1 + (g - 1) // 2
    if occurs(c, "nnv", b + 1): a = b + 2
    if occurs(c, "zzv", b + 1): a = b + 2
    if occurs(c, "znv", b + 1): a = b + 2
    if occurs(c, "vzn", b): a = b + 2
    if occurs(c, "vnz", b): a = b + 2 if b + 3 < len(c) and c[b + 3] == "v" else b + 1
    if g > 3 and occurs(c, "nnzv", b + 1): a = b + 2
    if g == 4 and occurs(c, "vzznv", b): a = b + 3
    if g == 4 and occurs(c, "vzzzv", b): a = b + 2
    if g == 5 and occurs(c, "vzznnv", b): a = b + 3
    elif g == 5 and occurs(c, "vzznzv", b): a = b + 3
    if g > 4 and occurs(c, "znnzv", b + 1): a = b + 4
    return a


def division(c):
    vs = [i for i, x in enumerate(c) if x == "v"]
    if len(vs) <= 1:
        return [0]
    starts = [0]
    for k in range(1, len(vs)):
        starts.append(boundary(c, vs[k - 1], vs[k] - vs[k - 1]))
    return starts


def patterns(word):
    son, vc = classes(word)
    starts = division(son) + [len(word)]
    cut = lambda s: ".".join(s[starts[k]:starts[k + 1]] for k in range(len(starts) - 1))
    return cut(son), cut(vc), len(starts) - 1


def nuclei(word):
    return [i for i, ch in enumerate(word) if ch in VOWELS or syllabic_r(word, i)]


TEACHER_VOWELS = "aeiouE@O"


def teacher(word, phones):
    """Stressed syllable (1-based) and the stressed vowel's quality."""
    p = phones.replace(":", "").replace("#", "")
    # A v before a consonant at the word start is read as a glide "u"; it is
    # no syllable of the written word.
    if len(word) > 1 and word[0] == "v" and word[1] not in VOWELS and p.lstrip("'").startswith("u"):
        p = p.replace("u", "w", 1)
    idx = p.find("'")
    if idx < 0:
        return None, None
    before = sum(1 for ch in p[:idx] if ch in TEACHER_VOWELS)
    after = p[idx + 1:]
    m = re.search("[%s]" % TEACHER_VOWELS, after)
    return before + 1, (m.group(0) if m else None)


def marked(pattern, stressed, letter):
    syl = 1
    for i, ch in enumerate(pattern):
        if ch == ".":
            syl += 1
        elif syl == stressed and ch == "v":
            return pattern[:i] + "/" + letter + pattern[i + 1:]
    return None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--out", required=True)
    ap.add_argument("--words", type=int, default=40000)
    ap.add_argument("--dic", default="/usr/share/hunspell/sl_SI.dic")
    ap.add_argument("--aff", default="/usr/share/hunspell/sl_SI.aff")
    ap.add_argument("--heldout", default="heldout.txt", help="where the held-out words go")
    ap.add_argument("--cache", help="file that keeps the teacher's transcriptions between runs")
    args = ap.parse_args()
    raw = subprocess.run(["unmunch", args.dic, args.aff], capture_output=True).stdout
    forms = set()
    for line in raw.decode("iso8859-2", "replace").split("\n"):
        w = line.strip()
        if re.fullmatch("[a-zčšž]{2,30}", w):
            forms.add(w.translate(INTERNAL))
    forms = sorted(forms)
    random.seed(4)
    words = random.sample(forms, min(args.words, len(forms)))
    text = "".join(w.replace("~", "č").replace("{", "š").replace("`", "ž") + ".\n" for w in words)
    if args.cache and os.path.exists(args.cache):
        with open(args.cache, encoding="utf-8") as f:
            out = f.read().split("\n")
    else:
        out = subprocess.run(["espeak-ng", "-v", "sl", "-x", "-q", "--stdin"],
                             input=text.encode("utf-8"),
                             capture_output=True).stdout.decode("utf-8", "replace").split("\n")
    out = [o.strip() for o in out if o.strip()]
    if args.cache and not os.path.exists(args.cache):
        with open(args.cache, "w", encoding="utf-8") as f:
            f.write("\n".join(out) + "\n")
    if len(out) != len(words):
        sys.exit("teacher output does not line up: %d words, %d lines" % (len(words), len(out)))
    held = len(words) // 10
    os.makedirs(args.out, exist_ok=True)
    with open(args.heldout, "w", encoding="utf-8") as f:
        for w, p in zip(words[:held], out[:held]):
            f.write("%s\t%s\n" % (w, p))
    stress = {"vzn": collections.defaultdict(collections.Counter),
              "vc": collections.defaultdict(collections.Counter)}
    quality = {k: collections.defaultdict(collections.Counter)
               for k in ("vzn_e", "vzn_o", "vc_e", "vc_o")}
    for w, p in zip(words[held:], out[held:]):
        k, q = teacher(w, p)
        son, vc, n = patterns(w)
        if k is None or k > len(nuclei(w)) or n != len(nuclei(w)):
            continue
        stress["vzn"][son][k] += 1
        stress["vc"][vc][k] += 1
        letter = w[nuclei(w)[k - 1]]
        if letter in "eo" and q:
            # Only a quality of the stressed letter itself: the teacher's
            # stressed vowel may be another letter's where it reads the word
            # otherwise, and "o" must never turn into "e".
            sym = q if q in {"e": "eE@", "o": "oO"}[letter] else None
            if sym:
                for kind, pat in (("vzn", son), ("vc", vc)):
                    key = marked(pat, k, letter)
                    if key:
                        quality["%s_%s" % (kind, letter)][key][sym] += 1
    for name, table in stress.items():
        with open(os.path.join(args.out, name + ".out"), "w", newline="\n") as f:
            for key in sorted(table):
                best, count = table[key].most_common(1)[0]
                f.write("%s %d %d\n" % (key, best, count))
    for name, table in quality.items():
        with open(os.path.join(args.out, name + ".out"), "w", newline="\n") as f:
            for key in sorted(table):
                f.write("%s\t%s\n" % (key, table[key].most_common(1)[0][0]))


if __name__ == "__main__":
    main()
