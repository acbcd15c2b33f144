"""Quality "audio" keeps the sound alone, in an audio file, whatever kind of source it comes from."""
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

from fixtures.adaptivecase import AdaptiveCase, streams  # noqa: E402
from fixtures.httpserver import embed_page  # noqa: E402
from fixtures.media import dash_files, hls_master_files, media_bytes  # noqa: E402

AUDIO_SUFFIXES = {".mp3", ".m4a", ".opus", ".wav", ".flac"}


class AudioQualityTest(AdaptiveCase):
    def test_audio_quality_saves_the_sound_alone(self):
        self.srv.add("/media/film.mp4", media_bytes("video.mp4", 3), "video/mp4")
        self.srv.add_page("/watch", embed_page("Embedded film", "/media/film.mp4"))
        self.serve("/h", hls_master_files())
        self.serve("/d", dash_files())
        cases = [
            ("direct file", "/media/film.mp4", {}, ".mp3"),
            ("page", "/watch", {}, ".mp3"),
            ("HLS", "/h/master.m3u8", {}, ".mp3"),
            ("DASH", "/d/manifest.mpd", {}, ".mp3"),
            # A chosen audio container is kept; a video container never holds the sound alone.
            ("direct file as M4A", "/media/film.mp4", {"container": "M4A"}, ".m4a"),
            ("HLS in MKV", "/h/master.m3u8", {"container": "MKV"}, ".mp3"),
        ]
        for name, path, over, suffix in cases:
            with self.subTest(source=name):
                params = {"container": "MP4", **over}
                saved = self.done(self.srv.url(path), quality="audio", audioOnly=False,
                                  fileName=name, **params)
                _, video, audio, _ = streams(saved)
                self.assertEqual((saved.suffix, len(video), len(audio)), (suffix, 0, 1), saved)
                item = [i for i in self.eng.result("library.list", {"limit": 120, "offset": 0})["items"]
                        if i["path"] == str(saved)][0]
                self.assertEqual(item["kind"], "audio")


if __name__ == "__main__":
    unittest.main()
