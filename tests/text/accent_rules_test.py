#!/usr/bin/env python3
"""The accent lexicon's builder gives each form the lemma's accent only where
it is certain: a table of lemma, form, tags and the expected accented form
(None: left to the statistics)."""
import os
import shutil
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools/accent"))
import build_lexicon as bl  # noqa: E402


def entry(accented, pos, *overrides):
    plain, index, _ = bl.accent_of(accented)
    return {"lemma": plain, "pos": pos, "accent": bl.accent_of(accented),
            "overrides": [(set(o.split("=")[0].split("+")), o.split("=")[1]) for o in overrides],
            "forms": {}, "thematic": pos == "vblex" and plain[-3:] in ("iti", "eti") and
            index == len(plain) - 3}


CASES = [
    # Stem spelled up to the stressed vowel: the accent stays.
    (("korák", "n"), "koraka", {"sg", "gen"}, "koráka"),
    # Short final accent becomes long before an ending; è to é, ò to ô.
    (("koràk", "n"), "koraku", {"sg", "dat"}, "koráku"),
    (("pomèn", "n"), "pomena", {"sg", "gen"}, "poména"),
    (("nòv", "adj"), "novega", {"m", "sg", "gen"}, "nôvega"),
    (("koràk", "n"), "korak", {"sg", "nom"}, "koràk"),
    # Final stressed vowel changes with the ending.
    (("mesó", "n"), "mesa", {"sg", "gen"}, "mesá"),
    # The stem changes before the stressed vowel: statistics.
    (("pəs", "n"), "psa", {"sg", "gen"}, None),
    # Verbs on the i or e before -ti: present, imperative, masculine l-form
    # only through an override.
    (("nosíti", "vblex"), "nosim", {"pres", "p1", "sg"}, None),
    (("nosíti", "vblex", "pres=nósim"), "nosim", {"pres", "p1", "sg"}, "nósim"),
    (("nosíti", "vblex"), "nosil", {"past", "m", "sg"}, None),
    (("nosíti", "vblex"), "nosila", {"past", "f", "sg"}, "nosíla"),
    (("govoríti", "vblex", "past+m+sg=govóril"), "govoril", {"past", "m", "sg"}, "govóril"),
    (("govoríti", "vblex", "past+m+sg=govóril"), "govorila", {"past", "f", "sg"}, "govoríla"),
    (("odpréti", "vblex", "past=odpŕl"), "odprla", {"past", "f", "sg"}, "odpŕla"),
    # An override's mark goes only on the example's own letter: umrjem's
    # stressed nucleus is its r.
    (("umréti", "vblex", "pres=umrèm"), "umrjem", {"pres", "p1", "sg"}, "umŕjem"),
    # Verbs on the stem keep it everywhere it is spelled.
    (("délati", "vblex"), "delam", {"pres", "p1", "sg"}, "délam"),
    (("igráti", "vblex"), "igram", {"pres", "p1", "sg"}, "igrám"),
    # "oth" gives every other form its own accent.
    (("globòk", "adj", "oth=globóka"), "globokega", {"m", "sg", "gen"}, "globókega"),
    (("globòk", "adj", "oth=globóka"), "globok", {"m", "sg", "nom"}, "globòk"),
]

# Untagged forms (hunspell's): lemma, form, expected accented form.
UNTAGGED = [
    (("pastír", "n"), "pastirja", "pastírja"),
    (("golób", "n"), "golobi", "golóbi"),
    (("dóber", "adj"), "dobra", "dóbra"),
    # Verbs stressed on the stem: infinitive, l-participle and supine.
    (("délati", "vblex"), "delati", "délati"),
    (("délati", "vblex"), "delala", "délala"),
    (("délati", "vblex"), "delat", "délat"),
    (("délati", "vblex"), "delan", None),
    # Verbs stressed on the syllable before -ti: the infinitive only.
    (("oráti", "vblex"), "oral", None),
    (("oráti", "vblex"), "orati", "oráti"),
    (("réči", "vblex"), "rekel", None),
    # A schwa lemma's other spellings are not its forms for sure (pesa).
    (("pəs", "n"), "pesa", None),
]


class AccentRules(unittest.TestCase):
    def test_untagged_forms_take_the_accent_only_where_the_spelling_makes_it_certain(self):
        for (accented, pos), form, expected in UNTAGGED:
            with self.subTest(lemma=accented, form=form):
                self.assertEqual(bl.accented_form(form, set(), entry(accented, pos), True),
                                 expected)

    def test_named_forms_override_for_both_kinds(self):
        lemma = entry("gôra", "n")
        lemma["forms"] = {"gore": "goré"}
        for tags, untagged in (({"pl", "nom"}, False), (set(), True)):
            self.assertEqual(bl.accented_form("gore", tags, lemma, untagged), "goré")
        self.assertEqual(bl.accented_form("gori", set(), lemma, True), "gôri")

    def test_forms_take_the_lemma_accent_only_where_certain(self):
        for (accented, pos, *overrides), form, tags, expected in CASES:
            with self.subTest(lemma=accented, form=form):
                self.assertEqual(bl.accented_form(form, tags, entry(accented, pos, *overrides)),
                                 expected)

    def test_hunspell_forms_give_way_to_tagged_forms_and_lemmas(self):
        class Plain:
            def apply(self, word):
                return word
        polica, policaj = entry("políca", "n"), entry("policáj", "n")
        fant, fantom = entry("fánt", "n"), entry("fantóm", "n")
        tagged = {("policaj", "n"): [("policaja", {"sg", "gen"})],
                  ("fant", "n"): [("fantom", {"sg", "ins"})]}
        spelled = {"polica": {"polica", "policaja"}, "fantom": {"fantom", "fantoma"}}
        out = bl.build([polica, policaj, fant, fantom], tagged, Plain(), spelled)[0]
        self.assertEqual(out.get("policaja"), bl.bx.marked_word("policája")[1])
        # The lemma's own spelling, though its tagged forms lack it.
        self.assertEqual(out.get("policaj"), bl.bx.marked_word("policáj")[1])
        self.assertNotIn("fantom", out)  # two lemmas spell it: left out
        self.assertEqual(out.get("fantoma"), bl.bx.marked_word("fantóma")[1])

    @unittest.skipUnless(shutil.which("unmunch"), "needs hunspell-tools")
    def test_hunspell_spells_lemmas_through_stems_and_separate_words(self):
        aff = "SET ISO8859-2\n\nPFX B Y 1\nPFX B 0 po .\n\nSFX A Y 2\nSFX A 0 a .\nSFX A 0 e .\n"
        dic = ["pastir/AB", "učilnic/A", "učilnicah", "miza"]
        with tempfile.TemporaryDirectory() as tmp:
            paths = [os.path.join(tmp, name) for name in ("t.aff", "t.dic")]
            for path, text in zip(paths, (aff, "%d\n%s\n" % (len(dic), "\n".join(dic)))):
                with open(path, "w", encoding="iso-8859-2") as f:
                    f.write(text)
            forms = bl.hunspell_forms({"pastir", "učilnica", "stol"}, paths[1], paths[0])
        self.assertEqual(forms, {"pastir": {"pastir", "pastira", "pastire"},
                                 "učilnica": {"učilnic", "učilnica", "učilnice", "učilnicah"}})

    def test_source_errors_are_reported(self):
        for bad in ("korak", "kórák"):
            with self.subTest(word=bad), self.assertRaises(ValueError):
                bl.accent_of(bad)


if __name__ == "__main__":
    unittest.main()
