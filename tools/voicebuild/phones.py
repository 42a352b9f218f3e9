"""Phone inventory of the voice, the donor's phoneme names and the join costs.

Phones are written in the SAMPA symbols of the synthesiser's phone table.  A
"phone" here is what the text analysis writes; a "unit" is what the phone
conversion asks the wave database for: plosives become a closure and a
release, affricates a closure, a "t" release and a fricative.
"""

SHORT_VOWELS = ["a", "E", "i", "O", "u", "@"]
LONG_VOWELS = ["a:", "E:", "e:", "i:", "O:", "o:", "u:", "@:"]
VOWELS = SHORT_VOWELS + LONG_VOWELS

VOICELESS_STOPS = ["p", "t", "k"]
VOICED_STOPS = ["b", "d", "g"]
AFFRICATES = ["ts", "tS", "dZ"]
CONSONANTS = (VOICELESS_STOPS + VOICED_STOPS +
              ["f", "v", "s", "z", "S", "Z", "h", "m", "n", "l", "r", "j"] +
              AFFRICATES)
# Vowel-like glides: what "i", "j", "u", "w" become after a vowel.
GLIDES = ["I", "U"]
PAUSE = "_"
CLOSURE_VOICELESS = "-"
CLOSURE_VOICED = "="

PHONES = VOWELS + CONSONANTS + GLIDES

# Units that carry voicing; every other unit gets pitch marks every 10 ms.
VOICED_UNITS = set(VOWELS) | {"b", "d", "g", "v", "z", "Z", "m", "n", "l", "r",
                              "j", "I", "U", "="}

# The 40 symbols of the phone table (blank left out): every label written into
# a recording must be one of them.
PHONE_TABLE = ["_", "@", "@:", "E", "E:", "I", "O", "O:", "S", "U", "Z", "a",
               "a:", "b", "d", "e:", "f", "g", "h", "i", "i:", "j", "k", "l",
               "m", "n", "o:", "p", "r", "s", "t", "u", "u:", "v", "w", "W",
               "z", "-", "="]

# Donor phoneme names.  A long vowel is the donor's stressed vowel: the donor
# lengthens the stressed vowel and marks length by the stress alone.
DONOR_NAME = {
    "a": "a", "a:": "'a", "E": "E", "E:": "'E", "e:": "'e", "i": "i",
    "i:": "'i", "O": "O", "O:": "'O", "o:": "'o", "u": "u", "u:": "'u",
    "@": "@", "@:": "'@", "p": "p", "b": "b", "t": "t", "d": "d", "k": "k",
    "g": "g", "f": "f", "v": "v", "s": "s", "z": "z", "S": "S", "Z": "Z",
    "h": "x", "m": "m", "n": "n", "l": "l", "r": "R", "j": "j", "ts": "ts",
    "tS": "tS", "dZ": "dZ", "I": "j", "U": "w",
}


def donor_event_name(phone):
    """The phoneme name the donor reports for a phone (stress removed)."""
    return DONOR_NAME[phone].lstrip("'")


def units_of(phone):
    """Database units of one phone, in order."""
    if phone in VOICELESS_STOPS:
        return [CLOSURE_VOICELESS, phone]
    if phone in VOICED_STOPS:
        return [CLOSURE_VOICED, phone]
    if phone in ("ts", "tS"):
        return [CLOSURE_VOICELESS, "t", phone[1]]
    if phone == "dZ":
        return [CLOSURE_VOICED, "d", "Z"]
    return [phone]


def is_vowel(phone):
    return phone in VOWELS


# Join costs: unit selection cuts a stretch of recording where the cost is
# lowest, so steady phones (pauses, long vowels, silent closures, fricatives)
# are cheap and short or fast-moving ones (releases, glides, liquids) dear.
JOIN_COST = {
    "_": 1, "-": 2,
    "a:": 1, "E:": 1, "e:": 1, "i:": 1, "O:": 1, "o:": 1, "u:": 1, "@:": 2,
    "a": 2, "E": 2, "i": 2, "O": 2, "u": 2, "@": 3,
    "s": 3, "S": 3, "f": 3, "h": 3, "z": 4, "Z": 4, "=": 4,
    "m": 4, "n": 4, "l": 5, "v": 6, "r": 7, "j": 7,
    "I": 8, "U": 8, "w": 8, "W": 8,
    "p": 9, "t": 9, "k": 9, "b": 9, "d": 9, "g": 9,
}


def cost_table_text():
    """Contents of the join-cost file: a count, then "symbol<TAB>cost" lines."""
    lines = [str(len(JOIN_COST))]
    for symbol, cost in JOIN_COST.items():
        lines.append("%s\t%d" % (symbol, cost))
    return "\n".join(lines) + "\n"
