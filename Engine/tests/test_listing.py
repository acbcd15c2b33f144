"""Resolving pasted addresses into singles and listings, and paging listings, against 127.0.0.1."""
import os
import tempfile
import unittest

from tests.fixtures.httpserver import MediaServer, embed_page, listing_page, m3u
from vamber_engine import listing
from vamber_engine.net import Session


def playlist(prefix, n, seconds=61.5):
    return m3u([("/media/%s-%03d.mp4" % (prefix, i), "%s %d" % (prefix, i), seconds) for i in range(n)])


def serve_site(srv):
    """The pages, playlists and files the listing tests resolve."""
    srv.add("/media/one.mp4", b"\x00\x00\x00\x18ftypmp42" + b"\x00" * 100, "video/mp4")
    srv.add("/media/song.mp3", b"ID3" + b"\x00" * 100, "audio/mpeg")
    srv.add_page("/embed.html", embed_page("A Talk", "/media/one.mp4", poster="/poster.jpg"))
    srv.add_page("/clips.html", listing_page("Holiday clips", [
        ("/media/beach.mp4", "Beach"), ("/media/hills.mp4", "Hills"), ("/media/song.mp3", "Song")]))
    srv.add("/list.m3u", m3u([("/media/x.mp4", "Intro", 12), ("/media/y.mp4", "Main", 300.4)]), "audio/x-mpegurl")
    srv.add("/uploads.m3u", playlist("up", 120), "audio/x-mpegurl")
    srv.add("/live.m3u", playlist("live", 30), "audio/x-mpegurl")
    srv.add("/big.m3u", playlist("big", 5000), "audio/x-mpegurl")
    srv.add_page("/channel.html", "<html><head><title>The Channel</title></head><body>"
                 '<a href="/uploads.m3u">Uploads</a> <a href="/live.m3u">Live</a></body></html>')
    srv.add_page("/mixed.html", "<html><head><title>Mixed</title></head><body>"
                 '<a href="/media/a.mp4">A</a><a href="/media/b.mp4">B</a>'
                 '<a href="/live.m3u">Live</a><a href="/gone.m3u">Gone</a></body></html>')
    srv.add_page("/pointer.html", '<html><head><title>Pointer</title></head><body>'
                 '<a href="/list.m3u">the list</a></body></html>')
    srv.add_page("/nothing.html", "<html><head><title>Empty</title></head><body>hello</body></html>")
    for n, links, following in ((1, ["g1", "g2"], '<a rel="next" href="/gallery2.html">more</a>'),
                                (2, ["g2", "g3", "g4"], '<link rel="prefetch next" href="gallery3.html">'),
                                (3, ["g5"], '<a href="/gallery.html" rel="next">again</a>')):
        srv.add_page("/gallery%s.html" % ("" if n == 1 else n),
                     "<html><head><title>Gallery page %d</title>%s</head><body>%s</body></html>" % (
                         n, following, "".join('<a href="/media/%s.mp4">%s</a>' % (g, g.upper()) for g in links)))
    srv.add("/private.m3u", m3u([("/media/p1.mp4", "P1", 5), ("/media/p2.mp4", "P2", 5)]), "audio/x-mpegurl",
            cookie=("session", "s3cret"))


