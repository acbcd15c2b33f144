"""Validating params accessors: every failure names its key, never a crash."""
import unittest

from vamber_engine.errors import EngineError
from vamber_engine.params import Params

P = Params({"s": "x", "e": "", "b": True, "i": 3, "f": 2.0, "h": 2.5, "l": ["a", "b"], "m": ["a", 1],
            "o": {"k": "v"}, "n": None, "big": 10 ** 20})


class ParamsTest(unittest.TestCase):
    def test_good_values(self):
        cases = [
            (lambda: P.str("s"), "x"),
            (lambda: P.str("missing", "d"), "d"),
            (lambda: P.str("n", "d"), "d"),
            (lambda: P.bool("b"), True),
            (lambda: P.int("i"), 3),
            (lambda: P.int("f"), 2),
            (lambda: P.int("missing", 0, min=1), 0),
            (lambda: P.float("i"), 3.0),
            (lambda: P.str_list("l"), ["a", "b"]),
            (lambda: P.str_list("missing", []), []),
            (lambda: P.obj("o").str("k"), "v"),
            (lambda: P.choice("s", ["x", "y"]), "x"),
            (lambda: P.int("big"), 10 ** 20),
        ]
        for i, (get, expected) in enumerate(cases):
            with self.subTest(i):
                self.assertEqual(get(), expected)

    def test_bad_values_name_the_key(self):
        cases = [
            (lambda: P.str("missing"), "missing", "is missing"),
            (lambda: P.str("n"), "n", "not null"),
            (lambda: P.str("i"), "i", "string"),
            (lambda: P.str("e", allow_empty=False), "e", "empty"),
            (lambda: P.bool("s"), "s", "boolean"),
            (lambda: P.int("b"), "b", "integer"),
            (lambda: P.int("h"), "h", "integer"),
            (lambda: P.int("s"), "s", "integer"),
            (lambda: P.int("i", min=4), "i", "at least 4"),
            (lambda: P.int("i", max=2), "i", "at most 2"),
            (lambda: P.float("b"), "b", "number"),
            (lambda: P.str_list("m"), "m", "array of strings"),
            (lambda: P.str_list("s"), "s", "array of strings"),
            (lambda: P.obj("l"), "l", "object"),
            (lambda: P.obj("o").int("k"), "k", "integer"),
            (lambda: P.choice("s", ["y", "z"]), "s", '"y", "z"'),
        ]
        for get, key, text in cases:
            with self.subTest(key=key, text=text):
                with self.assertRaises(EngineError) as caught:
                    get()
                self.assertEqual(caught.exception.code, -32602)
                self.assertEqual(caught.exception.detail, key)
                self.assertIn(f"'{key}'", caught.exception.message)
                self.assertIn(text, caught.exception.message)


if __name__ == "__main__":
    unittest.main()
