"""The method table. Modules in vamber_engine/methods register their handlers with @method."""
from __future__ import annotations

import importlib
import pkgutil
from dataclasses import dataclass
from typing import Callable

from . import logs


@dataclass
class MethodEntry:
    name: str
    handler: object
    threaded: bool = False
    pool: str = "work"


METHODS = {}


# Threads per pool. "web": analysis, listings and thumbnails (network waits); "work": short local
# tasks; "jobs": long jobs with progress (clips, model downloads, transcription). Downloads do not
# use a pool: they run in their own transfer slots.
POOL_SIZES = {"web": 6, "work": 4, "jobs": 6}


def method(name: str, threaded: bool = False, pool: str | None = None) -> Callable:
    """Registers handler(ctx, params) under a method name; threaded ones run on a pool thread
    ("work" unless another pool is named)."""
    if pool is not None and pool not in POOL_SIZES:
        raise ValueError(f"method '{name}': no thread pool named '{pool}'")

    def register(func):
        if name in METHODS and METHODS[name].handler is not func:
            raise RuntimeError(f"method '{name}' registered twice")
        METHODS[name] = MethodEntry(name, func, threaded or pool is not None, pool or "work")
        return func

    return register


def load_methods(package_name: str | None = None) -> dict[str, MethodEntry]:
    """Imports every module of the methods package, which fills METHODS."""
    package = importlib.import_module(package_name or f"{__package__}.methods")

    for info in sorted(pkgutil.iter_modules(package.__path__), key=lambda i: i.name):
        try:
            importlib.import_module(f"{package.__name__}.{info.name}")
        except Exception:
            # One broken group of methods must not take the others down: its methods stay unknown.
            logs.get(__name__).error(f"methods/{info.name}.py could not be loaded", exc_info=True)
    return METHODS


# A handler returns this when it has answered (or deliberately not answered) by itself.
NO_REPLY = object()
