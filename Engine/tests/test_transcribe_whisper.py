"""The whisper.cpp path against a stand-in program of the tests' own: the arguments it gets, its JSON
read back, its progress, cancelling it, and the model list with and without a ggml file."""
import json
import os
import shutil
import stat
import sys
import tempfile
import time
import unittest
from pathlib import Path

from tests.fixtures import speech
from tests.fixtures.engineproc import EngineProcess

STANDIN = Path(__file__).resolve().parent / "fixtures" / "whisper_standin.py"
MODEL_BYTES = 4096
WAIT = 120.0


@unittest.skipUnless(speech.have_testdata(), "ffmpeg is needed (scripts/setup)")
class WhisperCase(unittest.TestCase):
    def setUp(self):
        self.tmp = Path(tempfile.mkdtemp(prefix="vamber-whisper-test-"))
        self.addCleanup(shutil.rmtree, self.tmp, True)
        self.support = self.tmp / "support"
        self.media = self.tmp / "media"
        self.log = self.tmp / "standin.log"
        self.gate = self.tmp / "gate"
        self.cli = self.tmp / "bin" / "whisper-cli"
        self.cli.parent.mkdir()
        self.cli.write_text(f"#!{sys.executable}\n" + STANDIN.read_text())
        self.cli.chmod(self.cli.stat().st_mode | stat.S_IXUSR)
        self.catalogue = self.tmp / "catalogue.json"
        self.catalogue.write_text(json.dumps({"default": "tiny-test", "models": [
            {"key": "tiny-test", "filename": "ggml-tiny-test.bin", "url": "ggml-tiny-test.bin",
             "downloadBytes": MODEL_BYTES, "peakMemoryBytes": 1000},
            {"key": "base-test-en", "filename": "ggml-base-test-en.bin", "url": "ggml-base-test-en.bin",
             "downloadBytes": MODEL_BYTES, "peakMemoryBytes": 2000}]}))
        self.engine = None

    def start(self, cli=None, mode="ok", env=None):
        if self.engine is not None:
            self.engine.stop()
        self.engine = EngineProcess(self.support, env=dict({
            "HOME": str(self.tmp), "VAMBER_MODEL_CATALOG": str(self.catalogue),
            "VAMBER_WHISPER_CLI": str(cli or self.cli), "STANDIN_LOG": str(self.log),
            "STANDIN_GATE": str(self.gate), "STANDIN_MODE": mode}, **(env or {}))).start()
        self.addCleanup(self.engine.stop)
        return self.engine

    def install(self, key="tiny-test"):
        models = self.support / "models"
        models.mkdir(parents=True, exist_ok=True)
        (models / f"ggml-{key}.bin").write_bytes(b"\0" * MODEL_BYTES)

    def choose(self, model, language=""):
        self.engine.result("settings.set", {"values": {"transcriptionModel": model,
                                                       "transcriptionLanguage": language}})

    def runs(self):
        if not self.log.exists():
            return []
        return [json.loads(line) for line in self.log.read_text().splitlines()]

    def spoken(self, name="spoken.wav"):
        """A short spoken sentence: sound the voice check passes on to the program."""
        return speech.copy_to(min(speech.clips(), key=lambda c: c.seconds).wav, self.media, name)


