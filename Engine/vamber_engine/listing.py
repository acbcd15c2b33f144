"""Pasted addresses into single videos and listings, and listings page by page.

A page (or playlist) with several media becomes a listing. A page that links to two or
more playlists is a listing with sections: one per linked playlist, paged from that
playlist's address, plus one for the media the page links to directly (those come all at
once). A listing without sections is flat and comes whole.
"""

from __future__ import annotations

import math
import threading
from html.parser import HTMLParser
import time
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass, field
from typing import Callable, Optional
from urllib.parse import urljoin, urlsplit, urlunsplit

from . import logs, pages, resolve
from .net import NetError, Session, fetch_head

PAGE_SIZE = 50
MAX_INPUTS = 500  # addresses resolved per batch
WORKERS = 6
CACHE_SECONDS = 300
CACHE_ENTRIES = 64
MAX_PAGES = 20  # pages of one paginated listing page followed at most

OCTET_TYPES = ("", "application/octet-stream", "binary/octet-stream")


@dataclass
class Found:
    """What one address holds: one medium, or a listing (flat or with sections)."""
    kind: str  # "single" or "listing"
    url: str
    title: str = ""
    thumbnail: str = ""
    channel: str = ""
    entries: list = field(default_factory=list)  # pages.LinkEntry of a flat listing
    sections: list = field(default_factory=list)  # Section of a sectioned listing
    notes: list = field(default_factory=list)


@dataclass
class Section:
    name: str
    source: str  # "" when the section is sent whole
    entries: list  # pages.LinkEntry


def note(input_text: str, reason: str, count: Optional[int] = None, shown: Optional[int] = None) -> dict:
    out = {"input": input_text, "reason": reason}
    if count is not None:
        out["count"] = count
    if shown is not None:
        out["shown"] = shown
    return out


def entry(link, section: str = "", playlist: str = "", channel: str = "") -> dict:
    duration = float(getattr(link, "duration", 0.0) or 0.0)
    return {"url": link.url, "title": link.title or pages.title_from_url(link.url),
            "thumbnail": getattr(link, "thumbnail", "") or "", "playlist": playlist, "channel": channel,
            "duration": duration if math.isfinite(duration) and duration > 0 else 0.0, "section": section}


def normalise(line: str) -> Optional[str]:
    """The web address a pasted piece names, or None. A bare host name gets https://."""
    text = line.strip()
    if not text or any(c.isspace() for c in text):
        return None
    if "://" not in text:
        host = text.split("/", 1)[0]
        name, _, port = host.partition(":")
        if "." not in name.strip(".") or "@" in host or (port and not port.isdigit()):
            return None
        text = "https://" + text
    parts = urlsplit(text)
    if parts.scheme.lower() not in ("http", "https") or not parts.hostname:
        return None
    return urlunsplit((parts.scheme.lower(), parts.netloc, parts.path, parts.query, parts.fragment))


# ------------------------------------------------------------------ looking at one address

def _read(session: Session, url: str):
    """(final url, content type, body bytes, body text) of a GET."""
    with session.open(url) as resp:
        data = resp.read_whole(resolve.PAGE_LIMIT, resp.url)
        text = resolve._decode(data, resp.headers.get("Content-Type") or "")
        return resp.url, resp.content_type, data, text


