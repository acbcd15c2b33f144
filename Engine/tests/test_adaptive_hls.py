"""HLS master playlists analysed and downloaded at the chosen quality with the right audio and
subtitles, paused and resumed, against streams made with ffmpeg."""
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

from fixtures.adaptivecase import HLS, AdaptiveCase, frame_hashes, language, streams  # noqa: E402
from fixtures.httpserver import embed_page  # noqa: E402
from fixtures.media import hls_master_files  # noqa: E402


class HlsMasterTest(AdaptiveCase):
    def setUp(self):
        super().setUp()
        self.serve("/h", hls_master_files())
        self.url = self.srv.url("/h/master.m3u8")

    def test_analysis_offers_what_the_renditions_offer(self):
        result = self.analyze(self.url)
        # 288 and 432 rows both count as 360p (below the lowest name, between two names).
        self.assertEqual(result["availableQualities"], ["720p", "480p", "360p", "audio"])
        self.assertEqual((result["isListing"], result["probed"]), (False, True))
        self.assertTrue(result["sourceLabel"].startswith("1280×720"), result)
        self.assertAlmostEqual(result["duration"], 4.0, delta=0.2)
        self.assertEqual(result["subtitleLanguages"], ["en", "fr"])

    def test_each_quality_takes_the_right_rendition_and_one_audio(self):
        self.set_language("de")  # no German audio: the default (English) one
        cases = [
            ("720p", {}, 720, "en"),
            ("1080p", {}, 720, "en"),  # above the best: the best
            ("360p", {}, 288, "en"),  # the best one not above 360 rows
            ("480p", {"container": "MKV"}, 432, "en"),
        ]
        for quality, over, height, lang in cases:
            with self.subTest(quality=quality):
                path = self.done(self.url, quality=quality, fileName=f"q {quality}", **over)
                info, video, audio, _ = streams(path)
                self.assertEqual([v["height"] for v in video], [height])
                self.assertEqual([language(a) for a in audio], [lang])
                self.assertAlmostEqual(info.duration, 4.0, delta=0.3)
        self.set_language("fr")
        path = self.done(self.url, quality="720p", fileName="french")
        _, video, audio, _ = streams(path)
        self.assertEqual(([v["height"] for v in video], [language(a) for a in audio]), ([720], ["fr"]))
        path = self.done(self.url, quality="audio", audioOnly=True, container="MP3", fileName="sound")
        info, video, audio, _ = streams(path)
        self.assertEqual((path.suffix, video, len(audio)), (".mp3", [], 1))
        self.assertAlmostEqual(info.duration, 4.0, delta=0.3)
        self.assertFalse([p for p in self.out.iterdir() if p.name.endswith(".parts")])

    def test_subtitles_saved_and_embedded(self):
        path = self.done(self.url, quality="360p", subtitleMode="both", fileName="with subs")
        _, _, _, subs = streams(path)
        self.assertEqual(sorted(language(s) for s in subs), ["en", "fr"])
        saved = {p.name: p.read_text() for p in self.out.glob("with subs.*.vtt")}
        self.assertEqual(sorted(saved), ["with subs.en.vtt", "with subs.fr.vtt"])
        # Both segments of each playlist, joined in order.
        self.assertLess(saved["with subs.en.vtt"].index("Hello there"), saved["with subs.en.vtt"].index("Goodbye"))
        self.assertIn("Au revoir", saved["with subs.fr.vtt"])

    def test_pause_keeps_segments_and_resume_fetches_only_the_rest(self):
        reference = self.done(self.url, quality="720p", fileName="reference")
        self.srv.clear_log()
        route = self.srv.routes["/h/s3_002.ts"]
        route.hold_at = 100
        route.gate.clear()
        rid, job = self.start_download(self.url, quality="720p", fileName="paused")
        self.eng.wait_event(lambda e: e["event"] == "job.progress" and e["params"]["jobId"] == job
                            and e["params"]["fragment"] >= 4, timeout=60)
        self.eng.result("download.pause", {"jobId": job})
        err = self.eng.reply(rid, 60)["error"]
        self.assertEqual((err["code"], err.get("detail")), (1001, "paused"))
        folders = [p for p in self.out.iterdir() if p.name.endswith(".parts")]
        self.assertEqual(len(folders), 1)
        kept = {p.name for p in folders[0].iterdir() if not p.name.endswith(".tmp")}
        self.assertTrue(kept)
        progress = [e["params"] for e in self.eng.events_for(job, "job.progress")]
        self.assertTrue(all(p["fragmentCount"] == progress[0]["fragmentCount"] > 4 for p in progress))
        self.assertTrue(all(0 < p["total"] and p["downloaded"] <= p["total"] for p in progress[1:]), progress)

        route.gate.set()
        fetched_before = {r.path for r in self.srv.requests if r.command_is("GET") and r.path.endswith(".ts")}
        self.srv.clear_log()
        resumed = self.eng.call("download.start", self.download_params(self.url, job, quality="720p",
                                                                       fileName="paused"), timeout=120)
        self.assertIn("result", resumed, resumed)
        path = Path(resumed["result"]["path"])
        fetched_after = {r.path for r in self.srv.requests if r.command_is("GET") and r.path.endswith(".ts")}
        self.assertTrue(fetched_after)
        # Segments complete before the pause are not fetched again.
        # Kept files are "<track>-<n>.ts" for segment n - 1 of its playlist: the 720p video is s3_*,
        # the English audio s4_*.
        prefix = {"video": "s3", "audio": "s4"}
        done_before = {f"/h/{prefix[name.split('-')[0]]}_{int(name.split('-')[1][:6]) - 1:03d}.ts"
                       for name in kept if name.endswith(".ts")}
        self.assertFalse(done_before & fetched_after, (done_before, fetched_after))
        self.assertTrue(done_before <= fetched_before)
        self.assertEqual(frame_hashes(path), frame_hashes(reference))
        self.assertFalse([p for p in self.out.iterdir() if p.name.endswith(".parts")])

    def test_cancel_leaves_nothing(self):
        route = self.srv.routes["/h/s3_001.ts"]
        route.hold_at = 100
        route.gate.clear()
        rid, job = self.start_download(self.url, quality="720p")
        self.eng.wait_event(lambda e: e["event"] == "job.progress" and e["params"]["jobId"] == job
                            and e["params"]["downloaded"] > 0, timeout=60)
        self.eng.result("download.cancel", {"jobId": job})
        self.assertEqual(self.eng.reply(rid, 60)["error"]["code"], 1001)
        self.assertEqual(self.files_in(self.out), [])
        self.assertEqual(self.eng.events_for(job, "job.state")[-1]["params"]["state"], "cancelled")

    def test_a_page_embedding_the_manifest(self):
        self.srv.add_page("/watch", embed_page("Harbour tour", "/h/master.m3u8", mime=HLS))
        result = self.analyze(self.srv.url("/watch"))
        self.assertEqual((result["title"], result["availableQualities"]),
                         ("Harbour tour", ["720p", "480p", "360p", "audio"]))
        path = self.done(self.srv.url("/watch"), quality="480p")
        self.assertEqual(path.name, "Harbour tour.mp4")
        self.assertEqual([v["height"] for v in streams(path)[1]], [432])


if __name__ == "__main__":
    unittest.main()
