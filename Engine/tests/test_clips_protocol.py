"""Clips through the engine's line protocol."""
import os
import shutil
import tempfile
import unittest

from tests.fixtures import media
from tests.fixtures.engineproc import EngineProcess
from tests.test_clips_ffmpeg import streams


@unittest.skipUnless(media.have_ffmpeg(), "ffmpeg is not installed")
class ClipsThroughTheEngine(unittest.TestCase):
    def setUp(self):
        root = tempfile.mkdtemp(prefix="vamber-clip-proto-")
        self.addCleanup(shutil.rmtree, root, True)
        self.tmp = os.path.join(root, "media")
        os.makedirs(self.tmp)
        self.engine = EngineProcess(os.path.join(root, "support"), env={"HOME": root}).start()
        self.addCleanup(self.engine.stop)

    def source(self, name, seconds):
        path = os.path.join(self.tmp, "Talk.mp4")
        shutil.copy(media.media_file(name, seconds), path)
        return path

    def test_suggest_then_extract_the_requested_length(self):
        path = self.source("video.mp4", 6)
        params = {"path": path, "startMs": 1500, "endMs": 4000, "audioOnly": False}
        suggestion = self.engine.result("clip.suggest", params)
        self.assertEqual(suggestion["directory"], self.tmp)
        self.assertEqual(suggestion["path"], os.path.join(self.tmp, suggestion["name"]))

        result = self.engine.result("clip.extract", dict(params, jobId="clip-1", mode="precise"), timeout=60)
        self.assertEqual(result["path"], suggestion["path"])
        self.assertEqual((result["jobId"], result["name"]), ("clip-1", suggestion["name"]))
        self.assertEqual(result["sizeBytes"], os.path.getsize(result["path"]))
        self.assertAlmostEqual(streams(result["path"])["video"], 2.5, delta=0.1)  # the fixture runs at 10 fps
        state = self.engine.wait_event(lambda e: e["event"] == "clip.state")["params"]
        self.assertEqual(state, {"jobId": "clip-1", "state": "done", "destination": result["path"],
                                 "sizeBytes": result["sizeBytes"]})
        fractions = [e["params"]["fraction"] for e in self.engine.events_for("clip-1", "clip.progress")]
        self.assertEqual(fractions[-1], 1.0)

    def test_cancel_ends_with_code_1001_and_no_file(self):
        path = self.source("video720.mp4", 20)
        before = sorted(os.listdir(self.tmp))
        rid = self.engine.send("clip.extract", {"path": path, "startMs": 0, "endMs": 20000, "audioOnly": False,
                                                "jobId": "clip-2", "mode": "precise"})
        self.engine.wait_event(lambda e: e["event"] == "clip.progress", timeout=30)
        self.assertEqual(self.engine.result("clip.cancel", {"jobId": "clip-2"}), {"cancelled": True})
        reply = self.engine.reply(rid, timeout=30)
        self.assertEqual(reply["error"]["code"], 1001)
        state = self.engine.wait_event(lambda e: e["event"] == "clip.state")["params"]
        self.assertEqual(state, {"jobId": "clip-2", "state": "cancelled"})
        self.assertEqual(sorted(os.listdir(self.tmp)), before)

    def test_shutdown_during_a_clip_leaves_no_partial_file(self):
        path = self.source("video720.mp4", 20)
        before = sorted(os.listdir(self.tmp))
        self.engine.send("clip.extract", {"path": path, "startMs": 0, "endMs": 20000, "audioOnly": False,
                                          "jobId": "clip-3", "mode": "precise"})
        self.engine.wait_event(lambda e: e["event"] == "clip.progress", timeout=30)
        self.assertEqual(self.engine.stop(), 0)
        self.assertEqual(sorted(os.listdir(self.tmp)), before)

    def test_bad_requests(self):
        path = self.source("video.mp4", 2)
        cases = [
            ("clip.extract", {"path": path, "startMs": 0, "endMs": 1000, "audioOnly": False, "jobId": "c",
                              "mode": "Precise"}, -32602),
            ("clip.extract", {"path": path, "startMs": 900, "endMs": 100, "audioOnly": False, "jobId": "c",
                              "mode": "fast"}, 1003),
            ("clip.suggest", {"path": path + ".gone", "startMs": 0, "endMs": 100, "audioOnly": True}, 1003),
            ("clip.suggest", {"path": path, "startMs": 0, "audioOnly": True}, -32602),
        ]
        for method, params, code in cases:
            with self.subTest(method=method, params=params):
                self.assertEqual(self.engine.call(method, params, timeout=30)["error"]["code"], code)
        self.assertEqual(self.engine.result("clip.cancel", {"jobId": "nothing"}), {"cancelled": False})


if __name__ == "__main__":
    unittest.main()
