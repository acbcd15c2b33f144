"""Downloading an adaptive stream: the renditions a request asks for, fetched segment by segment by
the engine's own HTTP layer several at a time into a parts folder (kept across a pause, so a resume
fetches only what is missing), and joined by ffmpeg without re-encoding — while they are fetched
(`PipeJoin`: each track's segments written in order into a named pipe), or afterwards from a playlist
of the fetched files (`track_input`).

Encrypted HLS segments (AES-128) are stored as they came with their keys beside them; ffmpeg decrypts
them while joining them from the local playlist (only the file and crypto protocols allowed).
"""

from __future__ import annotations

import fcntl
import math
import os
import shutil
import tempfile
import threading
from concurrent.futures import FIRST_EXCEPTION, ThreadPoolExecutor, wait
from dataclasses import dataclass, field
from pathlib import Path
from typing import Callable, Optional

from . import logs, manifests, media, timedtext
from .manifests import Manifest, Rendition, Segment, SegmentList
from .net import NetError, Response, Session

FETCHERS = 4  # segments fetched at once for one download
CHUNK = 64 * 1024
KEY_LIMIT = 1024
LOCAL_PROTOCOLS = "file,crypto"
THREAD_QUEUE = 4096  # packets ffmpeg queues per piped input
PIPE_BUFFER = 1 << 20  # bytes a pipe holds (Linux), so a feeder rarely waits on ffmpeg
F_SETPIPE_SZ = getattr(fcntl, "F_SETPIPE_SZ", 1031)

logger = logs.get(__name__)


class StreamError(Exception):
    """The stream cannot be downloaded; str() says why. `detail` names the case for the reply."""

    def __init__(self, message: str, detail: str):
        super().__init__(message)
        self.detail = detail


class Stopped(Exception):
    """The job was paused or cancelled while fetching."""


@dataclass
class Track:
    name: str  # "video", "audio" or "sub-<language>"
    rendition: Rendition
    segments: SegmentList

    @property
    def items(self) -> list[tuple[int, Segment]]:
        """(index, segment) of everything to fetch: the initialization part is index 0."""
        first = [(0, self.segments.init)] if self.segments.init is not None else []
        return first + [(i + 1, s) for i, s in enumerate(self.segments.segments)]

    def estimate(self) -> int:
        """Bytes the track should take, from its bit rate (0 when unknown)."""
        return int(self.rendition.bandwidth / 8 * self.segments.duration) if self.rendition.bandwidth else 0


@dataclass
class Plan:
    manifest: Manifest
    video: Optional[Track]
    audio: Optional[Track]
    subtitles: list[Track]
    notes: list[tuple[str, str]] = field(default_factory=list)  # (language, why) of subtitles left out

    @property
    def tracks(self) -> list[Track]:
        return [t for t in (self.video, self.audio) if t is not None] + self.subtitles

    def key(self) -> list[str]:
        """What identifies the plan across a pause: the renditions chosen."""
        return [f"{t.name}={t.rendition.uri}" for t in self.tracks]


def plan(session: Session, manifest: Manifest, quality: str, audio_only: bool, language: str,
         with_subtitles: bool) -> Plan:
    """The renditions to fetch for a request. Raises StreamError for live and protected streams."""
    if manifest.drm:
        raise StreamError(manifests.DRM_MESSAGE, "drm")
    if manifest.live:
        raise StreamError(manifests.LIVE_MESSAGE, "live")
    video = audio = None
    if audio_only:
        audio = manifests.pick_audio(manifest, None, language)
        if audio is None:  # the sound only comes inside the variants: take the lightest one
            video = min(manifest.videos, key=lambda r: (r.bandwidth, r.height), default=None)
    else:
        video = manifests.pick_video(manifest, quality)
        audio = manifests.pick_audio(manifest, video, language)
    if video is None and audio is None:
        raise StreamError("The stream offers nothing that can be downloaded.", "empty")
    tracks = {}
    for name, rendition in (("video", video), ("audio", audio)):
        if rendition is not None:
            tracks[name] = Track(name, rendition, _segments(session, manifest, rendition))
    subtitles, notes = [], []
    if with_subtitles:
        for r in manifests.pick_subtitles(manifest):
            try:
                subtitles.append(Track(f"sub-{_safe(r.language or 'und')}", r, _segments(session, manifest, r)))
            except (NetError, manifests.ManifestError, StreamError) as err:
                logger.warning(f"subtitles in {r.language or 'an unknown language'} left out: {err}")
                notes.append((r.language or "und", str(err)))
    return Plan(manifest, tracks.get("video"), tracks.get("audio"), subtitles, notes)


