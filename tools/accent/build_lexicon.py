#!/usr/bin/env python3
"""Builds the accent lexicon voice/slovarji/besedje.dct from its source.

The source, voice/accents/accents_sl.txt, gives lemmas with their accent
(see the head of that file). Every lemma is expanded to its forms with the
morphological lexicon of Debian's apertium-hbs-slv (`lt-print` of
slv-hbs.automorf.bin), each form gets the lemma's accent where that is
certain, and the forms are transcribed with the voice's own letter-to-sound
rules, as the exceptions dictionary is (tools/stress-stats/build_exceptions.py).

A form takes the lemma's accent when it spells the lemma up to and including
the stressed vowel (korák: koráka, korákom), or when the lemma ends in its
stressed vowel and the form has a vowel in its place (mesó: mesá, mesú). A
short accent of the lemma's last syllable becomes long when an ending
follows (à ì ù to á í ú, è to é, ò to ô). Every other form is left to the
stress statistics, unless an override of the source gives its accent. Verbs
stressed on the i or e before -ti keep it in the present and the imperative
only where an override says so (govoríti: govorím, but nosíti: nósim).
Comparatives, superlatives and forms that two lemmas spell with different
accents are left out, and so are the masculine past participles of verbs
stressed on the vowel before -ti (govoríti: govóril) unless an override
gives them.

Lemmas that the morphological lexicon does not hold take their forms from
hunspell's Slovenian dictionary (hunspell-sl, expanded with unmunch of
hunspell-tools); those forms carry no tags, so the rules of accented_form for
untagged forms apply to them.

    python3 tools/accent/build_lexicon.py            # writes the dictionary
    python3 tools/accent/build_lexicon.py --check    # compares with it
"""
import argparse
import os
import subprocess
import sys
import tempfile
from collections import defaultdict

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools/stress-stats"))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import build_exceptions as bx  # noqa: E402
import expand_att  # noqa: E402

ANALYSER = "/usr/share/apertium/apertium-hbs-slv/slv-hbs.automorf.bin"
VOWELS = "aeiou"
LONGER = {"à": "á", "ì": "í", "ù": "ú", "è": "é", "ò": "ô"}
PLAIN_OF = {ch: v[0].lower() for ch, v in bx.ACCENTS.items()}
SCHWA = "ə"
LETTERS = set("abcdefghijklmnopqrstuvwxyzčšž")
SKIPPED_TAGS = {"comp", "sup", "ela"}
# Endings of the l-participle and the supine, put in place of the -ti.
VERB_STEM_ENDINGS = {"l", "la", "lo", "li", "le", "t"}
HUNSPELL_DIC = "/usr/share/hunspell/sl_SI.dic"
HUNSPELL_AFF = "/usr/share/hunspell/sl_SI.aff"
# unmunch prints the forms of the dictionary's entries one after another; this
# entry, with no affixes, marks where one lemma's forms end.
HUNSPELL_SEPARATOR = "qqqq"
# Endings that hunspell writes out as words of their own after a stem whose
# suffixes spell the lemma (učilnic/A, učilnicah).
SEPARATE_ENDINGS = ("ah", "am", "ama", "ami")
POS = {"n", "adj", "vblex", "adv"}
# The line that opens the source's section of everyday vocabulary.
EVERYDAY_HEADING = "# Everyday vocabulary"


def read_forms(analyser):
    """(lemma, part of speech) -> list of (form, set of tags)."""
    att = subprocess.run(["lt-print", analyser], check=True, capture_output=True,
                         text=True).stdout.splitlines(True)

    class Sink:
        def __init__(self):
            self.lines = []

        def write(self, text):
            self.lines.append(text)

    sink = Sink()
    for section in expand_att.sections(att):
        expand_att.expand(section, sink)
    forms = defaultdict(list)
    for line in "".join(sink.lines).splitlines():
        surface, _, analysis = line.partition("\t")
        if "+" in analysis or "<" not in analysis or not LETTERS.issuperset(surface):
            continue
        lemma, _, rest = analysis.partition("<")
        tags = set(rest.rstrip(">").split("><"))
        pos = rest.split(">", 1)[0]
        if pos in POS and not tags & SKIPPED_TAGS:
            forms[(lemma, pos)].append((surface, tags))
    return forms


