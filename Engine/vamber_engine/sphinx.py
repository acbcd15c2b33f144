"""The pocketsphinx decoder with the system's English model (Debian's pocketsphinx-en-us).

Its Python module (python3-pocketsphinx) is used when the interpreter can import it; any other
interpreter reaches the same library through ctypes. Both give words with frame times.
"""

from __future__ import annotations

import ctypes
import ctypes.util
import os
import re
from typing import Optional

MODEL_DIR = "/usr/share/pocketsphinx/model/en-us"
ACOUSTIC = "en-us"
LANGUAGE_MODEL = "en-us.lm.bin"
DICTIONARY = "cmudict-en-us.dict"
FRAMES_PER_SECOND = 100

# Whole buffers: silence removal would squeeze the times, and noise removal costs accuracy.
OPTIONS = {"-remove_silence": "no", "-remove_noise": "no", "-logfn": os.devnull}

_ALTERNATIVE = re.compile(r"\(\d+\)$")


class SphinxUnavailable(Exception):
    pass


def model_dir() -> str:
    return os.environ.get("VAMBER_SPHINX_MODEL_DIR", "") or MODEL_DIR


def model_files(folder: Optional[str] = None) -> list[str]:
    """The files the English model is made of (the acoustic model, the language model, the dictionary)."""
    folder = folder or model_dir()
    files = [os.path.join(folder, LANGUAGE_MODEL), os.path.join(folder, DICTIONARY)]
    acoustic = os.path.join(folder, ACOUSTIC)
    try:
        files += sorted(os.path.join(acoustic, n) for n in os.listdir(acoustic))
    except OSError:
        pass
    return files


def model_present(folder: Optional[str] = None) -> bool:
    folder = folder or model_dir()
    return all(os.path.exists(os.path.join(folder, n)) for n in (ACOUSTIC, LANGUAGE_MODEL, DICTIONARY))


def model_bytes(folder: Optional[str] = None) -> int:
    total = 0
    for path in model_files(folder):
        try:
            total += os.path.getsize(path)
        except OSError:
            pass
    return total


def _arguments(folder: str) -> dict[str, str]:
    args = {"-hmm": os.path.join(folder, ACOUSTIC), "-lm": os.path.join(folder, LANGUAGE_MODEL),
            "-dict": os.path.join(folder, DICTIONARY)}
    args.update(OPTIONS)
    return args


def spoken_word(token: str) -> Optional[str]:
    """The word a decoder token stands for; None for silence, noise and sentence marks."""
    if not token or token[0] in "<[" or token.startswith("++"):
        return None
    return _ALTERNATIVE.sub("", token)


def _from_utterance_start(tokens: list[tuple[str, int, int]]) -> list[tuple[str, int, int]]:
    """Frame numbers counted from the utterance's start. Fed piece by piece, the decoder goes on
    counting frames from earlier utterances; its first token (the sentence start) opens the utterance."""
    if not tokens:
        return tokens
    base = tokens[0][1] if tokens[0][0] == "<s>" else min(t[1] for t in tokens)
    return [(word, first - base, last - base) for word, first, last in tokens]


class _ModuleDecoder:
    """Through python3-pocketsphinx."""

    def __init__(self, folder: str):
        from pocketsphinx import Decoder  # noqa: the system's module

        config = Decoder.default_config()
        for name, value in _arguments(folder).items():
            if value in ("yes", "no"):
                config.set_boolean(name, value == "yes")
            else:
                config.set_string(name, value)
        self._decoder = Decoder(config)

    def start(self):
        self._decoder.start_utt()

    def feed(self, pcm: bytes):
        self._decoder.process_raw(pcm, False, False)

    def finish(self) -> list[tuple[str, int, int]]:
        self._decoder.end_utt()
        return _from_utterance_start([(s.word, s.start_frame, s.end_frame) for s in self._decoder.seg()])

    def close(self):
        self._decoder = None


