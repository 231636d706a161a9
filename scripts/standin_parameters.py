"""Writes the stand-in's parameter list (standin/src/parameter_list.hpp) from Gurobi's own.

Run with gurobipy installed and its licence usable: every name of ``GRB.Param`` with its type,
default and range as ``Model.getParamInfo`` reports them. The list is sorted by name without
regard to case, the order the stand-in's lookup searches.
"""

from __future__ import annotations

import math
import pathlib
import sys

import gurobipy as gp
from gurobipy import GRB

TARGET = pathlib.Path(__file__).resolve().parent.parent / "standin" / "src" / "parameter_list.hpp"
TYPES = {int: "Int", float: "Double", str: "String"}


def number(value: float) -> str:
    if math.isinf(value):
        return "kInf" if value > 0 else "-kInf"
    return repr(value)


def entry(model: gp.Model, name: str) -> str:
    _, kind, _, low, high, default = model.getParamInfo(name)
    if kind is str:
        return f"X({name}, String, 0, 0, 0, {default!r})".replace("'", '"')
    return f'X({name}, {TYPES[kind]}, {number(default)}, {number(low)}, {number(high)}, "")'


def main() -> int:
    with gp.Env(params={"OutputFlag": 0}) as env, gp.Model(env=env) as model:
        names = sorted((n for n in dir(GRB.Param) if not n.startswith("_")), key=str.lower)
        rows = [entry(model, getattr(GRB.Param, n)) for n in names]
        version = ".".join(map(str, gp.gurobi.version()))
    width = max(map(len, rows)) + 1
    lines = [
        "// Gurobi's parameters, sorted by name without regard to case: name, type, default, minimum,",
        "// maximum (numbers), default (text). Written by scripts/standin_parameters.py from Gurobi " + version + ".",
        "#ifndef STANDIN_PARAMETER_LIST_HPP",
        "#define STANDIN_PARAMETER_LIST_HPP",
        "",
        "// clang-format off",
        "#define STANDIN_PARAMETERS(X)" + " " * (width - len("#define STANDIN_PARAMETERS(X)") + 2) + "\\",
        *(f"  {row:<{width}}\\" for row in rows[:-1]),
        f"  {rows[-1]}",
        "// clang-format on",
        "",
        "#endif",
    ]
    TARGET.write_text("\n".join(lines) + "\n")
    print(f"{len(rows)} parameters written to {TARGET}", file=sys.stderr)
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
