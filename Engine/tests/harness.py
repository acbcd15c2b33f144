"""Runs server.py as a child process and speaks the line protocol with it."""
import json
import os
import queue
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest

ENGINE_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SERVER = os.path.join(ENGINE_DIR, "server.py")
TIMEOUT = 10.0


def strict_loads(text):
    def reject(name):
        raise ValueError(f"non-finite number {name}")

    return json.loads(text, parse_constant=reject)


class EngineProcess:
    """One engine child. Every stdout line is checked to be strict JSON unless raw=True."""

    def __init__(self, support_dir, test_mode=False, extra_env=None, home=None):
        env = dict(os.environ)
        env.pop("VAMBER_ENGINE_TEST", None)
        env.pop("VAMBER_ENGINE_TEST_LOG", None)
        env["VAMBER_SUPPORT_DIR"] = support_dir
        env["PYTHONDONTWRITEBYTECODE"] = "1"
        env["PYTHONUNBUFFERED"] = "1"
        if home:
            env["HOME"] = home
            env["XDG_CONFIG_HOME"] = os.path.join(home, ".config")
        if test_mode:
            env["VAMBER_ENGINE_TEST"] = "1"
        env.update(extra_env or {})
        self.proc = subprocess.Popen([sys.executable, SERVER], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, env=env)
        self.lines = queue.Queue()
        self.raw_lines = []
        self.stderr = b""
        self._next_id = 1
        self._replies = {}
        self._events = []
        self._out_thread = threading.Thread(target=self._read_out, daemon=True)
        self._err_thread = threading.Thread(target=self._read_err, daemon=True)
        self._out_thread.start()
        self._err_thread.start()

    def _read_out(self):
        for raw in self.proc.stdout:
            self.raw_lines.append(raw)
            self.lines.put(raw)
        self.lines.put(None)

    def _read_err(self):
        for chunk in iter(lambda: self.proc.stderr.read1(65536), b""):
            self.stderr += chunk

    def send_line(self, data):
        if isinstance(data, str):
            data = data.encode("utf-8")
        self.proc.stdin.write(data + b"\n")
        self.proc.stdin.flush()

    def send(self, method, params=None, req_id=None):
        if req_id is None:
            req_id = self._next_id
            self._next_id += 1
        msg = {"id": req_id, "method": method}
        if params is not None:
            msg["params"] = params
        self.send_line(json.dumps(msg))
        return req_id

    def next_message(self, timeout=TIMEOUT):
        """The next stdout line decoded; None at end of output."""
        raw = self.lines.get(timeout=timeout)
        if raw is None:
            self.lines.put(None)
            return None
        return strict_loads(raw.decode("utf-8"))

    def wait_reply(self, req_id, timeout=TIMEOUT):
        deadline = time.monotonic() + timeout
        while req_id not in self._replies:
            msg = self.next_message(max(0.01, deadline - time.monotonic()))
            if msg is None:
                raise AssertionError(f"engine ended before replying to {req_id}; stderr: {self.stderr!r}")
            if "event" in msg:
                self._events.append(msg)
            else:
                self._replies[msg.get("id")] = msg
        return self._replies.pop(req_id)

    def call(self, method, params=None, timeout=TIMEOUT):
        return self.wait_reply(self.send(method, params), timeout)

    def result(self, method, params=None):
        reply = self.call(method, params)
        if "error" in reply:
            raise AssertionError(f"{method} failed: {reply['error']}")
        return reply["result"]

    def wait_event(self, name, timeout=TIMEOUT):
        deadline = time.monotonic() + timeout
        while True:
            for i, ev in enumerate(self._events):
                if ev["event"] == name:
                    return self._events.pop(i)
            msg = self.next_message(max(0.01, deadline - time.monotonic()))
            if msg is None:
                raise AssertionError(f"engine ended before event {name}")
            if "event" in msg:
                self._events.append(msg)
            else:
                self._replies[msg.get("id")] = msg

    def close_input(self):
        try:
            self.proc.stdin.close()
        except BrokenPipeError:
            pass

    def wait_exit(self, timeout=TIMEOUT):
        status = self.proc.wait(timeout)
        self._out_thread.join(timeout)
        self._err_thread.join(timeout)
        return status

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
        try:
            self.wait_exit()
        finally:
            for f in (self.proc.stdin, self.proc.stdout, self.proc.stderr):
                try:
                    f.close()
                except OSError:
                    pass


class EngineTestCase(unittest.TestCase):
    """Gives each test a fresh support folder and home, and kills what it started."""

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="vamber-engine-test-")
        self.support = os.path.join(self.tmp, "support")
        self.home = os.path.join(self.tmp, "home")
        os.makedirs(self.home)
        self._engines = []

    def tearDown(self):
        for engine in self._engines:
            engine.kill()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def start(self, test_mode=False, extra_env=None, wait_ready=True):
        engine = EngineProcess(self.support, test_mode=test_mode, extra_env=extra_env, home=self.home)
        self._engines.append(engine)
        if wait_ready:
            ready = engine.next_message()
            self.assertEqual(ready["event"], "ready", ready)
        return engine
