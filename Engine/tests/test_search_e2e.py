"""From a download to a clip: the engine downloads a video with its subtitles, finds it by a word
of them, and cuts the passage found as a clip."""
import os
import unittest

from tests.fixtures.enginecase import EngineCase
from tests.fixtures.httpserver import embed_page
from tests.fixtures.media import media_bytes
from tests.test_clips_ffmpeg import streams

VTT = ("WEBVTT\n\n00:00:00.500 --> 00:00:02.000\nWelcome aboard\n\n"
       "00:00:03.000 --> 00:00:04.500\nThe old lighthouse keeper waves\n\n"
       "00:00:05.000 --> 00:00:05.900\nGoodbye\n")


class DownloadSearchClip(EngineCase):
    def test_find_a_download_by_its_subtitles_and_clip_the_passage(self):
        self.srv.add("/m/tour.mp4", media_bytes("video.mp4", 6), "video/mp4")
        self.srv.add("/m/tour.en.vtt", VTT, "text/vtt")
        self.srv.add_page("/watch", embed_page("Harbour tour", "/m/tour.mp4", tracks=[("en", "/m/tour.en.vtt")]))
        done = self.eng.result("download.start", self.download_params(self.srv.url("/watch"), subtitleMode="file"),
                               timeout=60)
        media = done["path"]
        self.assertTrue(os.path.isfile(media))

        found = self.eng.result("search.query", {"text": "lighthouse"})
        self.assertEqual(found["query"], "lighthouse")
        self.assertEqual(len(found["hits"]), 1)
        hit = found["hits"][0]
        self.assertEqual((hit["mediaPath"], hit["title"], hit["language"], hit["startMs"], hit["endMs"]),
                         (media, "Harbour tour", "en", 3000, 4500))
        self.assertEqual(hit["excerpt"], "The old \u2039lighthouse\u203a keeper waves")
        self.assertTrue(hit["exists"])
        self.assertIn(media, self.eng.result("search.status")["transcribed"])

        clip = self.eng.result("clip.extract", {"path": media, "startMs": hit["startMs"], "endMs": hit["endMs"],
                                                "jobId": "clip-e2e", "mode": "precise", "audioOnly": False},
                               timeout=60)
        self.assertEqual(os.path.dirname(clip["path"]), os.path.dirname(media))
        self.assertAlmostEqual(streams(clip["path"])["video"], 1.5, delta=0.1)  # the source runs at 10 fps
        items = self.eng.result("library.list", {"limit": 120, "offset": 0})["items"]
        listed = {i["path"]: i for i in items}
        self.assertEqual(listed[clip["path"]]["kind"], "video")
        self.assertEqual(listed[clip["path"]]["title"], "Harbour tour (clip 00m03s-00m04.500s)")
        self.assertEqual(listed[clip["path"]]["url"], self.srv.url("/watch"))


if __name__ == "__main__":
    unittest.main()
