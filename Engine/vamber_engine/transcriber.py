"""Transcription jobs: queued and run one at a time, each from media file to indexed transcript.

A job decodes the sound (ffmpeg), finds where speech is, recognises it with the model in use and
writes the transcript files only at the very end, so a cancelled or failed job leaves none.
Its events are "transcribe.state" (queued, running, done, failed, cancelled) and
"transcribe.progress".
"""

from __future__ import annotations

import os
import shutil
import tempfile
import threading
import time
from collections import deque
from dataclasses import dataclass, field
from typing import Callable, Optional, Union

from . import logs, speechaudio, transcriptfiles
from .jsonio import finite
from .recognizer import Cancelled, CancelToken, Recognition, RecognitionError, within_length
from .speechmodels import SpeechModels, check_language, normalise_language

# Shares of the progress bar: decoding the sound, then recognising it; writing is the last step.
EXTRACT_SHARE = 0.1
RECOGNISE_SHARE = 0.89
LONG_JOB_SECONDS = 600
UNKNOWN_SPEED = 1.0
# What "model" a transcript taken from the source's subtitles names.
SUBTITLES_MODEL = "subtitles"


@dataclass
class Request:
    job_id: str
    path: str              # absolute
    title: str
    language: str          # the settings' value: "" means detect
    model_key: str         # the settings' value: "" means the default model
    transcript_dir: str    # "" means beside the media file
    fallback_dir: str      # used when the chosen folder cannot be written
    # The source's own subtitles, taken as the transcript instead of recognising the speech.
    subtitles: Optional[list] = None
    subtitle_language: str = ""


Outcome = Union[dict, "JobCancelled", "TranscriptionFailed"]


@dataclass
class _Job:
    request: Request
    finish: Callable[[Outcome], None]
    cancel: CancelToken = field(default_factory=CancelToken)

    @property
    def base(self) -> dict:
        return {"jobId": self.request.job_id, "path": self.request.path, "title": self.request.title}


class TranscriptionFailed(Exception):
    def __init__(self, message: str, detail: str = "", unavailable: bool = False):
        super().__init__(message)
        self.detail = detail
        self.unavailable = unavailable


class JobCancelled(Exception):
    pass


