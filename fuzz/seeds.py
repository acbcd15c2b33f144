#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora and dictionary from what the tests and sources already hold.

Seeds: the JSON literals of the engine-link tests (record fixtures, protocol lines and transcripts) and
the links and addresses of the deep-link tests, each shaped as its target reads input. Dictionary: the
protocol's keys, event names and method names as the sources spell them, plus JSON and link tokens.

Usage: seeds.py SOURCE_ROOT OUTPUT_DIR
"""
import hashlib
import json
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1])
out = pathlib.Path(sys.argv[2])

RAW = re.compile(r'R"\((.*?)\)"', re.S)
RECORD_TYPES = 42  # the length of the record list in fuzz_records.cpp; extra selectors only repeat


def raw_literals(text):
    """Adjacent raw literals joined, as the compiler joins them."""
    joined, last_end = [], None
    for m in RAW.finditer(text):
        if last_end is not None and text[last_end:m.start()].strip() in ("", '"\\n"') and joined:
            gap = text[last_end:m.start()].strip()
            joined[-1] += ("\n" if gap else "") + m.group(1)
        else:
            joined.append(m.group(1))
        last_end = m.end()
    return joined


def json_values(paths):
    values = []
    for path in paths:
        for literal in raw_literals(path.read_text(encoding="utf-8")):
            text = re.sub(r"%\d", "1", literal)
            for piece in text.split("\n"):
                try:
                    values.append(json.loads(piece))
                except ValueError:
                    pass
    return values


def write(target, data):
    folder = out / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / hashlib.sha1(data).hexdigest()).write_bytes(data)


def dump(value):
    return json.dumps(value, ensure_ascii=False, separators=(",", ":")).encode()


engine_tests = sorted((root / "tests/engine").glob("*.cpp")) + sorted((root / "tests/json").glob("*.cpp"))
values = json_values(engine_tests)
lines = [v for v in values if isinstance(v, dict) and ("event" in v or "id" in v)]
records = [v for v in values if v not in lines]

for v in records:
    for selector in range(RECORD_TYPES):
        write("fuzz_records", bytes([selector]) + dump(v))

event_names = re.findall(r'\{QStringLiteral\("([a-z.]+)"\), Wire::',
                         (root / "src/engine/EngineEvent.cpp").read_text(encoding="utf-8"))
for line in lines:
    write("fuzz_dispatch", bytes([0, 0]) + dump(line))
    if "event" in line and line["event"] in event_names and isinstance(line.get("params"), dict):
        write("fuzz_dispatch", bytes([1, event_names.index(line["event"])]) + dump(line["params"]))
for v in records:
    for typed in range(8):
        write("fuzz_dispatch", bytes([2, (typed << 2) | 1]) + dump(v))

transcript = b"".join(dump(line) + b"\n" for line in lines)
for plan in (0, 1, 7, 60):
    write("fuzz_framer", bytes([plan]) + transcript)
for line in lines:
    write("fuzz_framer", bytes([3]) + dump(line) + b"\n")

link_tests = (root / "tests/link/tst_vamberurl.cpp").read_text(encoding="utf-8")
for text in set(re.findall(r'u"((?:[^"\\]|\\.)*)"_s', link_tests)):
    text = re.sub(r"\\(.)", lambda m: {"t": "\t", "n": "\n", "r": "\r"}.get(m.group(1), m.group(1)), text)
    write("fuzz_deeplink", b"\x00" + text.encode())
    write("fuzz_deeplink", b"\x01" + text.encode() + b"\x00audio")

# Dictionary: one quoted token a line.
sources = "\n".join(p.read_text(encoding="utf-8") for p in sorted((root / "src").rglob("*.cpp")) +
                    sorted((root / "src").rglob("*.h")))
tokens = set(re.findall(r'(?:req|opt)<[^>]*(?:<[^>]*>)?[^>]*>\((?:QStringLiteral\()?"([A-Za-z_]+)"', sources))
tokens |= set(re.findall(r'name = "([a-z0-9.A-Z]+)"', sources))
tokens |= set(event_names)
tokens = {'"%s"' % t for t in tokens}
tokens |= {'"event"', '"params"', '"id"', '"result"', '"error"', '"code"', '"message"', '"detail"',
           "null", "true", "false", "{", "}", "[", "]", ":", ",", "-0", "1e308", "1e400", "0.5",
           "9007199254740993", "9223372036854775807", "9223372036854775808", "-9223372036854775808",
           "2147483648", '"\\u00e9"', '"\\ud83c\\udfac"', "\\r",
           "vamber://download?url=", "&quality=", "http://", "https://", "%25", "%20", "%2B", "+", "#", "?",
           "VAMBER://DOWNLOAD?url="}


def quoted(token):
    return '"' + token.replace("\\", "\\\\").replace('"', '\\"') + '"'


(out / "protocol.dict").write_text("".join(quoted(t) + "\n" for t in sorted(tokens)), encoding="utf-8")
print("seeds: %s" % ", ".join("%s %d" % (d.name, len(list(d.iterdir())))
                             for d in sorted(out.iterdir()) if d.is_dir()))
