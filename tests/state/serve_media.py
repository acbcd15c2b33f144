"""Serves one page embedding a generated video on 127.0.0.1 for the state's end-to-end test.

Prints "<page address> <video size>" once ready and serves until its standard input closes.
Argument: the engine's tests folder (for its HTTP server and media fixtures)."""

import sys

sys.path.insert(0, sys.argv[1])

from fixtures.httpserver import MediaServer, embed_page  # noqa: E402
from fixtures.media import media_bytes  # noqa: E402

video = media_bytes("video720.mp4")
with MediaServer() as srv:
    # About a second of transfer, so the download is seen running.
    srv.add("/media/talk.mp4", video, "video/mp4", rate=len(video), chunk=8192)
    srv.add_page("/talks/42", embed_page("A talk about testing", "/media/talk.mp4"))
    print(srv.url("/talks/42"), len(video), flush=True)
    sys.stdin.read()
