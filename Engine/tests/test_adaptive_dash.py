"""DASH manifests analysed and downloaded; live, protected, encrypted and broken streams."""
import os
import subprocess
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

from fixtures.adaptivecase import HLS, AdaptiveCase, frame_hashes, language, streams  # noqa: E402
from fixtures.media import dash_files, hls_files, media_file  # noqa: E402


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
