"""The library through the protocol: pages, removal to the trash, reveal, and what survives a restart."""

import os
import stat
import sys
import unittest
from pathlib import Path
from urllib.parse import unquote

sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

from fixtures.enginecase import EngineCase  # noqa: E402
from fixtures.httpserver import embed_page  # noqa: E402
from fixtures.media import media_bytes  # noqa: E402
from vamber_engine import desktop, librarydb  # noqa: E402

ITEM_KEYS = {"path", "title", "url", "kind", "addedAt", "sizeBytes", "thumbURL", "thumbPath", "channel", "playlist",
             "exists"}


class LibraryTest(EngineCase):
    def download(self, path, **over):
        reply = self.eng.call("download.start", self.download_params(self.srv.url(path), **over), timeout=30)
        self.assertIn("result", reply, reply)
        return Path(reply["result"]["path"])

    def page(self, offset, limit=120):
        return self.eng.result("library.list", {"limit": limit, "offset": offset})

    def test_downloads_are_listed_newest_first_in_pages(self):
        video = media_bytes("video.mp4")
        for name in ("first", "second", "third"):
            self.srv.add("/%s.mp4" % name, video, "video/mp4")
            self.download("/%s.mp4" % name)
        p0 = self.page(0, 2)
        self.assertEqual([i["title"] for i in p0["items"]], ["third", "second"])
        self.assertEqual((p0["total"], p0["offset"], p0["hasMore"]), (3, 0, True))
        p1 = self.page(2, 2)
        self.assertEqual([i["title"] for i in p1["items"]], ["first"])
        self.assertEqual((p1["total"], p1["offset"], p1["hasMore"]), (3, 2, False))
        # the same page, continued from the page before
        self.assertEqual(self.eng.result("library.list", {"limit": 2, "offset": 2, "cursor": p0["cursor"]}), p1)
        refused = self.eng.call("library.list", {"limit": 2, "offset": 2, "cursor": "page two"})["error"]
        self.assertEqual((refused["code"], refused["detail"]), (-32602, "cursor"))
        item = p1["items"][0]
        self.assertEqual(set(item), ITEM_KEYS)
        self.assertEqual((item["url"], item["kind"], item["sizeBytes"], item["exists"]),
                         (self.srv.url("/first.mp4"), "video", len(video), True))
        os.unlink(item["path"])
        self.assertFalse(self.page(2, 2)["items"][0]["exists"])
        # the index is kept in the support folder and outlives the engine
        self.restart_engine(kill=False)
        self.assertEqual(self.page(0)["total"], 3)

    def test_thumbnails_travel_with_their_item_without_counting(self):
        self.srv.add("/v.mp4", media_bytes("video.mp4"), "video/mp4")
        self.srv.add("/p.png", media_bytes("poster.png"), "image/png")
        self.srv.add_page("/w", embed_page("With poster", "/v.mp4", poster="/p.png"))
        self.download("/v.mp4")
        media_path = self.download("/w", saveThumbnail=True)
        p = self.page(0, 1)
        self.assertEqual([(i["kind"], Path(i["path"]).name) for i in p["items"]],
                         [("video", "With poster.mp4"), ("thumbnail", "With poster.png")])
        self.assertEqual(p["items"][0]["thumbPath"], p["items"][1]["path"])
        self.assertEqual((p["total"], p["hasMore"]), (2, True))
        self.assertEqual([i["title"] for i in self.page(1, 1)["items"]], ["v"])
        self.assertTrue(media_path.exists())

    def test_remove_forgets_and_moves_files_to_the_trash(self):
        self.srv.add("/a.mp4", media_bytes("video.mp4"), "video/mp4")
        self.srv.add("/p.jpg", media_bytes("poster.jpg"), "image/jpeg")
        self.srv.add_page("/page", embed_page("Keep me", "/a.mp4", poster="/p.jpg"))
        kept = self.download("/a.mp4")
        trashed = self.download("/page", saveThumbnail=True)
        thumb = trashed.with_suffix(".jpg")
        stranger = self.out / "not-in-library.mp4"
        stranger.write_bytes(b"x")

        self.eng.result("library.remove", {"paths": [str(kept)], "deleteFiles": False})
        self.assertTrue(kept.exists())
        self.assertEqual([i["path"] for i in self.page(0)["items"]], [str(trashed), str(thumb)])

        self.eng.result("library.remove", {"paths": [str(trashed), str(stranger)], "deleteFiles": True})
        self.assertEqual(self.page(0)["items"], [])
        self.assertFalse(trashed.exists() or thumb.exists())
        self.assertTrue(stranger.exists())  # only library files are ever trashed
        self.assertEqual(self.trash_files(), ["Keep me.jpg", "Keep me.mp4"])
        info = (self.data_home / "Trash" / "info" / "Keep me.mp4.trashinfo").read_text()
        lines = info.splitlines()
        self.assertEqual(lines[0], "[Trash Info]")
        self.assertEqual(unquote(lines[1][len("Path="):]), str(trashed))
        self.assertRegex(lines[2], r"^DeletionDate=\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d$")
        self.assertEqual((self.data_home / "Trash" / "files" / "Keep me.mp4").read_bytes(), media_bytes("video.mp4"))

    def test_restart_mid_download_keeps_the_partial_file_and_resumes(self):
        video = media_bytes("video.mp4")
        route = self.srv.add("/long.mp4", video, "video/mp4", hold_at=15000)
        rid, job = self.start_download(self.srv.url("/long.mp4"))
        self.wait_progress(job, 15000)
        self.restart_engine(kill=True)
        parts = [p for p in self.out.iterdir() if p.name.endswith(".part")]
        self.assertEqual(len(parts), 1)
        self.assertEqual(parts[0].read_bytes(), video[:15000])
        route.gate.set()
        self.srv.clear_log()
        reply = self.eng.call("download.start", self.download_params(self.srv.url("/long.mp4"), job), timeout=30)
        self.assertEqual(Path(reply["result"]["path"]).read_bytes(), video)
        self.assertEqual(self.srv.requests_for("/long.mp4", "GET")[-1].header("Range"), "bytes=15000-")
        self.assertEqual([i["title"] for i in self.page(0)["items"]], ["long"])

    def test_shutdown_mid_download_keeps_the_partial_file(self):
        video = media_bytes("video.mp4")
        route = self.srv.add("/s.mp4", video, "video/mp4", hold_at=9000)
        rid, job = self.start_download(self.srv.url("/s.mp4"))
        self.wait_progress(job, 9000)
        self.restart_engine(kill=False)
        route.gate.set()
        reply = self.eng.call("download.start", self.download_params(self.srv.url("/s.mp4"), job), timeout=30)
        self.assertEqual(Path(reply["result"]["path"]).read_bytes(), video)
        self.assertEqual(self.srv.requests_for("/s.mp4", "GET")[-1].header("Range"), "bytes=9000-")