class Transcriber:
    """Jobs wait in order and run one at a time on a thread of the transcriber's own, which ends when
    no job is left; a waiting job holds no thread."""

    def __init__(self, models: SpeechModels, work_root: str, emit: Callable[[str, dict], object],
                 on_written: Callable[[transcriptfiles.TranscriptPaths, dict], None] = lambda paths, doc: None,
                 log=lambda message: None):
        self.models = models
        self.work_root = work_root
        self.emit = emit
        self.on_written = on_written
        self.log = log
        self._cond = threading.Condition()
        self._jobs: dict[str, _Job] = {}
        self._waiting: deque[_Job] = deque()
        self._worker: Optional[threading.Thread] = None
        self._remove_leftovers()

    def _remove_leftovers(self) -> None:
        """Decoded sound left by an engine that was killed mid-job (only one engine uses this folder)."""
        try:
            names = os.listdir(self.work_root)
        except OSError:
            return
        for name in names:
            if name.startswith("job-"):
                shutil.rmtree(os.path.join(self.work_root, name), ignore_errors=True)

    # -- control

    def submit(self, request: Request, finish: Callable[[Outcome], None]) -> None:
        """Queues a job; finish(outcome) is called once, from another thread, with the TranscribeResult,
        a JobCancelled or a TranscriptionFailed (the matching state has been sent by then)."""
        job = _Job(request, finish)
        with self._cond:
            if request.job_id in self._jobs:
                raise TranscriptionFailed(f"A transcription with the id {request.job_id} is already under way.")
            self._jobs[request.job_id] = job
            # Sent under the lock, so "queued" always comes before the job's "running".
            self.emit("transcribe.state", dict(job.base, state="queued"))
            self._waiting.append(job)
            if self._worker is None:
                self._worker = logs.spawn(self._work_through, name="transcriber")

    def cancel(self, job_id: str) -> bool:
        with self._cond:
            job = self._jobs.get(job_id)
            if job is None:
                return False
            waiting = job in self._waiting
            if waiting:
                self._waiting.remove(job)
                del self._jobs[job_id]
                self._cond.notify_all()
        job.cancel.cancel()
        if waiting:
            self._end(job, JobCancelled())
        return True

    def running(self) -> list[str]:
        with self._cond:
            return list(self._jobs)

    def stop_all(self, wait: float = 2.0) -> None:
        for job_id in self.running():
            self.cancel(job_id)
        deadline = time.monotonic() + wait
        with self._cond:
            while self._jobs and time.monotonic() < deadline:
                self._cond.wait(0.05)

    # -- the worker

    def _work_through(self) -> None:
        while True:
            with self._cond:
                if not self._waiting:
                    self._worker = None
                    break
                job = self._waiting.popleft()
            try:
                outcome = self._run(job)
            finally:
                with self._cond:
                    self._jobs.pop(job.request.job_id, None)
                    self._cond.notify_all()
            self._end(job, outcome)
        # The decoder holds about a hundred megabytes; nothing is waiting for it.
        self.models.release()

    def _end(self, job: _Job, outcome: Outcome) -> None:
        if isinstance(outcome, JobCancelled):
            self.emit("transcribe.state", dict(job.base, state="cancelled"))
        elif isinstance(outcome, TranscriptionFailed):
            self.emit("transcribe.state", dict(job.base, state="failed", message=str(outcome)))
        else:
            self.emit("transcribe.state", dict(job.base, state="done", srt=outcome["srt"],
                                               language=outcome["language"], segments=outcome["segments"],
                                               durationMs=outcome["durationMs"], model=outcome["model"]))
            outcome = {k: outcome[k] for k in ("jobId", "path", "srt", "txt", "language", "segments")}
        try:
            job.finish(outcome)
        except Exception as exc:  # an answer that cannot be written must not stop the queue
            self.log(f"could not answer transcription {job.request.job_id}: {exc}")

    def _run(self, job: _Job) -> Outcome:
        try:
            job.cancel.check()
            return self._work(job, job.base)
        except Cancelled:
            return JobCancelled()
        except RecognitionError as exc:
            return TranscriptionFailed(str(exc), exc.detail, exc.unavailable)
        except Exception as exc:  # the application must always learn how the job ended
            self.log(f"transcription of {job.request.path} failed: {exc!r}")
            return TranscriptionFailed(f"The transcription of {os.path.basename(job.request.path)} failed: {exc}")

    def _work(self, job: _Job, base: dict) -> dict:
        request = job.request
        if not os.path.isfile(request.path):
            raise RecognitionError(f"The file {request.path or '(none)'} does not exist.", detail="not-found")
        if request.subtitles is not None:
            return self._from_subtitles(job, base)
        recognizer = self.models.recognizer_for(request.model_key)
        language = check_language(recognizer, normalise_language(request.language))
        started = time.monotonic()
        reporter = _ProgressReporter(request.job_id, self.emit)
        os.makedirs(self.work_root, exist_ok=True)
        workdir = tempfile.mkdtemp(prefix="job-", dir=self.work_root)
        try:
            def probed(seconds):
                factor = self.models.speed_factor(recognizer.key, measure=False) or UNKNOWN_SPEED
                estimate = finite(seconds / factor)
                self.emit("transcribe.state", dict(base, state="running", estimateSeconds=estimate,
                                                   isLongJob=estimate >= LONG_JOB_SECONDS,
                                                   durationMs=int(finite(seconds) * 1000), model=recognizer.key))
                reporter.report(0.0)

            audio = speechaudio.prepare(request.path, workdir, job.cancel,
                                        lambda f: reporter.report(f * EXTRACT_SHARE), probed)
            job.cancel.check()
            recognition: Recognition = recognizer.recognize(
                audio, language, lambda f: reporter.report(EXTRACT_SHARE + f * RECOGNISE_SHARE), job.cancel)
            job.cancel.check()
            recognition.segments = within_length(recognition.segments)
            language = recognition.language or language or "en"
            paths = self._write(request, language, recognition)
        finally:
            shutil.rmtree(workdir, ignore_errors=True)
        reporter.report(1.0, force=True)
        self.models.record_speed(recognizer.key, audio.duration_ms / 1000, time.monotonic() - started)
        return {"jobId": request.job_id, "path": request.path, "srt": paths.srt, "txt": paths.txt,
                "language": language, "segments": len(recognition.segments), "durationMs": audio.duration_ms,
                "model": recognizer.key}

    def _from_subtitles(self, job: _Job, base: dict) -> dict:
        request = job.request
        segments = request.subtitles
        duration_ms = max((s.end_ms for s in segments), default=0)
        self.emit("transcribe.state", dict(base, state="running", estimateSeconds=0.0, isLongJob=False,
                                           durationMs=duration_ms, model=SUBTITLES_MODEL))
        reporter = _ProgressReporter(request.job_id, self.emit)
        reporter.report(0.0)
        job.cancel.check()
        language = request.subtitle_language or "und"
        paths = self._write(request, language, Recognition(language, segments))
        reporter.report(1.0, force=True)
        return {"jobId": request.job_id, "path": request.path, "srt": paths.srt, "txt": paths.txt,
                "language": language, "segments": len(segments), "durationMs": duration_ms,
                "model": SUBTITLES_MODEL}

    def _write(self, request: Request, language: str, recognition: Recognition) -> transcriptfiles.TranscriptPaths:
        folders = [request.transcript_dir or os.path.dirname(request.path)]
        if request.fallback_dir and request.fallback_dir not in folders:
            folders.append(request.fallback_dir)
        problem: Optional[OSError] = None
        for folder in folders:
            try:
                os.makedirs(folder, exist_ok=True)
                paths = transcriptfiles.choose_paths(request.path, folder)
                transcriptfiles.write(paths, request.path, request.title, language, recognition.segments)
            except OSError as exc:
                self.log(f"cannot write the transcript in {folder}: {exc}")
                problem = exc
                continue
            try:
                self.on_written(paths, {"mediaPath": request.path, "title": request.title,
                                        "language": language, "segments": recognition.segments})
            except Exception as exc:  # the files are written; the next rescan indexes them
                self.log(f"could not index {paths.json} at once: {exc}")
            return paths
        raise RecognitionError(f"The transcript could not be written: {problem.strerror or problem}",
                               detail="write")


class _ProgressReporter:
    """"transcribe.progress" each time the whole percentage changes: at most 101 events a job, and the
    last figure is always out, however long the next step takes."""

    def __init__(self, job_id: str, emit):
        self.job_id = job_id
        self.emit = emit
        self.percent = -1

    def report(self, fraction: float, force: bool = False) -> None:
        fraction = min(1.0, max(0.0, finite(fraction)))
        percent = int(fraction * 100 + 1e-9)
        if percent == self.percent and not force:
            return
        self.percent = percent
        self.emit("transcribe.progress", {"jobId": self.job_id, "percent": percent, "fraction": fraction})
