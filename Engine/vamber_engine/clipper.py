"""Cutting a stretch of a media file into a new file with ffmpeg.

"precise" re-encodes, so the clip starts and ends at the requested times; "fast"
copies the streams, so it starts at the key frame at or before the start time.
"""

from __future__ import annotations

import os
import threading
import time
from typing import Callable

from . import media, pages


class ClipError(Exception):
    """A clip cannot be made; the text says why."""

    def __init__(self, message: str, missing_tool: bool = False):
        super().__init__(message)
        self.missing_tool = missing_tool


class ClipCancelled(Exception):
    pass


MODES = ("precise", "fast")
VIDEO_EXTENSIONS = (".mp4", ".m4v", ".mov", ".mkv", ".webm")
AUDIO_EXTENSION_BY_CODEC = {"aac": ".m4a", "alac": ".m4a", "mp3": ".mp3", "opus": ".opus",
                            "vorbis": ".ogg", "flac": ".flac"}
AUDIO_ONLY_SUFFIXES = tuple(set(AUDIO_EXTENSION_BY_CODEC.values()))
AUDIO_ENCODER_BY_EXTENSION = {".m4a": ["-c:a", "aac", "-b:a", "192k"],
                              ".mp3": ["-c:a", "libmp3lame", "-q:a", "2"],
                              ".opus": ["-c:a", "libopus", "-b:a", "128k"],
                              ".ogg": ["-c:a", "libopus", "-b:a", "128k"],
                              ".flac": ["-c:a", "flac"]}


def probe(path: str) -> dict:
    """Duration in seconds and the codec of the first video and audio stream (None when absent)."""
    try:
        info = media.probe(path, timeout=60)
    except media.MissingTool as exc:
        raise ClipError(str(exc), missing_tool=True)
    except media.ToolFailed:
        raise ClipError(f"{os.path.basename(path)} is not a media file ffmpeg can read.")
    return {"duration": info.duration, "video": info.video_codec if info.has_video else None,
            "audio": info.audio_codec if info.has_audio else None}


def _stamp(ms: int) -> str:
    seconds, millis = divmod(ms, 1000)
    minutes, seconds = divmod(seconds, 60)
    hours, minutes = divmod(minutes, 60)
    text = f"{hours}h{minutes:02d}m{seconds:02d}s" if hours else f"{minutes:02d}m{seconds:02d}s"
    return text.replace("s", f".{millis:03d}s") if millis else text


def output_extension(path: str, info: dict, audio_only: bool) -> str:
    ext = os.path.splitext(path)[1].lower()
    if audio_only or not info["video"]:
        return AUDIO_EXTENSION_BY_CODEC.get(info["audio"] or "", ".m4a")
    return ext if ext in VIDEO_EXTENSIONS else ".mkv"


def check_request(path: str, start_ms: int, end_ms: int) -> None:
    if not path or not os.path.isfile(path):
        raise ClipError(f"The file {path or '(none)'} does not exist.")
    if start_ms < 0:
        raise ClipError("The clip cannot start before the beginning of the media.")
    if end_ms <= start_ms:
        raise ClipError("The clip must end after it starts.")


def suggest(path: str, start_ms: int, end_ms: int, audio_only: bool, info: dict | None = None) -> dict:
    """A free file name beside the source for the clip of [start_ms, end_ms]."""
    check_request(path, start_ms, end_ms)
    info = info or probe(path)
    folder, base, ext = _clip_name(path, start_ms, end_ms, audio_only, info)
    for candidate in _candidates(folder, base, ext):
        if not os.path.lexists(candidate):
            return {"path": str(candidate), "name": candidate.name, "directory": folder}
    raise AssertionError("unreachable")


def _clip_name(path: str, start_ms: int, end_ms: int, audio_only: bool, info: dict) -> tuple[str, str, str]:
    folder = os.path.dirname(os.path.abspath(path))
    stem = pages.visible_name(os.path.splitext(os.path.basename(path))[0]) or "clip"
    return folder, f"{stem} (clip {_stamp(start_ms)}-{_stamp(end_ms)})", output_extension(path, info, audio_only)


def _candidates(folder: str, base: str, ext: str):
    return media.numbered(folder, base, ext, "{stem} {n}")


def build_command(src: str, dest: str, start_ms: int, end_ms: int, mode: str, audio_only: bool,
                  info: dict) -> list[str]:
    ext = os.path.splitext(dest)[1].lower()
    with_video = bool(info["video"]) and not audio_only
    cmd = ["-ss", f"{start_ms / 1000:.3f}", *media.input_args(src), "-t", f"{(end_ms - start_ms) / 1000:.3f}"]
    if with_video:
        cmd += ["-map", "0:v:0"]
    if info["audio"]:
        cmd += ["-map", "0:a:0"]
    cmd += ["-sn", "-dn", "-map_metadata", "0"]
    if mode == "fast":
        cmd += ["-c", "copy", "-avoid_negative_ts", "make_zero"]
    elif not with_video:
        cmd += AUDIO_ENCODER_BY_EXTENSION.get(ext, AUDIO_ENCODER_BY_EXTENSION[".m4a"])
    elif ext == ".webm":
        cmd += ["-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8", "-b:v", "0", "-crf", "32",
                "-c:a", "libopus", "-b:a", "128k"]
    else:
        cmd += ["-c:v", "libx264", "-preset", "veryfast", "-crf", "20", "-pix_fmt", "yuv420p",
                "-c:a", "aac", "-b:a", "192k"]
    if ext in (".mp4", ".m4v", ".mov", ".m4a"):
        cmd += ["-movflags", "+faststart"]
    cmd += ["-stats_period", "0.25", media.file_arg(dest)]
    return media.ffmpeg_command(cmd)


