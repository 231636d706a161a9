"""The NumPy arrays of the buffer path type-check (checked only where NumPy is installed)."""

from __future__ import annotations

import numpy as np

from velkin_gurobi import Model


def with_arrays(model: Model) -> list[int]:
    first = model.add_variables(3, lbs=np.zeros(3), ubs=np.arange(3.0))
    model.add_constraint(np.array(first, dtype=np.int64), np.ones(3), np.float64(0.0), "<", np.float64(2.0))
    rows = model.add_constraints(
        [np.array([0, 1], dtype=np.uint64)], [np.array([1.0, 2.0])], np.zeros(1), ["<"], np.array([4.0])
    )
    rows += model.add_constraints(np.zeros((2, 3), dtype=np.int32), np.ones((2, 3)), [0.0, 0.0], ["<", ">"], [1.0, 0.0])
    model.set_objective(np.arange(3), np.ones(3), 0.0, np.int32(1))
    model.set_optimizer_attr("Silent", np.bool_(True))
    model.set_optimizer_attr("Threads", np.int32(1))
    model.set_optimizer_attr("MIPGap", np.float64(0.25))
    model.get_var_value(np.int64(0))
    return first + rows