def accent_of(accented):
    """(plain word, index of the stressed letter, accent mark) of a written accent."""
    plain, index, mark = "", -1, ""
    for ch in accented:
        if ch in bx.ACCENTS or ch == SCHWA:
            if index >= 0:
                raise ValueError("two accents in %r" % accented)
            index, mark = len(plain), ch
            plain += "e" if ch == SCHWA else PLAIN_OF[ch]
        else:
            plain += ch
    if index < 0:
        raise ValueError("no accent in %r" % accented)
    return plain, index, mark


def nucleus_number(word, index):
    return sum(1 for i, ch in enumerate(word[:index + 1]) if ch in VOWELS or
               (ch == "r" and (i == 0 or word[i - 1] not in VOWELS) and
                (i + 1 == len(word) or word[i + 1] not in VOWELS)))


def nucleus_index(word, number):
    for i in range(len(word)):
        if nucleus_number(word, i) == number and (word[i] in VOWELS or word[i] == "r"):
            return i
    return -1


def long_mark(letter):
    return {"a": "á", "i": "í", "u": "ú", "e": "é", "o": "ó", "r": "ŕ"}[letter]


def place(form, index, mark):
    return form[:index] + (SCHWA if mark == SCHWA else mark) + form[index + 1:]


def accented_form(form, tags, entry, untagged=False):
    """The form with its accent, or None when the lemma's accent is not certain for it.

    An untagged form (from hunspell, which names no case or person) takes the
    lemma's accent only where the spelling alone makes it certain: nouns,
    adjectives and adverbs as tagged forms do, a verb stressed on its stem in
    its infinitive, l-participle and supine (délati: délal, délala, délat), a
    verb stressed on its last syllable (nosíti, oráti) in its infinitive only,
    and a lemma with a schwa in its own spelling only. Forms named in the
    source, and "oth", apply to both kinds."""
    plain, index, mark = entry["accent"]
    named = entry.get("forms", {})
    if form in named:
        return named[form]
    if untagged and form != plain and not any(need == {"oth"} for need, _ in entry["overrides"]):
        if mark == SCHWA:
            return None
        if entry["pos"] == "vblex":
            # The last nucleus is the i of -ti; the one before it the theme vowel.
            last = nucleus_number(plain, len(plain) - 1)
            stem_stressed = nucleus_number(plain, index) < last - 1
            if not (stem_stressed and plain.endswith("ti") and
                    form[len(plain) - 2:] in VERB_STEM_ENDINGS and
                    form[:len(plain) - 2] == plain[:-2]):
                return None
    for need, example in entry["overrides"]:
        if need <= tags or (need == {"oth"} and form != plain):
            if need == {"oth"} and form == plain:
                continue
            ex_plain, ex_index, ex_mark = accent_of(example)
            number = nucleus_number(ex_plain, ex_index)
            at = nucleus_index(form, number)
            if at < 0:
                return None
            # The example's mark fits only the same letter: umrèm gives umrjem
            # a long syllabic r, not an e in place of its r.
            if form[at] == ex_plain[ex_index]:
                return place(form, at, ex_mark)
            return place(form, at, long_mark(form[at]))
    if entry["thematic"] and ("pres" in tags or "imp" in tags or
                              ("past" in tags and "m" in tags and "sg" in tags)):
        return None
    if form == plain:
        return place(form, index, mark)
    last = nucleus_number(plain, index) == nucleus_number(plain, len(plain) - 1)
    if form[:index + 1] == plain[:index + 1]:
        if last and mark in LONGER and nucleus_number(form, len(form) - 1) > \
                nucleus_number(form, index):
            mark = LONGER[mark]
        return place(form, index, mark)
    if last and index == len(plain) - 1 and form[:index] == plain[:index] and \
            len(form) > index and form[index] in VOWELS:
        return place(form, index, long_mark(form[index]))
    return None


