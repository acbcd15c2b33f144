"""thumbnail.resolve: fetched and cached images, a page's og:image, frames taken from media files."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from fixtures.enginecase import EngineCase  # noqa: E402
from fixtures.httpserver import embed_page  # noqa: E402
from fixtures.media import media_bytes, media_file  # noqa: E402


class ThumbnailTest(EngineCase):
    def resolve(self, url="", media_path="", page_url="", cookies_file=""):
        return self.eng.call("thumbnail.resolve", {"url": url, "mediaPath": media_path, "cookieSource": "None",
                                                   "cookiesFile": cookies_file, "pageUrl": page_url}, timeout=60)

    def test_sources_of_a_thumbnail(self):
        jpg, png = media_bytes("poster.jpg"), media_bytes("poster.png")
        self.srv.add("/t.jpg", jpg, "image/jpeg")
        self.srv.add("/t.png", png, "image/png")
        self.srv.add("/v.mp4", media_bytes("video.mp4"), "video/mp4")
        self.srv.add_page("/page", embed_page("P", "/v.mp4", poster="/t.png"))
        cases = [
            ("image address", dict(url=self.srv.url("/t.jpg")), ".jpg", jpg),
            ("png kept as png", dict(url=self.srv.url("/t.png")), ".png", png),
            ("page with og:image", dict(url="", page_url=self.srv.url("/page")), ".png", png),
            ("frame of a remote video", dict(url=self.srv.url("/v.mp4")), ".jpg", None),
            ("frame of a local file", dict(media_path=str(media_file("video.mp4"))), ".jpg", None),
            ("a local image is its own thumbnail", dict(media_path=str(media_file("poster.png"))), ".png", png),
        ]
        for name, args, suffix, content in cases:
            with self.subTest(name):
                reply = self.resolve(**args)
                self.assertIn("result", reply, reply)
                path = Path(reply["result"]["path"])
                self.assertEqual(path.suffix, suffix)
                data = path.read_bytes()
                if content is not None:
                    self.assertEqual(data, content)
                else:
                    self.assertTrue(data.startswith(b"\xff\xd8\xff"))

    def test_answers_are_cached(self):
        route = self.srv.add("/c.jpg", media_bytes("poster.jpg"), "image/jpeg")
        first = self.resolve(url=self.srv.url("/c.jpg"))["result"]["path"]
        route.status = 500
        self.assertEqual(self.resolve(url=self.srv.url("/c.jpg"))["result"]["path"], first)
        self.assertEqual(len(self.srv.requests_for("/c.jpg")), 1)
        self.assertTrue(first.startswith(str(self.support)))

    def test_failures(self):
        cases = [
            (dict(), "no thumbnail"),
            (dict(url=self.srv.url("/missing.jpg")), "404"),
            (dict(media_path=str(self.tmp / "gone.mp4")), "gone.mp4"),
        ]
        for args, words in cases:
            with self.subTest(args=args):
                reply = self.resolve(**args)
                self.assertIn("error", reply, reply)
                self.assertIn(words, reply["error"]["message"])

    def test_frames_need_ffmpeg(self):
        empty = self.tmp / "none"
        empty.mkdir()
        eng = self.restart_engine({"VAMBER_FFMPEG_DIR": str(empty)})
        err = eng.call("thumbnail.resolve", {"url": "", "mediaPath": str(media_file("video.mp4")),
                                             "cookieSource": "None", "cookiesFile": "", "pageUrl": ""})["error"]
        self.assertIn("ffprobe", err["message"])


if __name__ == "__main__":
    unittest.main()
