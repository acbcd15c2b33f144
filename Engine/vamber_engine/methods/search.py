"""Transcript search: "search.query", "search.status", "search.reindex"."""
import os
import sqlite3
import threading
import time
from typing import Any

from .. import constants as C
from .. import searchindex
from ..context import Context
from ..params import Params
from ..transcriptfiles import KnownTranscripts
from ..registry import method


def index(ctx: Context) -> searchindex.SearchIndex:
    return ctx.shared("searchindex", lambda: _open(ctx))


def _open(ctx):
    idx = searchindex.SearchIndex(ctx.support.file("search.sqlite"))
    ctx.on_shutdown(idx.close)
    return idx


def known_transcripts(ctx: Context) -> KnownTranscripts:
    return ctx.shared("knowntranscripts", lambda: KnownTranscripts(ctx.support.file("transcribed.json")))


def transcript_dirs(ctx: Context) -> list[str]:
    dirs = []
    chosen = ctx.settings.get("transcriptDir")
    if chosen:
        dirs.append(chosen)
    own = ctx.support.file("transcripts")
    if os.path.isdir(own):
        dirs.append(own)
    return dirs


def library_media(ctx: Context) -> list:
    """(path, title) of every media file of the library."""
    try:
        from ..netservices import library
    except ImportError:  # an engine without a download library
        return []
    lib = library(ctx)
    out, offset = [], 0
    while True:
        try:
            page = lib.page(offset, 500)
        except sqlite3.Error:
            # Transcripts are found on disk too: a library that fails costs only the ones it alone names.
            return out
        media = [it for it in page["items"] if it.get("kind") != "thumbnail"]
        out.extend((it["path"], it["title"]) for it in media)
        offset += len(media)
        if not page["hasMore"] or not media:
            return out


# Searches look at the disk at most this often; status and reindex always do.
QUERY_RESCAN_SECONDS = 2.0
_last_scan = [0.0]
_scan_lock = threading.Lock()


def refresh(ctx: Context) -> Any:
    with _scan_lock:
        found = searchindex.discover(transcript_dirs(ctx), library_media(ctx), C.MEDIA_EXTENSIONS)
        for path in known_transcripts(ctx).paths():
            # Written by transcription: the file names its media itself.
            found.setdefault(path, searchindex.Candidate(path, "", "", ""))
        result = index(ctx).sync(found)
        _last_scan[0] = time.monotonic()
        return result


@method("search.query", threaded=True)
def query(ctx: Context, params: Params) -> Any:
    text = params.str("text")
    if time.monotonic() - _last_scan[0] > QUERY_RESCAN_SECONDS:
        # Subtitles saved by a download just now are found without an explicit reindex.
        refresh(ctx)
    return {"query": text, "hits": index(ctx).query(text)}


@method("search.status", threaded=True)
def status(ctx: Context, params: Params) -> Any:
    refresh(ctx)
    return index(ctx).status()


@method("search.reindex", threaded=True)
def reindex(ctx: Context, params: Params) -> Any:
    return refresh(ctx)
