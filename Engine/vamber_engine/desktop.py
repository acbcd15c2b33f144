"""Desktop services for files: the freedesktop trash and showing a file in the file manager."""

from __future__ import annotations

import datetime
import errno
import os
import shutil
import subprocess
from pathlib import Path
from typing import Optional
from urllib.parse import quote


class TrashError(Exception):
    pass


def _data_home() -> Path:
    value = os.environ.get("XDG_DATA_HOME", "")
    if value and os.path.isabs(value):
        return Path(value)
    return Path.home() / ".local" / "share"


def home_trash() -> Path:
    return _data_home() / "Trash"


def _mount_point(path: Path) -> Path:
    path = path.resolve()
    while not os.path.ismount(path) and path.parent != path:
        path = path.parent
    return path


def _topdir_trash(path: Path) -> Optional[tuple[Path, Path]]:
    """($topdir/.Trash-$uid, $topdir) for a file on another file system than the home trash."""
    top = _mount_point(path)
    trash = top / (f".Trash-{os.getuid()}")
    try:
        (trash / "files").mkdir(parents=True, exist_ok=True, mode=0o700)
        (trash / "info").mkdir(parents=True, exist_ok=True, mode=0o700)
    except OSError:
        return None
    return trash, top


def _same_device(a: Path, b: Path) -> bool:
    try:
        return os.stat(a).st_dev == os.stat(b).st_dev
    except OSError:
        return False


def move_to_trash(path: str | Path) -> Path:
    """Moves a file or folder to the trash with its .trashinfo; returns its place in the trash."""
    src = Path(os.path.abspath(path))
    if not src.exists() and not src.is_symlink():
        raise TrashError(f"{src} is not there any more.")
    trash = home_trash()
    relative_to: Optional[Path] = None
    try:
        (trash / "files").mkdir(parents=True, exist_ok=True, mode=0o700)
        (trash / "info").mkdir(parents=True, exist_ok=True, mode=0o700)
    except OSError as err:
        raise TrashError(f"The trash folder {trash} cannot be made: {err.strerror}.") from err
    if not _same_device(src.parent, trash / "files"):
        other = _topdir_trash(src.parent)
        if other is not None:
            trash, relative_to = other
    # The info file is made first and exclusively: it reserves the name in the trash.
    stem, suffix = src.name, ""
    if src.is_file() and "." in src.name[1:]:
        dot = src.name.rfind(".")
        stem, suffix = src.name[:dot], src.name[dot:]
    original = str(src.relative_to(relative_to)) if relative_to and src.is_relative_to(relative_to) else str(src)
    stamp = datetime.datetime.now().strftime("%Y-%m-%dT%H:%M:%S")
    body = f"[Trash Info]\nPath={quote(original, safe='/')}\nDeletionDate={stamp}\n"
    for n in range(1, 10000):
        name = src.name if n == 1 else f"{stem}.{n}{suffix}"
        info = trash / "info" / (name + ".trashinfo")
        try:
            fd = os.open(info, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600)
        except FileExistsError:
            continue
        except OSError as err:
            raise TrashError(f"The trash at {trash} cannot be written: {err.strerror}.") from err
        with os.fdopen(fd, "w", encoding="utf-8") as f:
            f.write(body)
        dest = trash / "files" / name
        if dest.exists():
            os.unlink(info)
            continue
        try:
            os.rename(src, dest)
        except OSError as err:
            if err.errno != errno.EXDEV:
                os.unlink(info)
                raise TrashError(f"{src} cannot be moved to the trash: {err.strerror}.") from err
            try:
                shutil.move(str(src), str(dest))
            except OSError as err2:
                os.unlink(info)
                raise TrashError(f"{src} cannot be moved to the trash: {err2.strerror}.") from err2
        return dest
    raise TrashError(f"The trash holds too many files named {src.name}.")


def reveal(path: str | Path) -> str:
    """Shows the file selected in the file manager (org.freedesktop.FileManager1), else opens its
    folder. Returns how it was done: "dbus" or "open"."""
    target = Path(os.path.abspath(path))
    uri = target.as_uri()
    gdbus = shutil.which("gdbus")
    if gdbus:
        cmd = [gdbus, "call", "--session", "--dest", "org.freedesktop.FileManager1",
               "--object-path", "/org/freedesktop/FileManager1",
               "--method", "org.freedesktop.FileManager1.ShowItems", "['" + uri.replace("'", "%27") + "']", ""]
        if _run_quietly(cmd):
            return "dbus"
    else:
        send = shutil.which("dbus-send")
        if send:
            cmd = [send, "--session", "--print-reply", "--dest=org.freedesktop.FileManager1",
                   "/org/freedesktop/FileManager1", "org.freedesktop.FileManager1.ShowItems",
                   f"array:string:{uri}", "string:"]
            if _run_quietly(cmd):
                return "dbus"
    opener = shutil.which("xdg-open")
    if not opener:
        raise OSError(f"No file manager could be asked to show {target} (neither D-Bus nor xdg-open is available).")
    folder = target if target.is_dir() else target.parent
    try:
        subprocess.Popen([opener, str(folder)], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL, start_new_session=True)
    except OSError as err:
        raise OSError(f"The folder {folder} could not be opened: {err.strerror}.") from err
    return "open"


def _run_quietly(cmd: list[str]) -> bool:
    try:
        return subprocess.run(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=5).returncode == 0
    except (OSError, subprocess.TimeoutExpired):
        return False
