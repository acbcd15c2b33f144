"""What every speech recognizer gives and takes: timed words, timed segments, cancellation.

A backend turns prepared audio (16 kHz mono 16-bit PCM, with the stretches that hold speech)
into words or segments with times in milliseconds from the start of the media.
"""

from __future__ import annotations

import threading
from dataclasses import dataclass, field
from typing import Callable, Optional

from .searchindex import Segment

SAMPLE_RATE = 16000
BYTES_PER_SECOND = SAMPLE_RATE * 2

# Subtitle-sized segments: a pause this long ends one, and none grows longer than this.
SEGMENT_PAUSE_MS = 600
SEGMENT_MAX_MS = 8000


class RecognitionError(Exception):
    """Recognition cannot be done; the text says why. detail is a short machine word."""

    def __init__(self, message: str, detail: str = "", unavailable: bool = False):
        super().__init__(message)
        self.detail = detail
        self.unavailable = unavailable


class Cancelled(Exception):
    pass


class CancelToken:
    """Set from another thread; the work checks it between steps and stops whatever it runs."""

    def __init__(self):
        self._event = threading.Event()
        self._lock = threading.Lock()
        self._stoppers: list[Callable[[], None]] = []

    @property
    def cancelled(self) -> bool:
        return self._event.is_set()

    def cancel(self) -> None:
        with self._lock:
            self._event.set()
            stoppers = list(self._stoppers)
        for stop in stoppers:
            stop()

    def check(self) -> None:
        if self._event.is_set():
            raise Cancelled()

    def on_cancel(self, stop: Callable[[], None]) -> Callable[[], None]:
        """Calls stop() at cancellation (at once when already cancelled); returns the unregistering call."""
        with self._lock:
            already = self._event.is_set()
            if not already:
                self._stoppers.append(stop)
        if already:
            stop()

        def forget():
            with self._lock:
                if stop in self._stoppers:
                    self._stoppers.remove(stop)
        return forget


@dataclass
class Word:
    start_ms: int
    end_ms: int
    text: str


@dataclass
class Region:
    """A stretch of the audio that holds sound worth recognising."""
    start_ms: int
    end_ms: int

    @property
    def length_ms(self) -> int:
        return self.end_ms - self.start_ms


@dataclass
class PreparedAudio:
    pcm_path: str          # raw 16 kHz mono s16le
    duration_ms: int
    regions: list[Region] = field(default_factory=list)

    @property
    def speech_ms(self) -> int:
        return sum(r.length_ms for r in self.regions)


@dataclass
class Recognition:
    language: str
    segments: list[Segment]


Progress = Callable[[float], None]


class Recognizer:
    """A backend. language is a lower-case code ("en") or "" for detection."""

    key = ""

    def languages(self) -> Optional[set[str]]:
        """The languages it can recognise; None when it recognises many and detects them itself."""
        raise NotImplementedError

    def recognize(self, audio: PreparedAudio, language: str, progress: Progress,
                  cancel: CancelToken) -> Recognition:
        raise NotImplementedError

    def release(self) -> None:
        """Frees what it keeps loaded between files."""


def segments_from_words(words: list[Word], pause_ms: int = SEGMENT_PAUSE_MS,
                        max_ms: int = SEGMENT_MAX_MS) -> list[Segment]:
    """Groups words (in time order) into segments, breaking at pauses and before a segment
    grows too long."""
    segments: list[Segment] = []
    current: list[Word] = []
    for word in words:
        if current and (word.start_ms - current[-1].end_ms >= pause_ms
                        or word.end_ms - current[0].start_ms > max_ms):
            segments.append(_join(current, max_ms))
            current = []
        current.append(word)
    if current:
        segments.append(_join(current, max_ms))
    return segments


def _join(words: list[Word], max_ms: int = SEGMENT_MAX_MS) -> Segment:
    start = words[0].start_ms
    # A word the decoder stretched over a long sound must not make a segment longer than the rest.
    return Segment(start, min(max(words[-1].end_ms, start + 1), start + max_ms), " ".join(w.text for w in words))


def within_length(segments: list[Segment], max_ms: int = SEGMENT_MAX_MS) -> list[Segment]:
    """Segments no longer than max_ms: a longer one is cut into equal stretches with its words shared out
    by their length, and a single word is shortened."""
    out: list[Segment] = []
    for seg in segments:
        length = seg.end_ms - seg.start_ms
        words = seg.text.split()
        if length <= max_ms:
            out.append(seg)
            continue
        pieces = min(len(words), -(-length // max_ms))
        if pieces <= 1:
            out.append(Segment(seg.start_ms, seg.start_ms + max_ms, seg.text))
            continue
        total = sum(len(w) + 1 for w in words)
        step = length / pieces
        groups: list[list[str]] = [[] for _ in range(pieces)]
        used = 0
        for word in words:
            groups[min(pieces - 1, int(used * pieces / total))].append(word)
            used += len(word) + 1
        for i, group in enumerate(groups):
            if group:
                start = seg.start_ms + int(i * step)
                end = min(seg.start_ms + int((i + 1) * step), start + max_ms)
                out.append(Segment(start, max(end, start + 1), " ".join(group)))
    return out
