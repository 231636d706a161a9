"""Gurobi's termination parameters and parameter rules, and failures that do not last."""

from __future__ import annotations

import textwrap

import pytest

from .capi import INVALID_ARGUMENT, NO_LICENSE, OPTIMAL, OUT_OF_MEMORY
from .subprocess_run import run_snippet

CUTOFF, ITERATION_LIMIT, USER_OBJ_LIMIT = 6, 7, 15


def knapsack(lib, env):
    """max 5a + 4b + 3c with 2a + 3b + c <= 5 over binaries: optimum 9 (a and b)."""
    model = lib.newmodel(env, 3, obj=[5, 4, 3], ub=[1, 1, 1], vtype=b"BBB")
    lib.GRBsetintattr(model, b"ModelSense", -1)
    lib.addconstr(model, {0: 2, 1: 3, 2: 1}, b"<", 5)
    return model


def small_lp(lib, env):
    """min x + y with x + 2y >= 4, x - y >= -1: optimum 7/3."""
    model = lib.newmodel(env, 2, obj=[1, 1], ub=[100, 100])
    lib.addconstr(model, {0: 1, 1: 2}, b">", 4)
    lib.addconstr(model, {0: 1, 1: -1}, b">", -1)
    return model


def huge_coefficient(lib, env):
    model = lib.newmodel(env, 1, obj=[-1], ub=[10])
    lib.addconstr(model, {0: 1e15}, b"<", 2e15)
    return model


# (model, parameters, status, SolCount, ObjVal)
STOPS = [
    (knapsack, {b"Cutoff": 9.5}, CUTOFF, 0, None),
    (knapsack, {b"Cutoff": 8.0}, OPTIMAL, 1, 9.0),
    (small_lp, {b"Cutoff": 2.0}, CUTOFF, 0, None),
    (knapsack, {b"BestObjStop": 5.0}, USER_OBJ_LIMIT, 1, None),
    (knapsack, {b"BestObjStop": 20.0}, OPTIMAL, 1, 9.0),
    (knapsack, {b"BestBdStop": 30.0}, USER_OBJ_LIMIT, 1, None),
    (small_lp, {b"BestBdStop": 2.0}, USER_OBJ_LIMIT, 0, None),
    (small_lp, {b"Method": 2, b"BarIterLimit": 0, b"Crossover": 0}, ITERATION_LIMIT, 0, None),
    (huge_coefficient, {}, OPTIMAL, 1, -2.0),
]


@pytest.mark.parametrize("build, params, status, solcount, objval", STOPS)
def test_termination_parameters(lib, env, build, params, status, solcount, objval):
    model = build(lib, env)
    model_env = lib.GRBgetenv(model)
    for name, value in params.items():
        setter = lib.GRBsetintparam if isinstance(value, int) else lib.GRBsetdblparam
        assert setter(model_env, name, value) == 0
    assert lib.GRBoptimize(model) == 0
    assert lib.intattr(model, b"Status") == (0, status)
    assert lib.intattr(model, b"SolCount") == (0, solcount)
    if objval is not None:
        assert lib.dblattr(model, b"ObjVal") == (0, pytest.approx(objval))
    lib.GRBfreemodel(model)


@pytest.mark.parametrize(
    "name, setter, value",
    [(b"ThreadLimit", "GRBsetintparam", 2), (b"ComputeServer", "GRBsetstrparam", b"host"),
     (b"Record", "GRBsetintparam", 1), (b"TokenServer", "GRBsetparam", b"host")],
)
def test_parameters_fixed_once_started(lib, env, name, setter, value):
    assert getattr(lib, setter)(env, name, value) == INVALID_ARGUMENT


SMALL_MODEL = """
handles = []

def model():
    env = ctypes.c_void_p()
    assert lib.GRBloadenv(ctypes.byref(env), None) == 0
    lib.GRBsetintparam(env, b"OutputFlag", 0)
    m = ctypes.c_void_p()
    assert lib.GRBnewmodel(env, ctypes.byref(m), b"m", 2, doubles([1, 1]), None, None, None, None) == 0
    assert lib.GRBaddconstr(m, 2, ints([0, 1]), doubles([1, 2]), b">", 4.0, None) == 0
    handles.append((m, env))
    return m

def close():
    for m, env in handles:
        lib.GRBfreemodel(m)
        lib.GRBfreeenv(env)

def status(m):
    value = ctypes.c_int()
    lib.GRBgetintattr(m, b"Status", ctypes.byref(value))
    return value.value
"""

# Each snippet writes the return codes and statuses of its solves to standard error.
RECOVERIES = {
    # HiGHS missing at the first solve, installed before the next.
    "HiGHS opened at a later solve": (
        """
        real = os.environ["GRB_STANDIN_HIGHS"]
        os.environ["GRB_STANDIN_HIGHS"] = real + ".missing"
        m = model()
        first = lib.GRBoptimize(m), status(m)
        os.environ["GRB_STANDIN_HIGHS"] = real
        sys.stderr.write(repr([first, (lib.GRBoptimize(m), status(m))]))
        close()
        """,
        [(NO_LICENSE, 1), (0, OPTIMAL)],
    ),
    # Too little address space left for HiGHS: refused before handing over, solved once it is back.
    "memory short for a moment": (
        """
        import resource
        warm = model()
        lib.GRBoptimize(warm)
        m = model()
        soft, hard = resource.getrlimit(resource.RLIMIT_AS)
        used = int(open("/proc/self/statm").read().split()[0]) * os.sysconf("SC_PAGESIZE")
        resource.setrlimit(resource.RLIMIT_AS, (used + (16 << 20), hard))
        first = lib.GRBoptimize(m), status(m)
        resource.setrlimit(resource.RLIMIT_AS, (soft, hard))
        sys.stderr.write(repr([first, (lib.GRBoptimize(m), status(m))]))
        close()
        """,
        [(OUT_OF_MEMORY, 1), (0, OPTIMAL)],
    ),
}


@pytest.mark.parametrize("case", list(RECOVERIES))
def test_failures_do_not_last(case):
    code, expected = RECOVERIES[case]
    result = run_snippet(SMALL_MODEL + textwrap.dedent(code))
    assert result.returncode == 0, result.stderr
    assert result.stderr.decode().splitlines()[-1].endswith(repr(expected))
