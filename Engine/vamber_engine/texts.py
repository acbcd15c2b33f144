"""The user-interface text tables shipped in Engine/texts."""
from __future__ import annotations

import json
import os
import threading
from typing import Any

from . import constants as C

TEXTS_DIR = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "texts")
DEFAULT_LANGUAGE = "en"

_lock = threading.Lock()
_cache = {}


def _load(language):
    with _lock:
        if language not in _cache:
            path = os.path.join(TEXTS_DIR, f"{language}.json")
            try:
                with open(path, encoding="utf-8") as f:
                    table = json.load(f)
            except FileNotFoundError:
                table = {}
            if not isinstance(table, dict) or not all(isinstance(v, str) for v in table.values()):
                raise ValueError(f"{path} is not a table of texts")
            _cache[language] = table
        return _cache[language]


ONE_SUFFIX = "_one"


def table(language: str) -> dict[str, str]:
    """Every text in the language, English where the language has none of its own.

    A language that translates a key but not its "_one" variant keeps its own text for a count of one:
    the English variant would put one English sentence among translated ones."""
    merged = dict(_load(DEFAULT_LANGUAGE))
    if language != DEFAULT_LANGUAGE:
        own = _load(language)
        merged.update(own)
        for key in list(merged):
            base = key[: -len(ONE_SUFFIX)]
            if key.endswith(ONE_SUFFIX) and key not in own and base in own:
                merged[key] = own[base]
    return merged


def text(language: str, key: str, **params: Any) -> str:
    """One text with its {placeholders} filled; the key itself when no table has it."""
    value = table(language).get(key, key)
    for name, v in params.items():
        value = value.replace("{" + name + "}", str(v))
    return value


def languages() -> list[str]:
    return list(C.LANGUAGES)
