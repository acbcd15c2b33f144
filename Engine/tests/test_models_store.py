import hashlib
import json
import os
import tempfile
import threading
import time
import unittest
from unittest import mock

from tests.fixtures.httpserver import MediaServer
from vamber_engine import modelstore

BLOB = bytes(range(256)) * 1200  # 307200 bytes
HELD_AT = 64 * 1024


def serve_models(srv, catalogue):
    """The catalogue and model files the tests ask for; /files/slow.bin stops part-way until released."""
    srv.add("/catalogue.json", json.dumps(catalogue), "application/json")
    srv.add("/files/good.bin", BLOB)
    srv.add("/files/short.bin", BLOB[:-100])
    srv.add("/files/unannounced-long.bin", BLOB + b"extra", send_length=False)
    return srv.add("/files/slow.bin", BLOB, hold_at=HELD_AT)


class Events:
    def __init__(self):
        self.items = []
        self.cond = threading.Condition()

    def __call__(self, name, params):
        with self.cond:
            self.items.append((name, dict(params)))
            self.cond.notify_all()

    def wait_state(self, key, timeout=10):
        deadline = time.monotonic() + timeout
        with self.cond:
            while True:
                for name, params in self.items:
                    if name == "model.state" and params["key"] == key:
                        return params
                left = deadline - time.monotonic()
                if left <= 0:
                    raise AssertionError(f"no model.state for {key}: {self.items}")
                self.cond.wait(left)

    def wait_progress(self, key, timeout=10):
        deadline = time.monotonic() + timeout
        with self.cond:
            while not any(n == "model.progress" and p["key"] == key and p["downloaded"] > 0
                          for n, p in self.items):
                left = deadline - time.monotonic()
                if left <= 0:
                    raise AssertionError("no progress")
                self.cond.wait(left)

    def progress(self, key):
        return [p for n, p in self.items if n == "model.progress" and p["key"] == key]


def model(key, path, size, **extra):
    entry = {"key": key, "filename": f"ggml-{key}.bin", "url": path, "downloadBytes": size,
             "peakMemoryBytes": 1000}
    entry.update(extra)
    return entry


