#!/usr/bin/env python3
"""Builds a voice from a person's recordings of the prompt list.

  python3 tools/voicebuild/voice_from.py --recordings DIR --name NAME
      [--prompts voice/prompts/prompts_sl.txt] [--program build/sintsrv]
      [--out build/voices/NAME] [--port N]

DIR holds ID.wav for the prompts (any rate and sample format libsndfile
reads).  Each carrier take is aligned to the donor's rendering of its prompt
(align.py), its glottal epochs are found by Praat (glottal.py), its level is
normalised, and its units are cut and packed as the default voice's are.
The result is a program folder: a copy of --program with the new recordings,
its own port in sint.ini and the packed database.  The kit prints every take
that failed or matched its prompt poorly, every unit pair that no usable take
recorded and the prompts to record again for it; it exits 1 when a pair is
missing.  alignment.tsv in the folder lists every take's confidence and the
phone times found (seconds of the take).
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import numpy as np  # noqa: E402

import align  # noqa: E402
import build_voice  # noqa: E402
import donor as donor_mod  # noqa: E402
import corpus  # noqa: E402
import features as ft  # noqa: E402
import glottal  # noqa: E402
import labels  # noqa: E402
import phones as ph  # noqa: E402
import pitchmarks  # noqa: E402
import prompts as pr  # noqa: E402
import riffwav  # noqa: E402

TAKES_PER_FILE = 24
HEAD = 1200             # silence at both ends of a file, "#"
PAUSE_MS = 100          # of the take's own silence kept before and after the word
FADE_MS = 5             # fade at the cut ends of a take's slice
ACTIVE_RMS = 2500.0     # every take's speech brought to this RMS level
PEAK = 14000            # loudest sample of the voice after scaling
FLAG_COST = 1.25        # a take this many times the session's median cost is flagged
REJECT_COST = 1.45      # ... and from this many times on it is not used (a take of
                        # another prompt costs about 1.55 times the median)
MAX_UNIT_MS = 1500       # the longest recorded unit that synthesis uses
MAX_TAKE_S = 30          # a longer take is refused (its warping would need gigabytes)
PORT_BASE = 10151       # ports of built voices: PORT_BASE + crc32(name) % PORT_SPAN
PORT_SPAN = 800
PROGRAM_FILES_LEFT_OUT = {"data", "wave", "filenames.ini", "Cost.dat", "Average.dat", "sint.log"}


class VoiceFromError(RuntimeError):
    pass


def default_port(name):
    return PORT_BASE + zlib.crc32(name.encode("utf-8")) % PORT_SPAN


def find_take(folder, prompt_id):
    for name in (prompt_id + ".wav", prompt_id + ".WAV"):
        path = os.path.join(folder, name)
        if os.path.isfile(path):
            return path
    return None


def active_rms(x):
    a, b = align.speech_span(x)
    seg = x[a:b]
    return float(np.sqrt((seg * seg).mean())) if b > a else 0.0


class Take:
    def __init__(self, prompt_id, phones, x):
        self.id = prompt_id
        self.phones = phones
        self.x = x
        self.events = []       # donor events carried into the take
        self.cost = 0.0
        self.units = []        # (unit, sample) of the take
        self.end = 0
        self.labels = []
        self.problem = None    # why the take is not used
        self.flag = None       # why the take deserves a listen
        self.confidence = 0.0


def donor_rendering(donor, phones):
    """16 kHz samples and events of the donor speaking a carrier word."""
    samples, events = donor.render(build_voice.donor_string(phones))
    lead = build_voice.LEAD_MS * donor.rate // 1000
    x = ft.to_rate(np.array([0] * lead + samples, dtype=np.float64), donor.rate)
    return x, [(n, (s + lead) * ft.RATE // donor.rate) for n, s in events]


def label_take(take, donor):
    dx, devents = donor_rendering(donor, take.phones)
    take.events, take.cost = align.align(take.x, dx, devents)
    take.units, take.end, take.labels = labels.word_units(
        take.phones, [int(v) for v in take.x], take.events, ft.RATE)
    bounds = [s for _, s in take.units] + [take.end]
    longest = max(b - a for a, b in zip(bounds, bounds[1:]))
    if longest > MAX_UNIT_MS * ft.RATE // 1000:
        raise align.AlignError("a phone of %d ms found" % (longest * 1000 // ft.RATE))


def read_takes(prompt_list, folder, donor, log):
    """Takes of the carrier prompts, labelled; the ids without a recording."""
    takes, absent = [], []
    for prompt_id, phones in pr.carrier_words(prompt_list).items():
        path = find_take(folder, prompt_id)
        if path is None:
            absent.append(prompt_id)
            continue
        try:
            x, _ = ft.read_take(path)
        except Exception as e:  # libsndfile names what it could not read
            t = Take(prompt_id, phones, None)
            t.problem = "cannot read %s: %s" % (path, e)
            takes.append(t)
            continue
        t = Take(prompt_id, phones, x)
        if len(x) > MAX_TAKE_S * ft.RATE:
            t.problem = "the take lasts %.0f s, more than the %d s a carrier word may" % (
                len(x) / ft.RATE, MAX_TAKE_S)
            takes.append(t)
            continue
        try:
            level = active_rms(x)
            t.x = x * (ACTIVE_RMS / level) if level > 0 else x
            label_take(t, donor)
        except (align.AlignError, labels.LabelError) as e:
            t.problem = str(e)
        takes.append(t)
    return takes, absent


def judge(takes):
    """Flags takes that match their prompt poorly; returns the usable ones."""
    costs = [t.cost for t in takes if t.problem is None]
    median = float(np.median(costs)) if costs else 0.0
    usable = []
    for t in takes:
        if t.problem is None and median > 0:
            t.confidence = min(1.0, median / t.cost) if t.cost > 0 else 1.0
            if t.cost > REJECT_COST * median:
                t.problem = "the take does not match its prompt (confidence %.2f)" % t.confidence
            elif t.cost > FLAG_COST * median:
                t.flag = "poor match (confidence %.2f)" % t.confidence
        if t.problem is None:
            usable.append(t)
    return usable


def take_slice(t):
    """(samples, units, epochs offset) of the word of a take with its own
    silence around it."""
    pause = PAUSE_MS * ft.RATE // 1000
    a = max(0, t.units[0][1] - pause)
    b = min(len(t.x), t.end + pause)
    seg = t.x[a:b].copy()
    fade = min(FADE_MS * ft.RATE // 1000, len(seg) // 4)
    if fade:
        ramp = np.linspace(0.0, 1.0, fade)
        seg[:fade] *= ramp
        seg[-fade:] *= ramp[::-1]
    units = [(ph.PAUSE, 0)] + [(u, s - a) for u, s in t.units] + [(ph.PAUSE, t.end - a)]
    return seg, units, a


def pack_files(takes, epochs):
    """[(samples, units, words track, epochs)] of the voice's files."""
    files = []
    for k in range(0, len(takes), TAKES_PER_FILE):
        audio = [np.zeros(HEAD)]
        length = HEAD
        units = [("#", 0)]
        words = [(0, "")]
        marks = []
        for t in takes[k:k + TAKES_PER_FILE]:
            seg, seg_units, offset = take_slice(t)
            units.extend((u, length + s) for u, s in seg_units)
            words.append((length + seg_units[1][1], t.id[:riffwav.LABEL_BYTES - 1]))
            marks.extend(length + e - offset for e in epochs[t.id] if 0 <= e - offset < len(seg))
            audio.append(seg)
            length += len(seg)
        units.append(("#", length))
        audio.append(np.zeros(HEAD))
        files.append((np.concatenate(audio), units, words, marks))
    return files


