"""The files a transcription leaves: <stem>.transcript.srt, .txt and .json.

They sit beside the media file, or in the transcript folder of the settings. The ".transcript" in
their names keeps them clear of subtitles that came with a download (<stem>.srt, <stem>.en.vtt),
which are never overwritten, and keeps the search index from reading the SRT as a second copy
of the JSON transcript.
"""

from __future__ import annotations

import json
import os
import tempfile
import threading
from dataclasses import dataclass

from . import searchindex, support
from .recognizer import Segment

SUFFIX = ".transcript"


@dataclass
class TranscriptPaths:
    srt: str
    txt: str
    json: str

    def all(self) -> list[str]:
        return [self.srt, self.txt, self.json]


def srt_time(ms: int) -> str:
    ms = max(0, ms)
    hours, rest = divmod(ms, 3600000)
    minutes, rest = divmod(rest, 60000)
    seconds, millis = divmod(rest, 1000)
    return f"{hours:02d}:{minutes:02d}:{seconds:02d},{millis:03d}"


def srt_text(segments: list[Segment]) -> str:
    blocks = [f"{i}\n{srt_time(s.start_ms)} --> {srt_time(s.end_ms)}\n{s.text}\n"
              for i, s in enumerate(segments, 1)]
    return "\n".join(blocks)


def plain_text(segments: list[Segment]) -> str:
    return "".join(s.text + "\n" for s in segments)


def _media_of(json_path: str) -> str:
    try:
        with open(json_path, encoding="utf-8") as f:
            data = json.load(f)
        return data.get("mediaPath", "") if isinstance(data, dict) else ""
    except (OSError, ValueError):
        return ""


def choose_paths(media_path: str, transcript_dir: str) -> TranscriptPaths:
    """Beside the media, or in transcript_dir. A transcript of this same media is replaced; in a shared
    transcript folder, one of another file with the same name is kept and a numbered name is taken."""
    folder = transcript_dir or os.path.dirname(media_path)
    stem = os.path.splitext(os.path.basename(media_path))[0]
    n = 1
    while True:
        base = os.path.join(folder, stem + (f" ({n})" if n > 1 else "") + SUFFIX)
        paths = TranscriptPaths(base + ".srt", base + ".txt", base + ".json")
        owner = _media_of(paths.json) if os.path.exists(paths.json) else ""
        taken = any(os.path.exists(p) for p in paths.all())
        if not taken or owner == media_path:
            return paths
        n += 1


def _temporary(folder: str) -> str:
    fd, tmp = tempfile.mkstemp(prefix=".vamber-", suffix=".tmp", dir=folder)
    os.close(fd)
    return tmp


def write(paths: TranscriptPaths, media_path: str, title: str, language: str, segments: list[Segment]) -> None:
    """Writes all three files in temporary files first and then moves them into place, so a failure
    leaves an earlier transcript of the file as it was."""
    folder = os.path.dirname(paths.json)
    temps: list[str] = []
    try:
        for text in (srt_text(segments), plain_text(segments)):
            temps.append(_temporary(folder))
            with open(temps[-1], "w", encoding="utf-8") as f:
                f.write(text)
        temps.append(_temporary(folder))
        searchindex.write_transcript_json(temps[-1], media_path, title, language, segments)
        for tmp, final in zip(temps, paths.all()):
            os.replace(tmp, final)
    finally:
        for tmp in temps:
            try:
                os.remove(tmp)
            except OSError:
                pass


def remove(paths: TranscriptPaths) -> None:
    for path in paths.all():
        try:
            os.remove(path)
        except OSError:
            pass


class KnownTranscripts:
    """The transcript files this engine wrote, kept in the support folder, so the search index finds
    them wherever they are: beside a file that is not in the library, or in a folder chosen earlier."""

    def __init__(self, path: str):
        self.path = path
        self._lock = threading.Lock()

    def _read(self) -> list[str]:
        data = support.read_json_file(self.path, [], validate=lambda v: isinstance(v, list))
        return [p for p in data if isinstance(p, str) and p]

    def add(self, json_path: str) -> None:
        with self._lock:
            paths = [p for p in self._read() if p != json_path and os.path.exists(p)]
            support.atomic_write_json(self.path, paths + [json_path])

    def paths(self) -> list[str]:
        with self._lock:
            return [p for p in self._read() if os.path.isfile(p)]
