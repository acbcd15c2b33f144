"""Subtitles as adaptive streams carry them, made into one WebVTT or SRT file: WebVTT or SRT segments
joined, TTML documents (plain, or in MP4 fragments as "stpp" tracks carry them) converted.

Raises Unreadable when the data is none of these, so the caller can leave the track out.
"""

from __future__ import annotations

import re
import struct
import xml.etree.ElementTree as ET
from typing import Optional

Cue = tuple[float, float, str]  # start and end in seconds, text (lines joined by "\n")

_BOXES = {b"ftyp", b"styp", b"moof", b"mdat", b"sidx", b"moov", b"free", b"emsg", b"prft", b"skip"}


class Unreadable(Exception):
    pass


def is_mp4(data: bytes) -> bool:
    return len(data) >= 8 and data[4:8] in _BOXES


def mdat_payloads(data: bytes) -> list[bytes]:
    """The contents of the top-level "mdat" boxes of an MP4 fragment (each stpp sample is a TTML
    document; one mdat may hold several samples one after another)."""
    out, at = [], 0
    while at + 8 <= len(data):
        size, kind = struct.unpack(">I4s", data[at:at + 8])
        head = 8
        if size == 1:
            if at + 16 > len(data):
                break
            size = struct.unpack(">Q", data[at + 8:at + 16])[0]
            head = 16
        elif size == 0:
            size = len(data) - at
        if size < head:
            raise Unreadable("a damaged MP4 box")
        if kind == b"mdat":
            out.append(data[at + head:at + size])
        at += size
    return out


def _documents(payload: bytes) -> list[bytes]:
    """TTML documents in a payload: several samples may follow one another, each with its header."""
    starts = [m.start() for m in re.finditer(rb"<\?xml", payload)] or [0]
    if starts[0] != 0 and payload[:starts[0]].strip():
        starts.insert(0, 0)
    bounds = starts + [len(payload)]
    return [payload[x:y] for x, y in zip(bounds, bounds[1:]) if payload[x:y].strip(b"\0 \r\n\t")]


def _local(tag: str) -> str:
    return tag.rsplit("}", 1)[-1]


def _attr(node: ET.Element, name: str) -> Optional[str]:
    for key, value in node.attrib.items():
        if _local(key) == name:
            return value
    return None


def _clock(text: Optional[str], tick_rate: float, frame_rate: float) -> Optional[float]:
    """Seconds of a TTML time expression ("00:00:01.500", "00:00:01:12", "1.5s", "1500ms", "90t")."""
    if not text:
        return None
    text = text.strip()
    m = re.fullmatch(r"(\d+):(\d{2}):(\d{2}(?:\.\d+)?)(?::(\d+(?:\.\d+)?))?", text)
    if m:
        frames = float(m.group(4)) / frame_rate if m.group(4) else 0.0
        return int(m.group(1)) * 3600 + int(m.group(2)) * 60 + float(m.group(3)) + frames
    m = re.fullmatch(r"(\d+(?:\.\d+)?)(h|m|s|ms|f|t)", text)
    if m:
        value = float(m.group(1))
        return value * {"h": 3600, "m": 60, "s": 1, "ms": 0.001, "f": 1 / frame_rate,
                        "t": 1 / tick_rate}[m.group(2)]
    return None


def _text(node: ET.Element) -> str:
    parts = [node.text or ""]
    for child in node:
        parts.append("\n" if _local(child.tag) == "br" else _text(child))
        parts.append(child.tail or "")
    return "".join(parts)


def ttml_cues(document: bytes) -> list[Cue]:
    try:
        root = ET.fromstring(document.strip(b"\0 \r\n\t"))
    except ET.ParseError as err:
        raise Unreadable(f"TTML that cannot be read ({err})")
    if _local(root.tag) != "tt":
        raise Unreadable("a document that is not TTML")
    tick_rate = float(_attr(root, "tickRate") or 0) or 10_000_000.0
    frame_rate = float(_attr(root, "frameRate") or 0) or 30.0
    cues: list[Cue] = []

    def walk(node: ET.Element, offset: float):
        begin = _clock(_attr(node, "begin"), tick_rate, frame_rate)
        start = offset + (begin or 0.0)
        if _local(node.tag) == "p":
            end = _clock(_attr(node, "end"), tick_rate, frame_rate)
            dur = _clock(_attr(node, "dur"), tick_rate, frame_rate)
            stop = offset + end if end is not None else start + dur if dur is not None else None
            words = "\n".join(line.strip() for line in _text(node).split("\n") if line.strip())
            if words and stop is not None and stop > start:
                cues.append((start, stop, words))
            return
        for child in node:
            walk(child, start)

    walk(root, 0.0)
    return cues


def _stamp(seconds: float, sep: str) -> str:
    ms = int(round(max(seconds, 0.0) * 1000))
    return f"{ms // 3600000:02d}:{ms // 60000 % 60:02d}:{ms // 1000 % 60:02d}{sep}{ms % 1000:03d}"


def to_vtt(cues: list[Cue]) -> str:
    return "WEBVTT\n\n" + "".join(f"{_stamp(a, '.')} --> {_stamp(b, '.')}\n{t}\n\n" for a, b, t in cues)


def to_srt(cues: list[Cue]) -> str:
    return "".join(f"{i}\n{_stamp(a, ',')} --> {_stamp(b, ',')}\n{t}\n\n" for i, (a, b, t) in enumerate(cues, 1))


def is_ttml(data: bytes) -> bool:
    head = data.lstrip(b"\xef\xbb\xbf \r\n\t")[:2048]
    return head.startswith(b"<") and re.search(rb"<(?:\w+:)?tt[\s>]", head) is not None


def cues_of(segments: list[bytes]) -> Optional[list[Cue]]:
    """The cues of TTML segments (plain or in MP4 fragments), in time order, duplicates dropped;
    None when the segments are text subtitles (WebVTT or SRT) to be joined as they are.
    Raises Unreadable for anything else."""
    documents: list[bytes] = []
    text = 0
    for data in segments:
        if is_mp4(data):
            for payload in mdat_payloads(data):
                documents += _documents(payload)
        elif is_ttml(data):
            documents.append(data)
        elif not data.strip():
            continue
        else:
            text += 1
    if not documents:
        if text:
            return None
        raise Unreadable("no subtitles in the segments")
    if text:
        raise Unreadable("TTML and text subtitles mixed")
    seen, cues = set(), []
    for doc in documents:
        for cue in ttml_cues(doc):
            if cue not in seen:
                seen.add(cue)
                cues.append(cue)
    return sorted(cues, key=lambda c: (c[0], c[1]))
