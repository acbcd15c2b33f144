"""Who the engine is, and how it ends."""
import os
import sys
from typing import Any

from .. import ENGINE_VERSION
from .. import constants as C
from .. import media
from ..context import Context
from ..params import Params
from ..registry import NO_REPLY, method
from ..support import set_aside_in

ENGINE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def video_codecs_for(container: str) -> list[str]:
    return list(C.CONTAINER_CODECS.get(container, ["Auto"]))


def check_stored_files(ctx: Context) -> bool:
    """Opens what the engine keeps (settings are read at start), so a damaged file is found and set
    aside now, and the first "hello" can name it."""
    from ..netservices import library
    from . import favourites, queue_store, search

    library(ctx)
    favourites.load(ctx)
    search.known_transcripts(ctx).paths()
    queue_store.check_stored(ctx)
    return True


@method("hello")
def hello(ctx: Context, params: Params) -> Any:
    ctx.shared("stored.checked", lambda: check_stored_files(ctx))
    reply = {
        "engineVersion": ENGINE_VERSION,
        "enginePath": os.path.join(ENGINE_DIR, "server.py"),
        "python": sys.executable or "python3",
        "methods": ctx.engine.public_methods(),
        "capabilities": {
            "qualities": list(C.QUALITIES),
            "containers": list(C.CONTAINERS),
            "videoCodecs": list(C.VIDEO_CODECS),
            "cookieSources": list(C.COOKIE_SOURCES),
            "allQualities": list(C.QUALITIES),
            "allContainers": list(C.CONTAINERS),
            "allVideoCodecs": list(C.VIDEO_CODECS),
        },
        "ffmpegDir": media.ffmpeg_dir(),
        "mediaExtensions": list(C.MEDIA_EXTENSIONS),
        "downloadWorkers": C.DOWNLOAD_WORKERS,
    }
    aside = set_aside_in(ctx.support.path)
    if aside:
        reply["setAside"] = aside
    return reply


@method("shutdown")
def shutdown(ctx: Context, params: Params) -> Any:
    ctx.engine.shutdown_requested(ctx.id)
    return NO_REPLY
