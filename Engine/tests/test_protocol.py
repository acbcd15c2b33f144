"""The line protocol as the application sees it: a child process on pipes."""
import io
import math
import os
import tempfile
import unittest

from tests.harness import EngineTestCase, strict_loads
from vamber_engine import jsonio
from vamber_engine.engine import Engine
from vamber_engine.errors import EngineError
from vamber_engine.output import Output
from vamber_engine.registry import METHODS, method
from vamber_engine.support import SupportDir


class ProtocolTest(EngineTestCase):
    def test_ready_then_hello_holds_every_key(self):
        engine = self.start(wait_ready=False)
        ready = engine.next_message()
        self.assertEqual(ready["event"], "ready")
        self.assertIsInstance(ready["params"]["engineVersion"], str)
        hello = engine.result("hello")
        for key, kind in [("engineVersion", str), ("enginePath", str), ("python", str), ("methods", list),
                          ("capabilities", dict), ("ffmpegDir", str), ("mediaExtensions", list),
                          ("downloadWorkers", int)]:
            self.assertIsInstance(hello[key], kind, key)
        for key in ("qualities", "containers", "videoCodecs", "cookieSources", "allQualities", "allContainers",
                    "allVideoCodecs"):
            self.assertTrue(all(isinstance(v, str) for v in hello["capabilities"][key]), key)
        self.assertIn("hello", hello["methods"])
        self.assertFalse([m for m in hello["methods"] if m.startswith("test.")])
        for ext in hello["mediaExtensions"]:
            self.assertTrue(ext.startswith(".") and ext == ext.lower(), ext)
        self.assertEqual(hello["capabilities"]["allQualities"][0], "8K")

    def test_bad_requests_get_errors_and_the_engine_goes_on(self):
        engine = self.start()
        cases = [
            ("not json", b"{nope", None, -32700),
            ("nan literal", b'{"id":5,"method":"hello","params":{"x":NaN}}', None, -32700),
            ("array", b"[1,2]", None, -32600),
            ("no id", b'{"method":"hello"}', None, -32600),
            ("bool id", b'{"id":true,"method":"hello"}', None, -32600),
            ("no method", b'{"id":7}', 7, -32600),
            ("params array", b'{"id":8,"method":"hello","params":[1]}', 8, -32602),
            ("unknown method", b'{"id":9,"method":"no.such"}', 9, -32601),
            ("test method outside test mode", b'{"id":10,"method":"test.log"}', 10, -32601),
            ("invalid utf-8", b'{"id":11,"method":"\xff"}', None, -32700),
        ]
        for label, line, reply_id, code in cases:
            with self.subTest(label):
                engine.send_line(line)
                msg = engine.next_message()
                self.assertEqual(msg.get("id"), reply_id)
                self.assertEqual(msg["error"]["code"], code)
                self.assertIsInstance(msg["error"]["message"], str)
        engine.send_line(b"")  # blank lines are skipped without a reply
        self.assertIn("engineVersion", engine.result("hello"))

    def test_replies_carry_the_request_id(self):
        engine = self.start()
        ids = [engine.send("hello", req_id=n) for n in (41, 7, 1000000000000)]
        for n in ids:
            self.assertIn("result", engine.wait_reply(n))

    def test_end_of_input_exits_zero(self):
        engine = self.start()
        engine.close_input()
        self.assertEqual(engine.wait_exit(), 0)

    def test_end_of_input_lets_short_requests_answer_but_not_long_ones(self):
        import time
        engine = self.start(test_mode=True)
        short = engine.send("test.sleep", {"ms": 200})
        engine.close_input()
        self.assertEqual(engine.wait_reply(short), {"id": short, "result": {}})
        self.assertEqual(engine.wait_exit(), 0)

        engine = self.start(test_mode=True)
        engine.send("test.sleep", {"ms": 20000})
        start = time.monotonic()
        engine.close_input()
        self.assertEqual(engine.wait_exit(), 0)
        self.assertLess(time.monotonic() - start, 5)
        self.assertIsNone(engine.next_message())

    def test_shutdown_replies_then_exits_zero(self):
        engine = self.start()
        req = engine.send("shutdown")
        reply = engine.wait_reply(req)
        self.assertEqual(reply, {"id": req, "result": {}})
        self.assertEqual(engine.wait_exit(), 0)
        self.assertIsNone(engine.next_message())

    def test_every_line_is_strict_json(self):
        engine = self.start()
        engine.result("hello")
        engine.call("no.such")
        engine.send("shutdown")
        engine.wait_exit()
        self.assertTrue(engine.raw_lines)
        for raw in engine.raw_lines:
            self.assertTrue(raw.endswith(b"\n"))
            self.assertNotIn(b"\n", raw[:-1])
            strict_loads(raw.decode("utf-8"))


