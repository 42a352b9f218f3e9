#!/usr/bin/env python3
"""Builds the stress exceptions dictionary voice/slovarji/naglasi.dct.

The source, tools/stress-stats/naglasi.txt, lists common word forms with their
accent as a Slovenian dictionary writes it: á í ú ŕ long, à ì ù short, é ó long
close, ê ô long open, è ò short open; one form a line, optionally followed by a
tab and a transcription that is taken as it is (unstressed clitics, a stressed
schwa). Every other form is transcribed by the voice's own letter-to-sound
rules (the `pravila` of voice/gfp.ini) from the word with its stress marked as
the engine marks it ("/" before the stressed vowel, the vowel's quality, and a
double quote after a short one), so the dictionary and the rules never disagree
on anything but the stress.

    python3 tools/stress-stats/build_exceptions.py
"""
import argparse
import os
import sys

ACCENTS = {
    "á": ("a", ""), "à": ("a", '"'), "é": ("e", ""), "ê": ("E", ""), "è": ("E", '"'),
    "í": ("i", ""), "ì": ("i", '"'), "ó": ("o", ""), "ô": ("O", ""), "ò": ("O", '"'),
    "ú": ("u", ""), "ù": ("u", '"'), "ŕ": ("r", ""),
}
# Slovenian letters in the engine's internal codes.
INTERNAL = {"č": "~", "š": "{", "ž": "`", "Č": "^", "Š": "[", "Ž": "@"}
CLASS_KEYS = ["samoglasniki", "soglasniki", "sogl_pr", "zvocniki", "nezv_sogl",
              "zven_sogl", "zven_nezvoc"]


def read_profile(path):
    """Key = value pairs of a profile; a line starting with a tab continues a list."""
    values, key = {}, None
    with open(path, encoding="latin-1") as f:
        for line in f:
            line = line.rstrip("\r\n")
            if line.startswith("\t") and key:
                values[key] += "\t" + line.lstrip("\t")
            elif "=" in line and not line.startswith("#"):
                key, value = line.split("=", 1)
                key = key.strip()
                values[key] = value.strip(" ")
            elif not line.startswith("#"):
                key = None
    return values


def field(entry):
    entry = entry.split("=", 1)[0] if "=" in entry else entry
    return entry.replace("_", " ")


class Rules:
    def __init__(self, profile):
        items = profile["pravila"].split("\t")
        self.rules = [tuple(field(e) for e in items[i:i + 4]) for i in range(0, len(items) - 3, 4)]
        groups = profile["glasovne_skupine"]
        self.wild = {groups[k]: set(profile[CLASS_KEYS[k]]) for k in range(min(len(groups), 7))}

    def matches(self, pattern, text, at):
        if at < 0 or at + len(pattern) > len(text):
            return False
        for p, t in zip(pattern, text[at:at + len(pattern)]):
            if p in self.wild:
                if t not in self.wild[p]:
                    return False
            elif p != t:
                return False
        return True

    def apply(self, marked):
        text = " " + marked + " "
        out, pos = "", 1
        while pos < len(text) and text[pos] != " ":
            for left, target, right, replacement in self.rules:
                if target and self.matches(left + target + right, text, pos - len(left)):
                    out += replacement
                    pos += len(target)
                    break
            else:
                out += text[pos]
                pos += 1
        return out


def marked_word(accented):
    """The plain word and the word as the engine marks its stress."""
    plain, marked, stressed = "", "", 0
    for ch in accented:
        if ch in ACCENTS:
            vowel, length = ACCENTS[ch]
            plain += vowel.lower()
            marked += "/" + vowel + length
            stressed += 1
        else:
            plain += ch.lower()
            marked += ch.lower()
    if stressed != 1:
        raise ValueError("one accent expected in %r" % accented)
    return plain, marked


PARADIGMS = {
    "@a": ("a", ["a", "e", "i", "o", "ah", "am", "ami"]),
    "@m": ("", ["", "a", "u", "om", "i", "ov", "e", "ih", "ema"]),
    "@mj": ("", ["", "ja", "ju", "jem", "ji", "jev", "je", "jih"]),
    "@s": ("o", ["o", "a", "u", "om", "ih"]),
    "@e": ("e", ["e", "a", "u", "em", "ih"]),
    "@p": ("i", ["i", "a", "o", "e", "ega", "emu", "em", "im", "ih", "ima", "imi"]),
    "@v": ("ati", ["ati", "am", "aš", "a", "amo", "ate", "ajo", "al", "ala", "alo", "ali",
                   "ale", "aj", "ajte"]),
}
STRESSED_A = "á"


def forms(accented, tag):
    """The inflected forms of a word with its accent kept where it is."""
    if not tag:
        return [accented]
    ending, endings = PARADIGMS[tag]
    if tag == "@v" and accented.endswith("áti"):
        # The accent is on the a of the ending and stays there (igráti: igrám).
        stem = accented[:-3]
        return [stem + e.replace("a", STRESSED_A, 1) if "a" in e else stem + e for e in endings]
    if not accented.endswith(ending):
        raise ValueError("%r does not end in %r" % (accented, ending))
    stem = accented[:len(accented) - len(ending)]
    return [stem + e for e in endings]


def internal(word):
    return "".join(INTERNAL.get(ch, ch) for ch in word)


def main():
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--source", default=os.path.join(root, "tools/stress-stats/naglasi.txt"))
    ap.add_argument("--profile", default=os.path.join(root, "voice/gfp.ini"))
    ap.add_argument("--out", default=os.path.join(root, "voice/slovarji/naglasi.dct"))
    args = ap.parse_args()
    rules = Rules(read_profile(args.profile))
    entries = {}
    with open(args.source, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.strip("\r\n")
            if not line or line.startswith("#"):
                continue
            parts = line.split("\t")
            tag = parts[1] if len(parts) > 1 and parts[1].startswith("@") else ""
            try:
                if len(parts) > 1 and parts[1] and not tag:
                    found = [("".join(ACCENTS.get(c, (c,))[0].lower() for c in parts[0]),
                              parts[1])]
                else:
                    found = []
                    for form in forms(parts[0], tag):
                        plain, marked = marked_word(form)
                        found.append((plain, rules.apply(internal(marked))))
            except (ValueError, KeyError) as error:
                sys.exit("%s:%d: %s" % (args.source, number, error))
            for plain, phones in found:
                key = internal(plain)
                # A form spelled out by two paradigms keeps the first.
                entries.setdefault(key, phones)
    with open(args.out, "w", encoding="latin-1", newline="") as f:
        for key in sorted(entries):
            f.write("%s\t%s\r\n" % (key, entries[key]))
    print("%d forms written to %s" % (len(entries), args.out))


if __name__ == "__main__":
    main()
