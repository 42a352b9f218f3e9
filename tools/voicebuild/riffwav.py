"""RIFF WAVE recordings with the four marker chunks of the wave database.

Layout: "RIFF", size, "WAVE", a 16-byte "fmt " chunk, the "data" chunk, then
the marker chunks "mrk1", "mrk2", "mrk3", "mrk4" (tracks 3, 2, 1 and 0).
Each marker is 16 bytes: a signed 32-bit sample position and a 12-byte
NUL-terminated label.  The database reads the alophone labels from track 1
("mrk3") and the pitch marks from track 0 ("mrk4"); a missing chunk hides the
ones after it, so all four are always written.
"""

import struct

FORMAT_PCM = 1
FORMAT_ALAW = 6
RATE = 16000
LABEL_BYTES = 12
TRACK_CHUNKS = {3: b"mrk1", 2: b"mrk2", 1: b"mrk3", 0: b"mrk4"}
CHUNK_ORDER = [b"mrk1", b"mrk2", b"mrk3", b"mrk4"]


def _alaw_encode_sample(v):
    """ITU-T G.711 A-law code of one 16-bit sample."""
    if v >= 0:
        sign = 0xD5
    else:
        sign = 0x55
        v = -v - 1
    v >>= 3  # 13-bit magnitude
    if v > 0xFFF:
        v = 0xFFF
    if v < 32:
        code = v >> 1
    else:
        seg = v.bit_length() - 5  # 1..7
        code = (seg << 4) | ((v >> seg) & 0x0F)
    return code ^ sign


def alaw_decode(code):
    """ITU-T G.711 expansion of one A-law byte to a 16-bit sample."""
    code ^= 0x55
    seg = (code & 0x70) >> 4
    mant = code & 0x0F
    if seg == 0:
        mag = (mant << 4) + 8
    else:
        mag = ((mant << 4) + 0x108) << (seg - 1)
    return mag if code & 0x80 else -mag


_ALAW = bytes(_alaw_encode_sample(v) for v in range(-32768, 32768))


def alaw_encode(samples):
    return bytes(_ALAW[v + 32768] for v in samples)


def marker_chunk(ident, markers):
    body = bytearray()
    for pos, label in markers:
        raw = label.encode("latin-1")
        if len(raw) >= LABEL_BYTES:
            raise ValueError("label too long: %r" % label)
        body += struct.pack("<i", pos) + raw.ljust(LABEL_BYTES, b"\0")
    return ident + struct.pack("<I", len(body)) + bytes(body)


def wave_bytes(samples, tracks, alaw=True):
    """A labelled recording as bytes; tracks maps 0..3 to [(pos, label)].

    A track left out gets the two markers the reader would assume: the first
    and the last sample.  The sample count is padded to an even number so
    that no 8-bit data chunk needs a padding byte.
    """
    samples = list(samples)
    if len(samples) % 2:
        samples.append(0)
    if alaw:
        data = alaw_encode(samples)
        fmt = struct.pack("<HHIIHH", FORMAT_ALAW, 1, RATE, RATE, 1, 8)
    else:
        data = struct.pack("<%dh" % len(samples), *samples)
        fmt = struct.pack("<HHIIHH", FORMAT_PCM, 1, RATE, 2 * RATE, 2, 16)
    default = [(0, ""), (len(samples) - 1, "")]
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt
    body += b"data" + struct.pack("<I", len(data)) + data
    for track in (3, 2, 1, 0):
        body += marker_chunk(TRACK_CHUNKS[track], tracks.get(track, default))
    return b"RIFF" + struct.pack("<I", len(body)) + body


def read_wave(blob):
    """(format, samples, {track: [(pos, label)]}) of a recording made here."""
    if blob[:4] != b"RIFF" or blob[8:12] != b"WAVE":
        raise ValueError("not a RIFF WAVE file")
    pos = 12
    fmt = None
    samples = None
    tracks = {}
    names = {v: k for k, v in TRACK_CHUNKS.items()}
    while pos + 8 <= len(blob):
        ident, size = blob[pos:pos + 4], struct.unpack("<I", blob[pos + 4:pos + 8])[0]
        body = blob[pos + 8:pos + 8 + size]
        if ident == b"fmt ":
            fmt = struct.unpack("<HHIIHH", body[:16])
        elif ident == b"data":
            if fmt is None:
                raise ValueError("data before fmt")
            if fmt[0] == FORMAT_ALAW:
                samples = [alaw_decode(c) for c in body]
            else:
                samples = list(struct.unpack("<%dh" % (size // 2), body))
        elif ident in names:
            marks = []
            for k in range(0, size - size % 16, 16):
                p = struct.unpack("<i", body[k:k + 4])[0]
                label = body[k + 4:k + 16].split(b"\0")[0].decode("latin-1")
                marks.append((p, label))
            tracks[names[ident]] = marks
        align = fmt[4] if fmt else 2
        pos += 8 + size + (size % align)
    return fmt, samples, tracks
