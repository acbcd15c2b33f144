"""Audio for recognition: the first sound stream of a media file as 16 kHz mono PCM, and the
stretches of it that are not silent.

One ffmpeg pass decodes the sound, evens out its loudness and runs its silence detector, which writes
the silences it finds to a side file; the speech regions are what lies between them, a little widened so no word is clipped.
"""

from __future__ import annotations

import array
import math
import os
import re
import warnings
from typing import Callable

try:
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", DeprecationWarning)
        import audioop  # C speed for the frame measures; gone from later Pythons
except ImportError:
    audioop = None

from . import media
from .recognizer import (BYTES_PER_SECOND, SAMPLE_RATE, Cancelled, CancelToken, PreparedAudio, RecognitionError,
                         Region)

SILENCE_NOISE_DB = -35
SILENCE_MIN_SECONDS = 0.4
PAD_MS = 150
MIN_REGION_MS = 100
# A region longer than this is cut at its quietest moment, so one decode never holds minutes.
MAX_REGION_MS = 30000
SPLIT_SEARCH_FROM_MS = 15000
WINDOW_MS = 100

# The voice check, on 20 ms frames of the evened-out sound. Speech rises and falls from syllable to
# syllable and alternates voiced frames (few zero crossings) with hissed ones (many); a steady tone, a
# hum, noise and music-like sound do neither as much. Measured on the LibriVox clips (fluctuation
# 2.7-3.2 dB, crossing variation 1.2-1.4) against a tone (0.1, 0.03), pink noise (1.7, 0.3) and a
# tune with percussion (0.6, 0.4).
FRAME_MS = 20
SPEECH_MIN_FLUCTUATION_DB = 2.2
SPEECH_MIN_CROSSING_VARIATION = 0.6
SHORTEST_JUDGED_MS = 1000

_SILENCE = re.compile(r"lavfi\.silence_(start|end)=(-?[0-9.]+)")


def _option_escape(value: str) -> str:
    for ch in "\\':":
        value = value.replace(ch, "\\" + ch)
    return value


def _graph_escape(value: str) -> str:
    return "".join("\\" + ch if ch in "\\'[],;" else ch for ch in value)


def filter_path(path: str) -> str:
    """A file name as a value inside an ffmpeg filter graph, whatever characters it holds."""
    return _graph_escape(_option_escape(path))


def extraction_args(source: str, pcm_path: str, silence_path: str) -> list[str]:
    # Evened out first, so a quiet recording's pauses between words are not taken for silence (its
    # speech would be cut into fragments, or lost) while a room's quiet noise floor stays silent.
    detector = ("dynaudnorm,silencedetect=noise=%ddB:duration=%s,ametadata=mode=print:file=%s"
                % (SILENCE_NOISE_DB, SILENCE_MIN_SECONDS, filter_path(silence_path)))
    return media.input_args(source) + [
        "-map", "0:a:0", "-vn", "-sn", "-dn", "-ac", "1", "-ar", str(SAMPLE_RATE), "-af", detector,
        "-c:a", "pcm_s16le", "-f", "s16le", media.file_arg(pcm_path)]


def parse_silences(text: str, duration_ms: int) -> list[tuple[int, int]]:
    """(start, end) of each silence in milliseconds; one still open at the end runs to the end."""
    silences = []
    start = None
    for kind, value in _SILENCE.findall(text):
        ms = max(0, int(round(float(value) * 1000)))
        if kind == "start":
            start = ms
        elif start is not None:
            silences.append((start, min(ms, duration_ms)))
            start = None
    if start is not None and start < duration_ms:
        silences.append((start, duration_ms))
    return silences


def speech_regions(silences: list[tuple[int, int]], duration_ms: int) -> list[Region]:
    """The stretches between silences that are long enough to hold a word, widened by PAD_MS."""
    regions = []
    position = 0
    for start, end in sorted(silences) + [(duration_ms, duration_ms)]:
        if start - position >= MIN_REGION_MS:
            regions.append(Region(max(0, position - PAD_MS), min(duration_ms, start + PAD_MS)))
        position = max(position, end)
    merged: list[Region] = []
    for region in regions:
        if merged and region.start_ms <= merged[-1].end_ms:
            merged[-1].end_ms = max(merged[-1].end_ms, region.end_ms)
        else:
            merged.append(region)
    return merged


