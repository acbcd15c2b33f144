"""Full-text index of transcript segments (SQLite FTS5).

A transcript is either a subtitle file (.srt/.vtt) saved beside a download, or the
JSON file transcription writes (``<stem>.transcript.json``)::

    {"mediaPath": "...", "title": "...", "language": "en",
     "segments": [{"startMs": 0, "endMs": 1500, "text": "..."}, ...]}

The index lives in one SQLite file and is brought up to date incrementally: a file
whose size and modification time did not change is not read again.
"""

from __future__ import annotations

import json
import os
import re
import sqlite3
import threading
import unicodedata
from dataclasses import dataclass, field
from typing import Iterable

from . import jsonio

SCHEMA_VERSION = 1
TRANSCRIPT_SUFFIX = ".transcript.json"
SUBTITLE_EXTENSIONS = (".srt", ".vtt")
MARK_OPEN = "\u2039"
MARK_CLOSE = "\u203a"
MAX_HITS = 200
# Matches ranked for one query at most (see SearchIndex.query).
RANK_CANDIDATES = 2000
# How deep the transcript folder is searched; it is ours, so keep the walk cheap.
MAX_SCAN_DEPTH = 3


@dataclass
class Segment:
    start_ms: int
    end_ms: int
    text: str


@dataclass
class Transcript:
    path: str
    media_path: str
    title: str
    language: str
    segments: list[Segment] = field(default_factory=list)


# ---------------------------------------------------------------- parsing

_TIME = re.compile(r"(?:(\d+):)?(\d{1,2}):(\d{1,2})(?:[.,](\d{1,3}))?")
_CUE_TIMES = re.compile(r"^\s*(\S+)\s+-->\s+(\S+)")
_TAG = re.compile(r"<[^>]*>|\{\\[^}]*\}")


def _time_ms(text: str) -> int | None:
    m = _TIME.fullmatch(text.strip())
    if not m:
        return None
    hours = int(m.group(1) or 0)
    minutes = int(m.group(2))
    seconds = int(m.group(3))
    frac = (m.group(4) or "0").ljust(3, "0")
    return ((hours * 60 + minutes) * 60 + seconds) * 1000 + int(frac)


def _clean_cue_text(lines: list[str]) -> str:
    text = " ".join(_TAG.sub("", line).strip() for line in lines)
    text = text.replace("&nbsp;", " ").replace("&amp;", "&").replace("&lt;", "<").replace("&gt;", ">")
    return " ".join(text.split())


def parse_subtitles(text: str) -> list[Segment]:
    """Cues of an SRT or WebVTT document, in order; blocks without timings are skipped."""
    text = text.lstrip("\ufeff").replace("\r\n", "\n").replace("\r", "\n")
    segments: list[Segment] = []
    for block in re.split(r"\n\s*\n", text):
        lines = [line for line in block.split("\n") if line.strip()]
        for i, line in enumerate(lines):
            m = _CUE_TIMES.match(line)
            if not m:
                continue
            start, end = _time_ms(m.group(1)), _time_ms(m.group(2))
            if start is None or end is None:
                break
            body = _clean_cue_text(lines[i + 1:])
            if not body:
                break
            # Rolling captions repeat the previous cue; keep one segment and widen it.
            if segments and segments[-1].text == body and start <= segments[-1].end_ms + 1:
                segments[-1].end_ms = max(segments[-1].end_ms, end)
            else:
                segments.append(Segment(start, max(start, end), body))
            break
    return segments


def _int_ms(seg: dict, key_ms: str, key_s: str) -> int | None:
    value = seg.get(key_ms)
    if isinstance(value, (int, float)) and not isinstance(value, bool):
        return int(value)
    value = seg.get(key_s)
    if isinstance(value, (int, float)) and not isinstance(value, bool):
        return int(round(value * 1000))
    return None


def parse_transcript_json(text: str) -> tuple[dict, list[Segment]]:
    data = jsonio.loads(text)
    if not isinstance(data, dict) or not isinstance(data.get("segments"), list):
        raise ValueError("not a transcript")
    segments = []
    for seg in data["segments"]:
        if not isinstance(seg, dict) or not isinstance(seg.get("text"), str):
            continue
        start = _int_ms(seg, "startMs", "start")
        end = _int_ms(seg, "endMs", "end")
        body = " ".join(seg["text"].split())
        if start is None or end is None or not body:
            continue
        segments.append(Segment(start, max(start, end), body))
    return data, segments


