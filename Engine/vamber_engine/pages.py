"""What a web page or playlist offers: embedded media, linked media files, title, thumbnail, subtitles.

Pure parsing, no network: the analysis, the downloads and the listing methods fetch the text and
hand it here.
"""

from __future__ import annotations

import re
import unicodedata
from dataclasses import dataclass, field
from html.parser import HTMLParser
from posixpath import basename
from typing import Optional
from urllib.parse import unquote, urljoin, urlsplit

from . import jsonio

VIDEO_EXTENSIONS = {".mp4", ".m4v", ".mov", ".mkv", ".webm", ".avi", ".flv", ".ts", ".mpg", ".mpeg",
                    ".3gp", ".ogv", ".wmv"}
AUDIO_EXTENSIONS = {".mp3", ".m4a", ".aac", ".ogg", ".oga", ".opus", ".wav", ".flac", ".wma"}
MEDIA_EXTENSIONS = VIDEO_EXTENSIONS | AUDIO_EXTENSIONS
PLAYLIST_EXTENSIONS = {".m3u", ".m3u8"}
MANIFEST_EXTENSIONS = {".mpd"}  # DASH
MANIFEST_TYPES = {"application/dash+xml"}
PLAYLIST_TYPES = {"audio/mpegurl", "audio/x-mpegurl", "application/vnd.apple.mpegurl",
                  "application/x-mpegurl", "application/mpegurl"}
HTML_TYPES = {"text/html", "application/xhtml+xml"}


def extension(url: str) -> str:
    """Lower-case extension of the address's path, with its dot ("" when none)."""
    name = basename(unquote(urlsplit(url).path))
    dot = name.rfind(".")
    return name[dot:].lower() if dot > 0 else ""


def media_kind(content_type: str, url: str = "") -> Optional[str]:
    """"video", "audio", "playlist" (M3U, HLS), "manifest" (DASH) or None for what a content type (or
    failing that, the address's extension) names."""
    ctype = (content_type or "").split(";", 1)[0].strip().lower()
    if ctype in PLAYLIST_TYPES:
        return "playlist"
    if ctype in MANIFEST_TYPES or (extension(url) in MANIFEST_EXTENSIONS
                                   and ctype in ("", "application/xml", "text/xml", "application/octet-stream",
                                                 "binary/octet-stream", "text/plain")):
        return "manifest"
    if ctype.startswith("video/"):
        return "video"
    if ctype.startswith("audio/"):
        return "audio"
    if ctype in ("application/ogg", "application/mp4"):
        return "video"
    if ctype and ctype not in ("application/octet-stream", "binary/octet-stream", "application/x-download",
                               "application/force-download", "text/plain"):
        return None
    ext = extension(url)
    if ext in VIDEO_EXTENSIONS:
        return "video"
    if ext in AUDIO_EXTENSIONS:
        return "audio"
    if ext in PLAYLIST_EXTENSIONS:
        return "playlist"
    return None


def title_from_url(url: str) -> str:
    """A readable title from the address's file name ("my_clip.mp4" gives "my clip")."""
    name = basename(unquote(urlsplit(url).path)).strip()
    dot = name.rfind(".")
    if dot > 0:
        name = name[:dot]
    name = re.sub(r"[_+]+", " ", name).strip()
    return name or (urlsplit(url).hostname or url)


def height_hint(text: str) -> Optional[int]:
    """Picture height named by a quality label such as "720p", "720", "4K" or "1920x1080"."""
    if not text:
        return None
    t = text.strip().lower()
    m = re.search(r"(\d{3,4})\s*[x×]\s*(\d{3,4})", t)
    if m:
        return int(m.group(2))
    m = re.search(r"\b([248])k\b", t)
    if m:
        return {"2": 1440, "4": 2160, "8": 4320}[m.group(1)]
    m = re.search(r"\b(\d{3,4})\s*p?\b", t)
    if m and 100 <= int(m.group(1)) <= 4320:
        return int(m.group(1))
    return None


