"""The script runtime: the engine runs on its own interpreter and needs no other."""
import platform
import sys

from ..registry import method


@method("js.runtime")
def js_runtime(ctx, params):
    params.bool("recheck", False)
    return {"runtime": {"name": f"Python {platform.python_version()}", "path": sys.executable or ""}}
