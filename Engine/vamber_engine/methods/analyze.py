"""analyze: what an address offers, before it is downloaded."""
from typing import Any, Iterable

from .. import constants as C
from .. import logs, manifests, media
from ..context import Context
from ..errors import FAILED, EngineError
from ..net import NetError, Session, check_url
from ..netservices import session, web_error
from ..params import Params
from ..registry import method
from ..resolve import NotMedia, pick_source, resolve

logger = logs.get(__name__)


def _order(qualities):
    return [q for q in C.QUALITIES if q in set(qualities)]


def tier_for_height(height: int) -> str:
    return media.quality_for(0, height)


def _languages(langs: Iterable[str]) -> list[str]:
    out: list[str] = []
    for lang in langs:
        if lang and lang not in out:
            out.append(lang)
    return out


def _describe_stream(web: Session, url: str, result: dict) -> bool:
    """Fills the analysis of an adaptive stream from its manifest: the qualities its renditions
    offer, the best one as the source label, the duration and the subtitle languages. False when the
    manifest tells no picture sizes (a bare media playlist): ffprobe has to look then."""
    try:
        manifest = manifests.load(web, url)
    except (NetError, manifests.ManifestError) as err:
        logger.info(f"manifest of {url} not read: {err}")
        return False
    if not any(r.height for r in manifest.videos) and not (manifest.audios and not manifest.videos):
        return False
    result["availableQualities"] = manifests.qualities(manifest)
    result["probed"] = True
    best = manifest.best_video()
    if best is not None and best.label():
        result["sourceLabel"] = best.label()
    duration = manifest.duration
    if not duration and best is not None and not manifest.live:
        try:
            duration = manifests.segments_of(web, manifest, best).duration
        except (NetError, manifests.ManifestError) as err:
            logger.info(f"duration of {url} not known: {err}")
    if duration:
        result["duration"] = duration
    langs = _languages(r.language for r in manifest.subtitles)
    if langs:
        result["subtitleLanguages"] = langs
    result["extractor"] = manifest.kind
    return True


@method("analyze", pool="web")
def analyze(ctx: Context, params: Params) -> Any:
    url = params.str("url").strip()
    params.str("cookieSource", "None")
    params.bool("forceGeneric", False)
    try:
        check_url(url)
    except NetError as err:
        raise EngineError(FAILED, str(err), "url")
    web = session(params)
    try:
        res = resolve(web, url)
    except (NetError, NotMedia) as err:
        raise web_error(err)

    result = {"url": url, "availableQualities": [], "probed": False, "isListing": res.is_listing,
              "listingKind": res.listing_kind if res.is_listing else "", "title": res.title,
              "webpageUrl": res.webpage_url or res.final_url or url, "extractor": "generic"}
    if res.channel:
        result["channel"] = res.channel
    if res.thumbnail:
        result["thumbnail"] = res.thumbnail
    if res.is_listing:
        result["playlist"] = res.title
        result["sourceLabel"] = f"{len(res.entries)} items"
        return result

    best = pick_source(res.sources, C.QUALITIES[0], False, "", dict(C.QUALITY_HEIGHTS))
    if res.kind == "stream":
        described = _describe_stream(web, best.url, result)
        if described:
            if res.tracks and "subtitleLanguages" not in result:
                result["subtitleLanguages"] = _languages(t.lang for t in res.tracks)
            return result
    qualities = {tier_for_height(s.height) for s in res.sources if s.height}
    info = None
    try:
        cookie = web.jar.header(best.url)
        headers = f"Cookie: {cookie}\r\n" if cookie else ""
        info = media.probe(best.url, headers, timeout=15)
    except media.MissingTool:
        ctx.log("ffprobe is missing: the analysis has no duration or formats")
    except media.ToolFailed as err:
        ctx.log(f"probe of {best.url} failed: {err}")
    if info is not None:
        if info.duration:
            result["duration"] = info.duration
        if info.has_video:
            qualities.add(info.quality)
        if info.has_audio:
            qualities.add(C.QUALITIES[-1])
        if info.label():
            result["sourceLabel"] = info.label()
        result["probed"] = True
    elif qualities:
        result["probed"] = True  # the page names its qualities
    if any(s.kind == "audio" for s in res.sources) or (qualities and info is None):
        qualities.add(C.QUALITIES[-1])
    result["availableQualities"] = _order(qualities)
    if res.tracks:
        result["subtitleLanguages"] = _languages(t.lang for t in res.tracks)
    result["extractor"] = {"media": "direct" if res.final_url == best.url else "html5", "stream": "hls"}.get(res.kind,
                                                                                                         "generic")
    return result
