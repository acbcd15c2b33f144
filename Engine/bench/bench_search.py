#!/usr/bin/env python3
"""Transcript index: full indexing, an unchanged rescan, and query latency.

Run from Engine/: python3 bench/bench_search.py [transcripts] [segments each]. Uses a temporary folder.
"""
import os
import random
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

from vamber_engine import searchindex  # noqa: E402


def srt_time(ms):
    return "%02d:%02d:%02d,%03d" % (ms // 3600000, ms // 60000 % 60, ms // 1000 % 60, ms % 1000)


def main():
    docs = int(sys.argv[1]) if len(sys.argv) > 1 else 1000
    per_doc = int(sys.argv[2]) if len(sys.argv) > 2 else 200
    rng = random.Random(7)
    vocabulary = ["".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(3, 9)))
                  for _ in range(20000)]
    with tempfile.TemporaryDirectory() as tmp:
        library = []
        for d in range(docs):
            media = os.path.join(tmp, "video %d.mp4" % d)
            open(media, "w").close()
            with open(os.path.join(tmp, "video %d.en.srt" % d), "w") as f:
                for i in range(per_doc):
                    start = i * 3000
                    f.write("%d\n%s --> %s\n%s\n\n" % (i + 1, srt_time(start), srt_time(start + 2500),
                                                       " ".join(rng.choice(vocabulary) for _ in range(10))))
            library.append((media, "Video %d" % d))
        index = searchindex.SearchIndex(os.path.join(tmp, "search.sqlite"))
        start = time.perf_counter()
        result = index.sync(searchindex.discover([], library, [".mp4"]))
        print("index %d transcripts, %d segments: %.2f s" % (result["documents"], result["segments"],
                                                            time.perf_counter() - start))
        start = time.perf_counter()
        index.sync(searchindex.discover([], library, [".mp4"]))
        print("rescan, nothing changed: %.1f ms" % ((time.perf_counter() - start) * 1000))
        for text in (vocabulary[5], vocabulary[5][:3], vocabulary[5] + " " + vocabulary[9], "AND (", "zzzzzzzz"):
            start = time.perf_counter()
            for _ in range(20):
                hits = index.query(text)
            print("query %-24r %4d hits: %.1f ms" % (text, len(hits), (time.perf_counter() - start) * 50))
        print("index size: %.1f MB" % (index.status()["sizeBytes"] / 1e6))
        index.close()


if __name__ == "__main__":
    main()
