"""Controls for the application's tests of its engine link; present only with VAMBER_ENGINE_TEST=1."""
from __future__ import annotations

import base64
import binascii
import collections
import json
import os
import signal
import sys
import threading
import time

from .errors import params_error
from .registry import NO_REPLY, MethodEntry

_log_lock = threading.Lock()


def _append_log(entry):
    path = os.environ.get("VAMBER_ENGINE_TEST_LOG", "")
    if not path:
        return
    line = json.dumps(entry, ensure_ascii=False) + "\n"
    with _log_lock:
        with open(path, "a", encoding="utf-8", errors="replace") as f:
            f.write(line)
            f.flush()


def write_startup_log(argv: list[str]) -> None:
    _append_log({"argv": list(argv), "executable": sys.executable, "env": dict(os.environ),
                 "cwd": os.getcwd(), "pid": os.getpid()})


def _b64(params, key):
    text = params.str(key)
    try:
        return base64.b64decode(text, validate=True)
    except (binascii.Error, ValueError):
        raise params_error(key, "must be base64")


class TestControls:
    def __init__(self, engine, argv):
        self.engine = engine
        self.argv = list(argv)
        self.shutdown_mode = "normal"
        # "test.exit" with signal 2 must end the process by that signal, not raise KeyboardInterrupt.
        if threading.current_thread() is threading.main_thread():
            signal.signal(signal.SIGINT, signal.SIG_DFL)
        self._lock = threading.RLock()
        self._requests = []
        self._scripts = collections.defaultdict(collections.deque)  # method -> deque of [answer, times]
        self._holds = set()
        self._held = collections.defaultdict(list)  # method -> [(id, params)]
        self._gates = {}  # checkpoint name -> Event, set while open
        self.methods = {name: MethodEntry(name, func, threaded) for name, (func, threaded) in {
            "test.log": (self._log, False),
            "test.script": (self._script, False),
            "test.clear": (self._clear, False),
            "test.hold": (self._hold, False),
            "test.release": (self._release, False),
            "test.raw": (self._raw, False),
            "test.stderr": (self._stderr, False),
            "test.emit": (self._emit, False),
            "test.exit": (self._exit, False),
            "test.shutdown": (self._shutdown, False),
            "test.sleep": (self._sleep, True),
            "test.gate": (self._gate, False),
        }.items()}

    # ---- interception ----------------------------------------------------------------------------

    def log_request(self, raw: bytes) -> None:
        text = raw.decode("utf-8", errors="replace")
        with self._lock:
            self._requests.append(text)
        _append_log({"request": text})

    def intercept(self, req_id: int, method: str, params: dict) -> bool:
        """True when the request was held or answered by a script."""
        if method.startswith("test."):
            return False
        with self._lock:
            if method in self._holds:
                self._held[method].append((req_id, params))
                return True
            answer = self._take_script(method)
        if answer is None:
            return False
        self._answer(req_id, answer)
        return True

    def _take_script(self, method):
        queue = self._scripts.get(method)
        if not queue:
            return None
        entry = queue[0]
        if entry[1] != 0:
            entry[1] -= 1
            if entry[1] == 0:
                queue.popleft()
        return entry[0]

    def _answer(self, req_id, answer):
        kind, value = answer
        if kind == "result":
            self.engine.output.write_obj({"id": req_id, "result": value})
        elif kind == "error":
            self.engine.output.write_obj({"id": req_id, "error": value})
        else:
            reply = dict(value)
            reply["id"] = req_id
            self.engine.output.write_obj(reply)

    # ---- the methods -------------------------------------------------------------------------------

    def _log(self, ctx, params):
        with self._lock:
            requests = list(self._requests)
        return {"argv": self.argv, "executable": sys.executable, "env": dict(os.environ), "requests": requests}

    def _script(self, ctx, params):
        method = params.str("method", allow_empty=False)
        present = [k for k in ("result", "error", "reply") if k in params.data]
        if len(present) != 1:
            raise params_error("result", "exactly one of 'result', 'error' or 'reply' must be given")
        kind = present[0]
        value = params.raw(kind)
        if kind == "error":
            params.obj("error")
        if kind == "reply":
            params.obj("reply")
        times = params.int("times", 1, min=0)
        with self._lock:
            self._scripts[method].append([(kind, value), times])
        return {}

    def _clear(self, ctx, params):
        with self._lock:
            self._scripts.clear()
            self._holds.clear()
            held = [(m, r) for m, reqs in self._held.items() for r in reqs]
            self._held.clear()
            self.shutdown_mode = "normal"
            for gate in self._gates.values():
                gate.set()
        signal.signal(signal.SIGTERM, signal.SIG_DFL)
        for method, (req_id, req_params) in held:
            self.engine.dispatch(req_id, method, req_params)
        return {}

    def _hold(self, ctx, params):
        method = params.str("method", allow_empty=False)
        with self._lock:
            self._holds.add(method)
        return {}

    def _release(self, ctx, params):
        method = params.str("method", allow_empty=False)
        order = params.choice("order", ["fifo", "lifo"], "fifo")
        with self._lock:
            self._holds.discard(method)
            held = self._held.pop(method, [])
        if order == "lifo":
            held.reverse()
        for req_id, req_params in held:
            with self._lock:
                answer = self._take_script(method)
            if answer is not None:
                self._answer(req_id, answer)
            else:
                self.engine.dispatch(req_id, method, req_params)
        return {}

    def _raw(self, ctx, params):
        if "b64" in params.data:
            data = _b64(params, "b64")
        else:
            data = b"".join(line.encode("utf-8", errors="surrogatepass") + b"\n" for line in params.str_list("lines"))
        self.engine.output.write_bytes(data)
        return {}

    def _stderr(self, ctx, params):
        data = _b64(params, "b64")
        sys.stderr.flush()
        sys.stderr.buffer.write(data)
        sys.stderr.buffer.flush()
        return {}

    def _emit(self, ctx, params):
        name = params.str("event")
        obj = {"event": name}
        if "params" in params.data:
            obj["params"] = params.data["params"]
        self.engine.output.write_obj(obj)
        return {}

    def _exit(self, ctx, params):
        has_signal = "signal" in params.data
        sig = params.int("signal", min=1) if has_signal else None
        status = params.int("status", 0) if not has_signal else None
        lines = params.str_list("lines", [])
        after = params.int("afterMs", 0, min=0)
        output = self.engine.output

        def do_exit():
            with output.lock:
                if lines:
                    output.write_bytes(b"".join(line.encode("utf-8") + b"\n" for line in lines))
                output.flush()
                sys.stderr.flush()
                if sig is not None:
                    os.kill(os.getpid(), sig)
                    return  # an ignored signal leaves the engine running
                os._exit(status & 0xFF)

        if after > 0:
            threading.Timer(after / 1000.0, do_exit).start()
        else:
            do_exit()
        return NO_REPLY

    def _shutdown(self, ctx, params):
        mode = params.choice("mode", ["normal", "stay", "silent"], "normal")
        ignore_term = params.bool("ignoreTerm", False)
        with self._lock:
            self.shutdown_mode = mode
        signal.signal(signal.SIGTERM, signal.SIG_IGN if ignore_term else signal.SIG_DFL)
        return {}

    def wait_gate(self, name: str) -> None:
        with self._lock:
            gate = self._gates.get(name)
        if gate is not None:
            gate.wait()

    def _gate(self, ctx, params):
        """Closes or opens a checkpoint of the engine (a closed one holds whoever reaches it)."""
        name = params.str("name", allow_empty=False)
        closed = params.bool("closed")
        with self._lock:
            gate = self._gates.setdefault(name, threading.Event())
            if closed:
                gate.clear()
            else:
                gate.set()
        return {}

    def _sleep(self, ctx, params):
        ms = params.int("ms", min=0)
        time.sleep(ms / 1000.0)
        return {}
