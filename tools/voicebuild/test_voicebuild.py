"""Tests of the voice-building pipeline that need no donor voice."""

import os
import struct
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import corpus  # noqa: E402
import labels  # noqa: E402
import phones as ph  # noqa: E402
import pitchmarks as pm  # noqa: E402
import prompts as pr  # noqa: E402
import riffwav  # noqa: E402


class PhoneTableTest(unittest.TestCase):
    def test_every_unit_is_a_table_symbol(self):
        for p in ph.PHONES:
            for u in ph.units_of(p):
                self.assertIn(u, ph.PHONE_TABLE, p)
        for symbol in ph.JOIN_COST:
            self.assertIn(symbol, ph.PHONE_TABLE)

    def test_plosives_and_affricates_split_as_the_phone_conversion_asks(self):
        cases = [("p", ["-", "p"]), ("g", ["=", "g"]), ("ts", ["-", "t", "s"]),
                 ("tS", ["-", "t", "S"]), ("dZ", ["=", "d", "Z"]), ("a:", ["a:"])]
        for phone, units in cases:
            self.assertEqual(ph.units_of(phone), units)

    def test_cost_table_text(self):
        lines = ph.cost_table_text().splitlines()
        self.assertEqual(int(lines[0]), len(lines) - 1)
        for line in lines[1:]:
            symbol, cost = line.split("\t")
            self.assertTrue(1 <= int(cost) <= 9, line)
        costs = dict(line.split("\t") for line in lines[1:])
        # Cuts go into steady phones rather than into releases.
        self.assertLess(int(costs["a:"]), int(costs["t"]))
        self.assertLess(int(costs["_"]), int(costs["r"]))


class CorpusTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.words, cls.left = corpus.build_corpus()

    def test_covers_every_wanted_pair_as_often_as_wanted(self):
        self.assertEqual(corpus.missing_pairs(self.words), [])
        self.assertEqual(sum(self.left.values()), 0)
        counts = {}
        for w in self.words:
            for pair in corpus.word_pairs(w):
                counts[pair] = counts.get(pair, 0) + 1
        for pair, n in corpus.required_pairs().items():
            self.assertGreaterEqual(counts.get(pair, 0), n, pair)

    def test_pause_pairs_and_closures_are_wanted(self):
        wanted = corpus.required_pairs()
        for pair in [("_", "a"), ("a", "_"), ("_", "-"), ("-", "t"), ("=", "b"),
                     ("t", "s"), ("a", "I"), ("E:", "U"), ("n", "_")]:
            self.assertIn(pair, wanted)
        # Two stressed vowels meet across words; "h" keeps its voice before
        # voiced obstruents; glides may precede a vowel of the next word.
        # Obstruents of mixed voicing and final voiced ones are recorded as the
        # donor assimilates them.
        for pair in [("a:", "e:"), ("h", "="), ("U", "a"), ("I", "i:"), ("b", "_"),
                     ("s", "="), ("b", "f")]:
            self.assertIn(pair, wanted)
        for pair in [("_", "I"), ("m", "I"), ("I", "U"), ("-", "b"), ("=", "p")]:
            self.assertNotIn(pair, wanted)

    def test_words_are_speakable(self):
        for w in self.words:
            self.assertTrue(corpus.speakable(w), w)
        cases = [(["t", "a:"], True), (["t", "a:", "o:"], True), (["a:", "t", "o:"], False),
                 (["t", "a"], False), (["I", "a:"], False), (["a:", "I", "U"], False),
                 (["a:", "h", "b"], True)]
        for word, ok in cases:
            self.assertEqual(corpus.speakable(word), ok, word)

    def test_word_for_a_single_pair(self):
        for pair in [("z", "@:"), ("U", "r"), ("a:", "=")]:
            word = corpus.word_for(pair)
            self.assertIsNotNone(word)
            self.assertIn(pair, corpus.word_pairs(word))


