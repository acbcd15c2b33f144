"""The whole road through the protocol: analyse a page, download its video with live progress, pause
and resume it, find it in the library, and remove it to the trash."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from fixtures.enginecase import EngineCase  # noqa: E402
from fixtures.httpserver import embed_page  # noqa: E402
from fixtures.media import media_bytes  # noqa: E402


class EndToEndTest(EngineCase):
    def test_analyse_download_pause_resume_library_trash(self):
        video = media_bytes("video720.mp4")
        route = self.srv.add("/media/talk.mp4", video, "video/mp4", rate=len(video), chunk=4096,
                             hold_at=len(video) // 2)
        self.srv.add("/media/poster.jpg", media_bytes("poster.jpg"), "image/jpeg")
        self.srv.add_page("/talks/42", embed_page("A talk about testing", "/media/talk.mp4",
                                                  poster="/media/poster.jpg"))
        page = self.srv.url("/talks/42")

        analysis = self.eng.result("analyze", {"url": page, "cookieSource": "None", "cookiesFile": "",
                                               "forceGeneric": False}, timeout=60)
        self.assertEqual((analysis["title"], analysis["isListing"]), ("A talk about testing", False))
        self.assertEqual(analysis["availableQualities"], ["720p", "audio"])

        rid, job = self.start_download(page)
        half = self.wait_progress(job, len(video) // 2)["params"]
        self.assertEqual(half["total"], len(video))
        self.assertAlmostEqual(half["fraction"], 0.5, delta=0.01)
        live = [e["params"] for e in self.eng.events_for(job, "job.progress")]
        self.assertGreaterEqual(len(live), 3)  # figures arrived while the bytes did
        self.assertTrue(any(0 < p["fraction"] < 0.5 and p["speed"] > 0 and p["eta"] > 0 for p in live))

        self.eng.result("download.pause", {"jobId": job})
        paused = self.eng.reply(rid, 30)["error"]
        self.assertEqual((paused["code"], paused["detail"]), (1001, "paused"))
        self.assertEqual(self.eng.result("library.list", {"limit": 120, "offset": 0})["items"], [])

        route.gate.set()
        self.srv.clear_log()
        done = self.eng.result("download.start", self.download_params(page, job), timeout=30)
        path = Path(done["path"])
        self.assertEqual(path.read_bytes(), video)
        self.assertEqual(self.srv.requests_for("/media/talk.mp4", "GET")[0].header("Range"),
                         "bytes=%d-" % (len(video) // 2))
        self.assertEqual(self.files_in(self.out), ["A talk about testing.mp4"])

        items = self.eng.result("library.list", {"limit": 120, "offset": 0})["items"]
        self.assertEqual([(i["path"], i["title"], i["url"], i["exists"]) for i in items],
                         [(str(path), "A talk about testing", page, True)])
        self.assertEqual(items[0]["thumbURL"], self.srv.url("/media/poster.jpg"))

        self.eng.result("library.remove", {"paths": [str(path)], "deleteFiles": True})
        self.assertFalse(path.exists())
        self.assertEqual(self.trash_files(), ["A talk about testing.mp4"])
        self.assertEqual((self.data_home / "Trash" / "files" / path.name).read_bytes(), video)
        self.assertEqual(self.eng.result("library.list", {"limit": 120, "offset": 0})["total"], 0)


if __name__ == "__main__":
    unittest.main()
