"""library.list, library.remove, library.reveal."""

import os
from typing import Any

from .. import desktop
from ..context import Context
from ..errors import FAILED, UNAVAILABLE, EngineError, params_error
from ..netservices import library
from ..params import Params
from ..registry import method


@method("library.list")
def list_items(ctx: Context, params: Params) -> Any:
    limit = params.int("limit", 120, min=0, max=10000)
    offset = params.int("offset", 0, min=0)
    # Optional: the "cursor" of the page before, so a long library is read without counting up to the offset.
    cursor = params.str("cursor", None)
    try:
        return library(ctx).page(offset, limit, cursor)
    except ValueError:
        raise params_error("cursor", "is not a cursor this engine gave")


@method("library.remove", threaded=True)
def remove(ctx: Context, params: Params) -> Any:
    paths = params.str_list("paths")
    delete_files = params.bool("deleteFiles", False)
    lib = library(ctx)
    forgotten = lib.remove(paths)
    if not delete_files:
        return {"removed": len(forgotten), "trashed": 0}
    failures = []
    trashed = 0
    for item in forgotten:
        if not os.path.lexists(item.path):
            continue
        try:
            desktop.move_to_trash(item.path)
            trashed += 1
        except desktop.TrashError as err:
            failures.append(str(err))
            lib.add(item)  # keep the entry of a file that is still there
    if failures:
        raise EngineError(FAILED, "Some files could not be moved to the trash: " + " ".join(failures), "trash")
    return {"removed": len(forgotten), "trashed": trashed}


@method("library.reveal", threaded=True)
def reveal(ctx: Context, params: Params) -> Any:
    path = params.str("path", allow_empty=False)
    if not os.path.exists(path):
        raise EngineError(FAILED, f"{path} is not there any more.", "missing")
    try:
        how = desktop.reveal(path)
    except OSError as err:
        raise EngineError(UNAVAILABLE, str(err), "file-manager")
    return {"path": path, "via": how}
