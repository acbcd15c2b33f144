"""The engine under hostile or unlucky conditions: a reader that goes away mid-download, answers
too large to parse, request lines its JSON reader cannot take, and more work than threads."""

import json
import os
import subprocess
import sys
import threading
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

from fixtures.engineproc import SERVER  # noqa: E402
from fixtures.enginecase import EngineCase  # noqa: E402
from fixtures.media import media_bytes  # noqa: E402
from tests.harness import EngineTestCase  # noqa: E402
from vamber_engine.registry import POOL_SIZES  # noqa: E402


class ClosedOutputTest(EngineCase):
    def test_reader_gone_mid_download_leaves_a_resumable_partial_file(self):
        video = media_bytes("video.mp4")
        held = 9000
        route = self.srv.add("/v.mp4", video, "video/mp4", hold_at=held)
        self.eng.kill()  # this test drives its own engine, on pipes it controls
        env = self.engine_env()
        env.update({"VAMBER_SUPPORT_DIR": str(self.support), "VAMBER_ENGINE_TEST": "1",
                    "PYTHONUNBUFFERED": "1"})
        proc = subprocess.Popen([sys.executable, str(SERVER)], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, env={**os.environ, **env})
        self.addCleanup(proc.stdin.close)
        self.addCleanup(lambda: proc.poll() is None and proc.kill())
        errors = []
        reader = threading.Thread(target=lambda: errors.append(proc.stderr.read()), daemon=True)
        reader.start()
        job = "JOB-CLOSED-PIPE"
        request = {"id": 1, "method": "download.start", "params": self.download_params(self.srv.url("/v.mp4"), job)}
        proc.stdin.write((json.dumps(request) + "\n").encode())
        proc.stdin.flush()
        while True:
            line = proc.stdout.readline()
            self.assertTrue(line, "the engine ended early")
            msg = json.loads(line)
            if msg.get("event") == "job.progress" and msg["params"]["downloaded"] >= held:
                break
        proc.stdout.close()  # the application stops reading; its input stays open
        # The stalled transfer reports once a second, so the engine meets the closed pipe soon.
        self.assertEqual(proc.wait(60), 0)
        reader.join(10)
        proc.stderr.close()
        stderr = b"".join(errors).decode("utf-8", "replace")
        parts = [p for p in self.out.iterdir() if p.name.endswith(".part")]
        self.assertEqual(len(parts), 1, self.files_in(self.out))
        self.assertEqual(parts[0].read_bytes(), video[:held])
        records = list((self.support / "downloads").glob("*.json"))
        self.assertEqual(len(records), 1)
        record = json.loads(records[0].read_text("utf-8"))
        self.assertEqual((record["jobId"], record["partPath"]), (job, str(parts[0])))
        self.assertNotIn("Traceback", stderr)

        route.gate.set()
        self.srv.clear_log()
        self.restart_engine()
        result = self.eng.result("download.start", self.download_params(self.srv.url("/v.mp4"), job), timeout=60)
        self.assertEqual(Path(result["path"]).read_bytes(), video)
        self.assertEqual(self.srv.requests_for("/v.mp4", "GET")[-1].header("Range"), f"bytes={held}-")


class BoundsTest(EngineCase):
    needs_ffmpeg = False

    def test_answers_past_their_bound_fail_clearly(self):
        big_page = "<html><head><title>Big</title></head><body>" + "<p>filler</p>" * 400_000 + "</body></html>"
        self.srv.add_page("/big", big_page)
        self.srv.add("/update.json", json.dumps({"version": "9.9.9", "url": "https://x/", "pad": "x" * 200_000}),
                     "application/json")
        self.srv.add("/catalogue.json", json.dumps({"models": [], "pad": "x" * (5 << 20)}), "application/json")
        self.restart_engine({"VAMBER_UPDATE_URL": self.srv.url("/update.json"),
                             "VAMBER_MODEL_CATALOG": self.srv.url("/catalogue.json")})
        cases = [
            ("analyze", {"url": self.srv.url("/big"), "cookieSource": "None", "cookiesFile": "",
                         "forceGeneric": False}, "larger than 4 MB"),
            ("update.check", None, "larger than 64 KB"),
            ("models.offer", {"key": "tiny"}, "larger than 4 MB"),
        ]
        for method, params, words in cases:
            with self.subTest(method=method):
                reply = self.eng.call(method, params, timeout=60)
                self.assertIn("error", reply, reply)
                self.assertIn(words, reply["error"]["message"])
        # The system's own speech model needs no catalogue: the list still answers with it alone.
        self.assertEqual([m["key"] for m in self.eng.result("models.list")["models"]], ["sphinx-en"])
        self.assertIn("engineVersion", self.eng.result("hello"))

    def test_log_lines_carry_the_method_of_their_request(self):
        # The listing resolver is made by the first request that needs it; later lines are still
        # tagged with the request they belong to.
        self.srv.add("/gone.m3u8", "", status=404)
        self.eng.call("listing.page", {"source": self.srv.url("/missing"), "offset": 0, "count": 5,
                                       "section": "", "cookieSource": "None", "cookiesFile": ""})
        self.eng.result("queue.resolve", {"urls": [self.srv.url("/gone.m3u8")], "cookieSource": "None",
                                          "cookiesFile": ""})
        self.eng.stop()
        lines = [line for line in self.eng.stderr_lines if "/gone.m3u8" in line]
        self.assertTrue(lines, self.eng.stderr_lines)
        for line in lines:
            self.assertTrue(line.startswith("[engine] queue.resolve: "), line)


class RequestLineTest(EngineTestCase):
    def test_a_request_line_nested_too_deeply_is_a_parse_error(self):
        engine = self.start()
        for line in (b"[" * 5000, b'{"id":1,"method":"hello","params":{"a":' + b"[" * 5000 + b"]" * 5000 + b"}}",
                     b"{" * 100_000):
            with self.subTest(length=len(line)):
                engine.send_line(line)
                reply = engine.next_message(30)
                self.assertEqual((reply["id"], reply["error"]["code"]), (None, -32700))
                self.assertIn("engineVersion", engine.result("hello"))


class PoolTest(EngineCase):
    needs_ffmpeg = False

    def test_web_work_runs_on_a_bounded_pool_and_leaves_other_requests_answered(self):
        size = POOL_SIZES["web"]
        route = self.srv.add_page("/slow", "<html><head><title>Slow</title></head><body>" + "x" * 5000
                                  + "</body></html>", hold_at=100)
        rids = [self.eng.send("analyze", {"url": self.srv.url("/slow"), "cookieSource": "None", "cookiesFile": "",
                                          "forceGeneric": False}) for _ in range(size * 3)]
        deadline = time.monotonic() + 60
        while self.srv.open_bodies < size and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertEqual(self.srv.open_bodies, size)
        # Every web thread is held: local work and quick requests still answer.
        self.assertIn("quality", self.eng.result("settings.get", timeout=30))
        self.assertIn("items", self.eng.result("library.list", {"limit": 10, "offset": 0}, timeout=30))
        self.assertIn(self.eng.call("update.check", timeout=30)["error"]["detail"], ("no-update-source",))
        self.assertEqual(self.srv.open_bodies, size)
        route.gate.set()
        for rid in rids:
            self.assertIn("error", self.eng.reply(rid, 120))  # a page without media
        self.assertEqual(self.srv.peak_open_bodies, size)


if __name__ == "__main__":
    unittest.main()
