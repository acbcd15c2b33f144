"""The text tables of the user interface."""
from .. import texts
from ..errors import params_error
from ..registry import method


@method("i18n.table")
def i18n_table(ctx, params):
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
