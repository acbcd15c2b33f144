"""Transcriptions queue and run one at a time; cancelling a running or a waiting one leaves nothing."""
import os
import unittest

from tests.fixtures import speech
from tests.test_transcribe_speech import WAIT, SpeechCase


class QueueAndCancel(SpeechCase):
    def test_one_at_a_time_and_cancel_running_and_waiting_jobs(self):
        # What an engine killed mid-job left behind goes when the next one transcribes.
        stale = self.tmp / "support" / "transcribing" / "job-killed"
        stale.mkdir(parents=True)
        (stale / "audio.pcm").write_bytes(b"\0" * 64000)
        long_media = speech.copy_to(speech.joined("long.mp4", repeat=3).path, self.media, "long.mp4")
        short_media = speech.copy_to(speech.joined("short.m4a", gap=1.0).path, self.media, "short.m4a")
        waiting_media = speech.copy_to(speech.tone(), self.media, "waiting.wav")
        first = self.engine.send("transcribe.start", {"path": str(long_media), "jobId": "A"})
        self.engine.wait_event(lambda e: e["event"] == "transcribe.state" and e["params"]["jobId"] == "A"
                               and e["params"]["state"] == "running", timeout=WAIT)
        second = self.engine.send("transcribe.start", {"path": str(short_media), "jobId": "B"})
        third = self.engine.send("transcribe.start", {"path": str(waiting_media), "jobId": "C"})
        for job, media, title in (("B", short_media, "short"), ("C", waiting_media, "waiting")):
            queued = self.engine.wait_event(lambda e, job=job: e["event"] == "transcribe.state"
                                            and e["params"]["jobId"] == job, timeout=WAIT)
            self.assertEqual(queued["params"], {"jobId": job, "path": str(media), "title": title, "state": "queued"})

        # The waiting one is cancelled without ever running.
        self.assertEqual(self.engine.result("transcribe.cancel", {"jobId": "C"}), {"cancelled": True})
        self.assertEqual(self.engine.reply(third, WAIT)["error"]["code"], 1001)
        self.assertEqual([s["state"] for s in self.states("C")], ["queued", "cancelled"])

        # The running one is stopped while it recognises.
        self.engine.wait_event(lambda e: e["event"] == "transcribe.progress" and e["params"]["jobId"] == "A"
                               and e["params"]["percent"] >= 20, timeout=WAIT)
        self.assertEqual(self.engine.result("transcribe.cancel", {"jobId": "A"}), {"cancelled": True})
        self.assertEqual(self.engine.reply(first, WAIT)["error"]["code"], 1001)
        self.assertEqual([s["state"] for s in self.states("A")], ["queued", "running", "cancelled"])

        # Then, and only then, the next one runs to its end.
        self.assertIn("result", self.engine.reply(second, WAIT))
        order = [(e["params"]["jobId"], e["params"]["state"]) for e in self.engine.events
                 if e["event"] == "transcribe.state"]
        self.assertLess(order.index(("A", "cancelled")), order.index(("B", "running")))
        self.assertEqual(order.count(("B", "running")), 1)
        self.assertNotIn(("C", "running"), order)

        self.assertEqual(speech.transcript_files(long_media), [])
        self.assertEqual(speech.transcript_files(waiting_media), [])
        self.assertEqual(len(speech.transcript_files(short_media)), 3)
        # No decoded sound is left behind either.
        self.assertEqual(os.listdir(self.tmp / "support" / "transcribing"), [])
        self.assertEqual(self.engine.result("transcribe.cancel", {"jobId": "A"}), {"cancelled": False})

    def test_a_job_id_in_use_is_refused(self):
        media = speech.copy_to(speech.joined("long.mp4", repeat=3).path, self.media, "long.mp4")
        first = self.engine.send("transcribe.start", {"path": str(media), "jobId": "SAME"})
        self.engine.wait_event(lambda e: e["event"] == "transcribe.state" and e["params"]["jobId"] == "SAME",
                               timeout=WAIT)
        again = self.engine.call("transcribe.start", {"path": str(media), "jobId": "SAME"}, timeout=WAIT)
        self.assertIn("already", again["error"]["message"])
        self.engine.result("transcribe.cancel", {"jobId": "SAME"})
        self.assertEqual(self.engine.reply(first, WAIT)["error"]["code"], 1001)


if __name__ == "__main__":
    unittest.main()
