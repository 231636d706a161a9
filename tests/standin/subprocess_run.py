"""Runs a Python snippet in a fresh process that loads the stand-in with ctypes."""

from __future__ import annotations

import os
import subprocess
import sys
import textwrap
from pathlib import Path

from helpers import standin

TESTS_DIR = Path(__file__).resolve().parent.parent

PRELUDE = """
import ctypes, os, sys
from standin.capi import CApi, doubles, ints, names
lib = CApi(os.environ["STANDIN_UNDER_TEST"])
"""


def run_snippet(code: str, timeout: float = 120, **variables: str) -> subprocess.CompletedProcess:
    env = {k: v for k, v in os.environ.items() if not k.startswith("GRB_STANDIN_")}
    env["PYTHONPATH"] = os.pathsep.join([str(TESTS_DIR), env.get("PYTHONPATH", "")])
    env["STANDIN_UNDER_TEST"] = standin.library_path()
    env[standin.HIGHS] = standin.highs_library_path()
    env.update(variables)
    return subprocess.run(
        [sys.executable, "-c", PRELUDE + textwrap.dedent(code)],
        env=env,
        capture_output=True,
        timeout=timeout,
    )
