"""Signal work of the recording kit: reading takes, resampling, mel-frequency
cepstra, dynamic time warping and the mel-cepstral distortion.

Takes are read with libsndfile (python3-soundfile), so any rate and sample
format it knows will do; they are mixed to mono and resampled to the voice's
16 kHz with a polyphase filter (scipy).  Arrays are numpy float64 in the
16-bit range.
"""

import math

import numpy as np
from scipy import signal

RATE = 16000
FRAME = 400          # 25 ms analysis window
HOP = 80             # 5 ms between frames: boundaries are placed to this step
MEL_BANDS = 26
CEPSTRA = 13         # c0 .. c12; c0 (level) is left out of distances
PREEMPHASIS = 0.97


def read_take(path):
    """(16 kHz mono samples, rate of the file) of a recording; the DC offset
    is removed by a 40 Hz high-pass run forward and backward."""
    import soundfile
    data, rate = soundfile.read(path, dtype="float64", always_2d=True)
    x = data.mean(axis=1) * 32768.0
    x = to_rate(x, rate)
    if len(x) > 64:
        b, a = signal.butter(2, 40.0 / (RATE / 2), "highpass")
        x = signal.filtfilt(b, a, x - x.mean())
    return x, rate


def to_rate(x, rate, target=RATE):
    if rate == target:
        return np.asarray(x, dtype=np.float64)
    g = math.gcd(int(rate), int(target))
    return signal.resample_poly(np.asarray(x, dtype=np.float64), target // g, int(rate) // g)


def _mel_matrix(bands=MEL_BANDS, n_fft=512, rate=RATE):
    def mel(f):
        return 2595.0 * np.log10(1.0 + f / 700.0)

    def hz(m):
        return 700.0 * (10 ** (m / 2595.0) - 1.0)

    edges = hz(np.linspace(mel(0.0), mel(rate / 2), bands + 2))
    bins = np.fft.rfftfreq(n_fft, 1.0 / rate)
    m = np.zeros((bands, len(bins)))
    for k in range(bands):
        lo, mid, hi = edges[k], edges[k + 1], edges[k + 2]
        m[k] = np.clip(np.minimum((bins - lo) / (mid - lo), (hi - bins) / (hi - mid)), 0, None)
    return m


_MEL = _mel_matrix()
_DCT = np.cos(np.pi / MEL_BANDS * (np.arange(MEL_BANDS)[None, :] + 0.5)
              * np.arange(CEPSTRA)[:, None]) * math.sqrt(2.0 / MEL_BANDS)


def frames(x):
    """Analysis frames centred every HOP samples (frame k at k * HOP)."""
    x = np.asarray(x, dtype=np.float64)
    pad = np.concatenate([np.zeros(FRAME // 2), x, np.zeros(FRAME // 2)])
    n = max(1, 1 + (len(pad) - FRAME) // HOP)
    idx = np.arange(FRAME)[None, :] + HOP * np.arange(n)[:, None]
    return pad[np.minimum(idx, len(pad) - 1)]


def mfcc(x):
    """Mel-frequency cepstra c0..c12 of every frame (natural-log energies)."""
    x = np.asarray(x, dtype=np.float64)
    y = np.append(x[:1], x[1:] - PREEMPHASIS * x[:-1])
    f = frames(y) * np.hamming(FRAME)
    power = np.abs(np.fft.rfft(f, 512)) ** 2
    energies = np.log(np.maximum(power @ _MEL.T, 1e-3))
    return energies @ _DCT.T


def frame_energy(x):
    """dB level of every frame."""
    f = frames(x)
    return 10 * np.log10(np.maximum((f * f).mean(axis=1), 1e-3))


def dtw(a, b, band=None):
    """Warping path [(i, j)] between feature sequences a and b (rows are
    frames) with steps (1,0), (0,1), (1,1), ends fixed, and the mean frame
    distance along it.  `band` limits |i - j * len(a)/len(b)| in frames."""
    dist = np.sqrt(((a[:, None, :] - b[None, :, :]) ** 2).sum(axis=2))
    n, m = dist.shape
    if band is not None:
        ii = np.arange(n)[:, None]
        jj = np.arange(m)[None, :] * (n / max(1, m))
        dist = np.where(np.abs(ii - jj) <= band, dist, np.inf)
    cost = np.full((n + 1, m + 1), np.inf)
    cost[0, 0] = 0.0
    for i in range(1, n + 1):
        row = cost[i]
        prev = cost[i - 1]
        d = dist[i - 1]
        diag = np.minimum(prev[:-1], prev[1:])   # (i-1, j-1) and (i-1, j)
        for j in range(1, m + 1):
            row[j] = d[j - 1] + min(diag[j - 1], row[j - 1])
    path = []
    i, j = n, m
    while i > 0 and j > 0:
        path.append((i - 1, j - 1))
        options = ((cost[i - 1, j - 1], i - 1, j - 1), (cost[i - 1, j], i - 1, j),
                   (cost[i, j - 1], i, j - 1))
        _, i, j = min(options, key=lambda o: o[0])
    path.reverse()
    total = sum(dist[p] for p in path)
    return path, float(total / max(1, len(path)))


MCD_FACTOR = 10.0 / math.log(10) * math.sqrt(2.0)


def mel_cepstral_distortion(x, y):
    """Mel-cepstral distortion in dB between two recordings of one text,
    over c1..c12 of the frames that a warping path pairs, both taken as
    speech (silent frames of either one are left out)."""
    cx, cy = mfcc(x), mfcc(y)
    ex, ey = frame_energy(x), frame_energy(y)
    kx = ex > ex.max() - 40
    ky = ey > ey.max() - 40
    cx, cy = cx[kx], cy[ky]
    path, _ = dtw(cx[:, 1:], cy[:, 1:])
    d = np.array([np.sqrt(((cx[i, 1:] - cy[j, 1:]) ** 2).sum()) for i, j in path])
    return float(MCD_FACTOR * 0.5 * d.mean())  # log power to log amplitude
