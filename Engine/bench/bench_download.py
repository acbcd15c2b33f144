#!/usr/bin/env python3
"""Download throughput through the engine from a local server, and the pace of progress events.

Run from Engine/: python3 bench/bench_download.py [megabytes]. Serves random bytes from 127.0.0.1 (once
with the whole file, once paused half-way and resumed) into a temporary folder.
"""
import os
import sys
import tempfile
import time
import uuid

ENGINE_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ENGINE_DIR, "tests"))

from fixtures.engineproc import EngineProcess  # noqa: E402
from fixtures.httpserver import MediaServer  # noqa: E402


def params(url, out, job):
    return {"url": url, "quality": "1080p", "container": "MP4", "audioOnly": False, "videoCodec": "Auto",
            "subtitleMode": "off", "saveThumbnail": False, "embedCover": False, "outputDir": out,
            "singleVideo": True, "allowListing": False, "jobId": job, "cookieSource": "None", "cookiesFile": "",
            "forceGeneric": False, "fileName": ""}


def main():
    megabytes = int(sys.argv[1]) if len(sys.argv) > 1 else 200
    body = os.urandom(megabytes << 20)
    with tempfile.TemporaryDirectory() as tmp, MediaServer() as srv:
        srv.add("/big.mp4", body, "video/mp4", chunk=1 << 20, etag='"big"')
        held = srv.add("/held.mp4", body, "video/mp4", chunk=1 << 20, hold_at=len(body) // 2, etag='"held"')
        env = {"HOME": tmp, "XDG_DATA_HOME": os.path.join(tmp, "data"), "VAMBER_FFMPEG_DIR": os.path.join(tmp, "x")}
        eng = EngineProcess(os.path.join(tmp, "support"), env=env).start()
        eng.wait_event(lambda e: e["event"] == "ready")
        out = os.path.join(tmp, "out")

        job = str(uuid.uuid4())
        start = time.perf_counter()
        reply = eng.call("download.start", params(srv.url("/big.mp4"), out, job), timeout=600)
        took = time.perf_counter() - start
        assert "result" in reply, reply
        events = eng.events_for(job, "job.progress")
        print("whole file: %d MB in %.2f s = %.0f MB/s, %d progress events (%.1f per second)"
              % (megabytes, took, megabytes / took, len(events), len(events) / took))
        os.unlink(reply["result"]["path"])

        job = str(uuid.uuid4())
        rid = eng.send("download.start", params(srv.url("/held.mp4"), out, job))
        eng.wait_event(lambda e: e["event"] == "job.progress" and e["params"]["jobId"] == job
                       and e["params"]["downloaded"] >= len(body) // 2, timeout=600)
        start = time.perf_counter()
        eng.call("download.pause", {"jobId": job})
        eng.reply(rid, 60)
        paused = time.perf_counter() - start
        held.gate.set()
        start = time.perf_counter()
        reply = eng.call("download.start", params(srv.url("/held.mp4"), out, job), timeout=600)
        took = time.perf_counter() - start
        assert "result" in reply, reply
        with open(reply["result"]["path"], "rb") as f:
            assert f.read() == body
        print("pause answered in %.1f ms; resumed second half in %.2f s = %.0f MB/s"
              % (paused * 1000, took, megabytes / 2 / took))
        eng.stop()


if __name__ == "__main__":
    main()
