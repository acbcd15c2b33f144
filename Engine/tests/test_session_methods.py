"""options.allowed, js.runtime, update.check and report.send, and the method list in hello."""
import glob
import http.server
import json
import os
import threading

from tests.harness import EngineTestCase

QUALITIES = ["8K", "4K", "1440p", "1080p", "720p", "480p", "360p", "audio"]


class LocalServer:
    """A small HTTP server on 127.0.0.1 answering with a fixed status and body, keeping what it got."""

    def __init__(self, status=200, body=b"{}"):
        outer = self
        self.received = []

        class Handler(http.server.BaseHTTPRequestHandler):
            def _answer(self):
                length = int(self.headers.get("Content-Length") or 0)
                outer.received.append((self.command, self.path, self.rfile.read(length)))
                self.send_response(status)
                self.send_header("Content-Type", "application/json")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            do_GET = do_POST = _answer

            def log_message(self, *args):
                pass

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.url = f"http://127.0.0.1:{self.httpd.server_address[1]}/x"
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


class OptionsTest(EngineTestCase):
    def test_lists_hold_together_for_every_container(self):
        e = self.start()
        containers = e.result("options.allowed", {"container": "MP4"})["allContainers"]
        self.assertEqual(containers[0], "MP4")
        for container in containers:
            with self.subTest(container=container):
                o = e.result("options.allowed", {"container": container})
                self.assertEqual(o["container"], container)
                self.assertEqual(o["allQualities"], QUALITIES)
                self.assertEqual(o["allSubtitleModes"], ["off", "file", "embed", "both"])
                self.assertEqual(o["allCookieSources"], ["None", "Built-in Browser"])
                self.assertEqual(o["allVideoCodecs"][0], "Auto")
                for part, whole in [("qualities", "allQualities"), ("containers", "allContainers"),
                                    ("videoCodecs", "allVideoCodecs"), ("subtitleModes", "allSubtitleModes"),
                                    ("cookieSources", "allCookieSources")]:
                    self.assertTrue(o[part], part)
                    self.assertLessEqual(set(o[part]), set(o[whole]), part)
                self.assertIn("Auto", o["videoCodecs"])
                self.assertIn("off", o["subtitleModes"])

    def test_audio_containers_offer_no_picture_options(self):
        e = self.start()
        for container in ("MP3", "M4A"):
            o = e.result("options.allowed", {"container": container})
            self.assertEqual(o["qualities"], ["audio"])
            self.assertEqual(o["videoCodecs"], ["Auto"])
            self.assertNotIn("embed", o["subtitleModes"])
        self.assertNotIn("VP9", e.result("options.allowed", {"container": "MP4"})["videoCodecs"])

    def test_unknown_container_is_refused(self):
        e = self.start()
        for params in ({"container": "mp4"}, {"container": "AVI"}, {}):
            self.assertEqual(e.call("options.allowed", params)["error"]["detail"], "container")

    def test_hello_lists_the_session_methods(self):
        methods = self.start().result("hello")["methods"]
        for name in ("hello", "shutdown", "i18n.table", "settings.get", "settings.set", "settings.setCookieSource",
                     "options.allowed", "queue.load", "queue.save", "favourites.list", "favourites.add",
                     "favourites.remove", "js.runtime", "update.check", "report.send"):
            self.assertIn(name, methods)


class RuntimeTest(EngineTestCase):
    def test_runtime_names_the_engine_interpreter(self):
        e = self.start()
        for params in ({"recheck": True}, None):
            runtime = e.result("js.runtime", params)["runtime"]
            self.assertTrue(runtime["name"].startswith("Python 3."))
        self.assertEqual(e.call("js.runtime", {"recheck": "yes"})["error"]["detail"], "recheck")


class UpdateTest(EngineTestCase):
    def test_without_an_update_service_it_says_so_in_the_interface_language(self):
        # Nothing was checked, so "no update" would be a claim the engine cannot make.
        e = self.start(extra_env={"VAMBER_APP_VERSION": "2.3.4", "VAMBER_UPDATE_URL": ""})
        for language, words in (("en", "No update source is configured"),
                                ("fr", "Aucune source de mises à jour")):
            with self.subTest(language=language):
                e.result("settings.set", {"values": {"language": language}})
                err = e.call("update.check")["error"]
                self.assertEqual((err["code"], err["detail"]), (1002, "no-update-source"))
                self.assertIn(words, err["message"])

    def test_update_service_decides_by_version_number(self):
        cases = [("2.10.0", True), ("2.3.4", False), ("2.3.3", False), ("10.0", True)]
        for version, available in cases:
            with self.subTest(version=version):
                server = LocalServer(body=json.dumps({"version": version, "url": "https://x/dl"}).encode())
                self.addCleanup(server.close)
                e = self.start(extra_env={"VAMBER_APP_VERSION": "2.3.4", "VAMBER_UPDATE_URL": server.url})
                info = e.result("update.check")
                self.assertEqual(info["available"], available)
                self.assertEqual(info["current"], "2.3.4")
                self.assertEqual(info["version"], version if available else "2.3.4")
                e.kill()

    def test_unreachable_or_broken_service_is_an_error_not_a_false_answer(self):
        broken = LocalServer(body=b"<html>")
        self.addCleanup(broken.close)
        for url in (broken.url, "http://127.0.0.1:9/none", "ftp://127.0.0.1/x"):
            with self.subTest(url=url):
                e = self.start(extra_env={"VAMBER_UPDATE_URL": url})
                err = e.call("update.check")["error"]
                self.assertEqual(err["code"], 1002)
                e.kill()


class ReportTest(EngineTestCase):
    REPORT = {"what": "It broke ✗", "email": "a@b.c", "log": "line 1\nline 2"}

    def saved(self):
        (path,) = glob.glob(os.path.join(self.support, "reports", "*.json"))
        with open(path, encoding="utf-8") as f:
            return json.load(f)

    def test_without_a_report_service_it_is_kept_and_not_claimed_sent(self):
        e = self.start(extra_env={"VAMBER_REPORT_URL": ""})
        reply = e.result("report.send", self.REPORT)
        self.assertIs(reply["sent"], False)
        saved = self.saved()
        self.assertEqual({k: saved[k] for k in self.REPORT}, self.REPORT)
        # The reply says where, so the user can attach it by hand.
        (path,) = glob.glob(os.path.join(self.support, "reports", "*.json"))
        self.assertEqual(reply["savedTo"], path)

    def test_report_service_answer_decides(self):
        for status, sent in ((200, True), (500, False)):
            with self.subTest(status=status):
                server = LocalServer(status=status)
                self.addCleanup(server.close)
                e = self.start(extra_env={"VAMBER_REPORT_URL": server.url})
                reply = e.result("report.send", self.REPORT)
                self.assertIs(reply["sent"], sent)
                self.assertEqual("savedTo" in reply, not sent)
                (method, _, body) = server.received[0]
                self.assertEqual(method, "POST")
                self.assertEqual(json.loads(body)["what"], self.REPORT["what"])
                e.kill()

    def test_missing_field_is_refused(self):
        e = self.start()
        self.assertEqual(e.call("report.send", {"what": "x", "email": ""})["error"]["detail"], "log")