class LabelTest(unittest.TestCase):
    RATE = 22050
    MS = 22

    def signal(self, spans):
        """Samples from (length in ms, amplitude) spans of a square wave."""
        x = []
        for ms, amp in spans:
            x.extend(amp if (i // 50) % 2 else -amp for i in range(ms * self.MS))
        return x

    def test_voiceless_stop_closure_is_the_silence_before_its_release(self):
        # a (60 ms sound + 40 ms silence), t release at 100 ms, a at 120 ms.
        x = self.signal([(100, 0), (60, 3000), (40, 0), (20, 2000), (80, 3000)])
        events = [("a", 100 * self.MS), ("t", 200 * self.MS), ("a", 220 * self.MS),
                  ("_:", 300 * self.MS)]
        units, end, spoken = labels.word_units(["a", "t", "a:"], x, events, self.RATE)
        self.assertEqual([u for u, _ in units], ["a", "-", "t", "a:"])
        closure = units[1][1]
        self.assertTrue(159 * self.MS <= closure <= 161 * self.MS, closure / self.MS)
        self.assertEqual(units[2][1], 200 * self.MS)
        self.assertEqual(end, 300 * self.MS)
        self.assertEqual(spoken, ["a", "t", "a:"])

    def test_word_initial_closure_comes_from_the_pause(self):
        x = self.signal([(100, 0), (20, 2000), (80, 3000)])
        events = [("p", 100 * self.MS), ("a", 120 * self.MS), ("_:", 200 * self.MS)]
        units, _, _ = labels.word_units(["p", "a:"], x, events, self.RATE)
        self.assertEqual([u for u, _ in units], ["-", "p", "a:"])
        self.assertEqual(units[0][1], 40 * self.MS)

    def test_voiced_stop_and_affricate_split(self):
        x = self.signal([(50, 3000)] * 6)
        events = [("a", 0), ("b", 50 * self.MS), ("a", 150 * self.MS),
                  ("ts", 200 * self.MS), ("a", 250 * self.MS), ("_:", 300 * self.MS)]
        units, _, _ = labels.word_units(["a", "b", "a:", "ts", "a"], x, events, self.RATE)
        names = [u for u, _ in units]
        self.assertEqual(names, ["a", "=", "b", "a:", "-", "t", "s", "a"])
        starts = [s for _, s in units]
        self.assertEqual(starts, sorted(starts))
        self.assertGreater(starts[2] - starts[1], starts[3] - starts[2])  # closure longer

    def test_devoiced_stop_keeps_the_asked_label_and_the_spoken_cut(self):
        # Asked "a: b" (final b); the donor says "a p": the closure is the
        # silence before the release, as for "p", but the units are "=" "b".
        x = self.signal([(100, 0), (80, 3000), (40, 0), (30, 2000)])
        events = [("a", 100 * self.MS), ("p", 220 * self.MS), ("_:", 250 * self.MS)]
        units, _, label = labels.word_units(["a:", "b"], x, events, self.RATE)
        self.assertEqual([u for u, _ in units], ["a:", "=", "b"])
        self.assertTrue(179 * self.MS <= units[1][1] <= 181 * self.MS, units[1][1] / self.MS)
        self.assertEqual(units[2][1], 220 * self.MS)
        self.assertEqual(label, ["a:", "b"])

    def test_label_phones(self):
        cases = [(["a:", "b", "f"], ["a:", "p", "f"], ["a:", "b", "f"]),
                 (["s", "b", "a:"], ["z", "b", "a:"], ["s", "b", "a:"]),
                 (["d", "Z", "a:"], ["t", "S", "a:"], ["d", "Z", "a:"]),
                 (["h", "z", "a:"], ["h", "z", "a:"], ["h", "z", "a:"]),
                 (["f", "z", "a:"], ["v", "z", "a:"], ["f", "z", "a:"]),
                 (["v", "a:"], ["f", "a:"], ["f", "a:"])]  # v is no obstruent
        for asked, spoken, want in cases:
            self.assertEqual(labels.label_phones(asked, spoken), want)

    def test_donor_changes_of_consonants_are_taken(self):
        self.assertEqual(labels.spoken_phones(["a:", "b", "s"], ["a", "p", "s"]),
                         ["a:", "p", "s"])
        self.assertEqual(labels.spoken_phones(["h", "a:"], ["x", "a"]), ["h", "a:"])
        self.assertEqual(labels.spoken_phones(["h", "z", "a:"], ["Q", "z", "a"]),
                         ["h", "z", "a:"])
        with self.assertRaises(labels.LabelError):
            labels.spoken_phones(["a", "s"], ["a"])
        with self.assertRaises(labels.LabelError):
            labels.spoken_phones(["a:", "s"], ["o", "s"])


class PitchMarkTest(unittest.TestCase):
    def pulses(self, n, period, start=0):
        x = [0] * n
        for p in range(start, n, period):
            for k in range(-3, 4):
                if 0 <= p + k < n:
                    x[p + k] = 8000 - 1000 * abs(k)
        return x

    def test_marks_follow_glottal_pulses(self):
        x = self.pulses(4000, 143, start=60)
        units = [("a", 0)]
        marks = pm.place_marks(x, units, lambda u: True, 143, len(x))
        self.assertEqual(pm.check_marks(marks, units, len(x)), [])
        on_pulse = [m for m in marks if (m - 60) % 143 in (0, 1, 142)]
        self.assertGreaterEqual(len(on_pulse), 25)

    def test_marks_keep_the_phase_of_the_fundamental_across_phones(self):
        # Two "phones" with the same fundamental but different upper harmonics:
        # the marks stay on the fundamental's peaks in both.
        import math
        period, n = 143, 6000
        x = []
        for i in range(n):
            w = 2 * math.pi * i / period
            upper = math.sin(5 * w + (0.3 if i < n // 2 else 2.5)) + 0.8 * math.sin(9 * w + 1.0)
            x.append(int(3000 * math.sin(w) + 5000 * upper))
        units = [("a", 0), ("i", n // 2)]
        marks = pm.place_marks(x, units, lambda u: True, period, n)
        inner = [m for m in marks if 300 < m < n - 300]
        self.assertGreater(len(inner), 30)
        for m in inner:
            phase = (m - period / 4) % period  # sine peaks at a quarter period
            self.assertLessEqual(min(phase, period - phase), 3, m)

    def test_voiceless_every_ten_ms_and_every_unit_has_a_mark(self):
        n = 3000
        x = [0] * n
        units = [("_", 0), ("-", 1000), ("t", 1900), ("s", 1950)]
        marks = pm.place_marks(x, units, lambda u: False, 143, n)
        self.assertEqual(pm.check_marks(marks, units, n), [])
        steps = {b - a for a, b in zip(marks, marks[1:])}
        self.assertTrue(all(pm.MIN_PERIOD <= s <= pm.VOICELESS_STEP for s in steps), steps)

    def test_regularise_keeps_periods_in_range(self):
        cases = [([10, 20, 30, 1000, 1010, 3000], 0, 3200),
                 ([5], 0, 2000), ([], 0, 500), ([100, 120, 131, 900], 50, 1000)]
        for marks, first, end in cases:
            out = pm.regularise(marks, first, end)
            self.assertEqual(out, sorted(out))
            self.assertTrue(all(first <= m < end for m in out), out)
            for a, b in zip(out, out[1:]):
                self.assertTrue(pm.MIN_PERIOD <= b - a <= pm.MAX_PERIOD, (marks, out))
            self.assertLessEqual(out[0] - first, pm.VOICELESS_STEP)
            self.assertLessEqual(end - out[-1], pm.VOICELESS_STEP + 1)

    def test_check_marks_finds_faults(self):
        units = [("a", 0), ("t", 500), ("a", 510)]
        faults = pm.check_marks([100, 120, 600, 1100], units, 1200)
        kinds = sorted(f for f, _ in faults)
        self.assertIn("no mark in t", kinds)
        self.assertIn("period 20", kinds)
        self.assertIn("period 480", kinds)

    def test_estimate_period(self):
        x = self.pulses(3000, 150)
        self.assertIn(pm.estimate_period(x, 0, 3000), (149, 150, 151))
        self.assertIsNone(pm.estimate_period([0] * 3000, 0, 3000))


class WaveFileTest(unittest.TestCase):
    def test_alaw_matches_g711_reference_values(self):
        cases = [(0, 0xD5), (-1, 0x55), (8, 0xD5), (1000, 0xFA), (-1000, 0x7A),
                 (32767, 0xAA), (-32768, 0x2A)]
        for value, code in cases:
            self.assertEqual(riffwav.alaw_encode([value])[0], code, value)
        for code in range(256):
            v = riffwav.alaw_decode(code)
            self.assertEqual(riffwav.alaw_encode([v])[0], code)

    def test_layout_of_a_labelled_recording(self):
        samples = [0, 100, -100, 2000, -3000]
        tracks = {1: [(0, "_"), (2, "a:")], 0: [(1, ""), (3, "")]}
        blob = riffwav.wave_bytes(samples, tracks)
        self.assertEqual(blob[:4], b"RIFF")
        self.assertEqual(struct.unpack("<I", blob[4:8])[0], len(blob) - 8)
        self.assertEqual(blob[12:16], b"fmt ")
        self.assertEqual(struct.unpack("<I", blob[16:20])[0], 16)
        tag, channels, rate, byte_rate, align, bits = struct.unpack("<HHIIHH", blob[20:36])
        self.assertEqual((tag, channels, rate, byte_rate, align, bits), (6, 1, 16000, 16000, 1, 8))
        self.assertEqual(blob[36:40], b"data")
        size = struct.unpack("<I", blob[40:44])[0]
        self.assertEqual(size, 6)  # padded to an even count: no pad byte needed
        pos = 44 + size
        order = []
        while pos < len(blob):
            order.append(blob[pos:pos + 4])
            n = struct.unpack("<I", blob[pos + 4:pos + 8])[0]
            self.assertEqual(n % 16, 0)
            pos += 8 + n
        self.assertEqual(order, [b"mrk1", b"mrk2", b"mrk3", b"mrk4"])
        fmt, back, read_tracks = riffwav.read_wave(blob)
        self.assertEqual(read_tracks[1], tracks[1])
        self.assertEqual(read_tracks[0], tracks[0])
        self.assertEqual(read_tracks[3], [(0, ""), (5, "")])
        for a, b in zip(samples, back):
            self.assertLessEqual(abs(a - b), max(16, abs(a) // 16))

    def test_pcm_and_label_limits(self):
        blob = riffwav.wave_bytes([1, -2], {}, alaw=False)
        fmt, back, _ = riffwav.read_wave(blob)
        self.assertEqual(fmt[0], 1)
        self.assertEqual(back, [1, -2])
        with self.assertRaises(ValueError):
            riffwav.wave_bytes([0], {1: [(0, "x" * 12)]})


class PromptListTest(unittest.TestCase):
    PROMPTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "voice",
                           "prompts", "prompts_sl.txt")

    def test_committed_list_covers_every_pair(self):
        prompts = pr.read_prompts(self.PROMPTS)
        words = pr.carrier_words(prompts)
        self.assertEqual(corpus.missing_pairs(words.values()), [])
        for w in words.values():
            self.assertTrue(corpus.speakable(w), w)
        self.assertEqual(len(prompts) - len(words), pr.SENTENCES)

    def test_spelling_reads_back(self):
        cases = [(["m", "a:", "m", "a"], "máma"), (["d", "Z", "E:"], "d-žê"),
                 (["dZ", "E:"], "džê"), (["t", "s", "a:"], "tsá"), (["ts", "a:"], "cá"),
                 (["a:", "I", "U", "@", "@:"], "áĭŭəə\u0301"), (["tS", "O:", "h"], "čôh")]
        for phones, text in cases:
            self.assertEqual(pr.spell(phones), text)
            self.assertEqual(pr.read_word(text), phones)
        for w in corpus.build_corpus()[0]:
            self.assertEqual(pr.read_word(pr.spell(w)), w)
        with self.assertRaises(pr.PromptError):
            pr.read_word("máxa")

    def test_malformed_lists_are_refused(self):
        import tempfile
        for text in ["w001 máma\n", "w001\t\n", "w001\tmáma\nw001\tsáma\n", "\tmáma\n",
                     "../w001\tmáma\n"]:
            with tempfile.NamedTemporaryFile("w", suffix=".txt", encoding="utf-8") as f:
                f.write(text)
                f.flush()
                with self.assertRaises(pr.PromptError, msg=text):
                    pr.read_prompts(f.name)


if __name__ == "__main__":
    unittest.main()