def inspect(session: Session, url: str, depth: int = 0, log: Callable[[str], None] = lambda message: None) -> Found:
    """Raises NetError when the address cannot be fetched, resolve.NotMedia when it holds nothing."""
    head = fetch_head(session, url)
    try:
        ctype, final = head.content_type, head.url
        kind = pages.media_kind(ctype, final)
        if kind is None and ctype in OCTET_TYPES:
            kind = resolve._sniff_remote(session, final)
    finally:
        head.close()
    if kind in ("video", "audio", "manifest"):
        return Found("single", url, title=pages.title_from_url(final))

    final, ctype, data, text = _read(session, final)
    if kind == "playlist" or pages.looks_like_m3u(data):
        res = resolve._from_playlist(url, final, text)
        if res.kind != "listing":
            return Found("single", url, title=res.title)
        return Found("listing", url, title=res.title, entries=list(res.entries))
    if ctype not in pages.HTML_TYPES and not pages.looks_like_html(data):
        raise resolve.NotMedia(f"{final} holds no video or audio.")

    info = pages.parse_html(text, final)
    linked = _unique(info.playlist_links)
    direct = info.entries()
    following = next_page(text, final)
    if following:
        direct = _unique(direct + _later_pages(session, following, final, log))
        if len(direct) >= 2 and not (depth == 0 and linked):
            return Found("listing", url, title=info.title or urlsplit(final).hostname or final,
                         thumbnail=info.thumbnail, channel=info.channel, entries=direct)
    if depth == 0 and linked and len(linked) + (1 if direct else 0) >= 2:
        return _with_sections(session, url, final, info, linked, direct, log)
    if depth == 0 and len(linked) == 1 and not direct:
        # A page that only points at one playlist stands for that playlist.
        found = inspect(session, linked[0].url, depth + 1)
        found.url = url
        found.title = found.title or info.title
        return found
    res = resolve._from_page(url, final, text)
    if res.kind == "listing":
        return Found("listing", url, title=res.title, thumbnail=res.thumbnail, channel=res.channel,
                     entries=list(res.entries))
    return Found("single", url, title=res.title, thumbnail=res.thumbnail, channel=res.channel)


