"""The library file itself and its Python package: exports, unloadability, finding HiGHS."""

from __future__ import annotations

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

from helpers import standin
from helpers.gurobi_functions import GUROBI_FUNCTIONS
from helpers.native import compile_library

from .capi import PROTOTYPES
from .subprocess_run import run_snippet

PACKAGE_DIR = Path(__file__).resolve().parents[2] / "python" / "velkin-gurobi-standin" / "velkin_gurobi_standin"


def _dynamic_symbols() -> list[list[str]]:
    if shutil.which("readelf") is None:
        pytest.skip("readelf is not installed")
    output = subprocess.run(
        ["readelf", "-Ws", "--dyn-syms", standin.library_path()], check=True, capture_output=True, text=True
    ).stdout
    return [line.split() for line in output.splitlines() if re.match(r"\s*\d+:", line)]


def test_no_unique_symbols():
    # glibc never unmaps a library that has them.
    assert [s for s in _dynamic_symbols() if "UNIQUE" in s] == []


def test_exports_exactly_the_gurobi_functions():
    defined = {s[7] for s in _dynamic_symbols() if len(s) >= 8 and s[6] != "UND" and s[4] in ("GLOBAL", "WEAK")}
    assert defined == set(GUROBI_FUNCTIONS) == set(PROTOTYPES)


def test_file_name_matches_the_modules_scan():
    name = Path(standin.library_path()).name
    assert name == "libgurobi_standin12.so"
    assert "gurobi" in name and re.search(r"\d", name) and name.endswith("so")
    assert "_light" not in name and name != "libgurobi1203.so"


@pytest.fixture
def site_packages(tmp_path) -> Path:
    """An installed layout: the package with its library, and highsbox beside it."""
    import highsbox

    site = tmp_path / "site-packages"
    package = site / "velkin_gurobi_standin"
    shutil.copytree(PACKAGE_DIR, package, ignore=shutil.ignore_patterns("__pycache__"))
    (package / "lib").mkdir()
    shutil.copy(standin.library_path(), package / "lib" / "libgurobi_standin12.so")
    (site / "highsbox").symlink_to(Path(highsbox.__file__).resolve().parent)
    return site


# A one-variable model solved; prints GRBoptimize's code.
SOLVE_ONE = """
env = ctypes.c_void_p()
lib.GRBloadenv(ctypes.byref(env), None)
lib.GRBsetintparam(env, b"OutputFlag", 0)
model = ctypes.c_void_p()
lib.GRBnewmodel(env, ctypes.byref(model), None, 1, doubles([1]), doubles([2]), None, None, None)
print(lib.GRBoptimize(model))
"""


def test_highs_is_found_beside_the_installed_library(site_packages):
    library = site_packages / "velkin_gurobi_standin" / "lib" / "libgurobi_standin12.so"
    result = run_snippet(
        SOLVE_ONE,
        STANDIN_UNDER_TEST=str(library),
        GRB_STANDIN_HIGHS="",
        LD_LIBRARY_PATH="",
    )
    assert result.returncode == 0, result.stderr
    assert result.stdout.decode().split() == ["0"]


def test_highs_keeps_to_its_own_functions_beside_another_global_build(tmp_path):
    # A Python package may load its own HiGHS build with RTLD_GLOBAL. Its functions must not
    # take HiGHS's calls to its own: here Highs_run's call of Highs::run, which would end the
    # process.
    other = compile_library(
        tmp_path, "libotherhighs.so", "#include <unistd.h>\nint _ZN5Highs3runEv(void* highs) { (void)highs; _exit(97); }\n"
    )
    result = run_snippet(f"ctypes.CDLL({other!r}, os.RTLD_GLOBAL)\n" + SOLVE_ONE)
    assert (result.returncode, result.stdout.decode().split()) == (0, ["0"]), result.stderr


def test_package_entry_points(site_packages):
    env = {**os.environ, "PYTHONPATH": str(site_packages)}
    home = site_packages / "velkin_gurobi_standin"

    def run(*args: str) -> str:
        return subprocess.run(
            [sys.executable, "-m", "velkin_gurobi_standin", *args], env=env, check=True, capture_output=True, text=True
        ).stdout.strip()

    assert run() == str(home)
    assert run("--library") == str(home / "lib" / "libgurobi_standin12.so")
    (home / "lib" / "libgurobi_standin12.so").unlink()
    result = subprocess.run(
        [sys.executable, "-m", "velkin_gurobi_standin", "--library"], env=env, capture_output=True, text=True
    )
    assert result.returncode == 1 and "not installed" in result.stderr
