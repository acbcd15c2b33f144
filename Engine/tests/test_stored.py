"""What the engine keeps for the application: the saved queue and the favourites."""
import glob
import json
import os

from tests.harness import EngineTestCase


def row(n, **over):
    r = {"url": f"https://example.com/v/{n}", "title": f"Vidéo {n} ✓", "quality": "720p", "container": "MP4",
         "audio_only": n % 2 == 0, "thumb_url": "", "playlist": "", "channel": "Chaîne", "status": "waiting"}
    r.update(over)
    return r


class QueueTest(EngineTestCase):
    def test_saved_rows_come_back_exactly_after_a_restart(self):
        e = self.start()
        self.assertEqual(e.result("queue.load"), {"items": []})
        rows = [row(1), row(2, title=""), row(3, url="")]
        self.assertEqual(e.result("queue.save", {"items": rows}), {"saved": 3})
        e.result("shutdown")
        e.wait_exit()
        e = self.start()
        loaded = e.result("queue.load")["items"]
        self.assertEqual(loaded, rows)
        self.assertEqual([list(r) for r in loaded], [list(rows[0])] * 3)  # the nine keys, in order
        self.assertEqual(e.result("queue.save", {"items": []}), {"saved": 0})
        self.assertEqual(e.result("queue.load"), {"items": []})

    def test_a_held_save_delays_no_other_request_and_the_last_save_wins(self):
        e = self.start(test_mode=True)
        e.result("test.gate", {"name": "queue.write", "closed": True})
        first = e.send("queue.save", {"items": [row(1), row(2)]})
        second = e.send("queue.save", {"items": [row(3)]})
        load = e.send("queue.load")
        settings = e.send("settings.get")
        pause = e.send("download.pause", {"jobId": "NONE"})
        # Both quick requests answer while the first save is still held, before any queue reply.
        replies = [e.next_message()["id"] for _ in range(2)]
        self.assertEqual(sorted(replies), sorted([settings, pause]))
        path = os.path.join(self.support, "queue.json")
        self.assertFalse(os.path.exists(path))
        e.result("test.gate", {"name": "queue.write", "closed": False})
        order = [e.next_message() for _ in range(3)]
        self.assertEqual([m["id"] for m in order], [first, second, load])
        self.assertEqual([m["result"] for m in order], [{"saved": 2}, {"saved": 1}, {"items": [row(3)]}])
        with open(path, encoding="utf-8") as f:
            self.assertEqual(json.load(f), {"items": [row(3)]})

    def test_saves_sent_just_before_the_input_ends_still_land(self):
        e = self.start(test_mode=True)
        e.result("test.gate", {"name": "queue.write", "closed": True})
        for n in range(1, 4):
            e.send("queue.save", {"items": [row(n)] * n})
        e.send("test.gate", {"name": "queue.write", "closed": False})
        e.close_input()
        self.assertEqual(e.wait_exit(), 0)
        with open(os.path.join(self.support, "queue.json"), encoding="utf-8") as f:
            self.assertEqual(json.load(f), {"items": [row(3)] * 3})

    def test_extra_keys_are_not_stored(self):
        e = self.start()
        e.result("queue.save", {"items": [dict(row(1), extra="x")]})
        self.assertEqual(e.result("queue.load")["items"], [row(1)])

    def test_bad_rows_are_refused_whole_naming_the_key(self):
        e = self.start()
        e.result("queue.save", {"items": [row(1)]})
        wrong = dict(row(2))
        wrong["audioOnly"] = wrong.pop("audio_only")
        cases = [
            ({"items": [row(1), wrong]}, "items[1].audio_only"),
            ({"items": [row(1, title=None)]}, "items[0].title"),
            ({"items": [row(1, audio_only="no")]}, "items[0].audio_only"),
            ({"items": [row(1), "x"]}, "items[1]"),
            ({"items": {}}, "items"),
            ({}, "items"),
        ]
        for params, key in cases:
            with self.subTest(key=key):
                err = e.call("queue.save", params)["error"]
                self.assertEqual((err["code"], err["detail"]), (-32602, key))
        self.assertEqual(e.result("queue.load")["items"], [row(1)])

    def test_unreadable_queue_file_is_kept_aside(self):
        os.makedirs(self.support)
        path = os.path.join(self.support, "queue.json")
        cases = [b"{broken", b'{"items": 3}', b"", b'["not", "a", "queue"]']
        for data in cases:
            with self.subTest(data=data):
                for old in glob.glob(path + "*"):
                    os.unlink(old)
                with open(path, "wb") as f:
                    f.write(data)
                e = self.start()
                hello = e.result("hello")
                (aside,) = glob.glob(path + ".corrupt-*")
                self.assertEqual(hello["setAside"], [{"file": path, "savedAs": aside}])
                self.assertEqual(e.result("queue.load"), {"items": []})
                with open(aside, "rb") as f:
                    self.assertEqual(f.read(), data)
                e.result("shutdown")
                e.wait_exit()

    def test_rows_are_read_one_by_one(self):
        os.makedirs(self.support)
        path = os.path.join(self.support, "queue.json")
        missing = row(2)
        del missing["channel"]
        good = [row(1), row(3, id="A1", videoCodec="VP9", subtitleMode="both", saveThumbnail=True,
                            embedCover=False), row(5)]
        items = [good[0], missing, good[1], "x", row(4, audio_only="yes"), good[2], row(6, id=7)]
        data = json.dumps({"items": items}).encode()
        with open(path, "wb") as f:
            f.write(data)
        e = self.start()
        hello = e.result("hello")
        (aside,) = glob.glob(path + ".corrupt-*")
        self.assertEqual(hello["setAside"], [{"file": path, "savedAs": aside}])
        self.assertEqual(e.result("queue.load"), {"items": good, "skipped": 4})
        with open(aside, "rb") as f:
            self.assertEqual(f.read(), data)  # the damaged rows are not lost
        e.result("shutdown")
        e.wait_exit()
        # What was readable is what the file holds now: the next start finds nothing damaged.
        e = self.start()
        self.assertNotIn("setAside", e.result("hello"))
        self.assertEqual(e.result("queue.load"), {"items": good})
        self.assertEqual(glob.glob(path + ".corrupt-*"), [aside])

    def test_rows_keep_their_job_id_and_whole_format(self):
        e = self.start()
        full = row(1, id="9F0C-1", subtitleMode="embed", videoCodec="H.265", saveThumbnail=True, embedCover=True)
        old = row(2)  # saved before rows had the id and the rest of the format
        self.assertEqual(e.result("queue.save", {"items": [full, old]}), {"saved": 2})
        e.result("shutdown")
        e.wait_exit()
        e = self.start()
        loaded = e.result("queue.load")["items"]
        self.assertEqual(loaded, [full, old])
        self.assertEqual(list(loaded[0]), list(row(1)) + ["id", "subtitleMode", "videoCodec", "saveThumbnail",
                                                          "embedCover"])
        for key, value in [("id", 3), ("saveThumbnail", "yes"), ("embedCover", 1), ("videoCodec", False)]:
            with self.subTest(key=key):
                err = e.call("queue.save", {"items": [row(1, **{key: value})]})["error"]
                self.assertEqual(err["detail"], f"items[0].{key}")
        self.assertEqual(e.result("queue.load")["items"], [full, old])

