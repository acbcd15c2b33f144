"""Transcript search: "search.query", "search.status", "search.reindex"."""
import os

from .. import constants as C
from .. import searchindex
from ..registry import method


def index(ctx):
    return ctx.shared("searchindex", lambda: _open(ctx))


def _open(ctx):
    idx = searchindex.SearchIndex(ctx.support.file("search.sqlite"))
    ctx.on_shutdown(idx.close)
    return idx


def transcript_dirs(ctx):
    dirs = []
    chosen = ctx.settings.get("transcriptDir")
    if chosen:
        dirs.append(chosen)
    own = ctx.support.file("transcripts")
    if os.path.isdir(own):
        dirs.append(own)
    return dirs


def library_media(ctx):
    """(path, title) of every media file of the library."""
    try:
        from .library import library  # the library's own accessor, when the engine has one
    except ImportError:
        return []
    lib = library(ctx)
    out, offset = [], 0
    while True:
        page = lib.page(offset, 500)
        media = [it for it in page["items"] if it.get("kind") != "thumbnail"]
        out.extend((it["path"], it["title"]) for it in media)
        offset += len(media)
        if not page["hasMore"] or not media:
            return out


def refresh(ctx):
    found = searchindex.discover(transcript_dirs(ctx), library_media(ctx), C.MEDIA_EXTENSIONS)
    return index(ctx).sync(found)


@method("search.query", threaded=True)
def query(ctx, params):
    text = params.str("text")
    return {"query": text, "hits": index(ctx).query(text)}


@method("search.status", threaded=True)
def status(ctx, params):
    refresh(ctx)
    return index(ctx).status()


@method("search.reindex", threaded=True)
def reindex(ctx, params):
    return refresh(ctx)
