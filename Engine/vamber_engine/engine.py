"""The engine: reads requests, dispatches them to the registered methods, writes replies."""
from __future__ import annotations

import os
import sys
import threading
from typing import Any, BinaryIO, Callable

from . import ENGINE_VERSION, jsonio, logs
from .context import Context
from .errors import INTERNAL_ERROR, INVALID_PARAMS, INVALID_REQUEST, METHOD_NOT_FOUND, PARSE_ERROR, EngineError
from .output import Output
from .params import Params
from .registry import METHODS, NO_REPLY, POOL_SIZES, load_methods
from .settings import SettingsStore
from .support import SupportBusy, SupportDir, default_support_dir
from .workers import Pools

logger = logs.get(__name__)

EXIT_SUPPORT_BUSY = 2
EOF_GRACE_SECONDS = 1.0


class Engine:
    def __init__(self, support, output=None, test_mode=False, argv=None):
        self.support = support
        self.output = output or Output()
        self.test_mode = test_mode
        self.settings = SettingsStore(support)
        self.methods = load_methods()
        self._shared = {}
        self._shared_locks = {}
        self._shared_lock = threading.Lock()
        self._hooks = []
        self._hooks_lock = threading.Lock()
        self.pools = Pools(POOL_SIZES)
        self.output.on_closed = self._output_closed
        self._exiting = threading.Lock()
        self._inflight = 0
        self._inflight_cv = threading.Condition()
        self.testctl = None
        if test_mode:
            from .testctl import TestControls

            self.testctl = TestControls(self, argv or sys.argv)

    # ---- services for handlers -------------------------------------------------------------

    def shared(self, name: str, factory: Callable[[], Any]) -> Any:
        # The factory runs under its own name's lock only, so it may use other shared objects.
        with self._shared_lock:
            if name in self._shared:
                return self._shared[name]
            name_lock = self._shared_locks.setdefault(name, threading.Lock())
        with name_lock:
            with self._shared_lock:
                if name in self._shared:
                    return self._shared[name]
            made = factory()
            with self._shared_lock:
                self._shared[name] = made
            return made

    def checkpoint(self, name: str) -> None:
        """A place where a test may hold the engine ("test.gate"); nothing outside test mode."""
        if self.testctl:
            self.testctl.wait_gate(name)

    def on_shutdown(self, func: Callable[[], Any]) -> None:
        with self._hooks_lock:
            self._hooks.append(func)

    def public_methods(self) -> list[str]:
        return sorted(name for name in self.methods if not name.startswith("test."))

    # ---- the loop ----------------------------------------------------------------------------

    def run(self, stream: BinaryIO | None = None) -> None:
        stream = stream if stream is not None else sys.stdin.buffer
        self.output.event("ready", {"engineVersion": ENGINE_VERSION})
        while True:
            raw = stream.readline()
            if not raw:
                break
            self.handle_line(raw)
        self.end_of_input()

    def handle_line(self, raw: bytes) -> None:
        if raw.endswith(b"\n"):
            raw = raw[:-1]
        if self.testctl:
            self.testctl.log_request(raw)
        if not raw.strip():
            return
        try:
            request = jsonio.loads(raw.decode("utf-8"))
        except (UnicodeDecodeError, ValueError) as exc:
            logger.warning(f"unreadable request line: {exc}")
            self.output.error(None, {"code": PARSE_ERROR, "message": "The request is not valid JSON."})
            return
        if not isinstance(request, dict):
            self.output.error(None, {"code": INVALID_REQUEST, "message": "A request must be a JSON object."})
            return
        req_id = request.get("id")
        if isinstance(req_id, bool) or not isinstance(req_id, int):
            self.output.error(None, {"code": INVALID_REQUEST, "message": "A request needs an integer \"id\"."})
            return
        method = request.get("method")
        if not isinstance(method, str):
            self.output.error(req_id, {"code": INVALID_REQUEST, "message": "A request needs a string \"method\".",
                                       "detail": "method"})
            return
        params = request.get("params")
        if params is None:
            params = {}
        if not isinstance(params, dict):
            self.output.error(req_id, {"code": INVALID_PARAMS, "message": "\"params\" must be an object.",
                                       "detail": "params"})
            return
        if self.testctl and self.testctl.intercept(req_id, method, params):
            return
        self.dispatch(req_id, method, params)

    def dispatch(self, req_id: int, method: str, params: dict) -> None:
        entry = self.methods.get(method)
        if entry is None and self.testctl:
            entry = self.testctl.methods.get(method)
        if entry is None:
            self.output.error(req_id, {"code": METHOD_NOT_FOUND, "message": f"Unknown method '{method}'.",
                                       "detail": method})
            return
        if entry.threaded:
            with self._inflight_cv:
                self._inflight += 1
            self.pools.submit(entry.pool, lambda: self._invoke_counted(entry, req_id, params))
        else:
            self._invoke(entry, req_id, params)

    def _invoke_counted(self, entry, req_id, params):
        try:
            self._invoke(entry, req_id, params)
        finally:
            with self._inflight_cv:
                self._inflight -= 1
                self._inflight_cv.notify_all()

    def _invoke(self, entry, req_id, params):
        ctx = Context(self, req_id, entry.name)
        logs.in_method(entry.name, lambda: self.answer(req_id, entry.name, lambda: entry.handler(ctx, Params(params))))

    def answer(self, req_id: int, method: str, func: Callable[[], Any]) -> None:
        """Runs func and answers request req_id with what it returns or raises (NO_REPLY: nothing)."""
        try:
            result = func()
        except EngineError as err:
            self.output.error(req_id, err.to_json())
            return
        except Exception as exc:  # a fault in one handler must never take the engine down
            logger.error(f"{method} failed", exc_info=True)
            self.output.error(req_id, {"code": INTERNAL_ERROR, "message": f"Internal error in {method}: {exc}",
                                       "detail": type(exc).__name__})
            return
        if result is not NO_REPLY:
            self.output.reply(req_id, result)

    # ---- ending --------------------------------------------------------------------------------

    def shutdown_mode(self) -> str:
        return self.testctl.shutdown_mode if self.testctl else "normal"

    def shutdown_requested(self, req_id: int) -> None:
        mode = self.shutdown_mode()
        if mode == "silent":
            return
        self.output.reply(req_id, {})
        if mode == "normal":
            self.exit(0)

    def end_of_input(self) -> None:
        if self.shutdown_mode() != "normal":
            threading.Event().wait()  # stays until killed
        # Short requests still running get a moment to answer; long jobs are left to the hooks.
        with self._inflight_cv:
            self._inflight_cv.wait_for(lambda: self._inflight == 0, timeout=EOF_GRACE_SECONDS)
        self.exit(0)

    def _output_closed(self):
        # The application stopped reading: end as "shutdown" does (hooks keep partial files resumable
        # and let saves land), on a thread of its own, so the hooks may wait for the thread that
        # met the closed pipe.
        logger.info("the application stopped reading; ending")
        threading.Thread(target=self.exit, args=(0,), name="exit", daemon=True).start()

    def exit(self, status: int) -> None:
        if not self._exiting.acquire(blocking=False):
            threading.Event().wait()  # another thread is already ending the process
        for hook in list(self._hooks):
            try:
                hook()
            except Exception:
                logger.error("shutdown hook failed", exc_info=True)
        with self.output.lock:
            self.output.flush()
            try:
                sys.stderr.flush()
            except (OSError, ValueError):
                pass
            os._exit(status)


def main(argv: list[str]) -> int:
    test_mode = os.environ.get("VAMBER_ENGINE_TEST") == "1"
    if test_mode:
        from .testctl import write_startup_log

        write_startup_log(argv)
    support = SupportDir(default_support_dir())
    try:
        support.acquire()
    except SupportBusy:
        logger.error(f"another engine is using the support folder {support.path}")
        return EXIT_SUPPORT_BUSY
    except OSError as exc:
        logger.error(f"cannot use the support folder {support.path}: {exc}")
        return 1
    engine = Engine(support, test_mode=test_mode, argv=argv)
    engine.run()
    return 0
