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
from typing import Callable, Optional

from . import speechaudio, transcriptfiles
from .jsonio import finite
from .recognizer import Cancelled, CancelToken, Recognition, RecognitionError
from .speechmodels import SpeechModels, check_language, normalise_language

# Shares of the progress bar: decoding the sound, then recognising it; writing is the last step.
EXTRACT_SHARE = 0.1
RECOGNISE_SHARE = 0.89
LONG_JOB_SECONDS = 600
UNKNOWN_SPEED = 1.0


@dataclass
class Request:
    job_id: str
    path: str              # absolute
    title: str
    language: str          # the settings' value: "" means detect
    model_key: str         # the settings' value: "" means the default model
    transcript_dir: str    # "" means beside the media file
    fallback_dir: str      # used when the chosen folder cannot be written


@dataclass
class _Job:
    request: Request
    cancel: CancelToken = field(default_factory=CancelToken)


class TranscriptionFailed(Exception):
    def __init__(self, message: str, detail: str = "", unavailable: bool = False):
        super().__init__(message)
        self.detail = detail
        self.unavailable = unavailable


class JobCancelled(Exception):
    pass


class Transcriber:
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
        self._turns: deque[str] = deque()

    # -- control

    def cancel(self, job_id: str) -> bool:
        with self._cond:
            job = self._jobs.get(job_id)
            if job is None:
                return False
            self._cond.notify_all()
        job.cancel.cancel()
        with self._cond:
            self._cond.notify_all()
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

    # -- one job

    def run(self, request: Request) -> dict:
        """Queues the job, waits for its turn and runs it. Returns the TranscribeResult; raises
        JobCancelled or TranscriptionFailed after sending the matching state."""
        job = _Job(request)
        with self._cond:
            if request.job_id in self._jobs:
                raise TranscriptionFailed(f"A transcription with the id {request.job_id} is already under way.")
            self._jobs[request.job_id] = job
            self._turns.append(request.job_id)
        base = {"jobId": request.job_id, "path": request.path, "title": request.title}
        try:
            self.emit("transcribe.state", dict(base, state="queued"))
            self._wait_turn(job)
            result = self._work(job, base)
        except Cancelled:
            self.emit("transcribe.state", dict(base, state="cancelled"))
            raise JobCancelled()
        except RecognitionError as exc:
            self.emit("transcribe.state", dict(base, state="failed", message=str(exc)))
            raise TranscriptionFailed(str(exc), exc.detail, exc.unavailable)
        except Exception as exc:  # the application must always learn how the job ended
            message = f"The transcription of {os.path.basename(request.path)} failed: {exc}"
            self.emit("transcribe.state", dict(base, state="failed", message=message))
            raise TranscriptionFailed(message)
        finally:
            with self._cond:
                self._jobs.pop(request.job_id, None)
                if request.job_id in self._turns:
                    self._turns.remove(request.job_id)
                idle = not self._turns
                self._cond.notify_all()
            if idle:
                # The decoder holds about a hundred megabytes; nothing is waiting for it.
                self.models.release()
        self.emit("transcribe.state", dict(base, state="done", srt=result["srt"], language=result["language"],
                                           segments=result["segments"], durationMs=result["durationMs"],
                                           model=result["model"]))
        return {k: result[k] for k in ("jobId", "path", "srt", "txt", "language", "segments")}

    def _wait_turn(self, job: _Job) -> None:
        with self._cond:
            while self._turns[0] != job.request.job_id:
                job.cancel.check()
                self._cond.wait(1.0)
        job.cancel.check()

    def _work(self, job: _Job, base: dict) -> dict:
        request = job.request
        if not os.path.isfile(request.path):
            raise RecognitionError(f"The file {request.path or '(none)'} does not exist.", detail="not-found")
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
            language = recognition.language or language or "en"
            paths = self._write(request, language, recognition)
        finally:
            shutil.rmtree(workdir, ignore_errors=True)
        reporter.report(1.0, force=True)
        self.models.record_speed(recognizer.key, audio.duration_ms / 1000, time.monotonic() - started)
        return {"jobId": request.job_id, "path": request.path, "srt": paths.srt, "txt": paths.txt,
                "language": language, "segments": len(recognition.segments), "durationMs": audio.duration_ms,
                "model": recognizer.key}

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