@dataclass
class MediaRef:
    url: str
    mime: str = ""
    label: str = ""
    height: Optional[int] = None

    @property
    def kind(self) -> Optional[str]:
        return media_kind(self.mime, self.url) if self.mime else media_kind("", self.url)


@dataclass
class Track:
    url: str
    lang: str
    label: str = ""
    kind: str = "subtitles"


@dataclass
class MediaGroup:
    """One embedded video or audio: its alternative sources (formats, qualities) and subtitles."""
    sources: list[MediaRef] = field(default_factory=list)
    tracks: list[Track] = field(default_factory=list)
    poster: str = ""
    title: str = ""


@dataclass
class LinkEntry:
    url: str
    title: str
    duration: float = 0.0
    thumbnail: str = ""


@dataclass
class PageInfo:
    url: str
    title: str = ""
    description: str = ""
    thumbnail: str = ""
    channel: str = ""
    groups: list[MediaGroup] = field(default_factory=list)
    links: list[LinkEntry] = field(default_factory=list)  # links to media files, in page order
    playlist_links: list[LinkEntry] = field(default_factory=list)

    @property
    def is_listing(self) -> bool:
        return len(self.entries()) >= 2

    def primary(self) -> Optional[MediaGroup]:
        """The one medium the page is about, when it is about one."""
        entries = self.entries()
        if len(entries) != 1:
            return None
        if self.groups:
            return self.groups[0]
        link = entries[0]
        return MediaGroup(sources=[MediaRef(link.url)], title=link.title)

    def entries(self) -> list[LinkEntry]:
        """The media the page offers: its embedded players, or else its links to media files."""
        if self.groups:
            out = []
            for g in self.groups:
                if g.sources:
                    out.append(LinkEntry(g.sources[0].url, g.title or self.title or title_from_url(g.sources[0].url),
                                         thumbnail=g.poster or self.thumbnail))
            return out
        return list(self.links)


class _PageParser(HTMLParser):
    def __init__(self, base: str):
        super().__init__(convert_charrefs=True)
        self.base = base
        self.meta: dict[str, str] = {}
        self.title_parts: list[str] = []
        self.in_title = False
        self.groups: list[MediaGroup] = []
        self.current: Optional[MediaGroup] = None
        self.depth_tag: Optional[str] = None
        self.tracks_outside: list[Track] = []
        self.anchors: list[tuple[str, list[str]]] = []
        self.anchor_text: Optional[list[str]] = None
        self.jsonld: list[str] = []
        self.script_json: Optional[list[str]] = None

    def _abs(self, href: str) -> str:
        return urljoin(self.base, href.strip()) if href and href.strip() else ""

    def handle_starttag(self, tag, attrs):
        a = {k.lower(): (v or "") for k, v in attrs}
        if tag == "base" and a.get("href"):
            self.base = self._abs(a["href"])
        elif tag == "title":
            self.in_title = True
        elif tag == "meta":
            key = (a.get("property") or a.get("name") or a.get("itemprop") or "").strip().lower()
            if key and "content" in a and key not in self.meta:
                self.meta[key] = a["content"].strip()
        elif tag in ("video", "audio"):
            group = MediaGroup(poster=self._abs(a.get("poster", "")))
            if a.get("src"):
                group.sources.append(MediaRef(self._abs(a["src"]), "", a.get("title", ""),
                                              height_hint(a.get("height", ""))))
            group.title = a.get("title", "").strip() or a.get("aria-label", "").strip()
            self.groups.append(group)
            self.current = group
            self.depth_tag = tag
        elif tag == "source" and self.current is not None and a.get("src"):
            label = a.get("label") or a.get("title") or a.get("data-quality") or a.get("res") or a.get("size") or ""
            hint = None
            for key in ("size", "res", "data-res", "data-quality", "height", "label", "title"):
                hint = height_hint(a.get(key, ""))
                if hint:
                    break
            self.current.sources.append(MediaRef(self._abs(a["src"]), a.get("type", "").strip().lower(),
                                                 label.strip(), hint))
        elif tag == "track" and a.get("src"):
            kind = (a.get("kind") or "subtitles").lower()
            if kind in ("subtitles", "captions"):
                track = Track(self._abs(a["src"]), (a.get("srclang") or a.get("label") or "und").strip(),
                              a.get("label", "").strip(), kind)
                (self.current.tracks if self.current is not None else self.tracks_outside).append(track)
        elif tag == "a" and a.get("href"):
            self.anchor_text = []
            self.anchors.append((self._abs(a["href"]), self.anchor_text))
            if a.get("title"):
                self.anchor_text.append(a["title"])
        elif tag == "script" and "ld+json" in a.get("type", "").lower():
            self.script_json = []

    def handle_endtag(self, tag):
        if tag == "title":
            self.in_title = False
        elif tag == self.depth_tag:
            self.current = None
            self.depth_tag = None
        elif tag == "a":
            self.anchor_text = None
        elif tag == "script" and self.script_json is not None:
            self.jsonld.append("".join(self.script_json))
            self.script_json = None

    def handle_data(self, data):
        if self.in_title:
            self.title_parts.append(data)
        if self.anchor_text is not None:
            self.anchor_text.append(data)
        if self.script_json is not None:
            self.script_json.append(data)


