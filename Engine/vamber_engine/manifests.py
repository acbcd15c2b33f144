"""Adaptive stream manifests: HLS master and media playlists (RFC 8216) and static DASH MPDs
(ISO/IEC 23009-1, on-demand profiles), read into renditions and their segment lists.

Nothing here touches the network except `load` and `segments_of`, which fetch through the engine's
own HTTP layer (so cookies and bounds apply).
"""

from __future__ import annotations

import math
import re
import xml.etree.ElementTree as ET
from dataclasses import dataclass, field
from typing import Optional
from urllib.parse import urljoin

from . import constants as C
from .media import quality_for
from .net import Session

MANIFEST_LIMIT = 4 << 20
HLS_TYPES = {"application/vnd.apple.mpegurl", "application/x-mpegurl", "audio/mpegurl", "audio/x-mpegurl",
             "application/mpegurl"}
DASH_TYPES = {"application/dash+xml"}
LIVE_MESSAGE = "This is a live stream: a live stream cannot be downloaded yet."
DRM_MESSAGE = "This stream is protected against copying (DRM), so it cannot be downloaded."


class ManifestError(Exception):
    """The manifest cannot be used; str() says why in plain words. `detail` names the case."""

    def __init__(self, message: str, detail: str = "manifest"):
        super().__init__(message)
        self.detail = detail


@dataclass
class Key:
    method: str  # "AES-128"
    uri: str
    iv: Optional[bytes]  # None: the segment's sequence number


@dataclass
class Segment:
    uri: str
    duration: float = 0.0
    byterange: Optional[tuple[int, int]] = None  # (offset, length)
    key: Optional[Key] = None
    sequence: int = 0


@dataclass
class SegmentList:
    segments: list[Segment] = field(default_factory=list)
    init: Optional[Segment] = None  # the initialization segment (fMP4), fetched first
    ended: bool = True  # False: a live list that keeps growing

    @property
    def duration(self) -> float:
        return sum(s.duration for s in self.segments)


@dataclass
class Rendition:
    kind: str  # "video", "audio" or "subtitle"
    uri: str = ""  # HLS: its media playlist ("" for audio carried in the video); DASH: the representation
    width: int = 0
    height: int = 0
    bandwidth: int = 0
    codecs: str = ""
    language: str = ""
    name: str = ""
    default: bool = False
    forced: bool = False
    group: str = ""  # HLS GROUP-ID of an audio/subtitle rendition
    audio_group: str = ""  # HLS AUDIO= of a video variant
    mime: str = ""
    dash: Optional[SegmentList] = None  # DASH: the segments, known from the manifest itself

    def label(self) -> str:
        parts = []
        if self.width and self.height:
            parts.append(f"{self.width}×{self.height}")
        elif self.height:
            parts.append(f"{self.height}p")
        if self.codecs:
            parts.append(self.codecs.split(",")[0].strip())
        if self.bandwidth:
            parts.append(f"{self.bandwidth / 1e6:.1f} Mbps")
        return " ".join(parts)


@dataclass
class Manifest:
    kind: str  # "hls" or "dash"
    url: str
    videos: list[Rendition] = field(default_factory=list)
    audios: list[Rendition] = field(default_factory=list)
    subtitles: list[Rendition] = field(default_factory=list)
    live: bool = False
    drm: bool = False
    duration: float = 0.0  # DASH: from the manifest; HLS: known once a media playlist is read
    media: Optional[SegmentList] = None  # HLS: a media playlist given directly (no master)
    periods: int = 1  # DASH: the periods listed (only the first is fetched)

    def best_video(self) -> Optional[Rendition]:
        return max(self.videos, key=lambda r: (r.height, r.bandwidth), default=None)


# ---- quality names ------------------------------------------------------------------------------

def qualities(manifest: Manifest) -> list[str]:
    """The qualities the renditions offer, best first, plus "audio" when there is sound to take.
    Heights are named as a single file's are."""
    names = {quality_for(0, r.height) for r in manifest.videos if r.height}
    if manifest.audios or manifest.videos:
        names.add("audio")
    return [q for q in C.QUALITIES if q in names]


