#!/usr/bin/env python3
"""How soon a stream with separate video and audio is ready after its last segment arrives.

Run from Engine/: python3 bench/bench_join.py [minutes] [kind]. Makes a long, light stream (a small test
pattern at 5 fps and a tone; 100 minutes by default) with ffmpeg, as HLS with a separate audio rendition
("hls", the default) or as DASH ("dash"), serves it from 127.0.0.1 at full speed, and downloads it through
the engine into MP4. Prints, from "download.start": when the server answered the last segment request and
when the reply came, then the time ffmpeg takes to join the same fetched tracks from files, with the
machine's load average. The join keeps pace when the reply comes within seconds of the last segment.
"""
import os
import subprocess
import sys
import tempfile
import time
import uuid

ENGINE_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ENGINE_DIR, "tests"))
sys.path.insert(0, ENGINE_DIR)

from fixtures.engineproc import EngineProcess  # noqa: E402
from fixtures.httpserver import MediaServer  # noqa: E402
from vamber_engine import media  # noqa: E402


def make_stream(folder: str, seconds: int, kind: str) -> str:
    common = ["ffmpeg", "-hide_banner", "-loglevel", "error", "-y",
              "-f", "lavfi", "-i", f"testsrc=size=320x180:rate=5:duration={seconds}",
              "-f", "lavfi", "-i", f"sine=frequency=440:duration={seconds}:sample_rate=44100",
              "-map", "0:v", "-map", "1:a", "-c:v", "libx264", "-preset", "ultrafast", "-g", "30",
              "-pix_fmt", "yuv420p", "-c:a", "aac", "-b:a", "64k"]
    if kind == "dash":
        subprocess.run(common + ["-f", "dash", "-seg_duration", "6", "-use_template", "1", "-use_timeline", "1",
                                 "-adaptation_sets", "id=0,streams=v id=1,streams=a",
                                 os.path.join(folder, "manifest.mpd")], check=True, stdin=subprocess.DEVNULL)
        return "manifest.mpd"
    subprocess.run(common + ["-f", "hls", "-hls_time", "6", "-hls_playlist_type", "vod",
                             "-master_pl_name", "master.m3u8", "-var_stream_map", "v:0,agroup:aud a:0,agroup:aud",
                             "-hls_segment_filename", os.path.join(folder, "s%v_%05d.ts"),
                             os.path.join(folder, "p%v.m3u8")], check=True, stdin=subprocess.DEVNULL)
    return "master.m3u8"


def params(url: str, out: str, job: str) -> dict:
    return {"url": url, "quality": "1080p", "container": "MP4", "audioOnly": False, "videoCodec": "Auto",
            "subtitleMode": "off", "saveThumbnail": False, "embedCover": False, "outputDir": out,
            "singleVideo": True, "allowListing": False, "jobId": job, "cookieSource": "None", "cookiesFile": "",
            "forceGeneric": False, "fileName": "joined"}


def main() -> None:
    minutes = float(sys.argv[1]) if len(sys.argv) > 1 else 100.0
    kind = sys.argv[2] if len(sys.argv) > 2 else "hls"
    with tempfile.TemporaryDirectory() as tmp:
        stream = os.path.join(tmp, "stream")
        os.makedirs(stream)
        began = time.perf_counter()
        entry = make_stream(stream, int(minutes * 60), kind)
        names = sorted(os.listdir(stream))
        size = sum(os.path.getsize(os.path.join(stream, n)) for n in names)
        print(f"stream ({kind}): {minutes:g} min, {len(names)} files, {size / 1e6:.0f} MB "
              f"(made in {time.perf_counter() - began:.0f} s)")
        with MediaServer() as srv:
            for name in names:
                with open(os.path.join(stream, name), "rb") as f:
                    ctype = "application/vnd.apple.mpegurl" if name.endswith(".m3u8") else \
                        "application/dash+xml" if name.endswith(".mpd") else "video/mp2t"
                    srv.add(f"/s/{name}", f.read(), ctype, chunk=1 << 20)
            out = os.path.join(tmp, "out")
            os.makedirs(out)
            env = {"HOME": tmp, "XDG_DATA_HOME": os.path.join(tmp, "data")}
            eng = EngineProcess(os.path.join(tmp, "support"), env=env).start()
            eng.wait_event(lambda e: e["event"] == "ready")
            load = os.getloadavg()
            srv.clear_log()
            start = time.time()
            reply = eng.call("download.start", params(srv.url(f"/s/{entry}"), out, str(uuid.uuid4())),
                             timeout=3600)
            replied = time.time() - start
            assert "result" in reply, reply
            last = max(r.time for r in srv.requests_for_prefix("/s/")) - start \
                if hasattr(srv, "requests_for_prefix") else \
                max(r.time for n in names for r in srv.requests_for(f"/s/{n}", "GET")) - start
            eng.stop()
            path = reply["result"]["path"]
            info = media.probe(path)

            # The same join from files: the fetched tracks remuxed by ffmpeg alone.
            video, audio = os.path.join(tmp, "v.mp4"), os.path.join(tmp, "a.m4a")
            subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-i", path, "-map", "0:v",
                            "-c", "copy", video, "-map", "0:a", "-c", "copy", audio], check=True,
                           stdin=subprocess.DEVNULL)
            t0 = time.perf_counter()
            subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-i", video, "-i", audio,
                            "-map", "0:v", "-map", "1:a", "-c", "copy", os.path.join(tmp, "files.mp4")],
                           check=True, stdin=subprocess.DEVNULL)
            files_join = time.perf_counter() - t0
        print(f"load average at start: {load[0]:.1f} {load[1]:.1f} {load[2]:.1f}")
        print(f"last segment answered at {last:.1f} s, reply at {replied:.1f} s "
              f"(join ended {replied - last:.1f} s after the last segment); {info.duration:.0f} s of media, "
              f"{'video and audio' if info.has_video and info.has_audio else 'streams missing!'}")
        print(f"the same join from files: {files_join:.1f} s")


if __name__ == "__main__":
    main()
