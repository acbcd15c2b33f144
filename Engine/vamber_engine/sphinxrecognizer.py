"""English recognition with pocketsphinx, one speech region at a time."""

from __future__ import annotations

import threading
import time
from typing import Optional

from . import sphinx
from .recognizer import (BYTES_PER_SECOND, CancelToken, PreparedAudio, Progress, Recognition, RecognitionError,
                         Recognizer, Word, segments_from_words)

SYSTEM_KEY = "sphinx-en"
# Fed a second at a time, so a cancel or a progress report never waits long.
CHUNK_BYTES = BYTES_PER_SECOND
MS_PER_FRAME = 1000 // sphinx.FRAMES_PER_SECOND


class SphinxRecognizer(Recognizer):
    key = SYSTEM_KEY

    def __init__(self):
        self._lock = threading.Lock()
        self._decoder = None

    def languages(self):
        return {"en"}

    def _loaded(self):
        if self._decoder is None:
            try:
                self._decoder = sphinx.open_decoder()
            except sphinx.SphinxUnavailable as exc:
                raise RecognitionError(str(exc), detail="no-recognizer", unavailable=True)
        return self._decoder

    def release(self) -> None:
        with self._lock:
            self._close()

    def _close(self) -> None:
        if self._decoder is not None:
            self._decoder.close()
            self._decoder = None

    def measure(self, pcm: bytes) -> Optional[float]:
        """Seconds it takes to load the model and decode pcm; None while a transcription holds the
        decoder (its own run gives a better figure). One decoder at a time keeps the memory bounded."""
        if not self._lock.acquire(blocking=False):
            return None
        try:
            started = time.monotonic()
            self._close()
            decoder = self._loaded()
            decoder.start()
            for i in range(0, len(pcm), CHUNK_BYTES):
                decoder.feed(pcm[i:i + CHUNK_BYTES])
            decoder.finish()
            return time.monotonic() - started
        finally:
            self._close()
            self._lock.release()

    def recognize(self, audio: PreparedAudio, language: str, progress: Progress,
                  cancel: CancelToken) -> Recognition:
        with self._lock:
            decoder = self._loaded()
            total = max(1, audio.speech_ms)
            done_ms = 0
            segments = []
            with open(audio.pcm_path, "rb") as pcm:
                for region in audio.regions:
                    cancel.check()
                    pcm.seek(_offset(region.start_ms))
                    left = _offset(region.end_ms) - _offset(region.start_ms)
                    decoder.start()
                    fed_ms = 0
                    try:
                        while left > 0:
                            chunk = pcm.read(min(CHUNK_BYTES, left))
                            if not chunk:
                                break
                            left -= len(chunk)
                            decoder.feed(chunk)
                            fed_ms += len(chunk) * 1000 // BYTES_PER_SECOND
                            progress(min(1.0, (done_ms + fed_ms) / total))
                            cancel.check()
                    finally:
                        tokens = decoder.finish()
                    done_ms += region.length_ms
                    region_words = []
                    for token, first, last in tokens:
                        text = sphinx.spoken_word(token)
                        if text:
                            start = region.start_ms + first * MS_PER_FRAME
                            end = min(region.end_ms, region.start_ms + (last + 1) * MS_PER_FRAME)
                            region_words.append(Word(start, max(end, start + 1), text))
                    # A region is a stretch between silences: a segment never spans two.
                    segments += segments_from_words(region_words)
            progress(1.0)
            return Recognition("en", segments)


def _offset(ms: int) -> int:
    return (ms * BYTES_PER_SECOND // 1000) & ~1
