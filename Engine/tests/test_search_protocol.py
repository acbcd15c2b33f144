"""Transcript search through the engine's line protocol."""
import json
import os
import shutil
import tempfile
import unittest

from tests.fixtures.engineproc import EngineProcess
from tests.test_search_index import SRT, strip_marks
from vamber_engine.settings import FILE_NAME as SETTINGS_FILE


class SearchThroughTheEngine(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="vamber-search-proto-")
        self.addCleanup(shutil.rmtree, self.tmp, True)
        self.folder = os.path.join(self.tmp, "Transcripts")
        os.makedirs(self.folder)
        support = os.path.join(self.tmp, "support")
        os.makedirs(support)
        with open(os.path.join(support, SETTINGS_FILE), "w") as f:
            json.dump({"transcriptDir": self.folder}, f)
        self.engine = EngineProcess(support, env={"HOME": self.tmp}).start()
        self.addCleanup(self.engine.stop)

    def add_transcript(self, stem):
        media = os.path.join(self.folder, stem + ".mp4")
        open(media, "wb").close()
        with open(os.path.join(self.folder, stem + ".en.srt"), "w") as f:
            f.write(SRT)
        return media

    def test_status_query_and_reindex(self):
        empty = self.engine.result("search.status")
        self.assertEqual((empty["documents"], empty["segments"], empty["transcribed"]), (0, 0, []))
        media = self.add_transcript("Harbour")
        status = self.engine.result("search.status")
        self.assertEqual((status["documents"], status["segments"], status["transcribed"]), (1, 3, [media]))
        self.assertGreater(status["sizeBytes"], 0)

        text = "  Lighthouse  "
        found = self.engine.result("search.query", {"text": text})
        self.assertEqual(found["query"], text)
        self.assertEqual(len(found["hits"]), 1)
        hit = found["hits"][0]
        self.assertEqual((hit["mediaPath"], hit["startMs"], hit["endMs"], hit["exists"], hit["language"]),
                         (media, 4000, 6250, True, "en"))
        self.assertEqual(strip_marks(hit["excerpt"]), "The lighthouse was built in eighteen forty.")

        for text in ['"', "*", "AND (", "NEAR(", "a:b", "\u2039"]:
            with self.subTest(text=text):
                reply = self.engine.result("search.query", {"text": text})
                self.assertEqual(reply, {"query": text, "hits": []})

        second = self.add_transcript("Second")
        self.assertEqual(self.engine.result("search.reindex"), {"documents": 2, "segments": 6, "scanned": 2})
        os.remove(os.path.join(self.folder, "Harbour.en.srt"))
        self.assertEqual(self.engine.result("search.reindex"), {"documents": 1, "segments": 3, "scanned": 1})
        hits = self.engine.result("search.query", {"text": "lighthouse"})["hits"]
        self.assertEqual([h["mediaPath"] for h in hits], [second])

    def test_query_needs_text(self):
        self.assertEqual(self.engine.call("search.query", {})["error"]["code"], -32602)


if __name__ == "__main__":
    unittest.main()
