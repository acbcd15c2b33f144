"""The script runtime: the engine runs on its own interpreter and needs no other."""
import platform
import sys
from typing import Any

from ..context import Context
from ..params import Params
from ..registry import method


@method("js.runtime")
def js_runtime(ctx: Context, params: Params) -> Any:
    params.bool("recheck", False)
    return {"runtime": {"name": f"Python {platform.python_version()}", "path": sys.executable or ""}}
