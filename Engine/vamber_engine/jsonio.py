"""Strict JSON in and out: no NaN or Infinity either way."""
from __future__ import annotations

import json
import math
from typing import Any


def _reject_constant(name):
    raise ValueError(f"{name} is not valid JSON")


def loads(text: str | bytes) -> Any:
    """Parses JSON, refusing the NaN/Infinity literals Python would accept; ValueError for anything
    it cannot take, nesting too deep for the parser included."""
    try:
        return json.loads(text, parse_constant=_reject_constant)
    except RecursionError:
        raise ValueError("the JSON is nested too deeply") from None


def dumps(obj: Any) -> str:
    """Compact, strict JSON text; raises ValueError on a non-finite number."""
    try:
        return json.dumps(obj, allow_nan=False, separators=(",", ":"), ensure_ascii=False)
    except UnicodeEncodeError:  # pragma: no cover - json itself does not encode
        raise


def dumps_line(obj: Any) -> bytes:
    """One protocol line as UTF-8 bytes, line feed included."""
    text = dumps(obj)
    try:
        data = text.encode("utf-8")
    except UnicodeEncodeError:
        # Lone surrogates (undecodable file names) cannot be UTF-8: escape them instead.
        data = json.dumps(obj, allow_nan=False, separators=(",", ":"), ensure_ascii=True).encode("ascii")
    return data + b"\n"


def finite(value: Any, default: float = 0.0) -> float:
    """A float that is safe to send: NaN and infinities become the default."""
    try:
        f = float(value)
    except (TypeError, ValueError):
        return default
    return f if math.isfinite(f) else default
