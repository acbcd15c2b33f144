"""Media files whose names look like ffmpeg options or protocols are only ever read as files, remote
inputs reach no local file, and every media use honours VAMBER_FFMPEG_DIR."""

import os
import shutil
import sys
import tempfile
import unittest
import uuid
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

from fixtures.enginecase import EngineCase  # noqa: E402
from fixtures.httpserver import embed_page  # noqa: E402
from fixtures.media import have_ffmpeg, media_bytes, media_file  # noqa: E402
from vamber_engine import media  # noqa: E402

TRICKY = ["-y.mp4", "concat:a|b.mp4", "a:b.mp4"]


@unittest.skipUnless(have_ffmpeg(), "ffmpeg is not installed")
class LocalNamesTest(unittest.TestCase):
    """Relative names, as a careless caller would pass them, in a folder that also holds "a" and
    "b.mp4": read as a protocol, "concat:a|b.mp4" would give a one-second sound instead."""

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="vamber-media-names-")
        self.addCleanup(shutil.rmtree, self.tmp, True)
        self.cwd = os.getcwd()
        self.addCleanup(os.chdir, self.cwd)
        os.chdir(self.tmp)
        video = media_file("video.mp4", 2)
        for name in TRICKY:
            shutil.copyfile(video, name)
        shutil.copyfile(media_file("audio.mp3", 1), "a")
        shutil.copyfile(media_file("audio.mp3", 1), "b.mp4")

    def test_probe_convert_and_frame_of_each_name(self):
        for name in TRICKY:
            with self.subTest(name=name):
                info = media.probe(name)
                self.assertTrue(info.has_video and info.has_audio, info)
                self.assertAlmostEqual(info.duration, 2.0, delta=0.2)
                out = "-out " + name.replace(".mp4", ".mkv")
                media.FfmpegRun(media.input_args(name) + ["-c", "copy", media.file_arg(out)], info.duration).run()
                converted = media.probe(out)
                self.assertEqual((converted.width, converted.height), (160, 120))
                self.assertIn("matroska", converted.format_name)
                frame = name + ".jpg"
                media.extract_frame(name, frame, 0.5)
                self.assertGreater(os.path.getsize(frame), 0)
        self.assertEqual(sorted(os.listdir(".")), sorted(
            TRICKY + ["a", "b.mp4"] + ["-out " + n.replace(".mp4", ".mkv") for n in TRICKY]
            + [n + ".jpg" for n in TRICKY]))

    def test_placing_never_overwrites(self):
        Path("made.part").write_bytes(b"new")
        Path("clip.mp4").write_bytes(b"old")
        Path("clip (2).mp4").write_bytes(b"older")
        placed = media.place_numbered("made.part", ".", "clip", ".mp4")
        self.assertEqual(placed.name, "clip (3).mp4")
        self.assertEqual((Path("clip.mp4").read_bytes(), Path("clip (2).mp4").read_bytes(), placed.read_bytes()),
                         (b"old", b"older", b"new"))
        self.assertFalse(os.path.exists("made.part"))


class ToolFolderTest(unittest.TestCase):
    def test_tools_come_only_from_the_chosen_folder(self):
        tmp = tempfile.mkdtemp(prefix="vamber-tools-")
        self.addCleanup(shutil.rmtree, tmp, True)
        old = os.environ.get("VAMBER_FFMPEG_DIR")
        self.addCleanup(lambda: os.environ.__setitem__("VAMBER_FFMPEG_DIR", old) if old is not None
                        else os.environ.pop("VAMBER_FFMPEG_DIR", None))
        os.environ["VAMBER_FFMPEG_DIR"] = tmp
        self.assertIsNone(media.find_tool("ffmpeg"))
        with self.assertRaises(media.MissingTool) as caught:
            media.probe("x.mp4")
        self.assertEqual(caught.exception.program, "ffprobe")
        with self.assertRaises(media.MissingTool):
            media.FfmpegRun(["-version"]).run()
        fake = os.path.join(tmp, "ffmpeg")
        Path(fake).write_text("#!/bin/sh\nexit 0\n")
        os.chmod(fake, 0o755)
        self.assertEqual(media.find_tool("ffmpeg"), fake)
        self.assertEqual(media.ffmpeg_dir(), tmp)


