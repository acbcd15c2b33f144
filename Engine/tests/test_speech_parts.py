"""The recognizer's parts on their own: speech regions from silences, segments from words, transcript
files and their names, whisper.cpp's JSON, and the two ways of reaching pocketsphinx."""
import array
import json
import math
import os
import shutil
import tempfile
import unittest
from pathlib import Path

from tests.fixtures import speech
from vamber_engine import speechaudio, sphinx, transcriptfiles
from vamber_engine.recognizer import CancelToken, Region, Segment, Word, segments_from_words, within_length
from vamber_engine.whisperrecognizer import parse_output
from vamber_engine.recognizer import RecognitionError


class Regions(unittest.TestCase):
    def test_regions_between_silences(self):
        pad = speechaudio.PAD_MS
        cases = [
            # silences, duration, expected regions
            ([], 5000, [(0, 5000)]),
            ([(0, 5000)], 5000, []),
            ([(1000, 2000)], 5000, [(0, 1000 + pad), (2000 - pad, 5000)]),
            ([(0, 1000), (3000, 5000)], 5000, [(1000 - pad, 3000 + pad)]),
            # A gap shorter than the padding on both sides joins its neighbours.
            ([(1000, 1200)], 3000, [(0, 3000)]),
            # A blip too short to hold a word is dropped.
            ([(0, 1000), (1050, 4000)], 4000, []),
            ([(0, 1000), (1150, 4000)], 4000, [(1000 - pad, 1150 + pad)]),
        ]
        for silences, duration, expected in cases:
            with self.subTest(silences=silences):
                got = speechaudio.speech_regions(silences, duration)
                self.assertEqual([(r.start_ms, r.end_ms) for r in got], expected)

    def test_silence_side_file(self):
        text = ("frame:56 pts:114688 pts_time:7.168\nlavfi.silence_start=6.78512\n"
                "frame:73 pts:149504 pts_time:9.344\nlavfi.silence_end=9.36663\nlavfi.silence_duration=2.58\n"
                "lavfi.silence_start=-0.01\n")
        self.assertEqual(speechaudio.parse_silences(text, 12000), [(6785, 9367), (0, 12000)])

    def test_long_region_is_cut_at_its_quietest_moment(self):
        tmp = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, tmp, True)
        pcm = os.path.join(tmp, "audio.pcm")
        samples = array.array("h", (int(8000 * math.sin(i / 5)) if not 22000 <= i // 16 < 22300 else 0
                                    for i in range(16000 * 70)))
        with open(pcm, "wb") as f:
            f.write(samples.tobytes())
        regions = speechaudio.split_long([Region(0, 70000)], pcm)
        self.assertLessEqual(max(r.length_ms for r in regions), speechaudio.MAX_REGION_MS)
        self.assertTrue(22000 <= regions[0].end_ms <= 22300, regions)
        self.assertEqual([(a.end_ms, b.start_ms) for a, b in zip(regions, regions[1:])],
                         [(a.end_ms, a.end_ms) for a in regions[:-1]])
        self.assertEqual((regions[0].start_ms, regions[-1].end_ms), (0, 70000))

    @unittest.skipUnless(speech.have_testdata(), "ffmpeg is needed")
    def test_work_folder_with_awkward_characters(self):
        # The side file's name sits inside an ffmpeg filter graph.
        tmp = tempfile.mkdtemp(prefix="vamber 'x':y,z[1];\\q-")
        self.addCleanup(shutil.rmtree, tmp, True)
        source = speech.joined("awkward.m4a", gap=2.0)
        audio = speechaudio.prepare(str(source.path), tmp, CancelToken(), lambda f: None)
        self.assertEqual(len(audio.regions), len(source.spans_ms))
        for region, (start, end) in zip(audio.regions, source.spans_ms):
            self.assertLessEqual(abs(region.start_ms - start), 400)
            self.assertLessEqual(abs(region.end_ms - end), 600)


class Segments(unittest.TestCase):
    def test_words_grouped_at_pauses_and_by_length(self):
        words = [Word(0, 300, "a"), Word(350, 600, "b"), Word(1500, 1800, "c")]
        self.assertEqual(segments_from_words(words), [Segment(0, 600, "a b"), Segment(1500, 1800, "c")])
        steady = [Word(i * 500, i * 500 + 450, f"w{i}") for i in range(40)]
        grouped = segments_from_words(steady)
        self.assertEqual(" ".join(s.text for s in grouped), " ".join(w.text for w in steady))
        self.assertTrue(all(s.end_ms - s.start_ms <= 8000 for s in grouped))
        self.assertEqual(segments_from_words([]), [])

    def test_no_segment_outgrows_the_limit(self):
        # A word the decoder stretched over a long sound.
        (one,) = segments_from_words([Word(1000, 18000, "for")])
        self.assertEqual((one.start_ms, one.end_ms, one.text), (1000, 9000, "for"))
        long_ = [Segment(0, 20000, " ".join(f"w{i}" for i in range(30))), Segment(20000, 21000, "short"),
                 Segment(30000, 47000, "alone")]
        cut = within_length(long_)
        self.assertTrue(all(0 < s.end_ms - s.start_ms <= 8000 for s in cut), cut)
        self.assertEqual(" ".join(s.text for s in cut), " ".join(s.text for s in long_))
        self.assertEqual([s.start_ms for s in cut], sorted(s.start_ms for s in cut))
        self.assertEqual((cut[0].start_ms, cut[-1].end_ms), (0, 38000))

    @unittest.skipUnless(speech.have_testdata(), "pocketsphinx-testdata and ffmpeg are needed")
    def test_voice_check_keeps_speech_and_drops_tone_noise_and_music(self):
        cases = [(speech.tone(20), False), (speech.music(15), False),
                 (speech.noise(12), False)] + [(clip.wav, True) for clip in speech.clips()]
        for source, spoken in cases:
            with self.subTest(source=source.name):
                tmp = tempfile.mkdtemp()
                self.addCleanup(shutil.rmtree, tmp, True)
                audio = speechaudio.prepare(str(source), tmp, CancelToken(), lambda f: None)
                self.assertEqual(bool(audio.regions), spoken, audio.regions)

    def test_decoder_tokens(self):
        for token, word in [("<s>", None), ("</s>", None), ("<sil>", None), ("[NOISE]", None),
                            ("++UH++", None), ("was(2)", "was"), ("john", "john")]:
            self.assertEqual(sphinx.spoken_word(token), word, token)


