"""What a handler gets besides its params."""
from __future__ import annotations

from typing import TYPE_CHECKING, Any, Callable

from . import logs

if TYPE_CHECKING:
    from .settings import SettingsStore
    from .support import SupportDir

logger = logs.get("requests")


class Context:
    """Per-request view of the engine: emit events, reach the support folder and the settings."""

    def __init__(self, engine, req_id, method):
        self.engine = engine
        self.id = req_id
        self.method = method

    @property
    def support(self) -> SupportDir:
        return self.engine.support

    @property
    def settings(self) -> SettingsStore:
        return self.engine.settings

    @property
    def test_mode(self) -> bool:
        return self.engine.test_mode

    def emit(self, event: str, params: dict | None = None) -> bool:
        """Sends a notification; returns False when it could not be encoded (and was dropped)."""
        return self.engine.output.event(event, params)

    def log(self, message: str) -> None:
        """A line on standard error, tagged with the method of the request being worked on now
        (this one's when the current work belongs to no request)."""
        if logs.request_method.get():
            logger.info(message)
        else:
            logs.in_method(self.method, lambda: logger.info(message))

    def answer(self, func: Callable[[], Any]) -> None:
        """Answers this request later, from any thread, with what func returns or raises, as if the
        handler had (for a handler that returned NO_REPLY)."""
        self.engine.answer(self.id, self.method, func)

    def on_shutdown(self, func: Callable[[], Any]) -> None:
        self.engine.on_shutdown(func)

    def shared(self, name: str, factory: Callable[[], Any]) -> Any:
        """One object per engine under a name (a job table, a database), made on first use."""
        return self.engine.shared(name, factory)
