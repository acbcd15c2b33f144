"""At most three downloads transfer at once; the others wait "queued", in order, and can be paused,
resumed and cancelled while they wait."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

from fixtures.enginecase import EngineCase  # noqa: E402
from fixtures.media import media_bytes  # noqa: E402

SLOTS = 3


class TransferSlotTest(EngineCase):
    def setUp(self):
        super().setUp()
        self.video = media_bytes("video.mp4")

    def states(self, job):
        return [e["params"]["state"] for e in self.eng.events_for(job, "job.state")]

    def test_ten_downloads_at_once_open_at_most_three_transfers(self):
        # Slow enough that the transfers overlap on any machine.
        rate = max(len(self.video) // 2, 1)
        jobs = []
        for n in range(10):
            self.srv.add("/v%d.mp4" % n, self.video, "video/mp4", rate=rate)
        for n in range(10):
            jobs.append(self.start_download(self.srv.url("/v%d.mp4" % n), fileName="clip %d" % n))
        for n, (rid, job) in enumerate(jobs):
            reply = self.eng.reply(rid, 120)
            self.assertIn("result", reply, reply)
            self.assertEqual(Path(reply["result"]["path"]).read_bytes(), self.video, n)
        self.assertLessEqual(self.srv.peak_open_bodies, SLOTS)
        self.assertEqual(self.srv.peak_open_bodies, SLOTS)  # the slots were really used side by side
        self.assertEqual(sorted(self.files_in(self.out)), sorted("clip %d.mp4" % n for n in range(10)))
        queued = [job for _, job in jobs if "queued" in self.states(job)]
        self.assertEqual(queued, [job for _, job in jobs[SLOTS:]])
        for _, job in jobs[SLOTS:]:
            self.assertEqual(self.states(job)[0], "queued")
            names = [e["event"] for e in self.eng.events_for(job)]
            self.assertLess(names.index("job.state"), names.index("job.started"))
        started = [e["params"]["jobId"] for e in self.eng.events if e["event"] == "job.started"]
        self.assertEqual(set(started[:SLOTS]), {job for _, job in jobs[:SLOTS]})

    def test_pause_resume_and_cancel_of_queued_jobs(self):
        held = [self.srv.add("/h%d.mp4" % n, self.video, "video/mp4", hold_at=4000) for n in range(SLOTS)]
        self.srv.add("/w.mp4", self.video, "video/mp4")
        running = [self.start_download(self.srv.url("/h%d.mp4" % n)) for n in range(SLOTS)]
        for _, job in running:
            self.wait_progress(job, 4000)
        rid_p, paused = self.start_download(self.srv.url("/w.mp4"), fileName="paused")
        rid_c, cancelled = self.start_download(self.srv.url("/w.mp4"), fileName="cancelled")
        rid_l, last = self.start_download(self.srv.url("/w.mp4"), fileName="last")
        for job in (paused, cancelled, last):
            self.eng.wait_event(lambda e, j=job: e["event"] == "job.state" and e["params"]["jobId"] == j)

        self.assertEqual(self.eng.result("download.pause", {"jobId": paused}), {"jobId": paused, "running": True})
        err = self.eng.reply(rid_p)["error"]
        self.assertEqual((err["code"], err.get("detail")), (1001, "paused"))
        self.assertEqual(self.eng.result("download.cancel", {"jobId": cancelled}),
                         {"jobId": cancelled, "running": True})
        err = self.eng.reply(rid_c)["error"]
        self.assertEqual(err["code"], 1001)
        self.assertNotIn("detail", err)
        self.assertEqual(self.states(cancelled), ["queued", "cancelled"])
        # A second pause finds nothing: the job is no longer the engine's.
        self.assertEqual(self.eng.result("download.pause", {"jobId": paused})["running"], False)

        # Resumed while every slot is still busy: it waits again, behind the job that waited longest.
        rid_p = self.eng.send("download.start", self.download_params(self.srv.url("/w.mp4"), paused,
                                                                     fileName="paused"))
        self.eng.wait_event(lambda e: e["event"] == "job.state" and e["params"]["jobId"] == paused
                            and len(self.states(paused)) == 2)
        self.assertEqual(self.states(paused), ["queued", "queued"])
        # One slot frees: the job that waited longest takes it, the resumed one keeps waiting.
        held[0].gate.set()
        self.assertIn("result", self.eng.reply(running[0][0], 60))
        self.eng.wait_event(lambda e: e["event"] == "job.started" and e["params"]["jobId"] == last)
        self.assertEqual(self.eng.events_for(paused, "job.started"), [])
        for route in held[1:]:
            route.gate.set()
        for rid, _ in running[1:]:
            self.assertIn("result", self.eng.reply(rid, 60))
        done_last = self.eng.reply(rid_l, 60)["result"]
        done_paused = self.eng.reply(rid_p, 60)["result"]
        self.assertEqual(Path(done_paused["path"]).read_bytes(), self.video)
        self.assertEqual(Path(done_last["path"]).read_bytes(), self.video)
        started = [e["params"]["jobId"] for e in self.eng.events if e["event"] == "job.started"]
        self.assertEqual(started[SLOTS:], [last, paused])
        self.assertEqual(self.eng.events_for(cancelled, "job.started"), [])
        self.assertFalse(any(p.name.startswith("cancelled") for p in self.out.iterdir()))

    def test_five_hundred_waiting_downloads_leave_other_requests_answered(self):
        held = [self.srv.add("/h%d.mp4" % n, self.video, "video/mp4", hold_at=4000) for n in range(SLOTS)]
        running = [self.start_download(self.srv.url("/h%d.mp4" % n)) for n in range(SLOTS)]
        for _, job in running:
            self.wait_progress(job, 4000)
        self.srv.add("/w.mp4", self.video, "video/mp4")
        waiting = [self.start_download(self.srv.url("/w.mp4"), fileName="w%d" % n) for n in range(500)]
        self.srv.add_page("/page", "<html><head><title>Page</title></head><body>"
                                   '<video src="/w.mp4"></video></body></html>')
        analysis = self.eng.result("analyze", {"url": self.srv.url("/page"), "cookieSource": "None",
                                               "cookiesFile": "", "forceGeneric": False}, timeout=60)
        self.assertEqual(analysis["title"], "Page")
        for _, job in waiting:
            self.assertEqual(self.eng.result("download.cancel", {"jobId": job})["running"], True)
        for rid, _ in waiting:
            self.assertEqual(self.eng.reply(rid)["error"]["code"], 1001)
        for route in held:
            route.gate.set()
        for rid, _ in running:
            self.assertIn("result", self.eng.reply(rid, 60))


if __name__ == "__main__":
    unittest.main()
