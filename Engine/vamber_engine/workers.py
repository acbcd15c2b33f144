"""Threads the engine runs work on: bounded pools for threaded methods and one serial lane for
work that must happen in order (the saved queue)."""

from __future__ import annotations

import queue
import threading
from concurrent.futures import ThreadPoolExecutor
from typing import Callable

from . import logs

logger = logs.get(__name__)


class Pools:
    """Named bounded pools, made on first use. A pool's queue is unbounded, its threads are not."""

    def __init__(self, sizes: dict[str, int]):
        self._sizes = dict(sizes)
        self._pools: dict[str, ThreadPoolExecutor] = {}
        self._lock = threading.Lock()

    def submit(self, name: str, func: Callable[[], None]) -> None:
        with self._lock:
            pool = self._pools.get(name)
            if pool is None:
                size = self._sizes.get(name)
                if size is None:
                    raise KeyError(f"no thread pool named '{name}'")
                pool = ThreadPoolExecutor(max_workers=size, thread_name_prefix=f"pool-{name}")
                self._pools[name] = pool
        pool.submit(logs.carry(func))


class SerialLane:
    """One thread that runs what it is given in order; it starts on first use and stays."""

    def __init__(self, name: str):
        self._name = name
        self._queue: queue.Queue = queue.Queue()
        self._thread: threading.Thread | None = None
        self._lock = threading.Lock()
        self._idle = threading.Condition(self._lock)
        self._pending = 0

    def submit(self, func: Callable[[], None]) -> None:
        with self._lock:
            self._pending += 1
            if self._thread is None:
                self._thread = threading.Thread(target=self._loop, name=self._name, daemon=True)
                self._thread.start()
        self._queue.put(logs.carry(func))

    def drain(self, timeout: float) -> bool:
        """Waits until everything submitted so far has run; False when the time ran out."""
        with self._idle:
            return self._idle.wait_for(lambda: self._pending == 0, timeout)

    def _loop(self):
        while True:
            func = self._queue.get()
            try:
                func()
            except Exception:  # one failed task must not stop the ones after it
                logger.error(f"{self._name}: a task failed", exc_info=True)
            finally:
                with self._idle:
                    self._pending -= 1
                    self._idle.notify_all()