def write_voice(files, out, log):
    """Wave files, filenames.ini and Cost.dat of the voice; the number of
    pitch-mark faults and the loudest sample."""
    peak = max(float(np.abs(x).max()) for x, _, _, _ in files) or 1.0
    gain = PEAK / peak
    wave_dir = os.path.join(out, "wave")
    os.makedirs(wave_dir, exist_ok=True)
    names = []
    faults = 0
    loudest = 0
    for n, (x, units, words, epochs) in enumerate(files):
        samples = [int(v) for v in np.clip(np.round(x * gain), -32767, 32767)]
        loudest = max(loudest, max(abs(v) for v in samples))
        epoch_set = sorted(set(epochs))

        def between(a, b, e=epoch_set):
            return [m for m in e if a <= m < b]

        marks = pitchmarks.assemble_marks(units, lambda u: u in ph.VOICED_UNITS, len(samples),
                                          between)
        name, file_faults = build_voice.write_voice_file(wave_dir, n, samples, units, marks, words,
                                                        log)
        faults += file_faults
        names.append(name)
    with open(os.path.join(out, "filenames.ini"), "w") as f:
        f.write("# Labelled recordings of this voice, made by tools/voicebuild/voice_from.py.\n")
        f.write("".join(n + "\n" for n in names))
    with open(os.path.join(out, "Cost.dat"), "w") as f:
        f.write(ph.cost_table_text())
    return faults, loudest


def copy_program(program, out, port, left_out=PROGRAM_FILES_LEFT_OUT):
    """A copy of a program folder that listens on its own port.  An earlier
    program folder at `out` is replaced; any other folder with files in it is
    left alone (VoiceFromError)."""
    if os.path.exists(out):
        ensure_replaceable(out)
        shutil.rmtree(out)
    os.makedirs(out)
    for name in os.listdir(program):
        if name in left_out:
            continue
        src = os.path.join(program, name)
        if os.path.isdir(src):
            shutil.copytree(src, os.path.join(out, name))
        else:
            shutil.copy2(src, os.path.join(out, name))
    set_port(out, port)


def ensure_replaceable(out):
    if os.path.exists(out) and (not os.path.isdir(out) or os.listdir(out)) and \
            not os.path.isfile(os.path.join(out, "sint.ini")):
        raise VoiceFromError("%s is not a program folder: name another --out" % out)


