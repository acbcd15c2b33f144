"""The support folder: where everything the engine persists lives, guarded by a lock."""
from __future__ import annotations

import fcntl
import json
import os
import shutil
import tempfile
import threading
import time
from typing import Any, Callable

from . import jsonio, logs

logger = logs.get(__name__)

LOCK_NAME = "engine.lock"


def default_support_dir() -> str:
    configured = os.environ.get("VAMBER_SUPPORT_DIR", "")
    if configured:
        return os.path.abspath(os.path.expanduser(configured))
    data_home = os.environ.get("XDG_DATA_HOME", "")
    if not data_home or not os.path.isabs(data_home):
        data_home = os.path.join(os.path.expanduser("~"), ".local", "share")
    return os.path.join(data_home, "vamber")


class SupportBusy(Exception):
    """Another engine holds the lock on this support folder."""


class SupportDir:
    def __init__(self, path):
        self.path = path
        self._lock_fd = None

    def file(self, *names: str) -> str:
        return os.path.join(self.path, *names)

    def subdir(self, *names: str) -> str:
        """A folder inside the support folder, created on first use."""
        path = os.path.join(self.path, *names)
        os.makedirs(path, mode=0o700, exist_ok=True)
        return path

    def acquire(self) -> None:
        """Creates the folder and takes its lock; raises SupportBusy when another engine holds it."""
        os.makedirs(self.path, mode=0o700, exist_ok=True)
        fd = os.open(self.file(LOCK_NAME), os.O_RDWR | os.O_CREAT | os.O_CLOEXEC, 0o600)
        try:
            fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            os.close(fd)
            raise SupportBusy(self.path)
        os.ftruncate(fd, 0)
        os.write(fd, f"{os.getpid()}\n".encode())
        self._lock_fd = fd

    def release(self) -> None:
        if self._lock_fd is not None:
            os.close(self._lock_fd)
            self._lock_fd = None


_write_lock = threading.Lock()


def atomic_write_bytes(path: str | os.PathLike, data: bytes) -> None:
    """Writes a whole file or nothing: a temporary file in the same folder, fsync, rename."""
    folder = os.path.dirname(os.path.abspath(path))
    os.makedirs(folder, exist_ok=True)
    fd, tmp = tempfile.mkstemp(prefix="." + os.path.basename(path) + ".", suffix=".tmp", dir=folder)
    try:
        with os.fdopen(fd, "wb") as f:
            f.write(data)
            f.flush()
            os.fsync(f.fileno())
        os.replace(tmp, path)
    except BaseException:
        try:
            os.unlink(tmp)
        except OSError:
            pass
        raise
    try:
        dir_fd = os.open(folder, os.O_RDONLY | os.O_DIRECTORY)
        try:
            os.fsync(dir_fd)
        finally:
            os.close(dir_fd)
    except OSError:
        pass


def atomic_write_json(path: str | os.PathLike, obj: Any) -> None:
    text = json.dumps(obj, allow_nan=False, ensure_ascii=False, indent=1, sort_keys=False)
    with _write_lock:
        atomic_write_bytes(path, (text + "\n").encode("utf-8"))


def save_json(path: str | os.PathLike, obj: Any, what: str) -> None:
    """atomic_write_json for a handler: a failed write becomes an error reply that says what was lost."""
    from .errors import UNAVAILABLE, EngineError

    try:
        atomic_write_json(path, obj)
    except OSError as exc:
        logger.error(f"cannot write {path}: {exc}")
        raise EngineError(UNAVAILABLE, f"{what} could not be saved: {exc.strerror or exc}", detail=path)


# Stored files found damaged and put aside since the engine started, in the order met: the application
# is told of them ("hello"), so nothing the user kept disappears without a word.
_aside_lock = threading.Lock()
_aside: list[dict] = []


def _aside_name(path: str) -> str:
    stamp = time.strftime("%Y%m%dT%H%M%S", time.gmtime())
    target = f"{path}.corrupt-{stamp}"
    n = 1
    while os.path.lexists(target):
        n += 1
        target = f"{path}.corrupt-{stamp}-{n}"
    return target


def _remember_aside(path: str, target: str) -> None:
    with _aside_lock:
        _aside.append({"file": os.path.abspath(path), "savedAs": os.path.abspath(target)})


def set_aside_in(folder: str) -> list[dict]:
    """The files of `folder` put aside so far, each {"file", "savedAs"}, oldest first."""
    root = os.path.join(os.path.abspath(folder), "")
    with _aside_lock:
        return [dict(entry) for entry in _aside if entry["file"].startswith(root)]


def move_aside(path: str, why: Any, companions: tuple[str, ...] = ()) -> str:
    """Keeps an unreadable file for inspection under a new name instead of losing it. `companions` are
    suffixes of files that belong to it (a database's journal) and move with it."""
    target = _aside_name(path)
    try:
        os.replace(path, target)
        logger.warning(f"{os.path.basename(path)} is unreadable ({why}); moved aside to {os.path.basename(target)}")
    except OSError as exc:
        logger.error(f"{os.path.basename(path)} is unreadable ({why}) and could not be moved aside: {exc}")
        return target
    _remember_aside(path, target)
    for suffix in companions:
        if os.path.lexists(path + suffix):
            try:
                os.replace(path + suffix, target + suffix)
            except OSError as exc:
                logger.error(f"{os.path.basename(path + suffix)} could not be moved aside: {exc}")
    return target


def copy_aside(path: str, why: Any) -> str | None:
    """Keeps a copy of a partly unreadable file before the readable part is written back over it."""
    target = _aside_name(path)
    try:
        shutil.copy2(path, target)
    except OSError as exc:
        logger.error(f"{os.path.basename(path)} is partly unreadable ({why}) and could not be copied aside: {exc}")
        return None
    logger.warning(f"{os.path.basename(path)} is partly unreadable ({why}); a copy is kept as {os.path.basename(target)}")
    _remember_aside(path, target)
    return target


def read_json_file(path: str, default: Any, validate: Callable[[Any], Any] | None = None) -> Any:
    """The file's JSON value, or default when it does not exist.

    A file that is not valid JSON, or that validate() rejects (by returning False or raising
    ValueError/TypeError/KeyError), is moved aside and default is returned.
    """
    try:
        with open(path, "rb") as f:
            data = f.read()
    except FileNotFoundError:
        return default
    except OSError as exc:
        logger.error(f"cannot read {path}: {exc}")
        return default
    try:
        value = jsonio.loads(data.decode("utf-8"))
        if validate is not None and validate(value) is False:
            raise ValueError("unexpected content")
    except (ValueError, TypeError, KeyError) as exc:
        move_aside(path, exc)
        return default
    return value
