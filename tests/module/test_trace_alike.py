"""With --gurobi: the same calls leave the same trace on the stand-in and on Gurobi, where
Gurobi answers alike (the forwarding library and the stand-in write it with the same code)."""

import pytest

from helpers import gurobi

# Written by the stand-in alone: what it handed HiGHS.
STANDIN_ONLY = {"handed", "iterations"}


def traced_solve(library, trace):
    import velkin_gurobi

    trace.clear()
    model = velkin_gurobi.Model(dll_path=library)
    model.set_optimizer_attr("Silent", True)
    xs = model.add_variables(2, names=["x", "y"], ubs=[4.0, 4.0])
    model.add_constraint(xs, [1.0, 2.0], 0.0, "<", 6.0)
    model.set_objective(xs, [1.0, 1.0], 0.0, 1)
    assert model.optimize() == 1
    values = [model.get_objective_value(), *(model.get_var_value(x) for x in xs)]
    del model
    ids = {}
    return values, [normalised(call, ids) for call in trace.calls()]


def normalised(call, ids):
    """The call without stand-in-only keys, its handle ids counted from the trace's first."""
    call = {key: value for key, value in call.items() if key not in STANDIN_ONLY}
    for key in ("env", "model"):
        if call.get(key) is not None:
            call[key] -= ids.setdefault(key, call[key]) - 1
    return call


def test_same_trace_on_both_libraries(on_gurobi, standin, trace):
    if not on_gurobi:
        pytest.skip("compares the stand-in's trace with Gurobi's: --gurobi only")
    on_standin = traced_solve(gurobi.standin_library(), trace)
    assert traced_solve(standin, trace) == on_standin == ([5.0, 4.0, 1.0], on_standin[1])
