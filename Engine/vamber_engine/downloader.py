"""Downloads: stream to a partial file with live progress, pause and resume with range requests,
cancel, convert with ffmpeg, save subtitles and thumbnails, record the result in the library.

A download's partial file lives in its output folder; what is needed to resume it (address, partial
path, validators) lives in the support folder under the job id, so a later "download.start" of the
same job resumes it, also after the engine was restarted.
"""

from __future__ import annotations

import hashlib
import json
import os
import shutil
import threading
import time
from collections import deque
from dataclasses import dataclass
from pathlib import Path
from typing import Callable, Optional

from . import adaptive, logs, manifests, media, pages, searchindex, timedtext
from .librarydb import THUMBNAIL, Item, Library
from .net import NetError, Response, Session
from .resolve import NotMedia, Resolved, pick_source, resolve

logger = logs.get(__name__)

CANCELLED = 1001
UNAVAILABLE = 1002
FAILED = 1003

PROGRESS_INTERVAL = 0.1  # seconds between two progress events of one job
CHUNK = 64 * 1024

VIDEO_CONTAINERS = {"MP4": ".mp4", "MKV": ".mkv", "WEBM": ".webm", "MOV": ".mov"}
AUDIO_CONTAINERS = {"MP3": ".mp3", "M4A": ".m4a", "OPUS": ".opus", "WAV": ".wav", "FLAC": ".flac"}
AUDIO_CODECS = {".mp3": ("mp3", ["-c:a", "libmp3lame", "-q:a", "2"]),
                ".m4a": ("aac", ["-c:a", "aac", "-b:a", "192k"]),
                ".opus": ("opus", ["-c:a", "libopus", "-b:a", "128k"]),
                ".wav": ("pcm_s16le", ["-c:a", "pcm_s16le"]),
                ".flac": ("flac", ["-c:a", "flac"])}
# Encoders for a chosen video codec, and the codec names ffprobe reports for them.
VIDEO_ENCODERS = {"H.264": ("h264", ["-c:v", "libx264", "-preset", "veryfast", "-crf", "23", "-pix_fmt", "yuv420p"]),
                  "H.265": ("hevc", ["-c:v", "libx265", "-preset", "fast", "-crf", "26", "-pix_fmt", "yuv420p"]),
                  "VP9": ("vp9", ["-c:v", "libvpx-vp9", "-deadline", "good", "-cpu-used", "4", "-b:v", "0",
                                  "-crf", "33"]),
                  "AV1": ("av1", ["-c:v", "libsvtav1", "-preset", "8", "-crf", "35"])}
# What each container is re-encoded to when its streams cannot simply be copied in.
CONTAINER_FALLBACK = {".mp4": ("H.264", ["-c:a", "aac", "-b:a", "160k"]),
                      ".mov": ("H.264", ["-c:a", "aac", "-b:a", "160k"]),
                      ".webm": ("VP9", ["-c:a", "libopus", "-b:a", "128k"]),
                      ".mkv": ("H.264", ["-c:a", "aac", "-b:a", "160k"])}
SUBTITLE_CODECS = {".mp4": "mov_text", ".mov": "mov_text", ".webm": "webvtt", ".mkv": "srt"}
TYPE_EXTENSIONS = {"video/mp4": ".mp4", "video/webm": ".webm", "video/quicktime": ".mov",
                   "video/x-matroska": ".mkv", "audio/mpeg": ".mp3", "audio/mp4": ".m4a", "audio/aac": ".aac",
                   "audio/ogg": ".ogg", "audio/opus": ".opus", "audio/wav": ".wav", "audio/x-wav": ".wav",
                   "audio/flac": ".flac", "video/mp2t": ".ts", "video/ogg": ".ogv", "audio/webm": ".webm"}


class DownloadError(Exception):
    def __init__(self, code: int, message: str, detail: Optional[str] = None):
        super().__init__(message)
        self.code = code
        self.message = message
        self.detail = detail


@dataclass
class Request:
    url: str
    quality: str = "1080p"
    container: str = "MP4"
    audioOnly: bool = False
    videoCodec: str = "Auto"
    subtitleMode: str = "off"
    saveThumbnail: bool = False
    embedCover: bool = False
    outputDir: str = ""
    singleVideo: bool = True
    allowListing: bool = False
    jobId: str = ""
    cookieSource: str = "None"
    cookiesFile: str = ""
    forceGeneric: bool = False
    fileName: str = ""

    @property
    def wants_audio_only(self) -> bool:
        """The sound alone: asked for as audio only, as quality "audio" or by an audio container."""
        return self.audioOnly or self.quality == "audio" or self.container in AUDIO_CONTAINERS


def human_size(n: float) -> str:
    for unit in ("B", "KB", "MB", "GB"):
        if n < 1024 or unit == "GB":
            return f"{int(n)} {unit}" if unit == "B" else f"{n:.1f} {unit}"
        n /= 1024
    return f"{int(n)} B"


class _Stop(Exception):
    pass


def _raise(err: Exception):
    raise err


class _Job:
    def __init__(self, req: Request, respond: Callable[[Callable[[], dict]], None]):
        self.req = req
        self.respond = respond
        self.stop_reason: Optional[str] = None  # "pause" or "cancel"
        self._lock = threading.Lock()
        self._response: Optional[Response] = None
        self._ffmpeg: Optional[media.FfmpegRun] = None
        self._more: set[Response] = set()  # answers being read side by side (segments)

    def stop(self, reason: str) -> None:
        with self._lock:
            if self.stop_reason != "cancel":  # a cancel outranks a pause
                self.stop_reason = reason
            if self._response is not None:
                self._response.abort()
            if self._ffmpeg is not None:
                self._ffmpeg.stop()
            for resp in self._more:
                resp.abort()

    def track(self, response: Response) -> None:
        """Another answer being read: a pause or cancel aborts it too."""
        with self._lock:
            self._more.add(response)
            stopped = self.stop_reason is not None
        if stopped:
            response.abort()

    def untrack(self, response: Response) -> None:
        with self._lock:
            self._more.discard(response)

    def attach(self, response: Optional[Response] = None, ffmpeg: Optional[media.FfmpegRun] = None) -> None:
        with self._lock:
            self._response = response
            self._ffmpeg = ffmpeg
            stopped = self.stop_reason is not None
        if stopped:
            if response is not None:
                response.abort()
            if ffmpeg is not None:
                ffmpeg.stop()

    def check(self) -> None:
        if self.stop_reason is not None:
            raise _Stop(self.stop_reason)


