"""Serves media on 127.0.0.1 for the batch tab's end-to-end test.

Prints "<size> <link a> <link b> <link c> <listing page> <held link>" once ready: three direct video links,
a page listing three more videos, and a video held after half its bytes until "open" is read (answers
"opened"). Serves until standard input closes. Argument: the engine's tests folder (for its HTTP server
and media fixtures)."""

import sys

sys.path.insert(0, sys.argv[1])

from fixtures.httpserver import MediaServer, listing_page  # noqa: E402
from fixtures.media import media_bytes  # noqa: E402

video = media_bytes("video.mp4")
with MediaServer() as srv:
    links = [srv.url(srv_path) for srv_path in ("/media/alpha.mp4", "/media/bravo.mp4", "/media/charlie.mp4")]
    for name in ("alpha", "bravo", "charlie"):
        srv.add("/media/%s.mp4" % name, video, "video/mp4")
    shows = []
    for name in ("show-one", "show-two", "show-three"):
        srv.add("/shows/%s.mp4" % name, video, "video/mp4")
        shows.append(("/shows/%s.mp4" % name, name.replace("-", " ").title()))
    srv.add_page("/shows", listing_page("Three shows", shows))
    held = srv.add("/media/held.mp4", video, "video/mp4", hold_at=len(video) // 2, chunk=1024)
    print(len(video), *links, srv.url("/shows"), srv.url("/media/held.mp4"), flush=True)
    for line in sys.stdin:
        if line.strip() == "open":
            held.gate.set()
            print("opened", flush=True)