class FavouritesTest(EngineTestCase):
    def test_add_remove_and_persist(self):
        e = self.start()
        self.assertEqual(e.result("favourites.list"), {"items": []})
        e.result("favourites.add", {"url": "https://a.example/", "title": "A"})
        e.result("favourites.add", {"url": "https://b.example/", "title": ""})
        got = e.result("favourites.add", {"url": "https://a.example/", "title": "A again"})
        self.assertEqual(got["items"], [{"url": "https://a.example/", "title": "A again"},
                                        {"url": "https://b.example/", "title": ""}])
        self.assertEqual(e.result("favourites.remove", {"url": "https://nowhere/"}), got)
        e.result("shutdown")
        e.wait_exit()
        e = self.start()
        self.assertEqual(e.result("favourites.list"), got)
        left = e.result("favourites.remove", {"url": "https://a.example/"})
        self.assertEqual(left["items"], [{"url": "https://b.example/", "title": ""}])

    def test_bad_params(self):
        e = self.start()
        for method, params, key in [("favourites.add", {"url": "", "title": "x"}, "url"),
                                    ("favourites.add", {"url": "https://x/"}, "title"),
                                    ("favourites.remove", {}, "url")]:
            with self.subTest(method=method, params=params):
                self.assertEqual(e.call(method, params)["error"]["detail"], key)
        self.assertEqual(e.result("favourites.list"), {"items": []})


class WriteFailureTest(EngineTestCase):
    def test_failed_write_is_an_error_reply_and_the_engine_goes_on(self):
        os.makedirs(self.support)
        for name in ("queue.json", "favourites.json", "settings.json"):
            os.makedirs(os.path.join(self.support, name))  # a folder where the file should be
        e = self.start()
        cases = [("queue.save", {"items": [row(1)]}, "queue"),
                 ("favourites.add", {"url": "https://a/", "title": "A"}, "favourites"),
                 ("settings.set", {"values": {"quality": "720p"}}, "settings")]
        for method, params, what in cases:
            with self.subTest(method=method):
                err = e.call(method, params)["error"]
                self.assertEqual(err["code"], 1002)
                self.assertIn(what, err["message"])
        # nothing pretends to have been saved
        self.assertEqual(e.result("settings.get")["quality"], "1080p")
        self.assertEqual(e.result("queue.load"), {"items": []})
        self.assertEqual(e.result("favourites.list"), {"items": []})
