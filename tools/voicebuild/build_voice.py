#!/usr/bin/env python3
"""Builds the default voice's recordings from the donor voice.

  python3 tools/voicebuild/build_voice.py [--out voice]

writes <out>/wave/vNN.wav (A-law, labelled), <out>/filenames.ini and
<out>/Cost.dat, and prints the coverage of the unit pairs.
"""

import argparse
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import corpus  # noqa: E402
import labels  # noqa: E402
import phones as ph  # noqa: E402
import pitchmarks  # noqa: E402
import riffwav  # noqa: E402

WORDS_PER_FILE = 24
HEAD = 1200          # silence at both ends of a file (16 kHz samples), "#"
GAP_MS = 40          # pause between carrier words (with LEAD_MS: 100 ms)
LEAD_MS = 60         # silence put before each rendered word
PEAK = 14000         # loudest sample of the voice after scaling
DEFAULT_PERIOD = 145


def write_voice_file(wave_dir, n, samples, units, marks, words, log):
    """Writes recording n with its unit, mark and word tracks as wave/vNN.wav;
    its name in filenames.ini, and how many faults the marks have (logged)."""
    faults = 0
    for what, pos in pitchmarks.check_marks(marks, units, len(samples)):
        log("file %d at sample %d: %s" % (n, pos, what))
        faults += 1
    tracks = {1: [(s, u) for u, s in units], 0: [(m, "") for m in marks], 2: words}
    name = "v%02d.wav" % n
    with open(os.path.join(wave_dir, name), "wb") as f:
        f.write(riffwav.wave_bytes(samples, tracks))
    return "wave/" + name, faults


def donor_string(word):
    """The donor's phoneme input for a word; "%" (an unstressed-syllable mark)
    keeps pairs such as t+s from being read as one affricate."""
    out = []
    for k, p in enumerate(word):
        if k and (word[k - 1], p) in corpus.DONOR_DIGRAPHS:
            out.append("%")
        out.append(ph.DONOR_NAME[p])
    return "".join(out)


def resample(samples, rate_in):
    """16 kHz version of 16-bit samples, by sox (without dither, so that the
    build is reproducible and silence stays silent)."""
    import array
    raw = array.array("h", samples).tobytes()
    out = subprocess.run(
        ["sox", "-D", "-t", "raw", "-r", str(rate_in), "-e", "signed", "-b", "16", "-c", "1", "-",
         "-t", "raw", "-r", "16000", "-e", "signed", "-b", "16", "-c", "1", "-", "rate", "-h"],
        input=raw, stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=True).stdout
    a = array.array("h")
    a.frombytes(out[:len(out) // 2 * 2])
    return list(a)


def render_words(words, donor, log):
    """[(spoken phones, samples at the donor rate, units)] of carrier words."""
    rate = donor.rate
    lead = [0] * (LEAD_MS * rate // 1000)
    good = []
    for w in words:
        samples, events = donor.render(donor_string(w))
        samples = lead + samples
        events = [(n, s + len(lead)) for n, s in events]
        try:
            units, end, w = labels.word_units(w, samples, events, rate)
        except labels.LabelError as e:
            log("skipped %s: %s" % (" ".join(w), e))
            continue
        # Keep a little of the donor's leading silence: closures need it.
        start = max(0, units[0][1] - LEAD_MS * rate // 1000)
        good.append((w, samples[start:end], [(u, s - start) for u, s in units]))
    return good


def render_files(words, donor, log):
    """[(samples at the donor rate, units, word markers)] per file, and the
    carrier words as spoken.  Unit pairs that the donor's changes left out
    get words of their own, rendered in a second round."""
    rate = donor.rate
    gap = [0] * (GAP_MS * rate // 1000)
    head = [0] * (HEAD * rate // 16000)
    files = []
    good = render_words(words, donor, log)
    for _ in range(3):
        missing = corpus.missing_pairs([w for w, _, _ in good])
        extra = [w for w in (corpus.word_for(p) for p in missing) if w]
        if not extra:
            break
        good += render_words(extra, donor, log)
    for k in range(0, len(good), WORDS_PER_FILE):
        audio = list(head)
        units = [("#", 0)]
        words_track = [(0, "")]
        for w, samples, word_units in good[k:k + WORDS_PER_FILE]:
            units.append((ph.PAUSE, len(audio)))
            audio.extend(gap)
            base = len(audio)
            words_track.append((base + word_units[0][1], "".join(w)[:11]))
            units.extend((u, base + s) for u, s in word_units)
            audio.extend(samples)
        units.append((ph.PAUSE, len(audio)))
        audio.extend(gap)
        units.append(("#", len(audio)))
        audio.extend(head)
        files.append((audio, units, words_track))
    return files, [w for w, _, _ in good]


def to_16k(files, rate):
    out = []
    for audio, units, words_track in files:
        x = resample(audio, rate)

        def at(s):
            return min(len(x) - 1, s * 16000 // rate)

        out.append((x, [(u, at(s)) for u, s in units], [(at(s), t) for s, t in words_track]))
    return out


def scale(files):
    peak = max(max(abs(v) for v in x) for x, _, _ in files) or 1
    f = PEAK / peak
    return [([int(round(v * f)) for v in x], u, w) for x, u, w in files]


def voice_period(files):
    for x, units, _ in files:
        for i, (u, s) in enumerate(units):
            if u in ph.LONG_VOWELS and i + 1 < len(units):
                p = pitchmarks.estimate_period(x, s, units[i + 1][1])
                if p:
                    return p
    return DEFAULT_PERIOD


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    here = os.path.dirname(os.path.abspath(__file__))
    ap.add_argument("--out", default=os.path.join(here, "..", "..", "voice"))
    args = ap.parse_args(argv)
    log = lambda m: print("voicebuild: " + m, file=sys.stderr)  # noqa: E731

    import donor as donor_mod
    words, _ = corpus.build_corpus()
    missing = corpus.missing_pairs(words)
    d = donor_mod.Donor()
    files, spoken = render_files(words, d, log)
    files = scale(to_16k(files, d.rate))
    period = voice_period(files)
    log("%d carrier words, %d files, pitch period %d samples (%.1f Hz)"
        % (len(spoken), len(files), period, 16000 / period))

    wave_dir = os.path.join(args.out, "wave")
    os.makedirs(wave_dir, exist_ok=True)
    for old in os.listdir(wave_dir):
        if old.endswith(".wav"):
            os.remove(os.path.join(wave_dir, old))
    names = []
    faults = 0
    total = 0
    for n, (x, units, words_track) in enumerate(files):
        marks = pitchmarks.place_marks(x, units, lambda u: u in ph.VOICED_UNITS, period, len(x))
        name, file_faults = write_voice_file(wave_dir, n, x, units, marks, words_track, log)
        faults += file_faults
        names.append(name)
        total += len(x)
    with open(os.path.join(args.out, "filenames.ini"), "w") as f:
        f.write("# Labelled recordings of the default voice, made by tools/voicebuild.\n")
        f.write("# Paths are relative to the program folder.\n")
        f.write("".join(n + "\n" for n in names))
    with open(os.path.join(args.out, "Cost.dat"), "w") as f:
        f.write(ph.cost_table_text())
    all_missing = corpus.missing_pairs(spoken)
    log("%.1f s of speech in %d files; %d unit pairs wanted, %d not recorded%s"
        % (total / 16000, len(names), len(corpus.required_pairs()), len(all_missing),
           (": " + " ".join("%s+%s" % p for p in all_missing[:40])) if all_missing else ""))
    if missing:
        log("corpus leaves out: " + " ".join("%s+%s" % p for p in missing))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
