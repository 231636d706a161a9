"""The Gurobi stand-in library: the Gurobi C functions the module uses, solving with HiGHS.

Its directory can serve as ``GUROBI_HOME``: the library lies in its ``lib`` folder.
"""

from __future__ import annotations

from pathlib import Path

__all__ = ["home", "library_path", "LIBRARY_NAME"]

LIBRARY_NAME = "libgurobi_standin12.so"

_HOME = Path(__file__).resolve().parent


def home() -> str:
    """The directory to use as ``GUROBI_HOME``."""
    return str(_HOME)


def library_path() -> str:
    """The absolute path of the installed stand-in library."""
    path = _HOME / "lib" / LIBRARY_NAME
    if not path.is_file():
        raise FileNotFoundError(f"the stand-in library is not installed at {path}")
    return str(path)
