"""Pasted addresses and listings: "queue.resolve" and "listing.page"."""
from typing import Any

from ..context import Context
from ..errors import FAILED, UNAVAILABLE, EngineError
from ..listing import Resolver, normalise
from ..origins import Origins
from ..net import NetError, Session
from ..params import Params
from ..registry import method
from ..resolve import NotMedia


def resolver(ctx: Context) -> Resolver:
    return ctx.shared("listing.resolver", lambda: Resolver(ctx.log))


def origins(ctx: Context) -> Origins:
    return ctx.shared("origins", lambda: Origins(str(ctx.support.path), ctx.log))


def _sessions(params):
    """A maker of sessions carrying the cookies of "cookiesFile" (cookies come only from that file)."""
    params.str("cookieSource", "")
    cookies_file = params.str("cookiesFile", "")
    try:
        Session(cookies_file)  # an unreadable cookie file fails the request, not each address
    except NetError as err:
        raise EngineError(UNAVAILABLE, str(err), "cookiesFile")
    return cookies_file, lambda: Session(cookies_file)


@method("queue.resolve", pool="web")
def queue_resolve(ctx: Context, params: Params) -> Any:
    urls = params.str_list("urls")
    cookies_file, make = _sessions(params)
    answer = resolver(ctx).resolve(urls, make, cookies_file)
    origins(ctx).remember([e for listing in answer["listings"] for e in listing["entries"]])
    return answer


@method("listing.page", pool="web")
def listing_page(ctx: Context, params: Params) -> Any:
    source = params.str("source", allow_empty=False)
    offset = params.int("offset", min=0)
    count = params.int("count", max=1000)
    section = params.str("section")
    cookies_file, make = _sessions(params)
    url = normalise(source)
    if url is None:
        raise EngineError(FAILED, f"{source} is not a web address.", "source")
    try:
        answer = resolver(ctx).page(url, offset, count, section, make, cookies_file)
    except NetError as err:
        raise EngineError(FAILED, str(err), err.kind)
    except NotMedia as err:
        raise EngineError(FAILED, str(err), "not-media")
    origins(ctx).remember(answer["entries"])
    return answer
