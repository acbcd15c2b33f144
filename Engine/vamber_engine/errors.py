"""Errors a handler raises to answer a request with an error reply."""
from __future__ import annotations

# Codes of the line protocol.
PARSE_ERROR = -32700
INVALID_REQUEST = -32600
METHOD_NOT_FOUND = -32601
INVALID_PARAMS = -32602
INTERNAL_ERROR = -32603
# The operation was cancelled (the application treats it as silent).
CANCELLED = 1001
# Something the engine needs is missing or unusable (a tool, a file, the network).
UNAVAILABLE = 1002
# The request was well formed but cannot be done (bad value, unknown id, ...).
FAILED = 1003


class EngineError(Exception):
    """Answered as {"error": {"code", "message", "detail"?}}."""

    def __init__(self, code, message, detail=None):
        super().__init__(message)
        self.code = int(code)
        self.message = str(message)
        self.detail = None if detail is None else str(detail)

    def to_json(self) -> dict:
        err = {"code": self.code, "message": self.message}
        if self.detail is not None:
            err["detail"] = self.detail
        return err


def params_error(key: str, problem: str) -> EngineError:
    return EngineError(INVALID_PARAMS, f"invalid params: '{key}' {problem}", detail=key)