class RevealTest(EngineCase):
    needs_ffmpeg = False

    def fake_tool(self, folder, name, status):
        folder.mkdir(exist_ok=True)
        script = folder / name
        script.write_text("#!/bin/sh\nprintf '%%s\\n' \"$@\" > \"%s/%s.args\"\nexit %d\n" % (self.tmp, name, status))
        script.chmod(script.stat().st_mode | stat.S_IEXEC)

    def test_reveal_asks_the_file_manager_then_falls_back_to_opening_the_folder(self):
        target = self.out / "a file.mp4"
        target.write_bytes(b"x")
        for gdbus_status, via in ((0, "dbus"), (1, "open")):
            with self.subTest(via=via):
                tools = self.tmp / ("bin%d" % gdbus_status)
                self.fake_tool(tools, "gdbus", gdbus_status)
                self.fake_tool(tools, "xdg-open", 0)
                for f in self.tmp.glob("*.args"):
                    f.unlink()
                eng = self.restart_engine({"PATH": "%s:%s" % (tools, os.environ.get("PATH", ""))})
                result = eng.result("library.reveal", {"path": str(target)})
                self.assertEqual(result["via"], via)
                args = (self.tmp / "gdbus.args").read_text().splitlines()
                self.assertIn("org.freedesktop.FileManager1.ShowItems", args)
                self.assertIn("['%s']" % target.as_uri(), args)
                if via == "open":
                    for _ in range(200):  # xdg-open is started in the background
                        if (self.tmp / "xdg-open.args").exists():
                            break
                        import time
                        time.sleep(0.05)
                    self.assertEqual((self.tmp / "xdg-open.args").read_text().strip(), str(self.out))
        err = self.eng.call("library.reveal", {"path": str(self.out / "gone.mp4")})["error"]
        self.assertIn("gone.mp4", err["message"])


