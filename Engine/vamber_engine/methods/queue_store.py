"""The batch queue the application saves and restores across launches."""
import threading

from ..errors import params_error
from ..registry import method
from ..support import read_json_file, save_json

FILE_NAME = "queue.json"

# The saved row, in the order the application writes it.
ROW_KEYS = [("url", str), ("title", str), ("quality", str), ("container", str), ("audio_only", bool),
            ("thumb_url", str), ("playlist", str), ("channel", str), ("status", str)]

_lock = threading.Lock()


class RowError(ValueError):
    def __init__(self, key, problem):
        super().__init__(f"{key} {problem}")
        self.key = key
        self.problem = problem


def check_row(row, where):
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


def load(support):
    return read_json_file(support.file(FILE_NAME), {"items": []}, _valid_file)["items"]


@method("queue.load")
def queue_load(ctx, params):
    with _lock:
        return {"items": [check_row(row, "row") for row in load(ctx.support)]}


@method("queue.save")
def queue_save(ctx, params):
    items = params.list("items")
    rows = []
    for i, row in enumerate(items):
        try:
            rows.append(check_row(row, f"items[{i}]"))
        except RowError as exc:
            raise params_error(exc.key, exc.problem)
    with _lock:
        save_json(ctx.support.file(FILE_NAME), {"items": rows}, "The queue")
    return {"saved": len(rows)}
