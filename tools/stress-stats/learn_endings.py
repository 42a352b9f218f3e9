#!/usr/bin/env python3
"""Learns the stress ending lists of voice/gfp.ini from the accent lexicon.

A word that no dictionary holds gets its stressed syllable from the ending
lists of voice/gfp.ini (`konczad` final, `koncpz` penultimate, `koncppz`
antepenultimate, checked in that order), else from the statistics tables
`vzn.out` and `vc.out` (sonority and vowel/consonant patterns), else from
`najverjetnejsi_zlogi`. The accent lexicon (voice/accents/accents_sl.txt
expanded to its forms, as build_lexicon.py does) knows tens of thousands of
forms with a checked accent, and so do the exceptions dictionaries and the
number words the engine writes (whose last part is in them); this script finds the endings whose stress it predicts reliably (korák,
učílnica) and adds them to the lists.

The choice is greedy and simulates the engine exactly: the lists in their
order, the prefix rule for two and three syllables, then the tables and
`najverjetnejsi_zlogi`. An ending goes to the list where it gains most, when
it gains at least --min-gain lemmas and is right for at least --min-precision
of the words it takes. Words are counted in lemmas: each lemma has one unit of
weight, --citation of it on the lemma's own form (the nominative, the
infinitive: the forms text uses most) and the rest shared by all its forms. The hand-written entries stay first in each list (and are kept
whole under `<list>_rocno`, which the engine does not read), and so do the
tables:
tables learnt from the lexicon instead did worse on lemmas held out of it
(73.9 % against 76.6 % with the endings).

    python3 tools/stress-stats/learn_endings.py --folds 5    # cross-validated figures
    python3 tools/stress-stats/learn_endings.py --write      # rewrites the three lists
    python3 tools/stress-stats/learn_endings.py --check      # the lists are what it learns
"""
import argparse
import heapq
import os
import random
import re
import subprocess
import sys
from collections import defaultdict

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(ROOT, "tools/accent"))
import build_lexicon as bl  # noqa: E402
import build_exceptions as bx  # noqa: E402
import build_tables as bt  # noqa: E402
import evaluate  # noqa: E402

LISTS = ("konczad", "koncpz", "koncppz")
PRIORITY = {"prvi": 0, "konczad": 1, "koncpz": 2, "koncppz": 3, "stats": 4}
LONGEST_ENDING = 6


def entries_of(value):
    return [e for e in value.split("\t") if e.strip()]


class Fallback:
    """The statistics the engine consults after the ending lists."""

    def __init__(self, statistics, likeliest):
        self.vzn = self._table(os.path.join(statistics, "vzn.out"))
        self.vc = self._table(os.path.join(statistics, "vc.out"))
        self.likeliest = [int(x) for x in likeliest.split()]

    @staticmethod
    def _table(path):
        table = {}
        with open(path, encoding="latin-1") as f:
            for line in f:
                parts = line.split()
                if len(parts) >= 2:
                    table.setdefault(parts[0], int(parts[1]))
        return table

    def syllable(self, word):
        son, vc, n = bt.patterns(word)
        if son in self.vzn:
            return self.vzn[son]
        if vc in self.vc:
            return self.vc[vc]
        return self.likeliest[min(n, len(self.likeliest)) - 1]


class Word:
    __slots__ = ("text", "n", "stressed", "weight", "prefixed", "lemma")

    def __init__(self, text, n, stressed, weight, prefixed, lemma):
        self.text, self.n, self.stressed = text, n, stressed
        self.weight, self.prefixed, self.lemma = weight, prefixed, lemma


def rule_syllable(kind, word):
    """The syllable a list gives, or None where it gives none."""
    n = word.n
    if kind == "konczad":
        return n
    if kind == "koncpz":
        return (2 if word.prefixed else 1) if n == 2 else n - 1
    if n < 3:
        return None
    return (2 if word.prefixed else 1) if n == 3 else n - 2


def lexicon_words(source):
    """(internal spelling, stressed nucleus, lemma) of every form the lexicon accents."""
    entries = bl.read_source(source)
    forms = bl.read_forms(bl.ANALYSER)
    seen = defaultdict(set)
    for entry in entries:
        found = forms.get((entry["lemma"], entry["pos"]), []) or [(entry["lemma"], set())]
        for form, tags in found:
            accented = bl.accented_form(form, tags, entry)
            if accented:
                plain, index, _ = bl.accent_of(accented)
                seen[plain].add((bl.nucleus_number(plain, index), entry["lemma"]))
    words = []
    for plain, accents in seen.items():
        if len({s for s, _ in accents}) == 1:
            stressed, lemma = min(accents)
            words.append((plain.translate(bt.INTERNAL), stressed, lemma))
    return words


