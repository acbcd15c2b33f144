"""The support folder: its lock, atomic writes and unreadable files."""
import glob
import io
import os
import signal
import tempfile
import unittest
from contextlib import redirect_stderr
from unittest import mock

from tests.harness import EngineTestCase
from vamber_engine import support
from vamber_engine.support import SupportBusy, SupportDir, atomic_write_json, read_json_file


class LockTest(EngineTestCase):
    def test_second_engine_on_the_same_folder_exits_with_status_2(self):
        first = self.start()
        second = self.start(wait_ready=False)
        self.assertEqual(second.wait_exit(), 2)
        self.assertIsNone(second.next_message())  # it wrote nothing on stdout
        self.assertIn(b"support folder", second.stderr)
        self.assertIn("engineVersion", first.result("hello"))  # the first is untouched

    def test_lock_is_released_when_the_holder_dies(self):
        first = self.start()
        first.proc.send_signal(signal.SIGKILL)
        first.wait_exit()
        again = self.start()
        self.assertIn("engineVersion", again.result("hello"))

    def test_default_folder_follows_xdg_data_home(self):
        cases = [
            ({"VAMBER_SUPPORT_DIR": "/x/y"}, "/x/y"),
            ({"VAMBER_SUPPORT_DIR": "", "XDG_DATA_HOME": "/data"}, "/data/vamber"),
            ({"VAMBER_SUPPORT_DIR": "", "XDG_DATA_HOME": "", "HOME": "/home/u"}, "/home/u/.local/share/vamber"),
            ({"VAMBER_SUPPORT_DIR": "", "XDG_DATA_HOME": "relative", "HOME": "/home/u"},
             "/home/u/.local/share/vamber"),
        ]
        for env, expected in cases:
            with self.subTest(env=env), mock.patch.dict(os.environ, env):
                self.assertEqual(support.default_support_dir(), expected)

    def test_in_process_lock_refuses_a_second_holder(self):
        a, b = SupportDir(self.support), SupportDir(self.support)
        a.acquire()
        with self.assertRaises(SupportBusy):
            b.acquire()
        a.release()
        b.acquire()
        b.release()


class FileTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.path = os.path.join(self.tmp.name, "state.json")

    def tearDown(self):
        self.tmp.cleanup()

    def test_atomic_write_replaces_whole_file_and_leaves_no_temporaries(self):
        atomic_write_json(self.path, {"a": 1})
        atomic_write_json(self.path, {"b": "é"})
        self.assertEqual(read_json_file(self.path, None), {"b": "é"})
        self.assertEqual(os.listdir(self.tmp.name), ["state.json"])

    def test_failed_write_keeps_the_old_content(self):
        atomic_write_json(self.path, {"a": 1})
        for bad in ({"x": float("nan")}, {"x": object()}):
            with self.subTest(bad=bad), self.assertRaises((ValueError, TypeError)):
                atomic_write_json(self.path, bad)
        with mock.patch("os.replace", side_effect=OSError("disk full")), self.assertRaises(OSError):
            atomic_write_json(self.path, {"a": 2})
        self.assertEqual(read_json_file(self.path, None), {"a": 1})
        self.assertEqual(os.listdir(self.tmp.name), ["state.json"])

    def test_unreadable_file_is_moved_aside_and_reported(self):
        cases = [
            ("not json", b"{oops", None),
            ("truncated", b'{"a": [1, 2', None),
            ("nan", b'{"a": NaN}', None),
            ("not utf-8", b'{"a": "\xff"}', None),
            ("wrong shape", b"[1, 2]", lambda v: isinstance(v, dict)),
        ]
        for label, data, validate in cases:
            with self.subTest(label):
                for old in glob.glob(self.path + "*"):
                    os.unlink(old)
                with open(self.path, "wb") as f:
                    f.write(data)
                err = io.StringIO()
                with redirect_stderr(err):
                    value = read_json_file(self.path, {"default": True}, validate)
                self.assertEqual(value, {"default": True})
                self.assertFalse(os.path.exists(self.path))
                aside = glob.glob(self.path + ".corrupt-*")
                self.assertEqual(len(aside), 1)
                with open(aside[0], "rb") as f:
                    self.assertEqual(f.read(), data)  # kept byte for byte
                self.assertIn("state.json", err.getvalue())

    def test_missing_file_gives_the_default_silently(self):
        err = io.StringIO()
        with redirect_stderr(err):
            self.assertEqual(read_json_file(self.path, []), [])
        self.assertEqual(err.getvalue(), "")

    def test_two_corrupt_files_in_one_second_both_survive(self):
        for data in (b"{1", b"{2"):
            with open(self.path, "wb") as f:
                f.write(data)
            with redirect_stderr(io.StringIO()):
                read_json_file(self.path, None)
        self.assertEqual(len(glob.glob(self.path + ".corrupt-*")), 2)


if __name__ == "__main__":
    unittest.main()
