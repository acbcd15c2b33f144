import os
import sys
import tempfile
import unittest


from vamber_engine import searchindex
from vamber_engine.searchindex import Segment, SearchIndex, discover, parse_subtitles

SRT = """1
00:00:01,000 --> 00:00:03,500
Welcome to the <i>harbour</i> tour.

2
00:00:04,000 --> 00:00:06,250
The lighthouse was built
in eighteen forty.

3
00:01:10,000 --> 00:01:12,000
Crème brûlée for everyone
"""

VTT = """WEBVTT
Kind: captions

NOTE this block is skipped

intro
00:02.500 --> 00:04.000 align:start position:0%
<c>Seagulls</c> over the <00:00:03.000>pier

00:04.000 --> 00:05.000
Seagulls over the pier

01:00:00.000 --> 01:00:02.000
Last words
"""


def strip_marks(text):
    return text.replace(searchindex.MARK_OPEN, "").replace(searchindex.MARK_CLOSE, "")


class SubtitleParsing(unittest.TestCase):
    def test_srt_cues_and_times(self):
        segs = parse_subtitles(SRT)
        self.assertEqual([(s.start_ms, s.end_ms) for s in segs], [(1000, 3500), (4000, 6250), (70000, 72000)])
        self.assertEqual(segs[0].text, "Welcome to the harbour tour.")
        self.assertEqual(segs[1].text, "The lighthouse was built in eighteen forty.")

    def test_vtt_with_header_notes_settings_and_rolling_repeat(self):
        segs = parse_subtitles(VTT)
        self.assertEqual([(s.start_ms, s.end_ms, s.text) for s in segs],
                         [(2500, 5000, "Seagulls over the pier"), (3600000, 3602000, "Last words")])

    def test_windows_line_ends_and_bom(self):
        segs = parse_subtitles("\ufeff" + SRT.replace("\n", "\r\n"))
        self.assertEqual(len(segs), 3)