class EngineNamesTest(EngineCase):
    def test_download_convert_and_clip_of_tricky_names(self):
        video = media_bytes("video.mp4")
        self.srv.add("/-y.mp4", video, "video/mp4")
        result = self.eng.result("download.start", self.download_params(self.srv.url("/-y.mp4"), container="MKV"),
                                 timeout=120)
        path = Path(result["path"])
        self.assertEqual(path, self.out / "y.mkv")  # a name the engine writes never starts with "-"
        info = media.probe(path)
        self.assertIn("matroska", info.format_name)
        self.assertTrue(info.has_video and info.has_audio)
        self.assertEqual(self.files_in(self.out), ["y.mkv"])

        folder = self.tmp / "local"
        folder.mkdir()
        for name in TRICKY:
            (folder / name).write_bytes(video)
        for name in TRICKY:
            with self.subTest(name=name):
                source = folder / name
                clip = self.eng.result("clip.extract", {"path": str(source), "startMs": 500, "endMs": 1500,
                                                        "jobId": str(uuid.uuid4()), "mode": "precise",
                                                        "audioOnly": False}, timeout=120)
                self.assertEqual(Path(clip["path"]).parent, folder)
                self.assertTrue(clip["name"].startswith(name[:-4].lstrip("-") + " (clip "), clip)
                cut = media.probe(clip["path"])
                self.assertAlmostEqual(cut.duration, 1.0, delta=0.15)
                thumb = self.eng.result("thumbnail.resolve", {"url": "", "mediaPath": str(source), "pageUrl": "",
                                                              "cookieSource": "None"}, timeout=60)
                self.assertGreater(os.path.getsize(thumb["path"]), 0)
        self.assertEqual(len(os.listdir(folder)), 2 * len(TRICKY))

    def test_names_lose_invisible_format_characters(self):
        video = media_bytes("video.mp4")
        self.srv.add("/v.mp4", video, "video/mp4")
        self.srv.add_page("/page", embed_page("-photo\u202egnp.exe", "/v.mp4"))
        cases = [(self.srv.url("/page"), "", "photognp.exe.mp4"),
                 (self.srv.url("/v.mp4"), "\u2067-x\u2069 \u202eevil\u202c.mp4", "x evil.mp4")]
        for url, chosen, name in cases:
            with self.subTest(name=name):
                result = self.eng.result("download.start", self.download_params(url, fileName=chosen), timeout=120)
                self.assertEqual(Path(result["path"]), self.out / name)
                self.assertEqual(Path(result["path"]).read_bytes(), video)
        folder = self.tmp / "clips"
        folder.mkdir()
        (folder / "-talk\u202e4pm.mp4").write_bytes(video)
        clip = self.eng.result("clip.extract", {"path": str(folder / "-talk\u202e4pm.mp4"), "startMs": 0,
                                                "endMs": 1000, "jobId": str(uuid.uuid4()), "mode": "fast",
                                                "audioOnly": False}, timeout=120)
        self.assertTrue(clip["name"].startswith("talk4pm (clip "), clip)

    def test_remote_stream_cannot_reach_local_files(self):
        secret = self.tmp / "secret.ts"
        secret.write_bytes(media_bytes("video.mp4"))
        playlist = ("#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:2\n#EXT-X-PLAYLIST-TYPE:VOD\n"
                    "#EXTINF:2.0,\nfile:%s\n#EXT-X-ENDLIST\n" % secret)
        self.srv.add("/s/index.m3u8", playlist, "application/vnd.apple.mpegurl")
        with self.assertRaises(media.ToolFailed):
            media.probe(self.srv.url("/s/index.m3u8"))
        reply = self.eng.call("download.start", self.download_params(self.srv.url("/s/index.m3u8")), timeout=120)
        self.assertIn("error", reply)
        self.assertEqual([p for p in self.out.rglob("*") if p.is_file()], [])


if __name__ == "__main__":
    unittest.main()
