#!/usr/bin/env python3
"""Stand-in recordings: the prompt list read by another voice of the donor,
made to sound as a person's takes would, with the true phone times kept
apart.

  python3 tools/voicebuild/standin.py --prompts FILE --takes DIR --truth FILE
      [--sentences FILE --references DIR] [--seed N]

Every carrier prompt is spoken by the donor's variant STANDIN_VOICE at 44.1
kHz and a tempo of its own (within +-10%, the truth stays exact), then given
a little reverberation, a random gain, a DC offset, room noise 35 dB below
the speech and 0.2 to 1 s of leading silence, and written as ID.wav in one
of three sample formats.  The truth file lists each take's phone starts in
seconds.  With --sentences, each line is also spoken clean into
DIR/NN.wav: what the speaker would say, for comparing a voice with it.
"""

import argparse
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import numpy as np  # noqa: E402
from scipy import signal  # noqa: E402

import build_voice  # noqa: E402
import features as ft  # noqa: E402
import prompts as pr  # noqa: E402

STANDIN_VOICE = "sl+f3"
STANDIN_PITCH = 45           # espeak-ng pitch setting of the stand-in
STANDIN_RANGE = 15           # a little intonation, as a reader of single words has
RATE = 44100
TEMPO = 0.10                 # tempo varies by up to this share per take
SNR_DB = 35.0
LEAD_S = (0.2, 1.0)
TRAIL_S = (0.3, 0.6)
GAIN = (0.05, 0.7)           # peak of a take, share of full scale
DC = 0.02                    # DC offset up to this share of full scale
REVERB_RT60_S = 0.25
REVERB_LEVEL = 0.12          # reverberant tail against the direct sound
FORMATS = ["PCM_16", "PCM_24", "FLOAT"]


def reverb(x, rng):
    n = int(REVERB_RT60_S * RATE)
    t = np.arange(n) / RATE
    tail = rng.normal(0, 1, n) * 10 ** (-3 * t / REVERB_RT60_S)
    tail[:int(0.005 * RATE)] = 0.0   # the first reflections come after 5 ms
    tail *= REVERB_LEVEL / np.sqrt((tail ** 2).sum())
    out = signal.fftconvolve(x, tail)
    out[:len(x)] += x
    return out


def room_noise(n, rng):
    """Noise falling towards high frequencies, as in a room."""
    white = rng.normal(0, 1, n)
    out = signal.lfilter([1.0], [1.0, -0.97], white) + 0.3 * white
    return out / np.sqrt((out ** 2).mean())


def degrade(x, rng):
    """A clean 44.1 kHz take as a person's take: ([-1, 1] samples, lead s)."""
    x = reverb(x, rng)
    lead = rng.uniform(*LEAD_S)
    trail = rng.uniform(*TRAIL_S)
    y = np.concatenate([np.zeros(int(lead * RATE)), x, np.zeros(int(trail * RATE))])
    speech = x[np.abs(x) > 0.05 * np.abs(x).max()]
    power = float((speech ** 2).mean()) if len(speech) else 1.0
    y = y + room_noise(len(y), rng) * np.sqrt(power / 10 ** (SNR_DB / 10))
    y *= rng.uniform(*GAIN) / np.abs(y).max()
    y += rng.uniform(-DC, DC)
    return y, lead


def render_takes(prompt_list, takes_dir, truth_path, seed):
    import donor as donor_mod
    import soundfile
    rng = np.random.default_rng(seed)
    d = donor_mod.Donor(STANDIN_VOICE, pitch=STANDIN_PITCH, pitch_range=STANDIN_RANGE)
    os.makedirs(takes_dir, exist_ok=True)
    lines = []
    for prompt_id, phones in pr.carrier_words(prompt_list).items():
        tempo = rng.uniform(1 - TEMPO, 1 + TEMPO)
        d.set_rate(donor_mod.RATE * tempo)
        samples, events = d.render(build_voice.donor_string(phones))
        x = ft.to_rate(np.array(samples, dtype=np.float64) / 32768.0, d.rate, RATE)
        y, lead = degrade(x, rng)
        fmt = FORMATS[rng.integers(len(FORMATS))]
        soundfile.write(os.path.join(takes_dir, prompt_id + ".wav"), y, RATE, subtype=fmt)
        times = " ".join("%s@%.4f" % (n, lead + s / d.rate) for n, s in events
                         if not n.startswith("_"))
        lines.append("%s\t%.3f\t%s\n" % (prompt_id, tempo, times))
    with open(truth_path, "w", encoding="utf-8") as f:
        f.write("# id\ttempo\tphone starts (s)\n" + "".join(lines))


def render_sentences(sentences, out_dir):
    """Each sentence spoken clean by the stand-in (espeak-ng's own text
    reading) into out_dir/NN.wav at 16 kHz."""
    os.makedirs(out_dir, exist_ok=True)
    for k, text in enumerate(sentences):
        path = os.path.join(out_dir, "%02d.wav" % (k + 1))
        subprocess.run(["espeak-ng", "-v", STANDIN_VOICE, "-p", str(STANDIN_PITCH), "-w",
                        path + ".raw.wav", text], check=True)
        import soundfile
        x, rate = soundfile.read(path + ".raw.wav", dtype="float64")
        os.remove(path + ".raw.wav")
        soundfile.write(path, ft.to_rate(x, rate), ft.RATE, subtype="PCM_16")


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--prompts", required=True)
    ap.add_argument("--takes", required=True, help="folder for the takes")
    ap.add_argument("--truth", required=True, help="file for the true phone times")
    ap.add_argument("--sentences", help="sentences to speak clean, one a line")
    ap.add_argument("--references", help="folder for the clean sentences")
    ap.add_argument("--seed", type=int, default=31)
    args = ap.parse_args(argv)
    render_takes(pr.read_prompts(args.prompts), args.takes, args.truth, args.seed)
    if args.sentences:
        with open(args.sentences, encoding="utf-8") as f:
            render_sentences([line.strip() for line in f if line.strip()], args.references)
    return 0


if __name__ == "__main__":
    sys.exit(main())
