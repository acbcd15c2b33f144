"""Recognition with whisper.cpp's command-line program and a ggml model of the models folder.

The program is VAMBER_WHISPER_CLI when set, else whisper-cli (or its older name, whisper-cpp) on PATH.
It reads a 16 kHz WAV file and writes its segments as JSON (-oj) next to the name given with -of;
with -pp it prints "progress = N%" lines on standard error.
"""

from __future__ import annotations

import json
import os
import re
import shutil
import subprocess
import threading
import wave
from typing import Optional

from .recognizer import (SAMPLE_RATE, CancelToken, PreparedAudio, Progress, Recognition,
                         RecognitionError, Recognizer, Segment)

CLI_ENV = "VAMBER_WHISPER_CLI"
CLI_NAMES = ("whisper-cli", "whisper-cpp")
_PROGRESS = re.compile(rb"progress\s*=\s*(\d+)\s*%")


def find_cli() -> Optional[str]:
    named = os.environ.get(CLI_ENV, "").strip()
    if named:
        return named if os.path.isfile(named) and os.access(named, os.X_OK) else None
    for name in CLI_NAMES:
        found = shutil.which(name)
        if found:
            return found
    return None


def english_only(key: str) -> bool:
    return key.endswith((".en", "-en", "_en"))


def threads() -> int:
    return max(1, min(8, os.cpu_count() or 1))


def write_wav(audio: PreparedAudio, path: str) -> None:
    with wave.open(path, "wb") as out, open(audio.pcm_path, "rb") as pcm:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(SAMPLE_RATE)
        while True:
            chunk = pcm.read(1 << 20)
            if not chunk:
                break
            out.writeframes(chunk)


def parse_output(text: str) -> Recognition:
    """whisper.cpp's JSON: {"result": {"language"}, "transcription": [{"offsets": {"from", "to"}, "text"}]}."""
    try:
        data = json.loads(text, strict=False)  # it writes control characters of the text as they are
    except ValueError as exc:
        raise RecognitionError(f"whisper.cpp wrote a transcript that cannot be read ({exc}).")
    if not isinstance(data, dict) or not isinstance(data.get("transcription"), list):
        raise RecognitionError("whisper.cpp wrote a transcript without segments.")
    result = data.get("result") if isinstance(data.get("result"), dict) else {}
    language = result.get("language") if isinstance(result.get("language"), str) else ""
    segments = []
    for entry in data["transcription"]:
        if not isinstance(entry, dict):
            continue
        offsets = entry.get("offsets") if isinstance(entry.get("offsets"), dict) else {}
        start, end, text = offsets.get("from"), offsets.get("to"), entry.get("text")
        if not all(isinstance(v, (int, float)) and not isinstance(v, bool) for v in (start, end)):
            continue
        if not isinstance(text, str) or not text.strip():
            continue
        start = max(0, int(start))
        segments.append(Segment(start, max(start + 1, int(end)), " ".join(text.split())))
    return Recognition(language, segments)


class WhisperRecognizer(Recognizer):
    def __init__(self, key: str, model_path: str):
        self.key = key
        self.model_path = model_path

    def languages(self):
        return {"en"} if english_only(self.key) else None

    def command(self, cli: str, wav_path: str, out_base: str, language: str) -> list[str]:
        return [cli, "-m", self.model_path, "-f", wav_path, "-l", language or "auto", "-t", str(threads()),
                "-oj", "-of", out_base, "-pp"]

    def recognize(self, audio: PreparedAudio, language: str, progress: Progress,
                  cancel: CancelToken) -> Recognition:
        cli = find_cli()
        if not cli:
            raise RecognitionError("whisper.cpp's whisper-cli program is not installed, so this model cannot "
                                   "be used.", detail="no-recognizer", unavailable=True)
        if not os.path.isfile(self.model_path):
            raise RecognitionError(f"The model '{self.key}' is not installed.", detail="model-missing")
        if not audio.regions:
            # Nothing but silence: whisper is known to invent words there.
            progress(1.0)
            return Recognition(language or "", [])
        folder = os.path.dirname(audio.pcm_path)
        wav_path = os.path.join(folder, "audio.wav")
        out_base = os.path.join(folder, "whisper")
        write_wav(audio, wav_path)
        cancel.check()
        proc = subprocess.Popen(self.command(cli, wav_path, out_base, language), stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        forget = cancel.on_cancel(lambda: _kill(proc))
        tail: list[bytes] = []
        try:
            reader = threading.Thread(target=self._read_progress, args=(proc, progress, tail), daemon=True)
            reader.start()
            status = proc.wait()
            reader.join(5)
        finally:
            forget()
            _kill(proc)
        cancel.check()
        if status != 0:
            last = b"".join(tail).decode("utf-8", "replace").strip().splitlines()
            raise RecognitionError("whisper.cpp failed" + (f": {last[-1]}" if last else f" (status {status})."))
        try:
            with open(out_base + ".json", encoding="utf-8", errors="replace") as f:
                recognition = parse_output(f.read())
        except FileNotFoundError:
            raise RecognitionError("whisper.cpp ended without writing a transcript.")
        if not recognition.language:
            recognition.language = language
        progress(1.0)
        return recognition

    @staticmethod
    def _read_progress(proc, progress: Progress, tail: list[bytes]) -> None:
        for line in proc.stderr:
            match = _PROGRESS.search(line)
            if match:
                progress(min(100, int(match.group(1))) / 100)
            elif line.strip():
                tail[:] = (tail + [line])[-5:]
        proc.stderr.close()


def _kill(proc) -> None:
    if proc.poll() is None:
        try:
            proc.kill()
        except OSError:
            pass

