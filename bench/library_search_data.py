#!/usr/bin/env python3
"""Builds the support folder of the library search benchmark, through the engine's own modules.

python3 library_search_data.py ENGINE_DIR FOLDER [ITEMS] [SEGMENTS]

FOLDER/support gets a library of ITEMS media items (a tenth with a thumbnail) and an index of
SEGMENTS transcript segments spread over transcripts in FOLDER/support/transcripts, built as the
engine's own scan would build it, so the engine's first look finds nothing to change. One word
("harbour") is in every third segment, another ("zeppelin") in 12 segments. Does nothing when the
folder was built with the same sizes before.
"""
import json
import os
import random
import sys


def main():
    engine, folder = sys.argv[1], sys.argv[2]
    items = int(sys.argv[3]) if len(sys.argv) > 3 else 10000
    segments = int(sys.argv[4]) if len(sys.argv) > 4 else 1000000
    sys.path.insert(0, engine)
    from vamber_engine import constants, searchindex
    from vamber_engine.librarydb import Item, Library

    support = os.path.join(folder, "support")
    stamp = os.path.join(folder, "built.json")
    sizes = {"items": items, "segments": segments, "version": 1}
    try:
        with open(stamp) as f:
            if json.load(f) == sizes:
                return
    except (OSError, ValueError):
        pass
    os.makedirs(support, exist_ok=True)
    for name in ("library.sqlite3", "search.sqlite"):
        for suffix in ("", "-wal", "-shm"):
            try:
                os.remove(os.path.join(support, name + suffix))
            except FileNotFoundError:
                pass

    rng = random.Random(11)
    vocabulary = ["".join(rng.choice("bcdfgklmnprstvw") + rng.choice("aeiou") for _ in range(rng.randint(2, 4)))
                  for _ in range(20000)]
    media_dir = os.path.join(folder, "media")
    os.makedirs(media_dir, exist_ok=True)
    library = Library(os.path.join(support, "library.sqlite3"))
    paths = []
    for i in range(items):
        path = os.path.join(media_dir, "clip %05d.mp4" % i)
        paths.append(path)
        library.add(Item(path=path, title="Clip %d %s" % (i, rng.choice(vocabulary)), url="https://v.example/%d" % i,
                         addedAt=1e9 - i, sizeBytes=1000 + i, channel="Channel %d" % (i % 97),
                         playlist="List %d" % (i % 13)))
        if i % 10 == 0:
            library.add(Item(path=path + ".jpg", kind="thumbnail", addedAt=1e9 - i, parent=path))
    library.close()

    transcripts = os.path.join(support, "transcripts")
    os.makedirs(transcripts, exist_ok=True)
    documents = max(1, min(1000, items))
    per_doc = segments // documents
    rare = set(rng.sample(range(documents * per_doc), 12))
    n = 0
    for d in range(documents):
        segs = []
        for s in range(per_doc):
            words = [rng.choice(vocabulary) for _ in range(9)]
            if n % 3 == 0:
                words.insert(rng.randint(0, 9), "harbour")
            if n in rare:
                words.insert(rng.randint(0, 9), "zeppelin")
            segs.append(searchindex.Segment(s * 3000, s * 3000 + 2500, " ".join(words)))
            n += 1
        searchindex.write_transcript_json(os.path.join(transcripts, "clip %05d.transcript.json" % d), paths[d],
                                          "Clip %d" % d, "en", segs)
    # Index as the engine's scan does: the same candidates, so its next look changes nothing.
    library_media = [(p, "") for p in paths]
    found = searchindex.discover([transcripts], library_media, constants.MEDIA_EXTENSIONS)
    index = searchindex.SearchIndex(os.path.join(support, "search.sqlite"))
    result = index.sync(found)
    index.close()
    if result["segments"] != documents * per_doc:
        sys.exit("indexed %d segments instead of %d" % (result["segments"], documents * per_doc))
    with open(stamp, "w") as f:
        json.dump(sizes, f)


if __name__ == "__main__":
    main()
