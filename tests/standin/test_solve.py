"""Real solves through HiGHS, compared with known optima."""

from __future__ import annotations

import random

import pytest

from .capi import (
    GRB_INFINITY,
    INF_OR_UNBD,
    INFEASIBLE,
    ITERATION_LIMIT,
    NO_LICENSE,
    NODE_LIMIT,
    OPTIMAL,
    TIME_LIMIT,
    UNBOUNDED,
    doubles,
    ints,
)
from .subprocess_run import run_snippet


def _lp(lib, env):
    # max 3x + 2y  s.t.  x + y <= 4, x + 3y <= 6, x <= 3  ->  x = 3, y = 1, objective 11
    model = lib.newmodel(env, 2, obj=[3.0, 2.0])
    lib.GRBsetintattr(model, b"ModelSense", -1)
    lib.addconstr(model, {0: 1, 1: 1}, b"<", 4.0)
    lib.addconstr(model, {0: 1, 1: 3}, b"<", 6.0)
    lib.addconstr(model, {0: 1}, b"<", 3.0)
    return model


def test_lp_optimum(lib, env):
    model = _lp(lib, env)
    status, objval, x = lib.solve(model)
    assert status == OPTIMAL
    assert objval == pytest.approx(11.0)
    assert x == pytest.approx([3.0, 1.0])
    assert lib.intattr(model, b"SolCount") == (0, 1)
    rc, runtime = lib.dblattr(model, b"Runtime")
    assert rc == 0 and runtime >= 0.0
    lib.GRBfreemodel(model)


@pytest.mark.parametrize(
    "params",
    [
        {b"Method": 2},
        {b"Method": 0, b"Presolve": 0},
        {b"Threads": 1},
        {b"Threads": 2},
        {b"Seed": 7, b"Presolve": 2},
    ],
)
def test_lp_optimum_with_parameters(lib, env, params):
    model = _lp(lib, env)
    for name, value in params.items():
        assert lib.GRBsetintparam(lib.GRBgetenv(model), name, value) == 0
    status, objval, _ = lib.solve(model)
    assert status == OPTIMAL and objval == pytest.approx(11.0)
    lib.GRBfreemodel(model)


def test_mip_optimum(lib, env):
    # Knapsack: max 10a + 13b + 7c + 8d  s.t.  4a + 6b + 3c + 5d <= 10, binaries -> a + b: 23
    model = lib.newmodel(env, 4, obj=[10, 13, 7, 8], vtype=b"BBBB")
    lib.GRBsetintattr(model, b"ModelSense", -1)
    lib.addconstr(model, {0: 4, 1: 6, 2: 3, 3: 5}, b"<", 10.0)
    status, objval, x = lib.solve(model)
    assert status == OPTIMAL
    assert objval == pytest.approx(23.0)
    assert x == pytest.approx([1.0, 1.0, 0.0, 0.0])
    lib.GRBfreemodel(model)


def test_general_integers(lib, env):
    # min -x - y  s.t.  2x + 2y <= 7, x <= 1.5 (integers) -> x + y = 3
    model = lib.newmodel(env, 2, obj=[-1, -1.001], ub=[1.5, 10], vtype=b"II")
    lib.addconstr(model, {0: 2, 1: 2}, b"<", 7.0)
    status, objval, x = lib.solve(model)
    assert status == OPTIMAL
    assert x == pytest.approx([0.0, 3.0])
    assert objval == pytest.approx(-3.003)
    lib.GRBfreemodel(model)


def test_infeasible(lib, env):
    model = lib.newmodel(env, 2)
    lib.addconstr(model, {0: 1, 1: 1}, b">", 5.0)
    lib.addconstr(model, {0: 1, 1: 1}, b"<", 4.0)
    assert lib.solve(model) == (INFEASIBLE, None, None)
    lib.GRBfreemodel(model)


@pytest.mark.parametrize("bounds", [(1e30, 2e30), (-5e30, -1e30)])
def test_infinite_bounds_on_the_wrong_side_are_infeasible(lib, env, bounds):
    model = lib.newmodel(env, 1, lb=[bounds[0]], ub=[bounds[1]])
    assert lib.solve(model) == (INFEASIBLE, None, None)
    lib.GRBfreemodel(model)


