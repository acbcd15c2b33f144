import json
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import unittest
from unittest import mock


from vamber_engine import clipper

FPS = 25
GOP_SECONDS = 2.0


def make_source(path, seconds, size="320x240"):
    subprocess.run(
        ["ffmpeg", "-hide_banner", "-loglevel", "error", "-y",
         "-f", "lavfi", "-i", f"testsrc=size={size}:rate={FPS}",
         "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100",
         "-t", str(seconds), "-c:v", "libx264", "-preset", "ultrafast",
         "-g", str(int(FPS * GOP_SECONDS)), "-keyint_min", str(int(FPS * GOP_SECONDS)), "-sc_threshold", "0",
         "-c:a", "aac", "-shortest", path], check=True)


def streams(path):
    out = subprocess.run(["ffprobe", "-v", "error", "-print_format", "json", "-show_streams", "-show_format", path],
                         capture_output=True, check=True)
    data = json.loads(out.stdout)
    return {s["codec_type"]: float(s.get("duration", data["format"]["duration"])) for s in data["streams"]}


@unittest.skipUnless(shutil.which("ffmpeg") and shutil.which("ffprobe"), "ffmpeg is not installed")
class Extraction(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="vamber-clips-")
        cls.source = os.path.join(cls.tmp, "Harbour Tour.mp4")
        make_source(cls.source, 10)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def setUp(self):
        self.jobs = clipper.ClipJobs()
        self.before = set(os.listdir(self.tmp))

    def tearDown(self):
        for name in set(os.listdir(self.tmp)) - self.before:
            os.remove(os.path.join(self.tmp, name))

    def new_files(self):
        return sorted(set(os.listdir(self.tmp)) - self.before)

    def test_duration_matches_request(self):
        frame = 1.0 / FPS
        cases = [
            # mode, audio only, start, end, (lowest, highest) duration allowed for the stream
            ("precise", False, 2300, 5100, (2.8 - frame, 2.8 + frame)),
            ("precise", True, 2300, 5100, (2.8 - 0.03, 2.8 + 0.03)),
            # Copying starts at the key frame at or before the start: up to one key-frame interval more.
            ("fast", False, 2300, 5100, (2.8 - frame, 2.8 + GOP_SECONDS + frame)),
        ]
        for mode, audio_only, start, end, (low, high) in cases:
            with self.subTest(mode=mode, audio_only=audio_only):
                progress = []
                result = self.jobs.extract(self.source, start, end, f"job-{mode}-{audio_only}", mode, audio_only,
                                           progress.append)
                self.assertEqual(self.new_files(), [result["name"]])
                self.assertEqual(result["sizeBytes"], os.path.getsize(result["path"]))
                got = streams(result["path"])
                if audio_only:
                    self.assertEqual(list(got), ["audio"])
                    self.assertTrue(result["name"].endswith(".m4a"))
                else:
                    self.assertIn("video", got)
                duration = got["audio" if audio_only else "video"]
                self.assertGreaterEqual(duration, low)
                self.assertLessEqual(duration, high)
                self.assertEqual(progress[-1], 1.0)
                self.assertEqual(progress, sorted(progress))
                os.remove(result["path"])

    def test_end_past_the_media_cuts_to_its_end_under_the_suggested_name(self):
        suggested = clipper.suggest(self.source, 8000, 15000, False)
        progress = []
        result = self.jobs.extract(self.source, 8000, 15000, "job-past", "precise", False, progress.append)
        self.assertEqual(result["path"], suggested["path"])
        self.assertAlmostEqual(streams(result["path"])["video"], 2.0, delta=1.0 / FPS)
        self.assertEqual(progress[-1], 1.0)

    def test_cancel_stops_ffmpeg_and_removes_partial_file(self):
        started = []

        def on_progress(fraction):
            if not started:
                started.append(fraction)
                self.assertTrue(self.jobs.cancel("job-cancel"))

        # ffmpeg reads the source at its own pace (-re), so the 8 s clip takes 8 s to cut.
        procs = []
        real_popen = subprocess.Popen
        real_build = clipper.build_command

        def recording_popen(*args, **kwargs):
            procs.append(real_popen(*args, **kwargs))
            return procs[-1]

        def paced_command(*args, **kwargs):
            cmd = real_build(*args, **kwargs)
            return cmd[:1] + ["-re"] + cmd[1:]

        with mock.patch.object(subprocess, "Popen", recording_popen), \
                mock.patch.object(clipper, "build_command", paced_command):
            with self.assertRaises(clipper.ClipCancelled):
                self.jobs.extract(self.source, 1000, 9000, "job-cancel", "precise", False, on_progress)
        self.assertEqual(len(started), 1)
        self.assertLess(started[0], 1.0)
        ffmpeg = [p for p in procs if os.path.basename(p.args[0]) == "ffmpeg"]
        self.assertEqual(len(ffmpeg), 1)
        self.assertIsNotNone(ffmpeg[0].poll())
        self.assertNotEqual(ffmpeg[0].returncode, 0)
        self.assertEqual(self.new_files(), [])
        self.assertEqual(self.jobs.running(), [])
        self.assertFalse(self.jobs.cancel("job-cancel"))

    def test_cancel_before_ffmpeg_starts(self):
        gate = threading.Event()
        real_probe = clipper.probe

        def slow_probe(path):
            gate.wait(5)
            return real_probe(path)

        outcome = []
        with mock.patch.object(clipper, "probe", slow_probe):
            worker = threading.Thread(target=lambda: outcome.append(self._extract_outcome("job-early")))
            worker.start()
            for _ in range(500):
                if "job-early" in self.jobs.running():
                    break
                threading.Event().wait(0.01)
            self.assertTrue(self.jobs.cancel("job-early"))
            gate.set()
            worker.join(10)
        self.assertEqual(outcome, ["cancelled"])
        self.assertEqual(self.new_files(), [])

    def _extract_outcome(self, job_id):
        try:
            self.jobs.extract(self.source, 0, 1000, job_id, "fast", False)
        except clipper.ClipCancelled:
            return "cancelled"
        return "done"

    def test_bad_requests_fail_with_a_reason(self):
        cases = [
            (self.source, 5000, 5000, "precise", "end after it starts"),
            (self.source, -10, 500, "precise", "before the beginning"),
            (self.source, 40000, 41000, "fast", "after the end"),
            (os.path.join(self.tmp, "missing.mp4"), 0, 1000, "fast", "does not exist"),
            (self.source, 0, 1000, "Precise", "Unknown clip mode"),
        ]
        for path, start, end, mode, reason in cases:
            with self.subTest(reason=reason):
                with self.assertRaises(clipper.ClipError) as caught:
                    self.jobs.extract(path, start, end, "job-bad", mode, False)
                self.assertIn(reason, str(caught.exception))
                self.assertEqual(self.new_files(), [])

    def test_missing_ffmpeg_is_named(self):
        with mock.patch.object(shutil, "which", return_value=None):
            with self.assertRaises(clipper.ClipError) as caught:
                self.jobs.extract(self.source, 0, 1000, "job-tool", "fast", False)
        self.assertTrue(caught.exception.missing_tool)
        self.assertIn("ffprobe", str(caught.exception))

    def test_suggestion_is_beside_the_source_and_free(self):
        first = clipper.suggest(self.source, 65250, 80000, False)
        self.assertEqual(first["directory"], self.tmp)
        self.assertEqual(first["name"], "Harbour Tour (clip 01m05.250s-01m20s).mp4")
        open(first["path"], "wb").close()
        second = clipper.suggest(self.source, 65250, 80000, False)
        self.assertEqual(second["name"], "Harbour Tour (clip 01m05.250s-01m20s) 2.mp4")
        self.assertEqual(clipper.suggest(self.source, 0, 3_700_000, True)["name"],
                         "Harbour Tour (clip 00m00s-1h01m40s).m4a")


if __name__ == "__main__":
    unittest.main()
