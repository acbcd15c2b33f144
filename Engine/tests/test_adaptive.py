"""Adaptive streams (HLS master playlists, DASH manifests) analysed and downloaded at the chosen quality
with the right audio and subtitles, paused and resumed, against streams made with ffmpeg."""

import os
import subprocess
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

from fixtures.enginecase import EngineCase  # noqa: E402
from fixtures.httpserver import embed_page  # noqa: E402
from fixtures.media import dash_files, hls_files, hls_master_files, media_file  # noqa: E402
from vamber_engine import manifests, media  # noqa: E402

HLS = "application/vnd.apple.mpegurl"


def streams(path):
    info = media.probe(path)
    return info, [s for s in info.streams if s.get("codec_type") == "video"], \
        [s for s in info.streams if s.get("codec_type") == "audio"], \
        [s for s in info.streams if s.get("codec_type") == "subtitle"]


def language(stream):
    return manifests.primary_language((stream.get("tags") or {}).get("language", ""))


def frame_hashes(path):
    out = subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-i", media.file_arg(path), "-map", "0:v",
                          "-f", "framemd5", "-"], capture_output=True, check=True, stdin=subprocess.DEVNULL)
    return [line.split(",")[-1].strip() for line in out.stdout.decode().splitlines() if not line.startswith("#")]


class AdaptiveCase(EngineCase):
    def serve(self, prefix, files, **options):
        routes = {}
        for name, data in files.items():
            ctype = HLS if name.endswith(".m3u8") else "application/dash+xml" if name.endswith(".mpd") else \
                "text/vtt" if name.endswith(".vtt") else "video/mp4"
            routes[name] = self.srv.add(f"{prefix}/{name}", data, ctype, **options.get(name, {}))
        return routes

    def analyze(self, url):
        return self.eng.result("analyze", {"url": url, "cookieSource": "None", "cookiesFile": "",
                                           "forceGeneric": False}, timeout=60)

    def download(self, url, **over):
        reply = self.eng.call("download.start", self.download_params(url, **over), timeout=120)
        return reply

    def done(self, url, **over):
        reply = self.download(url, **over)
        self.assertIn("result", reply, reply)
        return Path(reply["result"]["path"])

    def set_language(self, lang):
        self.eng.result("settings.set", {"values": {"language": lang}})


