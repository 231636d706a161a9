"""The Gurobi functions the module looks up, in resolution order, read from
the backend's function table (the KESTO_GUROBI_FUNCTIONS X-macro)."""

from __future__ import annotations

import re
from pathlib import Path

API_HEADER = (
    Path(__file__).resolve().parents[2] / "crates/kesto-solver-gurobi/include/kesto_solver_gurobi/dynamic/api.hpp"
)


def _table() -> list[str]:
    text = API_HEADER.read_text()
    macro = re.search(r"#define KESTO_GUROBI_FUNCTIONS\(X\)((?:.*\\\n)*.*)", text)
    assert macro is not None, f"no KESTO_GUROBI_FUNCTIONS in {API_HEADER}"
    return re.findall(r"X\((\w+)\)", macro.group(1))


GUROBI_FUNCTIONS: list[str] = _table()