def pick_video(manifest: Manifest, quality: str) -> Optional[Rendition]:
    """The best video rendition not above the quality (the lowest when all are above)."""
    if not manifest.videos:
        return None
    wanted = C.QUALITY_HEIGHTS.get(quality)
    known = [r for r in manifest.videos if r.height]
    if wanted is None or not known:
        return max(manifest.videos, key=lambda r: (r.height, r.bandwidth))
    below = [r for r in known if r.height <= wanted]
    if below:
        return max(below, key=lambda r: (r.height, r.bandwidth))
    return min(known, key=lambda r: (r.height, -r.bandwidth))


# Three-letter codes (ISO 639-2, as DASH and containers often write them) of the common two-letter ones.
_TWO_LETTERS = {"eng": "en", "fra": "fr", "fre": "fr", "deu": "de", "ger": "de", "spa": "es", "nld": "nl",
                "dut": "nl", "ita": "it", "por": "pt", "jpn": "ja", "zho": "zh", "chi": "zh", "rus": "ru",
                "kor": "ko", "ara": "ar", "pol": "pl", "swe": "sv", "tur": "tr"}


def primary_language(tag: str) -> str:
    """"en" for "en-GB", "eng" or "EN"."""
    first = tag.lower().replace("_", "-").split("-")[0]
    return _TWO_LETTERS.get(first, first)


def container_language(tag: str) -> str:
    """The three-letter code containers store ("eng" for "en-GB"); the tag itself when unknown."""
    two = primary_language(tag)
    three = {v: k for k, v in reversed(list(_TWO_LETTERS.items()))}
    return three.get(two, tag)


def _same_language(a: str, b: str) -> bool:
    return bool(a and b) and primary_language(a) == primary_language(b)


def pick_audio(manifest: Manifest, video: Optional[Rendition], language: str) -> Optional[Rendition]:
    """The audio rendition to fetch beside the video (None: the sound is in the video, or there is
    none): of the video's audio group, the one in the wanted language, else the default one, else
    the first; the highest bit rate among equals."""
    pool = [r for r in manifest.audios if r.uri]
    if video is not None and video.audio_group:
        grouped = [r for r in pool if r.group == video.audio_group]
        pool = grouped or pool
    if not pool:
        return None
    # Else the first listed: its language, as a set of several bit rates shares one.
    first = pool[0]
    for test in (lambda r: _same_language(r.language, language), lambda r: r.default,
                 lambda r: r.language == first.language and r.group == first.group):
        chosen = [r for r in pool if test(r)]
        if chosen:
            return max(chosen, key=lambda r: r.bandwidth)
    return None


def pick_subtitles(manifest: Manifest) -> list[Rendition]:
    """One subtitle rendition per language (forced ones only when nothing else has the language)."""
    chosen: dict[str, Rendition] = {}
    for r in sorted(manifest.subtitles, key=lambda r: r.forced):
        lang = (r.language or "und").lower()
        if r.uri and lang not in chosen:
            chosen[lang] = r
    return list(chosen.values())


# ---- HLS ------------------------------------------------------------------------------------------

_ATTR = re.compile(r'([A-Z0-9-]+)=("[^"]*"|[^,]*)')


def _attrs(text: str) -> dict[str, str]:
    return {k: v[1:-1] if v.startswith('"') else v for k, v in _ATTR.findall(text)}


def is_hls(text: str) -> bool:
    return text.lstrip("\ufeff \r\n\t").startswith("#EXTM3U")


def is_hls_master(text: str) -> bool:
    return "#EXT-X-STREAM-INF" in text


def _protected(attrs: dict[str, str]) -> bool:
    method = attrs.get("METHOD", "NONE").upper()
    keyformat = attrs.get("KEYFORMAT", "identity").lower()
    return method not in ("NONE", "AES-128") or keyformat != "identity"


