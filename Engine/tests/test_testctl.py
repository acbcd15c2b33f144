"""The test controls the application's engine-link tests drive the engine with."""
import base64
import json
import os
import signal
import time

from tests.harness import EngineTestCase


def b64(data):
    return base64.b64encode(data).decode("ascii")


class ScriptTest(EngineTestCase):
    def setUp(self):
        super().setUp()
        self.engine = self.start(test_mode=True)

    def test_scripts_answer_in_order_then_normal_handling_resumes(self):
        e = self.engine
        e.result("test.script", {"method": "hello", "result": None})
        e.result("test.script", {"method": "hello", "error": {"code": 1001, "message": "stop", "detail": "d"}})
        e.result("test.script", {"method": "hello", "reply": {"id": 999, "result": 3, "extra": True}, "times": 2})
        self.assertEqual(e.call("hello"), {"id": 4, "result": None})
        self.assertEqual(e.call("hello"), {"id": 5, "error": {"code": 1001, "message": "stop", "detail": "d"}})
        self.assertEqual(e.call("hello"), {"id": 6, "result": 3, "extra": True})
        self.assertEqual(e.call("hello"), {"id": 7, "result": 3, "extra": True})
        self.assertIn("engineVersion", e.result("hello"))

    def test_times_zero_lasts_until_clear_and_unknown_methods_can_be_scripted(self):
        e = self.engine
        e.result("test.script", {"method": "made.up", "result": {"ok": 1}, "times": 0})
        for _ in range(3):
            self.assertEqual(e.result("made.up"), {"ok": 1})
        e.result("test.clear")
        self.assertEqual(e.call("made.up")["error"]["code"], -32601)

    def test_bad_script_params_name_the_key(self):
        cases = [
            ({"result": 1}, "method"),
            ({"method": "hello"}, "result"),
            ({"method": "hello", "result": 1, "error": {}}, "result"),
            ({"method": "hello", "error": "x"}, "error"),
            ({"method": "hello", "result": 1, "times": -1}, "times"),
        ]
        for params, key in cases:
            with self.subTest(params=params):
                err = self.engine.call("test.script", params)["error"]
                self.assertEqual(err["code"], -32602)
                self.assertIn(f"'{key}'", err["message"])

    def test_hold_and_release_in_both_orders(self):
        e = self.engine
        for order, expected in (("fifo", [10, 11, 12]), ("lifo", [22, 21, 20])):
            with self.subTest(order=order):
                e.result("test.hold", {"method": "hello"})
                for n in sorted(expected):
                    e.send("hello", req_id=n)
                e.result("test.script", {"method": "hello", "result": "scripted"})
                rel = e.send("test.release", {"method": "hello", "order": order})
                got = []
                while len(got) < 4:
                    msg = e.next_message()
                    got.append(msg["id"])
                    if msg["id"] == expected[0]:
                        self.assertEqual(msg["result"], "scripted")  # the queued script answers the first
                    elif msg["id"] != rel:
                        self.assertIn("engineVersion", msg["result"])
                self.assertEqual(got, expected + [rel])

    def test_held_request_stays_unanswered_while_others_are_served(self):
        e = self.engine
        e.result("test.hold", {"method": "settings.get"})
        held = e.send("settings.get")
        self.assertIn("engineVersion", e.result("hello"))
        e.result("test.release", {"method": "settings.get"})
        self.assertIn("id", e.wait_reply(held))


class OutputTest(EngineTestCase):
    def setUp(self):
        super().setUp()
        self.engine = self.start(test_mode=True)

    def test_raw_lines_come_before_the_reply_exactly(self):
        e = self.engine
        req = e.send("test.raw", {"lines": ["not json", "", '{"event":"x"}', "é" * 100000]})
        got = [e.lines.get(timeout=5) for _ in range(5)]
        self.assertEqual(got[:4], [b"not json\n", b"\n", b'{"event":"x"}\n', ("é" * 100000).encode() + b"\n"])
        self.assertEqual(json.loads(got[4]), {"id": req, "result": {}})

    def test_raw_b64_writes_bytes_unchanged_even_mid_line(self):
        e = self.engine
        req = e.send("test.raw", {"b64": b64(b'{"event":"ha\xc3')})
        line = e.lines.get(timeout=5)
        self.assertEqual(line, b'{"event":"ha\xc3' + json.dumps({"id": req, "result": {}},
                                                                 separators=(",", ":")).encode() + b"\n")

    def test_stderr_bytes_are_written_unchanged(self):
        e = self.engine
        e.result("test.stderr", {"b64": b64(b"\xff\xfe half \xe2\x82")})
        e.close_input()
        e.wait_exit()
        self.assertIn(b"\xff\xfe half \xe2\x82", e.stderr)

    def test_emit_with_and_without_params(self):
        e = self.engine
        e.result("test.emit", {"event": "job.log", "params": {"jobId": "A", "n": [1]}})
        self.assertEqual(e.wait_event("job.log"), {"event": "job.log", "params": {"jobId": "A", "n": [1]}})
        e.result("test.emit", {"event": "ready"})
        self.assertEqual(e.wait_event("ready"), {"event": "ready"})

    def test_sleep_does_not_block_other_requests(self):
        e = self.engine
        slow = e.send("test.sleep", {"ms": 1500})
        start = time.monotonic()
        fast = e.send("hello")
        first = e.next_message()
        self.assertEqual(first["id"], fast)
        self.assertLess(time.monotonic() - start, 1.4)
        self.assertEqual(e.wait_reply(slow), {"id": slow, "result": {}})