class ClipJobs:
    """Running extractions by job id, so that one can be cancelled."""

    def __init__(self):
        self._lock = threading.Lock()
        self._procs: dict[str, media.FfmpegRun | None] = {}
        self._cancelled: set[str] = set()

    def cancel(self, job_id: str) -> bool:
        with self._lock:
            if job_id not in self._procs:
                return False
            self._cancelled.add(job_id)
            run = self._procs[job_id]
        if run is not None:
            # The partial file is thrown away, so there is nothing to finish cleanly.
            run.stop()
        return True

    def running(self) -> list[str]:
        with self._lock:
            return list(self._procs)

    def stop_all(self, wait: float = 1.0) -> None:
        """Cancels every extraction and gives them a moment to remove their partial files."""
        for job_id in self.running():
            self.cancel(job_id)
        deadline = time.monotonic() + wait
        while self.running() and time.monotonic() < deadline:
            time.sleep(0.02)

    def extract(self, path: str, start_ms: int, end_ms: int, job_id: str, mode: str, audio_only: bool,
                on_progress: Callable[[float], None] | None = None) -> dict:
        """Writes the clip and returns {"jobId", "path", "name", "sizeBytes"}.

        on_progress(fraction) is called now and then from this thread.
        Raises ClipCancelled after cancel(job_id), ClipError on failure; either way
        no partial file is left behind.
        """
        if mode not in MODES:
            raise ClipError(f"Unknown clip mode '{mode}'.")
        with self._lock:
            if job_id in self._procs:
                raise ClipError(f"A clip with the id {job_id} is already being made.")
            self._procs[job_id] = None
        try:
            return self._extract(path, start_ms, end_ms, job_id, mode, audio_only, on_progress)
        finally:
            with self._lock:
                self._procs.pop(job_id, None)
                self._cancelled.discard(job_id)

    def _is_cancelled(self, job_id: str) -> bool:
        with self._lock:
            return job_id in self._cancelled

    def _extract(self, path, start_ms, end_ms, job_id, mode, audio_only, on_progress):
        check_request(path, start_ms, end_ms)
        info = probe(path)
        if info["duration"] and start_ms >= info["duration"] * 1000:
            raise ClipError("The clip starts after the end of the media.")
        if not info["video"] and not info["audio"]:
            raise ClipError(f"{os.path.basename(path)} has no audio or video to cut.")
        if audio_only and not info["audio"]:
            raise ClipError(f"{os.path.basename(path)} has no sound to keep.")
        # Named as asked (as the suggestion was), cut no further than the media goes.
        requested_end = end_ms
        dest = suggest(path, start_ms, end_ms, audio_only, info)["path"]
        if info["duration"]:
            end_ms = min(end_ms, max(start_ms + 1, int(info["duration"] * 1000)))
        folder, name = os.path.split(dest)
        stem, ext = os.path.splitext(name)
        partial = os.path.join(folder, f".{stem}.{job_id[:12]}.part{ext}")
        cmd = build_command(path, partial, start_ms, end_ms, mode, audio_only, info)
        progress = None
        if on_progress is not None:
            # The last call (1.0) comes once the clip has its final name.
            def progress(fraction):
                if fraction < 1.0:
                    on_progress(fraction)
        run = media.FfmpegRun(command=cmd, duration=max(0.001, (end_ms - start_ms) / 1000), on_progress=progress,
                              interval=0.2)
        try:
            with self._lock:
                if job_id in self._cancelled:
                    raise ClipCancelled()
                self._procs[job_id] = run
            try:
                run.run()
            except media.Cancelled:
                raise ClipCancelled()
            except media.ToolFailed as exc:
                detail = str(exc).partition(": ")[2]
                raise ClipError("ffmpeg could not cut the clip" + (f": {detail}" if detail else "."))
            if self._is_cancelled(job_id):
                raise ClipCancelled()
            if not os.path.isfile(partial):
                raise ClipError("ffmpeg could not cut the clip.")
            # Named as suggested; when someone took that name meanwhile, the next free one.
            folder, base, ext = _clip_name(path, start_ms, requested_end, audio_only, info)
            final = str(media.place(partial, _candidates(folder, base, ext)))
        except BaseException:
            try:
                os.remove(partial)
            except FileNotFoundError:
                pass
            raise
        if on_progress is not None:
            on_progress(1.0)
        return {"jobId": job_id, "path": final, "name": os.path.basename(final),
                "sizeBytes": os.path.getsize(final)}