def _clean(text: str) -> str:
    return re.sub(r"\s+", " ", text or "").strip()


def _jsonld_media(blobs: list[str], base: str) -> list[MediaGroup]:
    found = []

    def visit(node):
        if isinstance(node, list):
            for item in node:
                visit(item)
        elif isinstance(node, dict):
            kind = node.get("@type")
            kinds = kind if isinstance(kind, list) else [kind]
            if any(k in ("VideoObject", "AudioObject") for k in kinds if isinstance(k, str)):
                content = node.get("contentUrl")
                if isinstance(content, str) and content.strip():
                    thumb = node.get("thumbnailUrl")
                    if isinstance(thumb, list):
                        thumb = thumb[0] if thumb else ""
                    name = node.get("name")
                    found.append(MediaGroup(sources=[MediaRef(urljoin(base, content.strip()))],
                                            poster=urljoin(base, thumb) if isinstance(thumb, str) and thumb else "",
                                            title=_clean(name) if isinstance(name, str) else ""))
            for key in ("@graph", "video", "audio", "associatedMedia", "hasPart"):
                if key in node:
                    visit(node[key])

    for blob in blobs:
        try:
            visit(jsonio.loads(blob))
        except (ValueError, RecursionError):  # a blob nested too deeply is skipped like a broken one
            continue
    return found


def parse_html(html: str, url: str) -> PageInfo:
    p = _PageParser(url)
    try:
        p.feed(html)
        p.close()
    except Exception:  # HTMLParser copes with nearly anything; keep what was read
        pass
    meta = p.meta
    info = PageInfo(url=url)
    info.title = _clean(meta.get("og:title") or meta.get("twitter:title") or "".join(p.title_parts))
    info.description = _clean(meta.get("og:description") or meta.get("description") or "")
    image = meta.get("og:image") or meta.get("og:image:url") or meta.get("og:image:secure_url") \
        or meta.get("twitter:image") or meta.get("thumbnailurl") or ""
    info.thumbnail = p._abs(image) if image else ""
    info.channel = _clean(meta.get("author") or meta.get("og:site_name") or meta.get("article:author") or "")

    groups = [g for g in p.groups if g.sources]
    for g in groups:
        if not g.tracks and p.tracks_outside:
            g.tracks = list(p.tracks_outside)
    if not groups:
        groups = _jsonld_media(p.jsonld, p.base)
    if not groups:
        for prefix, kind in (("og:video", "video"), ("og:audio", "audio")):
            src = meta.get(prefix + ":secure_url") or meta.get(prefix) or meta.get(prefix + ":url") or ""
            mime = meta.get(prefix + ":type", "").lower()
            if not src:
                continue
            ref = MediaRef(p._abs(src), mime, "", height_hint(meta.get(prefix + ":height", "")))
            # og:video often names a player page; only media counts.
            if media_kind(mime, ref.url) in ("video", "audio", "playlist", "manifest") or (not mime and ref.kind):
                groups.append(MediaGroup(sources=[ref], tracks=list(p.tracks_outside)))
                break
    # The same file embedded twice is one medium.
    seen, unique = set(), []
    for g in groups:
        key = g.sources[0].url
        if key not in seen:
            seen.add(key)
            unique.append(g)
    info.groups = unique

    seen_links = set()
    for href, text_parts in p.anchors:
        if not href or href in seen_links:
            continue
        scheme = urlsplit(href).scheme.lower()
        if scheme not in ("http", "https"):
            continue
        kind = media_kind("", href)
        if kind in ("video", "audio", "manifest"):
            seen_links.add(href)
            info.links.append(LinkEntry(href, _clean("".join(text_parts)) or title_from_url(href)))
        elif kind == "playlist":
            seen_links.add(href)
            info.playlist_links.append(LinkEntry(href, _clean("".join(text_parts)) or title_from_url(href)))
    return info


