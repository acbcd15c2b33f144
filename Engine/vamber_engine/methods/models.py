"""Speech-recognition models: "models.list", "models.offer", "models.download", "models.cancel",
"models.delete". Progress and outcomes go out as "model.progress" and "model.state".

The system's English model comes with the system's packages: it is offered as installed, a download
of it is done at once, and it cannot be deleted from here."""
from ..errors import FAILED, UNAVAILABLE, EngineError
from ..modelstore import ModelError, ModelStore
from ..registry import method
from ..speechmodels import SpeechModels
from ..sphinxrecognizer import SYSTEM_KEY

SYSTEM_MODEL_DELETE = ("The English speech model belongs to the system's packages (pocketsphinx-en-us); "
                       "remove it with the package manager if it is no longer wanted.")


def store(ctx):
    return ctx.shared("modelstore", lambda: _open(ctx))


def _open(ctx):
    s = ModelStore(ctx.support.subdir("models"), ctx.log)
    ctx.on_shutdown(s.stop_all)
    return s


def speech_models(ctx):
    return ctx.shared("speechmodels", lambda: SpeechModels(store(ctx), str(ctx.support.path), ctx.log))


def _error(exc):
    return EngineError(UNAVAILABLE if exc.unavailable else FAILED, str(exc))


@method("models.list", threaded=True)
def list_models(ctx, params):
    return speech_models(ctx).info(language=ctx.settings.get("language"))


@method("models.offer", threaded=True)
def offer(ctx, params):
    key = params.str("key", allow_empty=False)
    if key == SYSTEM_KEY:
        entry = speech_models(ctx).system_entry()
        return {"key": key, "installed": entry["installed"], "host": "", "downloadBytes": entry["downloadBytes"],
                "diskBytes": entry["downloadBytes"]}
    try:
        return store(ctx).offer(key)
    except ModelError as exc:
        raise _error(exc)


@method("models.download", threaded=True)
def download(ctx, params):
    key = params.str("key", allow_empty=False)
    if key == SYSTEM_KEY:
        if not speech_models(ctx).system_available():
            message = ("The English speech model is not installed; install the pocketsphinx-en-us package "
                       "with the system's package manager.")
            ctx.emit("model.state", {"key": key, "state": "failed", "message": message})
            raise EngineError(UNAVAILABLE, message)
        ctx.emit("model.state", {"key": key, "state": "installed"})
        return {"key": key, "started": False, "installed": True}
    try:
        outcome = store(ctx).download(key, ctx.emit)
    except ModelError as exc:
        # The application shows a download as running until a state arrives for it.
        ctx.emit("model.state", {"key": key, "state": "failed", "message": str(exc)})
        raise _error(exc)
    return {"key": key, "started": outcome == "started", "installed": outcome == "installed"}


@method("models.cancel")
def cancel(ctx, params):
    key = params.str("key")
    return {"cancelled": store(ctx).cancel(key)}


@method("models.delete", threaded=True)
def delete(ctx, params):
    key = params.str("key", allow_empty=False)
    if key == SYSTEM_KEY:
        raise EngineError(FAILED, SYSTEM_MODEL_DELETE, "system-model")
    try:
        store(ctx).delete(key, ctx.emit)
    except ModelError as exc:
        raise _error(exc)
    return {"key": key, "deleted": True}