def dictionary_words(paths):
    """(spelling, stressed nucleus, spelling) of the one-word entries of checked
    dictionaries whose transcription has as many vowels as the word nuclei."""
    stress = {}
    for path in paths:
        with open(path, encoding="latin-1") as f:
            for line in f:
                key, _, phones = line.rstrip("\r\n").partition("\t")
                if " " in key or not phones or key in stress:
                    continue
                stressed = evaluate.own_stress(phones)
                vowels = sum(1 for ch in phones if ch in evaluate.VOWEL_PHONES)
                if stressed and vowels == len(bt.nuclei(key)):
                    stress[key] = stressed
    return stress


def number_words(g2p, ini, known):
    """Number words the engine writes for 1 to 999 and thousands, with the
    stress of their last part from the dictionaries (sedemindvájset as dvájset)."""
    numbers = " ".join(str(n) for n in list(range(1, 1000)) + [1000 * k for k in range(2, 10)])
    out = subprocess.run([g2p, "--ini", ini, "--stages", numbers], check=True,
                         capture_output=True, text=True, encoding="latin-1").stdout
    line = next(l for l in out.splitlines() if l.startswith("numbers: "))
    words = {}
    for word in line.split()[1:]:
        for start in range(len(word)):
            last = word[start:]
            if last in known and len(bt.nuclei(last)) > 1:
                n = len(bt.nuclei(word))
                words[word] = n - (len(bt.nuclei(last)) - known[last])
                break
    return words


class Learner:
    def __init__(self, words, profile, fallback, citation=0.0):
        self.citation = citation
        self.prvi = entries_of(profile.get("prvi_zlog", ""))
        self.prefixes = entries_of(profile.get("predpone", ""))
        self.lists = {k: list(entries_of(profile.get(k, ""))) for k in LISTS}
        self.fallback = fallback
        self.words = self._prepare(words)

    def _prepare(self, words):
        per_lemma = defaultdict(int)
        for _, _, lemma in words:
            per_lemma[lemma] += 1
        out = []
        for text, stressed, lemma in words:
            n = len(bt.nuclei(text))
            prefixed = any(text.startswith(p) for p in self.prefixes)
            share = (1.0 - self.citation) / per_lemma[lemma]
            if text == lemma.translate(bt.INTERNAL):
                share += self.citation
            out.append(Word(text, n, stressed, share, prefixed, lemma))
        return out

    def decide(self, word, lists=None):
        """(source, syllable) the engine takes for a rule word."""
        lists = lists or self.lists
        if word.n <= 1 or any(word.text.startswith(p) for p in self.prvi):
            return "prvi", 1
        for kind in LISTS:
            if any(word.text.endswith(e) for e in lists[kind]):
                s = rule_syllable(kind, word)
                if s is not None:
                    return kind, s
        return "stats", self.fallback.syllable(word.text)

    def learn(self, min_gain, min_precision, shortest=2, min_lemmas=1):
        current = [self.decide(w) for w in self.words]
        by_suffix = defaultdict(list)
        for i, w in enumerate(self.words):
            for k in range(shortest, LONGEST_ENDING + 1):
                if len(w.text) > k:
                    by_suffix[w.text[-k:]].append(i)

        def gain(suffix, kind):
            plus = minus = taken = right = 0.0
            lemmas = set()
            for i in by_suffix[suffix]:
                w = self.words[i]
                source, s = current[i]
                if PRIORITY[source] <= PRIORITY[kind]:
                    continue
                new = rule_syllable(kind, w)
                if new is None:
                    continue
                taken += w.weight
                if new == w.stressed:
                    right += w.weight
                    lemmas.add(w.lemma)
                if new == w.stressed and s != w.stressed:
                    plus += w.weight
                elif new != w.stressed and s == w.stressed:
                    minus += w.weight
            precision = right / taken if taken and len(lemmas) >= min_lemmas else 0.0
            return plus - minus, precision

        heap = []
        for suffix in by_suffix:
            for kind in LISTS:
                g, p = gain(suffix, kind)
                if g >= min_gain and p >= min_precision:
                    heapq.heappush(heap, (-g, suffix, kind))
        added = []
        while heap:
            _, suffix, kind = heapq.heappop(heap)
            g, p = gain(suffix, kind)
            if g < min_gain or p < min_precision:
                continue
            if heap and g < -heap[0][0]:
                heapq.heappush(heap, (-g, suffix, kind))
                continue
            self.lists[kind].append(suffix)
            added.append((kind, suffix, g, p))
            for i in by_suffix[suffix]:
                current[i] = self.decide(self.words[i])
        return added

    def accuracy(self, words, lists=None):
        right = total = 0.0
        for w in words:
            total += w.weight
            if self.decide(w, lists)[1] == w.stressed:
                right += w.weight
        return right / total if total else 0.0


