"""Slovenian speech synthesis in Python, over the C library libsint.

    import sint
    voice = sint.Voice()            # the installed voice, or $SINT_VOICE
    pcm = voice.synthesize("Dober dan.")
    voice.save("dober-dan.wav", "Dober dan.", speed=1.5)
    for chunk in voice.stream("Dober dan.", ssml=False):
        ...

Audio is 16-bit little-endian mono PCM at voice.sample_rate samples per
second. A voice is used by one thread at a time; the library call releases the
GIL, so several threads with a voice each speak in parallel. Errors raise
sint.Error. $SINT_LIBRARY names the library file to load instead of libsint.so.0.
"""
import ctypes
import os
import queue
import sys
import threading
import wave
import weakref

__all__ = ["Voice", "Error"]

SSML = 1
_OK = 0
_STOPPED = -2
_ERROR_SIZE = 512

_AUDIO_FN = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.POINTER(ctypes.c_int16), ctypes.c_size_t,
                             ctypes.c_void_p)


class Error(Exception):
    """A voice that did not open, a setting out of range, or a failed synthesis."""


def _load():
    name = os.environ.get("SINT_LIBRARY") or ("sint.dll" if sys.platform == "win32"
                                              else "libsint.so.0")
    lib = ctypes.CDLL(name)
    lib.sint_open.restype = ctypes.c_void_p
    lib.sint_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_size_t]
    lib.sint_speak.restype = ctypes.c_int
    lib.sint_speak.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_uint, _AUDIO_FN,
                               ctypes.c_void_p]
    lib.sint_sample_rate.restype = ctypes.c_int
    lib.sint_sample_rate.argtypes = [ctypes.c_void_p]
    for setter in ("sint_set_rate", "sint_set_pitch", "sint_set_volume"):
        getattr(lib, setter).restype = ctypes.c_int
        getattr(lib, setter).argtypes = [ctypes.c_void_p, ctypes.c_int]
    lib.sint_set_speed.restype = ctypes.c_int
    lib.sint_set_speed.argtypes = [ctypes.c_void_p, ctypes.c_double]
    lib.sint_strerror.restype = ctypes.c_char_p
    lib.sint_strerror.argtypes = [ctypes.c_int]
    lib.sint_close.restype = None
    lib.sint_close.argtypes = [ctypes.c_void_p]
    return lib


_lib = None
_lib_lock = threading.Lock()


def _library():
    global _lib
    with _lib_lock:
        if _lib is None:
            try:
                _lib = _load()
            except OSError as e:
                raise Error(f"libsint did not load: {e}") from None
        return _lib


class Voice:
    """A voice opened on a voice folder (None: $SINT_VOICE or the installed voice)."""

    def __init__(self, folder=None):
        self._lib = _library()
        error = ctypes.create_string_buffer(_ERROR_SIZE)
        path = None if folder is None else os.fsencode(folder)
        self._handle = self._lib.sint_open(path, error, _ERROR_SIZE)
        if not self._handle:
            raise Error(error.value.decode("utf-8", "replace"))
        self._busy = threading.Lock()
        self._setters = (self._lib.sint_set_rate, self._lib.sint_set_pitch,
                         self._lib.sint_set_volume, self._lib.sint_set_speed)
        self._settings = None  # the settings last given to the library
        self._take = None
        self._stopped = False
        # One callback for the voice's life: making a ctypes callback costs more
        # than a short sentence's delivery. It holds the voice weakly, so that
        # a voice no longer referenced is closed at once.
        this = weakref.ref(self)
        self._callback = _AUDIO_FN(lambda samples, count, user: this()._audio(samples, count, user))

    @property
    def sample_rate(self):
        return self._lib.sint_sample_rate(self._handle)

    def close(self):
        if getattr(self, "_handle", None):
            self._lib.sint_close(self._handle)
            self._handle = None

    def __del__(self):
        self.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def synthesize(self, text, ssml=False, rate=0, pitch=0, volume=100, speed=1.0):
        """The speech of `text` as bytes of 16-bit little-endian mono PCM."""
        parts = []
        self._speak(text, ssml, rate, pitch, volume, speed, parts.append)
        return b"".join(parts)

    def stream(self, text, ssml=False, rate=0, pitch=0, volume=100, speed=1.0):
        """Yields the speech of `text` in chunks of PCM bytes as they are made.
        Leaving the loop early stops the synthesis."""
        chunks = queue.Queue(maxsize=8)
        stop = threading.Event()
        failure = []

        def put(chunk):
            while not stop.is_set():
                try:
                    chunks.put(chunk, timeout=0.1)
                    return True
                except queue.Full:
                    pass
            return False

        def run():
            try:
                self._speak(text, ssml, rate, pitch, volume, speed, put)
            except Error as e:
                failure.append(e)
            finally:
                put(None)

        worker = threading.Thread(target=run, daemon=True)
        worker.start()
        try:
            while (chunk := chunks.get()) is not None:
                yield chunk
        finally:
            stop.set()
            worker.join()
        if failure:
            raise failure[0]

    def save(self, path, text, ssml=False, rate=0, pitch=0, volume=100, speed=1.0):
        """Writes the speech of `text` into the wave file `path`."""
        pcm = self.synthesize(text, ssml, rate, pitch, volume, speed)
        with wave.open(os.fspath(path), "wb") as out:
            out.setnchannels(1)
            out.setsampwidth(2)
            out.setframerate(self.sample_rate)
            out.writeframes(pcm)

    def _speak(self, text, ssml, rate, pitch, volume, speed, take):
        if not self._handle:
            raise Error("the voice is closed")
        if not isinstance(text, str):
            raise TypeError("text must be a str")
        data = text.encode("utf-8")
        if b"\0" in data:
            raise Error("the text holds a NUL character")
        with self._busy:
            settings = (rate, pitch, volume, speed)
            if settings != self._settings:
                for name, setter, value in zip(("rate", "pitch", "volume", "speed"),
                                               self._setters, settings):
                    if setter(self._handle, value) != _OK:
                        self._settings = None
                        raise Error(f"{name} {value!r} is out of its range")
                self._settings = settings
            self._take = take
            self._stopped = False
            try:
                code = self._lib.sint_speak(self._handle, data, SSML if ssml else 0,
                                            self._callback, None)
            finally:
                self._take = None
        if code == _STOPPED and self._stopped:
            return
        if code != _OK:
            raise Error(self._lib.sint_strerror(code).decode("utf-8", "replace"))

    def _audio(self, samples, count, _user):
        chunk = ctypes.string_at(samples, count * 2)
        if sys.byteorder != "little":
            chunk = _swap(chunk)
        if self._take(chunk) is False:
            self._stopped = True
            return 1
        return 0


def _swap(chunk):
    swapped = bytearray(chunk)
    swapped[0::2], swapped[1::2] = chunk[1::2], chunk[0::2]
    return bytes(swapped)
