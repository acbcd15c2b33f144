"""Turns an address into what it offers: one medium (a direct file, a page embedding one, an HLS
stream) or a listing (a page linking several media files, an M3U playlist).

Shared by "analyze", "download.start", "thumbnail.resolve" and the listing methods.
"""

from __future__ import annotations

from dataclasses import dataclass, field
from typing import Optional
from urllib.parse import urlsplit

from . import pages
from .net import NetError, Session, fetch_head

PAGE_LIMIT = 4 << 20  # bytes of a page or playlist read at most


class NotMedia(Exception):
    """The address answered, but offers nothing to download; str() says so in plain words."""


# Leading bytes of media files, for servers that call everything application/octet-stream.
_MAGIC = [
    (4, b"ftyp", "video"),  # MP4, MOV, M4A (at offset 4)
    (0, b"\x1a\x45\xdf\xa3", "video"),  # Matroska, WebM
    (0, b"ID3", "audio"),
    (0, b"OggS", "audio"),
    (0, b"fLaC", "audio"),
    (0, b"RIFF", "audio"),
    (0, b"FLV", "video"),
    (0, b"\x47", "video"),  # MPEG-TS sync byte
]


def sniff(data: bytes) -> Optional[str]:
    for offset, magic, kind in _MAGIC:
        if data[offset:offset + len(magic)] == magic:
            if magic == b"\x47" and (len(data) < 189 or data[188] != 0x47):
                continue
            return kind
    if len(data) >= 2 and data[0] == 0xFF and data[1] & 0xE0 == 0xE0:
        return "audio"  # MPEG audio frame
    return None


@dataclass
class Resolved:
    url: str  # the address asked about
    kind: str  # "media", "stream" or "listing"
    final_url: str = ""  # after redirects
    title: str = ""
    thumbnail: str = ""
    channel: str = ""
    webpage_url: str = ""
    sources: list[pages.MediaRef] = field(default_factory=list)  # alternatives of the one medium
    tracks: list[pages.Track] = field(default_factory=list)
    entries: list[pages.LinkEntry] = field(default_factory=list)  # of a listing
    listing_kind: str = ""
    content_type: str = ""
    size: Optional[int] = None
    ranges: bool = False

    @property
    def is_listing(self) -> bool:
        return self.kind == "listing"


def _host(url: str) -> str:
    parts = urlsplit(url)
    return parts.hostname or url


def resolve(session: Session, url: str) -> Resolved:
    """Raises NetError when the address cannot be fetched and NotMedia when it holds no media."""
    url = url.strip()
    head = fetch_head(session, url)
    try:
        ctype = head.content_type
        final = head.url
        kind = pages.media_kind(ctype, final)
        if kind is None and ctype in ("", "application/octet-stream", "binary/octet-stream"):
            kind = _sniff_remote(session, final)
        if kind in ("video", "audio"):
            return Resolved(url=url, kind="media", final_url=final,
                            title=_disposition_title(head.headers.get("Content-Disposition", ""))
                            or pages.title_from_url(final),
                            sources=[pages.MediaRef(final, ctype if ctype.startswith(("video/", "audio/")) else "")],
                            content_type=ctype, size=head.total_size(),
                            ranges=head.headers.get("Accept-Ranges", "").lower() == "bytes" or head.status == 206)
        if kind == "manifest":
            return _stream(url, final, "application/dash+xml")
    finally:
        head.close()

    with session.open(final) as resp:
        data = resp.read_all(512)
        ctype = resp.content_type
        final = resp.url
        if sniff(data) and not pages.looks_like_html(data) and not pages.looks_like_m3u(data):
            # A media file the server calls something else.
            return Resolved(url=url, kind="media", final_url=final, title=pages.title_from_url(final),
                            sources=[pages.MediaRef(final)], content_type=ctype, size=resp.total_size(),
                            ranges=resp.headers.get("Accept-Ranges", "").lower() == "bytes")
        data += resp.read_whole(PAGE_LIMIT, final, already=len(data))
        charset_text = _decode(data, resp.headers.get("Content-Type") or "")
    if kind == "playlist" or pages.looks_like_m3u(data):
        return _from_playlist(url, final, charset_text)
    if b"<MPD" in data[:4096]:
        return _stream(url, final, "application/dash+xml")
    if ctype in pages.HTML_TYPES or pages.looks_like_html(data):
        info = pages.parse_html(charset_text, final)
        if not info.entries() and info.playlist_links:
            # A page of playlists is a listing of them; downloading it expands each one.
            return Resolved(url=url, kind="listing", final_url=final, title=info.title or _host(final),
                            thumbnail=info.thumbnail, channel=info.channel, entries=list(info.playlist_links),
                            listing_kind="playlist", webpage_url=final)
        return _from_page(url, final, charset_text)
    raise NotMedia(f"{final} holds no video or audio (the server sent {ctype or 'data of unknown type'}).")


