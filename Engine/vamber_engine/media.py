"""ffmpeg and ffprobe: probing, converting with progress, extracting frames.

Every function that needs one of the programs raises MissingTool naming it when it is not installed,
so the methods that need it answer with a clear error and the others keep working.
"""

from __future__ import annotations

import json
import math
import os
import shutil
import subprocess
import threading
from dataclasses import dataclass, field
from pathlib import Path
from typing import Callable, Optional

QUALITY_TIERS = [("8K", 4320), ("4K", 2160), ("1440p", 1440), ("1080p", 1080), ("720p", 720), ("480p", 480),
                 ("360p", 360)]
AUDIO_QUALITY = "audio"


class MissingTool(Exception):
    def __init__(self, program: str):
        super().__init__("%s is not installed, so this cannot be done. Install %s (the ffmpeg package) and "
                         "try again." % (program, program))
        self.program = program


class ToolFailed(Exception):
    pass


class Cancelled(Exception):
    pass


def find_tool(name: str) -> Optional[str]:
    """Path of ffmpeg or ffprobe: VAMBER_FFMPEG_DIR first, then PATH."""
    folder = os.environ.get("VAMBER_FFMPEG_DIR", "")
    if folder:
        candidate = os.path.join(folder, name)
        if os.access(candidate, os.X_OK):
            return candidate
        return None
    return shutil.which(name)


def require(name: str) -> str:
    path = find_tool(name)
    if not path:
        raise MissingTool(name)
    return path


def ffmpeg_dir() -> str:
    path = find_tool("ffmpeg")
    return os.path.dirname(path) if path else ""


@dataclass
class ProbeResult:
    duration: float = 0.0
    width: int = 0
    height: int = 0
    has_video: bool = False
    has_audio: bool = False
    video_codec: str = ""
    audio_codec: str = ""
    format_name: str = ""
    subtitle_streams: int = 0
    attached_pic: bool = False
    tags: dict = field(default_factory=dict)

    @property
    def quality(self) -> Optional[str]:
        return quality_for(self.width, self.height) if self.has_video else None

    def label(self) -> str:
        """The source's own quality in words, e.g. "1280×720 H264"."""
        if self.has_video and self.width and self.height:
            return ("%d×%d %s" % (self.width, self.height, self.video_codec.upper())).strip()
        if self.has_audio:
            return ("audio %s" % self.audio_codec.upper()).strip()
        return ""


def quality_for(width: int, height: int) -> str:
    """The quality tier of a picture: the highest tier it reaches (a 1920×800 film counts as 1080p),
    and the lowest tier for anything smaller."""
    lines = max(height, int(round(width * 9 / 16))) if width else height
    for name, tier in QUALITY_TIERS:
        if lines >= tier * 0.95:
            return name
    return QUALITY_TIERS[-1][0]


def probe(target: str, headers: str = "", timeout: float = 20.0) -> ProbeResult:
    """ffprobe of a local file or a remote address (headers: raw "Name: value\\r\\n" lines)."""
    exe = require("ffprobe")
    cmd = [exe, "-v", "error", "-print_format", "json", "-show_format", "-show_streams"]
    if "://" in target:
        cmd += ["-rw_timeout", str(int(timeout * 1e6))]  # a server that stops answering ends the probe
    if headers and "://" in target:
        cmd += ["-headers", headers]
    cmd.append(target)
    try:
        out = subprocess.run(cmd, capture_output=True, timeout=timeout, stdin=subprocess.DEVNULL)
    except subprocess.TimeoutExpired as err:
        raise ToolFailed("ffprobe took too long to read the media.") from err
    if out.returncode != 0:
        msg = out.stderr.decode("utf-8", "replace").strip().splitlines()
        raise ToolFailed("ffprobe could not read the media%s" % (": " + msg[-1] if msg else "."))
    try:
        data = json.loads(out.stdout.decode("utf-8", "replace") or "{}")
    except ValueError as err:
        raise ToolFailed("ffprobe gave an answer that cannot be read.") from err
    result = ProbeResult()
    fmt = data.get("format") or {}
    result.format_name = str(fmt.get("format_name") or "")
    result.tags = {str(k).lower(): str(v) for k, v in (fmt.get("tags") or {}).items()}
    result.duration = _finite(fmt.get("duration"))
    for stream in data.get("streams") or []:
        kind = stream.get("codec_type")
        disposition = stream.get("disposition") or {}
        if kind == "video":
            if disposition.get("attached_pic"):
                result.attached_pic = True
                continue
            if not result.has_video:
                result.has_video = True
                result.width = int(stream.get("width") or 0)
                result.height = int(stream.get("height") or 0)
                result.video_codec = str(stream.get("codec_name") or "")
        elif kind == "audio" and not result.has_audio:
            result.has_audio = True
            result.audio_codec = str(stream.get("codec_name") or "")
        elif kind == "subtitle":
            result.subtitle_streams += 1
        if not result.duration:
            result.duration = _finite(stream.get("duration"))
    return result


