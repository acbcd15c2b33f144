"""Which speech models the engine has and can run, which one a transcription uses, and how fast
this machine transcribes.

The system's English model (pocketsphinx, from Debian's packages) is always listed first and is
installed when its files are there. The catalogue's Whisper models are installed when their ggml
file is in the models folder; they run only where whisper.cpp's program is present.
"""

from __future__ import annotations

import array
import math
import os
import random
import threading
from . import sphinx, support, texts, whisperrecognizer
from .modelstore import ModelError, ModelStore
from .recognizer import SAMPLE_RATE, RecognitionError, Recognizer
from .sphinxrecognizer import SYSTEM_KEY, SphinxRecognizer

SPEED_FILE = "speech-speed.json"
# What transcription adds to the engine at its peak (bench_transcribe.py measured about 106 MiB).
SYSTEM_PEAK_MEMORY = 110_000_000
MEASURE_SECONDS = 4
# A run shorter than this says little about the speed.
MIN_MEASURED_SECONDS = 5.0


def normalise_language(code: str) -> str:
    """"en-US", "EN_us" -> "en"; "" stays "" (detect)."""
    return code.strip().replace("_", "-").split("-")[0].lower()


def check_language(recognizer: Recognizer, language: str) -> str:
    """The language to run with: "" means detection, which an English-only model answers with English."""
    known = recognizer.languages()
    if known is None:
        return language
    if not language:
        return sorted(known)[0] if len(known) == 1 else ""
    if language not in known:
        raise RecognitionError(
            f"The language '{language}' cannot be recognised with the installed speech models: the model in use "
            f"knows only {', '.join(sorted(known))}. Choose automatic detection or English, or install a Whisper "
            "model with whisper.cpp.", detail="language")
    return language


