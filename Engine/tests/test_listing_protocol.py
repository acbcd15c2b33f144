"""Listings through the engine's line protocol: resolve a batch, then page a section to its end."""
import os
import shutil
import tempfile
import unittest

from tests.fixtures.engineproc import EngineProcess
from tests.fixtures.httpserver import MediaServer
from tests.test_listing import serve_site


class ListingsThroughTheEngine(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="vamber-listing-proto-")
        self.addCleanup(shutil.rmtree, self.tmp, True)
        self.srv = MediaServer().start()
        self.addCleanup(self.srv.stop)
        serve_site(self.srv)
        self.engine = EngineProcess(os.path.join(self.tmp, "support"), env={"HOME": self.tmp}).start()
        self.addCleanup(self.engine.stop)

    def test_resolve_and_page_through(self):
        one = self.srv.url("/media/one.mp4")
        got = self.engine.result("queue.resolve", {
            "urls": [one, "not a link", self.srv.url("/channel.html"), one, self.srv.url("/clips.html")],
            "cookieSource": "None", "cookiesFile": ""}, timeout=30)
        self.assertEqual([s["url"] for s in got["singles"]], [one])
        self.assertEqual(got["notes"], [{"input": "not a link", "reason": "not-a-url"},
                                        {"input": one, "reason": "duplicate", "count": 1}])
        channel, clips = got["listings"]
        self.assertEqual(len(clips["entries"]), 3)
        self.assertEqual(clips["sections"], [])
        page_size = got["pageSize"]
        self.assertGreater(page_size, 0)

        uploads = channel["sections"][0]
        held = [e for e in channel["entries"] if e["section"] == uploads["name"]]
        self.assertEqual(len(held), page_size)
        while len(held) % page_size == 0:
            page = self.engine.result("listing.page", {
                "source": uploads["source"], "offset": len(held), "count": page_size, "section": uploads["name"],
                "cookieSource": "None", "cookiesFile": ""})
            held += page["entries"]
            if not page["entries"] or page["exhausted"]:
                break
        self.assertEqual(len(held), uploads["count"])
        self.assertEqual(len({e["url"] for e in held}), uploads["count"])
        self.assertTrue(all(e["section"] == "Uploads" for e in held))

    def test_bad_requests(self):
        cases = [
            ("queue.resolve", {"urls": "http://x.org", "cookieSource": "None", "cookiesFile": ""}, -32602),
            ("queue.resolve", {"urls": [], "cookieSource": "None",
                               "cookiesFile": os.path.join(self.tmp, "none.txt")}, 1002),
            ("listing.page", {"source": "", "offset": 0, "count": 5, "section": "", "cookieSource": "None",
                              "cookiesFile": ""}, -32602),
            ("listing.page", {"source": self.srv.url("/missing.m3u"), "offset": 0, "count": 5, "section": "S",
                              "cookieSource": "None", "cookiesFile": ""}, 1003),
        ]
        for method, params, code in cases:
            with self.subTest(method=method, params=params):
                self.assertEqual(self.engine.call(method, params)["error"]["code"], code)
        empty = self.engine.result("queue.resolve", {"urls": [], "cookieSource": "None", "cookiesFile": ""})
        self.assertEqual((empty["singles"], empty["listings"], empty["notes"]), ([], [], []))


if __name__ == "__main__":
    unittest.main()
