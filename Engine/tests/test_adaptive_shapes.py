"""DASH manifests in the shapes packagers really write: decimal and calendar numbers, byte ranges into
one file, BaseURL on every level, templates with widths, several periods, TTML subtitles in MP4
fragments, a representation served as one file paused and resumed, and a join that ffmpeg refuses."""
import atexit
import shutil
import struct
import tempfile
import subprocess
import sys
import threading
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

from fixtures.adaptivecase import AdaptiveCase, frame_hashes, streams  # noqa: E402
from vamber_engine import manifests  # noqa: E402

SECONDS = 4
_made: dict[str, dict[str, bytes]] = {}
_lock = threading.RLock()


def _ffmpeg_dash(folder: Path, *options: str) -> dict[str, bytes]:
    folder.mkdir(parents=True, exist_ok=True)
    subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y",
                    "-f", "lavfi", "-i", f"testsrc=size=160x120:rate=10:duration={SECONDS}",
                    "-f", "lavfi", "-i", f"sine=frequency=440:duration={SECONDS}",
                    "-c:v", "libx264", "-preset", "ultrafast", "-g", "10", "-pix_fmt", "yuv420p", "-c:a", "aac",
                    "-f", "dash", "-seg_duration", "1", "-use_timeline", "0", *options,
                    "-adaptation_sets", "id=0,streams=v id=1,streams=a", str(folder / "m.mpd")],
                   check=True, stdin=subprocess.DEVNULL, timeout=120)
    return {p.name: p.read_bytes() for p in folder.iterdir() if p.suffix != ".mpd"}


_root: list[Path] = []


def generated() -> Path:
    with _lock:
        if not _root:
            _root.append(Path(tempfile.mkdtemp(prefix="vamber-shapes-")))
            atexit.register(shutil.rmtree, _root[0], True)
        return _root[0]


def media_files(kind: str) -> dict[str, bytes]:
    """"template": init-stream0.m4s, chunk-stream0-00001.m4s...; "single": m-stream0.mp4 (video)
    and m-stream1.mp4 (audio), each one whole fragmented file."""
    with _lock:
        if kind not in _made:
            options = ["-use_template", "1"] if kind == "template" else ["-use_template", "0", "-single_file", "1"]
            _made[kind] = _ffmpeg_dash(generated() / kind, *options)
        return _made[kind]


def mpd(periods: str, duration: str = "PT4S", base: str = "") -> str:
    return ('<?xml version="1.0"?>\n<MPD xmlns="urn:mpeg:dash:schema:mpd:2011" type="static" '
            f'profiles="urn:mpeg:dash:profile:isoff-live:2011" mediaPresentationDuration="{duration}">'
            f"{base}{periods}</MPD>")


def template_sets(video_base: str = "", audio_media: str = "chunk-stream1-$Number%05d$.m4s",
                  duration: str = "1000000", extra: str = "") -> str:
    return ('<AdaptationSet contentType="video" mimeType="video/mp4">' + video_base +
            f'<SegmentTemplate timescale="1000000" duration="{duration}" startNumber="1" '
            'initialization="init-stream$RepresentationID$.m4s" '
            'media="b$Bandwidth$/chunk-stream$RepresentationID$-$Number%05d$.m4s"/>'
            '<Representation id="0" bandwidth="85000" width="160" height="120" codecs="avc1.42c00a"/>'
            '</AdaptationSet>'
            '<AdaptationSet contentType="audio" mimeType="audio/mp4" lang="en">'
            f'<SegmentTemplate timescale="1000000" duration="{duration}" startNumber="1" '
            f'initialization="init-stream1.m4s" media="{audio_media}"/>'
            '<Representation id="1" bandwidth="69000" codecs="mp4a.40.2"/></AdaptationSet>' + extra)


def box(kind: bytes, payload: bytes) -> bytes:
    return struct.pack(">I4s", 8 + len(payload), kind) + payload


def ttml(cues: list[tuple[str, str, str]]) -> bytes:
    body = "".join(f'<p begin="{a}" end="{b}">{t}</p>' for a, b, t in cues)
    return ('<?xml version="1.0" encoding="UTF-8"?><tt xmlns="http://www.w3.org/ns/ttml" xml:lang="en">'
            f"<body><div>{body}</div></body></tt>").encode()


