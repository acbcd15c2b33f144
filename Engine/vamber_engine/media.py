"""The one media layer: finding ffmpeg and ffprobe, probing, running ffmpeg with progress and
cancellation, extracting frames, and placing finished files without overwriting anything.

Every function that needs one of the programs raises MissingTool naming it when it is not installed,
so the methods that need it answer with a clear error and the others keep working.

Media arguments are always built with input_args() / file_arg(): a local path is written as
"file:/absolute/path" (never read as an option or a protocol such as "concat:"), and a remote address
may only use the protocols in REMOTE_PROTOCOLS.
"""

from __future__ import annotations

import json
import math
import os
import shutil
import subprocess
import threading
import time
from dataclasses import dataclass, field
from pathlib import Path
from typing import Callable, Iterable, Optional

QUALITY_TIERS = [("8K", 4320), ("4K", 2160), ("1440p", 1440), ("1080p", 1080), ("720p", 720), ("480p", 480),
                 ("360p", 360)]
AUDIO_QUALITY = "audio"
# What a remote input (an HLS playlist and its segments and keys) may use; never local files.
REMOTE_PROTOCOLS = "http,https,tcp,tls,crypto"


class MissingTool(Exception):
    def __init__(self, program: str):
        super().__init__(f"{program} is not installed, so this cannot be done. Install {program} (the ffmpeg "
                         "package) and try again.")
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


def is_remote(target: str) -> bool:
    return target[:7].lower() == "http://" or target[:8].lower() == "https://"


def file_arg(path: str | os.PathLike) -> str:
    """A local path as ffmpeg must be given it: only ever a file, whatever its name looks like."""
    return "file:" + os.path.abspath(os.fspath(path))


def input_args(target: str | os.PathLike, headers: str = "", timeout: float = 0.0) -> list[str]:
    """"-i" and what goes before it for a local file or an http(s) address (headers: raw
    "Name: value\r\n" lines; timeout: seconds a silent server may take, 0 for ffmpeg's own)."""
    target = os.fspath(target)
    if not is_remote(target):
        return ["-i", file_arg(target)]
    args = ["-protocol_whitelist", REMOTE_PROTOCOLS]
    if timeout > 0:
        args += ["-rw_timeout", str(int(timeout * 1e6))]
    if headers:
        args += ["-headers", headers]
    return args + ["-i", target]


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
    streams: list = field(default_factory=list)  # ffprobe's stream records as they came

    @property
    def quality(self) -> Optional[str]:
        return quality_for(self.width, self.height) if self.has_video else None

    def label(self) -> str:
        """The source's own quality in words, e.g. "1280×720 H264"."""
        if self.has_video and self.width and self.height:
            return (f"{self.width}×{self.height} {self.video_codec.upper()}").strip()
        if self.has_audio:
            return (f"audio {self.audio_codec.upper()}").strip()
        return ""


def quality_for(width: int, height: int) -> str:
    """The quality tier of a picture: the highest tier it reaches (a 1920×800 film counts as 1080p),
    and the lowest tier for anything smaller."""
    lines = max(height, int(round(width * 9 / 16))) if width else height
    for name, tier in QUALITY_TIERS:
        if lines >= tier * 0.95:
            return name
    return QUALITY_TIERS[-1][0]


def probe(target: str | os.PathLike, headers: str = "", timeout: float = 20.0) -> ProbeResult:
    """ffprobe of a local file or an http(s) address (headers: raw "Name: value\\r\\n" lines)."""
    exe = require("ffprobe")
    cmd = [exe, "-v", "error", "-print_format", "json", "-show_format", "-show_streams"]
    # A server that stops answering ends the probe.
    cmd += input_args(target, headers, timeout)
    try:
        out = subprocess.run(cmd, capture_output=True, timeout=timeout, stdin=subprocess.DEVNULL)
    except subprocess.TimeoutExpired as err:
        raise ToolFailed("ffprobe took too long to read the media.") from err
    if out.returncode != 0:
        msg = out.stderr.decode("utf-8", "replace").strip().splitlines()
        raise ToolFailed("ffprobe could not read the media" + (f": {msg[-1]}" if msg else "."))
    try:
        data = json.loads(out.stdout.decode("utf-8", "replace") or "{}")
    except ValueError as err:
        raise ToolFailed("ffprobe gave an answer that cannot be read.") from err
    result = ProbeResult()
    fmt = data.get("format") or {}
    result.format_name = str(fmt.get("format_name") or "")
    result.tags = {str(k).lower(): str(v) for k, v in (fmt.get("tags") or {}).items()}
    result.duration = _finite(fmt.get("duration"))
    result.streams = [st for st in data.get("streams") or [] if isinstance(st, dict)]
    for stream in result.streams:
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


def ffmpeg_command(args: list[str]) -> list[str]:
    """The whole ffmpeg command for args: quiet, never asking, progress on standard output."""
    return [require("ffmpeg"), "-hide_banner", "-nostdin", "-loglevel", "error", "-y", "-progress", "pipe:1",
            "-nostats"] + list(args)