class TrashUnitTest(unittest.TestCase):
    def test_names_in_the_trash_never_collide(self):
        import tempfile
        with tempfile.TemporaryDirectory() as tmp:
            old = os.environ.get("XDG_DATA_HOME")
            os.environ["XDG_DATA_HOME"] = os.path.join(tmp, "data")
            try:
                for content in (b"one", b"two", b"three"):
                    f = Path(tmp) / "same.mp4"
                    f.write_bytes(content)
                    desktop.move_to_trash(f)
                files = Path(tmp) / "data" / "Trash" / "files"
                self.assertEqual(sorted(os.listdir(files)), ["same.2.mp4", "same.3.mp4", "same.mp4"])
                self.assertEqual((files / "same.3.mp4").read_bytes(), b"three")
                infos = sorted(os.listdir(Path(tmp) / "data" / "Trash" / "info"))
                self.assertEqual(infos, ["same.2.mp4.trashinfo", "same.3.mp4.trashinfo", "same.mp4.trashinfo"])
                with self.assertRaises(desktop.TrashError):
                    desktop.move_to_trash(Path(tmp) / "same.mp4")
            finally:
                if old is None:
                    del os.environ["XDG_DATA_HOME"]
                else:
                    os.environ["XDG_DATA_HOME"] = old

    def test_library_page_bounds(self):
        import tempfile
        with tempfile.TemporaryDirectory() as tmp:
            lib = librarydb.Library(os.path.join(tmp, "lib.sqlite3"))
            for n in range(5):
                lib.add(librarydb.Item(path="/m/%d.mp4" % n, title=str(n), addedAt=1000 + n))
            lib.add(librarydb.Item(path="/m/3.jpg", title="3", kind="thumbnail", parent="/m/3.mp4", addedAt=2000))
            lib.add(librarydb.Item(path="/m/1.mp4", title="again", addedAt=3000))  # downloaded again: newest
            cases = [(0, 2, ["again", "4"], True), (2, 2, ["3", "3", "2"], True), (4, 2, ["0"], False),
                     (9, 2, [], False), (0, 0, [], True)]
            for offset, limit, titles, more in cases:
                with self.subTest(offset=offset, limit=limit):
                    page = lib.page(offset, limit)
                    self.assertEqual([i["title"] for i in page["items"]], titles)
                    self.assertEqual((page["total"], page["hasMore"]), (5, more))
            self.assertEqual(len(lib.remove(["/m/3.mp4"])), 2)
            self.assertEqual(lib.count(), 4)
            lib.close()