class ListingTests(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.srv = MediaServer().start()
        serve_site(cls.srv)

    @classmethod
    def tearDownClass(cls):
        cls.srv.stop()

    def setUp(self):
        self.resolver = listing.Resolver()

    def resolve(self, *paths, cookies_file=""):
        lines = [self.srv.url(p) if p.startswith("/") else p for p in paths]
        return self.resolver.resolve(lines, lambda: Session(cookies_file), cookies_file)

    def test_links_become_singles(self):
        got = self.resolve("/media/one.mp4", "/embed.html", "/media/song.mp3")
        self.assertEqual(got["listings"], [])
        self.assertEqual(got["notes"], [])
        self.assertEqual(got["pageSize"], listing.PAGE_SIZE)
        self.assertEqual([(s["url"], s["title"]) for s in got["singles"]],
                         [(self.srv.url("/media/one.mp4"), "one"), (self.srv.url("/embed.html"), "A Talk"),
                          (self.srv.url("/media/song.mp3"), "song")])
        self.assertEqual(got["singles"][1]["thumbnail"], self.srv.url("/poster.jpg"))
        for single in got["singles"]:
            self.assertEqual((single["section"], single["duration"], single["playlist"]), ("", 0.0, ""))

    def test_page_of_media_links_and_m3u_are_flat_listings(self):
        got = self.resolve("/clips.html", "/list.m3u")
        self.assertEqual(got["singles"], [])
        page, playlist_ = got["listings"]
        self.assertEqual((page["title"], page["sections"], page["notes"]), ("Holiday clips", [], []))
        self.assertEqual([(e["title"], e["url"]) for e in page["entries"]],
                         [("Beach", self.srv.url("/media/beach.mp4")), ("Hills", self.srv.url("/media/hills.mp4")),
                          ("Song", self.srv.url("/media/song.mp3"))])
        self.assertEqual(playlist_["title"], "list")
        self.assertEqual([(e["title"], e["duration"], e["section"]) for e in playlist_["entries"]],
                         [("Intro", 12.0, ""), ("Main", 300.0, "")])

    def test_paginated_page_comes_whole(self):
        got = self.resolve("/gallery.html")["listings"][0]
        self.assertEqual(got["title"], "Gallery page 1")
        self.assertEqual([e["title"] for e in got["entries"]], ["G1", "G2", "G3", "G4", "G5"])
        self.assertEqual(got["sections"], [])
        self.assertEqual(len(self.srv.requests_for("/gallery.html", "GET")), 1)

    def test_flat_listing_comes_whole_however_long(self):
        big = self.resolve("/big.m3u")["listings"][0]
        self.assertEqual([e["title"] for e in big["entries"]], ["big %d" % i for i in range(5000)])
        self.assertEqual(big["notes"], [])

    def test_two_sections_paged_to_their_end(self):
        ch = self.resolve("/channel.html")["listings"][0]
        self.assertEqual(ch["title"], "The Channel")
        self.assertEqual(ch["sections"], [
            {"name": "Uploads", "source": self.srv.url("/uploads.m3u"), "count": 120},
            {"name": "Live", "source": self.srv.url("/live.m3u"), "count": 30}])
        by_section = {}
        for e in ch["entries"]:
            by_section.setdefault(e["section"], []).append(e["title"])
        self.assertEqual(by_section, {"Uploads": ["up %d" % i for i in range(50)],
                                      "Live": ["live %d" % i for i in range(30)]})
        # The application asks for the next page at the number of entries it holds.
        got, offset, pages_seen = list(by_section["Uploads"]), 50, 0
        while True:
            page = self.resolver.page(self.srv.url("/uploads.m3u"), offset, 50, "Uploads", Session)
            pages_seen += 1
            self.assertTrue(all(e["section"] == "Uploads" for e in page["entries"]))
            got += [e["title"] for e in page["entries"]]
            offset += len(page["entries"])
            if page["exhausted"] or len(page["entries"]) < 50:
                break
        self.assertEqual(got, ["up %d" % i for i in range(120)])
        self.assertEqual(pages_seen, 2)
        self.assertTrue(page["exhausted"])
        self.assertEqual(self.resolver.page(self.srv.url("/uploads.m3u"), 120, 50, "Uploads", Session),
                         {"entries": [], "exhausted": True})

    def test_pages_are_read_fresh_when_not_remembered(self):
        page = listing.Resolver().page(self.srv.url("/live.m3u"), 25, 10, "Live", Session)
        self.assertEqual([e["title"] for e in page["entries"]], ["live %d" % i for i in range(25, 30)])
        self.assertTrue(page["exhausted"])
        for count in (0, -5):
            with self.subTest(count=count):
                self.assertEqual(listing.Resolver().page(self.srv.url("/live.m3u"), 0, count, "Live", Session),
                                 {"entries": [], "exhausted": True})

    def test_direct_links_beside_playlists_form_a_whole_section(self):
        mixed = self.resolve("/mixed.html")["listings"][0]
        self.assertEqual(mixed["sections"], [{"name": "Mixed", "source": "", "count": 2},
                                             {"name": "Live", "source": self.srv.url("/live.m3u"), "count": 30}])
        self.assertEqual(mixed["notes"], [{"input": self.srv.url("/gone.m3u"), "reason": "expand-failed"}])
        self.assertEqual(len(mixed["entries"]), 32)

    def test_page_pointing_at_one_playlist_stands_for_it(self):
        got = self.resolve("/pointer.html")["listings"][0]
        self.assertEqual([e["title"] for e in got["entries"]], ["Intro", "Main"])

    def test_skipped_inputs_are_noted_with_counts(self):
        one = self.srv.url("/media/one.mp4")
        got = self.resolve(one, "  ", "just some words", one, "/nothing.html", "/missing.html", one,
                           "ftp://127.0.0.1/x.mp4", "/embed.html")
        self.assertEqual([s["url"] for s in got["singles"]], [one, self.srv.url("/embed.html")])
        self.assertEqual(got["notes"], [
            {"input": "just some words", "reason": "not-a-url"},
            {"input": "ftp://127.0.0.1/x.mp4", "reason": "not-a-url"},
            {"input": one, "reason": "duplicate", "count": 2},
            {"input": self.srv.url("/nothing.html"), "reason": "unreadable"},
            {"input": self.srv.url("/missing.html"), "reason": "unreadable"},
        ])

    def test_too_many_inputs(self):
        lines = [self.srv.url("/media/one.mp4?n=%d" % i) for i in range(listing.MAX_INPUTS + 3)]
        got = self.resolver.resolve(lines, Session)
        self.assertEqual(len(got["singles"]), listing.MAX_INPUTS)
        self.assertEqual(got["notes"], [{"input": lines[listing.MAX_INPUTS], "reason": "queue-full", "count": 3}])

    def test_the_first_input_not_taken_is_named_as_pasted(self):
        # A bare host name is taken as https://…; the note names the text the application sent.
        lines = [self.srv.url("/media/one.mp4?n=%d" % i) for i in range(listing.MAX_INPUTS)]
        bare = "127.0.0.1:9/media/one.mp4?n=last"
        got = self.resolver.resolve(lines + [lines[0], "  " + bare + " ", "words only", bare], Session)
        self.assertEqual(len(got["singles"]), listing.MAX_INPUTS)
        self.assertIn({"input": bare, "reason": "queue-full", "count": 1}, got["notes"])

    def test_cookies_from_the_cookie_file_are_sent(self):
        self.assertEqual(self.resolve("/private.m3u")["notes"][0]["reason"], "unreadable")
        with tempfile.TemporaryDirectory() as tmp:
            jar = os.path.join(tmp, "cookies.txt")
            with open(jar, "w") as f:
                f.write("# Netscape HTTP Cookie File\n127.0.0.1\tFALSE\t/\tFALSE\t0\tsession\ts3cret\n")
            got = self.resolve("/private.m3u", cookies_file=jar)
        self.assertEqual([e["title"] for e in got["listings"][0]["entries"]], ["P1", "P2"])
        self.assertEqual(self.srv.requests_for("/private.m3u")[-1].header("Cookie"), "session=s3cret")

    def test_addresses_are_recognised(self):
        cases = {
            "https://example.org/v.mp4": "https://example.org/v.mp4",
            "HTTP://Example.org/a": "http://Example.org/a",
            "example.org/watch?v=1": "https://example.org/watch?v=1",
            "example.org": "https://example.org",
            "localhost": None, "two words": None, "mailto:a@b.org": None, "ftp://h.org/x": None,
            "file:///etc/passwd": None, "https://": None, "": None,
        }
        for text, want in cases.items():
            with self.subTest(text=text):
                self.assertEqual(listing.normalise(text), want)


if __name__ == "__main__":
    unittest.main()
