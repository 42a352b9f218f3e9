"""Carrier words that cover every diphone of the voice's units.

Each carrier word is spoken alone, between pauses, with exactly one stressed
(long) vowel.  Words are built greedily: every next phone is the one that
covers the most unit pairs not yet recorded often enough.  Pairs of frequent
units are wanted twice, all others once.
"""

import phones as ph

MAX_WORD = 7          # phones per carrier word
MAX_CONSONANT_RUN = 3
MAX_VOWEL_RUN = 2
END = None            # marks the end of a word in the choice lists

# Units common in running Slovenian text: their pairs are recorded twice so
# that unit selection has a choice and long stretches match more often.
FREQUENT_UNITS = {"_", "a", "E", "i", "O", "a:", "e:", "n", "-", "t", "s", "r",
                  "l", "j", "v"}

# Phone pairs that the donor would read as one phoneme (t+s is the affricate)
# unless they are kept apart in its phoneme string.
DONOR_DIGRAPHS = {("t", "s"), ("t", "S"), ("d", "Z"), ("d", "z")}


# Obstruents agree in voicing with the obstruent that follows them and lose
# their voice before a pause: the donor says them so, and the recordings keep
# the written phone as the label (see labels.label_phones), so that a
# transcription with or without the assimilation finds its diphones.
AFFRICATE_LIKE = {"ts", "tS", "dZ"}


def pair_allowed(x, y):
    """Whether phone y may follow phone x in speech (inside a carrier word)."""
    if x == y and (x in ph.GLIDES or x in AFFRICATE_LIKE):
        return False
    if y in ph.GLIDES and not ph.is_vowel(x):
        return False
    if x in ph.GLIDES and y in ph.GLIDES:
        return False
    if "dZ" in (x, y) and not (ph.is_vowel(x) or ph.is_vowel(y)):
        return False  # rare phone: recorded next to vowels only
    return True


def required_pairs():
    """Unit pairs to record, each with the number of times it is wanted."""
    wanted = {}

    def want(a, b):
        wanted[(a, b)] = 2 if a in FREQUENT_UNITS and b in FREQUENT_UNITS else 1

    for p in ph.PHONES:
        units = ph.units_of(p)
        for a, b in zip(units, units[1:]):
            want(a, b)
        if p not in ph.GLIDES:
            want(ph.PAUSE, units[0])
        want(units[-1], ph.PAUSE)
        for q in ph.PHONES:
            if pair_allowed(p, q):
                want(units[-1], ph.units_of(q)[0])
    return wanted


def word_pairs(word):
    """Unit pairs that a carrier word records, pauses around it included."""
    units = [ph.PAUSE]
    for p in word:
        units.extend(ph.units_of(p))
    units.append(ph.PAUSE)
    return list(zip(units, units[1:]))


class _Cover:
    def __init__(self, wanted):
        self.need = dict(wanted)

    def gain(self, pairs):
        seen = {}
        total = 0
        for pair in pairs:
            left = self.need.get(pair, 0) - seen.get(pair, 0)
            if left > 0:
                total += 1
                seen[pair] = seen.get(pair, 0) + 1
        return total

    def take(self, pairs):
        for pair in pairs:
            if self.need.get(pair, 0) > 0:
                self.need[pair] -= 1

    def open_from(self, unit):
        return sum(n for (a, _), n in self.need.items() if a == unit and n > 0)

    def remaining(self):
        return sum(self.need.values())


