"""Update check and problem reports: honest about what could and could not be done."""
import json
import os
import re
import time
import urllib.error
import urllib.request
from typing import Any

from .. import ENGINE_VERSION, jsonio, texts
from ..context import Context
from ..errors import UNAVAILABLE, EngineError
from ..net import NetError, read_limited
from ..params import Params
from ..registry import method
from ..support import atomic_write_json

TIMEOUT = 15
ANSWER_LIMIT = 64 << 10  # an update offer is a few lines of JSON


def current_version() -> str:
    return os.environ.get("VAMBER_APP_VERSION") or ENGINE_VERSION


def version_key(text: str) -> list[int]:
    """Numeric parts first, so "1.10" is newer than "1.9"."""
    return [int(n) for n in re.findall(r"\d+", text)]


def _web_url(name):
    url = os.environ.get(name, "")
    if url and not re.match(r"^https?://", url, re.IGNORECASE):
        raise EngineError(UNAVAILABLE, f"{name} must be an http or https address.", detail=url)
    return url


@method("update.check", threaded=True)
def update_check(ctx: Context, params: Params) -> Any:
    current = current_version()
    url = _web_url("VAMBER_UPDATE_URL")
    if not url:
        # Nothing can be checked, so "no update" would be a claim: say what is missing instead.
        raise EngineError(UNAVAILABLE, texts.text(ctx.settings.get("language"), "msg_update_no_source"),
                          detail="no-update-source")
    try:
        with urllib.request.urlopen(url, timeout=TIMEOUT) as response:
            offer = jsonio.loads(read_limited(response, ANSWER_LIMIT, "The update server's answer").decode("utf-8"))
        version, page = offer["version"], offer["url"]
        if not isinstance(version, str) or not isinstance(page, str):
            raise ValueError("version and url must be strings")
    except NetError as exc:
        raise EngineError(UNAVAILABLE, str(exc), detail=exc.kind)
    except (OSError, ValueError, KeyError, TypeError) as exc:
        raise EngineError(UNAVAILABLE, "The update server could not be reached.", detail=str(exc))
    available = version_key(version) > version_key(current)
    return {"available": available, "version": version if available else current,
            "url": page if available else "", "current": current}


@method("report.send", threaded=True)
def report_send(ctx: Context, params: Params) -> Any:
    report = {
        "what": params.str("what"),
        "email": params.str("email"),
        "log": params.str("log"),
        "appVersion": current_version(),
        "engineVersion": ENGINE_VERSION,
        "time": time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime()),
    }
    # Kept in the support folder in any case, so a report that cannot be sent is not lost.
    stamp = time.strftime("%Y%m%dT%H%M%S", time.gmtime())
    path = os.path.join(ctx.support.subdir("reports"), f"report-{stamp}-{os.getpid()}-{ctx.id}.json")
    atomic_write_json(path, report)
    url = _web_url("VAMBER_REPORT_URL")
    sent = False
    if url:
        body = json.dumps(report, ensure_ascii=False).encode("utf-8")
        request = urllib.request.Request(url, data=body, method="POST",
                                         headers={"Content-Type": "application/json; charset=utf-8"})
        try:
            with urllib.request.urlopen(request, timeout=TIMEOUT) as response:
                sent = 200 <= response.status < 300
        except (OSError, ValueError) as exc:
            ctx.log(f"report not sent: {exc}")
    return {"sent": True} if sent else {"sent": False, "savedTo": path}
