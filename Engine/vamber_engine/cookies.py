"""Netscape cookie files: reading them and choosing the cookies a request may carry.

The application hands the built-in browser's cookies over as a Netscape cookie file ("cookiesFile");
every request that reaches a site sends the cookies of that file that match its host, path and
scheme, so a download is signed in exactly as the browser was.
"""

from __future__ import annotations

import email.utils
import ipaddress
import time
from dataclasses import dataclass
from pathlib import Path
from typing import Iterable, Optional
from urllib.parse import urlsplit

HTTPONLY_PREFIX = "#HttpOnly_"


class CookieFileError(Exception):
    pass


@dataclass(frozen=True)
class Cookie:
    domain: str  # lower case, without a leading dot
    include_subdomains: bool
    path: str
    secure: bool
    expires: int  # seconds since the epoch; 0 for a session cookie
    name: str
    value: str
    http_only: bool = False

    def expired(self, now: float) -> bool:
        return self.expires != 0 and self.expires <= now


def parse(text: str) -> list[Cookie]:
    """Cookies of a Netscape cookie file; malformed lines are skipped."""
    cookies = []
    for raw in text.splitlines():
        line = raw.strip("\r\n")
        http_only = False
        if line.startswith(HTTPONLY_PREFIX):
            http_only = True
            line = line[len(HTTPONLY_PREFIX):]
        elif line.startswith("#") or not line.strip():
            continue
        fields = line.split("\t")
        if len(fields) == 6:  # some writers leave out an empty value
            fields.append("")
        if len(fields) != 7:
            continue
        domain, flag, path, secure, expires, name, value = fields
        domain = domain.strip().lower()
        if not domain or not name:
            continue
        subdomains = flag.strip().upper() == "TRUE" or domain.startswith(".")
        try:
            expiry = int(float(expires.strip() or "0"))
        except ValueError:
            continue
        cookies.append(Cookie(domain=domain.lstrip("."), include_subdomains=subdomains,
                              path=path.strip() or "/", secure=secure.strip().upper() == "TRUE",
                              expires=max(expiry, 0), name=name, value=value, http_only=http_only))
    return cookies


def load(path: str | Path) -> list[Cookie]:
    """Cookies of the file at path; raises CookieFileError when it cannot be read."""
    try:
        data = Path(path).read_bytes()
    except OSError as err:
        raise CookieFileError(f"The cookie file {path} cannot be read: {err.strerror or err}") from err
    return parse(data.decode("utf-8", "replace"))


def _is_ip(host: str) -> bool:
    try:
        ipaddress.ip_address(host.strip("[]"))
        return True
    except ValueError:
        return False


def domain_matches(cookie: Cookie, host: str) -> bool:
    host = host.lower().rstrip(".")
    if host == cookie.domain:
        return True
    if not cookie.include_subdomains or _is_ip(host):
        return False
    return host.endswith("." + cookie.domain)


def path_matches(cookie_path: str, request_path: str) -> bool:
    if request_path == cookie_path:
        return True
    if request_path.startswith(cookie_path):
        return cookie_path.endswith("/") or request_path[len(cookie_path)] == "/"
    return False


class CookieJar:
    """The cookies of one cookie file plus those the sites set during this session."""

    def __init__(self, cookies: Iterable[Cookie] = ()):
        self._cookies: list[Cookie] = list(cookies)

    @classmethod
    def from_file(cls, path: str) -> "CookieJar":
        """An empty jar for an empty path; raises CookieFileError for an unreadable file."""
        if not path:
            return cls()
        return cls(load(path))

    def __len__(self) -> int:
        return len(self._cookies)

    def matching(self, url: str, now: Optional[float] = None) -> list[Cookie]:
        parts = urlsplit(url)
        scheme = parts.scheme.lower()
        host = parts.hostname or ""
        path = parts.path or "/"
        now = time.time() if now is None else now
        found = [c for c in self._cookies
                 if domain_matches(c, host) and path_matches(c.path, path)
                 and (not c.secure or scheme == "https") and not c.expired(now)]
        # Longer paths first, as browsers send them; later duplicates of a name lose.
        found.sort(key=lambda c: -len(c.path))
        seen = set()
        result = []
        for c in found:
            key = (c.name, c.path)
            if key not in seen:
                seen.add(key)
                result.append(c)
        return result

    def header(self, url: str, now: Optional[float] = None) -> str:
        """Value of the Cookie header for a request to url ("" when none applies)."""
        return "; ".join(f"{c.name}={c.value}" for c in self.matching(url, now))

    def remember(self, url: str, set_cookie_headers: Iterable[str]) -> None:
        """Keep cookies a site sets (Set-Cookie) for later requests of the same session."""
        parts = urlsplit(url)
        host = (parts.hostname or "").lower()
        for header in set_cookie_headers:
            cookie = _parse_set_cookie(header, host, parts.path or "/")
            if cookie is None:
                continue
            self._cookies = [c for c in self._cookies
                             if not (c.name == cookie.name and c.domain == cookie.domain and c.path == cookie.path)]
            if not cookie.expired(time.time()):
                self._cookies.append(cookie)


def _parse_set_cookie(header: str, host: str, request_path: str) -> Optional[Cookie]:
    parts = [p.strip() for p in header.split(";")]
    if not parts or "=" not in parts[0]:
        return None
    name, value = parts[0].split("=", 1)
    name = name.strip()
    if not name:
        return None
    domain, subdomains = host, False
    path = request_path.rsplit("/", 1)[0] or "/"
    secure = http_only = False
    expires = 0
    for attr in parts[1:]:
        key, _, val = attr.partition("=")
        key = key.strip().lower()
        val = val.strip()
        if key == "domain" and val:
            wanted = val.lstrip(".").lower()
            # A site may only set cookies for its own domain or a parent of it.
            if host != wanted and not host.endswith("." + wanted):
                return None
            domain, subdomains = wanted, True
        elif key == "path" and val.startswith("/"):
            path = val
        elif key == "secure":
            secure = True
        elif key == "httponly":
            http_only = True
        elif key == "max-age":
            try:
                age = int(val)
            except ValueError:
                continue
            expires = int(time.time()) + age if age > 0 else 1
        elif key == "expires" and expires == 0:
            try:
                stamp = email.utils.parsedate_to_datetime(val)
                expires = max(int(stamp.timestamp()), 1)
            except (TypeError, ValueError):
                continue
    return Cookie(domain=domain, include_subdomains=subdomains, path=path, secure=secure,
                  expires=expires, name=name, value=value.strip(), http_only=http_only)