def _segments(session: Session, manifest: Manifest, rendition: Rendition) -> SegmentList:
    try:
        segments = manifests.segments_of(session, manifest, rendition)
    except manifests.ManifestError as err:
        raise StreamError(str(err), err.detail)
    if not segments.ended:
        raise StreamError(manifests.LIVE_MESSAGE, "live")
    if not segments.segments:
        raise StreamError("The stream lists no segments.", "empty")
    return segments


def _safe(text: str) -> str:
    return "".join(c if c.isalnum() or c in "-_" else "_" for c in text)[:32] or "und"


class Fetcher:
    """Fetches every segment of a plan into `folder`, FETCHERS at a time; what is there already (a
    resumed download) is not fetched again. Progress goes to `progress` (a downloader._Progress)."""

    def __init__(self, session: Session, plan_: Plan, folder: Path, progress, stopped: Callable[[], bool],
                 track: Callable[[Response], None], untrack: Callable[[Response], None]):
        self.session = session
        self.plan = plan_
        self.folder = folder
        self.progress = progress
        self.stopped = stopped
        self._track = track
        self._untrack = untrack
        self._keys: dict[str, Path] = {}
        self._lock = threading.Lock()
        self._failed = threading.Event()
        self._open: set[Response] = set()
        self._done_bytes: dict[str, int] = {}
        self._done_count: dict[str, int] = {}
        self.landed = threading.Condition()  # notified each time a segment file is complete
        self.dropped: dict[str, str] = {}  # subtitle tracks left out: name -> why

    def path(self, track: Track, index: int) -> Path:
        ext = ".mp4" if index == 0 else _segment_ext(track)
        return self.folder / f"{track.name}-{index:06d}{ext}"

    def existing(self) -> tuple[int, int]:
        """(bytes, segments) already in the folder, counted into the estimate."""
        size = count = 0
        for track in self.plan.tracks:
            for index, _ in track.items:
                p = self.path(track, index)
                if p.exists():
                    n = p.stat().st_size
                    size += n
                    count += 1
                    self._note_done(track, n)
                else:
                    partial = p.with_name(p.name + ".tmp")
                    if partial.exists():
                        size += partial.stat().st_size
        return size, count

    def total_estimate(self) -> int:
        """Bytes done plus, per track, what its remaining segments should take: at the average size
        of the segments it has so far, or from its bit rate before it has any."""
        total = 0
        with self._lock:
            for track in self.plan.tracks:
                n = len(track.items)
                done = self._done_count.get(track.name, 0)
                have = self._done_bytes.get(track.name, 0)
                if done:
                    total += have + int(have / done * (n - done))
                else:
                    total += track.estimate()
        return total

    def _note_done(self, track: Track, size: int):
        with self._lock:
            self._done_bytes[track.name] = self._done_bytes.get(track.name, 0) + size
            self._done_count[track.name] = self._done_count.get(track.name, 0) + 1

    def run(self) -> None:
        # In playing order across the tracks, so a join that reads them as they land never waits
        # for one track while another is far ahead.
        work = [(start, n, t, i, s) for n, t in enumerate(self.plan.tracks) for (i, s), start in _starts(t)
                if not self.path(t, i).exists()]
        work = [(t, i, s) for _, _, t, i, s in sorted(work, key=lambda w: w[:2] + (w[3],))]
        if not work:
            return
        with ThreadPoolExecutor(max_workers=min(FETCHERS, len(work)), thread_name_prefix="segment") as pool:
            futures = [pool.submit(logs.carry(self._fetch_one), t, i, s) for t, i, s in work]
            done, _ = wait(futures, return_when=FIRST_EXCEPTION)
            failure = next((f.exception() for f in done if f.exception() is not None), None)
            if failure is not None:
                self._failed.set()
                with self._lock:
                    for resp in list(self._open):
                        resp.abort()
                for f in futures:
                    f.cancel()
        if failure is not None:
            raise failure

    def _fetch_one(self, track: Track, index: int, segment: Segment) -> None:
        if not track.name.startswith("sub-"):
            return self._fetch_media(track, index, segment)
        if track.name in self.dropped:
            return None
        try:
            return self._fetch_media(track, index, segment)
        except StreamError as err:  # subtitles that cannot be fetched never cost the video
            with self._lock:
                self.dropped.setdefault(track.name, str(err))
            return None

    def _fetch_media(self, track: Track, index: int, segment: Segment) -> None:
        if self._failed.is_set() or self.stopped():
            raise Stopped()
        if segment.key is not None:
            self._key(segment.key.uri)
        dest = self.path(track, index)
        tmp = dest.with_name(dest.name + ".tmp")
        for attempt in (1, 2):
            try:
                self._download(segment, tmp)
                break
            except NetError as err:
                if self.stopped() or self._failed.is_set():
                    raise Stopped()  # what came is kept for the resume (and stays counted)
                self.progress.add(-getattr(err, "received", 0))
                _unlink(tmp)
                if attempt == 2 or err.kind not in ("dropped", "timeout"):
                    what = "initialization part" if index == 0 else f"segment {index} of {len(track.segments.segments)}"
                    raise StreamError(f"The {what} of the {_track_words(track)} could not be fetched: {err}",
                                      "segment") from err
        if self.stopped() or self._failed.is_set():
            raise Stopped()
        os.replace(tmp, dest)
        with self.landed:
            self.landed.notify_all()
        self._note_done(track, dest.stat().st_size)
        with self._lock:
            self.progress.fragment += 1
        self.progress.total = max(self.total_estimate(), self.progress.downloaded)

    def _download(self, segment: Segment, tmp: Path) -> None:
        headers = {}
        # What an earlier (paused) try kept is continued with a range request, as plain downloads are.
        kept = tmp.stat().st_size if tmp.exists() else 0
        if segment.byterange is not None:
            offset, length = segment.byterange
            kept = min(kept, length)
            if kept < length:
                headers["Range"] = f"bytes={offset + kept}-{offset + length - 1}"
            else:
                kept = 0
                headers["Range"] = f"bytes={offset}-{offset + length - 1}"
        elif kept:
            headers["Range"] = f"bytes={kept}-"
        try:
            resp = self.session.open(segment.uri, "GET", headers)
        except NetError:
            if not kept:
                raise
            # Refused (a kept part already whole gets 416): fetched again from its start.
            _unlink(tmp)
            return self._download(segment, tmp)
        if kept and not (resp.status == 206 and (resp.content_range() or (None,))[0] ==
                         (segment.byterange[0] if segment.byterange else 0) + kept):
            kept = 0  # the server sent something else than the rest: start over
        with self._lock:
            self._open.add(resp)
        self._track(resp)
        received = 0
        try:
            expected = resp.length
            with open(tmp, "ab" if kept else "wb") as f:
                while True:
                    chunk = resp.read(CHUNK)
                    if not chunk:
                        break
                    f.write(chunk)
                    received += len(chunk)
                    self.progress.add(len(chunk))
            if self.stopped() or self._failed.is_set():
                raise Stopped()
            if expected is not None and received < expected:
                raise NetError("The connection was lost during the transfer.", kind="dropped")
        except NetError as err:
            err.received = received  # the caller takes back what this attempt counted
            raise
        finally:
            with self._lock:
                self._open.discard(resp)
            self._untrack(resp)
            resp.close()

    def _key(self, uri: str) -> Path:
        with self._lock:
            known = self._keys.get(uri)
            if known is not None:
                return known
            path = self.folder / f"key-{len(self._keys):03d}.bin"
            self._keys[uri] = path
        if not path.exists():
            with self.session.open(uri) as resp:
                data = resp.read_whole(KEY_LIMIT, f"The stream's key at {uri}")
            if len(data) != 16:
                raise StreamError(f"The stream's key at {uri} is not an AES-128 key.", "key")
            tmp = path.with_name(path.name + ".tmp")
            tmp.write_bytes(data)
            os.replace(tmp, path)
        return path

    def key_path(self, uri: str) -> Path:
        return self._keys[uri]