class _LibraryDecoder:
    """Through libpocketsphinx with ctypes, for interpreters that lack the module."""

    def __init__(self, folder: str):
        lib = _load("pocketsphinx", "libpocketsphinx.so.3")
        base = _load("sphinxbase", "libsphinxbase.so.3")
        lib.ps_args.restype = ctypes.c_void_p
        base.cmd_ln_parse_r.restype = ctypes.c_void_p
        base.cmd_ln_parse_r.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_int,
                                        ctypes.POINTER(ctypes.c_char_p), ctypes.c_int]
        base.cmd_ln_free_r.argtypes = [ctypes.c_void_p]
        lib.ps_init.restype = ctypes.c_void_p
        lib.ps_init.argtypes = [ctypes.c_void_p]
        lib.ps_free.argtypes = [ctypes.c_void_p]
        for name in ("ps_start_utt", "ps_end_utt"):
            getattr(lib, name).argtypes = [ctypes.c_void_p]
        lib.ps_process_raw.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_size_t, ctypes.c_int,
                                       ctypes.c_int]
        lib.ps_seg_iter.restype = ctypes.c_void_p
        lib.ps_seg_iter.argtypes = [ctypes.c_void_p]
        lib.ps_seg_next.restype = ctypes.c_void_p
        lib.ps_seg_next.argtypes = [ctypes.c_void_p]
        lib.ps_seg_word.restype = ctypes.c_char_p
        lib.ps_seg_word.argtypes = [ctypes.c_void_p]
        lib.ps_seg_frames.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int)]
        self._lib, self._base = lib, base
        argv = ["vamber"]
        for name, value in _arguments(folder).items():
            argv += [name, value]
        array = (ctypes.c_char_p * len(argv))(*[a.encode() for a in argv])
        self._config = base.cmd_ln_parse_r(None, lib.ps_args(), len(argv), array, 1)
        if not self._config:
            raise SphinxUnavailable("pocketsphinx refused its settings.")
        self._ps = lib.ps_init(self._config)
        if not self._ps:
            base.cmd_ln_free_r(self._config)
            raise SphinxUnavailable(f"pocketsphinx could not load the English model in {folder}.")

    def start(self):
        if self._lib.ps_start_utt(self._ps) < 0:
            raise SphinxUnavailable("pocketsphinx could not start decoding.")

    def feed(self, pcm: bytes):
        if self._lib.ps_process_raw(self._ps, pcm, len(pcm) // 2, 0, 0) < 0:
            raise SphinxUnavailable("pocketsphinx could not decode the audio.")

    def finish(self) -> list[tuple[str, int, int]]:
        self._lib.ps_end_utt(self._ps)
        out = []
        seg = self._lib.ps_seg_iter(self._ps)
        start, end = ctypes.c_int(), ctypes.c_int()
        while seg:
            word = self._lib.ps_seg_word(seg) or b""
            self._lib.ps_seg_frames(seg, ctypes.byref(start), ctypes.byref(end))
            out.append((word.decode("utf-8", "replace"), start.value, end.value))
            seg = self._lib.ps_seg_next(seg)  # frees the iterator at the end
        return _from_utterance_start(out)

    def close(self):
        if self._ps:
            self._lib.ps_free(self._ps)
            self._ps = None
        if self._config:
            self._base.cmd_ln_free_r(self._config)
            self._config = None


def _load(name: str, soname: str):
    for candidate in (soname, ctypes.util.find_library(name)):
        if not candidate:
            continue
        try:
            return ctypes.CDLL(candidate)
        except OSError:
            continue
    raise SphinxUnavailable(f"The pocketsphinx library ({soname}) is not installed.")


def module_available() -> bool:
    try:
        import pocketsphinx  # noqa: F401
    except ImportError:
        return False
    return True


def library_available() -> bool:
    try:
        _load("pocketsphinx", "libpocketsphinx.so.3")
        _load("sphinxbase", "libsphinxbase.so.3")
    except SphinxUnavailable:
        return False
    return True


def available() -> bool:
    return model_present() and (module_available() or library_available())


def open_decoder(folder: Optional[str] = None, use_module: Optional[bool] = None):
    """A decoder with start(), feed(pcm), finish() -> [(token, first frame, last frame)], close()."""
    folder = folder or model_dir()
    if not model_present(folder):
        raise SphinxUnavailable(f"The English speech model is not installed (looked in {folder}); "
                                "install the pocketsphinx-en-us package.")
    if use_module is None:
        use_module = module_available()
    try:
        return _ModuleDecoder(folder) if use_module else _LibraryDecoder(folder)
    except RuntimeError as exc:  # the module's way of saying the model did not load
        raise SphinxUnavailable(f"pocketsphinx could not load the English model: {exc}")