def parse_hls_master(text: str, base: str) -> Manifest:
    manifest = Manifest("hls", base)
    pending: Optional[dict[str, str]] = None
    for raw in text.splitlines():
        line = raw.strip()
        if not line:
            continue
        if line.startswith("#EXT-X-STREAM-INF:"):
            pending = _attrs(line.split(":", 1)[1])
        elif line.startswith("#EXT-X-MEDIA:"):
            a = _attrs(line.split(":", 1)[1])
            kind = {"AUDIO": "audio", "SUBTITLES": "subtitle"}.get(a.get("TYPE", "").upper())
            if kind is None:
                continue
            r = Rendition(kind, urljoin(base, a["URI"]) if a.get("URI") else "", language=a.get("LANGUAGE", ""),
                          name=a.get("NAME", ""), default=a.get("DEFAULT", "").upper() == "YES",
                          forced=a.get("FORCED", "").upper() == "YES", group=a.get("GROUP-ID", ""))
            (manifest.audios if kind == "audio" else manifest.subtitles).append(r)
        elif line.startswith("#EXT-X-SESSION-KEY:"):
            if _protected(_attrs(line.split(":", 1)[1])):
                manifest.drm = True
        elif line.startswith("#"):
            continue
        elif pending is not None:
            width = height = 0
            m = re.fullmatch(r"(\d+)x(\d+)", pending.get("RESOLUTION", ""))
            if m:
                width, height = int(m.group(1)), int(m.group(2))
            bandwidth = int(pending.get("BANDWIDTH", "0") or 0) if pending.get("BANDWIDTH", "").isdigit() else 0
            manifest.videos.append(Rendition("video", urljoin(base, line), width, height, bandwidth,
                                             pending.get("CODECS", ""), audio_group=pending.get("AUDIO", "")))
            pending = None
    # Variants that only carry sound (no resolution, audio codecs only) are audio renditions.
    for r in list(manifest.videos):
        if not r.height and r.codecs and all(c.strip().startswith(("mp4a", "ac-3", "ec-3", "opus", "flac"))
                                             for c in r.codecs.split(",")):
            manifest.videos.remove(r)
            manifest.audios.append(Rendition("audio", r.uri, bandwidth=r.bandwidth, codecs=r.codecs))
    return manifest


def parse_hls_media(text: str, base: str) -> SegmentList:
    try:
        return _parse_hls_media(text, base)
    except ValueError as err:
        raise ManifestError(f"The stream's playlist cannot be read: {err}.") from err


def _parse_hls_media(text: str, base: str) -> SegmentList:
    out = SegmentList(ended=False)
    duration = 0.0
    sequence = 0
    key: Optional[Key] = None
    init: Optional[Segment] = None
    byterange: Optional[tuple[int, int]] = None
    next_offset = 0
    for raw in text.splitlines():
        line = raw.strip()
        if not line:
            continue
        if line.startswith("#EXT-X-MEDIA-SEQUENCE:"):
            sequence = int(line.split(":", 1)[1].strip() or 0)
        elif line.startswith("#EXTINF:"):
            try:
                duration = float(line.split(":", 1)[1].split(",", 1)[0])
            except ValueError:
                duration = 0.0
            duration = duration if math.isfinite(duration) and duration > 0 else 0.0
        elif line.startswith("#EXT-X-BYTERANGE:"):
            length, _, offset = line.split(":", 1)[1].partition("@")
            start = int(offset) if offset else next_offset
            byterange = (start, int(length))
            next_offset = start + int(length)
        elif line.startswith("#EXT-X-KEY:"):
            a = _attrs(line.split(":", 1)[1])
            if _protected(a):
                raise ManifestError(DRM_MESSAGE, "drm")
            if a.get("METHOD", "NONE").upper() == "NONE":
                key = None
            else:
                iv = None
                if a.get("IV"):
                    try:
                        iv = bytes.fromhex(a["IV"][2:] if a["IV"].lower().startswith("0x") else a["IV"]).rjust(16, b"\0")
                    except ValueError:
                        raise ManifestError("The stream names an encryption key it cannot use.", "key")
                if not a.get("URI"):
                    raise ManifestError("The stream is encrypted but names no key.", "key")
                key = Key("AES-128", urljoin(base, a["URI"]), iv)
        elif line.startswith("#EXT-X-MAP:"):
            a = _attrs(line.split(":", 1)[1])
            rng = None
            if a.get("BYTERANGE"):
                length, _, offset = a["BYTERANGE"].partition("@")
                rng = (int(offset or 0), int(length))
            init = Segment(urljoin(base, a.get("URI", "")), byterange=rng)
            if out.init is None:
                out.init = init
            elif init.uri != out.init.uri:
                raise ManifestError("The stream changes its initialization part midway; that is not supported.")
        elif line.startswith("#EXT-X-ENDLIST"):
            out.ended = True
        elif line.startswith("#"):
            continue
        else:
            out.segments.append(Segment(urljoin(base, line), duration, byterange, key, sequence))
            sequence += 1
            duration = 0.0
            byterange = None
    return out


