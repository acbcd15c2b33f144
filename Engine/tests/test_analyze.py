"""analyze through the protocol: what each kind of address gives, and plain errors."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from fixtures.enginecase import EngineCase  # noqa: E402
from fixtures.httpserver import embed_page, free_port, listing_page, m3u  # noqa: E402
from fixtures.media import hls_files, media_bytes, subtitle_vtt  # noqa: E402

REQUIRED = ("url", "availableQualities", "probed", "isListing", "listingKind")


class AnalyzeTest(EngineCase):
    def setUp(self):
        super().setUp()
        s = self.srv
        s.add("/media/clip.mp4", media_bytes("video.mp4"), "video/mp4", head=False)  # HEAD refused: ranged GET
        s.add("/media/wide.mp4", media_bytes("video720.mp4"), "application/octet-stream")
        s.add("/media/song.mp3", media_bytes("audio.mp3"), "audio/mpeg")
        s.add("/media/en.vtt", subtitle_vtt(), "text/vtt")
        s.add_page("/watch", embed_page("Embedded clip", "/media/clip.mp4", poster="/p.jpg",
                                        tracks=[("en", "/media/en.vtt"), ("de", "/media/en.vtt")]))
        s.add_page("/multi", '<html><head><title>Two sizes</title></head><body><video>'
                             '<source src="/media/wide.mp4" size="720"><source src="/media/clip.mp4" size="360">'
                             '</video></body></html>')
        s.add_page("/list", listing_page("My list", [("/media/clip.mp4", "One"), ("/media/song.mp3", "Two")]))
        s.add("/list.m3u", m3u([("/media/clip.mp4", "First", 2), ("/media/song.mp3", "Second", 2)]),
              "audio/x-mpegurl")
        s.add_page("/text", "<html><head><title>Just words</title></head><body><p>Hi</p></body></html>")
        s.add("/moved", status=302, location="/watch")
        s.add("/get?id=7", media_bytes("video.mp4"), "application/octet-stream",
              headers={"Content-Disposition": "attachment; filename*=UTF-8''Caf%C3%A9%20tour.mp4"})
        s.add("/mislabelled", media_bytes("video.mp4"), "text/html")
        for name, data in hls_files().items():
            s.add("/hls/" + name, data, "application/vnd.apple.mpegurl" if name.endswith(".m3u8") else "video/mp2t")

    def analyze(self, url):
        return self.eng.call("analyze", {"url": url, "cookieSource": "None", "cookiesFile": "",
                                         "forceGeneric": False}, timeout=60)

    def test_analysis_table(self):
        u = self.srv.url
        cases = [
            # address, isListing, title, qualities, duration expected, extra checks
            (u("/media/clip.mp4"), False, "clip", ["360p", "audio"], True, {"sourceLabel": "160×120 H264"}),
            (u("/media/wide.mp4"), False, "wide", ["720p", "audio"], True, {}),
            (u("/media/song.mp3"), False, "song", ["audio"], True, {}),
            (u("/watch"), False, "Embedded clip", ["360p", "audio"], True,
             {"thumbnail": u("/p.jpg"), "subtitleLanguages": ["en", "de"]}),
            (u("/moved"), False, "Embedded clip", ["360p", "audio"], True, {}),
            (u("/multi"), False, "Two sizes", ["720p", "360p", "audio"], True, {}),
            (u("/list"), True, "My list", [], False, {"listingKind": "playlist"}),
            (u("/get?id=7"), False, "Café tour", ["360p", "audio"], True, {}),
            (u("/mislabelled"), False, "mislabelled", ["360p", "audio"], True, {}),
            (u("/hls/index.m3u8"), False, "index", ["360p", "audio"], True, {"extractor": "hls"}),
            (u("/list.m3u"), True, "list", [], False, {"listingKind": "playlist"}),
        ]
        for url, listing, title, qualities, has_duration, extra in cases:
            with self.subTest(url=url):
                reply = self.analyze(url)
                self.assertIn("result", reply, reply)
                a = reply["result"]
                for key in REQUIRED:
                    self.assertIn(key, a)
                self.assertEqual(a["url"], url)
                self.assertEqual(a["isListing"], listing)
                self.assertEqual(a["title"], title)
                self.assertEqual(a["availableQualities"], qualities)
                self.assertEqual(a["probed"], not listing)
                if has_duration:
                    self.assertAlmostEqual(a["duration"], 2.0, delta=0.2)
                else:
                    self.assertNotIn("duration", a)
                for key, value in extra.items():
                    self.assertEqual(a[key], value, key)

    def test_errors_in_plain_words(self):
        port = free_port()
        cases = [
            (self.srv.url("/nothing-here"), ["404", "not found"]),
            (self.srv.url("/text"), ["Just words", "no video or audio"]),
            ("http://127.0.0.1:%d/x.mp4" % port, ["127.0.0.1:%d" % port, "refused"]),
            ("ftp://127.0.0.1/x.mp4", ["not a web address"]),
            ("", ["not a web address"]),
        ]
        for url, words in cases:
            with self.subTest(url=url):
                reply = self.analyze(url)
                self.assertIn("error", reply, reply)
                self.assertNotEqual(reply["error"]["code"], 1001)
                for word in words:
                    self.assertIn(word, reply["error"]["message"])

    def test_cookie_file_reaches_the_page(self):
        self.srv.add_page("/private", embed_page("Members", "/media/clip.mp4"), cookie=("sid", "1"))
        self.assertIn("403", self.analyze(self.srv.url("/private"))["error"]["message"])
        jar = self.tmp / "c.txt"
        jar.write_text("127.0.0.1\tFALSE\t/\tFALSE\t0\tsid\t1\n")
        reply = self.eng.call("analyze", {"url": self.srv.url("/private"), "cookieSource": "None",
                                          "cookiesFile": str(jar), "forceGeneric": False}, timeout=60)
        self.assertEqual(reply["result"]["title"], "Members")


class AnalyzeWithoutProbeTest(EngineCase):
    def test_without_ffprobe_the_analysis_is_honest(self):
        empty = self.tmp / "none"
        empty.mkdir()
        eng = self.restart_engine({"VAMBER_FFMPEG_DIR": str(empty)})
        self.srv.add("/v.mp4", media_bytes("video.mp4"), "video/mp4")
        a = eng.result("analyze", {"url": self.srv.url("/v.mp4"), "cookieSource": "None", "cookiesFile": "",
                                   "forceGeneric": False}, timeout=60)
        self.assertEqual((a["probed"], a["availableQualities"], a.get("duration")), (False, [], None))


if __name__ == "__main__":
    unittest.main()
