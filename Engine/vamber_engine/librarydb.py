"""The library: every file the engine downloaded or produced, in SQLite in the support folder.

A media item may own thumbnail items (kind "thumbnail", `parent` = the media path): a page of the
library counts media items only, and carries the thumbnails of those items along with them.

Other modules add their products (clips, transcripts' media) with `Library.add`.
"""

from __future__ import annotations

import os
import sqlite3
import threading
import time
from dataclasses import dataclass
from pathlib import Path
from typing import Iterable, Optional

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


class Library:
    def __init__(self, db_path: str | Path):
        self.db_path = str(db_path)
        self._lock = threading.Lock()
        self._db = sqlite3.connect(self.db_path, check_same_thread=False)
        self._db.execute("PRAGMA journal_mode=WAL")
        self._db.execute("PRAGMA busy_timeout=5000")
        self._db.executescript(SCHEMA)

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
        with self._lock, self._db:
            self._db.execute(f"INSERT OR REPLACE INTO items ({', '.join(_COLUMNS)}) "
                             f"VALUES ({', '.join('?' * len(_COLUMNS))})",
                             tuple(getattr(item, c) for c in _COLUMNS))
        return item

    def get(self, path: str) -> Optional[Item]:
        with self._lock:
            row = self._db.execute(f"SELECT {', '.join(_COLUMNS)} FROM items WHERE path = ?", (path,)).fetchone()
        return Item(*row) if row else None

    def page(self, offset: int, limit: int) -> dict:
        """A page of media items, newest first, each followed by its thumbnail items."""
        offset = max(int(offset), 0)
        limit = max(int(limit), 0)
        cols = ", ".join(_COLUMNS)
        with self._lock:
            total = self._db.execute("SELECT COUNT(*) FROM items WHERE kind != ?", (THUMBNAIL,)).fetchone()[0]
            rows = self._db.execute(
                f"SELECT {cols} FROM items WHERE kind != ? ORDER BY addedAt DESC, path LIMIT ? OFFSET ?",
                (THUMBNAIL, limit, offset)).fetchall()
            media = [Item(*r) for r in rows]
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
        return {"items": items, "total": total, "offset": offset, "hasMore": offset + len(media) < total}

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


def kind_for(path: str, has_video: bool) -> str:
    """"video" or "audio" for a media file."""
    return "video" if has_video else "audio"