def _unlink(path: Path) -> None:
    try:
        path.unlink()
    except FileNotFoundError:
        pass


def _starts(track: Track) -> list[tuple[tuple[int, Segment], float]]:
    """Each item of a track with the time it starts at (the initialization part first)."""
    out, at = [], 0.0
    for index, segment in track.items:
        out.append(((index, segment), -1.0 if index == 0 else at))
        if index:
            at += segment.duration
    return out


def _track_words(track: Track) -> str:
    if track.name.startswith("sub-"):
        return "subtitles"
    return track.name


def _segment_ext(track: Track) -> str:
    if track.name.startswith("sub-"):
        return ".vtt"
    if track.segments.init is not None:
        return ".m4s"
    ext = os.path.splitext(track.segments.segments[0].uri.split("?", 1)[0])[1].lower()
    return ext if ext in (".ts", ".aac", ".mp4", ".m4s", ".m4a", ".m4v", ".webm", ".mp3") else ".ts"


def local_playlist(fetcher: Fetcher, track: Track) -> Path:
    """An HLS media playlist of the track's local files, keys included, for ffmpeg to read."""
    segs = track.segments
    target = max(1, math.ceil(max((s.duration for s in segs.segments), default=1.0)))
    lines = ["#EXTM3U", "#EXT-X-VERSION:7", f"#EXT-X-TARGETDURATION:{target}", "#EXT-X-MEDIA-SEQUENCE:0",
             "#EXT-X-PLAYLIST-TYPE:VOD"]
    if segs.init is not None:
        lines.append(f'#EXT-X-MAP:URI="{fetcher.path(track, 0).name}"')
    current = None
    for index, segment in track.items:
        if index == 0:
            continue
        key = segment.key
        if key is None and current is not None:
            lines.append("#EXT-X-KEY:METHOD=NONE")
        elif key is not None:
            iv = key.iv if key.iv is not None else segment.sequence.to_bytes(16, "big")
            lines.append(f'#EXT-X-KEY:METHOD=AES-128,URI="{fetcher.key_path(key.uri).name}",IV=0x{iv.hex()}')
        current = key
        lines.append(f"#EXTINF:{max(segment.duration, 0.001):.6f},")
        lines.append(fetcher.path(track, index).name)
    lines.append("#EXT-X-ENDLIST")
    path = fetcher.folder / f"{track.name}.m3u8"
    path.write_text("\n".join(lines) + "\n", "utf-8")
    return path


