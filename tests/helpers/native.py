"""Shared libraries compiled by tests that need a library of a particular shape."""

from __future__ import annotations

import os
import shutil
import subprocess

import pytest


def compile_library(tmp_path, name: str, source: str) -> str:
    """Compiles a shared library from C source. The sanitizer runtime is kept
    out of the compiler's processes."""
    cc = shutil.which(os.environ.get("CC", "cc")) or shutil.which("gcc")
    if cc is None:
        pytest.skip("no C compiler")
    src = tmp_path / (name + ".c")
    src.write_text(source)
    out = tmp_path / name
    env = {k: v for k, v in os.environ.items() if k not in ("LD_PRELOAD", "PYTHONMALLOC")}
    subprocess.run([cc, "-shared", "-fPIC", "-o", str(out), str(src)], check=True, env=env)
    return str(out)
