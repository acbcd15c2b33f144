"""The built-in browser's favourites."""
import threading
from typing import Any

from ..context import Context
from ..params import Params
from ..registry import method
from ..support import read_json_file, save_json

FILE_NAME = "favourites.json"
_lock = threading.Lock()


def _valid(value):
    return isinstance(value, dict) and isinstance(value.get("items"), list) and all(
        isinstance(item, dict) and isinstance(item.get("url"), str) and isinstance(item.get("title"), str)
        for item in value["items"])


def load(ctx):
    items = read_json_file(ctx.support.file(FILE_NAME), {"items": []}, _valid)["items"]
    return [{"url": item["url"], "title": item["title"]} for item in items]


def _save(ctx, items):
    save_json(ctx.support.file(FILE_NAME), {"items": items}, "The favourites")
    return {"items": items}


@method("favourites.list")
def favourites_list(ctx: Context, params: Params) -> Any:
    with _lock:
        return {"items": load(ctx)}


@method("favourites.add")
def favourites_add(ctx: Context, params: Params) -> Any:
    url = params.str("url", allow_empty=False)
    title = params.str("title")
    with _lock:
        items = load(ctx)
        for item in items:
            if item["url"] == url:
                item["title"] = title  # adding again renames it, keeping its place
                break
        else:
            items.append({"url": url, "title": title})
        return _save(ctx, items)


@method("favourites.remove")
def favourites_remove(ctx: Context, params: Params) -> Any:
    url = params.str("url")
    with _lock:
        items = [item for item in load(ctx) if item["url"] != url]
        return _save(ctx, items)
