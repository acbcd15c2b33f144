"""download.start, download.pause, download.cancel."""

from typing import Any

from .. import constants as C
from ..context import Context
from ..downloader import DownloadError, Request
from ..errors import EngineError
from ..netservices import downloads
from ..params import Params
from ..registry import NO_REPLY, method


def request_from(params: Params) -> Request:
    quality = params.str("quality", C.DEFAULT_QUALITY)
    if quality not in C.QUALITIES:
        quality = C.DEFAULT_QUALITY
    return Request(
        url=params.str("url", allow_empty=False).strip(),
        quality=quality,
        container=params.choice("container", C.CONTAINERS, C.DEFAULT_CONTAINER),
        audioOnly=params.bool("audioOnly", False),
        videoCodec=params.choice("videoCodec", C.VIDEO_CODECS, C.DEFAULT_VIDEO_CODEC),
        subtitleMode=params.choice("subtitleMode", C.SUBTITLE_MODES, "off"),
        saveThumbnail=params.bool("saveThumbnail", False),
        embedCover=params.bool("embedCover", False),
        outputDir=params.str("outputDir", ""),
        singleVideo=params.bool("singleVideo", True),
        allowListing=params.bool("allowListing", False),
        jobId=params.str("jobId", allow_empty=False),
        cookieSource=params.str("cookieSource", C.COOKIE_NONE),
        cookiesFile=params.str("cookiesFile", ""),
        forceGeneric=params.bool("forceGeneric", False),
        fileName=params.str("fileName", ""),
    )


@method("download.start")
def start(ctx: Context, params: Params) -> Any:
    """Answered when the download ends; it waits for a transfer slot without holding a thread."""
    req = request_from(params)

    def respond(work):
        def outcome():
            try:
                return work()
            except DownloadError as err:
                raise EngineError(err.code, err.message, err.detail)
        ctx.answer(outcome)

    try:
        downloads(ctx).submit(req, respond)
    except DownloadError as err:
        raise EngineError(err.code, err.message, err.detail)
    return NO_REPLY


@method("download.pause")
def pause(ctx: Context, params: Params) -> Any:
    job_id = params.str("jobId")
    return {"jobId": job_id, "running": downloads(ctx).pause(job_id)}


@method("download.cancel")
def cancel(ctx: Context, params: Params) -> Any:
    job_id = params.str("jobId")
    return {"jobId": job_id, "running": downloads(ctx).cancel(job_id)}
