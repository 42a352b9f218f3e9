"""Where sint-record's sound comes from and goes to: the sound card through
PortAudio (Debian's python3-pyaudio), or files, for machines without a
microphone and for the tests.

A device records until stop() is called from the terminal loop and plays
mono float samples.
"""

import os
import threading

import numpy as np


class DeviceError(RuntimeError):
    pass


def _quietly(make):
    """make(), with the standard error of the C libraries silenced: PortAudio
    reports every sound system it probes (ALSA, JACK) there."""
    saved = os.dup(2)
    null = os.open(os.devnull, os.O_WRONLY)
    try:
        os.dup2(null, 2)
        return make()
    finally:
        os.dup2(saved, 2)
        os.close(saved)
        os.close(null)


class PortAudioDevice:
    """The default input and output of the sound card."""

    CHUNK = 1024

    def __init__(self, rate):
        try:
            import pyaudio
        except ImportError:
            raise DeviceError("PortAudio for Python is missing (apt-get install python3-pyaudio)")
        self._pa = _quietly(pyaudio.PyAudio)
        self._format = pyaudio.paFloat32
        self.rate = rate
        try:
            self._pa.get_default_input_device_info()
        except (IOError, OSError):
            raise DeviceError("no sound card input found (use --input FOLDER for files)")
        self._chunks = []
        self._stream = None

    def start(self, prompt_id):
        self._chunks = []

        def collect(data, frames, time_info, status):
            self._chunks.append(np.frombuffer(data, dtype=np.float32).copy())
            return (None, 0)  # paContinue

        self._stream = self._pa.open(format=self._format, channels=1, rate=self.rate,
                                     input=True, frames_per_buffer=self.CHUNK,
                                     stream_callback=collect)
        self._stream.start_stream()

    def stop(self):
        """(samples, rate) of the take."""
        self._stream.stop_stream()
        self._stream.close()
        self._stream = None
        x = np.concatenate(self._chunks) if self._chunks else np.zeros(0, dtype=np.float32)
        return x.astype(np.float64), self.rate

    def play(self, x, rate):
        stream = self._pa.open(format=self._format, channels=1, rate=int(rate), output=True)
        try:
            stream.write(np.asarray(x, dtype=np.float32).tobytes())
        finally:
            stream.close()

    def close(self):
        self._pa.terminate()


class FileDevice:
    """Takes read from INPUT/ID.wav (any file libsndfile reads, at its own
    rate) in place of a microphone; playback appended to a wave file, or
    dropped."""

    def __init__(self, input_folder, output_path=None):
        if not os.path.isdir(input_folder):
            raise DeviceError("no input folder " + input_folder)
        self.folder, self.output = input_folder, output_path
        self._current = None
        self._played = []
        self._lock = threading.Lock()

    def start(self, prompt_id):
        self._current = prompt_id

    def stop(self):
        import session
        path = os.path.join(self.folder, self._current + ".wav")
        if not os.path.exists(path):
            return np.zeros(0), 16000
        return session.read_audio(path)

    def play(self, x, rate):
        if not self.output:
            return
        import soundfile
        with self._lock:
            self._played.append(np.asarray(x))
            soundfile.write(self.output, np.concatenate(self._played), int(rate),
                            subtype="PCM_16")

    def close(self):
        pass