class TranscriptFiles(unittest.TestCase):
    def setUp(self):
        self.tmp = Path(tempfile.mkdtemp())
        self.addCleanup(shutil.rmtree, self.tmp, True)

    def test_formats(self):
        segments = [Segment(0, 1500, "hello there"), Segment(3723004, 3725000, "later")]
        self.assertEqual(transcriptfiles.srt_text(segments),
                         "1\n00:00:00,000 --> 00:00:01,500\nhello there\n\n"
                         "2\n01:02:03,004 --> 01:02:05,000\nlater\n")
        self.assertEqual(transcriptfiles.plain_text(segments), "hello there\nlater\n")

    def test_names_never_take_another_files_transcript_or_its_subtitles(self):
        a, b = self.tmp / "one" / "Talk.mp4", self.tmp / "two" / "Talk.mp4"
        shared = self.tmp / "shared"
        for folder in (a.parent, b.parent, shared):
            folder.mkdir()
        (a.parent / "Talk.srt").write_text("downloaded subtitles")
        paths = transcriptfiles.choose_paths(str(a), "")
        self.assertEqual(paths.srt, str(a.parent / "Talk.transcript.srt"))
        transcriptfiles.write(paths, str(a), "Talk", "en", [Segment(0, 10, "x")])
        self.assertEqual((a.parent / "Talk.srt").read_text(), "downloaded subtitles")

        first = transcriptfiles.choose_paths(str(a), str(shared))
        transcriptfiles.write(first, str(a), "Talk", "en", [Segment(0, 10, "one")])
        second = transcriptfiles.choose_paths(str(b), str(shared))
        self.assertEqual(second.json, str(shared / "Talk (2).transcript.json"))
        transcriptfiles.write(second, str(b), "Talk", "en", [Segment(0, 10, "two")])
        # The same file transcribed again replaces its own transcript.
        self.assertEqual(transcriptfiles.choose_paths(str(a), str(shared)), first)
        self.assertEqual(json.loads(Path(first.json).read_text())["segments"][0]["text"], "one")
        self.assertEqual(sorted(p.name for p in shared.iterdir()), sorted(
            f"Talk{n}.transcript.{ext}" for n in ("", " (2)") for ext in ("json", "srt", "txt")))

    def test_failed_write_keeps_the_earlier_transcript(self):
        media = self.tmp / "a.mp4"
        paths = transcriptfiles.choose_paths(str(media), "")
        transcriptfiles.write(paths, str(media), "a", "en", [Segment(0, 10, "kept")])
        with self.assertRaises(UnicodeEncodeError):  # a text that cannot be written
            transcriptfiles.write(paths, str(media), "a", "en", [Segment(0, 10, "new \ud800")])
        self.assertIn("kept", Path(paths.srt).read_text())
        self.assertEqual(sorted(p.name for p in self.tmp.iterdir() if p.name.startswith(".vamber-")), [])


class WhisperOutput(unittest.TestCase):
    def test_reads_segments_and_language(self):
        text = ('{"result": {"language": "nl"}, "transcription": ['
                '{"offsets": {"from": 0, "to": 900}, "text": " Goede\tmorgen "},'
                '{"offsets": {"from": 900, "to": 900}, "text": "kort"},'
                '{"offsets": {"from": "x", "to": 1}, "text": "bad"}, {"text": "no times"}, 7]}')
        result = parse_output(text)
        self.assertEqual(result.language, "nl")
        self.assertEqual(result.segments, [Segment(0, 900, "Goede morgen"), Segment(900, 901, "kort")])

    def test_unreadable_output(self):
        for text in ("", "{", "[]", '{"transcription": {}}'):
            with self.subTest(text=text), self.assertRaises(RecognitionError):
                parse_output(text)


@unittest.skipUnless(sphinx.model_present() and sphinx.library_available(), "pocketsphinx is needed")
class TwoWaysToPocketsphinx(unittest.TestCase):
    def test_module_and_library_give_the_same_words(self):
        clip = speech.clips()[1].wav
        pcm = clip.read_bytes()[44:]
        results = []
        ways = [False] + ([True] if sphinx.module_available() else [])
        for use_module in ways:
            decoder = sphinx.open_decoder(use_module=use_module)
            utterances = []
            try:
                for _ in range(2):  # a second utterance counts its frames from its own start
                    decoder.start()
                    for i in range(0, len(pcm), 32000):
                        decoder.feed(pcm[i:i + 32000])
                    utterances.append(decoder.finish())
            finally:
                decoder.close()
            results.append(utterances)
        self.assertTrue(all(r == results[0] for r in results))
        for tokens in results[0]:
            self.assertEqual(tokens[0][:2], ("<s>", 0))
            self.assertLessEqual(tokens[-1][2], len(pcm) // 320)
            self.assertIn("young", [sphinx.spoken_word(t) for t, _, _ in tokens])


if __name__ == "__main__":
    unittest.main()
