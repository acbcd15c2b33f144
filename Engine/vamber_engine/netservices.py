"""The engine-wide objects of the download side (library, download manager) and the helpers the
methods that reach the web share: one session per request with the request's cookie file, and the
mapping of failures to error replies."""

from __future__ import annotations

import os

from . import constants as C
from .context import Context
from .downloader import DownloadManager
from .errors import FAILED, UNAVAILABLE, EngineError
from .librarydb import Library
from .net import NetError, Session
from .params import Params
from .resolve import NotMedia


def library(ctx: Context) -> Library:
    return ctx.shared("library", lambda: Library(os.path.join(str(ctx.support.path), "library.sqlite3")))


def downloads(ctx: Context) -> DownloadManager:
    def make() -> DownloadManager:
        from .methods import listing, transcribe  # both sides use this module too

        manager = DownloadManager(ctx.support.subdir("downloads"), library(ctx), ctx.emit, dict(C.QUALITY_HEIGHTS),
                                  lambda: ctx.settings.get("outputDir"), ctx.log, C.DOWNLOAD_WORKERS,
                                  lambda: ctx.settings.get("language"),
                                  lambda done: transcribe.after_download(ctx, done),
                                  lambda: transcribe.subtitle_language(ctx),
                                  lambda url: listing.origins(ctx).lookup(url))
        # Running downloads are paused at exit, so their partial files stay resumable.
        ctx.on_shutdown(manager.stop_all)
        return manager
    return ctx.shared("downloads", make)


def session(params: Params) -> Session:
    """A session carrying the cookies of "cookiesFile" (an empty name: no cookies)."""
    cookies_file = params.str("cookiesFile", "")
    try:
        return Session(cookies_file)
    except NetError as err:
        raise EngineError(UNAVAILABLE, str(err), "cookiesFile")


def web_error(err: Exception) -> EngineError:
    if isinstance(err, NetError):
        return EngineError(FAILED, str(err), err.kind)
    if isinstance(err, NotMedia):
        return EngineError(FAILED, str(err), "not-media")
    return EngineError(FAILED, str(err))
