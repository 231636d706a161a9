"""Typed use of every Model method, checked by mypy --strict and also run against the stand-in."""

from __future__ import annotations

import array
import sys
from typing import TYPE_CHECKING

import velkin_gurobi_standin
from velkin_gurobi import Model

if TYPE_CHECKING:
    from typing_extensions import assert_type
else:

    def assert_type(value, _type):
        return value


def build(model: Model) -> list[int]:
    x = assert_type(model.add_variable(), int)
    y = model.add_variable("y", "I", 0, 10.5)
    z = model.add_variable(name="z", vtype="B", lb=0.0, ub=1)
    more = assert_type(model.add_variables(3), list[int])
    model.add_variables(2, names=["a", "b"], vtypes=("C", "C"), lbs=range(2), ubs=array.array("d", [5.0, 6.0]))
    model.add_variables(n=1, names=None, vtypes=None, lbs=memoryview(array.array("d", [0.5])), ubs=(True,))

    first = assert_type(model.add_constraint([x, y], [1.0, 2], 0.0, "<", 14.0), int)
    model.add_constraint((x, z), (3, 1.5), -1, ">", 0, name="low")
    model.add_constraint(array.array("q", [x, z]), array.array("d", [1.0, 1.0]), 0.0, "<", 1.0)
    model.add_constraint(vars=range(3), coeffs=[1.0] * 3, constant=0.0, sense="<", rhs=100.0, name=None)
    rows = assert_type(
        model.add_constraints(
            [[x, y], (z,), array.array("Q", [x])],
            [[1.0, 1.0], array.array("d", [2.0]), (1,)],
            [0.0, 0.0, 0.0],
            ["<", ">", "="],
            (10.0, 0, 0.5),
            names=["r0", "r1", "r2"],
        ),
        list[int],
    )
    model.add_constraints(fs_vars=[], fs_coeffs=[], fs_consts=[], senses=[], rhss=[])

    assert_type(model.set_objective([x, y, z], [3.0, 4.0, 1.0], 0.0, 1), None)
    model.set_objective(vars=more, coeffs=array.array("d", [1.0] * 3), constant=2, sense=False)
    model.set_objective([x, y], [3.0, 4.0], 0.0, sense=1)
    return [first, *rows]


def solve(model: Model) -> tuple[int, float | None, float | None]:
    model.set_optimizer_attr("Silent", True)
    model.set_optimizer_attr("TimeLimit", 10)
    model.set_optimizer_attr("TimeLimit", 10.0)
    model.set_optimizer_attr("MIPGap", 1e-6)
    model.set_optimizer_attr(attr="LogFile", value="")
    assert_type(model.update(), None)
    status = assert_type(model.optimize(), int)
    objective = assert_type(model.get_objective_value(), "float | None")
    value = assert_type(model.get_var_value(var_id=0), "float | None")
    return status, objective, value


def main() -> int:
    model = Model("typed", velkin_gurobi_standin.library_path())
    Model(name=None, dll_path=velkin_gurobi_standin.library_path())
    build(model)
    status, objective, value = solve(model)
    print(status, objective, value)
    return 0


if __name__ == "__main__":
    sys.exit(main())