@pytest.mark.parametrize("presolve", [-1, 0])
def test_unbounded(lib, env, presolve):
    model = lib.newmodel(env, 2, obj=[-1.0, -1.0])
    lib.GRBsetintparam(lib.GRBgetenv(model), b"Presolve", presolve)
    lib.addconstr(model, {0: 1, 1: -1}, b"<", 1.0)
    assert lib.solve(model) == (UNBOUNDED, None, None)
    lib.GRBfreemodel(model)


# LPs HiGHS calls unbounded or infeasible that have an optimum: without presolve, and with HiGHS
# 1.15's presolve where bounds and coefficients multiply beyond 1e12. Bounds, rows, costs, sense,
# the optimum.
LP_CLAIMS = {
    "a bound of -1e6 beside a coefficient of 1e6": ([(-1e6, GRB_INFINITY)], [({0: 1e6}, b"<", 100.0)], [1.0], -1, 1e-4),
    "parallel rows beside a bound of 2.1e13": (
        [(-1e9, 2.1e13), (-GRB_INFINITY, GRB_INFINITY)],
        [({0: -1e6}, b"<", 100.0), ({0: 1e3, 1: 1e6}, b">", 1.0), ({1: 1e6}, b"<", 1.0), ({1: 1e6}, b"<", -1.0)],
        [0.5, 0.0], 1, 1e-3,
    ),
    # Both simplex runs, with presolve and without, call it unbounded after one iteration.
    "an optimum both simplex runs miss": (
        [(0, 1e12), (-1e6, GRB_INFINITY), (-GRB_INFINITY, 1e6), (-1e9, 1e12)],
        [({0: -1, 1: -1e6, 2: -1e6, 3: 2}, b"<", 100.0), ({0: -0.25, 1: -1e6, 3: 1e3}, b"=", 1e6)],
        [2.0, -1.0, 0.5, 2.0], 1, -1998498999.99905,
    ),
    # Without presolve: a primal ray that the bound of 1e12 blocks 4e18 further along the row.
    "a ray blocked by a bound of 1e12": ([(-1e6, 1e12), (0, GRB_INFINITY)], [({0: 1e6, 1: -0.25}, b"=", 3.0)], [1.0, 0.0], -1, 1e12),
    # The same with an integer column, which a MIP beyond 2^31 holds as continuous.
    "a ray blocked by an integer's bound of 1e12": (
        [(-1e6, 1e12), (0, GRB_INFINITY)], [({0: 1e6, 1: -0.25}, b"=", 3.0)], [1.0, 0.0], -1, 1e12, b"IC",
    ),
    # Without presolve: a ray along which a row with a slack of 3e19 at HiGHS's point falls.
    "a ray a row forbids far from its bound": (
        [(0, 1e12), (-1e6, 2e13), (-GRB_INFINITY, GRB_INFINITY), (-GRB_INFINITY, GRB_INFINITY)],
        [({0: -1, 1: 2, 2: 1, 3: 1e6}, b">", 1e12), ({0: 0.5, 1: -3, 3: 2}, b"<", 3.0),
         ({0: -3, 1: -1e6, 2: 1e6, 3: 1e6}, b"<", 1.0)],
        [0.0, -3.0, 2.0, -3.0], 1, -6.0000228000003e19,
    ),
}  # fmt: skip


@pytest.mark.parametrize("presolve", [-1, 0])
@pytest.mark.parametrize("case", list(LP_CLAIMS))
def test_lp_claims_of_no_optimum_are_checked(lib, env, case, presolve):
    bounds, rows, obj, sense, objval, *vtype = LP_CLAIMS[case]
    lbs, ubs = [lb for lb, _ in bounds], [ub for _, ub in bounds]
    model = lib.newmodel(env, len(obj), obj=obj, lb=lbs, ub=ubs, vtype=vtype[0] if vtype else None)
    lib.GRBsetintparam(lib.GRBgetenv(model), b"Presolve", presolve)
    lib.GRBsetintattr(model, b"ModelSense", sense)
    for terms, row_sense, rhs in rows:
        lib.addconstr(model, terms, row_sense, rhs)
    assert lib.solve(model)[:2] == (OPTIMAL, pytest.approx(objval, rel=1e-6))
    lib.GRBfreemodel(model)


