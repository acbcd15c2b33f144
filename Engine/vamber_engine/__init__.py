"""The Vamber stand-in engine."""

ENGINE_VERSION = "1.0.0"

from . import logs  # noqa: E402,F401  (diagnostics are set up before any module logs)