def _options(word):
    """Phones that may extend the word, END included when it may stop."""
    longs = sum(p in ph.LONG_VOWELS for p in word)
    has_long = longs > 0
    last = word[-1] if word else ph.PAUSE
    result = []
    if word and has_long:
        result.append(END)
    if len(word) >= MAX_WORD:
        return result
    for p in ph.PHONES:
        if word and not pair_allowed(last, p):
            continue
        if not word and p in ph.GLIDES:
            continue
        # One stressed vowel, or two side by side (as across two words).
        if p in ph.LONG_VOWELS and has_long and not (longs == 1 and last in ph.LONG_VOWELS):
            continue
        # Leave room for the stressed vowel: a glide cannot precede a vowel.
        if not has_long and len(word) >= MAX_WORD - 2 and p not in ph.LONG_VOWELS:
            continue
        if (not has_long and len(word) >= MAX_WORD - 3 and
                (p in ph.GLIDES or p in ph.SHORT_VOWELS)):
            continue
        trial = word + [p]
        if _run(trial, lambda q: not ph.is_vowel(q) and q not in ph.GLIDES) > MAX_CONSONANT_RUN:
            continue
        if _run(trial, ph.is_vowel) > MAX_VOWEL_RUN:
            continue
        result.append(p)
    return result


def _run(word, test):
    n = 0
    for p in reversed(word):
        if not test(p):
            break
        n += 1
    return n


def _pairs_added(word, p):
    last_unit = ph.units_of(word[-1])[-1] if word else ph.PAUSE
    if p is END:
        return [(last_unit, ph.PAUSE)]
    units = ph.units_of(p)
    return [(last_unit, units[0])] + list(zip(units, units[1:]))


def build_corpus(wanted=None, max_words=2000):
    """Carrier words (lists of phones) that cover the wanted unit pairs."""
    cover = _Cover(wanted if wanted is not None else required_pairs())
    words = []
    while cover.remaining() > 0 and len(words) < max_words:
        word = []
        while True:
            best, best_key = END, None
            for p in _options(word):
                pairs = _pairs_added(word, p)
                g = cover.gain(pairs)
                future = 0 if p is END else cover.open_from(ph.units_of(p)[-1])
                # A word that already covers something may stop when nothing
                # new is in reach; otherwise head for open pairs.
                key = (g, 0 if p is END else 1, future) if g else (0, future, p is END)
                if best_key is None or key > best_key:
                    best, best_key = p, key
            if best_key is None:
                break
            if best is END:
                break
            cover.take(_pairs_added(word, best))
            word.append(best)
        if not word or not any(p in ph.LONG_VOWELS for p in word):
            break
        before = cover.remaining()
        cover.take(_pairs_added(word, END))
        words.append(word)
        if before == cover.remaining() and len(words) > 1 and words[-1] == words[-2]:
            break  # nothing left that a word can reach
    # What the greedy walk could not reach gets a short word of its own.
    for pair, n in sorted(cover.need.items()):
        for _ in range(n):
            word = word_for(pair)
            if word is None:
                break
            cover.take(word_pairs(word))
            words.append(word)
    return words, cover.need


def speakable(word):
    """One stressed (long) vowel, or two side by side; allowed pairs only."""
    longs = [k for k, p in enumerate(word) if p in ph.LONG_VOWELS]
    if not longs or len(longs) > 2 or (len(longs) == 2 and longs[1] != longs[0] + 1):
        return False
    if word[0] in ph.GLIDES:
        return False
    return all(pair_allowed(x, y) for x, y in zip(word, word[1:]))


def word_for(pair):
    """A short carrier word that records one unit pair, or None."""
    a, b = pair
    firsts = [p for p in ph.PHONES if ph.units_of(p)[-1] == a] or [None]
    seconds = [p for p in ph.PHONES if ph.units_of(p)[0] == b] or [None]
    for x in firsts:
        for y in seconds:
            core = [q for q in (x, y) if q is not None]
            # Vowels around the pair keep the donor from changing its phones.
            for word in (core + ["a"], core + ["a:"], ["a"] + core + ["a"], ["s"] + core + ["s"],
                         ["a"] + core + ["a:"], ["a:"] + core + ["a"], core,
                         ["a"] + core, ["a:"] + core, core + ["a", "s"]):
                if speakable(word) and pair in word_pairs(word):
                    return word
    return None


def missing_pairs(words, wanted=None):
    """Wanted unit pairs that the words do not record at all."""
    wanted = wanted if wanted is not None else required_pairs()
    have = set()
    for w in words:
        have.update(word_pairs(w))
    return sorted(p for p in wanted if p not in have)