def cross_validate(words, profile, fallback, folds, args):
    lemmas = sorted({lemma for _, _, lemma in words})
    random.Random(29).shuffle(lemmas)
    fold_of = {lemma: i % folds for i, lemma in enumerate(lemmas)}
    before = after = 0.0
    for k in range(folds):
        train = [w for w in words if fold_of[w[2]] != k]
        test = [w for w in words if fold_of[w[2]] == k]
        tester = Learner(test, profile, fallback)
        before += tester.accuracy(tester.words)
        learner = Learner(train, profile, fallback, args.citation)
        learner.learn(args.min_gain, args.min_precision, args.shortest, args.min_lemmas)
        after += tester.accuracy(tester.words, learner.lists)
    print("held-out lemmas (%d folds): stressed syllable %.1f %% before, %.1f %% after"
          % (folds, 100 * before / folds, 100 * after / folds))


def write_lists(path, hand, lists):
    """Writes each list as its hand-written entries (kept under <list>_rocno)
    followed by the learnt ones."""
    with open(path, encoding="latin-1", newline="") as f:
        lines = f.read().split("\n")
    out = []
    for line in lines:
        kind = next((k for k in LISTS if re.match(r"^%s(_rocno)?\s*=" % k, line)), None)
        if kind is None:
            out.append(line)
        elif not line.startswith(kind + "_rocno"):
            end = "\r" if line.endswith("\r") else ""
            out.append("%s_rocno = %s%s" % (kind, "\t".join(hand[kind]), end))
            out.append("%s = %s%s" % (kind, "\t".join(lists[kind]), end))
    with open(path, "w", encoding="latin-1", newline="") as f:
        f.write("\n".join(out))


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--source", default=os.path.join(ROOT, "voice/accents/accents_sl.txt"))
    ap.add_argument("--profile", default=os.path.join(ROOT, "voice/gfp.ini"))
    ap.add_argument("--statistics", default=os.path.join(ROOT, "voice/statistika"))
    ap.add_argument("--dictionaries", nargs="*",
                    default=[os.path.join(ROOT, "voice/slovarji/naglasi.dct"),
                             os.path.join(ROOT, "voice/slovarji/osnovni.dct")],
                    help="checked dictionaries whose words join the lexicon's")
    ap.add_argument("--g2p", default=os.path.join(ROOT, "build/sintsrv/sint-g2p"),
                    help="the engine, for the number words it writes")
    ap.add_argument("--min-gain", type=float, default=0.5)
    ap.add_argument("--min-precision", type=float, default=0.6)
    ap.add_argument("--shortest", type=int, default=2, help="letters of the shortest ending")
    ap.add_argument("--min-lemmas", type=int, default=3,
                    help="lemmas an ending must be right for")
    ap.add_argument("--citation", type=float, default=0.3,
                    help="share of a lemma's weight on its own form (the rest on all forms)")
    ap.add_argument("--folds", type=int, default=0, help="cross-validate instead of learning")
    ap.add_argument("--write", action="store_true", help="rewrite the lists in the profile")
    ap.add_argument("--check", action="store_true",
                    help="learn from the hand-written entries alone and compare with the profile")
    args = ap.parse_args()
    profile = bx.read_profile(args.profile)
    fallback = Fallback(args.statistics, profile.get("najverjetnejsi_zlogi", "1"))
    words = lexicon_words(args.source)
    known = dictionary_words(args.dictionaries)
    known.update(number_words(args.g2p, os.path.join(os.path.dirname(args.profile), "sint.ini"),
                              known))
    in_lexicon = {text for text, _, _ in words}
    words += [(text, stressed, text) for text, stressed in known.items()
              if text not in in_lexicon]
    written = {kind: entries_of(profile.get(kind, "")) for kind in LISTS}
    hand = {kind: entries_of(profile.get(kind + "_rocno", profile.get(kind, ""))) for kind in LISTS}
    for kind in LISTS:
        profile[kind] = "\t".join(hand[kind])
    if args.folds:
        cross_validate(words, profile, fallback, args.folds, args)
        return
    learner = Learner(words, profile, fallback, args.citation)
    before = learner.accuracy(learner.words)
    added = learner.learn(args.min_gain, args.min_precision, args.shortest, args.min_lemmas)
    for kind, suffix, g, p in added if not args.check else []:
        print("%-8s %-8s gain %6.1f lemmas, right %3.0f %%" % (kind, suffix, g, 100 * p))
    print("%d endings added; lexicon words by rule alone: %.1f %% -> %.1f %% (lemma-weighted)"
          % (len(added), 100 * before, 100 * learner.accuracy(learner.words)))
    if args.check:
        if learner.lists != written:
            sys.exit("the ending lists of %s are not what the accent lexicon gives: rerun %s "
                     "--write" % (args.profile, os.path.relpath(__file__, ROOT)))
        print("the ending lists of %s match the accent lexicon" % args.profile)
    elif args.write:
        write_lists(args.profile, hand, learner.lists)


if __name__ == "__main__":
    main()