class _Progress:
    """Speed over the last few seconds, time left, and the pace of progress events: at most one per
    PROGRESS_INTERVAL, the latest figures always sent, and one a second while the transfer stalls."""

    def __init__(self, emit: Callable, job_id: str, protocol: str, start_bytes: int, total: int):
        self.emit = emit
        self.job_id = job_id
        self.protocol = protocol
        self.downloaded = start_bytes
        self.start_bytes = start_bytes
        self.total = total
        self.began = time.monotonic()
        self.samples: deque = deque([(self.began, start_bytes)])
        self.fragment = 0  # segments done, of fragment_count (0: not a segmented transfer)
        self.fragment_count = 0
        self.last_emit = 0.0
        self.sent_bytes = -1
        self._lock = threading.Lock()
        self._done = threading.Event()
        self._ticker = threading.Thread(target=self._tick, daemon=True)

    def __enter__(self) -> "_Progress":
        self.send()
        self._ticker.start()
        return self

    def __exit__(self, *exc):
        self._done.set()
        self._ticker.join(1.0)

    def _tick(self):
        while not self._done.wait(PROGRESS_INTERVAL):
            now = time.monotonic()
            with self._lock:
                due = now - self.last_emit >= PROGRESS_INTERVAL and (
                    self.sent_bytes != self.downloaded or now - self.last_emit >= 1.0)
            if due:
                self.send(now)

    def add(self, n: int) -> None:
        now = time.monotonic()
        with self._lock:
            self.downloaded += n
            self.samples.append((now, self.downloaded))
            while len(self.samples) > 2 and now - self.samples[0][0] > 3.0:
                self.samples.popleft()
            due = now - self.last_emit >= PROGRESS_INTERVAL
        if due:
            self.send(now)

    def speed(self, now: float) -> float:
        t0, b0 = self.samples[0]
        if now - self.samples[-1][0] > 1.0:  # stalled: what came lately is nothing
            t0, b0 = self.samples[-1]
        dt = now - t0
        return (self.downloaded - b0) / dt if dt > 0.05 else 0.0

    def send(self, now: Optional[float] = None) -> None:
        now = time.monotonic() if now is None else now
        with self._lock:
            self.last_emit = now
            self.sent_bytes = self.downloaded
            speed = self.speed(now)
            downloaded = self.downloaded
            fragment, fragment_count = self.fragment, self.fragment_count
        elapsed = now - self.began
        average = (downloaded - self.start_bytes) / elapsed if elapsed > 0.05 else 0.0
        total = max(self.total, 0)
        left = max(total - downloaded, 0) if total else 0
        eta = left / speed if speed > 0 and total else 0.0
        fraction = min(downloaded / total, 1.0) if total else 0.0
        self.emit("job.progress", {
            "jobId": self.job_id,
            "downloaded": int(downloaded), "total": int(total), "fraction": _finite(fraction),
            "speed": _finite(speed), "eta": _finite(eta), "fragment": fragment, "fragmentCount": fragment_count,
            "speedEngine": {"speed": _finite(speed), "average": _finite(average), "downloaded": int(downloaded),
                            "total": int(total), "eta": _finite(eta), "connections": 1, "protocol": self.protocol},
        })


def _finite(x: float) -> float:
    try:
        x = float(x)
    except (TypeError, ValueError):
        return 0.0
    return x if x == x and x not in (float("inf"), float("-inf")) else 0.0