def read_source(path):
    entries = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\r\n")
            if not line.strip() or line.startswith("#"):
                continue
            fields = line.split("\t")
            try:
                accent = accent_of(fields[0])
                overrides, named = [], {}
                for item in " ".join(fields[2:]).split():
                    need, _, example = item.partition("=")
                    if not example:
                        named[accent_of(item)[0]] = item
                        continue
                    accent_of(example)
                    overrides.append((set(need.split("+")), example))
            except ValueError as error:
                sys.exit("%s:%d: %s" % (path, number, error))
            if len(fields) < 2 or fields[1] not in POS:
                sys.exit("%s:%d: part of speech n, adj, vblex or adv expected" % (path, number))
            plain = accent[0]
            thematic = fields[1] == "vblex" and plain[-3:] in ("iti", "eti") and \
                accent[1] == len(plain) - 3
            entries.append({"lemma": plain, "pos": fields[1], "accent": accent,
                            "overrides": overrides, "forms": named, "thematic": thematic,
                            "line": number})
    return entries


def hunspell_forms(lemmas, dic=HUNSPELL_DIC, aff=HUNSPELL_AFF):
    """lemma -> its forms by hunspell's suffixes, for the lemmas hunspell spells.

    hunspell keeps a lemma as a stem with suffixes (pastir/J), or, for many
    lemmas ending in a vowel, the lemma without it (učilnic/A gives učilnica,
    učilnice, učilnici, učilnico) with the longer forms as words of their own
    (učilnicah, učilnicam). Its prefixes (po-, pre-, za-, na-, iz-) make other
    words and are left out. A lemma counts only where its entries spell it."""
    with open(aff, encoding="iso-8859-2") as f:
        prefixes = {line.split()[1] for line in f if line.startswith("PFX ")}
    with open(dic, encoding="iso-8859-2") as f:
        lines = [line.strip().partition("/") for line in f.read().splitlines()[1:]]
    stems = {stem for stem, _, _ in lines}
    shortened = defaultdict(set)
    for lemma in lemmas:
        if lemma not in stems and lemma[-1:] in VOWELS:
            shortened[lemma[:-1]].add(lemma)
    entries, loose = defaultdict(list), defaultdict(set)
    for stem, _, flags in lines:
        flags = "".join(ch for ch in flags if ch not in prefixes)
        if stem in lemmas:
            entries[stem].append(stem + ("/" + flags if flags else ""))
        for lemma in shortened.get(stem, ()):
            entries[lemma].append(stem + ("/" + flags if flags else ""))
        if not flags:
            for ending in SEPARATE_ENDINGS:
                for lemma in shortened.get(stem[:-len(ending)], ()) if \
                        stem.endswith(ending) else ():
                    loose[lemma].add(stem)
    order = sorted(entries)
    text = []
    for lemma in order:
        text += entries[lemma] + [HUNSPELL_SEPARATOR]
    with tempfile.NamedTemporaryFile("w", suffix=".dic", encoding="iso-8859-2") as f:
        f.write("%d\n%s\n" % (len(text), "\n".join(text)))
        f.flush()
        words = subprocess.run(["unmunch", f.name, aff], check=True, capture_output=True,
                               encoding="iso-8859-2").stdout.split()
    out, at = {}, 0
    for lemma in order:
        end = words.index(HUNSPELL_SEPARATOR, at)
        spelled = set(words[at:end])
        if lemma in spelled:
            out[lemma] = spelled | loose[lemma]
        at = end + 1
    return out


