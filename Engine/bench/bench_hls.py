#!/usr/bin/env python3
"""An HLS stream downloaded by the engine and by ffmpeg's own copy of the same rendition, on loopback.

Run from Engine/: python3 bench/bench_hls.py [minutes] [fps] [MB/s per connection]. Makes a 1080p HLS
stream (test pattern and a tone, 4-second segments, 10 minutes by default) with ffmpeg into a temporary
folder, serves it from 127.0.0.1 (at full speed, or paced to the given rate per connection as a web
server far away would be), then times in the same run:
  - the engine: "download.start" of the master playlist at 1080p into Matroska, until its reply;
  - ffmpeg: `ffmpeg -i <media playlist> -c copy out.mkv` of the same rendition.
Each is run three times, alternately, and the best time of each is kept (the machine may be shared).
Prints both wall times and the ratio (below 1: the engine is faster).
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


def make_stream(folder: str, minutes: float, fps: int) -> None:
    seconds = int(minutes * 60)
    subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y",
                    "-f", "lavfi", "-i", f"testsrc2=size=1920x1080:rate={fps}:duration={seconds}",
                    "-f", "lavfi", "-i", f"sine=frequency=440:duration={seconds}",
                    "-c:v", "libx264", "-preset", "ultrafast", "-b:v", "4M", "-g", str(fps * 2), "-pix_fmt", "yuv420p",
                    "-c:a", "aac", "-b:a", "128k", "-f", "hls", "-hls_time", "4", "-hls_playlist_type", "vod",
                    "-master_pl_name", "master.m3u8", "-hls_segment_filename", os.path.join(folder, "seg%05d.ts"),
                    os.path.join(folder, "video.m3u8")], check=True, stdin=subprocess.DEVNULL)


def params(url: str, out: str, job: str) -> dict:
    return {"url": url, "quality": "1080p", "container": "MKV", "audioOnly": False, "videoCodec": "Auto",
            "subtitleMode": "off", "saveThumbnail": False, "embedCover": False, "outputDir": out,
            "singleVideo": True, "allowListing": False, "jobId": job, "cookieSource": "None", "cookiesFile": "",
            "forceGeneric": False, "fileName": "engine"}


def main() -> None:
    minutes = float(sys.argv[1]) if len(sys.argv) > 1 else 10.0
    fps = int(sys.argv[2]) if len(sys.argv) > 2 else 25
    pace = float(sys.argv[3]) if len(sys.argv) > 3 else 0.0
    with tempfile.TemporaryDirectory() as tmp:
        stream = os.path.join(tmp, "stream")
        os.makedirs(stream)
        began = time.perf_counter()
        make_stream(stream, minutes, fps)
        size = sum(os.path.getsize(os.path.join(stream, n)) for n in os.listdir(stream))
        print(f"stream: {minutes:g} min of 1080p at {fps} fps, {len(os.listdir(stream)) - 2} segments, "
              f"{size / 1e6:.0f} MB (made in {time.perf_counter() - began:.0f} s), served "
              + (f"at {pace:g} MB/s per connection" if pace else "at full speed"))
        with MediaServer() as srv:
            for name in os.listdir(stream):
                with open(os.path.join(stream, name), "rb") as f:
                    ctype = "application/vnd.apple.mpegurl" if name.endswith(".m3u8") else "video/mp2t"
                    srv.add(f"/hls/{name}", f.read(), ctype, chunk=1 << 20 if not pace else 1 << 16,
                            rate=int(pace * 1e6) if pace else None)
            out = os.path.join(tmp, "out")
            os.makedirs(out)

            env = {"HOME": tmp, "XDG_DATA_HOME": os.path.join(tmp, "data")}
            eng = EngineProcess(os.path.join(tmp, "support"), env=env).start()
            eng.wait_event(lambda e: e["event"] == "ready")
            master = srv.url("/hls/master.m3u8")
            # As the application does: the address is analysed before it is downloaded.
            eng.result("analyze", {"url": master, "cookieSource": "None", "cookiesFile": "", "forceGeneric": False})
            engine_times, ffmpeg_times = [], []
            ffmpeg_file = os.path.join(out, "ffmpeg.mkv")
            for _ in range(3):
                for old in os.listdir(out):
                    os.unlink(os.path.join(out, old))
                start = time.perf_counter()
                reply = eng.call("download.start", params(master, out, str(uuid.uuid4())), timeout=3600)
                engine_times.append(time.perf_counter() - start)
                assert "result" in reply, reply
                engine_file = reply["result"]["path"]

                start = time.perf_counter()
                subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-i",
                                srv.url("/hls/video.m3u8"), "-c", "copy", ffmpeg_file], check=True,
                               stdin=subprocess.DEVNULL)
                ffmpeg_times.append(time.perf_counter() - start)
            eng.stop()
            engine_took, ffmpeg_took = min(engine_times), min(ffmpeg_times)

        a, b = media.probe(engine_file), media.probe(ffmpeg_file)
        print(f"engine: {engine_took:.2f} s ({size / 1e6 / engine_took:.0f} MB/s), "
              f"{os.path.getsize(engine_file) / 1e6:.0f} MB, {a.width}x{a.height}, {a.duration:.1f} s")
        print(f"ffmpeg -c copy: {ffmpeg_took:.2f} s ({size / 1e6 / ffmpeg_took:.0f} MB/s), "
              f"{os.path.getsize(ffmpeg_file) / 1e6:.0f} MB, {b.width}x{b.height}, {b.duration:.1f} s")
        print(f"ratio engine/ffmpeg: {engine_took / ffmpeg_took:.2f}")


if __name__ == "__main__":
    main()
