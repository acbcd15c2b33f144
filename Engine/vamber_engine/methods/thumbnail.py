"""thumbnail.resolve: a local JPEG or PNG for a thumbnail address, a page, or a media file."""

import hashlib
import os
from typing import Any
from pathlib import Path

from .. import media, pages
from ..context import Context
from ..downloader import store_image
from ..errors import FAILED, UNAVAILABLE, EngineError
from ..net import NetError, check_url
from ..netservices import session
from ..params import Params
from ..registry import method
from ..resolve import NotMedia, resolve

IMAGE_LIMIT = 16 << 20


def _cached(base: Path):
    for ext in (".jpg", ".png"):
        candidate = base.with_suffix(ext)
        if candidate.exists() and candidate.stat().st_size > 0:
            return str(candidate)
    return None


def _key(text: str) -> str:
    return hashlib.sha256(text.encode("utf-8")).hexdigest()[:40]


def _from_address(web, url: str, base: Path):
    """An image address, a page with og:image, or a media address (a frame of it)."""
    with web.open(url) as resp:
        ctype = resp.content_type
        if ctype.startswith("image/"):
            data = resp.read_whole(IMAGE_LIMIT, f"The picture at {url}")
            return store_image(data, base)
        final = resp.url
    kind = pages.media_kind(ctype, final)
    if kind == "video":
        cookie = web.jar.header(final)
        media.extract_frame(final, str(base.with_suffix(".jpg")), 1.0, f"Cookie: {cookie}\r\n" if cookie else "")
        return base.with_suffix(".jpg")
    res = resolve(web, url)
    if res.thumbnail and res.thumbnail != url:
        with web.open(res.thumbnail) as resp:
            return store_image(resp.read_whole(IMAGE_LIMIT, f"The picture at {res.thumbnail}"), base)
    return None


@method("thumbnail.resolve", pool="web")
def resolve_thumbnail(ctx: Context, params: Params) -> Any:
    url = params.str("url", "").strip()
    media_path = params.str("mediaPath", "").strip()
    page_url = params.str("pageUrl", "").strip()
    params.str("cookieSource", "None")
    cache = Path(ctx.support.subdir("thumbnails"))
    problems = []

    if media_path and os.path.exists(media_path) and pages.extension(media_path) in (".jpg", ".jpeg", ".png"):
        return {"path": media_path}
    for address in (url, page_url):
        if not address:
            continue
        base = cache / _key("url:" + address)
        hit = _cached(base)
        if hit:
            return {"path": hit}
        try:
            check_url(address)
            web = session(params)
            made = _from_address(web, address, base)
            if made:
                return {"path": str(made)}
        except (NetError, NotMedia, media.ToolFailed) as err:
            problems.append(str(err))
        except media.MissingTool as err:
            problems.append(str(err))
    if media_path:
        if not os.path.exists(media_path):
            problems.append(f"{media_path} is not there any more.")
        else:
            st = os.stat(media_path)
            base = cache / _key(f"file:{media_path}:{st.st_mtime_ns}:{st.st_size}")
            hit = _cached(base)
            if hit:
                return {"path": hit}
            try:
                info = media.probe(media_path)
                at = min(max(info.duration * 0.1, 0.0), 10.0) if info.duration else 1.0
                dest = base.with_suffix(".jpg")
                media.extract_frame(media_path, str(dest), at)
                return {"path": str(dest)}
            except media.MissingTool as err:
                raise EngineError(UNAVAILABLE, str(err), err.program)
            except media.ToolFailed as err:
                problems.append(str(err))
    if not problems:
        raise EngineError(FAILED, "There is no thumbnail to show.", "none")
    raise EngineError(FAILED, "No thumbnail could be made: " + " ".join(problems), "thumbnail")
