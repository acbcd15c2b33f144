"""Transcription: "transcribe.start" (with "transcribe.state" and "transcribe.progress") and
"transcribe.cancel". Files queue and run one at a time."""
import os
import threading
import uuid
from typing import Any, Optional

from .. import searchindex
from ..context import Context
from ..errors import CANCELLED, FAILED, UNAVAILABLE, EngineError
from ..params import Params
from ..recognizer import RecognitionError
from ..registry import NO_REPLY, method
from ..speechmodels import normalise_language
from ..transcriber import JobCancelled, Request, Transcriber, TranscriptionFailed
from .models import speech_models
from .search import index, known_transcripts


def transcriber(ctx: Context) -> Transcriber:
    def make() -> Transcriber:
        models = speech_models(ctx)
        search = index(ctx)
        known = known_transcripts(ctx)
        jobs = Transcriber(models, ctx.support.subdir("transcribing"), ctx.emit,
                           lambda paths, doc: _index(search, known, paths, doc), ctx.log)
        ctx.on_shutdown(jobs.stop_all)
        return jobs
    return ctx.shared("transcriber", make)


def _index(search, known, paths, doc):
    known.add(paths.json)
    search.add(searchindex.Transcript(paths.json, doc["mediaPath"], doc["title"], doc["language"],
                                      doc["segments"]))


def _title(ctx: Context, path: str) -> str:
    try:
        from ..netservices import library
        item = library(ctx).get(path)
    except Exception:  # no library, or an unreadable one: the file's name will do
        item = None
    if item is not None and item.title:
        return item.title
    return os.path.splitext(os.path.basename(path))[0]


@method("transcribe.start")
def start(ctx: Context, params: Params) -> Any:
    """Answered when the job ends; a job waiting for its turn holds no thread. Queued at once, in the
    order the requests came, so a "transcribe.cancel" sent after it always finds it."""
    path = params.str("path", allow_empty=False)
    if not os.path.isabs(path):
        path = os.path.abspath(path)
    job_id = params.str("jobId", allow_empty=False)
    request = Request(job_id=job_id, path=path, title=_title(ctx, path),
                      language=ctx.settings.get("transcriptionLanguage"),
                      model_key=ctx.settings.get("transcriptionModel"),
                      transcript_dir=ctx.settings.get("transcriptDir"),
                      fallback_dir=ctx.support.file("transcripts"))

    def finish(outcome):
        def answer():
            if isinstance(outcome, JobCancelled):
                raise EngineError(CANCELLED, "The transcription was cancelled.")
            if isinstance(outcome, TranscriptionFailed):
                raise _error(outcome)
            return outcome
        ctx.answer(answer)

    try:
        transcriber(ctx).submit(request, finish)
    except TranscriptionFailed as exc:
        raise _error(exc)
    return NO_REPLY


def subtitle_language(ctx: Context) -> Optional[str]:
    """The language whose subtitles a finished download's transcript is taken from; None when its
    speech is to be recognised (transcription off, "transcribe over subtitles" on, or no language known:
    with detection, the language of a recognizer that knows only one)."""
    settings = ctx.settings
    if not settings.get("transcriptionEnabled") or settings.get("transcribeOverSubtitles"):
        return None
    language = normalise_language(settings.get("transcriptionLanguage"))
    if language:
        return language
    try:
        known = speech_models(ctx).recognizer_for(settings.get("transcriptionModel")).languages()
    except RecognitionError:
        return None
    return next(iter(known)) if known and len(known) == 1 else None


class _Unavailable:
    """Says once that finished downloads cannot be transcribed, until a recognizer can run again."""

    def __init__(self):
        self.lock = threading.Lock()
        self.said = False


def after_download(ctx: Context, done: dict) -> None:
    """A finished download while "transcriptionEnabled" is on: transcribed like a "transcribe.start" of
    its file (same events, files and index), from its subtitles when they were found."""
    if not ctx.settings.get("transcriptionEnabled"):
        return
    subtitles = done.get("subtitles")
    model_key = ctx.settings.get("transcriptionModel")
    quiet = ctx.shared("transcribe-unavailable", _Unavailable)
    if subtitles is None:
        try:
            speech_models(ctx).recognizer_for(model_key)
        except RecognitionError as exc:
            with quiet.lock:
                first, quiet.said = not quiet.said, True
            if first:
                ctx.emit("job.log", {"jobId": done["jobId"], "key": "log_transcription_skipped", "level": "warn",
                                     "params": {"reason": str(exc)}})
            ctx.log(f"not transcribed: {done['path']}: {exc}")
            return
        with quiet.lock:
            quiet.said = False
    request = Request(job_id=str(uuid.uuid4()).upper(), path=done["path"], title=done.get("title") or
                      _title(ctx, done["path"]), language=ctx.settings.get("transcriptionLanguage"),
                      model_key=model_key, transcript_dir=ctx.settings.get("transcriptDir"),
                      fallback_dir=ctx.support.file("transcripts"), subtitles=subtitles,
                      subtitle_language=done.get("subtitleLanguage") or "")

    def finish(outcome):
        if isinstance(outcome, TranscriptionFailed):
            ctx.log(f"transcription of {done['path']} failed: {outcome}")

    transcriber(ctx).submit(request, finish)


def _error(exc: TranscriptionFailed) -> EngineError:
    return EngineError(UNAVAILABLE if exc.unavailable else FAILED, str(exc), exc.detail or None)


@method("transcribe.cancel")
def cancel(ctx: Context, params: Params) -> Any:
    return {"cancelled": transcriber(ctx).cancel(params.str("jobId"))}
