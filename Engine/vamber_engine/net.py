"""HTTP(S) requests for the engine: redirects, cookies per hop, plain-words errors, abortable bodies.

Built on http.client rather than urllib so that a worker can abort a body read that blocks on a
slow server (pause and cancel must act at once) and so that every hop of a redirect gets exactly
the cookies that match it.
"""

from __future__ import annotations

import errno
import http.client
import re
import socket
import ssl
import threading
from typing import IO, Optional
from urllib.parse import SplitResult, quote, urljoin, urlsplit, urlunsplit

from .cookies import CookieFileError, CookieJar

USER_AGENT = ("Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
              "Chrome/120.0 Safari/537.36")
DEFAULT_TIMEOUT = 20.0
MAX_REDIRECTS = 10


class NetError(Exception):
    """A request failed; str(err) is a sentence for the user."""

    def __init__(self, message: str, kind: str = "network", status: int = 0):
        super().__init__(message)
        self.kind = kind
        self.status = status


def too_large(what: str, limit: int) -> NetError:
    return NetError(f"{what} is larger than {_size_text(limit)}, more than the engine reads.", kind="too-large")


def _size_text(n: int) -> str:
    return f"{n >> 20} MB" if n >= 1 << 20 else f"{n >> 10} KB"


def read_limited(stream: IO, limit: int, what: str) -> bytes:
    """All of a file-like stream (an urllib answer); NetError when it holds more than limit bytes."""
    data = stream.read(limit + 1)
    if len(data) > limit:
        raise too_large(what, limit)
    return data


def _describe_host(parts) -> str:
    host = parts.hostname or "?"
    if parts.port:
        return f"{host}:{parts.port}"
    return host


def _quote_target(parts) -> str:
    path = quote(parts.path or "/", safe="/%:@!$&'()*+,;=-._~")
    query = quote(parts.query, safe="/%:@!$&'()*+,;=-._~?")
    return path + ("?" + query if query else "")


def check_url(url: str) -> SplitResult:
    parts = urlsplit(url.strip())
    if parts.scheme.lower() not in ("http", "https") or not parts.hostname:
        raise NetError(f"{url or 'An empty text'} is not a web address (it must start with http:// or https://).",
                       kind="bad-url")
    return parts


class Response:
    """An open response. read() gives body bytes; abort() unblocks a read from another thread."""

    def __init__(self, conn: http.client.HTTPConnection, resp: http.client.HTTPResponse,
                 sock: Optional[socket.socket], url: str):
        self._conn = conn
        self._resp = resp
        self._sock = sock
        self.url = url
        self.status = resp.status
        self.reason = resp.reason
        self.headers = resp.headers
        self.aborted = False
        self._lock = threading.Lock()

    @property
    def content_type(self) -> str:
        return (self.headers.get("Content-Type") or "").split(";", 1)[0].strip().lower()

    @property
    def length(self) -> Optional[int]:
        value = self.headers.get("Content-Length")
        if value is None or self.headers.get("Transfer-Encoding", "").lower() == "chunked":
            return None
        try:
            n = int(value)
        except ValueError:
            return None
        return n if n >= 0 else None

    def content_range(self) -> Optional[tuple[int, int, Optional[int]]]:
        """(first, last, total) of a 206 answer's Content-Range; total None when "*"."""
        m = re.fullmatch(r"\s*bytes\s+(\d+)-(\d+)/(\d+|\*)\s*", self.headers.get("Content-Range") or "")
        if not m:
            return None
        total = None if m.group(3) == "*" else int(m.group(3))
        return int(m.group(1)), int(m.group(2)), total

    def total_size(self) -> Optional[int]:
        """Size of the whole resource, from Content-Range or Content-Length."""
        if self.status == 206:
            cr = self.content_range()
            return cr[2] if cr else None
        return self.length

    def read(self, amount: int = 65536) -> bytes:
        """Up to amount bytes as soon as some arrive; b"" at the end of the body."""
        try:
            return self._resp.read1(amount)
        except (http.client.IncompleteRead, ConnectionError, socket.timeout, ssl.SSLError, OSError) as err:
            if self.aborted:
                return b""
            if isinstance(err, socket.timeout):
                raise NetError(f"The server stopped sending data (no answer for {int(DEFAULT_TIMEOUT)} seconds).",
                               kind="timeout") from err
            raise NetError("The connection was lost during the transfer.", kind="dropped") from err

    def read_all(self, limit: int) -> bytes:
        """The body's first limit bytes at most (the rest is left unread)."""
        chunks, size = [], 0
        while size < limit:
            chunk = self.read(min(65536, limit - size))
            if not chunk:
                break
            chunks.append(chunk)
            size += len(chunk)
        return b"".join(chunks)

    def read_whole(self, limit: int, what: str = "", already: int = 0) -> bytes:
        """The rest of the body; NetError (kind "too-large") when, with the `already` bytes read
        before, it is longer than limit bytes."""
        data = self.read_all(limit - already + 1)
        if already + len(data) > limit:
            raise too_large(what or self.url, limit)
        return data

    def text(self, limit: int = 4 << 20) -> str:
        data = self.read_whole(limit)
        charset = "utf-8"
        m = re.search(r"charset=([\w.-]+)", self.headers.get("Content-Type") or "", re.I)
        if m:
            charset = m.group(1)
        try:
            return data.decode(charset, "replace")
        except LookupError:
            return data.decode("utf-8", "replace")

    def abort(self) -> None:
        """Make a blocked read return at once (pause, cancel)."""
        with self._lock:
            self.aborted = True
            if self._sock is not None:
                try:
                    self._sock.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass

    def close(self) -> None:
        try:
            self._resp.close()
        finally:
            self._conn.close()

    def __enter__(self) -> "Response":
        return self

    def __exit__(self, *exc):
        self.close()


