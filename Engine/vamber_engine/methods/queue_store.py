"""The batch queue the application saves and restores across launches.

Reading and writing queue.json happen in order on one lane of their own, off the thread that reads
requests: a slow disk never holds up a pause or a cancel, saves land in the order they were sent (the
last one wins), and a load sees every save sent before it.
"""

from typing import Any

from ..context import Context
from ..errors import params_error
from ..params import Params
from ..registry import NO_REPLY, method
from ..support import SupportDir, read_json_file, save_json
from ..workers import SerialLane

FILE_NAME = "queue.json"
DRAIN_SECONDS = 5.0

# The saved row, in the order the application writes it.
ROW_KEYS = [("url", str), ("title", str), ("quality", str), ("container", str), ("audio_only", bool),
            ("thumb_url", str), ("playlist", str), ("channel", str), ("status", str)]


class RowError(ValueError):
    def __init__(self, key, problem):
        super().__init__(f"{key} {problem}")
        self.key = key
        self.problem = problem


def check_row(row: Any, where: str) -> dict:
    """The row with exactly its nine keys; a RowError naming the bad key otherwise."""
    if not isinstance(row, dict):
        raise RowError(where, "must be an object")
    clean = {}
    for key, kind in ROW_KEYS:
        value = row.get(key)
        if value is None:
            raise RowError(f"{where}.{key}", "is missing")
        if not isinstance(value, kind):
            raise RowError(f"{where}.{key}", f"must be a {'boolean' if kind is bool else 'string'}")
        clean[key] = value
    return clean


def _valid_file(value):
    if not isinstance(value, dict) or not isinstance(value.get("items"), list):
        return False
    for i, row in enumerate(value["items"]):
        check_row(row, f"items[{i}]")
    return True


def load(support: SupportDir) -> list:
    return read_json_file(support.file(FILE_NAME), {"items": []}, _valid_file)["items"]


def lane(ctx: Context) -> SerialLane:
    return ctx.shared("queue.lane", lambda: _open_lane(ctx))


def _open_lane(ctx):
    made = SerialLane("queue-file")
    # Saves already answered or still waiting land before the engine exits.
    ctx.on_shutdown(lambda: made.drain(DRAIN_SECONDS))
    return made


@method("queue.load")
def queue_load(ctx: Context, params: Params) -> Any:
    def read():
        return {"items": [check_row(row, "row") for row in load(ctx.support)]}

    lane(ctx).submit(lambda: ctx.answer(read))
    return NO_REPLY


@method("queue.save")
def queue_save(ctx: Context, params: Params) -> Any:
    items = params.list("items")
    rows = []
    for i, row in enumerate(items):
        try:
            rows.append(check_row(row, f"items[{i}]"))
        except RowError as exc:
            raise params_error(exc.key, exc.problem)

    def write():
        ctx.engine.checkpoint("queue.write")
        save_json(ctx.support.file(FILE_NAME), {"items": rows}, "The queue")
        return {"saved": len(rows)}

    lane(ctx).submit(lambda: ctx.answer(write))
    return NO_REPLY