class HlsMasterTest(AdaptiveCase):
    def setUp(self):
        super().setUp()
        self.serve("/h", hls_master_files())
        self.url = self.srv.url("/h/master.m3u8")

    def test_analysis_offers_what_the_renditions_offer(self):
        result = self.analyze(self.url)
        # 288 and 432 rows both count as 360p (below the lowest name, between two names).
        self.assertEqual(result["availableQualities"], ["720p", "480p", "360p", "audio"])
        self.assertEqual((result["isListing"], result["probed"]), (False, True))
        self.assertTrue(result["sourceLabel"].startswith("1280×720"), result)
        self.assertAlmostEqual(result["duration"], 4.0, delta=0.2)
        self.assertEqual(result["subtitleLanguages"], ["en", "fr"])

    def test_each_quality_takes_the_right_rendition_and_one_audio(self):
        self.set_language("de")  # no German audio: the default (English) one
        cases = [
            ("720p", {}, 720, "en"),
            ("1080p", {}, 720, "en"),  # above the best: the best
            ("360p", {}, 288, "en"),  # the best one not above 360 rows
            ("480p", {"container": "MKV"}, 432, "en"),
        ]
        for quality, over, height, lang in cases:
            with self.subTest(quality=quality):
                path = self.done(self.url, quality=quality, fileName=f"q {quality}", **over)
                info, video, audio, _ = streams(path)
                self.assertEqual([v["height"] for v in video], [height])
                self.assertEqual([language(a) for a in audio], [lang])
                self.assertAlmostEqual(info.duration, 4.0, delta=0.3)
        self.set_language("fr")
        path = self.done(self.url, quality="720p", fileName="french")
        _, video, audio, _ = streams(path)
        self.assertEqual(([v["height"] for v in video], [language(a) for a in audio]), ([720], ["fr"]))
        path = self.done(self.url, quality="audio", audioOnly=True, container="MP3", fileName="sound")
        info, video, audio, _ = streams(path)
        self.assertEqual((path.suffix, video, len(audio)), (".mp3", [], 1))
        self.assertAlmostEqual(info.duration, 4.0, delta=0.3)
        self.assertFalse([p for p in self.out.iterdir() if p.name.endswith(".parts")])

    def test_subtitles_saved_and_embedded(self):
        path = self.done(self.url, quality="360p", subtitleMode="both", fileName="with subs")
        _, _, _, subs = streams(path)
        self.assertEqual(sorted(language(s) for s in subs), ["en", "fr"])
        saved = {p.name: p.read_text() for p in self.out.glob("with subs.*.vtt")}
        self.assertEqual(sorted(saved), ["with subs.en.vtt", "with subs.fr.vtt"])
        # Both segments of each playlist, joined in order.
        self.assertLess(saved["with subs.en.vtt"].index("Hello there"), saved["with subs.en.vtt"].index("Goodbye"))
        self.assertIn("Au revoir", saved["with subs.fr.vtt"])

    def test_pause_keeps_segments_and_resume_fetches_only_the_rest(self):
        reference = self.done(self.url, quality="720p", fileName="reference")
        self.srv.clear_log()
        route = self.srv.routes["/h/s3_002.ts"]
        route.hold_at = 100
        route.gate.clear()
        rid, job = self.start_download(self.url, quality="720p", fileName="paused")
        self.eng.wait_event(lambda e: e["event"] == "job.progress" and e["params"]["jobId"] == job
                            and e["params"]["fragment"] >= 4, timeout=60)
        self.eng.result("download.pause", {"jobId": job})
        err = self.eng.reply(rid, 60)["error"]
        self.assertEqual((err["code"], err.get("detail")), (1001, "paused"))
        folders = [p for p in self.out.iterdir() if p.name.endswith(".parts")]
        self.assertEqual(len(folders), 1)
        kept = {p.name for p in folders[0].iterdir() if not p.name.endswith(".tmp")}
        self.assertTrue(kept)
        progress = [e["params"] for e in self.eng.events_for(job, "job.progress")]
        self.assertTrue(all(p["fragmentCount"] == progress[0]["fragmentCount"] > 4 for p in progress))
        self.assertTrue(all(0 < p["total"] and p["downloaded"] <= p["total"] for p in progress[1:]), progress)

        route.gate.set()
        fetched_before = {r.path for r in self.srv.requests if r.command_is("GET") and r.path.endswith(".ts")}
        self.srv.clear_log()
        resumed = self.eng.call("download.start", self.download_params(self.url, job, quality="720p",
                                                                       fileName="paused"), timeout=120)
        path = Path(resumed["result"]["path"])
        fetched_after = {r.path for r in self.srv.requests if r.command_is("GET") and r.path.endswith(".ts")}
        self.assertTrue(fetched_after)
        # Segments complete before the pause are not fetched again.
        # Kept files are "<track>-<n>.ts" for segment n - 1 of its playlist: the 720p video is s3_*,
        # the English audio s4_*.
        prefix = {"video": "s3", "audio": "s4"}
        done_before = {f"/h/{prefix[name.split('-')[0]]}_{int(name.split('-')[1][:6]) - 1:03d}.ts"
                       for name in kept if name.endswith(".ts")}
        self.assertFalse(done_before & fetched_after, (done_before, fetched_after))
        self.assertTrue(done_before <= fetched_before)
        self.assertEqual(frame_hashes(path), frame_hashes(reference))
        self.assertFalse([p for p in self.out.iterdir() if p.name.endswith(".parts")])

    def test_cancel_leaves_nothing(self):
        route = self.srv.routes["/h/s3_001.ts"]
        route.hold_at = 100
        route.gate.clear()
        rid, job = self.start_download(self.url, quality="720p")
        self.eng.wait_event(lambda e: e["event"] == "job.progress" and e["params"]["jobId"] == job
                            and e["params"]["downloaded"] > 0, timeout=60)
        self.eng.result("download.cancel", {"jobId": job})
        self.assertEqual(self.eng.reply(rid, 60)["error"]["code"], 1001)
        self.assertEqual(self.files_in(self.out), [])
        self.assertEqual(self.eng.events_for(job, "job.state")[-1]["params"]["state"], "cancelled")

    def test_a_page_embedding_the_manifest(self):
        self.srv.add_page("/watch", embed_page("Harbour tour", "/h/master.m3u8", mime=HLS))
        result = self.analyze(self.srv.url("/watch"))
        self.assertEqual((result["title"], result["availableQualities"]),
                         ("Harbour tour", ["720p", "480p", "360p", "audio"]))
        path = self.done(self.srv.url("/watch"), quality="480p")
        self.assertEqual(path.name, "Harbour tour.mp4")
        self.assertEqual([v["height"] for v in streams(path)[1]], [432])