@dataclass
class Playlist:
    title: str
    entries: list[LinkEntry]
    is_stream: bool  # an HLS stream (segments of one medium), not a list of media


def parse_m3u(text: str, url: str) -> Playlist:
    """An M3U / M3U8 playlist. HLS streams are told apart by their #EXT-X- tags."""
    if text.startswith("\ufeff"):
        text = text[1:]
    lines = [ln.strip() for ln in text.splitlines()]
    is_stream = any(ln.startswith(("#EXT-X-TARGETDURATION", "#EXT-X-STREAM-INF", "#EXT-X-MEDIA-SEQUENCE"))
                    for ln in lines)
    title = ""
    entries: list[LinkEntry] = []
    pending_title, pending_duration = "", 0.0
    for ln in lines:
        if not ln:
            continue
        if ln.startswith("#PLAYLIST:"):
            title = ln[len("#PLAYLIST:"):].strip()
        elif ln.startswith("#EXTINF:"):
            head, _, name = ln[len("#EXTINF:"):].partition(",")
            try:
                pending_duration = max(float(head.split()[0]), 0.0) if head.split() else 0.0
            except ValueError:
                pending_duration = 0.0
            pending_title = name.strip()
        elif ln.startswith("#"):
            continue
        else:
            target = urljoin(url, ln)
            if urlsplit(target).scheme.lower() in ("http", "https"):
                entries.append(LinkEntry(target, pending_title or title_from_url(target),
                                         pending_duration if pending_duration == pending_duration else 0.0))
            pending_title, pending_duration = "", 0.0
    return Playlist(title=title or title_from_url(url), entries=entries, is_stream=is_stream)


def looks_like_m3u(data: bytes) -> bool:
    head = data[:64].lstrip(b"\xef\xbb\xbf").lstrip()
    return head.startswith(b"#EXTM3U")


def looks_like_html(data: bytes) -> bool:
    head = data[:1024].lstrip(b"\xef\xbb\xbf").lstrip().lower()
    return head.startswith((b"<!doctype html", b"<html", b"<head", b"<body", b"<meta", b"<title", b"<!--")) \
        or b"<html" in head


def visible_name(text: str) -> str:
    """A name as it reads: invisible format characters are dropped (a right-to-left override makes
    "photo\u202egnp.exe.mp4" show as "photo4pm.exe.png"), and it never starts with "-", which tools
    would take for an option."""
    text = "".join(ch for ch in text if unicodedata.category(ch) != "Cf")
    return re.sub(r"^[\s.\-]+", "", text)


def safe_filename(title: str, fallback: str = "download", limit: int = 180) -> str:
    """The title made safe as a file name on Linux, Windows and macOS file systems."""
    text = "".join(" " if unicodedata.category(ch) == "Cc" else ch for ch in title or "")
    text = re.sub(r'[/\\:*?"<>|]+', " ", text)
    text = visible_name(re.sub(r"\s+", " ", text)).rstrip(" .")
    if not text:
        text = fallback
    encoded = text.encode("utf-8")
    if len(encoded) > limit:
        text = encoded[:limit].decode("utf-8", "ignore").rstrip()
    return text
