"""Real English recognition through the engine's methods: read speech from pocketsphinx-testdata in
a video, found again by search; silence, a file without sound, language choice and the transcript folder."""
import json
import os
import shutil
import tempfile
import unittest
from pathlib import Path

from tests.fixtures import speech
from tests.fixtures.engineproc import EngineProcess

WAIT = 240.0  # recognition on a heavily loaded machine


@unittest.skipUnless(speech.have_testdata(), "pocketsphinx-testdata and ffmpeg are needed (scripts/setup)")
class SpeechCase(unittest.TestCase):
    def setUp(self):
        self.tmp = Path(tempfile.mkdtemp(prefix="vamber-speech-test-"))
        self.addCleanup(shutil.rmtree, self.tmp, True)
        self.media = self.tmp / "media"
        self.engine = EngineProcess(self.tmp / "support", env={
            "HOME": str(self.tmp), "XDG_DATA_HOME": str(self.tmp / "data")}).start()
        self.addCleanup(self.engine.stop)

    def transcribe(self, path, job_id):
        return self.engine.call("transcribe.start", {"path": str(path), "jobId": job_id}, timeout=WAIT)

    def states(self, job_id):
        return [e["params"] for e in self.engine.events_for(job_id, "transcribe.state")]

    def progress(self, job_id):
        return [e["params"] for e in self.engine.events_for(job_id, "transcribe.progress")]


class ReadSpeechInAVideo(SpeechCase):
    def test_transcribed_timed_and_found_by_search(self):
        source = speech.joined("talk.mp4")
        video = speech.copy_to(source.path, self.media, "A talk.mp4")
        reply = self.transcribe(video, "JOB-1")
        result = reply["result"]
        base = str(self.media / "A talk.transcript")
        self.assertEqual(result, {"jobId": "JOB-1", "path": str(video), "srt": base + ".srt", "txt": base + ".txt",
                                  "language": "en", "segments": result["segments"]})

        # Events: queued, running with an estimate, whole percentages that never go back, done.
        states = self.states("JOB-1")
        self.assertEqual([s["state"] for s in states], ["queued", "running", "done"])
        running, done = states[1], states[2]
        self.assertGreater(running["estimateSeconds"], 0)
        self.assertFalse(running["isLongJob"])
        self.assertEqual(running["model"], "sphinx-en")
        self.assertEqual((done["path"], done["srt"], done["language"], done["segments"]),
                         (str(video), base + ".srt", "en", result["segments"]))
        percents = [p["percent"] for p in self.progress("JOB-1")]
        self.assertTrue(all(isinstance(p, int) for p in percents))
        self.assertEqual(percents, sorted(percents))
        self.assertEqual(percents[-1], 100)
        self.assertGreater(len(set(percents)), 3)

        with open(base + ".json", encoding="utf-8") as f:
            doc = json.load(f)
        self.assertEqual((doc["mediaPath"], doc["title"], doc["language"]), (str(video), "A talk", "en"))
        segments = doc["segments"]
        self.assertEqual(len(segments), result["segments"])
        self.assertTrue(segments)

        # Times: each segment starts before it ends, follows the one before, stays within the file,
        # and lies within one clip: the joins (silences) break segments.
        duration_ms = source.spans_ms[-1][1] + 1500
        previous_end = 0
        for seg in segments:
            self.assertLess(seg["startMs"], seg["endMs"])
            self.assertGreaterEqual(seg["startMs"], previous_end)
            self.assertLessEqual(seg["endMs"], duration_ms)
            previous_end = seg["endMs"]
            owners = [i for i, (a, b) in enumerate(source.spans_ms)
                      if seg["startMs"] >= a - 300 and seg["endMs"] <= b + 300]
            self.assertEqual(len(owners), 1, f"segment {seg} crosses a join of {source.spans_ms}")
        covered = {i for seg in segments for i, (a, b) in enumerate(source.spans_ms)
                   if seg["startMs"] >= a - 300 and seg["endMs"] <= b + 300}
        self.assertEqual(covered, set(range(len(source.spans_ms))))

        # Quality: read English, recognised well enough to search.
        text = " ".join(seg["text"] for seg in segments)
        self.assertLessEqual(speech.word_error_rate(source.reference, text), 0.40, text)
        with open(base + ".txt", encoding="utf-8") as f:
            self.assertEqual(f.read().split(), text.split())
        with open(base + ".srt", encoding="utf-8") as f:
            srt = f.read()
        self.assertIn("1\n00:00:0", srt)
        self.assertEqual(srt.count(" --> "), len(segments))

        # Indexed at once: a word of the fourth clip is found there, with its time range.
        hits = self.engine.result("search.query", {"text": "respectable"})["hits"]
        self.assertTrue(hits, text)
        hit = hits[0]
        self.assertEqual((hit["mediaPath"], hit["title"], hit["language"], hit["jsonPath"], hit["exists"]),
                         (str(video), "A talk", "en", base + ".json", True))
        start, end = source.spans_ms[3]
        self.assertGreaterEqual(hit["startMs"], start - 300)
        self.assertLessEqual(hit["endMs"], end + 300)
        self.assertIn(str(video), self.engine.result("search.status")["transcribed"])
        # The transcript files do not show up as subtitles of their own.
        self.assertEqual(len(self.engine.result("search.query", {"text": "respectable"})["hits"]), len(hits))