class ModelStoreTests(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = MediaServer().start()
        cls.base = cls.server.url("")
        catalogue = {
            "default": "good",
            "models": [
                model("good", "files/good.bin", len(BLOB)),
                model("checked", "files/good.bin", len(BLOB), sha256=hashlib.sha256(BLOB).hexdigest()),
                model("badsum", "files/good.bin", len(BLOB), sha256="0" * 64),
                model("short", "files/short.bin", len(BLOB)),
                model("long", "files/unannounced-long.bin", len(BLOB)),
                model("slow", "files/slow.bin", len(BLOB)),
                model("gone", "files/missing.bin", 10),
                model("../evil", "files/good.bin", 10, filename="../evil.bin"),
                {"key": "nosize", "filename": "x.bin", "url": "files/good.bin"},
            ],
        }
        serve_models(cls.server, catalogue)

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()

    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.addCleanup(self.tmp.cleanup)
        patcher = mock.patch.dict(os.environ, {modelstore.CATALOG_ENV: self.base + "/catalogue.json"})
        patcher.start()
        self.addCleanup(patcher.stop)
        self.logged = []
        self.store = modelstore.ModelStore(os.path.join(self.tmp.name, "models"), self.logged.append)
        self.addCleanup(self.store.stop_all)
        self.events = Events()

    def files(self):
        folder = os.path.join(self.tmp.name, "models")
        return sorted(os.listdir(folder)) if os.path.isdir(folder) else []

    def test_catalogue_from_url_skips_bad_entries(self):
        info = self.store.info()
        self.assertEqual([m["key"] for m in info["models"]],
                         ["good", "checked", "badsum", "short", "long", "slow", "gone"])
        self.assertEqual(info["default"], "good")
        self.assertEqual(info["diskUsage"], {})
        self.assertFalse(any(m["installed"] for m in info["models"]))
        self.assertEqual(len(self.logged), 2)
        offer = self.store.offer("good")
        self.assertEqual(offer, {"key": "good", "installed": False, "host": "127.0.0.1",
                                 "downloadBytes": len(BLOB), "diskBytes": len(BLOB)})
        with self.assertRaises(modelstore.ModelError):
            self.store.offer("nosuch")

    def test_unreadable_catalogue_is_an_error(self):
        for source in (self.base + "/nothing.json", os.path.join(self.tmp.name, "none.json")):
            with self.subTest(source=source), mock.patch.dict(os.environ, {modelstore.CATALOG_ENV: source}):
                with self.assertRaises(modelstore.ModelError) as caught:
                    self.store.info()
                self.assertTrue(caught.exception.unavailable)
                self.assertIn(source, str(caught.exception))

    def test_download_with_progress_then_delete(self):
        for key in ("good", "checked"):
            with self.subTest(key=key):
                self.assertEqual(self.store.download(key, self.events), "started")
                self.assertEqual(self.events.wait_state(key), {"key": key, "state": "installed"})
                progress = self.events.progress(key)
                self.assertEqual(progress[0]["downloaded"], 0)
                self.assertEqual(progress[-1], {"key": key, "downloaded": len(BLOB), "total": len(BLOB),
                                                "fraction": 1.0})
                fractions = [p["fraction"] for p in progress]
                self.assertEqual(fractions, sorted(fractions))
        with open(os.path.join(self.tmp.name, "models", "ggml-good.bin"), "rb") as f:
            self.assertEqual(f.read(), BLOB)
        info = self.store.info()
        self.assertEqual([m["key"] for m in info["models"] if m["installed"]], ["good", "checked"])
        self.assertEqual(info["diskUsage"], {"good": len(BLOB), "checked": len(BLOB)})
        self.assertTrue(self.store.offer("good")["installed"])
        # Asking again for an installed model only confirms it.
        self.assertEqual(self.store.download("good", self.events), "installed")

        self.events.items.clear()
        self.store.delete("good", self.events)
        self.assertEqual(self.events.items, [("model.state", {"key": "good", "state": "deleted"})])
        self.assertEqual(self.files(), ["ggml-checked.bin"])
        with self.assertRaises(modelstore.ModelError):
            self.store.delete("good", self.events)

    def test_bad_downloads_fail_with_a_message_and_leave_nothing(self):
        cases = {"short": "Size mismatch", "long": "Size mismatch", "badsum": "Checksum mismatch",
                 "gone": "HTTP 404"}
        for key, words in cases.items():
            with self.subTest(key=key):
                self.store.download(key, self.events)
                state = self.events.wait_state(key)
                self.assertEqual(state["state"], "failed")
                self.assertIn(words, state["message"])
        self.assertEqual(self.files(), [])
        self.assertEqual(self.store.downloading(), [])

    def test_cancel_stops_the_transfer_and_removes_the_partial_file(self):
        self.assertEqual(self.store.download("slow", self.events), "started")
        self.assertEqual(self.store.download("slow", self.events), "running")
        self.events.wait_progress("slow")
        started = time.monotonic()
        self.assertTrue(self.store.cancel("slow"))
        self.assertEqual(self.events.wait_state("slow"), {"key": "slow", "state": "cancelled"})
        self.assertLess(time.monotonic() - started, 2)
        self.assertEqual(self.files(), [])
        self.assertFalse(self.store.cancel("slow"))

    def test_delete_during_download_cancels_it_and_reports_deleted(self):
        self.store.download("slow", self.events)
        self.events.wait_progress("slow")
        self.store.delete("slow", self.events)
        states = [p["state"] for n, p in self.events.items if n == "model.state"]
        self.assertEqual(states, ["deleted"])
        self.assertEqual(self.files(), [])


class CatalogueParsing(unittest.TestCase):
    def test_relative_addresses_and_default(self):
        text = json.dumps({"default": "nope", "models": [model("a", "a.bin", 5), model("b", "http://h/b.bin", 5),
                                                           model("c", "ftp://h/c.bin", 5)]})
        cat = modelstore.parse_catalogue(text, "/opt/engine/models.json")
        self.assertEqual([(m.key, m.url) for m in cat.models],
                         [("a", "file:///opt/engine/a.bin"), ("b", "http://h/b.bin")])
        self.assertEqual(cat.default, "a")

    def test_shipped_catalogue_is_valid(self):
        cat = modelstore.load_catalogue(modelstore.DEFAULT_CATALOG)
        self.assertTrue(cat.models)
        self.assertIn(cat.default, [m.key for m in cat.models])
        for m in cat.models:
            self.assertTrue(m.url.startswith("https://"), m.url)


if __name__ == "__main__":
    unittest.main()
