"""Speech-recognition models: the catalogue, and downloading, cancelling and deleting them.

The catalogue is a JSON file next to the engine (models.json), or whatever file or
http(s) address VAMBER_MODEL_CATALOG names::

    {"default": "base",
     "models": [{"key": "base", "filename": "ggml-base.bin", "url": "https://...",
                 "downloadBytes": 147951465, "peakMemoryBytes": 388000000,
                 "sha256": "optional hex digest"}]}

A relative "url" is taken relative to the catalogue's own address. A model is
installed when its file is in the models folder with the catalogue's size.
"""

from __future__ import annotations

import hashlib
import json
import os
import re
import socket
import threading
import time
import urllib.error
import urllib.parse
import urllib.request
from dataclasses import dataclass

from . import jsonio, logs
from .net import NetError, read_limited

CATALOG_ENV = "VAMBER_MODEL_CATALOG"
DEFAULT_CATALOG = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "models.json")
CHUNK = 256 * 1024
TIMEOUT = 30
CATALOGUE_LIMIT = 4 << 20
PROGRESS_INTERVAL = 0.2
USER_AGENT = "Vamber-Engine"


class ModelError(Exception):
    """Something about a model cannot be done; the text says why."""

    def __init__(self, message: str, unavailable: bool = False):
        super().__init__(message)
        self.unavailable = unavailable


@dataclass(frozen=True)
class Model:
    key: str
    filename: str
    url: str
    download_bytes: int
    peak_memory_bytes: int
    sha256: str


@dataclass
class Catalogue:
    source: str
    default: str
    models: list[Model]

    def get(self, key: str) -> Model:
        for model in self.models:
            if model.key == key:
                return model
        raise ModelError(f"There is no model '{key}' in the catalogue.")


def catalogue_source() -> str:
    return os.environ.get(CATALOG_ENV, "").strip() or DEFAULT_CATALOG


def _plain_name(name) -> bool:
    return (isinstance(name, str) and name not in ("", ".", "..") and "/" not in name
            and "\\" not in name and "\0" not in name)


def _count(value) -> int | None:
    if isinstance(value, bool) or not isinstance(value, int) or value < 0:
        return None
    return value


def parse_catalogue(text: str, source: str, log=lambda message: None) -> Catalogue:
    try:
        data = jsonio.loads(text)
    except ValueError as exc:
        raise ModelError(f"The model catalogue at {source} is not valid JSON ({exc}).", unavailable=True)
    if not isinstance(data, dict) or not isinstance(data.get("models"), list):
        raise ModelError(f"The model catalogue at {source} has no list of models.", unavailable=True)
    is_url = urllib.parse.urlsplit(source).scheme in ("http", "https")
    base = source if is_url else "file:" + urllib.request.pathname2url(os.path.abspath(source))
    models: list[Model] = []
    seen = set()
    for i, entry in enumerate(data["models"]):
        if not isinstance(entry, dict):
            log(f"model catalogue entry {i} is not an object; skipped")
            continue
        key, filename, url = entry.get("key"), entry.get("filename"), entry.get("url")
        size, peak = _count(entry.get("downloadBytes")), _count(entry.get("peakMemoryBytes", 0))
        digest = entry.get("sha256", "")
        problems = []
        if not isinstance(key, str) or not key or key in seen:
            problems.append("key")
        if not _plain_name(filename):
            problems.append("filename")
        if not isinstance(url, str) or not url:
            problems.append("url")
        if not size:
            problems.append("downloadBytes")
        if peak is None:
            problems.append("peakMemoryBytes")
        if not isinstance(digest, str) or (digest and not re.fullmatch(r"[0-9a-fA-F]{64}", digest)):
            problems.append("sha256")
        if problems:
            log(f"model catalogue entry {i} has a bad {', '.join(problems)}; skipped")
            continue
        absolute = urllib.parse.urljoin(base, url)
        if urllib.parse.urlsplit(absolute).scheme not in ("http", "https", "file"):
            log(f"model '{key}' has an address that is not http, https or file; skipped")
            continue
        seen.add(key)
        models.append(Model(key, filename, absolute, size, peak, digest.lower()))
    default = data.get("default")
    if not isinstance(default, str) or default not in seen:
        default = models[0].key if models else ""
    return Catalogue(source, default, models)