class ExitTest(EngineTestCase):
    def test_exit_with_status_and_lines(self):
        for status in (0, 3, 2):
            with self.subTest(status=status):
                e = self.start(test_mode=True)
                e.send("test.exit", {"status": status, "lines": ['{"id":1,"result":"last"}', "tail"]})
                self.assertEqual(e.wait_exit(), status)
                self.assertEqual([bytes(b) for b in e.raw_lines[1:]], [b'{"id":1,"result":"last"}\n', b"tail\n"])

    def test_exit_by_signal(self):
        e = self.start(test_mode=True)
        e.send("test.exit", {"signal": signal.SIGKILL})
        self.assertEqual(e.wait_exit(), -signal.SIGKILL)

    def test_exit_after_delay_keeps_serving_meanwhile(self):
        e = self.start(test_mode=True)
        start = time.monotonic()
        e.send("test.exit", {"status": 5, "afterMs": 300})
        self.assertIn("engineVersion", e.result("hello"))
        self.assertEqual(e.wait_exit(), 5)
        self.assertGreaterEqual(time.monotonic() - start, 0.29)

    def test_shutdown_modes(self):
        e = self.start(test_mode=True)
        e.result("test.shutdown", {"mode": "stay"})
        self.assertEqual(e.result("shutdown"), {})
        e.close_input()
        with self.assertRaises(Exception):
            e.proc.wait(0.5)  # still running after its input ended
        e.proc.terminate()
        self.assertEqual(e.wait_exit(), -signal.SIGTERM)

        e = self.start(test_mode=True)
        e.result("test.shutdown", {"mode": "silent", "ignoreTerm": True})
        req = e.send("shutdown")
        self.assertIn("engineVersion", e.result("hello"))  # no reply to shutdown came first
        e.close_input()
        e.proc.terminate()
        with self.assertRaises(Exception):
            e.proc.wait(0.5)
        self.assertNotIn(req, [json.loads(line).get("id") for line in e.raw_lines[1:]])
        e.proc.kill()
        self.assertEqual(e.wait_exit(), -signal.SIGKILL)

    def test_clear_restores_normal_shutdown(self):
        e = self.start(test_mode=True)
        e.result("test.shutdown", {"mode": "silent", "ignoreTerm": True})
        e.result("test.clear")
        e.result("shutdown")
        self.assertEqual(e.wait_exit(), 0)


class LogTest(EngineTestCase):
    def test_log_file_records_start_and_every_raw_line(self):
        path = os.path.join(self.tmp, "requests.log")
        e = self.start(test_mode=True, extra_env={"VAMBER_ENGINE_TEST_LOG": path, "MARK": "m1"})
        lines = [b'{"id":1,"method":"hello"}', b"garbage \xff", b'{"id":2,"method":"test.log"}\r']
        for line in lines:
            e.send_line(line)
        log = e.wait_reply(2)["result"]
        e.send("shutdown", req_id=3)
        e.wait_exit()
        with open(path, encoding="utf-8") as f:
            entries = [json.loads(line) for line in f]
        start = entries[0]
        self.assertTrue(start["argv"][0].endswith("server.py"))
        self.assertEqual(start["env"]["MARK"], "m1")
        self.assertEqual(start["pid"], e.proc.pid)
        self.assertIn("cwd", start)
        self.assertIn("executable", start)
        expected = ['{"id":1,"method":"hello"}', "garbage \ufffd", '{"id":2,"method":"test.log"}\r',
                    '{"id": 3, "method": "shutdown"}']
        self.assertEqual([x["request"] for x in entries[1:]], expected)
        self.assertEqual(log["requests"], expected[:3])
        self.assertEqual(log["env"]["MARK"], "m1")
        self.assertTrue(log["argv"][0].endswith("server.py"))

    def test_busy_engine_still_logs_its_start(self):
        path = os.path.join(self.tmp, "busy.log")
        self.start()
        e = self.start(test_mode=True, extra_env={"VAMBER_ENGINE_TEST_LOG": path}, wait_ready=False)
        self.assertEqual(e.wait_exit(), 2)
        with open(path, encoding="utf-8") as f:
            self.assertIn("argv", json.loads(f.readline()))
