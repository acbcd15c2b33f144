"""Clips: "clip.suggest", "clip.extract" (with "clip.progress" and "clip.state"), "clip.cancel"."""
import os
from typing import Any

from .. import clipper
from ..context import Context
from ..errors import CANCELLED, FAILED, UNAVAILABLE, EngineError
from ..params import Params
from ..registry import method


def jobs(ctx: Context) -> clipper.ClipJobs:
    return ctx.shared("clipjobs", lambda: _open(ctx))


def _open(ctx):
    j = clipper.ClipJobs()
    ctx.on_shutdown(j.stop_all)
    return j


def _error(exc):
    return EngineError(UNAVAILABLE if exc.missing_tool else FAILED, str(exc))


def _times(params):
    return params.int("startMs"), params.int("endMs")


@method("clip.suggest", threaded=True)
def suggest(ctx: Context, params: Params) -> Any:
    path = params.str("path")
    start, end = _times(params)
    audio_only = params.bool("audioOnly")
    try:
        return clipper.suggest(path, start, end, audio_only)
    except clipper.ClipError as exc:
        raise _error(exc)


def _add_to_library(ctx, source, result, audio_only):
    try:
        from ..librarydb import Item
        from ..netservices import library
    except ImportError:
        return
    lib = library(ctx)
    origin = lib.get(source)
    stem = os.path.splitext(result["name"])[0]
    source_stem = os.path.splitext(os.path.basename(source))[0]
    title = stem
    if origin and origin.title and stem.startswith(source_stem):
        # "<source title> (clip 01m05s-01m20s)", with the title as the source shows it.
        title = origin.title + stem[len(source_stem):]
    lib.add(Item(path=result["path"], title=title, url=origin.url if origin else "",
                 kind="audio" if audio_only or result["name"].endswith(clipper.AUDIO_ONLY_SUFFIXES) else "video",
                 sizeBytes=result["sizeBytes"], channel=origin.channel if origin else "",
                 playlist=origin.playlist if origin else ""))


@method("clip.extract", pool="jobs")
def extract(ctx: Context, params: Params) -> Any:
    path = params.str("path")
    start, end = _times(params)
    job_id = params.str("jobId", allow_empty=False)
    mode = params.choice("mode", clipper.MODES)
    audio_only = params.bool("audioOnly")

    def progress(fraction):
        ctx.emit("clip.progress", {"jobId": job_id, "fraction": fraction})
        # Lets a test hold a running extraction (ffmpeg started, the partial file open).
        ctx.engine.checkpoint("clip.progress")

    try:
        result = jobs(ctx).extract(path, start, end, job_id, mode, audio_only, progress)
    except clipper.ClipCancelled:
        ctx.emit("clip.state", {"jobId": job_id, "state": "cancelled"})
        raise EngineError(CANCELLED, "The clip was cancelled.")
    except clipper.ClipError as exc:
        ctx.emit("clip.state", {"jobId": job_id, "state": "failed", "message": str(exc)})
        raise _error(exc)
    try:
        _add_to_library(ctx, path, result, audio_only)
    except Exception as exc:  # the clip is written; a library problem must not hide it
        ctx.log(f"could not list the clip {result['path']} in the library: {exc}")
    ctx.emit("clip.state", {"jobId": job_id, "state": "done", "destination": result["path"],
                            "sizeBytes": result["sizeBytes"]})
    return result


@method("clip.cancel")
def cancel(ctx: Context, params: Params) -> Any:
    return {"cancelled": jobs(ctx).cancel(params.str("jobId"))}