def _disposition_title(header: str) -> str:
    """The title a Content-Disposition file name gives ("" when none)."""
    import re
    from urllib.parse import unquote
    m = re.search(r"filename\*\s*=\s*([\w-]+)''([^;]+)", header, re.I)
    if m:
        try:
            name = unquote(m.group(2).strip().strip('"'), encoding=m.group(1) or "utf-8")
        except LookupError:
            name = unquote(m.group(2).strip().strip('"'))
    else:
        m = re.search(r'filename\s*=\s*"([^"]*)"|filename\s*=\s*([^;]+)', header, re.I)
        if not m:
            return ""
        name = (m.group(1) if m.group(1) is not None else m.group(2)).strip()
    name = name.replace("\\", "/").rsplit("/", 1)[-1]
    return pages.title_from_url("http://x/" + name.replace("%", "%25").replace("?", "%3F").replace("#", "%23")) \
        if name else ""


def _sniff_remote(session: Session, url: str) -> Optional[str]:
    try:
        with session.open(url, "GET", {"Range": "bytes=0-511"}) as resp:
            return sniff(resp.read_all(512))
    except NetError:
        return None


def _decode(data: bytes, content_type: str) -> str:
    import re
    m = re.search(r"charset=([\w.-]+)", content_type, re.I)
    if m:
        try:
            return data.decode(m.group(1), "replace")
        except LookupError:
            pass
    m = re.search(rb"<meta[^>]+charset=[\"']?([\w.-]+)", data[:4096], re.I)
    if m:
        try:
            return data.decode(m.group(1).decode("ascii"), "replace")
        except LookupError:
            pass
    return data.decode("utf-8", "replace")


def _from_playlist(url: str, final: str, text: str) -> Resolved:
    playlist = pages.parse_m3u(text, final)
    if playlist.is_stream:
        return _stream(url, final, "application/vnd.apple.mpegurl")
    if not playlist.entries:
        raise NotMedia(f"The playlist at {final} is empty.")
    return Resolved(url=url, kind="listing", final_url=final, title=playlist.title, entries=playlist.entries,
                    listing_kind="playlist", webpage_url=final)


def _stream(url: str, final: str, mime: str) -> Resolved:
    """An adaptive stream (HLS or DASH): one medium, whatever renditions it holds."""
    return Resolved(url=url, kind="stream", final_url=final, title=pages.title_from_url(final),
                    sources=[pages.MediaRef(final, mime)])


def _from_page(url: str, final: str, html: str) -> Resolved:
    info = pages.parse_html(html, final)
    entries = info.entries()
    if len(entries) >= 2:
        return Resolved(url=url, kind="listing", final_url=final, title=info.title or _host(final),
                        thumbnail=info.thumbnail, channel=info.channel, entries=entries,
                        listing_kind="playlist", webpage_url=final)
    group = info.primary()
    if group is None:
        what = (f"“{info.title}”") if info.title else final
        raise NotMedia(f"The page {what} has no video or audio that can be downloaded.")
    title = info.title or group.title or pages.title_from_url(group.sources[0].url)
    first = group.sources[0]
    kind = "stream" if pages.media_kind(first.mime, first.url) in ("playlist", "manifest") else "media"
    return Resolved(url=url, kind=kind, final_url=final, title=title, thumbnail=info.thumbnail or group.poster,
                    channel=info.channel, webpage_url=final, sources=group.sources, tracks=group.tracks)


def pick_source(sources: list[pages.MediaRef], quality: str, audio_only: bool, container: str = "",
                heights: Optional[dict] = None) -> pages.MediaRef:
    """The alternative that fits a quality choice best: the highest picture not above the chosen
    quality (the lowest one when all are above); audio sources first for audio only."""
    if len(sources) == 1:
        return sources[0]
    if audio_only:
        audio = [s for s in sources if s.kind == "audio"]
        if audio:
            return audio[0]
    wanted = (heights or {}).get(quality)
    ext = "." + container.lower() if container else ""

    def fits_container(s):
        return 1 if ext and pages.extension(s.url) == ext else 0

    known = [s for s in sources if s.height]
    if wanted and known:
        below = [s for s in known if s.height <= wanted]
        if below:
            best = max(s.height for s in below)
            pool = [s for s in below if s.height == best]
        else:
            least = min(s.height for s in known)
            pool = [s for s in known if s.height == least]
        return max(pool, key=fits_container)
    if ext:
        for s in sources:
            if fits_container(s):
                return s
    return sources[0]
