#!/usr/bin/env python3
"""Vamber stand-in engine: one JSON request per line on stdin, replies and events on stdout."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from vamber_engine.engine import main  # noqa: E402

if __name__ == "__main__":
    sys.exit(main(sys.argv))
