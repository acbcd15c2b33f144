"""Where a picked address came from: the listing it was picked from and its title there.

The application downloads a listing's picked entries one address at a time, so a direct media file
would otherwise lose both: its playlist and its title (an M3U's #EXTINF line), and be named after its
file. Kept in the support folder, so a pick queued before a restart keeps them too.
"""

from __future__ import annotations

import json
import os
import threading
from collections import OrderedDict
from typing import Optional

from .support import atomic_write_json

FILE_NAME = "origins.json"
# The most recently listed addresses kept; a listing longer than this keeps its last entries.
MAX_ENTRIES = 50_000


class Origins:
    def __init__(self, support_dir: str, log=lambda message: None):
        self.path = os.path.join(support_dir, FILE_NAME)
        self.log = log
        self._lock = threading.Lock()
        self._entries: OrderedDict[str, tuple[str, str]] = OrderedDict()
        self._load()

    def _load(self) -> None:
        try:
            with open(self.path, encoding="utf-8") as f:
                data = json.load(f)
        except FileNotFoundError:
            return
        except (OSError, ValueError) as exc:
            self.log(f"{self.path} is unreadable and starts again: {exc}")
            return
        for row in data.get("entries", []) if isinstance(data, dict) else []:
            if isinstance(row, list) and len(row) == 3 and all(isinstance(v, str) for v in row):
                self._entries[row[0]] = (row[1], row[2])

    def remember(self, entries: list[dict]) -> None:
        """Entries of a "queue.resolve" or "listing.page" answer ({"url", "title", "playlist"})."""
        rows = [(e["url"], e.get("title") or "", e.get("playlist") or "") for e in entries if e.get("playlist")]
        if not rows:
            return
        with self._lock:
            for url, title, playlist in rows:
                self._entries.pop(url, None)
                self._entries[url] = (title, playlist)
            while len(self._entries) > MAX_ENTRIES:
                self._entries.popitem(last=False)
            snapshot = [[url, title, playlist] for url, (title, playlist) in self._entries.items()]
            try:
                atomic_write_json(self.path, {"entries": snapshot})
            except OSError as exc:  # still known until the engine ends
                self.log(f"cannot save {self.path}: {exc}")

    def lookup(self, url: str) -> Optional[tuple[str, str]]:
        """(title, playlist) of an address picked from a listing, or None."""
        with self._lock:
            return self._entries.get(url)
