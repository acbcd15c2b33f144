"""Which format options go together."""
from typing import Any

from .. import constants as C
from ..context import Context
from ..params import Params
from ..registry import method


def allowed_for(container: str) -> dict:
    audio = container in C.AUDIO_CONTAINERS
    return {
        "container": container,
        # An audio container holds no picture, so the only quality is the audio itself.
        "qualities": ["audio"] if audio else list(C.QUALITIES),
        "allQualities": list(C.QUALITIES),
        "containers": list(C.CONTAINERS),
        "allContainers": list(C.CONTAINERS),
        "videoCodecs": ["Auto"] if audio else list(C.CONTAINER_CODECS[container]),
        "allVideoCodecs": list(C.VIDEO_CODECS),
        "subtitleModes": list(C.SUBTITLE_MODES) if container in C.SUBTITLE_EMBED_CONTAINERS else ["off", "file"],
        "allSubtitleModes": list(C.SUBTITLE_MODES),
        "cookieSources": list(C.COOKIE_SOURCES),
        "allCookieSources": list(C.COOKIE_SOURCES),
    }


@method("options.allowed")
def options_allowed(ctx: Context, params: Params) -> Any:
    return allowed_for(params.choice("container", C.CONTAINERS))