class DownloadManager:
    """One per engine. At most `slots` downloads transfer at once, each on a thread of its own; the
    others wait in order and hold no thread."""

    def __init__(self, state_dir: str | Path, library: Library, emit: Callable[[str, dict], object],
                 heights: dict, default_dir: Callable[[], str], log: Callable[[str], None] = lambda m: None,
                 slots: int = 3, language: Callable[[], str] = lambda: "",
                 finished: Callable[[dict], None] = lambda done: None,
                 transcript_language: Callable[[], Optional[str]] = lambda: None,
                 origin: Callable[[str], Optional[tuple[str, str]]] = lambda url: None):
        self.state_dir = Path(state_dir)
        self.state_dir.mkdir(parents=True, exist_ok=True)
        self.library = library
        self.emit = emit
        self.heights = heights
        self.default_dir = default_dir
        self.log = log
        self.slots = slots
        self.language = language  # the interface language: audio in it is preferred
        # Told of every file a download placed (a listing's entries one by one), with the source's
        # subtitles in transcript_language() when it names one.
        self.finished = finished
        self.transcript_language = transcript_language
        self.origin = origin  # (title, playlist) of an address picked from a listing
        self._jobs: dict[str, _Job] = {}
        self._waiting: deque[_Job] = deque()
        self._busy = 0  # transfer slots in use
        self._lock = threading.Lock()
        self._prune()

    def _prune(self):
        """Forgets kept downloads whose partial file is gone (removed by hand, or a cleaned folder)."""
        for path in self.state_dir.glob("*.json"):
            try:
                state = json.loads(path.read_text("utf-8"))
                part = state.get("partPath") or state.get("folder")
            except (OSError, ValueError, AttributeError):
                part = None
            if not part or not os.path.exists(part):
                try:
                    path.unlink()
                except OSError:
                    pass

    # control
    def pause(self, job_id: str) -> bool:
        waiting = self._take_waiting(job_id)
        if waiting is not None:
            waiting.respond(lambda: _raise(DownloadError(CANCELLED, "The download was paused.", "paused")))
            return True
        with self._lock:
            job = self._jobs.get(job_id)
        if job is None:
            return False
        job.stop("pause")
        return True

    def cancel(self, job_id: str) -> bool:
        waiting = self._take_waiting(job_id)
        if waiting is not None:
            # A job resumed into the queue may still have a partial file from before its pause.
            waiting.respond(lambda: self._cancelled(job_id))
            return True
        with self._lock:
            job = self._jobs.get(job_id)
        if job is not None:
            job.stop("cancel")
            return True
        # A paused job, or one restored from the saved queue, has no worker: drop what it kept.
        return self._discard_job(job_id)

    def running(self) -> list[str]:
        with self._lock:
            return list(self._jobs)

    def stop_all(self, wait: float = 3.0) -> None:
        """At engine exit: pause every running download and give them a moment to stop, so each
        partial file and its resume record are left whole and resumable."""
        with self._lock:
            for job in self._waiting:
                del self._jobs[job.req.jobId]
            self._waiting.clear()
            jobs = list(self._jobs.values())
        for job in jobs:
            job.stop("pause")
        deadline = time.monotonic() + wait
        while time.monotonic() < deadline:
            with self._lock:
                if self._busy == 0:
                    return
            time.sleep(0.02)

    def forget_others(self, job_ids: set[str]) -> int:
        """Removes the partial downloads whose job is neither in job_ids nor under way here (with their
        records); returns how many records went. Only what a record of ours names is touched."""
        with self._lock:
            active = set(self._jobs)
        gone = 0
        for path, state in self._records():
            owner = state["jobId"].split("#", 1)[0]
            if owner in job_ids or owner in active:
                continue
            self._discard_record(path, state)
            gone += 1
        if gone:
            self.log(f"removed {gone} partial downloads whose job is gone")
        return gone

    def _records(self) -> list[tuple[Path, dict]]:
        out = []
        for path in self.state_dir.glob("*.json"):
            try:
                state = json.loads(path.read_text("utf-8"))
            except (OSError, ValueError):
                continue
            if isinstance(state, dict) and isinstance(state.get("jobId"), str) and state["jobId"]:
                out.append((path, state))
        return out

    def _discard_job(self, job_id: str) -> bool:
        """Drops the partial download of a job that is not running, and those of its listing's entries."""
        found = False
        state = self._load_state(job_id)
        if state:
            self._discard(job_id, state)
            found = True
        if self._load_state(f"{job_id}#listing") is not None:
            for path, entry in self._records():
                if entry["jobId"].startswith(job_id + "#"):
                    self._discard_record(path, entry)
            found = True
        return found

    # state of partial downloads
    def _state_path(self, job_id: str) -> Path:
        return self.state_dir / (hashlib.sha256(job_id.encode("utf-8")).hexdigest()[:32] + ".json")

    def _load_state(self, job_id: str) -> Optional[dict]:
        try:
            data = json.loads(self._state_path(job_id).read_text("utf-8"))
        except (OSError, ValueError):
            return None
        return data if isinstance(data, dict) and data.get("jobId") == job_id else None

    def _save_state(self, job_id: str, state: dict):
        path = self._state_path(job_id)
        tmp = path.with_suffix(".tmp")
        tmp.write_text(json.dumps(state), "utf-8")
        os.replace(tmp, path)

    def _discard(self, job_id: str, state: Optional[dict]):
        self._discard_record(self._state_path(job_id), state)

    def _discard_record(self, record: Path, state: Optional[dict]):
        """Removes the partial file or parts folder a record names, then the record. A listing's folder
        holds finished files and stays; a path that is not one of our partial names is never removed."""
        part = state.get("partPath") if state else None
        if isinstance(part, str) and part and _partial_name(part):
            if os.path.isdir(part) and not os.path.islink(part):
                shutil.rmtree(part, ignore_errors=True)
            else:
                try:
                    os.unlink(part)
                except FileNotFoundError:
                    pass
                except OSError as err:
                    self.log(f"could not remove {part}: {err}")
        try:
            record.unlink()
        except FileNotFoundError:
            pass

    # the download
    def submit(self, req: Request, respond: Callable[[Callable[[], dict]], None]) -> None:
        """Runs the download in a transfer slot, now or once one is free (the job is "queued" till
        then). respond(work) is called once, from the thread that ends the job, with a function that
        returns its result or raises its DownloadError. Raises DownloadError at once for a job id that
        is missing or already known."""
        if not req.jobId:
            raise DownloadError(FAILED, "A download needs a job id.", "jobId")
        job = _Job(req, respond)
        with self._lock:
            if req.jobId in self._jobs:
                raise DownloadError(FAILED, "This download is already running.", "running")
            self._jobs[req.jobId] = job
            if self._busy < self.slots:
                self._busy += 1
            else:
                # Said under the lock, so "queued" always comes before the job's "job.started".
                self._waiting.append(job)
                self.emit("job.state", {"jobId": req.jobId, "state": "queued"})
                return
        logs.spawn(self._slot, job, name="transfer")

    def _slot(self, job: Optional[_Job]):
        """One transfer slot: runs its job, then the longest-waiting one, until none waits."""
        while job is not None:
            current = job
            current.respond(lambda: self._execute(current))
            with self._lock:
                job = self._waiting.popleft() if self._waiting else None
                if job is None:
                    self._busy -= 1

    def _take_waiting(self, job_id: str) -> Optional[_Job]:
        """Removes a job that waits for a slot from the queue; None when it is not waiting."""
        with self._lock:
            job = self._jobs.get(job_id)
            if job is None or job not in self._waiting:
                return None
            self._waiting.remove(job)
            del self._jobs[job_id]
            return job

    def _execute(self, job: _Job) -> dict:
        req = job.req
        try:
            try:
                job.check()
                return self._run(job)
            except NetError as err:
                raise DownloadError(FAILED, str(err), err.kind) from err
            except NotMedia as err:
                raise DownloadError(FAILED, str(err), "not-media") from err
            except media.MissingTool as err:
                raise DownloadError(UNAVAILABLE, str(err), err.program) from err
            except media.ToolFailed as err:
                raise DownloadError(FAILED, str(err), "ffmpeg") from err
            except OSError as err:  # a full disk, a folder removed under the download
                where = f" ({err.filename})" if getattr(err, "filename", None) else ""
                raise DownloadError(FAILED, f"The file could not be written{where}: {err.strerror or err}.",
                                    "io") from err
        except _Stop as stop:
            if str(stop) == "cancel":
                self._cancelled(req.jobId)
            raise DownloadError(CANCELLED, "The download was paused.", "paused")
        except DownloadError as err:
            if err.code != CANCELLED:
                self.emit("job.state", {"jobId": req.jobId, "state": "failed", "message": err.message})
                self._log(req.jobId, "log_download_failed", "err", message=err.message)
            raise
        finally:
            with self._lock:
                if self._jobs.get(req.jobId) is job:
                    del self._jobs[req.jobId]

    def _cancelled(self, job_id: str):
        """Drops what a cancelled job kept and says so; raises the cancellation."""
        self._discard(job_id, self._load_state(job_id))
        self.emit("job.state", {"jobId": job_id, "state": "cancelled"})
        raise DownloadError(CANCELLED, "The download was cancelled.")

    def _log(self, job_id: str, key: str, level: str = "info", **params):
        self.emit("job.log", {"jobId": job_id, "key": key, "level": level,
                              "params": {k: str(v) for k, v in params.items()}})

    def _subtitle_bytes(self, job: _Job, session, track) -> Optional[bytes]:
        """One subtitle track's bytes, or None (said in the log) when it cannot be fetched."""
        job.check()
        try:
            with session.open(track.url) as resp:
                return resp.read_whole(8 << 20, f"The subtitles at {track.url}")
        except NetError as err:
            self._log(job.req.jobId, "log_subtitles_failed", "warn", lang=track.lang, message=str(err))
            return None

    def _run(self, job: _Job) -> dict:
        req = job.req
        out_dir = Path(os.path.expanduser(req.outputDir or self.default_dir()))
        self.emit("job.started", {"jobId": req.jobId, "url": req.url, "outputDir": str(out_dir),
                                  "quality": req.quality, "container": req.container, "audioOnly": req.audioOnly})
        try:
            out_dir.mkdir(parents=True, exist_ok=True)
        except OSError as err:
            raise DownloadError(UNAVAILABLE, f"The folder {out_dir} cannot be used: {err.strerror or err}.",
                                "outputDir")
        if not os.access(out_dir, os.W_OK):
            raise DownloadError(UNAVAILABLE, f"The folder {out_dir} cannot be written to.", "outputDir")
        try:
            session = Session(req.cookiesFile)
        except NetError as err:
            raise DownloadError(UNAVAILABLE, str(err), "cookiesFile")
        try:
            res = resolve(session, req.url)
        except NetError as err:
            raise DownloadError(FAILED, str(err), err.kind)
        except NotMedia as err:
            raise DownloadError(FAILED, str(err), "not-media")
        job.check()
        if res.is_listing:
            if not req.allowListing:
                raise DownloadError(FAILED, f"This address is a list of {len(res.entries)} media ({res.title}), not a single one.", "listing")
            return self._run_listing(job, session, res, out_dir)
        return self._download_one(job, session, res, out_dir, req.fileName, progress_span=None)

    def _run_listing(self, job: _Job, session: Session, res: Resolved, out_dir: Path) -> dict:
        """Every entry of a listing, one after another, into a folder named after it. A paused listing
        continues in the same folder with the entries it has not finished."""
        req = job.req
        list_key = f"{req.jobId}#listing"
        state = self._load_state(list_key)
        if state and state.get("url") == req.url and os.path.isdir(state.get("folder", "")):
            folder = Path(state["folder"])
        else:
            folder = _unique_path(out_dir, pages.safe_filename(res.title, "playlist"), "")
            folder.mkdir(parents=True, exist_ok=True)
            state = {"jobId": list_key, "url": req.url, "folder": str(folder), "done": []}
            self._save_state(list_key, state)
        entries = list(res.entries)
        count = len(entries)
        finished = set(state.get("done") or [])
        expanded = set()
        try:
            index = -1
            while index + 1 < len(entries):
                index += 1
                entry = entries[index]
                job.check()
                if entry.url in finished:
                    continue
                try:
                    sub = resolve(session, entry.url)
                    if sub.is_listing:
                        # A playlist inside the listing: its media take its place (each address once).
                        if entry.url not in expanded:
                            expanded.add(entry.url)
                            known = {e.url for e in entries}
                            entries[index + 1:index + 1] = [e for e in sub.entries if e.url not in known]
                            count = len(entries)
                        continue
                    sub.title = entry.title or sub.title
                    self._download_one(job, session, sub, folder, "", progress_span=(index, count),
                                       playlist=res.title, state_key=f"{req.jobId}#{index}")
                    finished.add(entry.url)
                    state["done"] = sorted(finished)
                    self._save_state(list_key, state)
                except (NetError, NotMedia) as err:
                    self._log(req.jobId, "log_download_failed", "err", message=f"{entry.title}: {err}")
                except DownloadError as err:
                    if err.code == CANCELLED:
                        raise
                    self._log(req.jobId, "log_download_failed", "err", message=f"{entry.title}: {err}")
        except (_Stop, DownloadError) as stop:
            cancelled = isinstance(stop, _Stop) and str(stop) == "cancel" or \
                (isinstance(stop, DownloadError) and stop.code == CANCELLED and stop.detail != "paused")
            if cancelled:
                for index in range(count):
                    key = f"{req.jobId}#{index}"
                    self._discard(key, self._load_state(key))
                self._discard_state_only(list_key)
            raise
        if not finished:
            self._discard_state_only(list_key)
            raise DownloadError(FAILED, f"None of the {count} media of {res.title} could be downloaded.")
        self._discard_state_only(list_key)
        self.emit("job.state", {"jobId": req.jobId, "state": "done", "filename": str(folder)})
        return {"jobId": req.jobId, "path": str(folder), "title": res.title}

    def _download_one(self, job: _Job, session: Session, res: Resolved, out_dir: Path, file_name: str,
                      progress_span, playlist: str = "", state_key: Optional[str] = None) -> dict:
        req = job.req
        key = state_key or req.jobId
        title = res.title or pages.title_from_url(res.final_url or req.url)
        origin = self.origin(req.url) if progress_span is None else None
        if origin is not None:
            # Picked from a listing: its playlist, and its title there unless a page gave one.
            if origin[0] and not res.webpage_url:
                title = origin[0]
            playlist = playlist or origin[1]
        if progress_span is None:
            self.emit("job.meta", {"jobId": req.jobId, "title": title, "thumbnail": res.thumbnail,
                                   "channel": res.channel, "duration": 0.0})
        source = pick_source(res.sources, req.quality, req.wants_audio_only, req.container, self.heights)
        stem = _stem(file_name) if file_name.strip() else pages.safe_filename(title)
        src_ext = pages.extension(source.url) or TYPE_EXTENSIONS.get(res.content_type, "")

        if res.kind == "stream":
            part, subtitles, folder = self._fetch_adaptive(job, session, source.url, out_dir, stem, key,
                                                           progress_span)
            result = self._finish(job, session, res, part, out_dir, stem, part.suffix, title, playlist, key,
                                  subtitles)
            shutil.rmtree(folder, ignore_errors=True)
            return result
        part = self._fetch(job, session, source.url, out_dir, stem, src_ext, key, progress_span)
        job.check()
        return self._finish(job, session, res, part, out_dir, stem, src_ext, title, playlist, key)

    def _fetch(self, job: _Job, session: Session, url: str, out_dir: Path, stem: str, src_ext: str, key: str,
               progress_span) -> Path:
        req = job.req
        state = self._load_state(key)
        if state and state.get("mediaUrl") == url and state.get("partPath") and os.path.exists(state["partPath"]):
            part = Path(state["partPath"])
            have = part.stat().st_size
        else:
            if state:
                self._discard(key, state)
            part = _unique_path(out_dir, f"{stem}.{hashlib.sha1(key.encode()).hexdigest()[:6]}{src_ext}",
                                ".part", exact=True)
            state = {"jobId": key, "url": req.url, "mediaUrl": url, "partPath": str(part), "etag": "",
                     "lastModified": "", "total": 0, "complete": False}
            self._save_state(key, state)
            have = 0
        total = int(state.get("total") or 0)
        if state.get("complete") and total and have == total:
            return part

        headers = {}
        if have > 0:
            headers["Range"] = f"bytes={have}-"
            validator = state.get("etag") if str(state.get("etag", "")).startswith('"') else state.get("lastModified")
            if validator:
                headers["If-Range"] = validator
        try:
            resp = session.open(url, "GET", headers, accept_status=(416,))
        except NetError as err:
            raise DownloadError(FAILED, str(err), err.kind)
        job.attach(response=resp)
        try:
            job.check()
            mode = "ab"
            if resp.status == 416:
                resp.close()
                if total and have == total:
                    state["complete"] = True
                    self._save_state(key, state)
                    return part
                # What we hold does not fit the file any more: start again.
                have = 0
                resp = session.open(url, "GET")
                job.attach(response=resp)
                mode = "wb"
            elif resp.status == 206 and (resp.content_range() or (None,))[0] == have:
                if have > 0:
                    self._log(req.jobId, "log_download_resumed", "info", done=human_size(have))
            elif resp.status == 206:
                # A range other than the one asked for: fetch the whole file instead.
                resp.close()
                have = 0
                resp = session.open(url, "GET")
                job.attach(response=resp)
                mode = "wb"
                if resp.status != 200:
                    raise DownloadError(FAILED, f"{url} did not send the whole file.", "network")
            elif have > 0:
                self._log(req.jobId, "log_download_restarted", "info")
                have = 0
                mode = "wb"
            total = resp.total_size() or 0
            state.update({"etag": resp.headers.get("ETag") or "", "lastModified": resp.headers.get("Last-Modified") or "",
                          "total": total})
            self._save_state(key, state)
            expected = resp.length
            protocol = "https" if url.lower().startswith("https:") else "http"
            progress = _Progress(self._span_emit(progress_span), req.jobId, protocol, have, total)
            received = 0
            with progress, open(part, mode, buffering=0) as f:  # what arrived survives a crash
                while True:
                    try:
                        chunk = resp.read(CHUNK)
                    except NetError as err:
                        job.check()
                        f.flush()
                        raise DownloadError(FAILED, self._lost_message(url, have + received, total, err), "network")
                    if not chunk:
                        break
                    f.write(chunk)
                    received += len(chunk)
                    progress.add(len(chunk))
                    if job.stop_reason is not None:
                        break
                f.flush()
            job.check()
            if expected is not None and received < expected:
                raise DownloadError(FAILED, self._lost_message(url, have + received, total, None), "network")
            progress.total = total or progress.downloaded
            progress.send()
            state["complete"] = True
            state["total"] = have + received if not total else total
            self._save_state(key, state)
            return part
        finally:
            job.attach(None)
            resp.close()

    def _lost_message(self, url: str, done: int, total: int, err: Optional[Exception]) -> str:
        from urllib.parse import urlsplit
        parts = urlsplit(url)
        where = parts.netloc or url
        of = (f" of {human_size(total)}") if total else ""
        why = "the connection was lost" if err is None or getattr(err, "kind", "") == "dropped" else str(err).rstrip(".")
        return (f"The download from {where} stopped after {human_size(done)}{of}: {why[0].lower() + why[1:]}. "
                "The part already downloaded is kept; try again to continue.")

    def _span_emit(self, span):
        """Progress of one entry of a listing, scaled into the listing's whole."""
        if span is None:
            return self.emit
        index, count = span

        def emit(name, params):
            params = dict(params)
            params["fraction"] = _finite((index + params["fraction"]) / count)
            params["fragment"] = index + 1
            params["fragmentCount"] = count
            return self.emit(name, params)
        return emit

    def _fetch_adaptive(self, job: _Job, session: Session, url: str, out_dir: Path, stem: str, key: str,
                        progress_span) -> tuple[Path, list[Path], Path]:
        """An HLS or DASH stream: the renditions the request asks for, fetched segment by segment into a
        parts folder that a pause keeps, and joined into one file there (the chosen video container, or
        Matroska). Returns the file, the subtitle files and the folder."""
        req = job.req
        try:
            media.require("ffmpeg")
        except media.MissingTool as err:
            raise DownloadError(UNAVAILABLE, str(err), "ffmpeg")
        audio_only = req.wants_audio_only
        try:
            manifest = manifests.load(session, url)
            plan = adaptive.plan(session, manifest, req.quality, audio_only, self.language(),
                                 req.subtitleMode != "off" or bool(self.transcript_language()))
        except (manifests.ManifestError, adaptive.StreamError) as err:
            raise DownloadError(FAILED, str(err), err.detail)
        if manifest.periods > 1:
            self._log(req.jobId, "log_stream_first_period", "warn", count=manifest.periods)
        for note in plan.notes:
            self._log(req.jobId, "log_subtitles_failed", "warn", lang=note[0], message=note[1])
        job.check()
        state = self._load_state(key)
        if (state and state.get("mediaUrl") == url and state.get("plan") == plan.key()
                and os.path.isdir(state.get("partPath", ""))):
            folder = Path(state["partPath"])
        else:
            if state:
                self._discard(key, state)
            folder = _unique_path(out_dir, f"{stem}.{hashlib.sha1(key.encode()).hexdigest()[:6]}", ".parts",
                                  exact=True)
            folder.mkdir()
            state = {"jobId": key, "url": req.url, "mediaUrl": url, "partPath": str(folder), "plan": plan.key()}
            self._save_state(key, state)

        fetcher = adaptive.Fetcher(session, plan, folder, None, lambda: job.stop_reason is not None, job.track,
                                   job.untrack)
        have, count = fetcher.existing()
        if have:
            self._log(req.jobId, "log_download_resumed", "info", done=human_size(have))
        progress = _Progress(self._span_emit(progress_span), req.jobId, manifest.kind, have, 0)
        progress.fragment, progress.fragment_count = count, sum(len(t.items) for t in plan.tracks)
        progress.total = max(fetcher.total_estimate(), have)
        fetcher.progress = progress

        # Picture and sound are joined into one file by ffmpeg without re-encoding: while they are
        # fetched when their segments allow it, else from the fetched files afterwards.
        tracks = [t for t in (plan.video, plan.audio) if t is not None]
        maps: list[str] = []
        meta: list[str] = []
        if plan.video is not None:
            maps += ["-map", "0:v:0?"]
            if plan.audio is None:
                maps += ["-map", "0:a:0?"]  # the sound comes inside the variant
        if plan.audio is not None:
            maps += ["-map", f"{len(tracks) - 1}:a:0"]
            if plan.audio.rendition.language:
                meta += ["-metadata:s:a:0",
                         f"language={manifests.container_language(plan.audio.rendition.language)}"]
        # Straight into the chosen video container when it can hold the streams as they are (one
        # remux instead of two); Matroska, which holds anything, otherwise or when that fails.
        ext = VIDEO_CONTAINERS.get(req.container, ".mkv") if plan.video is not None and not audio_only else ".mkv"
        joined = folder / f"joined{ext}"
        movflags = ["-movflags", "+faststart"] if ext in (".mp4", ".mov") else []
        output = maps + ["-c", "copy"] + meta + movflags + [media.file_arg(joined)]
        duration = tracks[0].segments.duration
        piped = adaptive.PipeJoin(fetcher, tracks, output, duration) \
            if all(adaptive.can_pipe(t) for t in tracks) else None
        if piped is not None:
            try:
                piped.start()
                job.attach(ffmpeg=piped.run)
            except OSError as err:
                logger.warning(f"cannot join while fetching ({err}); joining afterwards")
                piped = None
        try:
            try:
                with progress:
                    fetcher.run()
            except adaptive.Stopped:
                job.check()
                raise DownloadError(FAILED, "The download stopped.", "network")
            except adaptive.StreamError as err:
                job.check()
                raise DownloadError(FAILED, str(err), err.detail)
            except NetError as err:
                job.check()
                raise DownloadError(FAILED, str(err), err.kind)
        except BaseException:
            if piped is not None:
                piped.stop()
                try:
                    piped.finish()
                except (media.Cancelled, media.ToolFailed, media.MissingTool):
                    pass
                job.attach(None)
            raise
        job.check()
        progress.total = progress.downloaded
        progress.send()

        self.emit("job.state", {"jobId": req.jobId, "state": "processing"})
        if piped is not None:
            try:
                piped.finish()
            except media.Cancelled:
                job.check()  # only the user's pause or cancel is one; anything else joins from the files
                logger.warning("joining while fetching stopped; joining the fetched files instead")
                piped = None
            except media.ToolFailed as err:
                logger.warning(f"joining while fetching failed ({err}); joining the fetched files instead")
                piped = None
            finally:
                job.attach(None)
        if piped is None:
            inputs: list[str] = []
            for track in tracks:
                inputs += adaptive.track_input(fetcher, track)
            tries = [(joined, output)]
            if ext != ".mkv":
                mkv = folder / "joined.mkv"
                tries.append((mkv, maps + ["-c", "copy"] + meta + [media.file_arg(mkv)]))
            for n, (joined, args) in enumerate(tries, 1):
                run = media.FfmpegRun(inputs + args, duration)
                job.attach(ffmpeg=run)
                try:
                    run.run()
                    break
                except media.Cancelled:
                    job.check()
                    raise
                except media.ToolFailed as err:
                    if n == len(tries):
                        raise DownloadError(FAILED, f"The stream's parts could not be joined: {err}", "ffmpeg")
                finally:
                    job.attach(None)
        job.check()
        return joined, self._stream_subtitles(req.jobId, fetcher, plan), folder

    def _stream_subtitles(self, job_id: str, fetcher, plan) -> list[Path]:
        """The fetched subtitle tracks as files; one that cannot be read is left out with a note."""
        out = []
        for track in plan.subtitles:
            if track.name in fetcher.dropped:
                self._log(job_id, "log_subtitles_failed", "warn", lang=track.rendition.language or "und",
                          message=fetcher.dropped[track.name])
                continue
            try:
                out.append(adaptive.join_subtitles(fetcher, track))
            except (timedtext.Unreadable, OSError, UnicodeError) as err:
                self._log(job_id, "log_subtitles_failed", "warn", lang=track.rendition.language or "und",
                          message=f"they cannot be converted: {err}")
        return out

    # after the transfer
    def _finish(self, job: _Job, session: Session, res: Resolved, part: Path, out_dir: Path, stem: str,
                src_ext: str, title: str, playlist: str, key: str, subtitles: Optional[list[Path]] = None) -> dict:
        """Converts, names and records a fetched file; `subtitles` are subtitle files already fetched
        (the source's own tracks are fetched here otherwise)."""
        req = job.req
        wanted_language = self.transcript_language()
        transcript = self._subtitles_in(job, session, res.tracks, subtitles, wanted_language) \
            if wanted_language else None
        info: Optional[media.ProbeResult] = None
        try:
            info = media.probe(part)
        except (media.MissingTool, media.ToolFailed):
            info = None
        if info is not None and info.duration and key == req.jobId:
            self.emit("job.meta", {"jobId": req.jobId, "title": title, "thumbnail": res.thumbnail,
                                   "channel": res.channel, "duration": _finite(info.duration)})
        has_video = info.has_video if info is not None else pages.media_kind("", "x" + src_ext) == "video"
        audio_out = req.wants_audio_only or (info is not None and not info.has_video)
        if audio_out:
            if req.container in AUDIO_CONTAINERS:
                ext = AUDIO_CONTAINERS[req.container]
            elif req.audioOnly or req.quality == "audio":
                # Asked for the sound alone with a video container chosen: the audio-only file type.
                ext = ".mp3"
            else:
                ext = src_ext or ".m4a"
        else:
            ext = VIDEO_CONTAINERS.get(req.container, src_ext or ".mp4")

        # Subtitles and covers fetched for the job are removed whatever happens (pause, failure);
        # the ones kept have been moved beside the file by then.
        temps: list[Path] = []
        try:
            subs_files, subs_embed = [], []
            if req.subtitleMode in ("file", "embed", "both") and (res.tracks or subtitles):
                fetched = list(subtitles) if subtitles is not None else \
                    self._fetch_subtitles(job, session, res.tracks, part.parent)
                temps.extend(fetched)
                if req.subtitleMode in ("embed", "both") and not audio_out and ext in SUBTITLE_CODECS:
                    subs_embed = fetched
                if req.subtitleMode in ("file", "both"):
                    subs_files = fetched

            cover: Optional[Path] = None
            if req.saveThumbnail or (req.embedCover and ext in (".mp3", ".m4a", ".mp4", ".mov", ".mkv", ".flac")):
                cover = self._fetch_thumbnail(job, session, res.thumbnail, part, has_video)
                if cover is not None:
                    temps.append(cover)

            codec_choice = VIDEO_ENCODERS.get(req.videoCodec) if not audio_out else None
            needs_codec = codec_choice is not None and (info is None or info.video_codec != codec_choice[0])
            wants_cover = req.embedCover and cover is not None and ext in (".mp3", ".m4a", ".mp4", ".mov", ".mkv", ".flac")
            needs_work = (ext != src_ext or bool(subs_embed) or needs_codec or wants_cover
                          or (audio_out and info is not None and info.has_video))
            temp_out: Optional[Path] = None
            try:
                if needs_work:
                    try:
                        media.require("ffmpeg")
                    except media.MissingTool as err:
                        raise DownloadError(UNAVAILABLE, str(err), "ffmpeg")
                    temp_out = _unique_path(part.parent, f".{stem}.converting", ext, exact=True)
                    try:
                        self._convert(job, part, temp_out, ext, audio_out, info, subs_embed,
                                      cover if wants_cover else None, codec_choice if needs_codec else None)
                    except DownloadError as err:
                        if not subs_embed or err.code == CANCELLED:
                            raise
                        # Subtitles never cost the video: it is made again without them.
                        self._log(req.jobId, "log_subtitles_failed", "warn", lang="all",
                                  message=f"they cannot be embedded: {err.message}")
                        subs_embed = []
                        self._convert(job, part, temp_out, ext, audio_out, info, [],
                                      cover if wants_cover else None, codec_choice if needs_codec else None)
                    produced = temp_out
                else:
                    produced = part
                job.check()
                final = media.place_numbered(produced, out_dir, stem, ext)
                temp_out = None
            finally:
                if temp_out is not None and temp_out.exists():
                    temp_out.unlink()
            if produced is not part:
                try:
                    part.unlink()
                except FileNotFoundError:
                    pass
            for path in subs_embed:
                if path not in subs_files:
                    _unlink_quietly(path)

            saved_subs = []
            for path in subs_files:
                lang = path.name.split(".")[-2] if path.name.count(".") >= 2 else "und"
                saved_subs.append(str(media.place_numbered(path, out_dir, f"{final.stem}.{lang}", path.suffix)))
            thumb_path = ""
            if cover is not None:
                if req.saveThumbnail:
                    thumb_path = str(media.place_numbered(cover, out_dir, final.stem, cover.suffix))
                else:
                    _unlink_quietly(cover)
        finally:
            for path in temps:
                _unlink_quietly(path)
        self._discard_state_only(key)

        kind = "audio" if audio_out or not has_video else "video"
        self.library.add(Item(path=str(final), title=title, url=req.url, kind=kind, thumbURL=res.thumbnail,
                              thumbPath=thumb_path, channel=res.channel, playlist=playlist))
        if thumb_path:
            self.library.add(Item(path=thumb_path, title=title, url=req.url, kind=THUMBNAIL, thumbURL=res.thumbnail,
                                  thumbPath=thumb_path, channel=res.channel, playlist=playlist, parent=str(final)))
        for path in saved_subs:
            self._log(req.jobId, "log_subtitles_saved", "info", path=path)
        self._log(req.jobId, "log_download_done", "ok", title=title, path=str(final))
        if key == req.jobId:
            self.emit("job.state", {"jobId": req.jobId, "state": "done", "filename": str(final)})
        try:
            self.finished({"jobId": req.jobId, "path": str(final), "title": title, "subtitles": transcript,
                           "subtitleLanguage": wanted_language if transcript is not None else ""})
        except Exception as err:  # the file is downloaded whatever happens after
            self.log(f"after the download of {final}: {err!r}")
        return {"jobId": req.jobId, "path": str(final), "title": title}

    def _subtitles_in(self, job: _Job, session: Session, tracks, fetched: Optional[list[Path]],
                      language: str) -> Optional[list]:
        """The cues of the source's subtitles in language (fetched ones first), or None when it has none."""
        for path in fetched or []:
            lang = path.name.split(".")[-2] if path.name.count(".") >= 2 else ""
            if manifests.primary_language(lang) == language:
                try:
                    cues = searchindex.parse_subtitles(path.read_text("utf-8", errors="replace"))
                except OSError:
                    continue
                if cues:
                    return cues
        for track in tracks or []:
            if manifests.primary_language(track.lang) != language:
                continue
            data = self._subtitle_bytes(job, session, track)
            if data is None:
                continue
            cues = searchindex.parse_subtitles(data.decode("utf-8", errors="replace"))
            if cues:
                return cues
        return None

    def _discard_state_only(self, key: str):
        try:
            self._state_path(key).unlink()
        except FileNotFoundError:
            pass

    def _convert(self, job: _Job, src: Path, dest: Path, ext: str, audio_out: bool,
                 info: Optional[media.ProbeResult], subs: list[Path], cover: Optional[Path], codec):
        req = job.req
        duration = info.duration if info is not None else 0.0

        def converting(fraction):
            self.emit("job.state", {"jobId": req.jobId, "state": "converting", "fraction": _finite(fraction)})

        def attempt(args, state):
            if state == "processing":
                self.emit("job.state", {"jobId": req.jobId, "state": "processing"})
                run = media.FfmpegRun(args, duration, None)
            else:
                converting(0.0)
                run = media.FfmpegRun(args, duration, converting)
            job.attach(ffmpeg=run)
            try:
                run.run()
            except media.Cancelled:
                job.check()
                raise
            finally:
                job.attach(None)

        inputs = media.input_args(src)
        maps: list[str] = []
        extra: list[str] = []
        if audio_out:
            target_codec, encode = AUDIO_CODECS.get(ext, ("", ["-c:a", "aac"]))
            maps = ["-map", "0:a:0"]
            copy_ok = info is not None and info.audio_codec == target_codec
            audio_args = ["-c:a", "copy"] if copy_ok else encode
            if cover is not None and ext in (".mp3", ".m4a", ".flac"):
                inputs += media.input_args(cover)
                maps += ["-map", "1:v:0"]
                extra += ["-c:v", "copy" if cover.suffix == ".jpg" else "mjpeg", "-disposition:v:0", "attached_pic"]
                if ext == ".mp3":
                    extra += ["-id3v2_version", "3"]
            args = inputs + maps + audio_args + extra + ["-map_metadata", "0", media.file_arg(dest)]
            try:
                attempt(args, "processing" if copy_ok else "converting")
            except media.ToolFailed as err:
                raise DownloadError(FAILED, f"The audio could not be converted: {err}", "ffmpeg")
            return

        maps = ["-map", "0:v:0?", "-map", "0:a?"]
        for i, sub in enumerate(subs):
            inputs += media.input_args(sub)
            maps += ["-map", f"{i + 1}:0"]
            lang = sub.name.split(".")[-2] if sub.name.count(".") >= 2 else "und"
            extra += [f"-metadata:s:s:{i}", f"language={manifests.container_language(lang)}"]
        if subs:
            extra += ["-c:s", SUBTITLE_CODECS.get(ext, "copy")]
        cover_args: list[str] = []
        if cover is not None:
            idx = len(subs) + 1
            if ext == ".mkv":
                cover_args = ["-attach", media.file_arg(cover), "-metadata:s:t", "mimetype=image/"
                              + ("png" if cover.suffix == ".png" else "jpeg")]
            else:
                inputs += media.input_args(cover)
                maps += ["-map", f"{idx}:v:0"]
                cover_args = ["-disposition:v:1", "attached_pic"]
        movflags = ["-movflags", "+faststart"] if ext in (".mp4", ".mov") else []
        if codec is None:
            copy_args = (inputs + maps + ["-c:v", "copy", "-c:a", "copy"] + extra + cover_args + movflags
                         + [media.file_arg(dest)])
            try:
                attempt(copy_args, "processing")
                return
            except media.ToolFailed:
                pass  # the streams do not fit the container as they are: re-encode them
            codec_name = CONTAINER_FALLBACK.get(ext, ("H.264", ["-c:a", "aac"]))[0]
            codec = VIDEO_ENCODERS[codec_name]
        audio_args = CONTAINER_FALLBACK.get(ext, ("H.264", ["-c:a", "aac"]))[1]
        if info is not None and ext in (".mkv",):
            audio_args = ["-c:a", "copy"]
        video_args = list(codec[1])
        if cover is not None and ext != ".mkv":
            video_args = [a.replace("-c:v", "-c:v:0") if a == "-c:v" else a for a in video_args] + ["-c:v:1", "mjpeg"]
        args = inputs + maps + video_args + audio_args + extra + cover_args + movflags + [media.file_arg(dest)]
        try:
            attempt(args, "converting")
        except media.ToolFailed as err:
            raise DownloadError(FAILED, f"The video could not be converted to {ext[1:].upper()}: {err}", "ffmpeg")

    def _fetch_subtitles(self, job: _Job, session: Session, tracks, folder: Path) -> list[Path]:
        saved = []
        seen = set()
        for track in tracks:
            lang = pages.safe_filename(track.lang, "und").replace(".", "_").replace(" ", "_")
            if lang in seen:
                continue
            data = self._subtitle_bytes(job, session, track)
            if data is None:
                continue
            ext = pages.extension(track.url)
            if ext not in (".vtt", ".srt", ".ass", ".ssa", ".ttml"):
                ext = ".vtt" if data.lstrip(b"\xef\xbb\xbf").startswith(b"WEBVTT") else ".srt"
            path = _unique_path(folder, f".sub-{hashlib.sha1(track.url.encode()).hexdigest()[:6]}.{lang}", ext,
                                exact=True)
            path.write_bytes(data)
            seen.add(lang)
            saved.append(path)
        return saved

    def _fetch_thumbnail(self, job: _Job, session: Session, url: str, part: Path, has_video: bool) -> Optional[Path]:
        base = part.parent / (f".thumb-{hashlib.sha1(str(part).encode()).hexdigest()[:8]}")
        if url:
            try:
                with session.open(url) as resp:
                    data = resp.read_whole(16 << 20, f"The picture at {url}")
                path = store_image(data, base)
                if path is not None:
                    return path
            except NetError as err:
                self._log(job.req.jobId, "log_thumbnail_failed", "warn", message=str(err))
        if has_video:
            try:
                dest = base.with_suffix(".jpg")
                media.extract_frame(part, dest, 1.0)
                return dest
            except (media.MissingTool, media.ToolFailed) as err:
                self._log(job.req.jobId, "log_thumbnail_failed", "warn", message=str(err))
        return None


