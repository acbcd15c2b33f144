"""The text tables against the list of keys the application uses, and "i18n.table"."""
import ast
import json
import os
import re
import unittest

from tests.harness import EngineTestCase

ENGINE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TEXTS = os.path.join(ENGINE, "texts")
# Prefixes of the text keys the engine's own code sends (job.log keys and the like).
ENGINE_KEY_PREFIXES = ("log_", "msg_", "status_", "notify_", "v2_")
BUILT_IN = ["v2_engine_retry", "v2_engine_python_not_found", "v2_engine_server_not_found", "v2_engine_not_running",
            "v2_engine_support_busy", "v2_engine_other_copy", "v2_engine_stopped"]
LANGUAGES = ["en", "fr", "de", "es", "nl"]


def load(language):
    with open(os.path.join(TEXTS, f"{language}.json"), encoding="utf-8") as f:
        return json.load(f)


def keys():
    with open(os.path.join(TEXTS, "keys.txt"), encoding="utf-8") as f:
        return [line.strip() for line in f if line.strip() and not line.startswith("#")]


def placeholders(text):
    return sorted(set(re.findall(r"\{([A-Za-z_]+)(?::[^}]*)?\}", text)))


class TableFilesTest(unittest.TestCase):
    def test_key_list_is_clean(self):
        listed = keys()
        self.assertEqual(len(listed), len(set(listed)), "duplicate keys")
        for key in listed:
            self.assertRegex(key, r"^[a-z][a-z0-9]*(_[a-z0-9]+)+$")

    def test_english_and_french_are_complete_and_match_the_list(self):
        listed = set(keys())
        for language in ("en", "fr"):
            with self.subTest(language=language):
                table = load(language)
                self.assertEqual(sorted(listed - set(table)), [], "missing")
                self.assertEqual(sorted(set(table) - listed), [], "not in keys.txt")
                for key, text in table.items():
                    self.assertIsInstance(text, str, key)
                    self.assertTrue(text.strip(), key)

    def test_placeholders_agree_between_languages(self):
        en = load("en")
        for language in ("fr", "de", "es", "nl"):
            for key, text in load(language).items():
                with self.subTest(language=language, key=key):
                    self.assertIn(key, en)
                    self.assertEqual(placeholders(text), placeholders(en[key]))

    def test_every_language_carries_the_built_in_texts_in_its_own_words(self):
        en = load("en")
        for language in LANGUAGES:
            table = load(language)
            for key in BUILT_IN:
                with self.subTest(language=language, key=key):
                    self.assertIn(key, table)
                    if language != "en":
                        self.assertNotEqual(table[key], en[key])

    def test_keys_named_in_the_engine_code_have_texts(self):
        en = load("en")
        missing = []
        for root, _, files in os.walk(os.path.join(ENGINE, "vamber_engine")):
            for name in files:
                if not name.endswith(".py"):
                    continue
                path = os.path.join(root, name)
                with open(path, encoding="utf-8") as f:
                    tree = ast.parse(f.read())
                for node in ast.walk(tree):
                    if (isinstance(node, ast.Constant) and isinstance(node.value, str)
                            and re.fullmatch(r"[a-z0-9]+(_[a-z0-9]+)+", node.value)
                            and node.value.startswith(ENGINE_KEY_PREFIXES) and node.value not in en):
                        missing.append(f"{os.path.relpath(path, ENGINE)}: {node.value}")
        self.assertEqual(missing, [], "add these keys to texts/keys.txt, en.json and fr.json")

    def test_keys_built_from_engine_values_exist(self):
        from vamber_engine import constants as C

        en = load("en")
        wanted = [f"speed_{mode}" for mode in C.SPEED_MODES]
        wanted += ["appearance_" + ("system" if value == "auto" else value) for value in C.APPEARANCES]
        catalogue = os.path.join(ENGINE, "models.json")
        if os.path.exists(catalogue):
            with open(catalogue, encoding="utf-8") as f:
                wanted += ["transcription_model_" + m["key"].replace("-", "_") for m in json.load(f)["models"]]
        self.assertEqual([key for key in wanted if key not in en], [])

    def test_counts_read_right_for_one(self):
        # Keys whose text shows a count with a plural word carry a "_one" variant in English and French,
        # and every variant belongs to a key.
        counted = ["label_index_transcriptions", "queue_part_done", "msg_clear_queue", "msg_remove_selected",
                   "msg_remove_thumbnails_selected", "notify_queue_done_body", "label_selected_count",
                   "label_section_selected", "dialog_playlist_found", "dialog_section_loaded",
                   "dialog_section_complete", "log_batch_subreddit_expanded"]
        for language in ("en", "fr"):
            table = load(language)
            for key in counted:
                with self.subTest(language=language, key=key):
                    self.assertIn(key + "_one", table)
                    self.assertRegex(table[key], r"\{(n|count)\}")
            for key in table:
                if key.endswith("_one"):
                    base = key[: -len("_one")]
                    with self.subTest(language=language, variant=key):
                        # "label_group_item_one" goes with "label_group_items".
                        self.assertTrue(base in table or base + "s" in table, key)
        fr = load("fr")
        self.assertEqual(fr["queue_part_done_one"].replace("{n}", "1"), "1 terminé")
        self.assertEqual(load("en")["label_index_transcriptions_one"].replace("{n}", "1"),
                         "1 transcription indexed")

    def test_a_translation_without_its_one_variant_keeps_its_own_text(self):
        from vamber_engine import texts

        saved = dict(texts._cache)
        try:
            texts._cache["xx"] = {"queue_part_done": "{n} fertig"}
            merged = texts.table("xx")
            self.assertEqual(merged["queue_part_done_one"], "{n} fertig")
            self.assertEqual(merged["msg_clear_queue_one"], load("en")["msg_clear_queue_one"])
            self.assertEqual(texts.table("en")["queue_part_done_one"], "{n} done")
        finally:
            texts._cache.clear()
            texts._cache.update(saved)

    def test_known_placeholders(self):
        en = load("en")
        cases = {"log_batch_listing_truncated": ["name", "shown", "total"], "notify_queue_done_body": ["count"],
                 "v2_engine_python_not_found": ["paths"], "v2_status_converting_mp4": ["percent"],
                 "status_model_failed": ["reason"], "msg_clear_queue": ["count"], "label_saved_in": ["folder"],
                 "transcribe_using": ["language", "model"], "menu_quit": ["app"]}
        for key, names in cases.items():
            with self.subTest(key=key):
                self.assertEqual(placeholders(en[key]), names)