def _window_energies(pcm, start_ms: int, end_ms: int) -> list[tuple[int, int]]:
    """(energy, start ms) of each WINDOW_MS window of [start_ms, end_ms)."""
    pcm.seek(start_ms * BYTES_PER_SECOND // 1000 & ~1)
    data = array.array("h")
    raw = pcm.read((end_ms - start_ms) * BYTES_PER_SECOND // 1000 & ~1)
    data.frombytes(raw[:len(raw) & ~1])
    if array.array("h", [1]).tobytes() != b"\x01\x00":
        data.byteswap()
    step = SAMPLE_RATE * WINDOW_MS // 1000
    out = []
    for i in range(0, len(data) - step + 1, step):
        window = data[i:i + step]
        out.append((sum(s * s for s in window[::4]), start_ms + i * 1000 // SAMPLE_RATE))
    return out


def split_long(regions: list[Region], pcm_path: str) -> list[Region]:
    out = []
    with open(pcm_path, "rb") as pcm:
        for region in regions:
            while region.length_ms > MAX_REGION_MS:
                lo = region.start_ms + SPLIT_SEARCH_FROM_MS
                hi = region.start_ms + MAX_REGION_MS
                windows = _window_energies(pcm, lo, hi)
                cut = min(windows)[1] + WINDOW_MS // 2 if windows else hi
                out.append(Region(region.start_ms, cut))
                region = Region(cut, region.end_ms)
            out.append(region)
    return out


def _frame_measures(frame: bytes) -> tuple[float, int]:
    """(loudness in dB, zero crossings) of one frame of 16-bit samples."""
    if audioop is not None:
        return 20 * math.log10(audioop.rms(frame, 2) + 1), audioop.cross(frame, 2)
    data = array.array("h")
    data.frombytes(frame)
    if array.array("h", [1]).tobytes() != b"\x01\x00":
        data.byteswap()
    rms = math.sqrt(sum(s * s for s in data) / max(1, len(data)))
    crossings = sum(1 for a, b in zip(data, data[1:]) if (a < 0) != (b < 0))
    return 20 * math.log10(rms + 1), crossings


def sounds_like_speech(pcm, region: Region) -> bool:
    """Whether a region holds speech rather than a tone, noise or music (pcm: the open PCM file). Too
    short a region says too little and is kept."""
    if region.length_ms < SHORTEST_JUDGED_MS:
        return True
    frame_bytes = SAMPLE_RATE * FRAME_MS // 1000 * 2
    pcm.seek(region.start_ms * BYTES_PER_SECOND // 1000 & ~1)
    raw = pcm.read(region.length_ms * BYTES_PER_SECOND // 1000 & ~1)
    levels, crossings = [], []
    for i in range(0, len(raw) - frame_bytes + 1, frame_bytes):
        level, crossed = _frame_measures(raw[i:i + frame_bytes])
        levels.append(level)
        crossings.append(crossed)
    if len(levels) < 10:
        return True
    fluctuation = sum(abs(a - b) for a, b in zip(levels, levels[1:])) / (len(levels) - 1)
    mean = sum(crossings) / len(crossings)
    spread = math.sqrt(sum((c - mean) ** 2 for c in crossings) / len(crossings))
    variation = spread / mean if mean > 0 else 0.0
    return fluctuation >= SPEECH_MIN_FLUCTUATION_DB or variation >= SPEECH_MIN_CROSSING_VARIATION


def speech_only(regions: list[Region], pcm_path: str) -> list[Region]:
    with open(pcm_path, "rb") as pcm:
        return [r for r in regions if sounds_like_speech(pcm, r)]


def prepare(source: str, workdir: str, cancel: CancelToken, progress: Callable[[float], None],
            probed: Callable[[float], None] = lambda seconds: None) -> PreparedAudio:
    """Decodes the sound of source into workdir; probed(duration in seconds) is called before the
    decoding starts. Raises RecognitionError (no sound, unreadable, ffmpeg missing) or Cancelled."""
    name = os.path.basename(source)
    source = os.path.abspath(source)
    try:
        info = media.probe(source)
    except media.MissingTool as exc:
        raise RecognitionError(str(exc), detail="ffmpeg", unavailable=True)
    except media.ToolFailed:
        raise RecognitionError(f"{name} is not a media file that can be read.", detail="unreadable")
    if not info.has_audio:
        raise RecognitionError(f"{name} has no sound to transcribe.", detail="no-audio")
    probed(info.duration)
    cancel.check()
    pcm_path = os.path.join(workdir, "audio.pcm")
    silence_path = os.path.join(workdir, "silences.txt")
    run = media.FfmpegRun(extraction_args(source, pcm_path, silence_path), info.duration, progress)
    forget = cancel.on_cancel(run.stop)
    try:
        run.run()
    except media.Cancelled:
        raise Cancelled()
    except media.MissingTool as exc:
        raise RecognitionError(str(exc), detail="ffmpeg", unavailable=True)
    except media.ToolFailed as exc:
        raise RecognitionError(f"The sound of {name} could not be decoded ({exc}).", detail="unreadable")
    finally:
        forget()
    cancel.check()
    duration_ms = os.path.getsize(pcm_path) * 1000 // BYTES_PER_SECOND
    try:
        with open(silence_path, encoding="utf-8", errors="replace") as f:
            silences = parse_silences(f.read(), duration_ms)
    except FileNotFoundError:
        silences = []
    regions = speech_only(split_long(speech_regions(silences, duration_ms), pcm_path), pcm_path)
    return PreparedAudio(pcm_path, duration_ms, regions)