class ModelList(WhisperCase):
    def test_installed_when_the_ggml_file_is_there_and_default_only_when_it_can_run(self):
        info = self.start().result("models.list")
        self.assertEqual([(m["key"], m["installed"]) for m in info["models"]],
                         [("sphinx-en", True), ("tiny-test", False), ("base-test-en", False)])
        self.assertEqual((info["default"], info["supported"], info["helperAvailable"], info["gpu"]),
                         ("sphinx-en", True, True, False))
        self.assertNotIn("tiny-test", info["diskUsage"])
        self.assertGreater(info["diskUsage"]["sphinx-en"], 10_000_000)
        self.assertEqual(info["models"][0]["downloadBytes"], info["diskUsage"]["sphinx-en"])

        self.install()
        info = self.engine.result("models.list")
        self.assertEqual([(m["key"], m["installed"]) for m in info["models"]],
                         [("sphinx-en", True), ("tiny-test", True), ("base-test-en", False)])
        self.assertEqual(info["default"], "tiny-test")
        self.assertEqual(info["diskUsage"]["tiny-test"], MODEL_BYTES)

        # Without whisper.cpp's program the file is still there, but the model cannot be the default.
        engine = self.start(cli=self.tmp / "missing" / "whisper-cli")
        info = engine.result("models.list")
        self.assertTrue(info["models"][1]["installed"])
        self.assertEqual(info["default"], "sphinx-en")
        # Every Whisper model says it cannot run and what is missing, in the interface language; the
        # system's model is built in and runs.
        for language, words in (("en", "whisper-cli"), ("fr", "n’est pas installé")):
            engine.result("settings.set", {"values": {"language": language}})
            models = engine.result("models.list")["models"]
            self.assertEqual([(m["key"], m["runnable"], m.get("builtIn", False)) for m in models],
                             [("sphinx-en", True, True), ("tiny-test", False, False),
                              ("base-test-en", False, False)])
            self.assertNotIn("unavailableReason", models[0])
            for model in models[1:]:
                self.assertIn(words, model["unavailableReason"])
        # Unnamed, the program is looked for on PATH.
        path = f"{self.cli.parent}{os.pathsep}{os.environ.get('PATH', '')}"
        info = self.start(env={"VAMBER_WHISPER_CLI": "", "PATH": path}).result("models.list")
        self.assertEqual(info["default"], "tiny-test")
        self.assertEqual([m["runnable"] for m in info["models"]], [True, True, True])
        self.assertFalse([m for m in info["models"] if "unavailableReason" in m])

    def test_the_system_model_is_offered_installed_and_cannot_be_deleted(self):
        engine = self.start()
        offer = engine.result("models.offer", {"key": "sphinx-en"})
        self.assertEqual((offer["key"], offer["installed"], offer["host"]), ("sphinx-en", True, ""))
        self.assertEqual(offer["diskBytes"], engine.result("models.list")["diskUsage"]["sphinx-en"])
        mark = len(engine.events)
        self.assertTrue(engine.result("models.download", {"key": "sphinx-en"})["installed"])
        state = engine.wait_event(lambda e: e["event"] == "model.state", start=mark)
        self.assertEqual(state["params"], {"key": "sphinx-en", "state": "installed"})
        reply = engine.call("models.delete", {"key": "sphinx-en"})
        self.assertEqual(reply["error"]["detail"], "system-model")
        self.assertIn("package", reply["error"]["message"])
        self.assertTrue(engine.result("models.list")["models"][0]["installed"])

    def test_without_the_system_model_nothing_claims_to_run(self):
        engine = self.start(cli=self.tmp / "missing" / "whisper-cli",
                            env={"VAMBER_SPHINX_MODEL_DIR": str(self.tmp / "no-model")})
        info = engine.result("models.list")
        self.assertEqual(info["models"][0]["key"], "sphinx-en")
        self.assertFalse(info["models"][0]["installed"])
        self.assertFalse(info["helperAvailable"])
        self.assertNotIn("sphinx-en", info["diskUsage"])
        self.assertFalse(engine.result("models.offer", {"key": "sphinx-en"})["installed"])
        reply = engine.call("transcribe.start", {"path": str(self.spoken()), "jobId": "N1"}, timeout=WAIT)
        self.assertEqual((reply["error"]["code"], reply["error"]["detail"]), (1002, "no-recognizer"))
        self.assertIn("pocketsphinx", reply["error"]["message"])
        mark = len(engine.events)
        self.assertEqual(engine.call("models.download", {"key": "sphinx-en"})["error"]["code"], 1002)
        state = engine.wait_event(lambda e: e["event"] == "model.state", start=mark)["params"]
        self.assertEqual(state["state"], "failed")

    def test_speed_is_measured_once_and_kept(self):
        engine = self.start()
        engine.result("models.list")
        speeds = self.support / "speech-speed.json"
        deadline = time.monotonic() + WAIT
        while not speeds.exists() and time.monotonic() < deadline:
            time.sleep(0.1)
        factor = json.loads(speeds.read_text())["sphinx-en"]
        self.assertGreater(factor, 0)
        self.assertEqual(engine.result("models.list")["speedFactor"], factor)
        self.assertEqual(self.start().result("models.list")["speedFactor"], factor)


