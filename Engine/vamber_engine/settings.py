"""The user's settings, kept in settings.json in the support folder."""
from __future__ import annotations

import os
import re
import threading
from typing import Any

from . import constants as C
from . import logs
from .errors import params_error
from .support import read_json_file, save_json

logger = logs.get(__name__)

FILE_NAME = "settings.json"


def default_download_dir() -> str:
    """The XDG download folder (user-dirs.dirs), else ~/Downloads."""
    home = os.path.expanduser("~")
    config = os.environ.get("XDG_CONFIG_HOME") or os.path.join(home, ".config")
    try:
        with open(os.path.join(config, "user-dirs.dirs"), encoding="utf-8") as f:
            for line in f:
                m = re.match(r'\s*XDG_DOWNLOAD_DIR\s*=\s*"(.*)"\s*$', line)
                if m:
                    path = m.group(1).replace("$HOME", home)
                    if os.path.isabs(path) and os.path.normpath(path) != os.path.normpath(home):
                        return path
    except OSError:
        pass
    return os.path.join(home, "Downloads")


def default_language() -> str:
    for var in ("LC_ALL", "LC_MESSAGES", "LANG", "LANGUAGE"):
        value = os.environ.get(var, "")
        code = value.split(":")[0].split("_")[0].split(".")[0].lower()
        if code in C.LANGUAGES:
            return code
        if value:
            break
    return "en"


def _choice(values):
    return ("choice", values)


# Settable keys: kind and, for choices, the accepted values.
SETTABLE = {
    "outputDir": ("folder", None),
    "quality": _choice(C.QUALITIES),
    "container": _choice(C.CONTAINERS),
    "audioOnly": ("bool", None),
    "saveThumbnail": ("bool", None),
    "embedCover": ("bool", None),
    "videoCodec": _choice(C.VIDEO_CODECS),
    "cookieSource": _choice(C.COOKIE_SOURCES),
    "cookiesFile": ("path", None),
    "speedMode": _choice(C.SPEED_MODES),
    "language": _choice(C.LANGUAGES),
    "transcriptionEnabled": ("bool", None),
    "transcriptionModel": ("text", None),
    "transcriptDir": ("folder", None),
    "transcriptionLanguage": ("text", None),
    "transcribeOverSubtitles": ("bool", None),
    "appearance": _choice(C.APPEARANCES),
    "forceGeneric": ("bool", None),
    "downloadOptionsExpanded": ("bool", None),
    "askWhereToSave": ("bool", None),
    "searchEngine": _choice(list(C.SEARCH_ENGINES)),
}
# Derived or fixed: part of the record, never set directly.
READ_ONLY = ("outputDirIsDefault", "searchURL", "searchEngines", "speedModes", "languages", "appearances")

# The record's keys in the order the application declares them.
RECORD_KEYS = [
    "outputDir", "outputDirIsDefault", "quality", "container", "audioOnly", "saveThumbnail", "embedCover",
    "videoCodec", "cookieSource", "cookiesFile", "speedMode", "language", "transcriptionEnabled",
    "transcriptionModel", "transcriptDir", "transcriptionLanguage", "transcribeOverSubtitles", "appearance",
    "forceGeneric", "downloadOptionsExpanded", "askWhereToSave", "searchEngine", "searchURL", "searchEngines",
    "speedModes", "languages", "appearances",
]


def defaults() -> dict:
    return {
        "outputDir": "",  # empty: the default download folder
        "quality": C.DEFAULT_QUALITY,
        "container": C.DEFAULT_CONTAINER,
        "audioOnly": False,
        "saveThumbnail": False,
        "embedCover": False,
        "videoCodec": C.DEFAULT_VIDEO_CODEC,
        "cookieSource": C.COOKIE_NONE,
        "cookiesFile": "",
        "speedMode": C.SPEED_MODES[0],
        "language": default_language(),
        "transcriptionEnabled": False,
        "transcriptionModel": "",
        "transcriptDir": "",  # empty: beside the media file
        "transcriptionLanguage": "",  # empty: detect
        "transcribeOverSubtitles": False,
        "appearance": "auto",
        "forceGeneric": False,
        "downloadOptionsExpanded": False,
        "askWhereToSave": False,
        "searchEngine": C.DEFAULT_SEARCH_ENGINE,
    }


def validate_value(key: str, value: Any, param_key: str | None = None) -> Any:
    """The value to store for key, or an EngineError naming param_key (default: the key)."""
    name = param_key or key
    if key in READ_ONLY:
        raise params_error(name, "cannot be set: it follows from the other settings")
    if key not in SETTABLE:
        raise params_error(name, "is not a setting")
    kind, values = SETTABLE[key]
    if kind == "bool":
        if not isinstance(value, bool):
            raise params_error(name, "must be a boolean")
        return value
    if not isinstance(value, str):
        raise params_error(name, "must be a string")
    if kind == "choice":
        if value not in values:
            raise params_error(name, "must be one of " + ", ".join(f'"{v}"' for v in values))
        return value
    if kind in ("folder", "path"):
        if value == "":
            return value
        expanded = os.path.expanduser(value)
        if "\0" in value or not os.path.isabs(expanded):
            raise params_error(name, "must be an absolute path or empty")
        return os.path.normpath(expanded)
    return value


class SettingsStore:
    """Thread-safe settings; every change is written through to disk before it is answered."""

    def __init__(self, support):
        self._path = support.file(FILE_NAME)
        self._lock = threading.Lock()
        self._values = defaults()
        stored = read_json_file(self._path, {}, validate=lambda v: isinstance(v, dict))
        for key, value in stored.items():
            try:
                self._values[key] = validate_value(key, value)
            except Exception:
                logger.warning(f"{FILE_NAME}: ignoring the stored value of '{key}'")

    def _effective(self, key):
        if key == "outputDir":
            return self._values["outputDir"] or default_download_dir()
        if key == "outputDirIsDefault":
            return self._values["outputDir"] in ("", default_download_dir())
        if key == "searchURL":
            return C.SEARCH_ENGINES[self._values["searchEngine"]]
        if key == "searchEngines":
            return list(C.SEARCH_ENGINES)
        if key == "speedModes":
            return list(C.SPEED_MODES)
        if key == "languages":
            return list(C.LANGUAGES)
        if key == "appearances":
            return list(C.APPEARANCES)
        return self._values[key]

    def get(self, key: str) -> Any:
        """One setting as the record shows it (outputDir resolved to the real folder)."""
        with self._lock:
            if key not in RECORD_KEYS:
                raise KeyError(key)
            return self._effective(key)

    def record(self) -> dict:
        """The whole settings record, every key present."""
        with self._lock:
            return {key: self._effective(key) for key in RECORD_KEYS}

    def update(self, values: dict, key_prefix: str = "") -> dict:
        """Validates every value first, then applies all of them or none; returns the record."""
        checked = {}
        for key, value in values.items():
            checked[key] = validate_value(key, value, key_prefix + key)
        with self._lock:
            new = dict(self._values)
            new.update(checked)
            save_json(self._path, new, "The settings")
            self._values = new
        return self.record()
