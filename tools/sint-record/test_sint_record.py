"""Tests of sint-record on file-backed input: the checks of a take, a session
recorded, played, re-taken and resumed, and a folder of recordings imported."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import numpy as np  # noqa: E402
import soundfile  # noqa: E402

import session as sess  # noqa: E402

PROGRAM = os.path.join(HERE, "sint-record")
PROMPTS = "w001\tmáma\nw002\tsáma\nw003\tnóta\ns01\tTo je stavek.\n"


def take(rate=44100, lead=0.5, speech=1.0, trail=0.5, peak=0.3, noise_dbfs=-70.0, seed=1):
    """A take: silence, a voiced sound, silence, with room noise."""
    rng = np.random.default_rng(seed)
    t = np.arange(int(speech * rate)) / rate
    voice = sum(np.sin(2 * np.pi * 150 * k * t) / k for k in range(1, 8))
    voice *= peak / np.abs(voice).max()
    x = np.concatenate([np.zeros(int(lead * rate)), voice, np.zeros(int(trail * rate))])
    return x + rng.normal(0, 10 ** (noise_dbfs / 20), len(x))


class CheckTest(unittest.TestCase):
    def test_each_fault_is_named(self):
        cases = [
            ("good", take(), []),
            ("clipped", np.clip(take(peak=1.5), -1, 1), ["clipping:"]),
            ("quiet", take(peak=0.03), ["level too low: peak -30 dBFS"]),
            ("noisy", take(noise_dbfs=-38), ["noise floor high: -38 dBFS"]),
            ("no lead", take(lead=0.05), [sess.NO_LEAD]),
            ("no trail", take(trail=0.0), [sess.NO_TRAIL]),
            ("silence", take(peak=0.0), [sess.NO_SPEECH]),
        ]
        for name, x, expected in cases:
            problems = sess.check_take(x, 44100)
            self.assertEqual(len(problems), len(expected), (name, problems))
            for got, want in zip(problems, expected):
                self.assertTrue(got.startswith(want), (name, got))

    def test_resampling_keeps_length_and_pitch(self):
        x = take(rate=48000)
        y = sess.resample(x, 48000, 44100)
        self.assertAlmostEqual(len(y) / 44100, len(x) / 48000, delta=0.01)
        middle = y[int(0.6 * 44100):int(1.4 * 44100)]
        spectrum = np.abs(np.fft.rfft(middle))
        self.assertAlmostEqual(np.fft.rfftfreq(len(middle), 1 / 44100)[np.argmax(spectrum)], 150,
                               delta=2)


class ProgramTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="sint-record-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.prompts = os.path.join(self.dir, "prompts.txt")
        with open(self.prompts, "w", encoding="utf-8") as f:
            f.write(PROMPTS)
        self.takes = os.path.join(self.dir, "takes")
        os.makedirs(self.takes)
        self.session = os.path.join(self.dir, "session")

    def run_program(self, args, commands=""):
        res = subprocess.run([sys.executable, PROGRAM, "--session", self.session, "--prompts",
                              self.prompts] + args, input=commands.encode(),
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
        return res.returncode, res.stdout.decode(), res.stderr.decode()

    def manifest(self):
        with open(os.path.join(self.session, sess.MANIFEST), encoding="utf-8") as f:
            return [line.rstrip("\n").split("\t") for line in f if not line.startswith("#")]

    def test_session_is_recorded_checked_played_and_resumed(self):
        soundfile.write(os.path.join(self.takes, "w001.wav"), take(rate=48000), 48000)
        soundfile.write(os.path.join(self.takes, "w002.wav"), np.clip(take(peak=1.5), -1, 1),
                        44100)
        played = os.path.join(self.dir, "played.wav")
        # w001: record, stop, play, next; w002: record, stop, record again, stop; quit.
        code, out, _ = self.run_program(["--input", self.takes, "--output", played],
                                        "\n\np\n\n\n\nr\n\nq\n")
        self.assertEqual(code, 0)
        for line in ["[1/4] w001: máma", "w001: recorded at 48000 Hz, resampled to 44100 Hz",
                     "w001: good take", "[2/4] w002: sáma", "w002: clipping:",
                     "2 of 4 prompts taken."]:
            self.assertIn(line, out)
        self.assertEqual(out.count("w002: clipping:"), 2)
        rows = {r[0]: r for r in self.manifest()}
        self.assertEqual(rows["w001"][1:], ["w001.wav", "ok", "48000"])
        self.assertTrue(rows["w002"][2].startswith("clipping:"))
        x, rate = soundfile.read(os.path.join(self.session, "w001.wav"))
        self.assertEqual(rate, 44100)
        self.assertEqual(soundfile.info(played).frames, len(x))
        # Opened again, the session goes on at the first prompt without a take.
        code, out, _ = self.run_program(["--input", self.takes], "q\n")
        self.assertEqual(code, 0)
        self.assertIn("[3/4] w003: nóta", out)
        self.assertNotIn("[1/4]", out)

    def test_folder_of_recordings_is_imported(self):
        stereo = np.column_stack([take(rate=22050), take(rate=22050, seed=2)])
        soundfile.write(os.path.join(self.takes, "w001.flac"), stereo, 22050)
        soundfile.write(os.path.join(self.takes, "w002.wav"), take(lead=0.0), 44100,
                        subtype="FLOAT")
        with open(os.path.join(self.takes, "w003.wav"), "wb") as f:
            f.write(b"RIFF....WAVEjunk")
        code, out, _ = self.run_program(["--import", self.takes])
        self.assertEqual(code, 0)
        for line in ["w001: recorded at 22050 Hz, resampled to 44100 Hz", "w001: good take",
                     "w002: " + sess.NO_LEAD, "w003: cannot read", "s01: no recording",
                     "2 of 4 prompts imported, 1 with problems."]:
            self.assertIn(line, out)
        self.assertEqual(sorted(r[0] for r in self.manifest()), ["w001", "w002"])
        self.assertEqual(soundfile.info(os.path.join(self.session, "w001.wav")).channels, 1)

    def test_bad_arguments_are_refused(self):
        cases = [(["--import", os.path.join(self.dir, "none")], "no folder"),
                 (["--input", os.path.join(self.dir, "none")], "no input folder"),
                 (["--rate", "100"], "--rate takes 8000 to 192000")]
        for args, message in cases:
            code, out, err = self.run_program(args)
            self.assertNotEqual(code, 0, args)
            self.assertIn(message, out + err)


if __name__ == "__main__":
    unittest.main()
