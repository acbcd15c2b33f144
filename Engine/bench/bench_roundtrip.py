#!/usr/bin/env python3
"""Round trips through the engine's pipes: sequential latency and pipelined throughput.

Run from Engine/: python3 bench/bench_roundtrip.py [requests]. Uses a temporary support folder.
"""
import json
import os
import subprocess
import sys
import tempfile
import threading
import time

ENGINE_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def main():
    count = int(sys.argv[1]) if len(sys.argv) > 1 else 2000
    with tempfile.TemporaryDirectory() as support:
        env = dict(os.environ, VAMBER_SUPPORT_DIR=support, PYTHONDONTWRITEBYTECODE="1")
        proc = subprocess.Popen([sys.executable, os.path.join(ENGINE_DIR, "server.py")], stdin=subprocess.PIPE,
                                stdout=subprocess.PIPE, env=env)
        proc.stdout.readline()  # ready
        for method in ("settings.get", "options.allowed", "queue.load"):
            params = {"container": "MP4"} if method == "options.allowed" else None
            line = json.dumps({"id": 0, "method": method, **({"params": params} if params else {})}).encode() + b"\n"
            start = time.perf_counter()
            for _ in range(count):
                proc.stdin.write(line)
                proc.stdin.flush()
                proc.stdout.readline()
            seq = time.perf_counter() - start
            start = time.perf_counter()
            # Written from another thread: the replies fill the output pipe while requests still go in.
            writer = threading.Thread(target=lambda: (proc.stdin.write(line * count), proc.stdin.flush()))
            writer.start()
            for _ in range(count):
                proc.stdout.readline()
            piped = time.perf_counter() - start
            writer.join()
            print(f"{method:16s} sequential {seq / count * 1e6:8.1f} us/request   "
                  f"pipelined {count / piped:9.0f} requests/s")
        start = time.perf_counter()
        table = json.dumps({"id": 1, "method": "i18n.table", "params": {"language": "fr"}}).encode() + b"\n"
        for _ in range(200):
            proc.stdin.write(table)
            proc.stdin.flush()
            proc.stdout.readline()
        print(f"{'i18n.table':16s} sequential {(time.perf_counter() - start) / 200 * 1e6:8.1f} us/request")
        proc.stdin.close()
        proc.wait()


if __name__ == "__main__":
    main()
