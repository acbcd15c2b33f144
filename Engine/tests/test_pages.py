"""Page and playlist parsing: what a page embeds or links, and how a source is picked."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

from vamber_engine import pages, resolve  # noqa: E402

BASE = "http://site.test/watch/page.html"


class PageParsingTest(unittest.TestCase):
    def test_embedded_video_with_sources_tracks_and_og(self):
        html = """<html><head><title>Fallback title</title>
        <meta property="og:title" content="  The &amp; Title ">
        <meta property="og:image" content="/img/poster.jpg">
        <meta property="og:site_name" content="Site">
        <base href="http://cdn.test/media/"></head><body>
        <video poster="p.jpg"><source src="clip-720.mp4" type="video/mp4" size="720">
        <source src="clip-360.webm" type="video/webm" label="360p">
        <track kind="subtitles" srclang="en" src="en.vtt"><track kind="captions" srclang="fr" src="fr.vtt">
        <track kind="chapters" srclang="en" src="ch.vtt"></video>
        <a href="other.html">not media</a></body></html>"""
        info = pages.parse_html(html, BASE)
        self.assertEqual(info.title, "The & Title")
        self.assertEqual(info.thumbnail, "http://cdn.test/img/poster.jpg")  # <base> applies to the whole page
        self.assertEqual(info.channel, "Site")
        self.assertFalse(info.is_listing)
        group = info.primary()
        self.assertEqual([s.url for s in group.sources],
                         ["http://cdn.test/media/clip-720.mp4", "http://cdn.test/media/clip-360.webm"])
        self.assertEqual([s.height for s in group.sources], [720, 360])
        self.assertEqual([(t.lang, t.url) for t in group.tracks],
                         [("en", "http://cdn.test/media/en.vtt"), ("fr", "http://cdn.test/media/fr.vtt")])

    def test_what_a_page_offers(self):
        cases = [
            ("og:video only", '<meta property="og:video" content="http://x.test/a.mp4">', 1, False),
            ("og:video naming a player page is not media",
             '<meta property="og:video" content="http://x.test/embed/1"><meta property="og:video:type" '
             'content="text/html">', 0, False),
            ("og:audio", '<meta property="og:audio" content="/song.mp3">', 1, False),
            ("two players", '<video src="/a.mp4"></video><audio src="/b.mp3"></audio>', 2, True),
            ("the same file twice", '<video src="/a.mp4"></video><video src="/a.mp4"></video>', 1, False),
            ("links to media", '<a href="/a.mp4">A</a><a href="/b.mp3">B</a><a href="/a.mp4">again</a>',
             2, True),
            ("one link", '<a href="/only.webm">Only</a>', 1, False),
            ("json-ld video", '<script type="application/ld+json">{"@type":"VideoObject","name":"LD",'
             '"contentUrl":"/ld.mp4","thumbnailUrl":["/t.jpg"]}</script>', 1, False),
            ("nothing", "<p>Hello</p>", 0, False),
            ("broken html", "<video src='/a.mp4'><source <<<", 1, False),
        ]
        for name, body, count, listing in cases:
            with self.subTest(name):
                info = pages.parse_html("<html><head></head><body>%s</body></html>" % body, BASE)
                self.assertEqual(len(info.entries()), count)
                self.assertEqual(info.is_listing, listing)

    def test_embedded_player_wins_over_links(self):
        info = pages.parse_html('<video src="/v.mp4"></video><a href="/x.mp4">x</a><a href="/y.mp4">y</a>', BASE)
        self.assertFalse(info.is_listing)
        self.assertEqual(info.primary().sources[0].url, "http://site.test/v.mp4")

    def test_m3u_listing_and_hls_stream(self):
        text = "#EXTM3U\n#PLAYLIST:Mix\n#EXTINF:12,First song\nhttp://a.test/1.mp3\n\n#EXTINF:-1,\n2.mp3\n# c\n"
        pl = pages.parse_m3u(text, "http://a.test/list.m3u")
        self.assertFalse(pl.is_stream)
        self.assertEqual(pl.title, "Mix")
        self.assertEqual([(e.url, e.title, e.duration) for e in pl.entries],
                         [("http://a.test/1.mp3", "First song", 12.0), ("http://a.test/2.mp3", "2", 0.0)])
        hls = pages.parse_m3u("#EXTM3U\n#EXT-X-TARGETDURATION:4\n#EXTINF:4,\nseg0.ts\n", "http://a.test/s.m3u8")
        self.assertTrue(hls.is_stream)

    def test_media_kind_and_names(self):
        cases = [
            ("video/mp4", "http://x/a", "video"),
            ("audio/mpeg; charset=x", "http://x/a", "audio"),
            ("application/octet-stream", "http://x/a.MKV?x=1", "video"),
            ("application/vnd.apple.mpegurl", "http://x/a", "playlist"),
            ("text/html", "http://x/a.mp4", None),
            ("", "http://x/song.flac", "audio"),
            ("", "http://x/page", None),
        ]
        for ctype, url, kind in cases:
            with self.subTest(ctype=ctype, url=url):
                self.assertEqual(pages.media_kind(ctype, url), kind)
        self.assertEqual(pages.title_from_url("http://x/dir/My_great%20clip.mp4"), "My great clip")
        self.assertEqual(pages.safe_filename('a/b:c*d?"e<f>|g\x01 . '), "a b c d e f g")
        self.assertEqual(pages.safe_filename(" ... "), "download")
        self.assertEqual(len(pages.safe_filename("é" * 200).encode()), 180)

    def test_file_names_read_as_they_are(self):
        cases = [
            ("photo\u202egnp.exe", "photognp.exe"),  # shown as "photoexe.png" with the override kept
            ("\u2066Report\u2069 \u200fdraft\u200e", "Report draft"),
            ("\ufeffTitle\u200b with\u00ad marks", "Title with marks"),
            ("emoji \U0001F468\u200d\U0001F469", "emoji \U0001F468\U0001F469"),
            ("-rf", "rf"),
            ("--help me", "help me"),
            (" - . -x- ", "x-"),
            ("a\u0085b\x9fc", "a b c"),
            ("\u202e", "download"),
            ("---", "download"),
            ("Caf\u00e9 \u00e0 Paris", "Caf\u00e9 \u00e0 Paris"),
        ]
        for title, name in cases:
            with self.subTest(title=title):
                self.assertEqual(pages.safe_filename(title), name)
        self.assertEqual(pages.safe_filename("-\u202e"), "download")
        self.assertEqual(pages.visible_name("-clip\u202e"), "clip")

    def test_height_hints(self):
        for text, height in [("720p", 720), ("1920x1080", 1080), ("4K", 2160), ("HD 1080", 1080), ("", None),
                             ("high", None)]:
            with self.subTest(text=text):
                self.assertEqual(pages.height_hint(text), height)


class PickSourceTest(unittest.TestCase):
    HEIGHTS = {"1080p": 1080, "720p": 720, "480p": 480, "360p": 360}

    def test_pick_table(self):
        S = pages.MediaRef
        sources = [S("http://x/1080.mp4", height=1080), S("http://x/720.webm", height=720),
                   S("http://x/720.mp4", height=720), S("http://x/a.m4a", mime="audio/mp4")]
        cases = [
            ("1080p", False, "MP4", "http://x/1080.mp4"),
            ("720p", False, "MP4", "http://x/720.mp4"),
            ("720p", False, "WEBM", "http://x/720.webm"),
            ("360p", False, "MP4", "http://x/720.mp4"),  # nothing that small: the smallest there is
            ("1080p", True, "MP4", "http://x/a.m4a"),
        ]
        for quality, audio, container, expected in cases:
            with self.subTest(quality=quality, audio=audio, container=container):
                got = resolve.pick_source(sources, quality, audio, container, self.HEIGHTS)
                self.assertEqual(got.url, expected)

    def test_sniff(self):
        self.assertEqual(resolve.sniff(b"\x00\x00\x00\x18ftypmp42"), "video")
        self.assertEqual(resolve.sniff(b"\x1a\x45\xdf\xa3...."), "video")
        self.assertEqual(resolve.sniff(b"ID3\x03"), "audio")
        self.assertIsNone(resolve.sniff(b"<html>"))


if __name__ == "__main__":
    unittest.main()
