"""The batch queue the application saves and restores across launches.

Reading and writing queue.json happen in order on one lane of their own, off the thread that reads
requests: a slow disk never holds up a pause or a cancel, saves land in the order they were sent (the
last one wins), and a load sees every save sent before it.
"""

import threading
from typing import Any

from .. import logs
from ..context import Context
from ..errors import params_error
from ..netservices import downloads
from ..params import Params
from ..registry import NO_REPLY, method
from ..support import SupportDir, atomic_write_json, copy_aside, read_json_file, save_json
from ..workers import SerialLane

logger = logs.get(__name__)

FILE_NAME = "queue.json"
DRAIN_SECONDS = 5.0

# The saved row, in the order the application writes it.
ROW_KEYS = [("url", str), ("title", str), ("quality", str), ("container", str), ("audio_only", bool),
            ("thumb_url", str), ("playlist", str), ("channel", str), ("status", str)]
# Written since rows keep their job's id and whole format; rows saved before lack them.
OPTIONAL_KEYS = [("id", str), ("subtitleMode", str), ("videoCodec", str), ("saveThumbnail", bool),
                 ("embedCover", bool)]


class RowError(ValueError):
    def __init__(self, key, problem):
        super().__init__(f"{key} {problem}")
        self.key = key
        self.problem = problem


def _kind_name(kind):
    return "boolean" if kind is bool else "string"


def check_row(row: Any, where: str) -> dict:
    """The row with its nine keys and those of the optional ones it has; a RowError naming the bad key
    otherwise. Other keys are dropped."""
    if not isinstance(row, dict):
        raise RowError(where, "must be an object")
    clean = {}
    for key, kind in ROW_KEYS:
        value = row.get(key)
        if value is None:
            raise RowError(f"{where}.{key}", "is missing")
        if not isinstance(value, kind):
            raise RowError(f"{where}.{key}", f"must be a {_kind_name(kind)}")
        clean[key] = value
    for key, kind in OPTIONAL_KEYS:
        value = row.get(key)
        if value is None:
            continue
        if not isinstance(value, kind):
            raise RowError(f"{where}.{key}", f"must be a {_kind_name(kind)}")
        clean[key] = value
    return clean


def _valid_file(value):
    return isinstance(value, dict) and isinstance(value.get("items"), list)


def load(support: SupportDir) -> tuple[list, int]:
    """The readable rows of the saved queue and how many were not. A file that is not a queue at all is
    moved aside; one with some bad rows is copied aside and keeps only its good rows, so one damaged row
    never costs the others."""
    path = support.file(FILE_NAME)
    items = read_json_file(path, {"items": []}, _valid_file)["items"]
    rows, skipped = [], 0
    for i, row in enumerate(items):
        try:
            rows.append(check_row(row, f"items[{i}]"))
        except RowError as exc:
            skipped += 1
            if skipped == 1:
                logger.warning(f"{FILE_NAME}: row skipped, {exc}")
    if skipped:
        logger.warning(f"{FILE_NAME}: {skipped} of {len(items)} rows could not be read and were skipped")
        if copy_aside(path, f"{skipped} unreadable rows") is not None:
            try:
                atomic_write_json(path, {"items": rows})
            except OSError as exc:
                logger.error(f"cannot write {path}: {exc}")
    return rows, skipped


def lane(ctx: Context) -> SerialLane:
    return ctx.shared("queue.lane", lambda: _open_lane(ctx))


def _open_lane(ctx):
    made = SerialLane("queue-file")
    # Saves already answered or still waiting land before the engine exits.
    ctx.on_shutdown(lambda: made.drain(DRAIN_SECONDS))
    return made


def _skipped(ctx: Context) -> list:
    """Rows skipped since the engine started (changed in the lane only)."""
    return ctx.shared("queue.skipped", lambda: [0])


def check_stored(ctx: Context, timeout: float = 10.0) -> None:
    """Reads the saved queue once in its lane (after any save already sent), so a damaged file is set
    aside when the engine starts rather than when the queue is first asked for."""
    done = threading.Event()

    def read():
        try:
            _skipped(ctx)[0] += load(ctx.support)[1]
        finally:
            done.set()

    lane(ctx).submit(read)
    done.wait(timeout)


@method("queue.load")
def queue_load(ctx: Context, params: Params) -> Any:
    def read():
        rows, skipped = load(ctx.support)
        skipped += _skipped(ctx)[0]
        # The application loads its queue once, before it starts anything: a partial download whose
        # job is not in it belongs to nobody any more.
        ids = {row["id"] for row in rows if row.get("id")}
        downloads(ctx).forget_others(ids)
        reply = {"items": rows}
        if skipped:
            reply["skipped"] = skipped
        return reply

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
