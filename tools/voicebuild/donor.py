"""The donor voice: the system's espeak-ng library, called through ctypes.

Each carrier word is rendered on its own at one constant pitch; the library
reports every phoneme with its sample position (22050 Hz).
"""

import ctypes
import ctypes.util

AUDIO_OUTPUT_SYNCHRONOUS = 2
INITIALIZE_PHONEME_EVENTS = 0x0001
PHONEMES_INPUT = 0x100          # accept [[...]] phoneme input
POS_CHARACTER = 1
EVENT_LIST_TERMINATED = 0
EVENT_PHONEME = 7
PARAM_RATE, PARAM_PITCH, PARAM_RANGE = 1, 3, 4

PITCH = 70      # base pitch setting: about 112 Hz with this voice
RATE = 160      # words per minute


class _Event(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("unique_identifier", ctypes.c_uint),
                ("text_position", ctypes.c_int), ("length", ctypes.c_int),
                ("audio_position", ctypes.c_int), ("sample", ctypes.c_int),
                ("user_data", ctypes.c_void_p), ("id", ctypes.c_char * 8)]


_CALLBACK = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.POINTER(ctypes.c_short),
                             ctypes.c_int, ctypes.POINTER(_Event))


class DonorError(RuntimeError):
    pass


class Donor:
    def __init__(self, voice="sl", pitch=PITCH, pitch_range=0, rate=RATE):
        name = ctypes.util.find_library("espeak-ng") or "libespeak-ng.so.1"
        try:
            self._lib = ctypes.CDLL(name)
        except OSError as e:
            raise DonorError("espeak-ng library not found (apt-get install "
                             "espeak-ng libespeak-ng-dev): %s" % e)
        lib = self._lib
        lib.espeak_Initialize.restype = ctypes.c_int
        self.rate = lib.espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, None,
                                          INITIALIZE_PHONEME_EVENTS)
        if self.rate <= 0:
            raise DonorError("espeak-ng did not initialise")
        if lib.espeak_SetVoiceByName(voice.encode()) != 0:
            raise DonorError("espeak-ng has no voice %r" % voice)
        lib.espeak_SetParameter(PARAM_PITCH, pitch, 0)
        lib.espeak_SetParameter(PARAM_RANGE, pitch_range, 0)   # 0: monotone
        self.set_rate(rate)
        self._samples = []
        self._events = []
        self._callback = _CALLBACK(self._collect)
        lib.espeak_SetSynthCallback(self._callback)

    def set_rate(self, words_per_minute):
        self._lib.espeak_SetParameter(PARAM_RATE, int(words_per_minute), 0)

    def _collect(self, wav, count, events):
        if count > 0 and wav:
            self._samples.extend(wav[:count])
        i = 0
        while events[i].type != EVENT_LIST_TERMINATED:
            e = events[i]
            if e.type == EVENT_PHONEME:
                name = bytes(e.id).split(b"\0")[0].decode("latin-1")
                self._events.append((name, e.sample))
            i += 1
        return 0

    def render(self, phonemes):
        """Samples and (phoneme, sample) events of one phoneme string."""
        self._samples = []
        self._events = []
        text = ("[[%s]]" % phonemes).encode()
        rc = self._lib.espeak_Synth(text, len(text) + 1, 0, POS_CHARACTER, 0,
                                    PHONEMES_INPUT, None, None)
        self._lib.espeak_Synchronize()
        if rc != 0:
            raise DonorError("espeak-ng failed on %r" % phonemes)
        return list(self._samples), list(self._events)
