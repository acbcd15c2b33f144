"""The library: every file the engine downloaded or produced, in SQLite in the support folder.

A media item may own thumbnail items (kind "thumbnail", `parent` = the media path): a page of the
library counts media items only, and carries the thumbnails of those items along with them.

Other modules add their products (clips, transcripts' media) with `Library.add`.
"""

from __future__ import annotations

import json
import os
import sqlite3
import threading
import time
from dataclasses import dataclass
from pathlib import Path
from typing import Iterable, Optional

from . import logs
from .support import move_aside

logger = logs.get(__name__)

SCHEMA = """
CREATE TABLE IF NOT EXISTS items (
    path TEXT PRIMARY KEY,
    title TEXT NOT NULL DEFAULT '',
    url TEXT NOT NULL DEFAULT '',
    kind TEXT NOT NULL DEFAULT 'video',
    addedAt REAL NOT NULL,
    sizeBytes INTEGER NOT NULL DEFAULT 0,
    thumbURL TEXT NOT NULL DEFAULT '',
    thumbPath TEXT NOT NULL DEFAULT '',
    channel TEXT NOT NULL DEFAULT '',
    playlist TEXT NOT NULL DEFAULT '',
    parent TEXT NOT NULL DEFAULT ''
);
CREATE INDEX IF NOT EXISTS items_added ON items (addedAt DESC, path);
CREATE INDEX IF NOT EXISTS items_parent ON items (parent);
"""

THUMBNAIL = "thumbnail"


@dataclass
class Item:
    path: str
    title: str = ""
    url: str = ""
    kind: str = "video"
    addedAt: float = 0.0
    sizeBytes: int = 0
    thumbURL: str = ""
    thumbPath: str = ""
    channel: str = ""
    playlist: str = ""
    parent: str = ""

    def record(self) -> dict:
        """The item as the application reads it."""
        return {"path": self.path, "title": self.title, "url": self.url, "kind": self.kind,
                "addedAt": float(self.addedAt), "sizeBytes": int(self.sizeBytes), "thumbURL": self.thumbURL,
                "thumbPath": self.thumbPath, "channel": self.channel, "playlist": self.playlist,
                "exists": os.path.exists(self.path)}


_COLUMNS = ("path", "title", "url", "kind", "addedAt", "sizeBytes", "thumbURL", "thumbPath", "channel", "playlist",
            "parent")


class _Damaged(Exception):
    pass


def _is_damage(exc: sqlite3.Error) -> bool:
    # "file is not a database", "database disk image is malformed"; not a locked or unwritable one.
    return getattr(exc, "sqlite_errorname", "") in ("SQLITE_NOTADB", "SQLITE_CORRUPT") or \
        type(exc) is sqlite3.DatabaseError