def write_transcript_json(path: str, media_path: str, title: str, language: str,
                          segments: Iterable[Segment]) -> None:
    """Writes a transcript the index understands (atomically)."""
    payload = {
        "mediaPath": media_path,
        "title": title,
        "language": language,
        "segments": [{"startMs": s.start_ms, "endMs": s.end_ms, "text": s.text} for s in segments],
    }
    tmp = path + ".tmp"
    with open(tmp, "w", encoding="utf-8") as f:
        json.dump(payload, f, ensure_ascii=False, allow_nan=False)
    os.replace(tmp, path)


def subtitle_stem_and_language(name: str) -> tuple[str, str]:
    """'Talk.en.srt' -> ('Talk', 'en'); 'Talk.srt' -> ('Talk', '')."""
    base = os.path.splitext(name)[0]
    stem, dot, lang = base.rpartition(".")
    if dot and re.fullmatch(r"[A-Za-z]{2,3}(?:[-_][A-Za-z0-9]{2,8})*", lang):
        return stem, lang
    return base, ""


# ---------------------------------------------------------------- discovery

@dataclass
class Candidate:
    path: str
    media_path: str
    title: str
    language: str


def discover(transcript_dirs: Iterable[str], library: Iterable[tuple[str, str]],
             media_extensions: Iterable[str]) -> dict[str, Candidate]:
    """Transcript files to index: beside each library file, and in the transcript folders.

    ``library`` yields (mediaPath, title); subtitles in a transcript folder are tied
    to a library file of the same name, or to a media file beside them.
    """
    media_ext = {e.lower() for e in media_extensions}
    by_stem: dict[str, tuple[str, str]] = {}
    by_dir: dict[str, list[tuple[str, str, str]]] = {}
    for media, title in library:
        if not media:
            continue
        folder, name = os.path.split(media)
        stem = os.path.splitext(name)[0]
        by_stem.setdefault(stem, (media, title))
        by_dir.setdefault(folder, []).append((stem, media, title))

    found: dict[str, Candidate] = {}
    listing_cache: dict[str, list[str]] = {}
    transcripts_cache: dict[str, dict[str, list[tuple[str, str]]]] = {}
    media_cache: dict[str, dict[str, str]] = {}

    def names_in(folder: str) -> list[str]:
        if folder not in listing_cache:
            try:
                listing_cache[folder] = sorted(os.listdir(folder))
            except OSError:
                listing_cache[folder] = []
        return listing_cache[folder]

    def transcripts_in(folder: str) -> dict[str, list[tuple[str, str]]]:
        """Media stem -> [(transcript path, language)] for the transcript files of a folder."""
        if folder not in transcripts_cache:
            by: dict[str, list[tuple[str, str]]] = {}
            for name in names_in(folder):
                lower = name.lower()
                path = os.path.join(folder, name)
                if lower.endswith(TRANSCRIPT_SUFFIX):
                    by.setdefault(name[:-len(TRANSCRIPT_SUFFIX)], []).append((path, ""))
                elif lower.endswith(SUBTITLE_EXTENSIONS):
                    stem, lang = subtitle_stem_and_language(name)
                    by.setdefault(stem, []).append((path, lang))
                    if lang:
                        # "Season.one.srt" may as well belong to "Season.one.mp4".
                        by.setdefault(os.path.splitext(name)[0], []).append((path, ""))
            transcripts_cache[folder] = by
        return transcripts_cache[folder]

    def media_in(folder: str) -> dict[str, str]:
        """Stem -> path of the media files of a folder."""
        if folder not in media_cache:
            by: dict[str, str] = {}
            for name in names_in(folder):
                stem, ext = os.path.splitext(name)
                if ext.lower() in media_ext:
                    by.setdefault(stem, os.path.join(folder, name))
            media_cache[folder] = by
        return media_cache[folder]

    for folder, items in by_dir.items():
        table = transcripts_in(folder)
        for stem, media, title in items:
            for path, lang in table.get(stem, []):
                found.setdefault(path, Candidate(path, media, title, lang))

    def walk(folder: str, depth: int) -> None:
        table = transcripts_in(folder)
        for stem, files in table.items():
            for path, lang in files:
                if path in found:
                    continue
                if path.lower().endswith(TRANSCRIPT_SUFFIX):
                    # The transcript names its media itself.
                    found[path] = Candidate(path, "", "", "")
                    continue
                media, title = by_stem.get(stem, ("", ""))
                media = media or media_in(folder).get(stem, "")
                if media:
                    found[path] = Candidate(path, media, title, lang)
        if depth < MAX_SCAN_DEPTH:
            for name in names_in(folder):
                sub = os.path.join(folder, name)
                if not name.startswith(".") and os.path.isdir(sub):
                    walk(sub, depth + 1)

    for folder in transcript_dirs:
        if folder and os.path.isdir(folder):
            walk(os.path.abspath(folder), 0)
    return found


