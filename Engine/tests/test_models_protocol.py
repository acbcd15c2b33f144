"""The model methods through the engine's line protocol, against a catalogue on 127.0.0.1."""
import os
import shutil
import tempfile
import unittest

from tests.fixtures.engineproc import EngineProcess
from tests.fixtures.httpserver import MediaServer
from tests.test_models_store import BLOB, model, serve_models


class ModelsThroughTheEngine(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="vamber-models-")
        self.addCleanup(shutil.rmtree, self.tmp, True)
        self.server = MediaServer().start()
        self.addCleanup(self.server.stop)
        self.slow = serve_models(self.server, {"default": "good", "models": [
            model("good", "files/good.bin", len(BLOB)),
            model("short", "files/short.bin", len(BLOB)),
            model("slow", "files/slow.bin", len(BLOB)),
        ]})
        self.support = os.path.join(self.tmp, "support")
        self.engine = EngineProcess(self.support, env={
            "VAMBER_MODEL_CATALOG": self.server.url("/catalogue.json"), "HOME": self.tmp,
            "VAMBER_WHISPER_CLI": os.path.join(self.tmp, "no-whisper-cli")}).start()
        self.addCleanup(self.engine.stop)

    def state_of(self, key, start=0):
        return self.engine.wait_event(lambda e: e["event"] == "model.state" and e["params"]["key"] == key,
                                      start=start)["params"]

    def test_list_download_and_delete(self):
        info = self.engine.result("models.list")
        # The system's English model comes first; the catalogue's follow in its order.
        self.assertEqual([m["key"] for m in info["models"]], ["sphinx-en", "good", "short", "slow"])
        good = dict(info["models"][1])
        self.assertTrue(good.pop("unavailableReason"))  # no whisper-cli here
        self.assertEqual(good, {"key": "good", "filename": "ggml-good.bin", "downloadBytes": len(BLOB),
                                "peakMemoryBytes": 1000, "installed": False, "runnable": False})
        # Without whisper.cpp only the system's model can run, so it is the default.
        self.assertEqual((info["default"], info["supported"], info["helperAvailable"]), ("sphinx-en", True, True))
        self.assertNotIn("good", info["diskUsage"])
        self.assertEqual(self.engine.result("models.offer", {"key": "good"})["host"], "127.0.0.1")

        mark = len(self.engine.events)
        self.assertTrue(self.engine.result("models.download", {"key": "good"})["started"])
        self.assertEqual(self.state_of("good", mark), {"key": "good", "state": "installed"})
        progress = [e["params"] for e in self.engine.events[mark:] if e["event"] == "model.progress"]
        self.assertEqual(progress[-1], {"key": "good", "downloaded": len(BLOB), "total": len(BLOB),
                                        "fraction": 1.0})
        model_file = os.path.join(self.support, "models", "ggml-good.bin")
        with open(model_file, "rb") as f:
            self.assertEqual(f.read(), BLOB)
        info = self.engine.result("models.list")
        self.assertTrue(info["models"][1]["installed"])
        self.assertEqual(info["diskUsage"]["good"], len(BLOB))

        mark = len(self.engine.events)
        self.engine.result("models.delete", {"key": "good"})
        self.assertEqual(self.state_of("good", mark), {"key": "good", "state": "deleted"})
        self.assertFalse(os.path.exists(model_file))
        self.assertFalse(self.engine.result("models.list")["models"][1]["installed"])
        again = self.engine.call("models.delete", {"key": "good"})
        self.assertIn("not installed", again["error"]["message"])

    def test_size_mismatch_fails_with_a_message(self):
        self.engine.result("models.download", {"key": "short"})
        state = self.state_of("short")
        self.assertEqual(state["state"], "failed")
        self.assertIn("Size mismatch", state["message"])
        self.assertEqual(os.listdir(os.path.join(self.support, "models")), [])

    def test_cancel_sends_cancelled(self):
        self.engine.result("models.download", {"key": "slow"})
        self.engine.wait_event(lambda e: e["event"] == "model.progress" and e["params"]["downloaded"] > 0)
        self.assertEqual(self.engine.result("models.cancel", {"key": "slow"}), {"cancelled": True})
        self.assertEqual(self.state_of("slow"), {"key": "slow", "state": "cancelled"})
        self.assertEqual(os.listdir(os.path.join(self.support, "models")), [])
        self.assertEqual(self.engine.result("models.cancel", {"key": "slow"}), {"cancelled": False})

    def test_unknown_model_and_missing_catalogue(self):
        reply = self.engine.call("models.download", {"key": "nosuch"})
        self.assertIn("nosuch", reply["error"]["message"])
        # The application shows the download as running until a state arrives for it.
        self.assertEqual(self.state_of("nosuch")["state"], "failed")
        self.server.routes.pop("/catalogue.json")
        # The system's model needs no catalogue: transcription stays available without one.
        info = self.engine.result("models.list")
        self.assertEqual([m["key"] for m in info["models"]], ["sphinx-en"])
        self.assertTrue(info["helperAvailable"])


if __name__ == "__main__":
    unittest.main()
