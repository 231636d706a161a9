"""Calls the stubs must refuse: mypy --strict (warn_unused_ignores) reports any ignore that is not needed."""

from __future__ import annotations

from velkin_gurobi import Model


class Sub(Model):  # type: ignore[misc]
    pass


def misuse(model: Model) -> None:
    model.add_variable(name=b"x")  # type: ignore[arg-type]
    model.add_variable(lb="1")  # type: ignore[arg-type]
    model.add_variable(bogus=1)  # type: ignore[call-arg]
    model.add_variables(2.0)  # type: ignore[arg-type]
    model.add_variables(2, lbs=[1.0, "2"])  # type: ignore[list-item]
    model.add_variables(2, lbs={1.0, 2.0})  # type: ignore[arg-type]
    model.add_constraint([1.0], [1.0], 0.0, "<", 1.0)  # type: ignore[list-item]
    model.add_constraint([0], [1.0], None, "<", 1.0)  # type: ignore[arg-type]
    model.add_constraint([0], [1.0], 0.0, 60, 1.0)  # type: ignore[arg-type]
    model.add_constraints([[0]], [[1.0]], [0.0], ["<"])  # type: ignore[call-arg]
    model.set_objective([0], [1.0], 0.0, 1.0)  # type: ignore[arg-type]
    model.get_var_value("0")  # type: ignore[arg-type]
    model.set_optimizer_attr(1, 1)  # type: ignore[arg-type]
    model.set_optimizer_attr("Silent", None)  # type: ignore[arg-type]
    model.set_optimizer_attr("Silent", [1.0])  # type: ignore[arg-type]
    model.optimize(1)  # type: ignore[call-arg]
    Model(b"name")  # type: ignore[arg-type]
    Model(dll_path=None, path="x")  # type: ignore[call-arg]


def unchecked_results(model: Model) -> float:
    return model.get_var_value(0) + 1.0  # type: ignore[operator]


def self_is_positional_only(model: Model) -> None:
    Model.optimize(self=model)  # type: ignore[call-arg]