def stpp_files(payloads: list[bytes]) -> dict[str, bytes]:
    files = {"sub-init.mp4": box(b"ftyp", b"iso6\0\0\0\0iso6") + box(b"moov", box(b"mvhd", b"\0" * 100))}
    for i, payload in enumerate(payloads, 1):
        files[f"sub-{i}.m4s"] = box(b"styp", b"msdh\0\0\0\0") + box(b"moof", box(b"mfhd", b"\0" * 8)) + \
            box(b"mdat", payload)
    return files


FAILING_FFMPEG = """#!PYTHON
import os, sys, time
inputs = [a[5:] for a in sys.argv if a.startswith("file:")]
piped = any(i.endswith(".pipe") for i in inputs)
with open(os.path.join(os.path.dirname(__file__), "calls"), "a") as log:
    log.write("pipe\\n" if piped else "files\\n")
if piped:
    with open(inputs[0], "rb") as f:
        f.read(1000)
    time.sleep(1.0)
sys.stderr.write("Error: damaged packet at 1.5 s\\n")
sys.exit(1)
"""

STPP_SET = ('<AdaptationSet contentType="text" mimeType="application/mp4" codecs="stpp" lang="en">'
            '<SegmentTemplate timescale="1" duration="2" startNumber="1" initialization="sub-init.mp4" '
            'media="sub-$Number$.m4s"/><Representation id="s" bandwidth="100"/></AdaptationSet>')


