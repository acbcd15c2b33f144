"""Damaged stored files: set aside, named in "hello", replaced; a damaged library never stops a download;
partial downloads that belong to no job are removed, and only those."""

import glob
import json
import os
import shutil
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

from fixtures.enginecase import EngineCase  # noqa: E402
from fixtures.media import media_bytes  # noqa: E402
from tests.harness import EngineTestCase  # noqa: E402
from tests.test_search_index import SRT  # noqa: E402
from vamber_engine import librarydb  # noqa: E402

LIBRARY = "library.sqlite3"


def library_bytes(items: int = 400) -> bytes:
    """A real library file with some items, as the engine writes it."""
    folder = tempfile.mkdtemp(prefix="vamber-lib-")
    try:
        path = os.path.join(folder, LIBRARY)
        lib = librarydb.Library(path)
        for n in range(items):
            lib.add(librarydb.Item(path=f"/media/{n}.mp4", title=f"Item {n} " + "x" * 60, addedAt=n + 1))
        lib._db.execute("PRAGMA wal_checkpoint(TRUNCATE)")
        lib.close()
        with open(path, "rb") as f:
            return f.read()
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def damaged_libraries() -> list[tuple[str, bytes]]:
    whole = library_bytes()
    return [("garbage", os.urandom(3000) + b"not sqlite"), ("truncated", whole[: len(whole) // 2]),
            ("empty", b""), ("header only", whole[:100])]


class SetAsideTest(EngineTestCase):
    def write(self, name, data):
        os.makedirs(self.support, exist_ok=True)
        with open(os.path.join(self.support, name), "wb") as f:
            f.write(data)

    def test_damaged_files_are_moved_aside_and_named_once_per_start(self):
        cases = [("settings.json", b'{"outputDir": "/x", '), ("favourites.json", b'{"items": [{"url": 3}]}'),
                 ("transcribed.json", b"\xff\xfe"), ("queue.json", b"[]")]
        cases += [(LIBRARY, data) for _, data in damaged_libraries()]
        for name, data in cases:
            with self.subTest(name=name, data=data[:20]):
                shutil.rmtree(self.support, ignore_errors=True)
                self.write(name, data)
                path = os.path.join(self.support, name)
                e = self.start()
                try:
                    hello = e.result("hello")
                    (aside,) = glob.glob(path + ".corrupt-*")
                    self.assertEqual(hello["setAside"], [{"file": path, "savedAs": aside}])
                    with open(aside, "rb") as f:
                        self.assertEqual(f.read(), data)
                    # The same start, asked again, says the same; nothing else is disturbed.
                    self.assertEqual(e.result("hello")["setAside"], hello["setAside"])
                    self.assertEqual(e.result("library.list", {"limit": 120, "offset": 0})["total"], 0)
                    self.assertEqual(e.result("queue.load"), {"items": []})
                    e.result("shutdown")
                    e.wait_exit()
                    e = self.start()
                    self.assertNotIn("setAside", e.result("hello"))
                    self.assertEqual(glob.glob(path + ".corrupt-*"), [aside])
                    e.result("shutdown")
                    e.wait_exit()
                finally:
                    e.kill()

    def test_a_sound_start_names_nothing(self):
        self.write(LIBRARY, library_bytes(5))
        self.write("queue.json", json.dumps({"items": []}).encode())
        e = self.start()
        self.assertNotIn("setAside", e.result("hello"))
        self.assertEqual(e.result("library.list", {"limit": 120, "offset": 0})["total"], 5)


class DamagedLibraryTest(EngineCase):
    def put_library(self, data):
        self.eng.kill()
        self.support.mkdir(parents=True, exist_ok=True)
        target = self.support / LIBRARY
        if target.is_dir():
            shutil.rmtree(target)
        for old in glob.glob(str(target) + "*"):
            os.unlink(old) if not os.path.isdir(old) else shutil.rmtree(old)
        if data is None:
            target.mkdir()  # nothing can be opened or made there
        else:
            target.write_bytes(data)
        self.restart_engine(kill=False)

    def test_a_damaged_library_never_stops_a_download_nor_the_search(self):
        video = media_bytes("video.mp4")
        self.srv.add("/talk.mp4", video, "video/mp4")
        for n, (what, data) in enumerate(damaged_libraries() + [("cannot be made", None)]):
            with self.subTest(what=what):
                self.put_library(data)
                hello = self.eng.result("hello")
                named = [entry["file"] for entry in hello.get("setAside", [])]
                self.assertEqual(named, [] if data is None else [str(self.support / LIBRARY)])
                reply = self.eng.call("download.start", self.download_params(self.srv.url("/talk.mp4"),
                                                                             fileName=f"talk {n}"), timeout=60)
                self.assertIn("result", reply, reply)
                path = Path(reply["result"]["path"])
                self.assertEqual(path.read_bytes(), video)
                page = self.eng.result("library.list", {"limit": 120, "offset": 0})
                self.assertEqual([item["path"] for item in page["items"]], [str(path)])
                # Subtitles beside the download are indexed through the new library.
                path.with_suffix(".en.srt").write_text(SRT, encoding="utf-8")
                hits = self.eng.result("search.query", {"text": "lighthouse"})["hits"]
                self.assertEqual([hit["mediaPath"] for hit in hits], [str(path)])


class PartialFilesTest(EngineCase):
    """A partial download belongs to its job: "queue.load" removes those of jobs that are not in the loaded
    queue, and a cancel of a job that is not running removes its own."""

    def paused_download(self, name, job):
        video = media_bytes("video.mp4")
        self.srv.add(f"/{name}.mp4", video, "video/mp4", hold_at=9000)
        rid, _ = self.start_download(self.srv.url(f"/{name}.mp4"), job)
        self.wait_progress(job, 9000)
        self.eng.result("download.pause", {"jobId": job})
        self.assertEqual(self.eng.reply(rid)["error"]["detail"], "paused")
        (part,) = [p for p in self.out.iterdir() if p.name.startswith(name + ".") and p.name.endswith(".part")]
        return part

    def record(self, job, part):
        folder = self.support / "downloads"
        path = folder / f"hand-{job}.json"
        path.write_text(json.dumps({"jobId": job, "url": "http://x/", "mediaUrl": "http://x/", "partPath": str(part)}))
        return path

    def test_queue_load_removes_only_partials_of_jobs_not_in_the_queue(self):
        kept = self.paused_download("kept", "JOB-KEPT")
        orphan = self.paused_download("orphan", "JOB-ORPHAN")
        parts = self.out / "stream.1a2b3c.parts"
        parts.mkdir()
        (parts / "seg1.ts").write_bytes(b"x" * 100)
        folder_record = self.record("JOB-STREAM", parts)
        listing_folder = self.out / "A playlist"
        listing_folder.mkdir()
        (listing_folder / "done.mp4").write_bytes(b"finished")
        listing_record = self.support / "downloads" / "hand-listing.json"
        listing_record.write_text(json.dumps({"jobId": "JOB-LIST#listing", "url": "u", "folder": str(listing_folder),
                                              "done": []}))
        users = self.out / "notes.txt"
        users.write_text("mine")
        foreign_record = self.record("JOB-FOREIGN", users)
        stray = self.out / "film.c88add.mp4.part"
        stray.write_bytes(b"not ours")

        row = {"url": "u", "title": "t", "quality": "1080p", "container": "MP4", "audio_only": False,
               "thumb_url": "", "playlist": "", "channel": "", "status": "paused", "id": "JOB-KEPT"}
        self.eng.result("queue.save", {"items": [row]})
        self.restart_engine(kill=False)
        self.assertEqual(self.eng.result("queue.load")["items"], [row])

        self.assertTrue(kept.exists())
        self.assertFalse(orphan.exists())
        self.assertFalse(parts.exists())
        self.assertFalse(folder_record.exists())
        # A listing's folder holds finished files; a path that is not a partial name is not ours.
        self.assertEqual((listing_folder / "done.mp4").read_bytes(), b"finished")
        self.assertFalse(listing_record.exists())
        self.assertEqual(users.read_text(), "mine")
        self.assertFalse(foreign_record.exists())
        self.assertEqual(stray.read_bytes(), b"not ours")
        self.assertEqual(len(list((self.support / "downloads").glob("*.json"))), 1)

        # The job restored from the queue is cancelled before it ever ran in this engine: its file goes.
        self.assertTrue(self.eng.result("download.cancel", {"jobId": "JOB-KEPT"})["running"])
        self.assertFalse(kept.exists())
        self.assertEqual(list((self.support / "downloads").glob("*.json")), [])

    def test_a_running_download_survives_a_queue_load(self):
        video = media_bytes("video.mp4")
        route = self.srv.add("/live.mp4", video, "video/mp4", hold_at=9000)
        rid, job = self.start_download(self.srv.url("/live.mp4"))
        self.wait_progress(job, 9000)
        self.assertEqual(self.eng.result("queue.load"), {"items": []})
        route.gate.set()
        self.assertEqual(Path(self.eng.reply(rid)["result"]["path"]).read_bytes(), video)


if __name__ == "__main__":
    import unittest

    unittest.main()