# ---- DASH -----------------------------------------------------------------------------------------

def is_dash(text: str) -> bool:
    head = text[:4096]
    return "<MPD" in head


def _local(tag: str) -> str:
    return tag.rsplit("}", 1)[-1]


def _children(node: ET.Element, name: str) -> list[ET.Element]:
    return [c for c in node if _local(c.tag) == name]


def _child(node: Optional[ET.Element], name: str) -> Optional[ET.Element]:
    if node is None:
        return None
    found = _children(node, name)
    return found[0] if found else None


_DURATION = re.compile(r"P(?:(\d+(?:\.\d+)?)Y)?(?:(\d+(?:\.\d+)?)M)?(?:(\d+(?:\.\d+)?)W)?(?:(\d+(?:\.\d+)?)D)?"
                       r"(?:T(?:(\d+(?:\.\d+)?)H)?(?:(\d+(?:\.\d+)?)M)?(?:(\d+(?:\.\d+)?)S)?)?")
# Seconds in each field of an xs:duration; a year and a month are calendar lengths on average.
_DURATION_UNITS = (365.2425 * 86400, 30.436875 * 86400, 7 * 86400, 86400, 3600, 60, 1)


def _iso_duration(text: str, what: str = "duration") -> float:
    """Seconds of an xs:duration such as "PT3M30S" or "P0Y0M0DT0H3M30S" (0 when empty)."""
    text = (text or "").strip()
    if not text:
        return 0.0
    m = _DURATION.fullmatch(text)
    if not m or text in ("P", "PT") or text.endswith("T"):
        raise ManifestError(f"The stream's manifest cannot be read: its {what} \"{text[:40]}\" is not a duration.",
                            "manifest")
    return sum(float(g) * unit for g, unit in zip(m.groups(), _DURATION_UNITS) if g)


def _number(attrs, name: str, default: float = 0, element: str = "") -> float:
    """A numeric attribute as packagers write it ("2000000", "2000000.0", " 48000 "), or default
    when absent. Raises ManifestError naming the attribute when it is not a number."""
    raw = attrs.get(name)
    if raw is None or not str(raw).strip():
        return default
    try:
        value = float(str(raw).strip())
    except ValueError:
        value = math.nan
    if not math.isfinite(value) or value < 0:
        where = f" of {element}" if element else ""
        raise ManifestError(f"The stream's manifest cannot be read: the {name} \"{str(raw)[:40]}\"{where} "
                            "is not a number it can use.", "manifest")
    return value


def _integer(attrs, name: str, default: int = 0, element: str = "") -> int:
    return int(round(_number(attrs, name, default, element)))


def _base(node: Optional[ET.Element], base: str) -> str:
    b = _child(node, "BaseURL")
    return urljoin(base, b.text.strip()) if b is not None and b.text and b.text.strip() else base


def _fill(template: str, rep_id: str, bandwidth: int, number: int = 0, time: int = 0) -> str:
    def sub(m: re.Match) -> str:
        name, fmt = m.group(1), m.group(2)
        if name == "":
            return "$"
        value = {"RepresentationID": rep_id, "Number": number, "Time": time, "Bandwidth": bandwidth}.get(name)
        if value is None:
            return m.group(0)
        if fmt and not isinstance(value, str):
            return ("%" + fmt[1:]) % value if fmt.startswith("%") else str(value)
        return str(value)
    return re.sub(r"\$(\w*)(%0\d+d)?\$", sub, template)


def _merged(*nodes: Optional[ET.Element]) -> dict[str, str]:
    """Attributes of a segment element inherited down the levels (the deepest wins)."""
    out: dict[str, str] = {}
    for node in nodes:
        if node is not None:
            out.update(node.attrib)
    return out


def _timeline(*nodes: Optional[ET.Element]) -> Optional[ET.Element]:
    for node in reversed(nodes):
        t = _child(node, "SegmentTimeline")
        if t is not None:
            return t
    return None