def set_port(folder, port):
    ini = os.path.join(folder, "sint.ini")
    with open(ini, encoding="latin-1") as f:
        lines = f.read().splitlines()
    with open(ini, "w", encoding="latin-1") as f:
        for line in lines:
            if line.replace(" ", "").startswith("port="):
                line = "port = %d" % port
            f.write(line + "\n")


def missing_report(takes, prompt_list):
    """Unit pairs no usable take recorded, each with the prompts that record it."""
    have = set()
    for t in takes:
        have.update(corpus.word_pairs(t.labels))
    words = pr.carrier_words(prompt_list)
    out = []
    for pair in sorted(p for p in corpus.required_pairs() if p not in have):
        ids = [i for i, w in words.items() if pair in corpus.word_pairs(w)]
        out.append((pair, ids))
    return out


def write_alignment(takes, path):
    with open(path, "w", encoding="utf-8") as f:
        f.write("# id\tconfidence\tstatus\tphone starts (s)\n")
        for t in takes:
            status = t.problem or t.flag or "ok"
            times = " ".join("%s@%.4f" % (n, s / ft.RATE) for n, s in t.events
                             if not n.startswith("_"))
            f.write("%s\t%.3f\t%s\t%s\n" % (t.id, t.confidence, status, times))


def build(recordings, prompts_path, program, out, port, log):
    import soundfile
    ensure_replaceable(out)
    prompt_list = pr.read_prompts(prompts_path)
    takes, absent = read_takes(prompt_list, recordings, donor_mod.Donor(), log)
    usable = judge(takes)
    for prompt_id in absent:
        log("%s: no recording" % prompt_id)
    for t in takes:
        if t.problem:
            log("%s: %s: record it again" % (t.id, t.problem))
        elif t.flag:
            log("%s: %s: listen to it, record it again if it is not the prompt" % (t.id, t.flag))
    if not usable:
        log("no take of the %d carrier prompts could be used; nothing built"
            % len(pr.carrier_words(prompt_list)))
        return 2
    with tempfile.TemporaryDirectory(prefix="sint-takes-") as tmp:
        paths = {}
        for t in usable:
            paths[t.id] = os.path.join(tmp, t.id + ".wav")
            level = t.x * (8000.0 / max(1.0, float(np.abs(t.x).max())))
            soundfile.write(paths[t.id], level.astype(np.int16), ft.RATE, subtype="PCM_16")
        found = glottal.epochs(list(paths.values()))
    epochs = {i: found[p] for i, p in paths.items()}
    copy_program(program, out, port)
    faults, loudest = write_voice(pack_files(usable, epochs), out, log)
    write_alignment(takes, os.path.join(out, "alignment.tsv"))
    missing = missing_report(usable, prompt_list)
    for (a, b), ids in missing:
        log("missing diphone %s+%s: %s" % (a, b, ("record again " + " ".join(ids)) if ids else
                                          "no prompt records it: regenerate the prompt list"))
    log("%d of %d carrier takes used, %d missing diphones, loudest sample %d, port %d"
        % (len(usable), len(pr.carrier_words(prompt_list)), len(missing), loudest, port))
    res = subprocess.run(["./sintsrv", "-ustvaripodatke", "-konzola"], cwd=out,
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if res.returncode != 0:
        log("sintsrv could not pack the voice: " + res.stdout.decode(errors="replace")[-400:])
        return 2
    # Every unit as PSOLA will use it: pitch marks, spans, window room.
    res = subprocess.run(["./sint-voicecheck", "--dir", "."], cwd=out,
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if res.returncode != 0:
        log("the voice fails its check: " + res.stdout.decode(errors="replace")[-400:])
        return 2
    return 1 if missing or faults else 0


def main(argv=None):
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.normpath(os.path.join(here, "..", ".."))
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--recordings", required=True, help="folder of ID.wav takes")
    ap.add_argument("--name", required=True, help="name of the voice")
    ap.add_argument("--prompts", default=os.path.join(root, "voice", "prompts", "prompts_sl.txt"))
    ap.add_argument("--program", default=os.path.join(root, "build", "sintsrv"),
                    help="program folder to copy (default build/sintsrv)")
    ap.add_argument("--out", help="voice folder (default build/voices/NAME)")
    ap.add_argument("--port", type=int, help="the voice server's port (default from the name)")
    args = ap.parse_args(argv)
    log = lambda m: print("voice-from: " + m, file=sys.stderr)  # noqa: E731
    if not args.name.replace("-", "").replace("_", "").isalnum():
        log("a voice name is letters, digits, - and _")
        return 2
    if not os.path.isdir(args.recordings):
        log("no folder " + args.recordings)
        return 2
    if not os.path.isfile(os.path.join(args.program, "sintsrv")):
        log("no sintsrv in %s: build it first (make build)" % args.program)
        return 2
    out = args.out or os.path.join(root, "build", "voices", args.name)
    try:
        return build(args.recordings, args.prompts, args.program, out,
                     args.port or default_port(args.name), log)
    except (pr.PromptError, glottal.GlottalError, donor_mod.DonorError, VoiceFromError,
            OSError) as e:
        log(str(e))
        return 2


if __name__ == "__main__":
    sys.exit(main())