class DashTest(AdaptiveCase):
    def setUp(self):
        super().setUp()
        self.serve("/d", dash_files())
        self.url = self.srv.url("/d/manifest.mpd")

    def test_analysis_and_downloads(self):
        result = self.analyze(self.url)
        self.assertEqual(result["availableQualities"], ["720p", "360p", "audio"])
        self.assertAlmostEqual(result["duration"], 4.0, delta=0.2)
        self.assertEqual(result["subtitleLanguages"], ["en"])
        self.set_language("en")
        cases = [("720p", 720, "en"), ("360p", 432, "en"), ("1080p", 720, "en")]  # 360p: below all, the lowest
        for quality, height, lang in cases:
            with self.subTest(quality=quality):
                path = self.done(self.url, quality=quality, fileName=f"d {quality}")
                info, video, audio, _ = streams(path)
                self.assertEqual([v["height"] for v in video], [height])
                self.assertEqual([language(a) for a in audio], [lang])
                self.assertAlmostEqual(info.duration, 4.0, delta=0.3)
        self.set_language("fr")
        path = self.done(self.url, quality="audio", audioOnly=True, container="M4A", fileName="d sound",
                         subtitleMode="file")
        info, video, audio, _ = streams(path)
        self.assertEqual((path.suffix, video, [language(a) for a in audio]), (".m4a", [], ["fr"]))
        self.assertIn("Hello there", (self.out / "d sound.en.vtt").read_text())

    def test_og_video_page_naming_the_manifest(self):
        page = ('<html><head><title>Tour</title><meta property="og:title" content="Dash tour">'
                '<meta property="og:video" content="/d/manifest.mpd">'
                '<meta property="og:video:type" content="application/dash+xml"></head><body></body></html>')
        self.srv.add_page("/dash-page", page)
        path = self.done(self.srv.url("/dash-page"), quality="720p")
        self.assertEqual(path.name, "Dash tour.mp4")
        self.assertEqual([v["height"] for v in streams(path)[1]], [720])