class Transcription(WhisperCase):
    def test_arguments_output_and_progress(self):
        self.install()
        engine = self.start()
        for job, language, expected in (("W1", "", "fr"), ("W2", "de-DE", "de")):
            with self.subTest(language=language):
                self.choose("tiny-test", language)
                media = self.spoken(f"{job}.wav")
                result = engine.call("transcribe.start", {"path": str(media), "jobId": job}, timeout=WAIT)["result"]
                self.assertEqual((result["language"], result["segments"]), (expected, 2))
                argv = self.runs()[-1]["argv"]
                self.assertEqual(argv[argv.index("-m") + 1], str(self.support / "models" / "ggml-tiny-test.bin"))
                self.assertEqual(argv[argv.index("-l") + 1], language[:2] or "auto")
                self.assertTrue({"-oj", "-pp"} <= set(argv))
                with open(result["srt"].replace(".srt", ".json"), encoding="utf-8") as f:
                    doc = json.load(f)
                done = engine.events_for(job, "transcribe.state")[-1]["params"]
                # The program's last segment ends at 3 s; none ends after the sound does.
                self.assertEqual(doc["segments"], [
                    {"startMs": 0, "endMs": 1500, "text": 'Bonjour "tout" le monde'},
                    {"startMs": 1500, "endMs": min(3000, done["durationMs"]), "text": "second part"}])
                self.assertEqual((done["state"], done["model"], done["language"]), ("done", "tiny-test", expected))
                percents = [e["params"]["percent"] for e in engine.events_for(job, "transcribe.progress")]
                self.assertIn(32, percents)  # 25 % of the recognition's share, after decoding the sound
                self.assertEqual(percents, sorted(percents))
        hits = engine.result("search.query", {"text": "bonjour"})["hits"]
        self.assertEqual(sorted(h["language"] for h in hits), ["de", "fr"])

    def test_cancel_stops_the_program_and_leaves_no_transcript(self):
        self.install()
        engine = self.start(mode="hold")
        self.choose("tiny-test")
        media = self.spoken()
        rid = engine.send("transcribe.start", {"path": str(media), "jobId": "H1"})
        engine.wait_event(lambda e: e["event"] == "transcribe.progress" and e["params"]["percent"] >= 32,
                          timeout=WAIT)
        pid = self.runs()[-1]["pid"]
        self.assertTrue(os.path.exists(f"/proc/{pid}"))
        self.assertEqual(engine.result("transcribe.cancel", {"jobId": "H1"}), {"cancelled": True})
        self.assertEqual(engine.reply(rid, WAIT)["error"]["code"], 1001)
        self.assertEqual(engine.events_for("H1", "transcribe.state")[-1]["params"]["state"], "cancelled")
        self.assertFalse(os.path.exists(f"/proc/{pid}"))  # killed and reaped before the reply
        self.assertEqual(speech.transcript_files(media), [])

    def test_what_cannot_run_fails_clearly(self):
        media = self.spoken()
        engine = self.start(mode="fail")
        cases = [("tiny-test", "", None, 1003, "model-missing", "not installed"),
                 ("nosuch", "", None, 1003, "model-missing", "nosuch"),
                 ("tiny-test", "", "install", 1003, None, "failed to load model"),
                 ("base-test-en", "de", "install", 1003, "language", "'de'")]
        for i, (model, language, install, code, detail, words) in enumerate(cases):
            with self.subTest(model=model, language=language):
                if install:
                    self.install(model)
                self.choose(model, language)
                reply = engine.call("transcribe.start", {"path": str(media), "jobId": f"X{i}"}, timeout=WAIT)
                self.assertEqual((reply["error"]["code"], reply["error"].get("detail")), (code, detail))
                self.assertIn(words, reply["error"]["message"])
                self.assertEqual(speech.transcript_files(media), [])
        engine = self.start(cli=self.tmp / "missing" / "whisper-cli")
        reply = engine.call("transcribe.start", {"path": str(media), "jobId": "NOCLI"}, timeout=WAIT)
        self.assertEqual(reply["error"]["code"], 1002)
        self.assertIn("whisper-cli", reply["error"]["message"])


if __name__ == "__main__":
    unittest.main()