class FfmpegRun:
    """One ffmpeg run that reports its progress as a fraction and can be stopped from another thread.

    args are ffmpeg's arguments after the common ones (see ffmpeg_command), or command is a whole
    command made by ffmpeg_command. on_progress(fraction) is called at most every `interval` seconds
    from the running thread, and with 1.0 at the end of a successful run.
    """

    def __init__(self, args: Optional[list[str]] = None, duration: float = 0.0,
                 on_progress: Optional[Callable[[float], None]] = None, command: Optional[list[str]] = None,
                 interval: float = 0.0):
        self.args = args or []
        self.command = command
        self.duration = duration
        self.on_progress = on_progress
        self.interval = interval
        self._proc: Optional[subprocess.Popen] = None
        self._stopped = False
        self._lock = threading.Lock()

    @property
    def stopped(self) -> bool:
        return self._stopped

    def stop(self) -> None:
        with self._lock:
            self._stopped = True
            if self._proc is not None and self._proc.poll() is None:
                self._proc.kill()

    def run(self) -> None:
        """Raises Cancelled after stop(), ToolFailed when ffmpeg fails, MissingTool without it."""
        cmd = self.command if self.command is not None else ffmpeg_command(self.args)
        with self._lock:
            if self._stopped:
                raise Cancelled()
            self._proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                          stdin=subprocess.DEVNULL)
        proc = self._proc
        errors: list[bytes] = []
        reader = threading.Thread(target=lambda: errors.append(proc.stderr.read()), daemon=True)
        reader.start()
        last = 0.0
        try:
            for raw in proc.stdout:
                key, _, value = raw.decode("utf-8", "replace").strip().partition("=")
                if key not in ("out_time_us", "out_time_ms") or self.duration <= 0 or not self.on_progress:
                    continue
                try:
                    micros = int(value)
                except ValueError:
                    continue
                now = time.monotonic()
                if now - last >= self.interval:
                    last = now
                    self.on_progress(min(max(micros / 1e6 / self.duration, 0.0), 1.0))
            code = proc.wait()
            reader.join(5)
        finally:
            if proc.poll() is None:  # the progress callback failed: do not leave ffmpeg behind
                proc.kill()
                proc.wait()
            proc.stdout.close()
            proc.stderr.close()
        if self._stopped:
            raise Cancelled()
        if code != 0:
            text = b"".join(errors).decode("utf-8", "replace").strip().splitlines()
            raise ToolFailed("ffmpeg failed" + (f": {text[-1]}" if text else f" (status {code})."))
        if self.on_progress:
            self.on_progress(1.0)


def extract_frame(source: str | os.PathLike, dest: str | os.PathLike, at: float = 1.0, headers: str = "",
                  timeout: float = 30.0) -> None:
    """Write one frame of source (a file or http(s) address) as an image at dest (format from its
    extension)."""
    exe = require("ffmpeg")
    cmd = [exe, "-hide_banner", "-nostdin", "-loglevel", "error", "-y", "-ss", f"{max(at, 0.0):.3f}"]
    cmd += input_args(source, headers)
    cmd += ["-frames:v", "1", "-update", "1", "-vf", "scale='min(640,iw)':-2", file_arg(dest)]
    try:
        out = subprocess.run(cmd, capture_output=True, timeout=timeout, stdin=subprocess.DEVNULL)
    except subprocess.TimeoutExpired as err:
        raise ToolFailed("ffmpeg took too long to take a picture of the media.") from err
    if out.returncode != 0 or not Path(dest).exists() or Path(dest).stat().st_size == 0:
        if at > 0:  # a seek past the end of a short clip gives nothing: take the first frame
            return extract_frame(source, dest, 0.0, headers, timeout)
        msg = out.stderr.decode("utf-8", "replace").strip().splitlines()
        raise ToolFailed("ffmpeg could not take a picture of the media" + (f": {msg[-1]}" if msg else "."))


# ---- placing finished files -------------------------------------------------------------------


def place(src: str | os.PathLike, candidates: Iterable[str | os.PathLike]) -> Path:
    """Moves src to the first candidate path that is free, never replacing a file that is there
    (not even one that appears while it moves); returns where it went."""
    src = Path(src)
    for candidate in candidates:
        dest = Path(candidate)
        try:
            os.link(src, dest)
        except FileExistsError:
            continue
        except OSError:
            # No hard links here (another file system, FAT): claim the name, then move over the claim.
            try:
                fd = os.open(dest, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
            except FileExistsError:
                continue
            os.close(fd)
            try:
                shutil.move(str(src), str(dest))
            except BaseException:
                _unlink_quietly(dest)
                raise
            return dest
        os.unlink(src)
        return dest
    raise FileExistsError(f"no free name for {src.name}")


def numbered(folder: str | os.PathLike, stem: str, ext: str, pattern: str = "{stem} ({n})",
             first: int = 1) -> Iterable[Path]:
    """folder/stem+ext, then folder/pattern+ext for n = 2, 3, ... (from `first` when above 1)."""
    folder = Path(folder)
    n = first
    while True:
        yield folder / ((stem if n == 1 else pattern.format(stem=stem, n=n)) + ext)
        n += 1


def place_numbered(src: str | os.PathLike, folder: str | os.PathLike, stem: str, ext: str,
                   pattern: str = "{stem} ({n})") -> Path:
    """place() under stem+ext in folder, or the first free "stem (2)"+ext and so on."""
    return place(src, numbered(folder, stem, ext, pattern))


def _unlink_quietly(path: str | os.PathLike):
    try:
        os.unlink(path)
    except OSError:
        pass
