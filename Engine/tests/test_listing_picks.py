"""Entries picked from a listing and downloaded one by one keep the listing as their playlist and their
own titles (an M3U's #EXTINF lines), also when the download runs after a restart."""
import unittest

from tests.fixtures.enginecase import EngineCase
from tests.fixtures.httpserver import m3u
from tests.fixtures.media import media_bytes


class PickedEntries(EngineCase):
    def test_m3u_picks_keep_playlist_and_titles(self):
        for name in ("clip1", "clip2", "loose"):
            self.srv.add(f"/media/{name}.mp4", media_bytes("video.mp4"), "video/mp4")
        self.srv.add("/mix.m3u", "#PLAYLIST:Summer Mix\n" + m3u([
            (self.srv.url("/media/clip1.mp4"), "Opening Theme", 2),
            (self.srv.url("/media/clip2.mp4"), "Second Song", 2)]).replace("#EXTM3U\n", ""),
            "audio/x-mpegurl")
        answer = self.eng.result("queue.resolve", {"urls": [self.srv.url("/mix.m3u")], "cookieSource": "None",
                                                   "cookiesFile": ""})
        entries = answer["listings"][0]["entries"]
        self.assertEqual([(e["title"], e["playlist"]) for e in entries],
                         [("Opening Theme", "Summer Mix"), ("Second Song", "Summer Mix")])

        first = self.eng.result("download.start", self.download_params(entries[0]["url"]), timeout=60)
        # The application queues the rest; the engine may be restarted before they run.
        self.restart_engine(kill=False)
        second = self.eng.result("download.start", self.download_params(entries[1]["url"]), timeout=60)
        loose = self.eng.result("download.start", self.download_params(self.srv.url("/media/loose.mp4")),
                                timeout=60)
        self.assertEqual((first["title"], second["title"], loose["title"]),
                         ("Opening Theme", "Second Song", "loose"))
        items = {i["path"]: i for i in self.eng.result("library.list", {"limit": 120, "offset": 0})["items"]}
        self.assertEqual([(items[r["path"]]["title"], items[r["path"]]["playlist"]) for r in (first, second, loose)],
                         [("Opening Theme", "Summer Mix"), ("Second Song", "Summer Mix"), ("loose", "")])
        self.assertTrue(first["path"].endswith("/Opening Theme.mp4"), first["path"])


if __name__ == "__main__":
    unittest.main()