def build(entries, forms, rules, spelled=None):
    """form -> transcription, and counts for the report.

    Lemmas that the morphological lexicon does not hold take their forms from
    spelled (lemma -> untagged forms, from hunspell) where it has them. Such a
    form gives way where a tagged form or a lemma spells the same word: hunspell
    also spells words that are no forms of the lemma (polica: policaj)."""
    chosen = defaultdict(set)
    # hunspell's forms other than a lemma's own spelling: used where no tagged
    # form, named form or lemma spells the same word.
    guessed = defaultdict(set)
    missing = []
    from_hunspell = 0
    for entry in entries:
        found = forms.get((entry["lemma"], entry["pos"]), [])
        untagged = False
        if not found:
            missing.append(entry["lemma"])
            untagged = bool(spelled and entry["lemma"] in spelled)
            own = (spelled or {}).get(entry["lemma"], {entry["lemma"]})
            found = [(form, set()) for form in sorted(own)]
            from_hunspell += untagged
        elif all(form != entry["lemma"] for form, _ in found):
            # The morphological lexicon lacks the own spelling of some lemmas
            # (it gives kozel only as kozla); that is the surest form of all.
            found = found + [(entry["lemma"], set())]
        for form, tags in found:
            accented = accented_form(form, tags, entry, untagged)
            if accented:
                (guessed if untagged and form != entry["lemma"] else chosen)[form].add(accented)
        for form, accented in entry["forms"].items():
            chosen[form].add(accented)
    for form, accents in guessed.items():
        chosen.setdefault(form, accents)
    out = {}
    ambiguous = 0
    for form, accents in chosen.items():
        if len(accents) > 1:
            ambiguous += 1
            continue
        accented = next(iter(accents))
        if SCHWA in accented:
            marked = accented.replace(SCHWA, '/@"')
        else:
            marked = bx.marked_word(accented)[1]
        out[bx.internal(form)] = rules.apply(bx.internal(marked))
    return out, missing, ambiguous, from_hunspell


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--source", default=os.path.join(ROOT, "voice/accents/accents_sl.txt"))
    ap.add_argument("--profile", default=os.path.join(ROOT, "voice/gfp.ini"))
    ap.add_argument("--analyser", default=ANALYSER)
    ap.add_argument("--out", default=os.path.join(ROOT, "voice/slovarji/besedje.dct"))
    ap.add_argument("--check", action="store_true",
                    help="compare with the dictionary instead of writing it")
    args = ap.parse_args()
    profile = bx.read_profile(args.profile)
    entries = read_source(args.source)
    forms = read_forms(args.analyser)
    outside = {e["lemma"] for e in entries if (e["lemma"], e["pos"]) not in forms}
    out, missing, ambiguous, from_hunspell = build(entries, forms, bx.Rules(profile),
                                                   hunspell_forms(outside))
    clitics = set(profile.get("proklitike", "").split("\t")) | \
        set(profile.get("proklitike_ali_enklitike", "").split("\t"))
    for word in clitics:
        out.pop(word, None)
    text = "".join("%s\t%s\r\n" % (key, out[key]) for key in sorted(out))
    if args.check:
        with open(args.out, encoding="latin-1", newline="") as f:
            if f.read() != text:
                sys.exit("%s does not match %s: rebuild it with %s" %
                         (args.out, args.source, os.path.relpath(__file__, ROOT)))
        print("%s matches its source (%d lemmas, %d forms)" % (args.out, len(entries), len(out)))
        return
    with open(args.out, "w", encoding="latin-1", newline="") as f:
        f.write(text)
    print("%d lemmas, %d forms written to %s; %d lemmas unknown to the morphological "
          "lexicon (%d of them with hunspell's forms, the rest with their own form only), "
          "%d forms left out as spelled by lemmas of different accent"
          % (len(entries), len(out), args.out, len(missing), from_hunspell, ambiguous))


if __name__ == "__main__":
    main()
