"""Glottal epochs of recorded speech, found by Praat (Debian's praat, run
with --run): a pitch track with its voiced/unvoiced decisions, then the
periodic point process on the waveform's peaks, one point a period in voiced
stretches and none in voiceless ones.  One Praat run handles a whole list of
takes.
"""

import os
import subprocess
import tempfile

PITCH_FLOOR = 60      # Hz: lowest voice expected
PITCH_CEILING = 500   # Hz: highest voice expected

_SCRIPT = """form epochs
  sentence list
endform
lines = Read Strings from raw text file: list$
n = Get number of strings
for k to n
  selectObject: lines
  line$ = Get string: k
  tab = index(line$, tab$)
  in$ = left$(line$, tab - 1)
  out$ = mid$(line$, tab + 1, 10000)
  s = Read from file: in$
  p = To Pitch: 0, %d, %d
  selectObject: s, p
  pp = To PointProcess (peaks): "yes", "no"
  m = Get number of points
  text$ = ""
  for i to m
    t = Get time from index: i
    text$ = text$ + fixed$(t, 6) + newline$
  endfor
  writeFile: out$, text$
  removeObject: s, p, pp
endfor
""" % (PITCH_FLOOR, PITCH_CEILING)


class GlottalError(RuntimeError):
    pass


def epochs(wave_paths, rate=16000):
    """{path: [sample of each glottal epoch]} of 16-bit mono wave files."""
    if not wave_paths:
        return {}
    with tempfile.TemporaryDirectory(prefix="sint-epochs-") as tmp:
        script = os.path.join(tmp, "epochs.praat")
        with open(script, "w") as f:
            f.write(_SCRIPT)
        outs = {p: os.path.join(tmp, "%d.txt" % k) for k, p in enumerate(wave_paths)}
        listing = os.path.join(tmp, "list.txt")
        with open(listing, "w") as f:
            f.write("".join("%s\t%s\n" % (os.path.abspath(p), o) for p, o in outs.items()))
        try:
            res = subprocess.run(["praat", "--run", script, listing],
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        except FileNotFoundError:
            raise GlottalError("praat is not installed (apt-get install praat)")
        if res.returncode != 0:
            raise GlottalError("praat failed: " + res.stderr.decode(errors="replace").strip())
        result = {}
        for p, o in outs.items():
            with open(o) as f:
                result[p] = [int(round(float(t) * rate)) for t in f.read().split()]
        return result