def track_input(fetcher: Fetcher, track: Track) -> list[str]:
    """ffmpeg input arguments for one fetched track."""
    items = track.items
    if len(items) == 1 and items[0][1].key is None:
        return media.input_args(fetcher.path(track, items[0][0]))  # one whole file
    playlist = local_playlist(fetcher, track)
    return ["-protocol_whitelist", LOCAL_PROTOCOLS, "-allowed_extensions", "ALL", "-i", media.file_arg(playlist)]


def join_subtitles(fetcher: Fetcher, track: Track) -> Path:
    """The subtitle segments as one file in the folder: WebVTT or SRT segments joined, TTML (plain
    or in MP4 fragments) converted to WebVTT. Raises timedtext.Unreadable when they are neither."""
    files = [fetcher.path(track, i) for i, _ in track.items if i > 0]
    lang = track.name[4:]
    bodies = [f.read_bytes() for f in files]
    cues = timedtext.cues_of(bodies)
    out = fetcher.folder / f"joined.{lang}.vtt"
    if cues is not None:
        if not cues:
            raise timedtext.Unreadable("no cues in the subtitles")
        out.write_text(timedtext.to_vtt(cues), "utf-8")
        return out
    first = bodies[0]
    if len(files) == 1:
        ext = ".vtt" if first.lstrip(b"\xef\xbb\xbf").startswith(b"WEBVTT") else ".srt"
        out = out.with_suffix(ext)
        out.write_bytes(first)
        return out
    parts = [first.rstrip() + b"\n"]
    for body in bodies[1:]:
        body = body.lstrip(b"\xef\xbb\xbf")
        if body.startswith(b"WEBVTT"):
            body = body.split(b"\n\n", 1)[1] if b"\n\n" in body else b""
        parts.append(b"\n" + body.strip() + b"\n")
    out.write_bytes(b"".join(parts))
    return out


