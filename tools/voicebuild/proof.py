#!/usr/bin/env python3
"""The recording kit proved on stand-in recordings whose truth is known.

  python3 tools/voicebuild/proof.py --work DIR [--reduced] [--program build/sintsrv]

1. The prompt list: voice/prompts/prompts_sl.txt, or with --reduced one
   that wants every unit pair once.
2. standin.py reads it as a person would (another donor voice, 44.1 kHz,
   gain, DC, noise, reverberation, tempo, leading silence).
3. voice_from.py builds a voice from the takes and the prompt list alone.
4. The figures, printed as "name value" lines: the alignment's boundary
   error against the true phone starts (median and 90th percentile, ms),
   the missing unit pairs, the loudest sample of the voice, its build time,
   and the mel-cepstral distortion (dB, after time alignment) of the new
   voice and of the default voice against the stand-in speaker on sentences
   that are not among the prompts.
"""

import argparse
import os
import re
import socket
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import numpy as np  # noqa: E402

import features as ft  # noqa: E402
import prompts as pr  # noqa: E402
import voice_from  # noqa: E402

HELD_APART = 20              # sentences for the distortion
SERVER_READY_S = 30
HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def read_times(path, column):
    """{id: [(phone, seconds)]} of a truth or alignment file."""
    out = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("#"):
                continue
            parts = line.rstrip("\n").split("\t")
            out[parts[0]] = [(t.rsplit("@", 1)[0], float(t.rsplit("@", 1)[1]))
                             for t in parts[column].split()]
    return out


def boundary_errors(truth, found):
    """Absolute errors (s) of every phone start of the takes whose phones agree."""
    errors = []
    for i, true in truth.items():
        got = found.get(i)
        if got and [n for n, _ in got] == [n for n, _ in true]:
            errors.extend(abs(a - b) for (_, a), (_, b) in zip(true, got))
    return np.array(errors)


def held_apart(sentence_file, prompt_list, count=HELD_APART):
    with open(sentence_file, encoding="utf-8") as f:
        lines = [line.strip() for line in f if line.strip()]
    used = {t for _, t in prompt_list}
    rest = [s for s in pr.pick_sentences(lines, len(lines)) if s not in used]
    step = max(1, len(rest) // count)
    return rest[step // 2::step][:count]


class Server:
    """A sintsrv of a program folder, ended when the proof is done."""

    def __init__(self, folder, port):
        self.folder, self.port = folder, port
        self.proc = subprocess.Popen(["./sintsrv", "-hitro", "-konzola"], cwd=folder,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + SERVER_READY_S
        while time.time() < deadline:
            try:
                socket.create_connection(("127.0.0.1", port), timeout=1).close()
                return
            except OSError:
                time.sleep(0.2)
        self.close()
        raise RuntimeError("the server in %s did not listen on port %d" % (folder, port))

    def say(self, text, out):
        subprocess.run([os.path.join(self.folder, "sint-say"), "-q", "--port", str(self.port),
                        "-o", out, text], check=True)
        return ft.read_take(out)[0]

    def close(self):
        self.proc.terminate()
        self.proc.wait()


def run(work, reduced, program):
    py = sys.executable
    os.makedirs(work, exist_ok=True)
    prompt_file = os.path.join(ROOT, "voice", "prompts", "prompts_sl.txt")
    if reduced:
        prompt_file = os.path.join(work, "prompts.txt")
        subprocess.run([py, os.path.join(HERE, "prompts.py"), "--reduced", "--out", prompt_file],
                       check=True)
    prompt_list = pr.read_prompts(prompt_file)
    sentences = held_apart(os.path.join(ROOT, "tests", "data", "news_sl_200.txt"), prompt_list)
    sentence_file = os.path.join(work, "held_apart.txt")
    with open(sentence_file, "w", encoding="utf-8") as f:
        f.write("".join(s + "\n" for s in sentences))
    takes, truth = os.path.join(work, "takes"), os.path.join(work, "truth.tsv")
    refs = os.path.join(work, "references")
    subprocess.run([py, os.path.join(HERE, "standin.py"), "--prompts", prompt_file, "--takes",
                    takes, "--truth", truth, "--sentences", sentence_file, "--references", refs],
                   check=True)
    voice, port = os.path.join(work, "voice"), free_port()
    start = time.time()
    kit = subprocess.run([py, os.path.join(HERE, "voice_from.py"), "--recordings", takes,
                          "--prompts", prompt_file, "--name", "standin", "--program", program,
                          "--out", voice, "--port", str(port)],
                         stderr=subprocess.PIPE)
    build_s = time.time() - start
    kit_log = kit.stderr.decode("utf-8", "replace")
    with open(os.path.join(work, "voice_from.log"), "w", encoding="utf-8") as f:
        f.write(kit_log)
    figures = {"build_s": build_s, "kit_status": kit.returncode,
               "takes": len(pr.carrier_words(prompt_list)),
               "missing_diphones": len(re.findall(r"missing diphone ", kit_log))}
    m = re.search(r"(\d+) of (\d+) carrier takes used.*loudest sample (\d+)", kit_log)
    figures["takes_used"] = int(m.group(1)) if m else 0
    figures["loudest_sample"] = int(m.group(3)) if m else 32767
    found = read_times(os.path.join(voice, "alignment.tsv"), 3)
    errors = boundary_errors(read_times(truth, 2), found)
    figures["boundaries"] = len(errors)
    figures["boundary_median_ms"] = 1000 * float(np.median(errors)) if len(errors) else 1e9
    figures["boundary_p90_ms"] = 1000 * float(np.percentile(errors, 90)) if len(errors) else 1e9
    default = os.path.join(work, "default")
    voice_from.copy_program(program, default, free_port(), left_out={"sint.log"})
    servers = [Server(voice, port), Server(default, voice_from_port(default))]
    try:
        new, old = [], []
        for k, text in enumerate(sentences):
            ref = ft.read_take(os.path.join(refs, "%02d.wav" % (k + 1)))[0]
            x = servers[0].say(text, os.path.join(work, "new%02d.wav" % (k + 1)))
            y = servers[1].say(text, os.path.join(work, "default%02d.wav" % (k + 1)))
            new.append(ft.mel_cepstral_distortion(x, ref))
            old.append(ft.mel_cepstral_distortion(y, ref))
            figures["clipped_samples"] = figures.get("clipped_samples", 0) + int(
                (np.abs(x) >= 32760).sum())
    finally:
        for s in servers:
            s.close()
    figures["sentences"] = len(sentences)
    figures["mcd_new_db"] = float(np.mean(new))
    figures["mcd_default_db"] = float(np.mean(old))
    for k, v in figures.items():
        print("%s %s" % (k, ("%.2f" % v) if isinstance(v, float) else v))
    return figures


def voice_from_port(folder):
    with open(os.path.join(folder, "sint.ini"), encoding="latin-1") as f:
        return int(re.search(r"^port\s*=\s*(\d+)", f.read(), re.M).group(1))


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--work", required=True, help="folder for the takes, the voice and figures")
    ap.add_argument("--reduced", action="store_true", help="every unit pair once")
    ap.add_argument("--program", default=os.path.join(ROOT, "build", "sintsrv"))
    args = ap.parse_args(argv)
    run(args.work, args.reduced, args.program)
    return 0


if __name__ == "__main__":
    sys.exit(main())