class Library:
    """Never fails to open: a damaged database is set aside and a new one made; when none can be made,
    this session keeps its library in memory, so downloads go on either way."""
    # (connection, its own changes, others' commits, media items) of the last count
    _counted: Optional[tuple[object, int, int, int]] = None

    def __init__(self, db_path: str | Path):
        self.db_path = str(db_path)
        self._lock = threading.Lock()
        self._db = self._open()

    def _open(self) -> sqlite3.Connection:
        why = self._emptied()
        if why is None:
            try:
                return self._connect(self.db_path)
            except _Damaged as exc:
                why = str(exc)
            except sqlite3.Error as exc:
                if not _is_damage(exc):
                    return self._in_memory(exc)
                why = str(exc)
        move_aside(self.db_path, why, ("-wal", "-shm"))
        try:
            return self._connect(self.db_path)
        except (sqlite3.Error, _Damaged) as exc:
            return self._in_memory(exc)

    def _emptied(self) -> Optional[str]:
        """Why an existing file cannot be the library although SQLite would take it: an empty file is a
        library that lost everything (a full disk), not a new one."""
        try:
            if os.path.getsize(self.db_path) > 0:
                return None
        except OSError:
            return None
        try:
            if os.path.getsize(self.db_path + "-wal") > 0:
                return None  # everything still lives in the journal
        except OSError:
            pass
        return "empty file"

    def _connect(self, target: str) -> sqlite3.Connection:
        db = sqlite3.connect(target, check_same_thread=False)
        try:
            db.execute("PRAGMA journal_mode=WAL")
            db.execute("PRAGMA busy_timeout=5000")
            if target != ":memory:":
                problems = db.execute("PRAGMA quick_check(5)").fetchall()
                if problems != [("ok",)]:
                    raise _Damaged("; ".join(str(p[0]) for p in problems))
            db.executescript(SCHEMA)
        except BaseException:
            db.close()
            raise
        return db

    def _in_memory(self, exc: BaseException) -> sqlite3.Connection:
        logger.error(f"the library {self.db_path} cannot be used ({exc}); this session keeps it in memory")
        return self._connect(":memory:")

    def close(self) -> None:
        with self._lock:
            self._db.close()

    def add(self, item: Item) -> Item:
        """Adds or replaces the item at item.path (a file downloaded again is listed once, as new)."""
        if not item.addedAt:
            item.addedAt = time.time()
        if not item.sizeBytes:
            try:
                item.sizeBytes = os.path.getsize(item.path)
            except OSError:
                item.sizeBytes = 0
        try:
            with self._lock, self._db:
                self._db.execute(f"INSERT OR REPLACE INTO items ({', '.join(_COLUMNS)}) "
                                 f"VALUES ({', '.join('?' * len(_COLUMNS))})",
                                 tuple(getattr(item, c) for c in _COLUMNS))
        except sqlite3.Error as exc:
            # The file is done and answered for; a library that fails now costs only its listing.
            logger.error(f"{item.path} could not be added to the library: {exc}")
        return item

    def get(self, path: str) -> Optional[Item]:
        with self._lock:
            row = self._db.execute(f"SELECT {', '.join(_COLUMNS)} FROM items WHERE path = ?", (path,)).fetchone()
        return Item(*row) if row else None

    def page(self, offset: int, limit: int, cursor: Optional[str] = None) -> dict:
        """A page of media items, newest first, each followed by its thumbnail items.

        Without `cursor` the page starts at `offset`. With the "cursor" of the page before, it starts
        right after that page's last item, read through the index at the cost of the page alone, and
        `offset` only numbers it. Items added meanwhile above the cursor are not met again, so paging on
        by cursors neither repeats nor skips an item. Raises ValueError for a cursor this code never made.
        """
        offset = max(int(offset), 0)
        limit = max(int(limit), 0)
        after = _read_cursor(cursor) if cursor is not None else None
        cols = ", ".join(_COLUMNS)
        with self._lock:
            total = self._media_count()
            # One row past the page tells whether another follows, whatever was added since the count.
            if after is None:
                rows = self._db.execute(
                    f"SELECT {cols} FROM items WHERE kind != ? ORDER BY addedAt DESC, path LIMIT ? OFFSET ?",
                    (THUMBNAIL, limit + 1, offset)).fetchall()
            else:
                added, path = after
                rows = self._db.execute(
                    f"SELECT {cols} FROM items WHERE kind != ? AND addedAt <= ? AND (addedAt < ? OR path > ?) "
                    "ORDER BY addedAt DESC, path LIMIT ?", (THUMBNAIL, added, added, path, limit + 1)).fetchall()
            more = len(rows) > limit
            media = [Item(*r) for r in rows[:limit]]
            thumbs: dict[str, list[Item]] = {}
            if media:
                marks = ", ".join("?" * len(media))
                for r in self._db.execute(f"SELECT {cols} FROM items WHERE kind = ? AND parent IN ({marks}) ORDER BY addedAt", (THUMBNAIL, *[m.path for m in media])):
                    t = Item(*r)
                    thumbs.setdefault(t.parent, []).append(t)
        items = []
        for m in media:
            items.append(m.record())
            items.extend(t.record() for t in thumbs.get(m.path, []))
        reply = {"items": items, "total": total, "offset": offset, "hasMore": more}
        if more and media:
            reply["cursor"] = json.dumps([media[-1].addedAt, media[-1].path], allow_nan=False)
        return reply

    def _media_count(self) -> int:
        """The number of media items; counted again only after a row changed (here or in another process)."""
        key = (self._db, self._db.total_changes, self._db.execute("PRAGMA data_version").fetchone()[0])
        if self._counted is None or self._counted[:3] != key:
            total = self._db.execute("SELECT COUNT(*) FROM items WHERE kind != ?", (THUMBNAIL,)).fetchone()[0]
            self._counted = (*key, total)
        return self._counted[3]

    def remove(self, paths: Iterable[str]) -> list[Item]:
        """Forgets the items at paths, with the thumbnails they own; returns what was forgotten."""
        gone = []
        cols = ", ".join(_COLUMNS)
        with self._lock, self._db:
            for path in paths:
                for r in self._db.execute(f"SELECT {cols} FROM items WHERE path = ? OR (parent = ? AND kind = ?)",
                                          (path, path, THUMBNAIL)).fetchall():
                    gone.append(Item(*r))
                self._db.execute("DELETE FROM items WHERE path = ? OR (parent = ? AND kind = ?)",
                                 (path, path, THUMBNAIL))
        return gone

    def count(self) -> int:
        with self._lock:
            return self._db.execute("SELECT COUNT(*) FROM items").fetchone()[0]


def _read_cursor(cursor: str) -> tuple[float, str]:
    try:
        added, path = json.loads(cursor)
    except (TypeError, ValueError):
        raise ValueError("not a cursor of the library") from None
    if isinstance(added, bool) or not isinstance(added, (int, float)) or not isinstance(path, str):
        raise ValueError("not a cursor of the library")
    return float(added), path


def kind_for(path: str, has_video: bool) -> str:
    """"video" or "audio" for a media file."""
    return "video" if has_video else "audio"
