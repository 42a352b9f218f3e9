"""The Python module over the built library and the build's voice ($SINT_VOICE)."""
import os
import tempfile
import threading
import unittest
import wave

import sint

SENTENCE = "Dober dan, to je preizkus govora."


class VoiceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.voice = sint.Voice()

    def test_synthesize_stream_and_save_give_the_same_audio(self):
        pcm = self.voice.synthesize(SENTENCE)
        self.assertEqual(self.voice.sample_rate, 16000)
        self.assertGreater(len(pcm), 2 * 16000)
        self.assertEqual(len(pcm) % 2, 0)
        chunks = list(self.voice.stream(SENTENCE))
        self.assertGreater(len(chunks), 1)
        self.assertEqual(b"".join(chunks), pcm)
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "out.wav")
            self.voice.save(path, SENTENCE)
            with wave.open(path) as w:
                self.assertEqual((w.getnchannels(), w.getsampwidth(), w.getframerate()),
                                 (1, 2, 16000))
                self.assertEqual(w.readframes(w.getnframes()), pcm)

    def test_settings_and_ssml(self):
        normal = self.voice.synthesize(SENTENCE)
        self.assertLess(len(self.voice.synthesize(SENTENCE, speed=2.0)), len(normal) * 3 // 4)
        self.assertEqual(self.voice.synthesize("<speak>Dober dan.</speak>", ssml=True),
                         self.voice.synthesize("Dober dan."))
        self.assertEqual(self.voice.synthesize(""), b"")

    def test_errors_raise_sint_error(self):
        for settings in ({"rate": 11}, {"pitch": -51}, {"volume": 0}, {"speed": 7.0}):
            with self.subTest(settings), self.assertRaises(sint.Error):
                self.voice.synthesize(SENTENCE, **settings)
        with self.assertRaisesRegex(sint.Error, "no voice folder"):
            sint.Voice("/no/such/voice")

    def test_leaving_a_stream_early_stops_it(self):
        stream = self.voice.stream(SENTENCE * 3)
        next(stream)
        stream.close()
        self.assertEqual(self.voice.synthesize("Dober dan."), self.voice.synthesize("Dober dan."))

    def test_four_threads_with_four_voices(self):
        expected = self.voice.synthesize(SENTENCE)
        heard = [None] * 4

        def run(i):
            heard[i] = sint.Voice().synthesize(SENTENCE)

        threads = [threading.Thread(target=run, args=(i,)) for i in range(4)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        self.assertEqual(heard, [expected] * 4)


if __name__ == "__main__":
    unittest.main()
