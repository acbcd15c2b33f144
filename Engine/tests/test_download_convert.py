"""Downloads that go through ffmpeg: audio extraction, container changes, codecs, subtitles, covers,
and what happens without ffmpeg."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

from fixtures.enginecase import EngineCase  # noqa: E402
from fixtures.media import media_bytes  # noqa: E402


class ConversionTest(EngineCase):
    def assert_done(self, rid, timeout=30):
        reply = self.eng.reply(rid, timeout)
        self.assertIn("result", reply, reply)
        return reply["result"]

    def probe(self, path):
        from vamber_engine import media
        return media.probe(str(path))

    def test_audio_only_becomes_mp3_with_converting_states(self):
        self.srv.add("/song.mp4", media_bytes("video.mp4"), "video/mp4")
        rid, job = self.start_download(self.srv.url("/song.mp4"), audioOnly=True)
        path = Path(self.assert_done(rid)["path"])
        self.assertEqual(path.name, "song.mp3")
        info = self.probe(path)
        self.assertEqual((info.has_video, info.audio_codec), (False, "mp3"))
        states = [e["params"] for e in self.eng.events_for(job, "job.state")]
        converting = [s for s in states if s["state"] == "converting"]
        self.assertTrue(converting)
        self.assertTrue(all(0 <= s["fraction"] <= 1 for s in converting))
        self.assertEqual(converting[-1]["fraction"], 1.0)
        self.assertEqual(states[-1]["state"], "done")
        self.assertEqual([p.name for p in self.out.iterdir()], ["song.mp3"])

    def test_container_change_remuxes_and_reencodes_when_needed(self):
        cases = [("video.mp4", "MKV", ".mkv", "h264", "processing"),
                 ("video.webm", "MP4", ".mp4", None, None),
                 ("video.mp4", "WEBM", ".webm", "vp9", "converting")]
        for source, container, ext, codec, state in cases:
            with self.subTest(source=source, container=container):
                name = "/%s-%s" % (container, source)
                self.srv.add(name, media_bytes(source), "video/" + source.split(".")[1])
                rid, job = self.start_download(self.srv.url(name), container=container)
                path = Path(self.assert_done(rid, 60)["path"])
                self.assertEqual(path.suffix, ext)
                info = self.probe(path)
                self.assertTrue(info.has_video and info.has_audio)
                self.assertAlmostEqual(info.duration, 2.0, delta=0.3)
                if codec:
                    self.assertEqual(info.video_codec, codec)
                if state:
                    self.assertIn(state, [e["params"]["state"] for e in self.eng.events_for(job, "job.state")])

    def test_chosen_codec_and_embedded_cover(self):
        self.srv.add("/v.mp4", media_bytes("video.mp4"), "video/mp4")
        self.srv.add("/c.jpg", media_bytes("poster.jpg"), "image/jpeg")
        self.srv.add_page("/p", '<html><head><meta property="og:image" content="/c.jpg"><title>Covered</title>'
                                '</head><body><video src="/v.mp4"></video></body></html>')
        cases = [(dict(videoCodec="H.265"), ".mp4", "hevc", False),
                 (dict(audioOnly=True, embedCover=True), ".mp3", None, True),
                 (dict(embedCover=True), ".mp4", "h264", True)]
        for over, ext, codec, cover in cases:
            with self.subTest(**over):
                rid, job = self.start_download(self.srv.url("/p"), **over)
                path = Path(self.assert_done(rid, 60)["path"])
                self.assertEqual(path.suffix, ext)
                info = self.probe(path)
                if codec:
                    self.assertEqual(info.video_codec, codec)
                self.assertEqual(info.attached_pic, cover)
                self.assertFalse([p for p in self.out.iterdir() if p.name.startswith(".")])  # no leftovers

    def test_page_download_saves_subtitles_and_thumbnail(self):
        from fixtures.httpserver import embed_page
        from fixtures.media import subtitle_vtt
        self.srv.add("/m/v.mp4", media_bytes("video.mp4"), "video/mp4")
        self.srv.add("/m/en.vtt", subtitle_vtt(), "text/vtt")
        self.srv.add("/m/poster.jpg", media_bytes("poster.jpg"), "image/jpeg")
        self.srv.add_page("/watch", embed_page("A page / video", "/m/v.mp4", poster="/m/poster.jpg",
                                               tracks=[("en", "/m/en.vtt")]))
        rid, job = self.start_download(self.srv.url("/watch"), subtitleMode="both", saveThumbnail=True)
        path = Path(self.assert_done(rid)["path"])
        self.assertEqual(path.name, "A page video.mp4")
        self.assertEqual(sorted(p.name for p in self.out.iterdir()),
                         ["A page video.en.vtt", "A page video.jpg", "A page video.mp4"])
        self.assertEqual((self.out / "A page video.jpg").read_bytes(), media_bytes("poster.jpg"))
        self.assertEqual((self.out / "A page video.en.vtt").read_text(), subtitle_vtt())
        self.assertEqual(self.probe(path).subtitle_streams, 1)  # "both" also embeds them
        meta = self.eng.events_for(job, "job.meta")[0]["params"]
        self.assertEqual((meta["title"], meta["thumbnail"]), ("A page / video", self.srv.url("/m/poster.jpg")))
        page = self.eng.result("library.list", {"limit": 120, "offset": 0})
        self.assertEqual([(i["kind"], Path(i["path"]).name) for i in page["items"]],
                         [("video", "A page video.mp4"), ("thumbnail", "A page video.jpg")])


class PauseDuringConversionTest(EngineCase):
    def test_pause_while_converting_keeps_the_download_and_converts_on_resume(self):
        import shutil
        import stat
        tools = self.tmp / "slow-tools"
        tools.mkdir()
        (tools / "ffprobe").symlink_to(shutil.which("ffprobe"))
        slow = tools / "ffmpeg"
        slow.write_text('#!/bin/sh\nsleep 1\nexec "%s" "$@"\n' % shutil.which("ffmpeg"))
        slow.chmod(slow.stat().st_mode | stat.S_IEXEC)
        eng = self.restart_engine({"VAMBER_FFMPEG_DIR": str(tools)})
        self.srv.add("/song.mp4", media_bytes("video.mp4"), "video/mp4")
        rid, job = self.start_download(self.srv.url("/song.mp4"), audioOnly=True)
        eng.wait_event(lambda e: e["event"] == "job.state" and e["params"]["state"] == "converting")
        eng.result("download.pause", {"jobId": job})
        self.assertEqual(eng.reply(rid, 30)["error"]["detail"], "paused")
        left = [p.name for p in self.out.iterdir()]
        self.assertEqual(len(left), 1)
        self.assertTrue(left[0].endswith(".mp4.part"), left)  # the whole download, nothing half-converted
        self.srv.clear_log()
        result = eng.reply(self.eng.send("download.start", self.download_params(self.srv.url("/song.mp4"), job,
                                                                                audioOnly=True)), 30)["result"]
        self.assertEqual(Path(result["path"]).name, "song.mp3")
        self.assertEqual(self.files_in(self.out), ["song.mp3"])
        self.assertEqual(self.srv.requests_for("/song.mp4", "GET"), [])  # the kept download is not fetched again


class MissingToolsTest(EngineCase):
    """Without ffmpeg and ffprobe, plain downloads still work and conversions say what is missing."""

    def test_without_ffmpeg(self):
        empty = self.tmp / "no-tools"
        empty.mkdir()
        eng = self.restart_engine({"VAMBER_FFMPEG_DIR": str(empty)})
        video = media_bytes("video.mp4")
        self.srv.add("/v.mp4", video, "video/mp4")
        ok = eng.reply(self.start_download(self.srv.url("/v.mp4"))[0], 60)
        self.assertEqual(Path(ok["result"]["path"]).read_bytes(), video)
        err = eng.reply(self.start_download(self.srv.url("/v.mp4"), audioOnly=True)[0], 60)["error"]
        self.assertIn("ffmpeg", err["message"])
        self.assertEqual(err["detail"], "ffmpeg")


if __name__ == "__main__":
    unittest.main()
