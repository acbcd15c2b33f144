"""Cookie file reading and matching, and that requests really carry the matching cookies."""

import os
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))
sys.path.insert(0, str(Path(__file__).resolve().parent))

from fixtures.httpserver import MediaServer  # noqa: E402
from vamber_engine import cookies, net  # noqa: E402

FUTURE = int(time.time()) + 86400
PAST = int(time.time()) - 86400

COOKIE_FILE = "\n".join([
    "# Netscape HTTP Cookie File",
    "# comment line",
    "",
    f".example.com\tTRUE\t/\tFALSE\t{FUTURE}\tsite\tall",
    f"example.com\tFALSE\t/\tFALSE\t{FUTURE}\thostonly\th",
    f"#HttpOnly_.example.com\tTRUE\t/\tTRUE\t{FUTURE}\tsecret\ts3",
    f".example.com\tTRUE\t/videos\tFALSE\t{FUTURE}\tdeep\td",
    f".example.com\tTRUE\t/\tFALSE\t{PAST}\told\tgone",
    ".example.com\tTRUE\t/\tFALSE\t0\tsession\tyes",
    "other.org\tFALSE\t/\tFALSE\t0\tforeign\tno",
    "broken line without tabs",
    "127.0.0.1\tFALSE\t/\tFALSE\t0\tlocal\tL",
]) + "\n"


class CookieMatchingTest(unittest.TestCase):
    def setUp(self):
        self.jar = cookies.CookieJar(cookies.parse(COOKIE_FILE))

    def names(self, url):
        return sorted(c.name for c in self.jar.matching(url))

    def test_parse_keeps_httponly_and_skips_comments_and_junk(self):
        parsed = cookies.parse(COOKIE_FILE)
        by_name = {c.name: c for c in parsed}
        self.assertEqual(len(parsed), 8)
        self.assertTrue(by_name["secret"].http_only)
        self.assertTrue(by_name["secret"].secure)
        self.assertEqual(by_name["site"].domain, "example.com")
        self.assertEqual(by_name["session"].expires, 0)

    def test_matching_table(self):
        cases = [
            ("http://example.com/", ["hostonly", "session", "site"]),
            ("https://example.com/", ["hostonly", "secret", "session", "site"]),
            ("https://www.example.com/", ["secret", "session", "site"]),
            ("http://www.example.com/videos/a.mp4", ["deep", "session", "site"]),
            ("http://example.com/videosX", ["hostonly", "session", "site"]),
            ("http://notexample.com/", []),
            ("http://other.org/", ["foreign"]),
            ("http://sub.other.org/", []),
            ("http://127.0.0.1:8080/x", ["local"]),
        ]
        for url, expected in cases:
            with self.subTest(url=url):
                self.assertEqual(self.names(url), expected)

    def test_header_puts_longer_paths_first(self):
        header = self.jar.header("http://example.com/videos/a.mp4")
        self.assertTrue(header.startswith("deep=d; "), header)
        self.assertNotIn("old=", header)

    def test_set_cookie_is_remembered_for_its_host_only(self):
        jar = cookies.CookieJar()
        jar.remember("http://a.test/login", ["sid=42; Path=/; HttpOnly", "evil=1; Domain=b.test"])
        self.assertEqual(jar.header("http://a.test/media/x.mp4"), "sid=42")
        self.assertEqual(jar.header("http://b.test/"), "")
        jar.remember("http://a.test/logout", ["sid=; Max-Age=0"])
        self.assertEqual(jar.header("http://a.test/"), "")

    def test_unreadable_file_is_a_clear_error(self):
        with self.assertRaises(cookies.CookieFileError) as ctx:
            cookies.load("/nonexistent/cookies.txt")
        self.assertIn("/nonexistent/cookies.txt", str(ctx.exception))


class CookieRequestTest(unittest.TestCase):
    """Requests through net.Session send exactly the cookies that match each hop."""

    def test_cookie_reaches_server_and_unlocks_protected_file(self):
        with MediaServer() as srv, tempfile.TemporaryDirectory() as tmp:
            srv.add("/private.bin", b"members only", cookie=("sid", "abc"))
            srv.add("/hop", status=302, location="/private.bin")
            path = os.path.join(tmp, "cookies.txt")
            Path(path).write_text("# Netscape HTTP Cookie File\n"
                                  "#HttpOnly_127.0.0.1\tFALSE\t/\tFALSE\t0\tsid\tabc\n"
                                  "127.0.0.1\tFALSE\t/\tTRUE\t0\tsecureonly\tx\n")
            with self.assertRaises(net.NetError) as ctx:
                net.Session().open(srv.url("/private.bin"))
            self.assertEqual(ctx.exception.status, 403)
            with net.Session(path).open(srv.url("/hop")) as resp:
                self.assertEqual(resp.read_all(1000), b"members only")
            sent = [r.header("Cookie") for r in srv.requests_for("/private.bin")]
            self.assertEqual(sent[-1], "sid=abc")  # the secure-only cookie stays off plain http
            self.assertEqual(srv.requests_for("/hop")[-1].header("Cookie"), "sid=abc")


if __name__ == "__main__":
    unittest.main()
