"""Tests of the recording kit: the stand-in proof on the reduced prompt list,
and takes that are missing, silent or unreadable.

SINT_PROGRAM_DIR names the program folder to copy (default build/sintsrv).
Needs espeak-ng, praat and Debian's python3-numpy, -scipy and -soundfile.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import numpy as np  # noqa: E402
import soundfile  # noqa: E402

import proof  # noqa: E402

PROGRAM = os.environ.get("SINT_PROGRAM_DIR", os.path.join(proof.ROOT, "build", "sintsrv"))


class StandInProofTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="sint-proof-")
        cls.figures = proof.run(cls.work, True, PROGRAM)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def test_every_take_is_used_and_every_pair_recorded(self):
        f = self.figures
        self.assertEqual(f["kit_status"], 0)
        self.assertEqual(f["takes_used"], f["takes"])
        self.assertEqual(f["missing_diphones"], 0)

    def test_boundaries_lie_near_the_true_phone_starts(self):
        f = self.figures
        self.assertGreater(f["boundaries"], 5 * f["takes"])
        self.assertLess(f["boundary_median_ms"], 10.0)
        self.assertLess(f["boundary_p90_ms"], 30.0)

    def test_voice_is_not_clipped(self):
        self.assertLessEqual(self.figures["loudest_sample"], 14000)
        self.assertEqual(self.figures["clipped_samples"], 0)

    def test_voice_sounds_like_its_speaker(self):
        f = self.figures
        self.assertEqual(f["sentences"], proof.HELD_APART)
        self.assertLess(f["mcd_new_db"], 0.8 * f["mcd_default_db"])

    def test_a_take_of_another_prompt_is_not_used(self):
        takes = os.path.join(self.work, "swapped")
        shutil.copytree(os.path.join(self.work, "takes"), takes)
        shutil.copy(os.path.join(takes, "w010.wav"), os.path.join(takes, "w005.wav"))
        res = subprocess.run([sys.executable, os.path.join(proof.HERE, "voice_from.py"),
                              "--recordings", takes, "--prompts",
                              os.path.join(self.work, "prompts.txt"), "--name", "t", "--program",
                              PROGRAM, "--out", os.path.join(self.work, "swapped_voice"),
                              "--port", str(proof.free_port())], stderr=subprocess.PIPE)
        log = res.stderr.decode().splitlines()
        rejected = [line for line in log if "does not match its prompt" in line]
        self.assertEqual([line.split(":")[1] for line in rejected], [" w005"])


class FaultyTakesTest(unittest.TestCase):
    """A session with one good take, one of silence, one that is no sound file,
    one far too long and one not recorded (the good one with an id longer than
    a marker label): each is named, the voice is built from the rest,
    and the missing pairs name the prompts to record again."""

    def test_faulty_takes_are_named(self):
        work = tempfile.mkdtemp(prefix="sint-takes-")
        self.addCleanup(shutil.rmtree, work, True)
        prompt_file = os.path.join(work, "prompts.txt")
        with open(prompt_file, "w", encoding="utf-8") as f:
            f.write("w001-carrier-mama\tmáma\nw002\tsáma\nw003\tnóta\nw004\tlípa\nw005\tbára\n"
                    "s01\tTo je stavek.\n")
        takes = os.path.join(work, "takes")
        subprocess.run([sys.executable, os.path.join(proof.HERE, "standin.py"), "--prompts",
                        prompt_file, "--takes", takes, "--truth", os.path.join(work, "t.tsv")],
                       check=True)
        soundfile.write(os.path.join(takes, "w002.wav"), np.zeros(16000), 16000)
        with open(os.path.join(takes, "w003.wav"), "wb") as f:
            f.write(b"RIFF not a wave file")
        os.remove(os.path.join(takes, "w004.wav"))
        soundfile.write(os.path.join(takes, "w005.wav"), np.zeros(31 * 8000), 8000)
        args = [sys.executable, os.path.join(proof.HERE, "voice_from.py"), "--recordings", takes,
                "--prompts", prompt_file, "--name", "t", "--program", PROGRAM, "--out",
                os.path.join(work, "voice"), "--port", str(proof.free_port())]
        res = subprocess.run(args, stderr=subprocess.PIPE)
        log = res.stderr.decode()
        self.assertEqual(res.returncode, 1)
        for line in ["voice-from: w002: no speech found: record it again",
                     "voice-from: w003: cannot read",
                     "voice-from: w004: no recording",
                     "voice-from: w005: the take lasts 31 s, more than the 30 s",
                     "voice-from: missing diphone _+l: record again w004",
                     "voice-from: missing diphone -+t: record again w003",
                     "voice-from: 1 of 5 carrier takes used"]:
            self.assertIn(line, log.splitlines()[-1] if "takes used" in line else log, line)
        self.assertTrue(os.path.isfile(os.path.join(work, "voice", "data", "MorvenaIdra.dat")))
        # A folder that is not a program folder is never replaced.
        other = os.path.join(work, "other")
        os.makedirs(other)
        open(os.path.join(other, "keep.txt"), "w").close()
        res = subprocess.run(args[:-4] + ["--out", other], stderr=subprocess.PIPE)
        self.assertEqual(res.returncode, 2)
        self.assertIn("is not a program folder", res.stderr.decode())
        self.assertTrue(os.path.isfile(os.path.join(other, "keep.txt")))
        # Without a usable take nothing is built.
        os.remove(os.path.join(takes, "w001-carrier-mama.wav"))
        res = subprocess.run(args, stderr=subprocess.PIPE)
        self.assertEqual(res.returncode, 2)
        self.assertIn("voice-from: no take of the 5 carrier prompts could be used; nothing built",
                      res.stderr.decode())


if __name__ == "__main__":
    unittest.main()
