"""Transcription: "transcribe.start" (with "transcribe.state" and "transcribe.progress") and
"transcribe.cancel". Files queue and run one at a time."""
import os
from typing import Any

from .. import searchindex
from ..context import Context
from ..errors import CANCELLED, FAILED, UNAVAILABLE, EngineError
from ..params import Params
from ..registry import NO_REPLY, method
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


def _error(exc: TranscriptionFailed) -> EngineError:
    return EngineError(UNAVAILABLE if exc.unavailable else FAILED, str(exc), exc.detail or None)


@method("transcribe.cancel")
def cancel(ctx: Context, params: Params) -> Any:
    return {"cancelled": transcriber(ctx).cancel(params.str("jobId"))}