def _finite(value) -> float:
    try:
        number = float(value)
    except (TypeError, ValueError):
        return 0.0
    return number if math.isfinite(number) and number > 0 else 0.0


class FfmpegRun:
    """One ffmpeg run that reports its progress as a fraction and can be stopped from another thread."""

    def __init__(self, args: list[str], duration: float = 0.0,
                 on_progress: Optional[Callable[[float], None]] = None):
        self.args = args
        self.duration = duration
        self.on_progress = on_progress
        self._proc: Optional[subprocess.Popen] = None
        self._stopped = False
        self._lock = threading.Lock()

    def stop(self):
        with self._lock:
            self._stopped = True
            if self._proc is not None and self._proc.poll() is None:
                self._proc.kill()

    def run(self):
        exe = require("ffmpeg")
        cmd = [exe, "-hide_banner", "-nostdin", "-loglevel", "error", "-y", "-progress", "pipe:1", "-nostats"]
        cmd += self.args
        with self._lock:
            if self._stopped:
                raise Cancelled()
            self._proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                          stdin=subprocess.DEVNULL)
        errors: list[bytes] = []
        reader = threading.Thread(target=lambda: errors.append(self._proc.stderr.read()), daemon=True)
        reader.start()
        assert self._proc.stdout is not None
        for raw in self._proc.stdout:
            line = raw.decode("utf-8", "replace").strip()
            if line.startswith("out_time_us=") or line.startswith("out_time_ms="):
                try:
                    micros = int(line.split("=", 1)[1])
                except ValueError:
                    continue
                if self.duration > 0 and self.on_progress:
                    self.on_progress(min(max(micros / 1e6 / self.duration, 0.0), 1.0))
        code = self._proc.wait()
        reader.join(5)
        if self._stopped:
            raise Cancelled()
        if code != 0:
            text = b"".join(errors).decode("utf-8", "replace").strip().splitlines()
            raise ToolFailed("ffmpeg failed%s" % (": " + text[-1] if text else " (status %d)." % code))
        if self.on_progress:
            self.on_progress(1.0)


def extract_frame(source: str, dest: str, at: float = 1.0, headers: str = "", timeout: float = 30.0):
    """Write one frame of source (a file or address) as an image at dest (format from its extension)."""
    exe = require("ffmpeg")
    cmd = [exe, "-hide_banner", "-nostdin", "-loglevel", "error", "-y"]
    if headers and "://" in source:
        cmd += ["-headers", headers]
    cmd += ["-ss", "%.3f" % max(at, 0.0), "-i", source, "-frames:v", "1", "-vf", "scale='min(640,iw)':-2", dest]
    try:
        out = subprocess.run(cmd, capture_output=True, timeout=timeout, stdin=subprocess.DEVNULL)
    except subprocess.TimeoutExpired as err:
        raise ToolFailed("ffmpeg took too long to take a picture of the media.") from err
    if out.returncode != 0 or not Path(dest).exists() or Path(dest).stat().st_size == 0:
        if at > 0:  # a seek past the end of a short clip gives nothing: take the first frame
            return extract_frame(source, dest, 0.0, headers, timeout)
        msg = out.stderr.decode("utf-8", "replace").strip().splitlines()
        raise ToolFailed("ffmpeg could not take a picture of the media%s" % (": " + msg[-1] if msg else "."))