class PageByCursorTest(unittest.TestCase):
    """Paging on with the "cursor" of the page before: each page costs its own size, and a library that
    changes between pages is read without repeats or gaps."""

    def setUp(self):
        import tempfile
        self._tmp = tempfile.TemporaryDirectory()
        self.lib = librarydb.Library(os.path.join(self._tmp.name, "lib.sqlite3"))
        self.lib._db.execute("PRAGMA synchronous=OFF")  # thousands of single-row commits, none worth a sync
        self.addCleanup(self._tmp.cleanup)
        self.addCleanup(self.lib.close)

    def fill(self, count, thumbs_every=10):
        for n in range(count):
            path = "/m/%05d.mp4" % n
            # pairs of items added at the same moment: the path orders them
            self.lib.add(librarydb.Item(path=path, title=str(n), addedAt=10000 - n // 2))
            if n % thumbs_every == 0:
                self.lib.add(librarydb.Item(path=path + ".jpg", kind="thumbnail", parent=path, addedAt=10000 - n // 2))

    def read_all(self, limit, between=None):
        """Every page by cursor; `between(page_number)` may change the library between pages."""
        pages, cursor, offset = [], None, 0
        while True:
            page = self.lib.page(offset, limit, cursor)
            pages.append(page)
            offset += sum(1 for i in page["items"] if i["kind"] != "thumbnail")
            if not page["hasMore"]:
                return pages
            cursor = page["cursor"]
            if between:
                between(len(pages))

    def test_cursor_pages_are_the_offset_pages(self):
        self.fill(250)
        for limit in (1, 7, 120, 250, 400):
            with self.subTest(limit=limit):
                by_cursor = self.read_all(limit)
                by_offset = [self.lib.page(p["offset"], limit) for p in by_cursor]
                self.assertEqual([p["items"] for p in by_cursor], [p["items"] for p in by_offset])
                self.assertEqual([(p["total"], p["hasMore"]) for p in by_cursor],
                                 [(p["total"], p["hasMore"]) for p in by_offset])
                self.assertEqual(sum(len(p["items"]) for p in by_cursor), 275)
                self.assertNotIn("cursor", by_cursor[-1])

    def read_media_paths(self, between):
        self.fill(300)
        seen = [i["path"] for p in self.read_all(120, between) for i in p["items"] if i["kind"] != "thumbnail"]
        self.assertEqual(len(seen), len(set(seen)))
        return seen

    def test_downloads_finishing_between_pages_repeat_nothing(self):
        def download_finishes(n):
            self.lib.add(librarydb.Item(path="/new/%d.mp4" % n, addedAt=20000 + n))
        self.assertEqual(self.read_media_paths(download_finishes), ["/m/%05d.mp4" % n for n in range(300)])

    def test_items_removed_between_pages_skip_nothing(self):
        def item_removed(n):
            self.lib.remove(["/m/%05d.mp4" % (120 * n - 1)])  # the last item of the page just read
        self.assertEqual(self.read_media_paths(item_removed), ["/m/%05d.mp4" % n for n in range(300)])

    def test_the_last_page_costs_what_the_first_does(self):
        self.fill(3000, thumbs_every=1000)
        first = self.lib.page(0, 120)  # counts the library once
        steps = [0]
        def count():
            steps[0] += 1
        self.lib._db.set_progress_handler(count, 10)
        def cost(offset, cursor):
            steps[0] = 0
            page = self.lib.page(offset, 120, cursor)
            return steps[0], page
        near_start, page = cost(120, first["cursor"])
        pages = self.read_all(120)
        near_end, last = cost(pages[-2]["offset"] + 120, pages[-2]["cursor"])
        self.assertEqual(last["items"], pages[-1]["items"])
        self.assertFalse(last["hasMore"])
        self.assertLess(near_end, 2 * near_start + 50, (near_start, near_end))
        self.lib._db.set_progress_handler(None, 0)

    def test_the_total_follows_every_change(self):
        self.fill(3)
        other = librarydb.Library(self.lib.db_path)  # as another process writing the same file would
        self.addCleanup(other.close)
        steps = [("as filled", lambda: None, 3),
                 ("added here", lambda: self.lib.add(librarydb.Item(path="/x.mp4", addedAt=1)), 4),
                 ("added elsewhere", lambda: other.add(librarydb.Item(path="/y.mp4", addedAt=1)), 5),
                 ("a thumbnail", lambda: other.add(librarydb.Item(path="/y.jpg", kind="thumbnail", parent="/y.mp4")), 5),
                 ("removed elsewhere", lambda: other.remove(["/m/00000.mp4"]), 4),
                 ("removed here", lambda: self.lib.remove(["/x.mp4"]), 3)]
        for name, change, total in steps:
            with self.subTest(name):
                change()
                self.assertEqual(self.lib.page(0, 1)["total"], total)

    def test_a_cursor_it_never_gave_is_refused(self):
        self.fill(3)
        for cursor in ("", "nonsense", "[1]", '["x", "/m"]', "[true, \"/m\"]", '[1, 2]', "{}"):
            with self.subTest(cursor=cursor):
                with self.assertRaises(ValueError):
                    self.lib.page(1, 1, cursor)


if __name__ == "__main__":
    unittest.main()
