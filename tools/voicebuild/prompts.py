#!/usr/bin/env python3
"""The prompt list a speaker reads to make a voice.

  python3 tools/voicebuild/prompts.py [--reduced] [--sentences FILE] [--out FILE]

writes one prompt a line, "ID<TAB>text" in UTF-8: the carrier words of
corpus.py ("w001" ...), which cover every unit pair of the voice, then 20
ordinary sentences ("s01" ...) for checking prosody.  The words come in the
order the corpus picks them, the most new pairs first, so a session cut short
loses the fewest pairs; the sentences are spread through the session as rests.
With the donor at hand, words whose rendering cannot be labelled are replaced
by words for the pairs they would leave out, so that the kit can label every
take.  --reduced wants every pair once (the stand-in proof of the test suite).

Carrier words are written in a spelling that names every phone: the stressed
long vowel with an accent (á ê é í ô ó ú ə́), "ə" for the short schwa, "ĭ" and
"ŭ" for the glides after a vowel, "c" "č" "dž" for the affricates and "d-ž"
for d followed by ž.  words_of_text() reads the spelling back.
"""

import argparse
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import corpus  # noqa: E402

SENTENCES = 20
ID_MAX = 64                   # characters of a prompt id
SENTENCE_WORDS = (6, 14)      # words of an ordinary sentence picked as a prompt

SPELLING = {
    "a": "a", "a:": "á", "E": "e", "E:": "ê", "e:": "é", "i": "i", "i:": "í",
    "O": "o", "O:": "ô", "o:": "ó", "u": "u", "u:": "ú", "@": "ə", "@:": "ə\u0301",
    "p": "p", "b": "b", "t": "t", "d": "d", "k": "k", "g": "g", "f": "f", "v": "v",
    "s": "s", "z": "z", "S": "š", "Z": "ž", "h": "h", "m": "m", "n": "n", "l": "l",
    "r": "r", "j": "j", "ts": "c", "tS": "č", "dZ": "dž", "I": "ĭ", "U": "ŭ",
}
# Longest letters first, so that "dž" and "ə́" are read before "d" and "ə".
_READING = sorted(((v, k) for k, v in SPELLING.items()), key=lambda kv: -len(kv[0]))


class PromptError(ValueError):
    pass


def spell(word):
    """The written form of a carrier word (a list of phones)."""
    out = []
    for k, p in enumerate(word):
        if p == "Z" and k and word[k - 1] == "d":
            out.append("-")
        out.append(SPELLING[p])
    return "".join(out)


def read_word(text):
    """The phones of a written carrier word; PromptError on a letter that is
    not in the spelling."""
    phones = []
    i = 0
    while i < len(text):
        if text[i] == "-":
            i += 1
            continue
        for letters, phone in _READING:
            if text.startswith(letters, i):
                phones.append(phone)
                i += len(letters)
                break
        else:
            raise PromptError("letter %r of %r is not in the carrier spelling" % (text[i], text))
    return phones


def is_carrier(prompt_id):
    return prompt_id.startswith("w")


def read_prompts(path):
    """[(id, text)] of a prompt list; PromptError names a malformed line."""
    out = []
    seen = set()
    with open(path, encoding="utf-8") as f:
        for n, line in enumerate(f, 1):
            line = line.rstrip("\r\n")
            if not line.strip() or line.startswith("#"):
                continue
            parts = line.split("\t")
            if len(parts) != 2 or not parts[0] or not parts[1].strip():
                raise PromptError("%s:%d: not ID<TAB>text" % (path, n))
            if not re.fullmatch(r"[A-Za-z0-9_-]{1,%d}" % ID_MAX, parts[0]):
                # The id names the take's file: no paths, nothing a file system refuses.
                raise PromptError("%s:%d: an id is letters, digits, - and _" % (path, n))
            if parts[0] in seen:
                raise PromptError("%s:%d: prompt %s twice" % (path, n, parts[0]))
            seen.add(parts[0])
            out.append((parts[0], parts[1].strip()))
    return out


def carrier_words(prompts):
    """{id: phones} of the carrier prompts of a prompt list."""
    return {i: read_word(t) for i, t in prompts if is_carrier(i)}


def pick_sentences(lines, count=SENTENCES):
    """Ordinary sentences spread over a text: plain words only (numbers and
    abbreviations read differently from how they are written)."""
    good = [s for s in lines
            if SENTENCE_WORDS[0] <= len(s.split()) <= SENTENCE_WORDS[1]
            and not any(c.isdigit() for c in s) and "." not in s[:-1]]
    if len(good) <= count:
        return good
    step = len(good) / count
    return [good[int(k * step)] for k in range(count)]


def labelled_words(words, donor, log):
    """The words whose donor rendering labels cleanly, and words for the pairs
    that the rest leave out (three rounds at most)."""
    import build_voice
    good = [w for w, _, _ in build_voice.render_words(words, donor, log)]
    for _ in range(3):
        extra = [w for w in (corpus.word_for(p) for p in corpus.missing_pairs(good)) if w]
        if not extra:
            break
        good += [w for w, _, _ in build_voice.render_words(extra, donor, log)]
    return good


def prompt_lines(words, sentences):
    """The prompt list as (id, text): words with a sentence after every
    len(words)/len(sentences) of them."""
    out = []
    every = max(1, len(words) // max(1, len(sentences)))
    s = 0
    for k, w in enumerate(words):
        out.append(("w%03d" % (k + 1), spell(w)))
        if (k + 1) % every == 0 and s < len(sentences):
            out.append(("s%02d" % (s + 1), sentences[s]))
            s += 1
    for sentence in sentences[s:]:
        out.append(("s%02d" % (s + 1), sentence))
        s += 1
    return out


def reduced_wanted():
    return {pair: 1 for pair in corpus.required_pairs()}


def main(argv=None):
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.join(here, "..", "..")
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--out", default=os.path.join(root, "voice", "prompts", "prompts_sl.txt"))
    ap.add_argument("--sentences", default=os.path.join(root, "tests", "data", "news_sl_200.txt"))
    ap.add_argument("--reduced", action="store_true", help="every pair once")
    ap.add_argument("--no-donor", action="store_true", help="do not check words with the donor")
    args = ap.parse_args(argv)
    log = lambda m: print("prompts: " + m, file=sys.stderr)  # noqa: E731
    words, _ = corpus.build_corpus(reduced_wanted() if args.reduced else None)
    if not args.no_donor:
        import donor
        words = labelled_words(words, donor.Donor(), log)
    with open(args.sentences, encoding="utf-8") as f:
        sentences = pick_sentences([line.strip() for line in f if line.strip()])
    lines = prompt_lines(words, sentences)
    os.makedirs(os.path.dirname(os.path.abspath(args.out)), exist_ok=True)
    with open(args.out, "w", encoding="utf-8") as f:
        f.write("".join("%s\t%s\n" % line for line in lines))
    left = corpus.missing_pairs(words)
    log("%d carrier words, %d sentences, %d pairs left out%s" % (
        len(words), len(sentences), len(left),
        (": " + " ".join("%s+%s" % p for p in left)) if left else ""))
    return 1 if left else 0


if __name__ == "__main__":
    sys.exit(main())
