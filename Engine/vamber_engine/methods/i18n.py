"""The text tables of the user interface."""
from typing import Any

from .. import texts
from ..context import Context
from ..errors import params_error
from ..params import Params
from ..registry import method


@method("i18n.table")
def i18n_table(ctx: Context, params: Params) -> Any:
    language = params.str("language", None)
    if language is None:
        language = ctx.settings.get("language")
    elif language not in texts.languages():
        raise params_error("language", "must be one of " + ", ".join(f'"{x}"' for x in texts.languages()))
    return {
        "language": language,
        "default": texts.DEFAULT_LANGUAGE,
        "languages": texts.languages(),
        "strings": texts.table(language),
    }