def load_catalogue(source: str | None = None, log=lambda message: None) -> Catalogue:
    source = source or catalogue_source()
    try:
        if urllib.parse.urlsplit(source).scheme in ("http", "https"):
            request = urllib.request.Request(source, headers={"User-Agent": USER_AGENT})
            with urllib.request.urlopen(request, timeout=TIMEOUT) as response:
                text = read_limited(response, CATALOGUE_LIMIT, "The model catalogue").decode("utf-8", "replace")
        else:
            with open(source, encoding="utf-8") as f:
                text = read_limited(f, CATALOGUE_LIMIT, "The model catalogue")
    except (OSError, urllib.error.URLError, ValueError, NetError) as exc:
        reason = getattr(exc, "reason", None) or exc
        raise ModelError(f"Cannot read the model catalogue at {source}: {reason}", unavailable=True)
    return parse_catalogue(text, source, log)


class _Download:
    def __init__(self, model: Model):
        self.model = model
        self.cancelled = False
        self.quiet = False
        self.response = None
        self.thread: threading.Thread | None = None


class ModelStore:
    def __init__(self, models_dir: str, log=lambda message: None):
        self.models_dir = models_dir
        self.log = log
        self._lock = threading.Lock()
        self._downloads: dict[str, _Download] = {}

    def catalogue(self) -> Catalogue:
        return load_catalogue(log=self.log)

    def path_of(self, model: Model) -> str:
        return os.path.join(self.models_dir, model.filename)

    def _size_on_disk(self, model: Model) -> int:
        try:
            return os.path.getsize(self.path_of(model))
        except OSError:
            return 0

    def _installed(self, model: Model) -> bool:
        with self._lock:
            if model.key in self._downloads:
                return False
        return self._size_on_disk(model) == model.download_bytes

    def info(self) -> dict:
        cat = self.catalogue()
        disk = {}
        models = []
        for model in cat.models:
            size = self._size_on_disk(model)
            if size:
                disk[model.key] = size
            models.append({"key": model.key, "filename": model.filename, "downloadBytes": model.download_bytes,
                           "peakMemoryBytes": model.peak_memory_bytes, "installed": self._installed(model)})
        return {"models": models, "default": cat.default, "diskUsage": disk}

    def offer(self, key: str) -> dict:
        model = self.catalogue().get(key)
        installed = self._installed(model)
        return {"key": model.key, "installed": installed,
                "host": urllib.parse.urlsplit(model.url).hostname or "",
                "downloadBytes": model.download_bytes,
                "diskBytes": self._size_on_disk(model) if installed else model.download_bytes}

    def downloading(self) -> list[str]:
        with self._lock:
            return list(self._downloads)

    # -- downloading

    def download(self, key: str, emit) -> str:
        """Starts fetching a model on a thread: "started", "running" (already under way)
        or "installed" (nothing to do). Progress and the outcome go through emit()."""
        model = self.catalogue().get(key)
        if self._installed(model):
            emit("model.state", {"key": key, "state": "installed"})
            return "installed"
        with self._lock:
            if key in self._downloads:
                return "running"
            job = _Download(model)
            self._downloads[key] = job
            job.thread = threading.Thread(target=logs.carry(self._run), args=(job, emit), daemon=True,
                                          name=f"model-{key}")
        job.thread.start()
        return "started"

    def cancel(self, key: str, quiet: bool = False, wait: float = 0) -> bool:
        with self._lock:
            job = self._downloads.get(key)
            if job is None:
                return False
            job.cancelled = True
            job.quiet = job.quiet or quiet
            response = job.response
        _abort(response)
        if wait and job.thread is not None:
            job.thread.join(wait)
        return True

    def stop_all(self) -> None:
        for key in self.downloading():
            self.cancel(key, quiet=True, wait=2)

    def delete(self, key: str, emit) -> None:
        model = self.catalogue().get(key)
        was_downloading = self.cancel(key, quiet=True, wait=10)
        path = self.path_of(model)
        try:
            os.remove(path)
        except FileNotFoundError:
            if not was_downloading:
                raise ModelError(f"The model '{key}' is not installed.")
        except OSError as exc:
            raise ModelError(f"Cannot delete {path}: {exc.strerror or exc}")
        emit("model.state", {"key": key, "state": "deleted"})

    def _run(self, job: _Download, emit) -> None:
        model = job.model
        partial = self.path_of(model) + ".part"
        state = {"key": model.key, "state": "installed"}
        try:
            os.makedirs(self.models_dir, exist_ok=True)
            self._fetch(job, partial, emit)
            os.replace(partial, self.path_of(model))
        except _Cancelled:
            state = {"key": model.key, "state": "cancelled"}
        except ModelError as exc:
            state = {"key": model.key, "state": "failed", "message": str(exc)}
        except Exception as exc:  # the outcome must always reach the application
            state = {"key": model.key, "state": "failed", "message": f"Download of '{model.key}' failed: {exc}"}
        if state["state"] != "installed":
            try:
                os.remove(partial)
            except OSError:
                pass
        with self._lock:
            self._downloads.pop(model.key, None)
            quiet = job.quiet
        if not quiet:
            emit("model.state", state)

    def _fetch(self, job: _Download, partial: str, emit) -> None:
        model = job.model
        total = model.download_bytes
        request = urllib.request.Request(model.url, headers={"User-Agent": USER_AGENT})
        try:
            response = urllib.request.urlopen(request, timeout=TIMEOUT)
        except urllib.error.HTTPError as exc:
            raise ModelError(f"The server refused the model '{model.key}' (HTTP {exc.code}).")
        except (urllib.error.URLError, OSError) as exc:
            if job.cancelled:
                raise _Cancelled()
            raise ModelError(f"Cannot reach {urllib.parse.urlsplit(model.url).hostname or model.url}: "
                             f"{getattr(exc, 'reason', exc)}")
        with response:
            with self._lock:
                job.response = response
            if job.cancelled:
                raise _Cancelled()
            announced = response.headers.get("Content-Length")
            if announced and announced.isdigit() and int(announced) != total:
                raise ModelError(f"Size mismatch for '{model.key}': the server sends {int(announced)} bytes, "
                                 f"the catalogue expects {total}.")
            # Whatever has arrived, so that progress keeps moving on a slow line.
            read = getattr(response, "read1", response.read)
            digest = hashlib.sha256()
            done = 0
            last_emit = 0.0
            emit("model.progress", {"key": model.key, "downloaded": 0, "total": total, "fraction": 0.0})
            with open(partial, "wb") as out:
                while True:
                    try:
                        chunk = read(CHUNK)
                    except (OSError, ValueError) as exc:
                        if job.cancelled:
                            raise _Cancelled()
                        raise ModelError(f"The download of '{model.key}' broke off: {exc}")
                    if job.cancelled:
                        raise _Cancelled()
                    if not chunk:
                        break
                    done += len(chunk)
                    if done > total:
                        raise ModelError(f"Size mismatch for '{model.key}': the server sends more than the "
                                         f"{total} bytes the catalogue expects.")
                    out.write(chunk)
                    digest.update(chunk)
                    now = time.monotonic()
                    if now - last_emit >= PROGRESS_INTERVAL or done == total:
                        last_emit = now
                        emit("model.progress", {"key": model.key, "downloaded": done, "total": total,
                                                "fraction": done / total})
                out.flush()
                os.fsync(out.fileno())
        if done != total:
            raise ModelError(f"Size mismatch for '{model.key}': received {done} of {total} bytes.")
        if model.sha256 and digest.hexdigest() != model.sha256:
            raise ModelError(f"Checksum mismatch for '{model.key}': the file is not the one the catalogue names.")


class _Cancelled(Exception):
    pass


def _abort(response) -> None:
    """Unblocks a thread reading the response by shutting its socket down."""
    if response is None:
        return
    try:
        sock = response.fp.raw._sock
        sock.shutdown(socket.SHUT_RDWR)
    except (AttributeError, OSError):
        pass