@pytest.mark.parametrize(
    ("vtype", "rows", "dual_reductions", "statuses"),
    [
        # Free x with min -x, and rows on y + z that may exclude every point: presolve can only
        # say "one of the two"; without dual reductions the answer is definite, as Gurobi's is.
        (b"CCC", [(b">", 2.0), (b"<", 1.0)], 1, {INFEASIBLE, INF_OR_UNBD}),
        (b"CCC", [(b">", 2.0), (b"<", 1.0)], 0, {INFEASIBLE}),
        (b"III", [(b">", 2.0), (b"<", 1.0)], 1, {INFEASIBLE, INF_OR_UNBD}),
        (b"III", [(b">", 2.0), (b"<", 1.0)], 0, {INFEASIBLE}),
        (b"III", [(b">", 2.0)], 1, {UNBOUNDED, INF_OR_UNBD}),
        (b"III", [(b">", 2.0)], 0, {UNBOUNDED}),
        (b"CCC", [(b">", 2.0)], 0, {UNBOUNDED}),
    ],
)
def test_infeasible_or_unbounded(lib, env, vtype, rows, dual_reductions, statuses):
    model = lib.newmodel(env, 3, obj=[-1.0, 0.0, 0.0], lb=[-1e100, 0.0, 0.0], vtype=vtype)
    assert lib.GRBsetintparam(lib.GRBgetenv(model), b"DualReductions", dual_reductions) == 0
    for sense, rhs in rows:
        lib.addconstr(model, {1: 1.0, 2: 1.0}, sense, rhs)
    status, objval, x = lib.solve(model)
    assert status in statuses
    assert (objval, x) == (None, None)
    # Solved again unchanged: the same answer.
    assert lib.solve(model)[0] == status
    lib.GRBfreemodel(model)


def _with_improving_ray(rng):
    """Rows A x <= b over nonnegative integers, maximising c x, with a ray d: A d <= 0, c d > 0."""
    a = [[rng.randint(-5, 5) for _ in range(6)] for _ in range(3)]
    d = [rng.randint(0, 1) for _ in range(6)]
    d[rng.randrange(6)] = 1
    first = d.index(1)
    for row in a:
        row[first] -= max(0, sum(v * w for v, w in zip(row, d)))
    c = [rng.randint(-1, 5) for _ in range(6)]
    c[first] += max(0, 1 - sum(v * w for v, w in zip(c, d)))
    return a, [rng.randint(0, 20) for _ in range(3)], c, None


# (A, b, c, optimum or None when unbounded). HiGHS 1.15.1 finds the first "optimal" at 1866
# although x = t (0, 1, 0, 0, 1, 0) gains 6 per unit; in the last, rows bound every column.
INTEGER_PROGRAMS = [
    ([[-4, 1, -5, -2, -4, 5], [5, -4, -3, 3, 2, -2], [0, -2, 3, 1, -2, 2]], [0, 15, 7], [0, 1, 3, 5, 5, 0], None),
    ([[1, 2, 0, 0, 0, 0], [0, 0, 1, 1, 1, 1], [0, 0, 0, 0, 0, 0]], [7.5, 3, 0], [1, 1, 1, 2, 3, 1], 16.0),
]


def test_integer_program_with_an_improving_ray_is_unbounded(lib, env):
    rng = random.Random(6)
    for a, b, c, optimum in INTEGER_PROGRAMS + [_with_improving_ray(rng) for _ in range(40)]:
        model = lib.newmodel(env, 6, obj=c, lb=[0.0] * 6, ub=[1e100] * 6, vtype=b"I" * 6)
        lib.GRBsetintattr(model, b"ModelSense", -1)
        for row, rhs in zip(a, b):
            lib.addconstr(model, dict(enumerate(row)), b"<", rhs)
        status, objval, _ = lib.solve(model)
        assert (status, objval) == ((UNBOUNDED, None) if optimum is None else (OPTIMAL, optimum)) or (
            optimum is None and status == INF_OR_UNBD
        ), (a, b, c)
        lib.GRBfreemodel(model)


# HiGHS says "infeasible or unbounded"; without dual reductions the run that looks for a point
# ends in a solve error (rows with a right-hand side of 1e12), and the answer stayed 4.
def test_unbounded_mip_is_told_without_dual_reductions(lib, env):
    model = lib.newmodel(env, 4, obj=[1, -3, -1, 0], lb=[-1e9, -5, 0, 0], ub=[2e13] + [1e100] * 3, vtype=b"CICC")
    assert lib.GRBsetintparam(lib.GRBgetenv(model), b"DualReductions", 0) == 0
    lib.addconstr(model, {0: 1, 1: -1, 2: 1e6, 3: 1e6}, b">", 100.0)
    lib.addconstr(model, {0: -1, 1: 0.5, 2: -1e6, 3: 0.5}, b"=", -1.0)
    lib.addconstr(model, {0: 1e3, 1: 7, 2: 2, 3: -1e6}, b"=", 1e12)
    assert lib.solve(model) == (UNBOUNDED, None, None)
    lib.GRBfreemodel(model)


