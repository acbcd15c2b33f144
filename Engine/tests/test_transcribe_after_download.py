"""Finished downloads transcribed by the engine while "transcriptionEnabled" is on: from the speech, or
from the source's subtitles in the transcription language, with the events, files and index of a
"transcribe.start"."""
import json
import unittest
from pathlib import Path

from tests.fixtures import speech
from tests.fixtures.enginecase import EngineCase
from tests.fixtures.httpserver import embed_page, m3u
from tests.fixtures.media import hls_master_files, media_bytes

WAIT = 240.0
VTT = ("WEBVTT\n\n00:00:00.000 --> 00:00:01.000\nThe zeppelin lands at noon\n\n"
       "00:00:01.000 --> 00:00:02.000\nEveryone waves\n")


class AfterDownload(EngineCase):
    def setUp(self):
        super().setUp()
        self.transcripts = self.tmp / "transcripts"

    def settings(self, **values):
        values.setdefault("transcriptDir", str(self.transcripts))
        self.eng.result("settings.set", {"values": values})

    def states(self, state=None):
        return [e["params"] for e in self.eng.events if e["event"] == "transcribe.state"
                and (state is None or e["params"]["state"] == state)]

    def wait_done(self, path, start=0):
        return self.eng.wait_event(lambda e: e["event"] == "transcribe.state" and e["params"]["path"] == path
                                   and e["params"]["state"] in ("done", "failed"), WAIT, start=start)["params"]

    def hits(self, word):
        return self.eng.result("search.query", {"text": word})["hits"]

    def serve_subtitled(self, name, title):
        self.srv.add(f"/media/{name}.mp4", media_bytes("video.mp4"), "video/mp4")
        self.srv.add(f"/subs/{name}.en.vtt", VTT, "text/vtt")
        self.srv.add(f"/subs/{name}.de.vtt", VTT.replace("zeppelin", "luftschiff"), "text/vtt")
        self.srv.add_page(f"/watch/{name}", embed_page(title, f"/media/{name}.mp4",
                                                        tracks=[("de", f"/subs/{name}.de.vtt"),
                                                                ("en", f"/subs/{name}.en.vtt")]))
        return self.srv.url(f"/watch/{name}")

    @unittest.skipUnless(speech.have_testdata(), "pocketsphinx-testdata and ffmpeg are needed (scripts/setup)")
    def test_spoken_download_is_transcribed_and_found(self):
        video = speech.joined("lecture.mp4")
        self.srv.add("/media/lecture.mp4", video.path.read_bytes(), "video/mp4")
        # Off: nothing is transcribed (the download's own reply comes after its file is placed).
        path = self.eng.result("download.start", self.download_params(self.srv.url("/media/lecture.mp4")),
                               timeout=WAIT)["path"]
        self.assertEqual(self.states(), [])
        self.settings(transcriptionEnabled=True)
        mark = len(self.eng.events)
        path = self.eng.result("download.start", self.download_params(self.srv.url("/media/lecture.mp4")),
                               timeout=WAIT)["path"]
        done = self.wait_done(path, mark)
        self.assertEqual(done["state"], "done", done)
        job = done["jobId"]
        seen = [p["state"] for p in self.states() if p["jobId"] == job]
        self.assertEqual(seen, ["queued", "running", "done"])
        self.assertEqual(job, job.upper())
        self.assertTrue(Path(done["srt"]).is_file())
        self.assertEqual(Path(done["srt"]).parent, self.transcripts)
        self.assertNotEqual(done["model"], "subtitles")
        progress = [e["params"]["fraction"] for e in self.eng.events
                    if e["event"] == "transcribe.progress" and e["params"]["jobId"] == job]
        self.assertEqual(progress[-1], 1.0)
        hits = self.hits("selfish")
        self.assertEqual([h["mediaPath"] for h in hits], [path], hits)
        self.assertIn(path, self.eng.result("search.status")["transcribed"])

    @unittest.skipUnless(speech.have_testdata(), "pocketsphinx-testdata and ffmpeg are needed (scripts/setup)")
    def test_subtitles_become_the_transcript_unless_told_to_transcribe_over_them(self):
        url = self.serve_subtitled("talk", "A subtitled talk")
        self.settings(transcriptionEnabled=True, transcriptionLanguage="en")
        path = self.eng.result("download.start", self.download_params(url), timeout=WAIT)["path"]
        done = self.wait_done(path)
        self.assertEqual((done["state"], done["model"], done["language"], done["segments"]),
                         ("done", "subtitles", "en", 2), done)
        with open(done["srt"].replace(".srt", ".json"), encoding="utf-8") as f:
            self.assertEqual([s["text"] for s in json.load(f)["segments"]],
                             ["The zeppelin lands at noon", "Everyone waves"])
        self.assertEqual([h["mediaPath"] for h in self.hits("zeppelin")], [path])
        self.assertEqual(self.hits("luftschiff"), [])
        # Told to transcribe over subtitles, the speech is recognised (a steady tone: no subtitle words).
        self.settings(transcribeOverSubtitles=True)
        mark = len(self.eng.events)
        again = self.eng.result("download.start", self.download_params(url), timeout=WAIT)["path"]
        done = self.wait_done(again, mark)
        self.assertEqual(done["state"], "done", done)
        self.assertNotEqual(done["model"], "subtitles")
        self.assertEqual([h["mediaPath"] for h in self.hits("zeppelin")], [path])

    def test_a_stream_s_subtitles_in_the_transcription_language(self):
        for name, data in hls_master_files().items():
            self.srv.add(f"/h/{name}", data, "application/vnd.apple.mpegurl" if name.endswith(".m3u8")
                         else "text/vtt" if name.endswith(".vtt") else "video/mp4")
        self.settings(transcriptionEnabled=True, transcriptionLanguage="fr")
        # Subtitles are not asked for with the download itself: the transcript still takes them.
        path = self.eng.result("download.start", self.download_params(self.srv.url("/h/master.m3u8"),
                                                                        quality="360p"), timeout=WAIT)["path"]
        done = self.wait_done(path)
        self.assertEqual((done["state"], done["model"], done["language"]), ("done", "subtitles", "fr"), done)
        with open(done["srt"].replace(".srt", ".json"), encoding="utf-8") as f:
            self.assertEqual([s["text"] for s in json.load(f)["segments"]], ["Bonjour", "Au revoir"])
        self.assertEqual(sorted(p.suffix for p in self.out.iterdir()), [".mp4"])

    def test_each_entry_of_a_listing_is_transcribed(self):
        urls = [self.serve_subtitled(n, f"Part {n}") for n in ("one", "two")]
        self.srv.add("/list.m3u", m3u([(u, f"Part {i}", 2) for i, u in enumerate(urls, 1)]), "audio/x-mpegurl")
        self.settings(transcriptionEnabled=True, transcriptionLanguage="en")
        result = self.eng.result("download.start", self.download_params(
            self.srv.url("/list.m3u"), singleVideo=False, allowListing=True), timeout=WAIT)
        folder = Path(result["path"])
        files = sorted(str(p) for p in folder.iterdir() if p.suffix == ".mp4")
        self.assertEqual(len(files), 2)
        for path in files:
            self.assertEqual(self.wait_done(path)["state"], "done")
        self.assertEqual(sorted(h["mediaPath"] for h in self.hits("zeppelin")), files)

    def test_without_a_recognizer_it_says_so_once_and_skips(self):
        self.eng = self.restart_engine({"VAMBER_SPHINX_MODEL_DIR": str(self.tmp / "no-model"),
                                        "VAMBER_WHISPER_CLI": str(self.tmp / "no-whisper-cli")})
        self.srv.add("/media/a.mp4", media_bytes("video.mp4"), "video/mp4")
        self.settings(transcriptionEnabled=True)
        for _ in range(2):
            self.eng.result("download.start", self.download_params(self.srv.url("/media/a.mp4")), timeout=WAIT)
        said = [e["params"] for e in self.eng.events if e["event"] == "job.log"
                and e["params"]["key"] == "log_transcription_skipped"]
        self.assertEqual(len(said), 1, said)
        self.assertIn("pocketsphinx", said[0]["params"]["reason"])
        self.assertEqual(self.states(), [])


if __name__ == "__main__":
    unittest.main()
