"""A recording session of sint-record: the folder of takes, its manifest, the
checks every take gets at once, and resampling with libsoxr.

The session folder holds ID.wav for every prompt taken (mono, 16-bit, at
the session's rate) and manifest.tsv, one line a take: the prompt's id, its
file, "ok" or the problems found, and the rate the take came in at.  A
session opened again resumes at the first prompt without a take.
"""

import ctypes
import ctypes.util
import os

import numpy as np

SESSION_RATE = 44100
MANIFEST = "manifest.tsv"
FRAME_S = 0.01
FULL_SCALE = 0.999          # a sample this loud is clipped
LOW_PEAK_DBFS = -20.0       # a take whose loudest sample is below this is too quiet
NOISE_FLOOR_DBFS = -50.0    # the quietest tenth of the frames above this is too noisy
MIN_SILENCE_S = 0.2         # silence wanted before and after the speech
SPEECH_ABOVE_FLOOR_DB = 15.0

# What the checks say; each is printed as "ID: message".
NO_SPEECH = "no speech heard"
CLIPPED = "clipping: %d samples at full scale (lower the input gain)"
TOO_LOW = "level too low: peak %.0f dBFS (speak closer or raise the input gain)"
NOISY = "noise floor high: %.0f dBFS (a quieter room or a closer microphone)"
NO_LEAD = "no leading silence (wait a moment before speaking)"
NO_TRAIL = "no trailing silence (wait a moment after speaking)"
RESAMPLED = "recorded at %d Hz, resampled to %d Hz"


class SessionError(RuntimeError):
    pass


def _soxr():
    name = ctypes.util.find_library("soxr") or "libsoxr.so.0"
    try:
        lib = ctypes.CDLL(name)
    except OSError as e:
        raise SessionError("libsoxr not found (apt-get install libsoxr0): %s" % e)
    lib.soxr_oneshot.restype = ctypes.c_char_p
    lib.soxr_oneshot.argtypes = [ctypes.c_double, ctypes.c_double, ctypes.c_uint,
                                 ctypes.c_void_p, ctypes.c_size_t,
                                 ctypes.POINTER(ctypes.c_size_t), ctypes.c_void_p,
                                 ctypes.c_size_t, ctypes.POINTER(ctypes.c_size_t),
                                 ctypes.c_void_p, ctypes.c_void_p, ctypes.c_void_p]
    return lib


def resample(x, rate_in, rate_out):
    """Mono float samples at rate_out, by libsoxr (its default quality)."""
    if rate_in == rate_out or len(x) == 0:
        return np.asarray(x, dtype=np.float64)
    lib = _soxr()
    src = np.ascontiguousarray(x, dtype=np.float32)
    out = np.zeros(int(len(src) * rate_out / rate_in) + 16, dtype=np.float32)
    idone, odone = ctypes.c_size_t(0), ctypes.c_size_t(0)
    err = lib.soxr_oneshot(float(rate_in), float(rate_out), 1, src.ctypes.data, len(src),
                           ctypes.byref(idone), out.ctypes.data, len(out), ctypes.byref(odone),
                           None, None, None)
    if err:
        raise SessionError("libsoxr: " + err.decode(errors="replace"))
    return out[:odone.value].astype(np.float64)


def read_audio(path):
    """(mono float samples, rate) of any file libsndfile reads."""
    import soundfile
    data, rate = soundfile.read(path, dtype="float64", always_2d=True)
    return data.mean(axis=1), rate


def check_take(x, rate):
    """The problems of a take, as messages; empty when it is good."""
    frame = max(1, int(FRAME_S * rate))
    n = len(x) // frame
    if n < 3:
        return [NO_SPEECH]
    problems = []
    clipped = int((np.abs(x) >= FULL_SCALE).sum())
    if clipped:
        problems.append(CLIPPED % clipped)
    frames = x[:n * frame].reshape(n, frame)
    level = 10 * np.log10(np.maximum((frames ** 2).mean(axis=1), 1e-12))
    floor = float(np.percentile(level, 10))
    peak = 20 * np.log10(max(float(np.abs(x).max()), 1e-6))
    if level.max() - float(np.percentile(level, 2)) < SPEECH_ABOVE_FLOOR_DB:
        return problems + [NO_SPEECH]
    if peak < LOW_PEAK_DBFS:
        problems.append(TOO_LOW % peak)
    if floor > NOISE_FLOOR_DBFS:
        problems.append(NOISY % floor)
    speech = np.nonzero(level > float(np.percentile(level, 2)) + SPEECH_ABOVE_FLOOR_DB)[0]
    if speech[0] * FRAME_S < MIN_SILENCE_S:
        problems.append(NO_LEAD)
    if (n - 1 - speech[-1]) * FRAME_S < MIN_SILENCE_S:
        problems.append(NO_TRAIL)
    return problems


class Session:
    """The session folder: takes and manifest."""

    def __init__(self, folder, rate=SESSION_RATE):
        self.folder, self.rate = folder, rate
        os.makedirs(folder, exist_ok=True)
        self.entries = {}   # id -> (status, rate in)
        path = os.path.join(folder, MANIFEST)
        if os.path.exists(path):
            with open(path, encoding="utf-8") as f:
                for line in f:
                    parts = line.rstrip("\n").split("\t")
                    if line.startswith("#") or len(parts) != 4:
                        continue
                    if os.path.exists(os.path.join(folder, parts[1])):
                        self.entries[parts[0]] = (parts[2], parts[3])

    def has(self, prompt_id):
        return prompt_id in self.entries

    def add(self, prompt_id, x, rate_in):
        """Checks a take, brings it to the session's rate and keeps it; the
        problems found (the rate change among them)."""
        notes = []
        if rate_in != self.rate:
            x = resample(x, rate_in, self.rate)
            notes.append(RESAMPLED % (rate_in, self.rate))
        problems = check_take(x, self.rate)
        import soundfile
        samples = np.clip(x, -1.0, 32767 / 32768.0)
        soundfile.write(os.path.join(self.folder, prompt_id + ".wav"), samples, self.rate,
                        subtype="PCM_16")
        self.entries[prompt_id] = ("; ".join(problems) or "ok", str(rate_in))
        self._write()
        return notes + problems

    def take(self, prompt_id):
        return read_audio(os.path.join(self.folder, prompt_id + ".wav"))[0]

    def _write(self):
        path = os.path.join(self.folder, MANIFEST)
        with open(path + ".new", "w", encoding="utf-8") as f:
            f.write("# id\tfile\tstatus\trate recorded\n")
            for i in sorted(self.entries):
                status, rate = self.entries[i]
                f.write("%s\t%s.wav\t%s\t%s\n" % (i, i, status, rate))
        os.replace(path + ".new", path)