class IndexAndQuery(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.addCleanup(self.tmp.cleanup)
        root = self.tmp.name
        self.downloads = os.path.join(root, "Downloads")
        self.transcripts = os.path.join(root, "Transcripts")
        os.makedirs(self.downloads)
        os.makedirs(self.transcripts)
        self.media = os.path.join(self.downloads, "Harbour Tour.mp4")
        open(self.media, "wb").close()
        with open(os.path.join(self.downloads, "Harbour Tour.en.srt"), "w", encoding="utf-8") as f:
            f.write(SRT)
        self.library = [(self.media, "The Harbour Tour")]
        self.index = SearchIndex(os.path.join(root, "support", "search.sqlite"))
        self.addCleanup(self.index.close)

    def sync(self):
        return self.index.sync(discover([self.transcripts], self.library, [".mp4", ".mkv", ".webm"]))

    def test_word_found_with_time_range_and_text(self):
        result = self.sync()
        self.assertEqual(result, {"documents": 1, "segments": 3, "scanned": 1})
        hits = self.index.query("lighthouse")
        self.assertEqual(len(hits), 1)
        hit = hits[0]
        self.assertEqual((hit["startMs"], hit["endMs"]), (4000, 6250))
        self.assertEqual(hit["mediaPath"], self.media)
        self.assertEqual(hit["title"], "The Harbour Tour")
        self.assertEqual(hit["language"], "en")
        self.assertTrue(hit["exists"])
        self.assertTrue(hit["jsonPath"].endswith("Harbour Tour.en.srt"))
        self.assertEqual(strip_marks(hit["excerpt"]), "The lighthouse was built in eighteen forty.")
        self.assertIn("\u2039lighthouse\u203a", hit["excerpt"])

    def test_words_prefixes_diacritics_and_runs(self):
        self.sync()
        cases = [
            ("creme brulee", [70000], "\u2039Crème brûlée\u203a for everyone"),
            ("HARBOUR", [1000], None),
            ("eighteen fo", [4000], None),   # the last word may be unfinished
            ("harbour lighthouse", [], None),  # every word must be in one segment
        ]
        for text, starts, excerpt in cases:
            with self.subTest(text=text):
                hits = self.index.query(text)
                self.assertEqual([h["startMs"] for h in hits], starts)
                if excerpt:
                    self.assertEqual(hits[0]["excerpt"], excerpt)

    def test_marks_match_the_index_words(self):
        cases = [
            ("Welcome to the harbour tour.", "harbour tour", "Welcome to the \u2039harbour tour\u203a."),
            ("Harbour, harbour!", "harbour", "\u2039Harbour\u203a, \u2039harbour\u203a!"),
            ("Eighteen forty", "eighteen fo", "\u2039Eighteen forty\u203a"),
            ("fortunate forty", "for", "\u2039fortunate forty\u203a"),
            ("a forty b", "fo a", "\u2039a\u203a forty b"),  # only the last word may be a prefix
            ("CRÈME brûlée", "creme", "\u2039CRÈME\u203a brûlée"),
            ("harbours", "harbour lighthouse", "harbours"),
        ]
        for body, text, expected in cases:
            with self.subTest(text=text):
                self.assertEqual(searchindex.highlight(body, *searchindex.query_terms(text)), expected)

    def test_a_word_found_almost_everywhere_ranks_a_bounded_set(self):
        count = searchindex.RANK_CANDIDATES + 500
        segments = [Segment(i * 1000, i * 1000 + 900, "tide " + ("long " * (i % 5)) + "words") for i in range(count)]
        # The shortest segment with the word ranks first among the most recently indexed matches.
        segments.append(Segment(count * 1000, count * 1000 + 900, "tide"))
        self.index.add(searchindex.Transcript(os.path.join(self.transcripts, "t.transcript.json"), self.media,
                                              "T", "en", segments))
        hits = self.index.query("tide")
        self.assertEqual(len(hits), searchindex.MAX_HITS)
        self.assertEqual(hits[0]["startMs"], count * 1000)
        self.assertEqual(hits[0]["excerpt"], "\u2039tide\u203a")
        # Every hit comes from the bounded, most recent matches.
        self.assertTrue(all(h["startMs"] >= (count + 1 - searchindex.RANK_CANDIDATES) * 1000 for h in hits))

    def test_query_syntax_characters_are_plain_text(self):
        self.sync()
        cases = {'"': 0, "*": 0, "AND (": 0, 'NEAR(tour': 0, "(tour": 1, "tour)": 1, "-tour": 1, "^the": 2,
                 "col:umn": 0, "'": 0, "tour OR": 0, "NOT lighthouse": 0, "": 0, "   ": 0}
        for text, count in cases.items():
            with self.subTest(text=text):
                self.assertEqual(len(self.index.query(text)), count)

    def test_reindex_after_transcript_added_and_removed(self):
        self.sync()
        other_media = os.path.join(self.downloads, "Market.mkv")
        open(other_media, "wb").close()
        json_path = os.path.join(self.transcripts, "Market" + searchindex.TRANSCRIPT_SUFFIX)
        searchindex.write_transcript_json(json_path, other_media, "Market day", "fr",
                                          [Segment(0, 2000, "Des pommes et des poires"),
                                           Segment(2000, 5000, "Le marché ferme à midi")])
        result = self.sync()
        self.assertEqual((result["documents"], result["segments"]), (2, 5))
        hit = self.index.query("marche")[0]
        self.assertEqual((hit["mediaPath"], hit["title"], hit["language"], hit["jsonPath"]),
                         (other_media, "Market day", "fr", json_path))
        self.assertEqual(sorted(self.index.status()["transcribed"]), sorted([self.media, other_media]))

        os.remove(os.path.join(self.downloads, "Harbour Tour.en.srt"))
        result = self.sync()
        self.assertEqual((result["documents"], result["segments"]), (1, 2))
        self.assertEqual(self.index.query("lighthouse"), [])
        status = self.index.status()
        self.assertEqual(status["transcribed"], [other_media])
        self.assertGreater(status["sizeBytes"], 0)

    def test_changed_file_is_read_again_and_gone_media_is_marked(self):
        self.sync()
        srt = os.path.join(self.downloads, "Harbour Tour.en.srt")
        with open(srt, "w", encoding="utf-8") as f:
            f.write("1\n00:00:09,000 --> 00:00:10,000\nA new lighthouse keeper\n")
        os.utime(srt, (1, 1))
        self.sync()
        hits = self.index.query("lighthouse")
        self.assertEqual([(h["startMs"], strip_marks(h["excerpt"])) for h in hits],
                         [(9000, "A new lighthouse keeper")])
        os.remove(self.media)
        self.assertFalse(self.index.query("keeper")[0]["exists"])

    def test_subtitle_in_transcript_folder_tied_to_media_beside_it(self):
        media = os.path.join(self.transcripts, "Lecture.webm")
        open(media, "wb").close()
        with open(os.path.join(self.transcripts, "Lecture.vtt"), "w", encoding="utf-8") as f:
            f.write(VTT)
        with open(os.path.join(self.transcripts, "Orphan.vtt"), "w", encoding="utf-8") as f:
            f.write(VTT)
        self.sync()
        hits = self.index.query("seagulls")
        self.assertEqual([(h["mediaPath"], h["language"]) for h in hits], [(media, "")])

    def test_damaged_index_file_is_rebuilt(self):
        path = os.path.join(self.tmp.name, "broken.sqlite")
        with open(path, "wb") as f:
            f.write(b"this is not a database" * 100)
        index = SearchIndex(path)
        self.addCleanup(index.close)
        self.assertEqual(index.status()["documents"], 0)


if __name__ == "__main__":
    unittest.main()
