"""Integer, binary and semi-variables, checked against enumeration: of every integer point
for integer variables with fractional bounds, of every state (zero or within its range) for
semi-variables with large values."""

from __future__ import annotations

import itertools
import math
import random

import pytest

from .capi import GRB_INFINITY, INF_OR_UNBD, INFEASIBLE, OPTIMAL, UNBOUNDED

# (vtypes, bounds, rows as (coefficients, sense, rhs), objective)
KNOWN = [
    (b"II", [(2, 2), (0, 0.9)], [([-1, 1], b"<", -2)], [0, 0]),
    (b"N", [(0.5, 0.5)], [], [-1]),
    (b"I", [(-3, -0.5)], [([1], b">", -0.7)], [1]),
    # Within a loose IntFeasTol of a whole number, but beyond FeasibilityTol of the bound or row.
    (b"I", [(1.05, 3)], [], [1]),
    (b"I", [(-3, -1.05)], [], [-1]),
    (b"I", [(0, 3)], [([10], b"=", 10.5)], [1]),
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


def holds(x, vtypes, bounds, rows, tolerance=1e-6):
    """Whether x keeps its bounds (or is 0 for a semi-variable) and rows to FeasibilityTol, allowing
    for the rounding of a row's sum (a few units in the last place of its largest terms)."""
    within = all(
        lb - tolerance <= v <= ub + tolerance or (t == ord("N") and v == 0) for v, t, (lb, ub) in zip(x, vtypes, bounds)
    )
    for coefficients, sense, rhs in rows:
        lhs = sum(a * v for a, v in zip(coefficients, x))
        slack = tolerance + 1e-12 * sum(abs(a * v) for a, v in zip(coefficients, x))
        within &= {b"<": lhs <= rhs + slack, b">": lhs >= rhs - slack, b"=": abs(lhs - rhs) <= slack}[sense]
    return within


# IntFeasTol loosens integrality only: bounds and rows hold to FeasibilityTol at any value.
@pytest.mark.parametrize("int_feas_tol", [1e-9, 1e-5, 0.1])
def test_solves_agree_with_enumeration(lib, env, int_feas_tol):
    assert lib.GRBsetdblparam(env, b"IntFeasTol", int_feas_tol) == 0
    rng = random.Random(20)
    models = KNOWN + [random_model(rng) for _ in range(300)]
    disagreements = []
    for vtypes, bounds, rows, obj in models:
        lbs, ubs = zip(*bounds)
        model = lib.newmodel(env, len(vtypes), obj=obj, lb=lbs, ub=ubs, vtype=vtypes)
        for coefficients, sense, rhs in rows:
            lib.addconstr(model, dict(enumerate(coefficients)), sense, rhs)
        status, objval, x = lib.solve(model)
        lib.GRBfreemodel(model)
        expected = enumerate_optimum(vtypes, bounds, rows, obj)
        got = (status, objval)
        if got != ((INFEASIBLE, None) if expected is None else (OPTIMAL, pytest.approx(expected))) or (
            x is not None and not holds(x, vtypes, bounds, rows)
        ):
            disagreements.append((vtypes, bounds, rows, obj, got, expected))
    assert disagreements == []


def random_semi_model(rng):
    """Up to three variables, semi-variables among them, with values up to 1e7; a semi-variable's
    range lies on either side of 0, and its far side may be infinite."""
    n = rng.randint(1, 3)
    scale = rng.choice([1, 1e3, 1e5, 1e7])
    vtypes = bytes(rng.choice(b"CISN") for _ in range(n))
    bounds = []
    for vtype in vtypes:
        a, b = sorted(round(rng.uniform(0.1, 4), 1) * scale for _ in range(2))
        if vtype in b"SN":
            kind = rng.choice(["up", "up", "up to infinity", "down", "down to infinity", "around 0"])
            ranges = {
                "up": (a, b),
                "up to infinity": (a, GRB_INFINITY),
                "down": (-b, -a),
                "down to infinity": (-GRB_INFINITY, -a),
                "around 0": (-a, b),
            }
            bounds.append(ranges[kind])
        else:
            bounds.append((-a, b))
    rows = [
        ([rng.randint(-3, 3) for _ in range(n)], rng.choice([b"<", b">", b"="]), round(rng.uniform(-4, 4), 1) * scale)
        for _ in range(rng.randint(0, 2))
    ]
    return vtypes, bounds, rows, [rng.randint(-3, 3) for _ in range(n)], rng.choice([1, -1])


def build(lib, env, vtypes, bounds, rows, obj, sense):
    lbs, ubs = zip(*bounds)
    model = lib.newmodel(env, len(vtypes), obj=obj, lb=lbs, ub=ubs, vtype=vtypes)
    assert lib.GRBsetintattr(model, b"ModelSense", sense) == 0
    for coefficients, sense_char, rhs in rows:
        lib.addconstr(model, dict(enumerate(coefficients)), sense_char, rhs)
    return model


def solve_by_states(lib, env, vtypes, bounds, rows, obj, sense):
    """The optimum over every state of the semi-variables (each a model without them): a
    value, "infeasible", "unbounded", or None when a state's model is undecided."""
    semi = [j for j, t in enumerate(vtypes) if t in b"SN"]
    values, unbounded = [], False
    for states in itertools.product([False, True], repeat=len(semi)):
        state_vtypes, state_bounds = bytearray(vtypes), list(bounds)
        for j, on in zip(semi, states):
            state_vtypes[j] = ord("I") if vtypes[j] == ord("N") else ord("C")
            state_bounds[j] = bounds[j] if on else (0.0, 0.0)
        model = build(lib, env, bytes(state_vtypes), state_bounds, rows, obj, sense)
        status, objval, _ = lib.solve(model)
        lib.GRBfreemodel(model)
        if status == OPTIMAL:
            values.append(objval)
        elif status == UNBOUNDED:
            unbounded = True
        elif status != INFEASIBLE:
            return None
    if unbounded:
        return "unbounded"
    return (min(values) if sense == 1 else max(values)) if values else "infeasible"


def test_semi_variables_agree_with_their_states(lib, env):
    """Cold solves, then warm ones after bound changes and a new row."""
    rng = random.Random(21)
    disagreements = []
    for _ in range(60):
        vtypes, bounds, rows, obj, sense = random_semi_model(rng)
        model = build(lib, env, vtypes, bounds, rows, obj, sense)
        for step in range(3):
            if step > 0 and rng.random() < 0.7:
                j = rng.randrange(len(vtypes))
                which = rng.choice([b"LB", b"UB"])
                value = rng.choice(
                    [0.0, round(rng.uniform(-4, 4), 1) * max(1.0, *(abs(v) for v in bounds[j] if abs(v) < 1e30))]
                )
                bounds[j] = (value, bounds[j][1]) if which == b"LB" else (bounds[j][0], value)
                assert lib.GRBsetdblattrelement(model, which, j, value) == 0
            elif step > 0:
                rows.append(([rng.randint(-3, 3) for _ in vtypes], rng.choice([b"<", b">"]), rng.uniform(-4, 4) * 1e3))
                lib.addconstr(model, dict(enumerate(rows[-1][0])), rows[-1][1], rows[-1][2])
            expected = solve_by_states(lib, env, vtypes, bounds, rows, obj, sense)
            status, objval, _ = lib.solve(model)
            if expected == "unbounded":
                agrees = status in (UNBOUNDED, INF_OR_UNBD)
            elif expected == "infeasible":
                agrees = status == INFEASIBLE
            else:  # HiGHS stops within MIPGap (1e-4) of the optimum, for the states too
                agrees = expected is None or (
                    status == OPTIMAL and objval == pytest.approx(expected, rel=2e-4, abs=1e-6)
                )
            if not agrees:
                disagreements.append((step, vtypes, list(bounds), list(rows), obj, sense, status, objval, expected))
        lib.GRBfreemodel(model)
    assert disagreements == []
