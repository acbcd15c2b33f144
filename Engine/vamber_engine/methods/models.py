"""Speech-recognition models: "models.list", "models.offer", "models.download", "models.cancel",
"models.delete". Progress and outcomes go out as "model.progress" and "model.state"."""
from ..errors import FAILED, UNAVAILABLE, EngineError
from ..modelstore import ModelError, ModelStore
from ..registry import method


def store(ctx):
    return ctx.shared("modelstore", lambda: _open(ctx))


def _open(ctx):
    s = ModelStore(ctx.support.subdir("models"), ctx.log)
    ctx.on_shutdown(s.stop_all)
    return s


def _error(exc):
    return EngineError(UNAVAILABLE if exc.unavailable else FAILED, str(exc))


@method("models.list", threaded=True)
def list_models(ctx, params):
    try:
        info = store(ctx).info()
    except ModelError as exc:
        raise _error(exc)
    return {
        "models": info["models"],
        "default": info["default"],
        # The machine could run a recognizer; the engine does not have one yet.
        "supported": True,
        "helperAvailable": False,
        "appleSilicon": False,
        "gpu": False,
        "speedFactor": 0.0,
        "diskUsage": info["diskUsage"],
    }


@method("models.offer", threaded=True)
def offer(ctx, params):
    key = params.str("key", allow_empty=False)
    try:
        return store(ctx).offer(key)
    except ModelError as exc:
        raise _error(exc)


@method("models.download", threaded=True)
def download(ctx, params):
    key = params.str("key", allow_empty=False)
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
    try:
        store(ctx).delete(key, ctx.emit)
    except ModelError as exc:
        raise _error(exc)
    return {"key": key, "deleted": True}