class OtherFiles(SpeechCase):
    def test_audio_file_into_the_transcript_folder_in_english(self):
        folder = self.tmp / "transcripts"
        folder.mkdir()
        self.engine.result("settings.set", {"values": {"transcriptDir": str(folder),
                                                       "transcriptionLanguage": "en-US"}})
        audio = speech.copy_to(speech.joined("read.m4a", gap=1.0).path, self.media, "read.m4a")
        result = self.transcribe(audio, "A1")["result"]
        self.assertEqual(result["srt"], str(folder / "read.transcript.srt"))
        self.assertEqual(result["language"], "en")
        self.assertGreater(result["segments"], 0)
        self.assertEqual(speech.transcript_files(audio), [])
        self.assertEqual(sorted(p.name for p in folder.iterdir()),
                         ["read.transcript.json", "read.transcript.srt", "read.transcript.txt"])

    def test_a_quiet_recording_is_not_taken_for_silence(self):
        source = speech.joined("soft.m4a", gap=1.0)
        soft = speech.copy_to(speech.quieter(source.path, 20), self.media, "soft.m4a")
        result = self.transcribe(soft, "Q1")["result"]
        with open(result["txt"], encoding="utf-8") as f:
            text = f.read()
        self.assertLessEqual(speech.word_error_rate(source.reference, " ".join(text.split())), 0.40, text)

    def test_silence_gives_no_segments(self):
        for i, (source, name) in enumerate([(speech.silence(6), "quiet.m4a"), (speech.hiss(8), "hiss.wav")]):
            with self.subTest(name=name):
                quiet = speech.copy_to(source, self.media, name)
                result = self.transcribe(quiet, f"S{i}")["result"]
                self.assertEqual(result["segments"], 0)
                with open(result["srt"].replace(".srt", ".json"), encoding="utf-8") as f:
                    self.assertEqual(json.load(f)["segments"], [])
                self.assertEqual(self.states(f"S{i}")[-1]["segments"], 0)

    def test_sound_without_speech_gives_no_words(self):
        # A steady tone once came out as words in 17-second segments.
        for i, (source, name) in enumerate([(speech.tone(20), "tone.wav"), (speech.music(15), "tune.wav")]):
            with self.subTest(name=name):
                sound = speech.copy_to(source, self.media, name)
                result = self.transcribe(sound, f"N{i}")["result"]
                with open(result["srt"].replace(".srt", ".json"), encoding="utf-8") as f:
                    self.assertEqual(json.load(f)["segments"], [])

    def test_files_that_cannot_be_transcribed_fail_clearly(self):
        film = speech.copy_to(speech.picture_only(), self.media, "film.mp4")
        notes = self.media / "notes.txt"
        notes.write_text("not media")
        cases = [(film, "no sound"), (notes, "not a media file"), (self.media / "gone.mp4", "does not exist")]
        for i, (path, words) in enumerate(cases):
            with self.subTest(path=path.name):
                reply = self.transcribe(path, f"F{i}")
                self.assertEqual(reply["error"]["code"], 1003)
                self.assertIn(words, reply["error"]["message"])
                failed = self.states(f"F{i}")[-1]
                self.assertEqual((failed["state"], failed["message"]), ("failed", reply["error"]["message"]))
                self.assertEqual(speech.transcript_files(path), [])

    def test_a_language_the_model_cannot_recognise_is_refused(self):
        self.engine.result("settings.set", {"values": {"transcriptionLanguage": "fr"}})
        audio = speech.copy_to(speech.tone(), self.media, "tone.wav")
        reply = self.transcribe(audio, "L1")
        self.assertEqual((reply["error"]["code"], reply["error"]["detail"]), (1003, "language"))
        self.assertIn("'fr'", reply["error"]["message"])
        self.assertEqual(self.states("L1")[-1]["state"], "failed")
        self.assertEqual(speech.transcript_files(audio), [])

    def test_bad_requests(self):
        for params in ({"path": "/x.mp4"}, {"jobId": "j"}, {"path": "", "jobId": "j"}, {"path": "/x", "jobId": ""}):
            with self.subTest(params=params):
                self.assertEqual(self.engine.call("transcribe.start", params)["error"]["code"], -32602)
        self.assertEqual(self.engine.result("transcribe.cancel", {"jobId": "nothing"}), {"cancelled": False})


if __name__ == "__main__":
    unittest.main()