class Session:
    """Requests sharing one cookie jar (the cookie file's cookies plus those sites set)."""

    def __init__(self, cookies_file: str = "", timeout: float = DEFAULT_TIMEOUT,
                 jar: Optional[CookieJar] = None):
        if jar is not None:
            self.jar = jar
        else:
            try:
                self.jar = CookieJar.from_file(cookies_file)
            except CookieFileError as err:
                raise NetError(str(err), kind="cookies") from err
        self.timeout = timeout

    def open(self, url: str, method: str = "GET", headers: Optional[dict] = None,
             accept_status: tuple = ()) -> Response:
        """Send a request, following redirects. Statuses of 400 and above raise NetError unless
        listed in accept_status."""
        parts = check_url(url)
        url = urlunsplit(parts)
        for _ in range(MAX_REDIRECTS + 1):
            resp = self._once(url, parts, method, headers or {})
            if resp.status in (301, 302, 303, 307, 308) and resp.headers.get("Location"):
                target = urljoin(url, resp.headers["Location"].strip())
                resp.close()
                try:
                    parts = check_url(target)
                except NetError:
                    raise NetError(f"The server at {_describe_host(parts)} redirected to {target}, which is not a web address.", kind="http", status=resp.status)
                url = urlunsplit(parts)
                if resp.status == 303 and method not in ("GET", "HEAD"):
                    method = "GET"
                continue
            if resp.status >= 400 and resp.status not in accept_status:
                status, reason = resp.status, resp.reason
                resp.close()
                raise NetError(_status_text(status, reason, url), kind="http", status=status)
            return resp
        raise NetError(f"The server at {_describe_host(parts)} redirected too many times.", kind="http")

    def _once(self, url: str, parts, method: str, headers: dict) -> Response:
        host = parts.hostname or ""
        try:
            host.encode("ascii")
        except UnicodeEncodeError:
            host = host.encode("idna").decode("ascii")
        where = _describe_host(parts)
        if parts.scheme.lower() == "https":
            conn = http.client.HTTPSConnection(host, parts.port, timeout=self.timeout,
                                               context=ssl.create_default_context())
        else:
            conn = http.client.HTTPConnection(host, parts.port, timeout=self.timeout)
        all_headers = {"User-Agent": USER_AGENT, "Accept": "*/*", "Accept-Encoding": "identity",
                       "Accept-Language": "en;q=0.9, *;q=0.5"}
        all_headers.update(headers)
        cookie = self.jar.header(url)
        if cookie:
            all_headers["Cookie"] = cookie
        try:
            conn.request(method, _quote_target(parts), headers=all_headers)
            sock = conn.sock
            resp = conn.getresponse()
        except socket.gaierror as err:
            conn.close()
            raise NetError(f"The host {parts.hostname} could not be found ({err.strerror or err}).",
                           kind="unreachable") from err
        except ConnectionRefusedError as err:
            conn.close()
            raise NetError(f"Could not connect to {where}: the connection was refused.",
                           kind="unreachable") from err
        except socket.timeout as err:
            conn.close()
            raise NetError(f"{where} did not answer in time.", kind="timeout") from err
        except ssl.SSLError as err:
            conn.close()
            raise NetError(f"The secure connection to {where} failed: {err.reason or err}.",
                           kind="tls") from err
        except (http.client.HTTPException, ConnectionError) as err:
            conn.close()
            raise NetError(f"{where} closed the connection without a valid answer.", kind="dropped") from err
        except OSError as err:
            conn.close()
            if err.errno in (errno.ENETUNREACH, errno.EHOSTUNREACH):
                raise NetError(f"{where} cannot be reached from this computer.", kind="unreachable") from err
            raise NetError(f"Could not connect to {where}: {err.strerror or err}.", kind="unreachable") from err
        set_cookies = resp.headers.get_all("Set-Cookie") or []
        if set_cookies:
            self.jar.remember(url, set_cookies)
        return Response(conn, resp, sock, url)


def _status_text(status: int, reason: str, url: str) -> str:
    host = urlsplit(url).hostname or url
    plain = {
        401: "the page needs you to sign in",
        403: "access is forbidden (the page may need you to sign in)",
        404: "the page was not found",
        410: "the page is gone",
        429: "too many requests; try again later",
    }.get(status)
    if plain is None:
        plain = "the server had a problem" if status >= 500 else "the request was refused"
    return f"{host} answered {status} {reason or ''}: {plain}."


def fetch_head(session: Session, url: str) -> Response:
    """HEAD, or a one-byte ranged GET when the server refuses HEAD. The caller closes the answer."""
    try:
        return session.open(url, "HEAD")
    except NetError as err:
        if err.kind != "http" or err.status not in (400, 403, 405, 501):
            raise
    return session.open(url, "GET", {"Range": "bytes=0-0"})
