"""Reading and changing the user's settings."""
from typing import Any

from .. import constants as C
from ..context import Context
from ..errors import params_error
from ..params import Params
from ..registry import method
from ..settings import validate_value


@method("settings.get")
def settings_get(ctx: Context, params: Params) -> Any:
    return ctx.settings.record()


@method("settings.set")
def settings_set(ctx: Context, params: Params) -> Any:
    values = params.obj("values").data
    if not values:
        raise params_error("values", "must name at least one setting")
    return ctx.settings.update(values, key_prefix="values.")


@method("settings.setCookieSource")
def settings_set_cookie_source(ctx: Context, params: Params) -> Any:
    browser = params.str("browser")
    cookies_file = params.str("file", "")
    if browser not in C.COOKIE_SOURCES:
        raise params_error("browser", "must be one of " + ", ".join(f'"{s}"' for s in C.COOKIE_SOURCES))
    cookies_file = validate_value("cookiesFile", cookies_file, "file")
    return ctx.settings.update({"cookieSource": browser, "cookiesFile": cookies_file})