class StreamFailureTest(AdaptiveCase):
    def test_live_protected_and_missing_segments_fail_clearly(self):
        files = hls_files()
        index = files["index.m3u8"].decode()
        live = index.replace("#EXT-X-ENDLIST\n", "").replace("#EXT-X-PLAYLIST-TYPE:VOD\n", "")
        drm = index.replace("#EXTINF", '#EXT-X-KEY:METHOD=SAMPLE-AES,URI="skd://key",KEYFORMAT="com.example"\n'
                                       "#EXTINF", 1)
        self.serve("/s", {name: data for name, data in files.items() if name != "index.m3u8"})
        self.srv.add("/s/live.m3u8", live, HLS)
        self.srv.add("/s/drm.m3u8", drm, HLS)
        gone = index.replace("seg0.ts", "missing.ts")
        self.srv.add("/s/gone.m3u8", gone, HLS)
        dynamic = dash_files()["manifest.mpd"].decode().replace('type="static"', 'type="dynamic"')
        self.serve("/d", {n: d for n, d in dash_files().items() if n != "manifest.mpd"})
        self.srv.add("/d/live.mpd", dynamic, "application/dash+xml")
        cases = [("/s/live.m3u8", "live", "a live stream cannot be downloaded yet"),
                 ("/d/live.mpd", "live", "a live stream cannot be downloaded yet"),
                 ("/s/drm.m3u8", "drm", "(DRM)"),
                 ("/s/gone.m3u8", "segment", "404")]
        for path, detail, words in cases:
            with self.subTest(path=path):
                reply = self.download(self.srv.url(path))
                err = reply["error"]
                self.assertEqual((err["code"], err["detail"]), (1003, detail))
                self.assertIn(words, err["message"])
        self.assertFalse([p for p in self.out.iterdir() if not p.name.endswith(".parts")])

    def test_a_dropped_segment_is_fetched_again_once(self):
        files = hls_files()
        self.serve("/r", files)
        segment = files["seg0.ts"]
        tries = []

        def flaky(handler):  # the first answer breaks off half-way, the next ones are whole
            tries.append(handler.command)
            handler.send_response(200)
            handler.send_header("Content-Type", "video/mp2t")
            handler.send_header("Content-Length", str(len(segment)))
            handler.end_headers()
            if handler.command == "HEAD":
                return
            if len(tries) == 1:
                handler.wfile.write(segment[:len(segment) // 2])
                handler.close_connection = True
                return
            handler.wfile.write(segment)
        self.srv.add("/r/seg0.ts", handler=flaky)
        path = self.done(self.srv.url("/r/index.m3u8"))
        self.assertEqual(frame_hashes(path), frame_hashes(media_file("video.mp4")))
        self.assertEqual(tries, ["GET", "GET"])
        progress = self.eng.events_for(self.eng.events[-1]["params"]["jobId"], "job.progress")
        self.assertEqual(progress[-1]["params"]["downloaded"], len(segment))  # the broken try is not counted

        tries.clear()
        self.srv.add("/r/seg0.ts", handler=lambda h: (tries.append(h.command), h.connection.shutdown(2)))
        err = self.download(self.srv.url("/r/index.m3u8"), fileName="broken")["error"]
        self.assertEqual((err["detail"], len(tries)), ("segment", 2))

    def test_aes_128_encrypted_stream(self):
        folder = self.tmp / "enc"
        folder.mkdir()
        key = os.urandom(16)
        (folder / "key.bin").write_bytes(key)
        (folder / "keyinfo").write_text(f"key.bin\n{folder / 'key.bin'}\n")
        source = media_file("video.mp4", 4)
        subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-i", str(source), "-c", "copy",
                        "-f", "hls", "-hls_time", "1", "-hls_playlist_type", "vod", "-hls_key_info_file",
                        str(folder / "keyinfo"), "-hls_segment_filename", str(folder / "e%d.ts"),
                        str(folder / "enc.m3u8")], check=True, stdin=subprocess.DEVNULL, timeout=60)
        self.assertIn("METHOD=AES-128", (folder / "enc.m3u8").read_text())
        self.assertNotIn(b"\x47\x40", (folder / "e0.ts").read_bytes()[:2])  # not plain MPEG-TS
        self.serve("/e", {p.name: p.read_bytes() for p in folder.iterdir() if p.name != "keyinfo"})
        path = self.done(self.srv.url("/e/enc.m3u8"))
        info, video, audio, _ = streams(path)
        self.assertEqual(([v["height"] for v in video], len(audio)), ([120], 1))
        self.assertAlmostEqual(info.duration, 4.0, delta=0.3)
        self.assertEqual(frame_hashes(path), frame_hashes(source))
        self.assertEqual(len(self.srv.requests_for("/e/key.bin", "GET")), 1)


if __name__ == "__main__":
    unittest.main()