def store_image(data: bytes, base: Path) -> Optional[Path]:
    """Writes image bytes as base.jpg or base.png (other formats converted to JPEG with ffmpeg)."""
    if data.startswith(b"\xff\xd8\xff"):
        path = base.with_suffix(".jpg")
    elif data.startswith(b"\x89PNG\r\n\x1a\n"):
        path = base.with_suffix(".png")
    else:
        raw = base.with_suffix(".img")
        raw.write_bytes(data)
        path = base.with_suffix(".jpg")
        try:
            media.extract_frame(raw, path, 0.0)
        except (media.MissingTool, media.ToolFailed):
            return None
        finally:
            _unlink_quietly(raw)
        return path
    tmp = path.with_suffix(path.suffix + ".tmp")
    tmp.write_bytes(data)
    os.replace(tmp, path)
    return path




def _stem(name: str) -> str:
    """A chosen file name as a stem: known media extensions dropped, made safe for the file system."""
    name = name.strip()
    ext = pages.extension("x/" + name)
    if ext in pages.MEDIA_EXTENSIONS:
        name = name[: -len(ext)]
    return pages.safe_filename(name)


def _unique_path(folder: Path, stem: str, ext: str, exact: bool = False) -> Path:
    """folder/stem+ext, or folder/"stem (2)"+ext and so on when taken."""
    candidate = folder / (stem + ext)
    n = 2
    while candidate.exists() or candidate.is_symlink():
        candidate = folder / (("%s.%d" if exact else "%s (%d)") % (stem, n) + ext)
        n += 1
    return candidate


def _partial_name(path: str) -> bool:
    """Whether a path has the name of a partial file or parts folder this engine makes."""
    name = os.path.basename(path.rstrip("/"))
    return name.endswith(".part") or name.endswith(".parts")


def _unlink_quietly(path: Path):
    try:
        os.unlink(path)
    except OSError:
        pass