def can_pipe(track: Track) -> bool:
    """Whether the track can be joined while it is fetched: segments that read as one stream when
    written one after another (MPEG-TS, or fMP4 after its initialization part), not encrypted."""
    items = track.items
    if any(s.key is not None for _, s in items):
        return False
    return track.segments.init is not None or len(track.segments.segments) > 1


class PipeJoin:
    """Joins tracks while they are being fetched: each track's segment files are written, in order and
    as soon as each is complete, into a named pipe that ffmpeg reads. `output_args` are ffmpeg's
    arguments after the inputs (maps, codecs, output)."""

    def __init__(self, fetcher: Fetcher, tracks: list[Track], output_args: list[str], duration: float):
        self.fetcher = fetcher
        self.tracks = tracks
        # The pipes live in a private temporary folder: the output folder may not hold pipes (FAT).
        self._pipe_dir = Path(tempfile.mkdtemp(prefix="vamber-join-"))
        self.pipes = [self._pipe_dir / f"{t.name}.pipe" for t in tracks]
        inputs: list[str] = []
        for pipe in self.pipes:
            # A deep queue per input: with the default one, two inputs read in turn wait on each other
            # and the join falls far behind the fetch (minutes for a long film).
            inputs += ["-thread_queue_size", str(THREAD_QUEUE), "-i", media.file_arg(pipe)]
        self.run = media.FfmpegRun(inputs + output_args, duration)
        self._stop = threading.Event()  # stop() was called: a pause, a cancel or a failed fetch
        self._released = threading.Event()
        self._error: list[BaseException] = []
        self._threads: list[threading.Thread] = []

    def start(self) -> None:
        """Raises OSError when the pipes cannot be made (the caller joins afterwards instead)."""
        try:
            for pipe in self.pipes:
                os.mkfifo(pipe, 0o600)
        except OSError:
            shutil.rmtree(self._pipe_dir, ignore_errors=True)
            raise
        self._threads.append(logs.spawn(self._join, name="join"))
        for track, pipe in zip(self.tracks, self.pipes):
            self._threads.append(logs.spawn(self._feed, track, pipe, name="join-feed"))

    def _join(self) -> None:
        try:
            self.run.run()
        except BaseException as err:  # kept for finish(); the feeders are let go
            self._error.append(err)
            self._release()

    def _feed(self, track: Track, pipe: Path) -> None:
        try:
            with open(pipe, "wb") as out:
                try:
                    fcntl.fcntl(out.fileno(), F_SETPIPE_SZ, PIPE_BUFFER)
                except OSError:
                    pass  # the system's own size then
                for index, _ in track.items:
                    path = self.fetcher.path(track, index)
                    with self.fetcher.landed:
                        self.fetcher.landed.wait_for(lambda: path.exists() or self._released.is_set())
                    if self._released.is_set():
                        return
                    with open(path, "rb") as f:
                        while chunk := f.read(1 << 20):
                            out.write(chunk)
        except (BrokenPipeError, OSError):
            # ffmpeg stopped reading: its own exit says why (finish()); this is no cancellation.
            return

    def stop(self) -> None:
        """Ends the join early (a pause, a failed fetch): ffmpeg is stopped, blocked feeders freed."""
        self._stop.set()
        self.run.stop()
        self._release()

    def _release(self) -> None:
        """Frees feeders waiting for a segment or for ffmpeg to open their pipe."""
        if self._released.is_set():
            return
        self._released.set()
        with self.fetcher.landed:
            self.fetcher.landed.notify_all()
        for pipe in self.pipes:  # a feeder still waiting for ffmpeg to open its pipe
            try:
                fd = os.open(pipe, os.O_RDONLY | os.O_NONBLOCK)
                os.close(fd)
            except OSError:
                pass

    def finish(self) -> None:
        """Waits for the join to end; raises what ffmpeg met: media.Cancelled only after stop(),
        ToolFailed with ffmpeg's own words when it failed by itself."""
        for thread in self._threads:
            thread.join()
        shutil.rmtree(self._pipe_dir, ignore_errors=True)
        if self._stop.is_set():
            raise media.Cancelled()
        if self._error:
            raise self._error[0]
