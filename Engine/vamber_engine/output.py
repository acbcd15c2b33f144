"""Standard output, shared by every thread: one lock, whole lines only."""
from __future__ import annotations

import sys
import threading
from typing import Any

from . import jsonio, logs

logger = logs.get(__name__)


class Output:
    def __init__(self, stream=None):
        self._stream = stream if stream is not None else sys.stdout.buffer
        self.lock = threading.RLock()
        self.closed = False
        # Called once, outside the lock, when the application stops reading (set by the engine).
        self.on_closed = None

    def write_bytes(self, data: bytes) -> None:
        with self.lock:
            if self.closed:
                return  # nobody reads any more: what is left to say is dropped
            try:
                self._stream.write(data)
                self._stream.flush()
                return
            except (BrokenPipeError, ValueError, OSError):
                self.closed = True
        if self.on_closed is not None:
            self.on_closed()

    def write_obj(self, obj: Any) -> None:
        self.write_bytes(jsonio.dumps_line(obj))

    def reply(self, req_id: int | None, result: Any) -> None:
        try:
            line = jsonio.dumps_line({"id": req_id, "result": {} if result is None else result})
        except (ValueError, TypeError) as exc:
            logger.error(f"reply to request {req_id} is not valid JSON: {exc}")
            line = jsonio.dumps_line({"id": req_id, "error": {
                "code": -32603, "message": "The engine produced an invalid reply.", "detail": str(exc)}})
        self.write_bytes(line)

    def error(self, req_id: int | None, err_json: dict) -> None:
        self.write_obj({"id": req_id, "error": err_json})

    def event(self, name: str, params: Any = None, with_params: bool = True) -> bool:
        obj = {"event": name}
        if with_params:
            obj["params"] = {} if params is None else params
        try:
            line = jsonio.dumps_line(obj)
        except (ValueError, TypeError) as exc:
            # A NaN would make the application drop the line; drop it here and say so.
            logger.error(f"event '{name}' not sent: {exc}")
            return False
        self.write_bytes(line)
        return True

    def flush(self) -> None:
        with self.lock:
            if self.closed:
                return
            try:
                self._stream.flush()
            except (BrokenPipeError, ValueError, OSError):
                pass
