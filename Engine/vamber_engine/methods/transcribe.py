"""Transcription. The engine has no speech recognizer yet, and says so plainly."""
from ..errors import UNAVAILABLE, EngineError
from ..registry import method

NO_RECOGNIZER = "This engine has no speech recognizer yet, so it cannot transcribe."


@method("transcribe.start")
def start(ctx, params):
    params.str("path")
    params.str("jobId")
    raise EngineError(UNAVAILABLE, NO_RECOGNIZER, detail="no-recognizer")


@method("transcribe.cancel")
def cancel(ctx, params):
    params.str("jobId")
    # Nothing runs, so there is nothing to stop.
    return {"cancelled": False}