def _dash_segments(period_dur: float, base: str, rep_id: str, bandwidth: int,
                   templates: list[Optional[ET.Element]], lists: list[Optional[ET.Element]]) -> SegmentList:
    out = SegmentList()
    if any(t is not None for t in templates):
        a = _merged(*templates)
        timescale = _integer(a, "timescale", 1, "SegmentTemplate") or 1
        number = _integer(a, "startNumber", 1, "SegmentTemplate")
        media = a.get("media", "")
        if a.get("initialization"):
            out.init = Segment(urljoin(base, _fill(a["initialization"], rep_id, bandwidth)))
        timeline = _timeline(*templates)
        if timeline is not None:
            time = 0
            for s in _children(timeline, "S"):
                time = _integer(s.attrib, "t", time, "SegmentTimeline")
                d = _integer(s.attrib, "d", 0, "SegmentTimeline")
                repeat = _repeat(s.get("r"))
                if repeat < 0:  # "until the end": only in live manifests, or up to the period's end
                    repeat = max(0, math.ceil((period_dur * timescale - time) / d) - 1) if d else 0
                for _ in range(repeat + 1):
                    out.segments.append(Segment(urljoin(base, _fill(media, rep_id, bandwidth, number, time)),
                                                d / timescale, sequence=number))
                    time += d
                    number += 1
        elif a.get("duration"):
            d = _integer(a, "duration", 0, "SegmentTemplate")
            count = math.ceil(period_dur * timescale / d) if d and period_dur else 0
            for i in range(count):
                out.segments.append(Segment(urljoin(base, _fill(media, rep_id, bandwidth, number + i, i * d)),
                                            min(d / timescale, period_dur - i * d / timescale), sequence=number + i))
        return out
    seg_list = next((n for n in reversed(lists) if n is not None), None)
    if seg_list is not None:
        a = _merged(*lists)
        timescale = _integer(a, "timescale", 1, "SegmentList") or 1
        d = _integer(a, "duration", 0, "SegmentList")
        init = next((i for i in (_child(n, "Initialization") for n in reversed(lists)) if i is not None), None)
        if init is not None and (init.get("sourceURL") or init.get("range")):
            # Without a sourceURL the initialization is a byte range of the representation's own file.
            out.init = Segment(urljoin(base, init.get("sourceURL") or ""), byterange=_range(init.get("range")))
        for i, s in enumerate(_children(seg_list, "SegmentURL")):
            out.segments.append(Segment(urljoin(base, s.get("media", "")), d / timescale if d else 0.0,
                                        byterange=_range(s.get("mediaRange")), sequence=i))
        if out.segments and not d and period_dur:  # no durations given: share the period out evenly
            for s in out.segments:
                s.duration = period_dur / len(out.segments)
        return out
    # SegmentBase or nothing: the representation is one whole file at its BaseURL.
    out.segments.append(Segment(base, period_dur))
    return out


def _repeat(text: Optional[str]) -> int:
    """A SegmentTimeline repeat count: -1 ("until the end") is the one negative value allowed."""
    if text is not None and text.strip() == "-1":
        return -1
    return _integer({"r": text}, "r", 0, "SegmentTimeline")


def _range(text: Optional[str]) -> Optional[tuple[int, int]]:
    m = re.fullmatch(r"(\d+)-(\d+)", (text or "").strip())
    return (int(m.group(1)), int(m.group(2)) - int(m.group(1)) + 1) if m else None


def parse_mpd(text: str, base: str) -> Manifest:
    try:
        return _parse_mpd(text, base)
    except ManifestError:
        raise
    except (ValueError, KeyError, ZeroDivisionError, OverflowError, TypeError) as err:
        raise ManifestError(f"The stream's manifest cannot be read: {err or type(err).__name__}.") from err


