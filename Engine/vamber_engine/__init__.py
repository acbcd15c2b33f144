"""The Vamber stand-in engine."""

ENGINE_VERSION = "1.0.0"