class InProcessTest(unittest.TestCase):
    """Handler faults, threads and encoding, with an engine in this process writing to a buffer."""

    @classmethod
    def setUpClass(cls):
        @method("zz.fault")
        def fault(ctx, params):
            raise RuntimeError("boom")

        @method("zz.nan")
        def nan(ctx, params):
            return {"speed": float("nan")}

        @method("zz.fail")
        def fail(ctx, params):
            raise EngineError(1003, "nope", "why")

        @method("zz.echo")
        def echo(ctx, params):
            return {"url": params.str("url"), "n": params.int("n", 0)}

    @classmethod
    def tearDownClass(cls):
        for name in ("zz.fault", "zz.nan", "zz.fail", "zz.echo"):
            METHODS.pop(name, None)

    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self._home = os.environ.get("HOME")
        os.environ["HOME"] = self.tmp.name
        self.buf = io.BytesIO()
        self.engine = Engine(SupportDir(self.tmp.name), Output(self.buf))

    def tearDown(self):
        os.environ["HOME"] = self._home
        self.tmp.cleanup()

    def lines(self):
        return [strict_loads(line) for line in self.buf.getvalue().decode("utf-8").splitlines()]

    def test_handler_failures_become_error_replies(self):
        cases = [
            ("zz.fault", {}, -32603, "boom"),
            ("zz.nan", {}, -32603, "invalid reply"),
            ("zz.fail", {}, 1003, "nope"),
            ("zz.echo", {}, -32602, "'url'"),
            ("zz.echo", {"url": 3}, -32602, "'url'"),
            ("zz.echo", {"url": "x", "n": 1.5}, -32602, "'n'"),
        ]
        for i, (name, params, code, text) in enumerate(cases):
            with self.subTest(name=name, params=params):
                self.buf.seek(0)
                self.buf.truncate()
                self.engine.handle_line(jsonio.dumps_line({"id": i, "method": name, "params": params}))
                (reply,) = self.lines()
                self.assertEqual(reply["id"], i)
                self.assertEqual(reply["error"]["code"], code)
                self.assertIn(text, reply["error"]["message"])
        self.engine.handle_line(b'{"id":99,"method":"zz.echo","params":{"url":"u","n":2.0}}')
        self.assertEqual(self.lines()[-1], {"id": 99, "result": {"url": "u", "n": 2}})

    def test_non_finite_event_is_dropped_not_written(self):
        self.assertFalse(self.engine.output.event("job.progress", {"eta": math.inf}))
        self.assertEqual(self.buf.getvalue(), b"")
        self.assertTrue(self.engine.output.event("job.progress", {"eta": jsonio.finite(math.inf)}))
        self.assertEqual(self.lines(), [{"event": "job.progress", "params": {"eta": 0.0}}])

    def test_undecodable_file_names_still_give_valid_json(self):
        name = b"caf\xe9.mp4".decode("utf-8", "surrogateescape")
        line = jsonio.dumps_line({"path": name})
        self.assertEqual(strict_loads(line.decode("utf-8"))["path"], "caf\udce9.mp4")



class BrokenModuleTest(unittest.TestCase):
    def test_a_method_module_that_fails_to_load_leaves_the_others_working(self):
        import io
        import sys
        from contextlib import redirect_stderr

        from vamber_engine.registry import load_methods

        tmp = tempfile.TemporaryDirectory()
        self.addCleanup(tmp.cleanup)
        package = os.path.join(tmp.name, "zz_methods")
        os.makedirs(package)
        files = {"__init__.py": "", "a_broken.py": "raise RuntimeError('broken on purpose')\n",
                 "b_fine.py": "from vamber_engine.registry import method\n"
                              "@method('zz.fine')\ndef fine(ctx, params):\n    return {}\n"}
        for name, text in files.items():
            with open(os.path.join(package, name), "w") as f:
                f.write(text)
        sys.path.insert(0, tmp.name)
        self.addCleanup(sys.path.remove, tmp.name)
        self.addCleanup(METHODS.pop, "zz.fine", None)
        err = io.StringIO()
        with redirect_stderr(err):
            table = load_methods("zz_methods")
        self.assertIn("zz.fine", table)  # loaded after the broken one
        self.assertIn("a_broken", err.getvalue())
        self.assertIn("broken on purpose", err.getvalue())

if __name__ == "__main__":
    unittest.main()