class ShapesTest(AdaptiveCase):
    def template_files(self, prefix: str) -> dict[str, bytes]:
        files = media_files("template")
        out = {}
        for name, data in files.items():  # the video's segments sit under its bandwidth's folder
            out[f"b85000/{name}" if name.startswith("chunk-stream0") else name] = data
        return {f"{prefix}/{k}": v for k, v in out.items()}

    def serve_manifest(self, path: str, text: str):
        self.srv.add(path, text, "application/dash+xml")
        return self.srv.url(path)

    def last_job(self) -> str:
        return [e for e in self.eng.events if e.get("event") == "job.state"][-1]["params"]["jobId"]

    def test_numbers_as_packagers_write_them_and_base_urls_on_every_level(self):
        # BaseURL on the MPD, the Period, the AdaptationSet and (for the audio) the Representation level.
        self.serve("/n", self.template_files("root/p/v"))
        self.serve("/n/root/p/a", {k.split("/", 3)[3]: v for k, v in self.template_files("root/p/v").items()
                                   if "stream1" in k})
        def periods(duration, bandwidth):
            return ('<Period id="0"><BaseURL>p/</BaseURL>'
                    + template_sets('<BaseURL>v/</BaseURL>', duration=duration).replace(
                        '<Representation id="1"', '<BaseURL>a/</BaseURL><Representation id="1"').replace(
                        'bandwidth="85000"', f'bandwidth="{bandwidth}"')
                    + "</Period>")
        cases = [("P0Y0M0DT0H0M4S", "1000000.0", "85000.0", "decimal numbers, calendar length"),
                 ("PT4.000S", "1000000", "85000", "plain")]
        for length, duration, bandwidth, what in cases:
            with self.subTest(what):
                url = self.serve_manifest(f"/n/{what[:5]}.mpd",
                                          mpd(periods(duration, bandwidth), length, '<BaseURL>root/</BaseURL>'))
                result = self.analyze(url)
                self.assertAlmostEqual(result["duration"], 4.0, delta=0.1)
                path = self.done(url, fileName=what)
                info, video, audio, _ = streams(path)
                self.assertEqual(([v["height"] for v in video], len(audio)), ([120], 1))
                self.assertAlmostEqual(info.duration, 4.0, delta=0.3)
        self.assertEqual(len(self.srv.requests_for("/n/root/p/v/b85000/chunk-stream0-00004.m4s", "GET")), 2)
        self.assertEqual(len(self.srv.requests_for("/n/root/p/a/chunk-stream1-00004.m4s", "GET")), 2)

    def test_a_manifest_that_cannot_be_read_fails_with_its_words(self):
        cases = [(mpd('<Period>' + template_sets(duration="two seconds") + '</Period>'), "two seconds"),
                 (mpd('<Period>' + template_sets() + '</Period>', duration="P4 seconds"), "P4 seconds"),
                 (mpd('<Period>' + template_sets().replace('bandwidth="69000"', 'bandwidth="lots"')
                      + '</Period>'), "lots")]
        for n, (text, words) in enumerate(cases):
            with self.subTest(words):
                url = self.serve_manifest(f"/bad/{n}.mpd", text)
                # The analysis may still describe it through ffprobe; it never fails as an internal error.
                reply = self.eng.call("analyze", {"url": url, "cookieSource": "None", "cookiesFile": "",
                                                  "forceGeneric": False}, timeout=60)
                self.assertNotEqual(reply.get("error", {}).get("code"), -32603, reply)
                reply = self.download(url, fileName=f"bad {n}")
                self.assertEqual(reply["error"]["code"], 1003, reply)
                self.assertIn(words, reply["error"]["message"])

    def test_byte_ranges_into_one_file_with_an_initialization_range(self):
        files = media_files("single")
        self.serve("/r", files)
        text = (generated() / "single" / "m.mpd").read_text()
        self.assertIn('<Initialization range="', text)
        url = self.serve_manifest("/r/m.mpd", text)
        path = self.done(url)
        info, video, audio, _ = streams(path)
        self.assertEqual(([v["height"] for v in video], len(audio)), ([120], 1))
        self.assertAlmostEqual(info.duration, 4.0, delta=0.3)
        ranges = [r.header("Range") for r in self.srv.requests_for("/r/m-stream0.mp4", "GET")]
        self.assertIn("bytes=0-" + text.split('<Initialization range="0-')[1].split('"')[0], ranges)

    def test_several_periods_take_the_first_and_say_so(self):
        self.serve("/m", self.template_files("v"))
        period = '<Period id="{n}" start="PT{at}S"><BaseURL>v/</BaseURL>' + template_sets() + "</Period>"
        url = self.serve_manifest("/m/two.mpd", mpd(period.replace("{n}", "0").replace("{at}", "0")
                                                     + period.replace("{n}", "1").replace("{at}", "4"), "PT8S"))
        path = self.done(url)
        self.assertAlmostEqual(streams(path)[0].duration, 4.0, delta=0.3)
        notes = [e["params"] for e in self.eng.events_for(self.last_job(), "job.log")]
        self.assertIn({"key": "log_stream_first_period", "level": "warn", "params": {"count": "2"}},
                      [{k: n[k] for k in ("key", "level", "params")} for n in notes])

    def test_ffmpeg_failing_during_a_piped_join_is_a_failure_in_its_own_words(self):
        # An ffmpeg that stops reading its first input half-way, then fails: the feeder's broken pipe
        # comes before ffmpeg's own exit, which has to decide the outcome.
        tools = self.tmp / "tools"
        tools.mkdir()
        (tools / "ffprobe").symlink_to(shutil.which("ffprobe"))
        (tools / "ffmpeg").write_text(FAILING_FFMPEG.replace("PYTHON", sys.executable))
        (tools / "ffmpeg").chmod(0o755)
        self.restart_engine({"VAMBER_FFMPEG_DIR": str(tools)})
        self.serve("/f", self.template_files("v"))
        url = self.serve_manifest("/f/m.mpd", mpd('<Period><BaseURL>v/</BaseURL>' + template_sets() + "</Period>"))
        reply = self.download(url, fileName="refused")
        err = reply.get("error", {})
        self.assertEqual((err.get("code"), err.get("detail")), (1003, "ffmpeg"), reply)
        self.assertIn("damaged packet at 1.5 s", err["message"])
        calls = (self.tmp / "tools" / "calls").read_text().split()
        self.assertEqual((calls[0], set(calls[1:])), ("pipe", {"files"}))  # the join from the files was tried too

    def test_ttml_in_mp4_fragments_becomes_webvtt_and_bad_subtitles_never_cost_the_video(self):
        self.serve("/t", self.template_files("v"))
        good = stpp_files([ttml([("00:00:00.500", "00:00:01.500", "Hello there")]),
                           ttml([("00:00:02.500", "00:00:03.500", "Goodbye")])])
        self.serve("/t/v/good", good)
        bad = stpp_files([b"\x00\x01binary", b"\x02\x03garbage"])
        self.serve("/t/v/bad", bad)
        missing = dict(good)
        del missing["sub-2.m4s"]  # answered 404
        self.serve("/t/v/missing", missing)
        for name in ("good", "bad", "missing"):
            sets = template_sets(extra=STPP_SET.replace('mimeType', f'id="9" mimeType').replace(
                'initialization="sub-init.mp4" media="sub-$Number$.m4s"',
                f'initialization="{name}/sub-init.mp4" media="{name}/sub-$Number$.m4s"'))
            self.serve_manifest(f"/t/{name}.mpd", mpd('<Period><BaseURL>v/</BaseURL>' + sets + "</Period>"))
        for name, mode in (("good", "file"), ("good", "both"), ("bad", "embed"), ("bad", "both"),
                           ("missing", "both")):
            with self.subTest(name=name, mode=mode):
                path = self.done(self.srv.url(f"/t/{name}.mpd"), subtitleMode=mode, fileName=f"{name} {mode}",
                                 container="MKV")
                info, video, audio, subs = streams(path)
                self.assertEqual(([v["height"] for v in video], len(audio)), ([120], 1))
                side = self.out / f"{name} {mode}.en.vtt"
                if name == "good":
                    if mode in ("file", "both"):
                        text = side.read_text()
                        self.assertTrue(text.startswith("WEBVTT"), text)
                        self.assertIn("00:00:00.500 --> 00:00:01.500\nHello there", text)
                        self.assertIn("00:00:02.500 --> 00:00:03.500\nGoodbye", text)
                    self.assertEqual(len(subs), 1 if mode == "both" else 0)
                else:
                    self.assertFalse(side.exists())
                    self.assertEqual(subs, [])
                    notes = [e["params"]["key"] for e in self.eng.events_for(self.last_job(), "job.log")]
                    self.assertIn("log_subtitles_failed", notes)

    def test_a_paused_representation_served_as_one_file_resumes_with_a_range(self):
        files = media_files("single")
        video = files["m-stream0.mp4"]
        route = self.srv.add("/w/m-stream0.mp4", video, "video/mp4", hold_at=len(video) // 2)
        self.srv.add("/w/m-stream1.mp4", files["m-stream1.mp4"], "audio/mp4")
        sets = ('<AdaptationSet contentType="video" mimeType="video/mp4"><Representation id="0" bandwidth="85000" '
                'width="160" height="120"><BaseURL>m-stream0.mp4</BaseURL></Representation></AdaptationSet>'
                '<AdaptationSet contentType="audio" mimeType="audio/mp4"><Representation id="1" bandwidth="69000">'
                '<BaseURL>m-stream1.mp4</BaseURL></Representation></AdaptationSet>')
        url = self.serve_manifest("/w/m.mpd", mpd("<Period>" + sets + "</Period>"))
        rid, job = self.start_download(url, fileName="whole")
        self.wait_progress(job, len(video) // 2)
        self.eng.result("download.pause", {"jobId": job})
        self.assertEqual(self.eng.reply(rid, 60)["error"]["detail"], "paused")
        route.gate.set()
        self.srv.clear_log()
        reply = self.eng.call("download.start", self.download_params(url, job, fileName="whole"), timeout=120)
        self.assertIn("result", reply, reply)
        gets = self.srv.requests_for("/w/m-stream0.mp4", "GET")
        self.assertEqual([g.header("Range") for g in gets], [f"bytes={len(video) // 2}-"])
        parts = list(self.out.glob("*.parts"))
        self.assertEqual(parts, [])
        self.assertEqual(frame_hashes(Path(reply["result"]["path"])), frame_hashes(
            generated() / "single" / "m-stream0.mp4"))


class AudioChoiceTest(unittest.TestCase):
    def test_audio_sets_in_several_languages(self):
        def sets(*shapes):
            out = ""
            for lang, role, bandwidths in shapes:
                out += f'<AdaptationSet contentType="audio" mimeType="audio/mp4" lang="{lang}">'
                out += f'<Role schemeIdUri="urn:mpeg:dash:role:2011" value="{role}"/>' if role else ""
                out += "".join(f'<Representation id="{lang}{b}" bandwidth="{b}"><BaseURL>{lang}{b}.mp4</BaseURL>'
                               "</Representation>" for b in bandwidths) + "</AdaptationSet>"
            return out
        table = [("fr", [("de", "", [64]), ("fr", "", [64, 128]), ("es", "main", [256])], "fr128"),
                 ("fr-CA", [("de", "", [64]), ("fra", "", [96])], "fra96"),
                 ("en", [("de", "", [64]), ("fr", "main", [64]), ("es", "", [256])], "fr64"),
                 ("en", [("de", "", [32, 64]), ("fr", "alternate", [128]), ("es", "", [256])], "de64")]
        for language, shapes, wanted in table:
            with self.subTest(language=language, wanted=wanted):
                manifest = manifests.parse_mpd(mpd("<Period>" + sets(*shapes) + "</Period>"), "http://h/m.mpd")
                self.assertEqual(manifests.pick_audio(manifest, None, language).name, wanted)


if __name__ == "__main__":
    unittest.main()
