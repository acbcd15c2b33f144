"""A site that serves a video only to a signed-in visitor, on 127.0.0.1, for the browser's hand-off tests.

Prints "<base address> <video size>" once ready. Routes:
  /signin                 sets the sign-in cookie and answers a page titled "Signed in"
  /watch                  a page embedding /media/protected.mp4 (signed-in visitors only, else 403)
  /media/protected.mp4    the video (signed-in visitors only, else 403)
  /page/<name>            a page titled <name>; /page/<name>?redirect=<path> redirects there first
  /opener                 a page with a link to a new window (/page/one?x=a|b), a button whose click
                          opens /page/two in a new window, and a script that tries to open /page/three
                          on its own as the page loads; its title then tells whether that was blocked
Commands, one per line on standard input: "media" answers the GET requests for the video so far, as one
JSON list of {"cookie": Cookie header, "agent": User-Agent header}. Serves until standard input closes.
Argument: the engine's tests folder (for its HTTP server and media fixtures)."""

import html
import json
import sys
import urllib.parse

sys.path.insert(0, sys.argv[1])

from fixtures.httpserver import MediaServer, embed_page  # noqa: E402
from fixtures.media import media_bytes  # noqa: E402

COOKIE = ("session", "open-sesame")


def answer(handler, status, body, headers=()):
    data = body.encode("utf-8")
    handler.send_response(status)
    for name, value in headers:
        handler.send_header(name, value)
    handler.send_header("Content-Type", "text/html; charset=utf-8")
    handler.send_header("Content-Length", str(len(data)))
    handler.end_headers()
    if handler.command != "HEAD":
        handler.wfile.write(data)


def page(title):
    return "<!doctype html><html><head><title>%s</title></head><body><p>%s</p></body></html>" % (
        html.escape(title), html.escape(title))


def signin(handler):
    answer(handler, 200, page("Signed in"), [("Set-Cookie", "%s=%s; Path=/; Max-Age=3600" % COOKIE)])


def named_page(handler):
    parts = urllib.parse.urlsplit(handler.path)
    target = urllib.parse.parse_qs(parts.query).get("redirect")
    if target:
        handler.send_response(302)
        handler.send_header("Location", target[0])
        handler.send_header("Content-Length", "0")
        handler.end_headers()
        return
    answer(handler, 200, page(urllib.parse.unquote(parts.path.rsplit("/", 1)[-1])))


OPENER = """<!doctype html><html><head><title>Opener</title><style>
body { margin: 0 } .hit { position: absolute; left: 10px; width: 300px; height: 60px; display: block }
</style></head><body>
<a id="link" class="hit" style="top: 10px" href="/page/one?x=a|b" target="_blank">New window</a>
<button id="button" class="hit" style="top: 110px" onclick="window.open('/page/two')">Open</button>
<script>
var popup = window.open('/page/three');
document.title = 'Opener ' + (popup ? 'popup opened' : 'popup blocked');
</script></body></html>"""


def opener(handler):
    answer(handler, 200, OPENER)


video = media_bytes("video.mp4")
with MediaServer() as srv:
    srv.add("/signin", handler=signin)
    srv.add("/opener", handler=opener)
    srv.add_page("/watch", embed_page("Members only", "/media/protected.mp4"), cookie=COOKIE)
    srv.add("/media/protected.mp4", video, "video/mp4", cookie=COOKIE)
    for name in ("one", "two", "three", "a&b", "landed"):
        srv.add("/page/" + urllib.parse.quote(name), handler=named_page)
    print(srv.url(""), len(video), flush=True)
    for line in sys.stdin:
        if line.strip() == "media":
            seen = [{"cookie": r.header("Cookie") or "", "agent": r.header("User-Agent") or ""}
                    for r in srv.requests_for("/media/protected.mp4", "GET")]
            print(json.dumps(seen), flush=True)