# Fixed charges through big-M rows x_i <= M y_i: HiGHS 1.15.1's presolve reduces the model to
# empty and calls 0 optimal (Gurobi 13.0.3: 2108, or more through y_i within IntFeasTol of 0).
@pytest.mark.parametrize("presolve", [-1, 0])
def test_fixed_charges_through_big_m_rows(lib, env, presolve):
    n, big_m = 10, 1e10
    rng = random.Random(n)
    values, charges = [rng.randint(3, 9) for _ in range(n)], [-rng.randint(50, 200) for _ in range(n)]
    model = lib.newmodel(env, 2 * n, obj=values + charges, ub=[1e100] * n + [1.0] * n, vtype=b"I" * n + b"B" * n)
    lib.GRBsetintparam(lib.GRBgetenv(model), b"Presolve", presolve)
    lib.GRBsetintattr(model, b"ModelSense", -1)
    for i in range(n):
        lib.addconstr(model, {i: 1.0, n + i: -big_m}, b"<", 0.0)
    weights = {i: float(rng.randint(2, 7)) for i in range(n)}
    lib.addconstr(model, weights, b"<", 1000.5)
    lib.addconstr(model, {n + i: 1.0 for i in range(n)}, b"<", n // 3)
    status, objval, x = lib.solve(model)
    assert status == OPTIMAL and objval >= 2108.0
    assert sum(w * x[i] for i, w in weights.items()) <= 1000.5 + 1e-6
    assert all(x[i] <= big_m * x[n + i] + 1e-6 for i in range(n))
    lib.GRBfreemodel(model)


def _market_split(lib, env, rows=4, columns=30, seed=3):
    """A small instance that is very hard to prove optimal but has trivial incumbents."""
    rng = random.Random(seed)
    model = lib.newmodel(
        env, columns + 2 * rows, obj=[0.0] * columns + [1.0] * (2 * rows), vtype=b"B" * columns + b"C" * (2 * rows)
    )
    for i in range(rows):
        a = [rng.randint(0, 99) for _ in range(columns)]
        coefficients = {j: float(a[j]) for j in range(columns)}
        coefficients[columns + 2 * i] = 1.0
        coefficients[columns + 2 * i + 1] = -1.0
        lib.addconstr(model, coefficients, b"=", float(sum(a) // 2))
    return model


def _check_incumbent(lib, model, objval, x):
    assert x is not None and objval is not None
    assert all(v == pytest.approx(round(v), abs=1e-5) for v in x[:30])
    assert objval == pytest.approx(sum(x[30:]), abs=1e-5)


def test_time_limit_with_and_without_incumbent(lib, env):
    model = _market_split(lib, env)
    lib.GRBsetdblparam(lib.GRBgetenv(model), b"TimeLimit", 0.0)
    assert lib.solve(model) == (TIME_LIMIT, GRB_INFINITY, None)
    lib.GRBsetdblparam(lib.GRBgetenv(model), b"TimeLimit", 0.5)
    status, objval, x = lib.solve(model)
    assert status == TIME_LIMIT
    _check_incumbent(lib, model, objval, x)
    lib.GRBfreemodel(model)


def _small_lp(lib, env):
    # min x0 + 2 x1 + 3 x2 + x3 over three covering rows, 0 <= x <= 10.
    model = lib.newmodel(env, 4, obj=[1.0, 2.0, 3.0, 1.0], ub=[10.0] * 4)
    lib.addconstr(model, {0: 1, 1: 1, 2: 1, 3: 1}, b">", 3.0)
    lib.addconstr(model, {0: 1, 1: -1, 2: 2}, b">", 1.0)
    lib.addconstr(model, {1: 1, 3: 1}, b">", 2.0)
    return model


def _maximised_split(lib, env):
    model = _market_split(lib, env)
    lib.GRBsetdblattrarray(model, b"Obj", 30, 8, doubles([-1.0] * 8))
    # As in Gurobi, ModelSense takes any int: a positive one minimises, any other maximises.
    for value, sense in [(5, 1), (0, -1), (2**31 - 1, 1), (-(2**31), -1), (-7, -1)]:
        assert lib.GRBsetintattr(model, b"ModelSense", value) == 0
        assert lib.intattr(model, b"ModelSense") == (0, sense)
    return model


# What Gurobi gives after a limit: without a solution ObjVal is infinite in the objective's
# direction; an LP stopped by IterationLimit shows the point where it stopped (SolCount 0);
# IterationLimit also stops barrier and branch and bound; NodeLimit 0 keeps the root's incumbent.
@pytest.mark.parametrize(
    "build, params, status, solcount, objval, x",
    [
        (_market_split, {b"TimeLimit": 0.0}, TIME_LIMIT, 0, GRB_INFINITY, None),
        (_maximised_split, {b"TimeLimit": 0.0}, TIME_LIMIT, 0, -GRB_INFINITY, None),
        (_small_lp, {b"IterationLimit": 1.0}, ITERATION_LIMIT, 0, 3.0, [3.0, 0.0, 0.0, 0.0]),
        (_small_lp, {b"IterationLimit": 1.0, b"Method": 2}, ITERATION_LIMIT, 0, "point", "point"),
        (_market_split, {b"IterationLimit": 5.0}, ITERATION_LIMIT, 1, "incumbent", "incumbent"),
        (_market_split, {b"NodeLimit": 0.0}, NODE_LIMIT, 1, "incumbent", "incumbent"),
        (_market_split, {b"NodeLimit": 5.0}, NODE_LIMIT, 1, "incumbent", "incumbent"),
    ],
)
def test_results_after_limits(lib, env, build, params, status, solcount, objval, x):
    model = build(lib, env)
    for name, value in params.items():
        set_param = lib.GRBsetdblparam if isinstance(value, float) else lib.GRBsetintparam
        assert set_param(lib.GRBgetenv(model), name, value) == 0
    got_status, got_objval, got_x = lib.solve(model)
    assert (got_status, lib.intattr(model, b"SolCount")[1]) == (status, solcount)
    if objval == "incumbent":
        _check_incumbent(lib, model, got_objval, got_x)
    elif objval == "point":
        assert got_objval == pytest.approx(sum(c * v for c, v in zip([1, 2, 3, 1], got_x, strict=True)))
    else:
        assert (got_objval, got_x) == (pytest.approx(objval), x)
    lib.GRBfreemodel(model)


def test_maximisation_with_objective_constant(lib, env):
    model = _lp(lib, env)
    assert lib.GRBsetdblattr(model, b"ObjCon", 2.5) == 0
    status, objval, _ = lib.solve(model)
    assert status == OPTIMAL and objval == pytest.approx(13.5)
    lib.GRBsetintattr(model, b"ModelSense", 1)
    status, objval, x = lib.solve(model)
    assert status == OPTIMAL and objval == pytest.approx(2.5) and x == pytest.approx([0.0, 0.0])
    lib.GRBfreemodel(model)


def test_empty_model(lib, env):
    model = lib.newmodel(env)
    lib.GRBsetdblattr(model, b"ObjCon", -4.0)
    assert lib.solve(model) == (OPTIMAL, -4.0, [])
    lib.addconstr(model, {}, b">", 1.0)
    assert lib.solve(model) == (INFEASIBLE, None, None)
    lib.GRBfreemodel(model)


def test_semicontinuous(lib, env):
    # min (x - 0) with x semi-continuous in {0} u [2, 5]: x + y >= 1, y costs 10 -> x = 2
    model = lib.newmodel(env, 2, obj=[1.0, 10.0], lb=[2.0, 0.0], ub=[5.0, 1e100], vtype=b"SC")
    lib.addconstr(model, {0: 1, 1: 1}, b">", 1.0)
    status, objval, x = lib.solve(model)
    assert status == OPTIMAL
    assert x == pytest.approx([2.0, 0.0]) and objval == pytest.approx(2.0)
    # Without the row, zero is allowed although it lies below the lower bound.
    model2 = lib.newmodel(env, 1, obj=[1.0], lb=[2.0], ub=[5.0], vtype=b"S")
    assert lib.solve(model2) == (OPTIMAL, 0.0, [0.0])
    semi_integer = lib.newmodel(env, 1, obj=[1.0], lb=[2.5], ub=[5.0], vtype=b"N")
    lib.addconstr(semi_integer, {0: 1}, b">", 1.0)
    status, objval, x = lib.solve(semi_integer)
    assert status == OPTIMAL and x == pytest.approx([3.0])
    # Warm solves after bound changes: a range that comes to hold 0, or to be empty, and back.
    for handle, bound, value, expected in [
        (model2, b"LB", -1.0, [-1.0]),
        (model2, b"LB", 2.0, [0.0]),
        (semi_integer, b"UB", 2.7, None),
        (semi_integer, b"UB", 5.5, [3.0]),
    ]:
        assert lib.GRBsetdblattrelement(handle, bound, 0, value) == 0
        status, _, x = lib.solve(handle)
        assert (status, x) == ((INFEASIBLE, None) if expected is None else (OPTIMAL, pytest.approx(expected)))
    for handle in (model, model2, semi_integer):
        lib.GRBfreemodel(handle)


def test_binaries_are_clipped_to_zero_one(lib, env):
    model = lib.newmodel(env, 2, obj=[-1.0, 1.0], lb=[-5.0, -5.0], ub=[5.0, 5.0], vtype=b"BB")
    status, objval, x = lib.solve(model)
    assert status == OPTIMAL and x == pytest.approx([1.0, 0.0]) and objval == pytest.approx(-1.0)
    assert lib.dblarray(model, b"LB", 0, 2) == (0, [-5.0, -5.0])
    lib.GRBsetdblattrelement(model, b"LB", 1, 2.0)
    assert lib.solve(model)[0] == INFEASIBLE
    lib.GRBfreemodel(model)


def test_large_bounds_below_1e30_stay_finite(lib, env):
    model = lib.newmodel(env, 1, obj=[-1.0], ub=[1e25])
    status, objval, x = lib.solve(model)
    assert status == OPTIMAL and x == pytest.approx([1e25]) and objval == pytest.approx(-1e25)
    lib.GRBfreemodel(model)


def test_whole_model_with_many_rows(lib, env):
    # min sum x  s.t.  x_i + x_{i+1} >= 1 for a path of 2000 variables -> 1000
    n = 2000
    model = lib.newmodel(env, n, obj=[1.0] * n)
    count = n - 1
    begin = ints(range(0, 2 * count, 2))
    index = ints([i + k for i in range(count) for k in (0, 1)])
    assert (
        lib.GRBaddconstrs(
            model,
            count,
            2 * count,
            begin,
            index,
            doubles([1.0] * (2 * count)),
            b">" * count,
            doubles([1.0] * count),
            None,
        )
        == 0
    )
    status, objval, _ = lib.solve(model)
    assert status == OPTIMAL and objval == pytest.approx(1000.0)
    lib.GRBfreemodel(model)


SOLVE_IN_SUBPROCESS = """
env = ctypes.c_void_p()
lib.GRBloadenv(ctypes.byref(env), None)
lib.GRBsetintparam(env, b"OutputFlag", int(sys.argv[1]) if len(sys.argv) > 1 else 0)
model = ctypes.c_void_p()
lib.GRBnewmodel(env, ctypes.byref(model), None, 2, doubles([1, 1]), None, None, b"CI", None)
lib.GRBaddconstr(model, 2, ints([0, 1]), doubles([1, 1]), b">", 1.5, None)
rc = lib.GRBoptimize(model)
status = ctypes.c_int()
lib.GRBgetintattr(model, b"Status", ctypes.byref(status))
sys.stderr.write(f"{rc} {status.value}")
"""


def test_output_flag_zero_prints_nothing():
    result = run_snippet(SOLVE_IN_SUBPROCESS)
    assert result.returncode == 0
    assert result.stdout == b""
    assert result.stderr.decode() == "0 2"


def test_output_flag_one_prints_the_log():
    result = run_snippet(SOLVE_IN_SUBPROCESS.replace("else 0", "else 1"))
    assert result.returncode == 0 and b"HiGHS" in result.stdout


HIGHS_MISSING = (
    "Gurobi stand-in: HiGHS could not be loaded (tried: {}); install it with `pip install highsbox`, "
    "or set GRB_STANDIN_HIGHS=/path/libhighs.so\n"
)


def test_without_highs_optimize_reports_no_licence_and_says_why_once(tmp_path):
    missing = tmp_path / "libhighs.so"
    result = run_snippet(SOLVE_IN_SUBPROCESS + "lib.GRBoptimize(model)\n", GRB_STANDIN_HIGHS=str(missing))
    assert result.returncode == 0
    assert result.stderr.decode() == HIGHS_MISSING.format(missing) + f"{NO_LICENSE} 1"
