#!/usr/bin/env python3
"""Offline transcription through the engine: real-time factor, peak memory and word error rate.

Run from Engine/: python3 bench/bench_transcribe.py [minutes]. Joins the LibriVox clips of Debian's
pocketsphinx-testdata (with a second of silence after each) into a spoken-word file of about that length
(5 minutes unless told), transcribes it with the system's English model and prints wall time over audio
duration, the engine process's peak resident memory (its own, and how much transcription added to it)
and the word error rate against the clips' reference texts.
"""
import json
import os
import sys
import tempfile
import time

ENGINE_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, ENGINE_DIR)

from tests.fixtures import speech  # noqa: E402
from tests.fixtures.engineproc import EngineProcess  # noqa: E402


def memory_kib(pid, field):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0


def main():
    minutes = float(sys.argv[1]) if len(sys.argv) > 1 else 5.0
    if not speech.have_testdata():
        sys.exit("needs pocketsphinx-testdata and ffmpeg (scripts/setup installs them)")
    one_pass = sum(c.seconds + 1.0 for c in speech.clips())
    repeat = max(1, round(minutes * 60 / one_pass))
    source = speech.joined("bench.m4a", gap=1.0, repeat=repeat)
    seconds = source.spans_ms[-1][1] / 1000 + 1.0
    with tempfile.TemporaryDirectory() as tmp:
        media = speech.copy_to(source.path, speech.Path(tmp) / "media", "bench.m4a")
        eng = EngineProcess(os.path.join(tmp, "support"), env={"HOME": tmp}).start()
        eng.wait_event(lambda e: e["event"] == "ready")
        pid = eng.proc.pid
        idle = memory_kib(pid, "VmRSS")
        started = time.perf_counter()
        reply = eng.call("transcribe.start", {"path": str(media), "jobId": "BENCH"}, timeout=3600)
        wall = time.perf_counter() - started
        peak = memory_kib(pid, "VmHWM")
        if "error" in reply:
            sys.exit(f"transcription failed: {reply['error']}")
        with open(reply["result"]["srt"].replace(".srt", ".json"), encoding="utf-8") as f:
            text = " ".join(s["text"] for s in json.load(f)["segments"])
        eng.stop()
    wer = speech.word_error_rate(source.reference, text)
    print(f"audio: {seconds:.1f} s ({repeat} × {len(speech.clips())} clips), cores: {os.cpu_count()}")
    print(f"wall time: {wall:.1f} s, real-time factor: {wall / seconds:.3f} (×{seconds / wall:.1f} faster "
          f"than real time)")
    print(f"engine peak memory: {peak / 1024:.0f} MiB (idle {idle / 1024:.0f} MiB, transcription added "
          f"{(peak - idle) / 1024:.0f} MiB)")
    print(f"word error rate: {wer:.1%} ({reply['result']['segments']} segments)")


if __name__ == "__main__":
    main()
