"""Serves media on 127.0.0.1 for the state's end-to-end tests.

Prints "<page address> <video size> <held video address>" once ready. The page embeds a generated video
served in about a second; the held video stops after half its bytes until "open" is read. Commands, one
per line on standard input: "open" (answers "opened"), "ranges" (answers the Range headers of the GET
requests for the held video so far, "-" for none, separated by blanks), "sha256" (answers the video's SHA-256
in hex). The held video is served under any query string too ("held.mp4?n=2"), so one server holds many
distinct downloads. Serves until standard input closes.
Argument: the engine's tests folder (for its HTTP server and media fixtures)."""

import hashlib
import sys

sys.path.insert(0, sys.argv[1])

from fixtures.httpserver import MediaServer, embed_page  # noqa: E402
from fixtures.media import media_bytes  # noqa: E402

video = media_bytes("video720.mp4")
with MediaServer() as srv:
    # About a second of transfer, so the download is seen running.
    srv.add("/media/talk.mp4", video, "video/mp4", rate=len(video), chunk=8192)
    srv.add_page("/talks/42", embed_page("A talk about testing", "/media/talk.mp4"))
    held = srv.add("/media/held.mp4", video, "video/mp4", hold_at=len(video) // 2, chunk=8192)
    print(srv.url("/talks/42"), len(video), srv.url("/media/held.mp4"), flush=True)
    for line in sys.stdin:
        command = line.strip()
        if command == "open":
            held.gate.set()
            print("opened", flush=True)
        elif command == "ranges":
            ranges = [r.header("Range") or "-" for r in srv.requests_for("/media/held.mp4", "GET")]
            print(" ".join(ranges), flush=True)
        elif command == "sha256":
            print(hashlib.sha256(video).hexdigest(), flush=True)
