"""Test support for the Gurobi stand-in library: where it is, its call trace, and the
GRB_STANDIN_* variables that switch on tracing, fault injection and scripted solves."""

from __future__ import annotations

import contextlib
import json
import os
from collections.abc import Iterator, Sequence
from pathlib import Path

LIBRARY_VARIABLE = "VELKIN_STANDIN_LIBRARY"

TRACE = "GRB_STANDIN_TRACE"
FAIL = "GRB_STANDIN_FAIL"
HIGHS = "GRB_STANDIN_HIGHS"
SCRIPT_STATUS = "GRB_STANDIN_SCRIPT_STATUS"
SCRIPT_X = "GRB_STANDIN_SCRIPT_X"
SCRIPT_OBJVAL = "GRB_STANDIN_SCRIPT_OBJVAL"
LIVE = "GRB_STANDIN_LIVE"
ALL_VARIABLES = (TRACE, FAIL, HIGHS, SCRIPT_STATUS, SCRIPT_X, SCRIPT_OBJVAL)


def library_path() -> str:
    """The stand-in library to test: $VELKIN_STANDIN_LIBRARY (a development build) if set,
    otherwise the installed one."""
    override = os.environ.get(LIBRARY_VARIABLE)
    if override:
        return str(Path(override).resolve())
    import velkin_gurobi_standin

    return velkin_gurobi_standin.library_path()


def highs_library_path() -> str:
    """HiGHS's library from the highsbox package, for GRB_STANDIN_HIGHS."""
    import highsbox

    return str(Path(highsbox.highs_lib_dir()) / "libhighs.so")


def read_trace(path: str | os.PathLike[str]) -> list[dict]:
    """The trace file's lines as dicts (an absent file is an empty trace)."""
    path = Path(path)
    if not path.exists():
        return []
    with path.open(encoding="utf-8") as lines:
        return [json.loads(line) for line in lines if line.strip()]


def _render(value: object) -> str:
    if isinstance(value, (list, tuple)):
        return ",".join(_render(item) for item in value)
    if isinstance(value, dict):
        return ",".join(f"{name}={code}" for name, code in value.items())
    if isinstance(value, float):
        return repr(value)
    return str(value)


@contextlib.contextmanager
def standin_environment(
    *,
    trace: str | os.PathLike[str] | None = None,
    fail: dict[str, int | str] | str | None = None,
    script_status: int | None = None,
    script_x: Sequence[float] | None = None,
    script_objval: float | None = None,
    highs: str | None = None,
) -> Iterator[None]:
    """Sets the given GRB_STANDIN_* variables and clears the others for the duration;
    restores every one of them afterwards. ``fail`` maps function names to codes
    (or "null" for GRBgetenv). ``highs`` keeps the current GRB_STANDIN_HIGHS when None."""
    wanted = {
        TRACE: None if trace is None else os.fspath(trace),
        FAIL: None if fail is None else _render(fail),
        SCRIPT_STATUS: None if script_status is None else str(script_status),
        SCRIPT_X: None if script_x is None else _render(list(script_x)),
        SCRIPT_OBJVAL: None if script_objval is None else repr(float(script_objval)),
        HIGHS: os.environ.get(HIGHS) if highs is None else highs,
    }
    saved = {name: os.environ.get(name) for name in ALL_VARIABLES}
    try:
        for name, value in wanted.items():
            if value is None:
                os.environ.pop(name, None)
            else:
                os.environ[name] = value
        yield
    finally:
        for name, value in saved.items():
            if value is None:
                os.environ.pop(name, None)
            else:
                os.environ[name] = value