def _parse_mpd(text: str, base: str) -> Manifest:
    try:
        root = ET.fromstring(text)
    except ET.ParseError as err:
        raise ManifestError(f"The stream's manifest cannot be read: {err}.")
    if _local(root.tag) != "MPD":
        raise ManifestError("The stream's manifest is not a DASH manifest.")
    manifest = Manifest("dash", base)
    manifest.live = root.get("type", "static") == "dynamic"
    manifest.duration = _iso_duration(root.get("mediaPresentationDuration", ""), "length")
    periods = _children(root, "Period")
    if not periods:
        raise ManifestError("The stream's manifest lists nothing to play.")
    period = periods[0]
    manifest.periods = len(periods)
    period_dur = _iso_duration(period.get("duration", ""), "period's length") or manifest.duration
    if len(periods) > 1 and not period.get("duration"):
        # The first period ends where the next one starts.
        following = _iso_duration(periods[1].get("start", ""), "period's start")
        period_dur = following - _iso_duration(period.get("start", ""), "period's start") or period_dur
    mpd_base = _base(root, base)
    period_base = _base(period, mpd_base)
    for aset in _children(period, "AdaptationSet"):
        if _children(aset, "ContentProtection"):
            manifest.drm = True
        set_base = _base(aset, period_base)
        set_mime = aset.get("mimeType", "")
        content = aset.get("contentType", "") or set_mime.split("/")[0]
        lang = aset.get("lang", "")
        role = _child(aset, "Role")
        default = role is not None and role.get("value") == "main"
        for rep in _children(aset, "Representation"):
            if _children(rep, "ContentProtection"):
                manifest.drm = True
            mime = rep.get("mimeType", set_mime)
            kind = (rep.get("contentType") or content or mime.split("/")[0]).lower()
            codecs = rep.get("codecs", aset.get("codecs", ""))
            if kind == "application" and codecs.startswith(("stpp", "wvtt")) or kind == "text":
                kind = "subtitle"
            if kind not in ("video", "audio", "subtitle"):
                continue
            rep_id = rep.get("id", "")
            bandwidth = _integer(rep.attrib, "bandwidth", 0, "Representation")
            rep_base = _base(rep, set_base)
            segments = _dash_segments(period_dur, rep_base, rep_id, bandwidth,
                                      [_child(period, "SegmentTemplate"), _child(aset, "SegmentTemplate"),
                                       _child(rep, "SegmentTemplate")],
                                      [_child(period, "SegmentList"), _child(aset, "SegmentList"),
                                       _child(rep, "SegmentList")])
            r = Rendition(kind, f"{base}#{rep_id or len(manifest.videos) + len(manifest.audios)}",
                          _integer(rep.attrib, "width", _integer(aset.attrib, "width", 0, "AdaptationSet"),
                                   "Representation"),
                          _integer(rep.attrib, "height", _integer(aset.attrib, "height", 0, "AdaptationSet"),
                                   "Representation"), bandwidth, codecs, lang,
                          rep_id, default=default, mime=mime, dash=segments)
            {"video": manifest.videos, "audio": manifest.audios, "subtitle": manifest.subtitles}[kind].append(r)
    if not manifest.duration:
        manifest.duration = max((r.dash.duration for r in manifest.videos + manifest.audios if r.dash), default=0.0)
    return manifest


# ---- fetching -------------------------------------------------------------------------------------

def _fetch_text(session: Session, url: str) -> tuple[str, str, str]:
    """(final address, content type, text) of a manifest."""
    with session.open(url) as resp:
        data = resp.read_whole(MANIFEST_LIMIT, f"The stream's manifest at {url}")
        return resp.url, resp.content_type, data.decode("utf-8", "replace")


def load(session: Session, url: str) -> Manifest:
    """The manifest at url: an HLS master, an HLS media playlist (one rendition) or a DASH MPD.
    Raises NetError when it cannot be fetched, ManifestError when it cannot be used."""
    final, ctype, text = _fetch_text(session, url)
    if is_hls(text):
        if is_hls_master(text):
            return parse_hls_master(text, final)
        media = parse_hls_media(text, final)
        manifest = Manifest("hls", final, videos=[Rendition("video", final)], media=media,
                            live=not media.ended, duration=media.duration)
        return manifest
    if ctype in DASH_TYPES or is_dash(text):
        return parse_mpd(text, final)
    raise ManifestError(f"{final} is neither an HLS playlist nor a DASH manifest.")


def segments_of(session: Session, manifest: Manifest, rendition: Rendition) -> SegmentList:
    """The segments of one rendition (an HLS media playlist is fetched here)."""
    if rendition.dash is not None:
        return rendition.dash
    if manifest.media is not None and rendition.uri == manifest.url:
        return manifest.media
    final, _, text = _fetch_text(session, rendition.uri)
    if not is_hls(text):
        raise ManifestError(f"The playlist at {final} is not an HLS playlist.")
    return parse_hls_media(text, final)
