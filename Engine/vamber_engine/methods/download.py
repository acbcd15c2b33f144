"""download.start, download.pause, download.cancel."""

from .. import constants as C
from ..downloader import DownloadError, Request
from ..errors import EngineError
from ..netservices import downloads
from ..registry import method


def request_from(params) -> Request:
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


@method("download.start", threaded=True)
def start(ctx, params):
    req = request_from(params)
    try:
        return downloads(ctx).start(req)
    except DownloadError as err:
        raise EngineError(err.code, err.message, err.detail)


@method("download.pause")
def pause(ctx, params):
    job_id = params.str("jobId")
    return {"jobId": job_id, "running": downloads(ctx).pause(job_id)}


@method("download.cancel")
def cancel(ctx, params):
    job_id = params.str("jobId")
    return {"jobId": job_id, "running": downloads(ctx).cancel(job_id)}
