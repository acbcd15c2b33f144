"""A video with English speech downloaded from a page, transcribed and found by its words under the library's
title and path, all on this machine."""
import unittest

from tests.fixtures import speech
from tests.fixtures.enginecase import EngineCase

WAIT = 240.0


@unittest.skipUnless(speech.have_testdata(), "pocketsphinx-testdata and ffmpeg are needed (scripts/setup)")
class DownloadedVideo(EngineCase):
    def test_downloaded_transcribed_and_searched(self):
        video = speech.joined("lecture.mp4")
        self.srv.add("/media/lecture.mp4", video.path.read_bytes(), "video/mp4")
        self.srv.add_page("/watch", '<html><head><title>Sense and Sensibility, read aloud</title></head><body>'
                                    '<video src="/media/lecture.mp4"></video></body></html>')
        downloaded = self.eng.result("download.start", self.download_params(self.srv.url("/watch")), timeout=WAIT)
        path = downloaded["path"]
        item = [i for i in self.eng.result("library.list", {"limit": 120, "offset": 0})["items"]
                if i["path"] == path][0]

        result = self.eng.result("transcribe.start", {"path": path, "jobId": "D1"}, timeout=WAIT)
        self.assertGreater(result["segments"], 0)
        self.assertEqual(self.eng.events_for("D1", "transcribe.state")[0]["params"]["title"], item["title"])

        hits = self.eng.result("search.query", {"text": "selfish"})["hits"]
        self.assertEqual(len(hits), 1, hits)
        self.assertEqual((hits[0]["mediaPath"], hits[0]["title"], hits[0]["exists"]), (path, item["title"], True))
        start, end = video.spans_ms[2]
        self.assertTrue(start - 300 <= hits[0]["startMs"] < hits[0]["endMs"] <= end + 300, hits[0])
        # A full rescan finds the same transcript once, beside the library's file.
        self.eng.result("search.reindex")
        self.assertEqual(len(self.eng.result("search.query", {"text": "selfish"})["hits"]), 1)
        self.assertIn(path, self.eng.result("search.status")["transcribed"])


if __name__ == "__main__":
    unittest.main()
