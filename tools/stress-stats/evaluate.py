#!/usr/bin/env python3
"""Measures the rule path of the text analysis against the teacher on the
held-out words that build_tables.py wrote.

    python3 tools/stress-stats/evaluate.py --g2p build/sintsrv/sint-g2p \\
        --voice voice --heldout /tmp/heldout.txt

The engine runs without pronunciation dictionaries, so every word goes
through the ending lists, the tables, the fallback and the letter rules.
Prints the share of words whose stressed syllable agrees with the teacher's
and the share whose phone string agrees apart from stress and length.
"""
import argparse
import os
import re
import shutil
import subprocess
import tempfile

VOWEL_PHONES = "aeiouEO@"


def normalise(phones, teacher=False, word=""):
    """Both notations folded together: no stress or length marks, glides as w.
    The palatal l and n are "l'" "n'" in ours and "l^" "n^" in the teacher's."""
    if teacher:
        p = phones.replace("n^", "Y").replace("l^", "L")
        p = re.sub(r"[':\"#_|\s]", "", p)
        # The teacher's glide u before a consonant at the word start.
        if len(word) > 1 and word[0] == "v" and word[1] not in "aeiou" and p.startswith("u"):
            p = "w" + p[1:]
    else:
        p = phones.replace("n'", "Y").replace("l'", "L")
        p = re.sub(r"[:\"#_|\s]", "", p)
    p = p.replace("x", "h").replace("R", "r").replace("F", "m").replace("I", "j")
    p = p.replace("U", "w").replace("W", "w")
    return p


def teacher_stress(word, phones):
    p = phones.replace(":", "").replace("#", "")
    if len(word) > 1 and word[0] == "v" and word[1] not in "aeiou" and p.lstrip("'").startswith("u"):
        p = p.replace("u", "w", 1)
    idx = p.find("'")
    if idx < 0:
        return None
    return 1 + sum(1 for ch in p[:idx] if ch in VOWEL_PHONES)


def own_stress(phones):
    # The stressed phone is the one with ":" or a double quote after it.
    count = 0
    i = 0
    while i < len(phones):
        ch = phones[i]
        if ch in VOWEL_PHONES:
            count += 1
            if i + 1 < len(phones) and phones[i + 1] in ':"':
                return count
        i += 1
    return None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--g2p", required=True)
    ap.add_argument("--voice", required=True)
    ap.add_argument("--heldout", required=True)
    ap.add_argument("--show", type=int, default=0, help="print this many disagreeing words")
    args = ap.parse_args()
    pairs = [l.rstrip("\n").split("\t") for l in open(args.heldout, encoding="utf-8") if "\t" in l]
    with tempfile.TemporaryDirectory() as tmp:
        for name in ("gfp.ini", "mikro.ini", "makro.ini"):
            shutil.copy(os.path.join(args.voice, name), tmp)
        shutil.copytree(os.path.join(args.voice, "statistika"), os.path.join(tmp, "statistika"))
        os.mkdir(os.path.join(tmp, "slovarji"))
        shutil.copy(os.path.join(args.voice, "slovarji", "zlozenke.pdc"), os.path.join(tmp, "slovarji"))
        with open(os.path.join(tmp, "sint.ini"), "w") as f:
            f.write("ini_mikro = mikro.ini\nini_makro = makro.ini\nini_gfp = gfp.ini\n"
                    "dct_dir = slovarji/\nstat_dir = statistika/\nlog_dir = ./\n"
                    "dovoli_nesifrirane_slovarje = true\n")
        words = os.path.join(tmp, "words.txt")
        with open(words, "wb") as f:
            for w, _ in pairs:
                plain = w.replace("~", "č").replace("{", "š").replace("`", "ž")
                f.write(plain.encode("cp1250") + b"\n")
        out = subprocess.run([args.g2p, "--ini", os.path.join(tmp, "sint.ini"), "--directory",
                              "-f", words], capture_output=True).stdout.decode("latin-1")
    lines = [l for l in out.split("\n") if l.strip()]
    if len(lines) != len(pairs):
        raise SystemExit("output does not line up: %d words, %d lines" % (len(pairs), len(lines)))
    stress_ok = phones_ok = counted = 0
    for (w, teacher), line in zip(pairs, lines):
        ours = line.split(" ")[0]
        t = teacher_stress(w, teacher)
        if t is None:
            continue
        counted += 1
        stress_ok += own_stress(ours) == t
        same = normalise(ours) == normalise(teacher, True, w)
        phones_ok += same
        if not same and args.show > 0:
            args.show -= 1
            print("%s\t%s\t%s" % (w, normalise(ours), normalise(teacher, True, w)))
    print("held-out words: %d" % counted)
    print("stressed syllable agrees: %.1f%%" % (100.0 * stress_ok / counted))
    print("phone string agrees (no stress, no length): %.1f%%" % (100.0 * phones_ok / counted))


if __name__ == "__main__":
    main()