def fts_query(text: str) -> str | None:
    """The user's text as plain words for FTS5: every word must occur, the last
    one may be the start of a word. None when the text holds no word at all."""
    words = re.findall(r"\w+", text)
    if not words:
        return None
    quoted = [f'"{w}"' for w in words]
    quoted[-1] += "*"
    return " ".join(quoted)


# ---------------------------------------------------------------- the index

class SearchIndex:
    def __init__(self, db_path: str):
        self.db_path = db_path
        self._lock = threading.Lock()
        self._db = self._open()

    def _open(self) -> sqlite3.Connection:
        os.makedirs(os.path.dirname(self.db_path) or ".", exist_ok=True)
        try:
            db = self._connect()
        except sqlite3.DatabaseError:
            # The index only mirrors files on disk: a damaged one is rebuilt, not repaired.
            for suffix in ("", "-wal", "-shm"):
                try:
                    os.remove(self.db_path + suffix)
                except FileNotFoundError:
                    pass
            db = self._connect()
        return db

    def _connect(self) -> sqlite3.Connection:
        db = sqlite3.connect(self.db_path, check_same_thread=False, isolation_level=None)
        version = db.execute("PRAGMA user_version").fetchone()[0]
        if version != SCHEMA_VERSION:
            db.executescript(
                """
                DROP TABLE IF EXISTS docs;
                DROP TABLE IF EXISTS segs;
                CREATE TABLE docs(id INTEGER PRIMARY KEY, path TEXT UNIQUE NOT NULL,
                                  media TEXT NOT NULL, title TEXT NOT NULL, language TEXT NOT NULL,
                                  mtime REAL NOT NULL, size INTEGER NOT NULL);
                CREATE VIRTUAL TABLE segs USING fts5(text, doc UNINDEXED, start UNINDEXED,
                                  end UNINDEXED, tokenize='unicode61 remove_diacritics 2');
                """
            )
            db.execute(f"PRAGMA user_version = {SCHEMA_VERSION}")
        db.execute("SELECT count(*) FROM docs").fetchone()
        return db

    def close(self) -> None:
        with self._lock:
            self._db.close()

    # -- updating

    def sync(self, candidates: dict[str, Candidate]) -> dict:
        """Brings the index in line with the given transcript files."""
        scanned = 0
        with self._lock:
            known = {row[0]: row for row in self._db.execute(
                "SELECT path, id, media, title, language, mtime, size FROM docs")}
            self._db.execute("BEGIN")
            try:
                for path, row in known.items():
                    if path not in candidates:
                        self._drop(row[1])
                for path, cand in sorted(candidates.items()):
                    scanned += 1
                    try:
                        st = os.stat(path)
                    except OSError:
                        if path in known:
                            self._drop(known[path][1])
                        continue
                    row = known.get(path)
                    if row and row[5] == st.st_mtime and row[6] == st.st_size and (
                            not cand.media_path or row[2] == cand.media_path) and (
                            not cand.title or row[3] == cand.title):
                        continue
                    transcript = self._read(cand)
                    if row:
                        self._drop(row[1])
                    if transcript is not None:
                        self._insert(transcript, st.st_mtime, st.st_size)
                self._db.execute("COMMIT")
            except BaseException:
                self._db.execute("ROLLBACK")
                raise
            documents, segments = self._counts()
        return {"documents": documents, "segments": segments, "scanned": scanned}

    def add(self, transcript: Transcript) -> None:
        """Indexes one transcript now (e.g. when transcription has just written it)."""
        try:
            st = os.stat(transcript.path)
            mtime, size = st.st_mtime, st.st_size
        except OSError:
            mtime, size = 0.0, 0
        with self._lock:
            self._db.execute("BEGIN")
            try:
                row = self._db.execute("SELECT id FROM docs WHERE path = ?", (transcript.path,)).fetchone()
                if row:
                    self._drop(row[0])
                self._insert(transcript, mtime, size)
                self._db.execute("COMMIT")
            except BaseException:
                self._db.execute("ROLLBACK")
                raise

    def _drop(self, doc_id: int) -> None:
        self._db.execute("DELETE FROM segs WHERE doc = ?", (doc_id,))
        self._db.execute("DELETE FROM docs WHERE id = ?", (doc_id,))

    def _insert(self, t: Transcript, mtime: float, size: int) -> None:
        cur = self._db.execute(
            "INSERT INTO docs(path, media, title, language, mtime, size) VALUES (?,?,?,?,?,?)",
            (t.path, t.media_path, t.title, t.language, mtime, size))
        doc_id = cur.lastrowid
        self._db.executemany(
            "INSERT INTO segs(text, doc, start, end) VALUES (?,?,?,?)",
            ((s.text, doc_id, s.start_ms, s.end_ms) for s in t.segments))

    @staticmethod
    def _read(cand: Candidate) -> Transcript | None:
        try:
            with open(cand.path, encoding="utf-8", errors="replace") as f:
                text = f.read()
        except OSError:
            return None
        media, title, language = cand.media_path, cand.title, cand.language
        if cand.path.lower().endswith(TRANSCRIPT_SUFFIX):
            try:
                data, segments = parse_transcript_json(text)
            except ValueError:
                return None
            if isinstance(data.get("mediaPath"), str) and data["mediaPath"] and not media:
                media = data["mediaPath"]
            if isinstance(data.get("title"), str) and data["title"] and not title:
                title = data["title"]
            if isinstance(data.get("language"), str) and data["language"]:
                language = data["language"]
        else:
            segments = parse_subtitles(text)
        if not media:
            return None
        if not title:
            title = os.path.splitext(os.path.basename(media))[0]
        return Transcript(cand.path, media, title, language, segments)

    # -- reading

    def _counts(self) -> tuple[int, int]:
        documents = self._db.execute("SELECT count(*) FROM docs").fetchone()[0]
        segments = self._db.execute("SELECT count(*) FROM segs").fetchone()[0]
        return documents, segments

    def status(self) -> dict:
        with self._lock:
            documents, segments = self._counts()
            transcribed = [r[0] for r in self._db.execute("SELECT DISTINCT media FROM docs ORDER BY media")]
        size = 0
        for suffix in ("", "-wal", "-journal"):
            try:
                size += os.path.getsize(self.db_path + suffix)
            except OSError:
                pass
        return {"documents": documents, "segments": segments, "sizeBytes": size, "transcribed": transcribed}

    def query(self, text: str, limit: int = MAX_HITS) -> list[dict]:
        match = fts_query(text)
        if match is None:
            return []
        with self._lock:
            try:
                # Ranking every match of a word found almost everywhere costs seconds: only the most
                # recently indexed RANK_CANDIDATES matches are ranked. Below that bound the ranking
                # is complete.
                rows = self._db.execute(
                    "SELECT d.media, d.title, d.language, c.start, c.end, c.text, d.path FROM"
                    " (SELECT rowid, bm25(segs) AS score, doc, start, end, text FROM segs"
                    "  WHERE segs MATCH ? ORDER BY rowid DESC LIMIT ?) AS c"
                    " CROSS JOIN docs d ON d.id = c.doc ORDER BY c.score, d.media, c.start LIMIT ?",
                    (match, RANK_CANDIDATES, limit)).fetchall()
            except sqlite3.OperationalError:
                # Only words reach FTS5, so this is not expected; no hits beat a failed search.
                return []
        terms, prefix = query_terms(text)
        exists: dict[str, bool] = {}
        hits = []
        for media, title, language, start, end, body, path in rows:
            if media not in exists:
                exists[media] = os.path.isfile(media)
            hits.append({
                "mediaPath": media,
                "title": title,
                "language": language,
                "startMs": int(start),
                "endMs": int(end),
                "excerpt": highlight(body, terms, prefix),
                "jsonPath": path,
                "exists": exists[media],
            })
        return hits


def fold(word: str) -> str:
    """A word as the index compares it: case-folded, without diacritics."""
    decomposed = unicodedata.normalize("NFKD", word.casefold())
    return "".join(ch for ch in decomposed if not unicodedata.combining(ch))


def query_terms(text: str) -> tuple[set[str], str]:
    """The query's whole words, and its last word, which may also start a longer word."""
    words = [fold(w) for w in re.findall(r"\w+", text)]
    return set(words[:-1]), (words[-1] if words else "")


def highlight(body: str, terms: set[str], prefix: str) -> str:
    """The segment with one mark around each run of matched words."""
    def matched(word: str) -> bool:
        folded = fold(word)
        return folded in terms or (bool(prefix) and folded.startswith(prefix))

    out = []
    pos = 0
    open_run = False
    for m in re.finditer(r"\w+", body):
        gap = body[pos:m.start()]
        hit = matched(m.group())
        if open_run and (not hit or gap.strip()):
            out.append(MARK_CLOSE)
            open_run = False
        out.append(gap)
        if hit and not open_run:
            out.append(MARK_OPEN)
            open_run = True
        out.append(m.group())
        pos = m.end()
    if open_run:
        out.append(MARK_CLOSE)
    out.append(body[pos:])
    return "".join(out)