class _NextLink(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.href = ""

    def handle_starttag(self, tag, attrs):
        if self.href or tag not in ("a", "link"):
            return
        values = dict(attrs)
        if "next" in (values.get("rel") or "").lower().split() and values.get("href"):
            self.href = values["href"].strip()


def next_page(html: str, base: str) -> str:
    """The address of the page a listing continues on (rel="next"), or ""."""
    parser = _NextLink()
    try:
        parser.feed(html)
        parser.close()
    except Exception:
        pass
    if not parser.href:
        return ""
    target = urljoin(base, parser.href)
    return target if urlsplit(target).scheme in ("http", "https") else ""


def _later_pages(session, url, first, log) -> list:
    """The media of the pages after the first, following rel="next" links."""
    entries, seen = [], {first}
    while url and url not in seen and len(seen) <= MAX_PAGES:
        seen.add(url)
        try:
            final, _, _, text = _read(session, url)
        except NetError as err:
            log(f"{url}: {err}")
            break
        entries += pages.parse_html(text, final).entries()
        url = next_page(text, final)
    return entries


def _unique(links):
    seen, out = set(), []
    for link in links:
        if link.url not in seen:
            seen.add(link.url)
            out.append(link)
    return out


def _with_sections(session, url, final, info, linked, direct, log) -> Found:
    title = info.title or urlsplit(final).hostname or final
    found = Found("listing", url, title=title, thumbnail=info.thumbnail, channel=info.channel)
    names = set()

    def name_for(text):
        name, n = text or "Playlist", 2
        while name in names:
            name = f"{text} ({n})"
            n += 1
        names.add(name)
        return name

    if direct:
        found.sections.append(Section(name_for(title), "", direct))
    for link in linked:
        try:
            entries = section_entries(session, link.url)
        except (NetError, resolve.NotMedia) as err:
            found.notes.append(note(link.url, "expand-failed"))
            log(f"{link.url}: {err}")
            continue
        if entries:
            found.sections.append(Section(name_for(link.title), link.url, entries))
    if len(found.sections) < 2:
        # Fewer than two sections left: one flat list.
        found.entries = [e for s in found.sections for e in s.entries]
        found.sections = []
    return found


def section_entries(session: Session, source: str) -> list:
    found = inspect(session, source, depth=1)
    if found.kind == "single":
        return [pages.LinkEntry(source, found.title, thumbnail=found.thumbnail)]
    return found.entries or [e for s in found.sections for e in s.entries]


# ------------------------------------------------------------------ the batch

class Resolver:
    """Resolves batches and pages listings; keeps recently read sections for their next pages."""

    def __init__(self, log=lambda message: None):
        self.log = log
        self._cache: dict[tuple, tuple[float, list]] = {}
        self._lock = threading.Lock()

    def _remember(self, key, entries):
        with self._lock:
            self._cache[key] = (time.monotonic(), entries)
            if len(self._cache) > CACHE_ENTRIES:
                oldest = min(self._cache, key=lambda k: self._cache[k][0])
                del self._cache[oldest]

    def _recall(self, key):
        with self._lock:
            hit = self._cache.get(key)
            if hit and time.monotonic() - hit[0] < CACHE_SECONDS:
                return hit[1]
            return None

    def resolve(self, lines: list[str], make_session: Callable[[], Session], cache_key: str = "") -> dict:
        """cache_key tells apart what different cookies may show (the cookie file's name)."""
        notes: list[dict] = []
        order: list[str] = []
        pasted: dict[str, str] = {}  # address -> the text it was first pasted as
        repeats: dict[str, int] = {}
        for line in lines:
            text = line.strip()
            if not text:
                continue
            url = normalise(text)
            if url is None:
                notes.append(note(text, "not-a-url"))
            elif url in repeats:
                repeats[url] += 1
            else:
                repeats[url] = 0
                pasted[url] = text
                order.append(url)
        if len(order) > MAX_INPUTS:
            dropped = order[MAX_INPUTS:]
            order = order[:MAX_INPUTS]
            # Named as pasted, so the application finds where the addresses not taken begin.
            notes.append(note(pasted[dropped[0]], "queue-full", count=len(dropped)))
        for url in order:
            if repeats[url]:
                notes.append(note(url, "duplicate", count=repeats[url]))

        def look(url):
            try:
                return inspect(make_session(), url, log=self.log)
            except (NetError, resolve.NotMedia) as err:
                self.log(f"{url}: {err}")
                return err

        with ThreadPoolExecutor(max_workers=min(WORKERS, max(1, len(order)))) as pool:
            results = list(pool.map(logs.carry(look), order))

        singles, listings = [], []
        for url, found in zip(order, results):
            if isinstance(found, Exception):
                notes.append(note(url, "unreadable"))
            elif found.kind == "single":
                singles.append({"url": url, "title": found.title, "thumbnail": found.thumbnail, "playlist": "",
                                "channel": found.channel, "duration": 0.0, "section": ""})
            else:
                listings.append(self._listing(found, cache_key))
        return {"singles": singles, "listings": listings, "notes": notes, "pageSize": PAGE_SIZE}

    def _listing(self, found: Found, cache_key: str) -> dict:
        notes = list(found.notes)
        # Every entry goes out, however many: the picker lists them all, and none is dropped unseen.
        if not found.sections:
            entries = found.entries
            return {"title": found.title, "sections": [], "notes": notes,
                    "entries": [entry(e, "", found.title, found.channel) for e in entries]}
        sections, entries = [], []
        for s in found.sections:
            if s.source:
                self._remember((s.source, cache_key), s.entries)
                first = s.entries[:PAGE_SIZE]
            else:
                first = s.entries
            sections.append({"name": s.name, "source": s.source, "count": len(s.entries)})
            entries.extend(entry(e, s.name, s.name, found.channel) for e in first)
        return {"title": found.title, "sections": sections, "notes": notes, "entries": entries}

    def page(self, source: str, offset: int, count: int, section: str, make_session: Callable[[], Session],
             cache_key: str = "") -> dict:
        if count <= 0:
            return {"entries": [], "exhausted": True}
        key = (source, cache_key)
        entries = self._recall(key)
        if entries is None:
            entries = section_entries(make_session(), source)
            self._remember(key, entries)
        chunk = entries[offset:offset + count]
        return {"entries": [entry(e, section, section) for e in chunk],
                "exhausted": offset + count >= len(entries)}
