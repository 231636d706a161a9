"""Re-solves hand HiGHS only what changed and give the answers of a fresh solve."""

from __future__ import annotations

import random

import pytest

from helpers.standin import read_trace

from .capi import OPTIMAL, doubles, ints

N = 20  # columns of the model before the first round


def build(lib, env, vtype):
    """max c.x  s.t.  A x <= b, 0 <= x <= 10, with positive data: an LP of 200 rows and 400
    columns, or a small MIP; returns the model."""
    rng = random.Random(3)
    n, m = (400, 200) if vtype == b"C" else (N, 10)
    model = lib.newmodel(env, n, obj=[rng.uniform(1, 9) for _ in range(n)], ub=[10.0] * n, vtype=vtype * n)
    lib.GRBsetintattr(model, b"ModelSense", -1)
    for _ in range(m):
        lib.addconstr(model, {j: rng.uniform(1, 9) for j in range(n) if rng.random() < 0.3}, b"<", 100.0)
    return model


def add_cut(lib, model):
    return lib.addconstr(model, {j: 1.0 for j in range(0, N, 2)}, b"<", 7.0)


def change_objective(lib, model):
    return lib.GRBsetdblattrarray(model, b"Obj", 0, 3, doubles([9.5, 0.5, 1.0]))


def add_column_and_row(lib, model):
    assert lib.GRBaddvar(model, 2, ints([0, 1]), doubles([1.0, 2.0]), 15.0, 0.0, 4.0, b"C", None) == 0
    return lib.addconstr(model, {N: 1.0, 3: 1.0}, b"<", 5.0)


def change_bounds_and_sense(lib, model):
    assert lib.GRBsetdblattrarray(model, b"UB", 5, 2, doubles([0.5, 2.5])) == 0
    assert lib.GRBsetdblattr(model, b"ObjCon", 4.0) == 0
    return lib.GRBsetintattr(model, b"ModelSense", 1)


def change_parameter(lib, model):
    return lib.GRBsetdblparam(lib.GRBgetenv(model), b"FeasibilityTol", 1e-7)


def nothing(lib, model):
    return 0


CHANGES = [add_cut, change_objective, add_column_and_row, change_bounds_and_sense, change_parameter, nothing]


@pytest.mark.parametrize("vtype", [b"C", b"I"], ids=["lp", "mip"])
def test_rounds_hand_over_changes_and_agree_with_fresh_solves(lib, env, trace_path, vtype):
    warm, fresh = build(lib, env, vtype), None
    lib.solve(warm)
    rounds = []
    for change in CHANGES:
        fresh = build(lib, env, vtype)
        for model in (warm, fresh):
            assert change(lib, model) == 0
        for earlier in CHANGES[: CHANGES.index(change)]:
            assert earlier(lib, fresh) == 0
        trace_path.unlink(missing_ok=True)
        status, objval, _ = lib.solve(warm)
        assert (status, objval) == (OPTIMAL, pytest.approx(lib.solve(fresh)[1]))
        solves = [(c["handed"], c["iterations"]) for c in read_trace(trace_path) if c["fn"] == "GRBoptimize"]
        assert solves[1][0] == "model"
        rounds.append((*solves[0], solves[1][1]))
        lib.GRBfreemodel(fresh)
    lib.GRBfreemodel(warm)
    assert [handed for handed, _, _ in rounds] == ["changes"] * 5 + ["nothing"]
    if vtype == b"C":
        # Warm LP re-solves need a fraction of a cold solve's simplex iterations.
        assert all(warm < cold / 2 for _, warm, cold in rounds[:3]), rounds
    assert rounds[-1][1] == 0


def test_parameter_changes_reach_the_kept_instance(lib, env, tmp_path):
    """Each round changes a parameter of the model, solves it again and checks whether HiGHS's
    log file grew: LogFile "" stops the writing, and changes back to a default count too."""
    log = tmp_path / "solve.log"
    model = build(lib, env, b"C")
    params = lib.GRBgetenv(model)
    assert lib.GRBsetintparam(params, b"LogToConsole", 0) == 0
    assert lib.GRBsetintparam(params, b"OutputFlag", 1) == 0
    rounds = [
        (b"LogFile", str(log).encode(), True),
        (b"LogFile", b"", False),
        (b"LogFile", str(log).encode(), True),
        (b"OutputFlag", 0, False),
        (b"OutputFlag", 1, True),
    ]
    grew = []
    for name, value, _ in rounds:
        set_value = lib.GRBsetstrparam if isinstance(value, bytes) else lib.GRBsetintparam
        assert set_value(params, name, value) == 0
        size = log.stat().st_size if log.exists() else 0
        assert lib.GRBoptimize(model) == 0
        assert lib.intattr(model, b"Status") == (0, OPTIMAL)
        grew.append(log.stat().st_size > size)
    assert grew == [expected for _, _, expected in rounds]
    lib.GRBfreemodel(model)