class I18nMethodTest(EngineTestCase):
    def test_table_for_each_language_falls_back_to_english_key_by_key(self):
        e = self.start()
        en = e.result("i18n.table", {"language": "en"})
        self.assertEqual(set(en["strings"]), set(keys()))
        for language in LANGUAGES:
            with self.subTest(language=language):
                t = e.result("i18n.table", {"language": language})
                self.assertEqual(t["language"], language)
                self.assertEqual(t["default"], "en")
                self.assertEqual(t["languages"], LANGUAGES)
                self.assertEqual(set(t["strings"]), set(en["strings"]))
                own = load(language)
                for key, text in t["strings"].items():
                    self.assertEqual(text, own.get(key, en["strings"][key]), key)

    def test_without_params_the_settings_language_is_used(self):
        e = self.start(extra_env={"LANG": "C", "LC_ALL": "", "LC_MESSAGES": ""})
        self.assertEqual(e.result("i18n.table")["language"], "en")
        e.result("settings.set", {"values": {"language": "fr"}})
        t = e.result("i18n.table")
        self.assertEqual(t["language"], "fr")
        self.assertEqual(t["strings"]["v2_engine_retry"], "Réessayer")

    def test_unknown_language_is_refused(self):
        e = self.start()
        for params in ({"language": "pt"}, {"language": 3}, {"language": "FR"}):
            self.assertEqual(e.call("i18n.table", params)["error"]["detail"], "language")


if __name__ == "__main__":
    unittest.main()
