"""Integer, binary and semi-integer variables with fractional bounds, checked against
enumeration of every integer point."""

from __future__ import annotations

import itertools
import math
import random

import pytest

from .capi import INFEASIBLE, OPTIMAL

# (vtypes, bounds, rows as (coefficients, sense, rhs), objective)
KNOWN = [
    (b"II", [(2, 2), (0, 0.9)], [([-1, 1], b"<", -2)], [0, 0]),
    (b"N", [(0.5, 0.5)], [], [-1]),
    (b"I", [(-3, -0.5)], [([1], b">", -0.7)], [1]),
]


def random_model(rng):
    n = rng.randint(1, 3)
    vtypes = bytes(rng.choice(b"IBN") for _ in range(n))
    bounds = []
    for vtype in vtypes:
        # HiGHS has no semi-integer variable below 0: {0} and a range of negative values.
        lb = round(rng.uniform(-1 if vtype == ord("N") else -3, 3), 1)
        bounds.append((lb, round(lb + rng.uniform(1 if lb < 0 else 0, 3), 1)))
    rows = [
        ([rng.randint(-3, 3) for _ in range(n)], rng.choice([b"<", b">", b"="]), round(rng.uniform(-4, 4), 1))
        for _ in range(rng.randint(0, 2))
    ]
    return vtypes, bounds, rows, [rng.randint(-3, 3) for _ in range(n)]


def candidates(vtype, lb, ub):
    if vtype == ord("B"):
        lb, ub = max(lb, 0), min(ub, 1)
    values = set(range(math.ceil(lb), math.floor(ub) + 1))
    return values | {0} if vtype == ord("N") else values


def enumerate_optimum(vtypes, bounds, rows, obj):
    """The least objective over all integer points, or None when there is none."""
    best = None
    for x in itertools.product(*(candidates(t, lb, ub) for t, (lb, ub) in zip(vtypes, bounds))):
        ok = True
        for coefficients, sense, rhs in rows:
            lhs = sum(a * v for a, v in zip(coefficients, x))
            ok &= {b"<": lhs <= rhs, b">": lhs >= rhs, b"=": lhs == rhs}[sense]
        if ok:
            value = sum(c * v for c, v in zip(obj, x))
            best = value if best is None else min(best, value)
    return best


def test_solves_agree_with_enumeration(lib, env):
    rng = random.Random(20)
    models = KNOWN + [random_model(rng) for _ in range(300)]
    disagreements = []
    for vtypes, bounds, rows, obj in models:
        lbs, ubs = zip(*bounds)
        model = lib.newmodel(env, len(vtypes), obj=obj, lb=lbs, ub=ubs, vtype=vtypes)
        for coefficients, sense, rhs in rows:
            lib.addconstr(model, dict(enumerate(coefficients)), sense, rhs)
        status, objval, _ = lib.solve(model)
        lib.GRBfreemodel(model)
        expected = enumerate_optimum(vtypes, bounds, rows, obj)
        got = (status, objval)
        if got != ((INFEASIBLE, None) if expected is None else (OPTIMAL, pytest.approx(expected))):
            disagreements.append((vtypes, bounds, rows, obj, got, expected))
    assert disagreements == []
