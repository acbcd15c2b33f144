"""Downloads end to end through the engine's protocol, against a local server."""

import math
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

from fixtures.enginecase import EngineCase  # noqa: E402
from fixtures.media import media_bytes  # noqa: E402


class DownloadTest(EngineCase):
    def setUp(self):
        super().setUp()
        self.video = media_bytes("video.mp4")

    def assert_done(self, rid, timeout=60):
        reply = self.eng.reply(rid, timeout)
        self.assertIn("result", reply, reply)
        return reply["result"]

    def assert_error(self, rid, timeout=60):
        reply = self.eng.reply(rid, timeout)
        self.assertIn("error", reply, reply)
        return reply["error"]

    def test_direct_file_with_live_progress_and_events_in_order(self):
        self.srv.add("/files/Clip_one.mp4", self.video, "video/mp4", rate=len(self.video) * 2, chunk=2048)
        began = time.monotonic()
        rid, job = self.start_download(self.srv.url("/files/Clip_one.mp4"))
        result = self.assert_done(rid)
        took = time.monotonic() - began
        path = Path(result["path"])
        self.assertEqual(path, self.out / "Clip one.mp4")
        self.assertEqual(path.read_bytes(), self.video)
        self.assertEqual(result["jobId"], job)
        self.assertEqual(result["title"], "Clip one")
        self.assertEqual(self.files_in(self.out), ["Clip one.mp4"])  # no partial file left behind

        events = self.eng.events_for(job)
        names = [e["event"] for e in events]
        self.assertEqual(names[0], "job.started")
        self.assertEqual(events[0]["params"]["outputDir"], str(self.out))
        self.assertLess(names.index("job.meta"), names.index("job.progress"))
        done = [e for e in events if e["event"] == "job.state"]
        self.assertEqual(done[-1]["params"], {"jobId": job, "state": "done", "filename": str(path)})
        self.assertEqual(names[-1], "job.state")
        progress = [e["params"] for e in events if e["event"] == "job.progress"]
        self.assertGreaterEqual(len(progress), 3)
        got = [p["downloaded"] for p in progress]
        self.assertEqual(got, sorted(got))
        self.assertEqual(progress[-1]["downloaded"], len(self.video))
        self.assertEqual(progress[-1]["fraction"], 1.0)
        for p in progress:
            self.assertEqual(p["total"], len(self.video))
            for key in ("speed", "eta", "fraction"):
                self.assertTrue(math.isfinite(p[key]) and p[key] >= 0, p)
            self.assertEqual(p["speedEngine"]["downloaded"], p["downloaded"])
        self.assertTrue(any(p["speed"] > 0 for p in progress))
        # never much more than 10 progress events a second
        self.assertLessEqual(len(progress), took * 10 + 2, (len(progress), took))

    def test_pause_then_resume_continues_with_a_range_request(self):
        for ranges in (True, False):
            with self.subTest(ranges=ranges):
                name = "/r%d.mp4" % ranges
                route = self.srv.add(name, self.video, "video/mp4", ranges=ranges, hold_at=12000)
                rid, job = self.start_download(self.srv.url(name), fileName="held %d" % ranges)
                self.wait_progress(job, 12000)
                self.assertEqual(self.eng.result("download.pause", {"jobId": job})["running"], True)
                err = self.assert_error(rid)
                self.assertEqual((err["code"], err.get("detail")), (1001, "paused"))
                parts = [p for p in self.out.iterdir() if p.name.endswith(".part")]
                self.assertEqual(len(parts), 1)
                self.assertEqual(parts[0].stat().st_size, 12000)
                self.assertEqual(parts[0].read_bytes(), self.video[:12000])

                route.gate.set()
                self.srv.clear_log()
                rid = self.eng.send("download.start", self.download_params(self.srv.url(name), job,
                                                                             fileName="held %d" % ranges))
                result = self.assert_done(rid)
                self.assertEqual(Path(result["path"]).read_bytes(), self.video)
                gets = self.srv.requests_for(name, "GET")
                self.assertEqual(gets[-1].header("Range"), "bytes=12000-")
                self.assertIsNotNone(gets[-1].header("If-Range"))
                self.assertFalse(any(p.name.endswith(".part") for p in self.out.iterdir()))
                restarted = [e for e in self.eng.events_for(job, "job.log")
                             if e["params"]["key"] == "log_download_restarted"]
                self.assertEqual(bool(restarted), not ranges)

    def test_cancel_removes_the_partial_file(self):
        self.srv.add("/c.mp4", self.video, "video/mp4", hold_at=8000)
        rid, job = self.start_download(self.srv.url("/c.mp4"))
        self.wait_progress(job, 8000)
        self.eng.result("download.cancel", {"jobId": job})
        err = self.assert_error(rid)
        self.assertEqual(err["code"], 1001)
        self.assertNotIn("detail", err)
        self.assertEqual(self.files_in(self.out), [])
        self.assertEqual(self.eng.events_for(job, "job.state")[-1]["params"]["state"], "cancelled")

    def test_cancel_of_a_paused_job_removes_what_it_kept(self):
        self.srv.add("/p.mp4", self.video, "video/mp4", hold_at=8000)
        rid, job = self.start_download(self.srv.url("/p.mp4"))
        self.wait_progress(job, 8000)
        self.eng.result("download.pause", {"jobId": job})
        self.assertEqual(self.assert_error(rid)["detail"], "paused")
        self.assertEqual(len(self.files_in(self.out)), 1)
        self.eng.result("download.cancel", {"jobId": job})
        self.assertEqual(self.files_in(self.out), [])

    def test_dropped_connection_fails_clearly_and_a_retry_resumes(self):
        route = self.srv.add("/d.mp4", self.video, "video/mp4", drop_after=10000)
        rid, job = self.start_download(self.srv.url("/d.mp4"))
        err = self.assert_error(rid)
        self.assertNotEqual(err["code"], 1001)
        self.assertIn("connection was lost", err["message"])
        self.assertIn("9.8 KB", err["message"])
        failed = self.eng.events_for(job, "job.state")[-1]["params"]
        self.assertEqual((failed["state"], failed["message"]), ("failed", err["message"]))
        self.assertFalse(any(p.suffix == ".mp4" for p in self.out.iterdir()))  # no corrupt final file
        route.drop_after = None
        result = self.assert_done(self.eng.send("download.start", self.download_params(self.srv.url("/d.mp4"), job)))
        self.assertEqual(Path(result["path"]).read_bytes(), self.video)
        self.assertEqual(self.srv.requests_for("/d.mp4", "GET")[-1].header("Range"), "bytes=10000-")

    def test_server_sending_another_range_gets_the_whole_file_fetched(self):
        self.srv.add("/w.mp4", self.video, "video/mp4", drop_after=10000)
        rid, job = self.start_download(self.srv.url("/w.mp4"))
        self.assertIn("error", self.eng.reply(rid, 60))
        video = self.video

        def wrong_range(handler):  # answers every range from byte 5000, whatever was asked
            start = 5000 if handler.headers.get("Range") is not None else 0
            handler.send_response(206 if start else 200)
            handler.send_header("Content-Type", "video/mp4")
            if start:
                handler.send_header("Content-Range", "bytes %d-%d/%d" % (start, len(video) - 1, len(video)))
            handler.send_header("Content-Length", str(len(video) - start))
            handler.end_headers()
            if handler.command != "HEAD":
                handler.wfile.write(video[start:])
        self.srv.add("/w.mp4", handler=wrong_range)
        result = self.assert_done(self.eng.send("download.start", self.download_params(self.srv.url("/w.mp4"), job)))
        self.assertEqual(Path(result["path"]).read_bytes(), self.video)

    def test_two_downloads_at_once_and_requests_stay_answered(self):
        a = self.srv.add("/a.mp4", self.video, "video/mp4", hold_at=5000)
        other = media_bytes("audio.m4a")
        b = self.srv.add("/b.m4a", other, "audio/mp4", hold_at=5000)
        rid_a, job_a = self.start_download(self.srv.url("/a.mp4"))
        rid_b, job_b = self.start_download(self.srv.url("/b.m4a"), container="M4A")
        self.wait_progress(job_a, 5000)
        self.wait_progress(job_b, 5000)
        # both are held mid-transfer, and the engine still answers at once
        self.assertIn("items", self.eng.result("library.list", {"limit": 120, "offset": 0}, timeout=15))
        a.gate.set()
        b.gate.set()
        ra, rb = self.assert_done(rid_a), self.assert_done(rid_b)
        self.assertEqual(Path(ra["path"]).read_bytes(), self.video)
        self.assertEqual(Path(rb["path"]).read_bytes(), other)
        self.assertEqual(Path(rb["path"]).suffix, ".m4a")

    def test_cookie_protected_file_needs_the_cookie_file(self):
        self.srv.add("/members/v.mp4", self.video, "video/mp4", cookie=("session", "s3cret"))
        cookie_file = self.tmp / "cookies.txt"
        cookie_file.write_text("# Netscape HTTP Cookie File\n"
                               "#HttpOnly_127.0.0.1\tFALSE\t/members\tFALSE\t0\tsession\ts3cret\n")
        err = self.assert_error(self.start_download(self.srv.url("/members/v.mp4"))[0])
        self.assertIn("403", err["message"])
        rid, _ = self.start_download(self.srv.url("/members/v.mp4"), cookiesFile=str(cookie_file),
                                     cookieSource="None")
        self.assertEqual(Path(self.assert_done(rid)["path"]).read_bytes(), self.video)
        err = self.assert_error(self.start_download(self.srv.url("/members/v.mp4"),
                                                    cookiesFile=str(self.tmp / "missing.txt"))[0])
        self.assertIn("missing.txt", err["message"])

    def test_file_name_and_output_dir_are_honoured_and_made_unique(self):
        self.srv.add("/v.mp4", self.video, "video/mp4")
        target = self.out / "chosen" / "deeper"
        first = self.assert_done(self.start_download(self.srv.url("/v.mp4"), fileName="My: choice.mp4",
                                                     outputDir=str(target))[0])
        second = self.assert_done(self.start_download(self.srv.url("/v.mp4"), fileName="My: choice",
                                                      outputDir=str(target))[0])
        self.assertEqual(Path(first["path"]), target / "My choice.mp4")
        self.assertEqual(Path(second["path"]), target / "My choice (2).mp4")
        self.assertEqual(Path(second["path"]).read_bytes(), self.video)

    def test_empty_output_dir_uses_the_settings_folder(self):
        self.srv.add("/s.mp4", self.video, "video/mp4")
        settings = self.eng.call("settings.get")
        folder = settings["result"]["outputDir"] if "result" in settings else str(self.home / "Downloads")
        result = self.assert_done(self.start_download(self.srv.url("/s.mp4"), outputDir="")[0])
        self.assertEqual(str(Path(result["path"]).parent), folder)

    def test_listing_is_refused_unless_allowed(self):
        self.srv.add("/a.mp4", self.video, "video/mp4")
        self.srv.add("/b.mp4", self.video, "video/mp4")
        self.srv.add("/list.m3u", "#EXTM3U\n#EXTINF:2,One\n/a.mp4\n#EXTINF:2,Two\n/b.mp4\n", "audio/x-mpegurl")
        err = self.assert_error(self.start_download(self.srv.url("/list.m3u"))[0])
        self.assertTrue(err["detail"].startswith("listing"), err)
        result = self.assert_done(self.start_download(self.srv.url("/list.m3u"), allowListing=True)[0])
        folder = Path(result["path"])
        self.assertEqual(sorted(p.name for p in folder.iterdir()), ["One.mp4", "Two.mp4"])

    def test_paused_listing_continues_in_the_same_folder(self):
        self.srv.add("/one.mp4", self.video, "video/mp4")
        two = self.srv.add("/two.mp4", self.video, "video/mp4", hold_at=6000)
        self.srv.add("/pl.m3u", "#EXTM3U\n#PLAYLIST:Set\n#EXTINF:2,One\n/one.mp4\n#EXTINF:2,Two\n/two.mp4\n",
                     "audio/x-mpegurl")
        rid, job = self.start_download(self.srv.url("/pl.m3u"), allowListing=True)
        self.eng.wait_event(lambda e: e["event"] == "job.progress" and e["params"]["jobId"] == job
                            and e["params"]["fragment"] == 2 and e["params"]["fraction"] > 0.5)
        self.eng.result("download.pause", {"jobId": job})
        self.assertEqual(self.assert_error(rid)["detail"], "paused")
        two.gate.set()
        self.srv.clear_log()
        result = self.assert_done(self.eng.send("download.start", self.download_params(
            self.srv.url("/pl.m3u"), job, allowListing=True)))
        self.assertEqual(result["path"], str(self.out / "Set"))
        self.assertEqual(self.files_in(self.out), ["Set"])
        self.assertEqual(self.files_in(self.out / "Set"), ["One.mp4", "Two.mp4"])
        self.assertEqual(self.srv.requests_for("/one.mp4", "GET"), [])  # finished entries are not fetched again
        self.assertEqual(self.srv.requests_for("/two.mp4", "GET")[-1].header("Range"), "bytes=6000-")

    def test_page_of_playlists_is_a_listing_whose_playlists_are_expanded(self):
        from fixtures.httpserver import listing_page
        self.srv.add("/a.mp4", self.video, "video/mp4")
        self.srv.add("/b.mp4", self.video, "video/mp4")
        self.srv.add("/one.m3u", "#EXTM3U\n#EXTINF:2,A\n/a.mp4\n", "audio/x-mpegurl")
        self.srv.add("/two.m3u", "#EXTM3U\n#EXTINF:2,B\n/b.mp4\n#EXTINF:2,A again\n/a.mp4\n", "audio/x-mpegurl")
        self.srv.add_page("/shows", listing_page("Shows", [("/one.m3u", "One"), ("/two.m3u", "Two")]))
        analysis = self.eng.result("analyze", {"url": self.srv.url("/shows"), "cookieSource": "None",
                                               "cookiesFile": "", "forceGeneric": False}, timeout=60)
        self.assertEqual((analysis["isListing"], analysis["title"]), (True, "Shows"))
        err = self.assert_error(self.start_download(self.srv.url("/shows"))[0])
        self.assertTrue(err["detail"].startswith("listing"))
        result = self.assert_done(self.start_download(self.srv.url("/shows"), allowListing=True)[0])
        self.assertEqual(self.files_in(Path(result["path"])), ["A.mp4", "B.mp4"])

    def test_hls_stream_is_saved_as_one_file(self):
        from fixtures.media import hls_files
        for name, data in hls_files().items():
            self.srv.add("/s/" + name, data, "video/mp2t")
        self.srv.add_page("/live", '<html><head><title>Streamed</title></head><body>'
                                   '<video src="/s/index.m3u8"></video></body></html>')
        rid, job = self.start_download(self.srv.url("/live"))
        path = Path(self.assert_done(rid)["path"])
        self.assertEqual(path.name, "Streamed.mp4")
        from vamber_engine import media
        info = media.probe(str(path))
        self.assertTrue(info.has_video and info.has_audio)
        self.assertAlmostEqual(info.duration, 2.0, delta=0.3)
        self.assertEqual(self.files_in(self.out), ["Streamed.mp4"])

    def test_body_without_length_and_unusable_folder(self):
        self.srv.add("/nolen.mp4", self.video, "video/mp4", send_length=False, rate=len(self.video) * 4)
        rid, job = self.start_download(self.srv.url("/nolen.mp4"))
        self.assertEqual(Path(self.assert_done(rid)["path"]).read_bytes(), self.video)
        progress = [e["params"] for e in self.eng.events_for(job, "job.progress")]
        self.assertEqual(progress[0]["total"], 0)  # unknown while it lasts...
        self.assertEqual((progress[-1]["total"], progress[-1]["fraction"]), (len(self.video), 1.0))  # ...then known
        blocker = self.out / "a file"
        blocker.write_bytes(b"")
        err = self.assert_error(self.start_download(self.srv.url("/nolen.mp4"), outputDir=str(blocker / "sub"))[0])
        self.assertEqual(err["detail"], "outputDir")
        self.assertIn(str(blocker / "sub"), err["message"])

    def test_unknown_container_is_a_params_error(self):
        rid, _ = self.start_download(self.srv.url("/x.mp4"), container="AVI")
        err = self.assert_error(rid)
        self.assertEqual((err["code"], err["detail"]), (-32602, "container"))

    def test_start_of_a_running_job_is_refused(self):
        route = self.srv.add("/h.mp4", self.video, "video/mp4", hold_at=4000)
        rid, job = self.start_download(self.srv.url("/h.mp4"))
        self.wait_progress(job, 4000)
        err = self.assert_error(self.eng.send("download.start", self.download_params(self.srv.url("/h.mp4"), job)))
        self.assertEqual(err["detail"], "running")
        # The refusal is the error reply alone: the running download gets no state from it.
        route.gate.set()
        self.assert_done(rid)
        self.assertEqual([e["params"]["state"] for e in self.eng.events_for(job, "job.state")], ["done"])
        self.assertEqual(len(self.eng.events_for(job, "job.started")), 1)


if __name__ == "__main__":
    unittest.main()