class SpeechModels:
    def __init__(self, store: ModelStore, support_dir: str, log=lambda message: None):
        self.store = store
        self.speed_path = os.path.join(support_dir, SPEED_FILE)
        self.log = log
        self._lock = threading.Lock()
        self._system = SphinxRecognizer()
        self._measuring = False

    # -- what there is

    def system_available(self) -> bool:
        return sphinx.available()

    def whisper_available(self) -> bool:
        return whisperrecognizer.find_cli() is not None

    def system_entry(self) -> dict:
        size = sphinx.model_bytes()
        return {"key": SYSTEM_KEY, "filename": os.path.basename(sphinx.model_dir()), "downloadBytes": size,
                "peakMemoryBytes": SYSTEM_PEAK_MEMORY, "installed": self.system_available()}

    def info(self, measure: bool = True, language: str = texts.DEFAULT_LANGUAGE) -> dict:
        """The "models.list" answer; measure=False never starts the speed measurement. Each model says
        whether it can run here and, when not, what is missing (in the interface language)."""
        system = self.system_entry()
        try:
            catalogue = self.store.info()
        except ModelError as exc:
            # Without its catalogue the engine still has the system's model.
            self.log(f"model catalogue: {exc}")
            catalogue = {"models": [], "default": "", "diskUsage": {}}
        models = [system] + catalogue["models"]
        disk = dict(catalogue["diskUsage"])
        if system["installed"]:
            disk[SYSTEM_KEY] = system["downloadBytes"]
        runnable = self._runnable(models)
        models = [self._marked(m, language) for m in models]
        default = self._best(models, runnable) or catalogue["default"] or SYSTEM_KEY
        return {"models": models, "default": default, "supported": True, "helperAvailable": bool(runnable),
                "appleSilicon": False, "gpu": False, "speedFactor": self.speed_factor(default, measure),
                "diskUsage": disk}

    def _marked(self, model: dict, language: str) -> dict:
        model = dict(model)
        if model["key"] == SYSTEM_KEY:
            model["builtIn"] = True
            missing = None if self.system_available() else "model_missing_sphinx"
        else:
            missing = None if self.whisper_available() else "model_missing_whisper_cli"
        model["runnable"] = missing is None
        if missing:
            model["unavailableReason"] = texts.text(language, missing)
        return model

    def _runnable(self, models: list[dict]) -> list[dict]:
        whisper = self.whisper_available()
        return [m for m in models if m["installed"] and (m["key"] == SYSTEM_KEY or whisper)]

    @staticmethod
    def _best(models: list[dict], runnable: list[dict]) -> str:
        whisper = [m for m in runnable if m["key"] != SYSTEM_KEY]
        if whisper:
            return max(whisper, key=lambda m: m["downloadBytes"])["key"]
        return SYSTEM_KEY if runnable else ""

    # -- running

    def recognizer_for(self, key: str) -> Recognizer:
        """The recognizer of a model key ("" means the default). RecognitionError when it cannot run:
        detail "model-missing" for a catalogue model that is not installed, "no-recognizer" otherwise."""
        if not key:
            info = self.info(measure=False)  # the job's own run measures the speed
            if not info["helperAvailable"]:
                raise RecognitionError("No speech recognizer can run here: install the pocketsphinx-en-us and "
                                       "python3-pocketsphinx packages for English.", detail="no-recognizer",
                                       unavailable=True)
            key = info["default"]
        if key == SYSTEM_KEY:
            if not self.system_available():
                raise RecognitionError("The English speech model of pocketsphinx is not installed; install the "
                                       "pocketsphinx, pocketsphinx-en-us and python3-pocketsphinx packages.",
                                       detail="no-recognizer", unavailable=True)
            return self._system
        try:
            model = self.store.catalogue().get(key)
        except ModelError as exc:
            raise RecognitionError(str(exc), detail="model-missing")
        if not self.store._installed(model):
            raise RecognitionError(f"The model '{key}' is not installed.", detail="model-missing")
        if not self.whisper_available():
            raise RecognitionError(f"The model '{key}' needs whisper.cpp's whisper-cli program, which is not "
                                   "installed.", detail="no-recognizer", unavailable=True)
        return whisperrecognizer.WhisperRecognizer(key, self.store.path_of(model))

    def release(self) -> None:
        self._system.release()

    # -- speed

    def _speeds(self) -> dict:
        data = support.read_json_file(self.speed_path, {}, validate=lambda v: isinstance(v, dict))
        return {k: v for k, v in data.items()
                if isinstance(v, (int, float)) and not isinstance(v, bool) and math.isfinite(v) and v > 0}

    def speed_factor(self, key: str, measure: bool = True) -> float:
        """Times faster than real time; 0 while unknown. The system model's first figure comes from a short
        measurement on a thread of its own, so the answer never waits for it."""
        with self._lock:
            factor = self._speeds().get(key, 0.0)
        if not factor and measure and key == SYSTEM_KEY and self.system_available():
            self._measure_later()
        return float(factor)

    def record_speed(self, key: str, media_seconds: float, work_seconds: float) -> None:
        if media_seconds < MIN_MEASURED_SECONDS or work_seconds <= 0:
            return
        measured = media_seconds / work_seconds
        with self._lock:
            speeds = self._speeds()
            old = speeds.get(key)
            speeds[key] = round(measured if not old else (old + measured) / 2, 3)
            try:
                support.atomic_write_json(self.speed_path, speeds)
            except OSError as exc:
                self.log(f"cannot keep the transcription speed: {exc}")

    def _measure_later(self) -> None:
        with self._lock:
            if self._measuring:
                return
            self._measuring = True
        threading.Thread(target=self._measure, daemon=True, name="speech-speed").start()

    def _measure(self) -> None:
        try:
            elapsed = self._system.measure(synthetic_voice(MEASURE_SECONDS))
            if elapsed is None:
                return
            with self._lock:
                speeds = self._speeds()
                if SYSTEM_KEY not in speeds:  # a real run's figure is better than this one
                    speeds[SYSTEM_KEY] = round(MEASURE_SECONDS / max(elapsed, 1e-3), 3)
                    support.atomic_write_json(self.speed_path, speeds)
        except Exception as exc:  # a measurement must never disturb the engine
            self.log(f"could not measure the transcription speed: {exc}")
        finally:
            with self._lock:
                self._measuring = False


def synthetic_voice(seconds: int, seed: int = 7) -> bytes:
    """A voice-like signal (a buzzing pitch with vowel-like bands, four syllables a second, some noise):
    something for the decoder to search through, as speech would make it."""
    rng = random.Random(seed)
    samples = []
    phase = 0.0
    for n in range(seconds * SAMPLE_RATE):
        t = n / SAMPLE_RATE
        syllable = math.sin(math.pi * ((t * 4) % 1.0)) ** 2
        pitch = 120 + 30 * math.sin(2 * math.pi * 0.7 * t)
        phase += 2 * math.pi * pitch / SAMPLE_RATE
        formant = 0.6 * math.sin(phase * (5 + int(t * 4) % 4)) + 0.3 * math.sin(phase * 11)
        value = 9000 * syllable * (math.sin(phase) * 0.5 + formant) + rng.gauss(0, 300)
        samples.append(max(-32768, min(32767, int(value))))
    return array.array("h", samples).tobytes()
