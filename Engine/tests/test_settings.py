"""Settings: defaults, validation, the cookie source, and persistence across restarts."""
import glob
import json
import os

from tests.harness import EngineTestCase

RECORD = {
    "outputDir": str, "outputDirIsDefault": bool, "quality": str, "container": str, "audioOnly": bool,
    "saveThumbnail": bool, "embedCover": bool, "videoCodec": str, "cookieSource": str, "cookiesFile": str,
    "speedMode": str, "language": str, "transcriptionEnabled": bool, "transcriptionModel": str,
    "transcriptDir": str, "transcriptionLanguage": str, "transcribeOverSubtitles": bool, "appearance": str,
    "forceGeneric": bool, "downloadOptionsExpanded": bool, "askWhereToSave": bool, "searchEngine": str,
    "searchURL": str, "searchEngines": list, "speedModes": list, "languages": list, "appearances": list,
}


class SettingsTest(EngineTestCase):
    def check_record(self, record):
        self.assertEqual(set(record), set(RECORD))
        for key, kind in RECORD.items():
            self.assertIsInstance(record[key], kind, key)
        self.assertIn(record["speedMode"], record["speedModes"])
        self.assertIn(record["language"], record["languages"])
        self.assertIn(record["appearance"], record["appearances"])
        self.assertIn(record["searchEngine"], record["searchEngines"])

    def test_defaults(self):
        e = self.start(extra_env={"LANG": "C.UTF-8", "LC_ALL": "", "LC_MESSAGES": ""})
        s = e.result("settings.get")
        self.check_record(s)
        self.assertEqual(s["outputDir"], os.path.join(self.home, "Downloads"))
        self.assertTrue(s["outputDirIsDefault"])
        self.assertEqual((s["quality"], s["container"], s["videoCodec"]), ("1080p", "MP4", "Auto"))
        self.assertEqual((s["cookieSource"], s["cookiesFile"]), ("None", ""))
        self.assertEqual(s["appearances"], ["auto", "light", "dark"])
        self.assertEqual(s["language"], "en")
        self.assertTrue(s["searchURL"].startswith("https://"))

    def test_default_folder_and_language_follow_the_desktop(self):
        os.makedirs(os.path.join(self.home, ".config"))
        with open(os.path.join(self.home, ".config", "user-dirs.dirs"), "w") as f:
            f.write('# written by xdg-user-dirs-update\nXDG_DOWNLOAD_DIR="$HOME/Téléchargements"\n')
        e = self.start(extra_env={"LANG": "fr_FR.UTF-8", "LC_ALL": "", "LC_MESSAGES": ""})
        s = e.result("settings.get")
        self.assertEqual(s["outputDir"], os.path.join(self.home, "Téléchargements"))
        self.assertEqual(s["language"], "fr")

    def test_changes_survive_a_restart(self):
        e = self.start()
        folder = os.path.join(self.tmp, "out")
        values = {"quality": "4K", "container": "MKV", "videoCodec": "VP9", "audioOnly": True,
                  "saveThumbnail": True, "embedCover": True}
        s = e.result("settings.set", {"values": values})
        for key, value in values.items():
            self.assertEqual(s[key], value, key)
        for key, value in [("outputDir", folder), ("appearance", "dark"), ("language", "fr"),
                           ("transcriptDir", ""), ("transcriptionModel", "base"), ("speedMode", "gentle"),
                           ("searchEngine", "Google"), ("askWhereToSave", True), ("forceGeneric", True)]:
            s = e.result("settings.set", {"values": {key: value}})
            self.assertEqual(s[key], value, key)
        self.assertFalse(s["outputDirIsDefault"])
        self.assertEqual(s["searchURL"], "https://www.google.com/search?q=")
        e.result("shutdown")
        e.wait_exit()
        again = self.start().result("settings.get")
        self.assertEqual(again, s)

    def test_bad_values_name_the_key_and_change_nothing(self):
        e = self.start()
        before = e.result("settings.get")
        cases = [
            ({"nope": "x"}, "values.nope"),
            ({"quality": 1080}, "values.quality"),
            ({"quality": "1080"}, "values.quality"),
            ({"audioOnly": "true"}, "values.audioOnly"),
            ({"outputDir": "relative/dir"}, "values.outputDir"),
            ({"appearance": "system"}, "values.appearance"),
            ({"cookieSource": "Firefox"}, "values.cookieSource"),
            ({"searchURL": "https://x/?q="}, "values.searchURL"),
            ({"outputDirIsDefault": False}, "values.outputDirIsDefault"),
            ({"quality": "720p", "container": None}, "values.container"),
            ({}, "values"),
        ]
        for values, key in cases:
            with self.subTest(values=values):
                err = e.call("settings.set", {"values": values})["error"]
                self.assertEqual(err["code"], -32602)
                self.assertEqual(err["detail"], key)
                self.assertIn(f"'{key}'", err["message"])
        self.assertEqual(e.call("settings.set", {"values": "x"})["error"]["detail"], "values")
        self.assertEqual(e.call("settings.set")["error"]["detail"], "values")
        self.assertEqual(e.result("settings.get"), before)

    def test_output_folder_reset_with_empty_text(self):
        e = self.start()
        default = e.result("settings.get")["outputDir"]
        e.result("settings.set", {"values": {"outputDir": "/tmp/elsewhere"}})
        s = e.result("settings.set", {"values": {"outputDir": ""}})
        self.assertEqual((s["outputDir"], s["outputDirIsDefault"]), (default, True))

    def test_cookie_source(self):
        e = self.start()
        s = e.result("settings.setCookieSource", {"browser": "Built-in Browser", "file": ""})
        self.assertEqual((s["cookieSource"], s["cookiesFile"]), ("Built-in Browser", ""))
        s = e.result("settings.setCookieSource", {"browser": "None", "file": "/tmp/cookies.txt"})
        self.assertEqual((s["cookieSource"], s["cookiesFile"]), ("None", "/tmp/cookies.txt"))
        for params, key in [({"browser": "Chrome", "file": ""}, "browser"), ({"file": ""}, "browser"),
                            ({"browser": "None", "file": "rel.txt"}, "file")]:
            with self.subTest(params=params):
                self.assertEqual(e.call("settings.setCookieSource", params)["error"]["detail"], key)
        self.assertEqual(e.result("settings.get")["cookiesFile"], "/tmp/cookies.txt")

    def test_unreadable_settings_file_is_kept_aside_and_defaults_apply(self):
        os.makedirs(self.support)
        path = os.path.join(self.support, "settings.json")
        with open(path, "w") as f:
            f.write('{"quality": "4K", ')
        e = self.start()
        self.assertEqual(e.result("settings.get")["quality"], "1080p")
        self.assertEqual(len(glob.glob(path + ".corrupt-*")), 1)
        e.result("settings.set", {"values": {"quality": "720p"}})
        with open(path) as f:
            self.assertEqual(json.load(f)["quality"], "720p")

    def test_stored_values_that_no_longer_fit_fall_back_one_by_one(self):
        os.makedirs(self.support)
        with open(os.path.join(self.support, "settings.json"), "w") as f:
            json.dump({"quality": "16K", "container": "MKV", "gone": 1, "audioOnly": "yes"}, f)
        s = self.start().result("settings.get")
        self.assertEqual((s["quality"], s["container"], s["audioOnly"]), ("1080p", "MKV", False))
