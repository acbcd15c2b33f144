"""Typed, validating access to a request's params; every failure names the key."""
from __future__ import annotations

import math
from typing import Any, Iterable

from .errors import params_error

_MISSING = object()


class Params:
    def __init__(self, data=None):
        self._data = {} if data is None else data

    @property
    def data(self) -> dict:
        return self._data

    def has(self, key: str) -> bool:
        return key in self._data and self._data[key] is not None

    def raw(self, key: str, default: Any = _MISSING) -> Any:
        if key in self._data:
            return self._data[key]
        if default is _MISSING:
            raise params_error(key, "is missing")
        return default

    def _get(self, key, default, check, what):
        value = self._data.get(key, None)
        if value is None:
            if default is _MISSING:
                raise params_error(key, "is missing" if key not in self._data else f"must be {what}, not null")
            return default
        if not check(value):
            raise params_error(key, f"must be {what}")
        return value

    def str(self, key: str, default: Any = _MISSING, allow_empty: bool = True) -> str:
        value = self._get(key, default, lambda v: isinstance(v, str), "a string")
        if not allow_empty and value == "":
            raise params_error(key, "must not be empty")
        return value

    def bool(self, key: str, default: Any = _MISSING) -> bool:
        return self._get(key, default, lambda v: isinstance(v, bool), "a boolean")

    def int(self, key: str, default: Any = _MISSING, min: int | None = None, max: int | None = None) -> int:
        def is_int(v):
            if isinstance(v, bool):
                return False
            if isinstance(v, int):
                return True
            return isinstance(v, float) and math.isfinite(v) and v.is_integer()

        if self._data.get(key) is None and default is not _MISSING:
            return default
        value = int(self._get(key, default, is_int, "an integer"))
        if min is not None and value < min:
            raise params_error(key, f"must be at least {min}")
        if max is not None and value > max:
            raise params_error(key, f"must be at most {max}")
        return value

    def float(self, key: str, default: Any = _MISSING) -> float:
        def is_num(v):
            return not isinstance(v, bool) and isinstance(v, (int, float)) and math.isfinite(v)

        if self._data.get(key) is None and default is not _MISSING:
            return default
        return float(self._get(key, default, is_num, "a finite number"))

    def str_list(self, key: str, default: Any = _MISSING) -> list[str]:
        def is_list(v):
            return isinstance(v, list) and all(isinstance(x, str) for x in v)

        if self._data.get(key) is None and default is not _MISSING:
            return default
        return list(self._get(key, default, is_list, "an array of strings"))

    def list(self, key: str, default: Any = _MISSING) -> list:
        return self._get(key, default, lambda v: isinstance(v, list), "an array")

    def obj(self, key: str, default: Any = _MISSING) -> "Params":
        """A nested object, as Params so its keys are validated the same way."""
        if self._data.get(key) is None and default is not _MISSING:
            return default
        return Params(self._get(key, default, lambda v: isinstance(v, dict), "an object"))

    def choice(self, key: str, choices: Iterable[str], default: Any = _MISSING) -> str:
        if self._data.get(key) is None and default is not _MISSING:
            return default
        value = self.str(key)
        if value not in choices:
            raise params_error(key, "must be one of " + ", ".join(f'"{c}"' for c in choices))
        return value
