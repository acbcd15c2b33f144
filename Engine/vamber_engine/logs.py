"""Diagnostics on standard error through `logging`: one line per record, "[engine] " first, then the
method of the request the work belongs to ("[engine] analyze: probe of … failed").

The method travels in a context variable: the engine sets it around each request's handler, and work
that outlives the handler (a download's transfer, a queued save) is started with the context of the
request it belongs to (`spawn`, `carry`), so its lines say so too.
"""

from __future__ import annotations

import contextvars
import logging
import sys
import threading
from typing import Any, Callable

ROOT = "vamber_engine"
request_method: contextvars.ContextVar[str] = contextvars.ContextVar("request_method", default="")


class _Stderr(logging.StreamHandler):
    """Writes to whatever sys.stderr is at the time (tests swap it)."""

    def __init__(self):
        super().__init__()

    @property
    def stream(self):
        return sys.stderr

    @stream.setter
    def stream(self, value):
        pass

    def handleError(self, record):
        pass  # standard error is gone: there is nowhere left to say anything


class _LineFormat(logging.Formatter):
    def format(self, record: logging.LogRecord) -> str:
        text = record.getMessage()
        if record.exc_info:
            text = f"{text}\n{self.formatException(record.exc_info)}"
        method = getattr(record, "method", None) or request_method.get()
        return f"[engine] {method}: {text}" if method else f"[engine] {text}"


def _configure() -> logging.Logger:
    root = logging.getLogger(ROOT)
    if not root.handlers:
        handler = _Stderr()
        handler.setFormatter(_LineFormat())
        root.addHandler(handler)
        root.setLevel(logging.INFO)
        root.propagate = False
    return root


_configure()


def get(name: str) -> logging.Logger:
    """The logger of an engine module (pass __name__)."""
    return logging.getLogger(name if name.startswith(ROOT) else f"{ROOT}.{name}")


def carry(func: Callable[..., Any]) -> Callable[..., Any]:
    """func bound to the caller's context: run later on any thread, it logs under the same method."""
    context = contextvars.copy_context()
    return lambda *args, **kwargs: context.copy().run(func, *args, **kwargs)


def spawn(target: Callable[..., Any], *args: Any, name: str | None = None) -> threading.Thread:
    """Starts a daemon thread running target(*args) in the caller's context."""
    thread = threading.Thread(target=carry(target), args=args, name=name, daemon=True)
    thread.start()
    return thread


def in_method(method: str, func: Callable[[], Any]) -> Any:
    """Runs func with its log lines tagged with method."""
    token = request_method.set(method)
    try:
        return func()
    finally:
        request_method.reset(token)
