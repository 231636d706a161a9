"""W9: many tiny models, each built on a fresh model and solved, as a script that solves a
batch of small instances does. 1,000 models of 10 to 50 variables at scale 1: half LPs, half
MIPs, each half knapsacks (one row, maximise) and set covers (rows of 5 terms, minimise).
What is timed: every model of a kind built, solved and its objective read, in one sample."""

from __future__ import annotations

import math

from timing import sample

ROWS = [
    ("w9_lp", "W9 tiny LPs, build and solve"),
    ("w9_mip", "W9 tiny MIPs, build and solve"),
]
COVER_TERMS = 5


class Model:
    """One tiny model: n columns in [0, 1], rows `vars`/`coeffs`/`senses`/`rhss`, the
    objective `cost` (maximised for a knapsack), and integer columns for a MIP."""

    def __init__(self, rng, k):
        self.n = n = 10 + (7 * k) % 41
        self.integer = k % 2 == 1
        items = list(range(n))
        if k % 4 < 2:  # a knapsack
            weights = rng.integers(5, 50, n).astype(float).tolist()
            self.cost = rng.integers(10, 100, n).astype(float).tolist()
            self.vars, self.coeffs = [items], [weights]
            self.senses, self.rhss = ["<"], [0.3 * sum(weights)]
            self.maximise = True
        else:  # a set cover
            rows = n // 2
            self.cost = rng.integers(1, 20, n).astype(float).tolist()
            self.vars = [sorted(rng.choice(n, COVER_TERMS, replace=False).tolist()) for _ in range(rows)]
            self.coeffs = [[1.0] * COVER_TERMS for _ in range(rows)]
            self.senses, self.rhss = [">"] * rows, [1.0] * rows
            self.maximise = False
        self.items = items
        self.lbs = [0.0] * n
        self.ubs = [1.0] * n
        self.vtypes = ["B" if self.integer else "C"] * n
        self.consts = [0.0] * len(self.rhss)


class Inputs:
    def __init__(self, scale):
        import numpy as np

        rng = np.random.default_rng(9)
        self.count = max(8, int(1_000 * scale))
        self.models = [Model(rng, k) for k in range(self.count)]

    def of_kind(self, key):
        return [m for m in self.models if m.integer == (key == "w9_mip")]


def module_like(style, is_floor):
    """Ours, the floor and the contract floor: the module's methods (the floor takes every
    argument of add_variables by position)."""

    def solve(d):
        m = style.new()
        style.silent(m)
        if is_floor:
            m.add_variables(d.n, d.lbs, d.ubs, d.vtypes)
        else:
            m.add_variables(d.n, ubs=d.ubs, vtypes=d.vtypes)
        m.add_constraints(d.vars, d.coeffs, d.consts, d.senses, d.rhss)
        m.set_objective(d.items, d.cost, 0.0, 1 if d.maximise else 0)
        m.optimize()
        return m.get_objective_value()

    return lambda models: lambda: [solve(d) for d in models], []


def highspy_solver():
    import highspy
    import numpy as np

    inf = highspy.kHighsInf

    def prepare(d):
        starts = np.cumsum([0] + [len(v) for v in d.vars[:-1]]).astype(np.int32)
        return (
            d,
            np.array([x for v in d.vars for x in v], dtype=np.int32),
            np.array([x for c in d.coeffs for x in c]),
            starts,
            np.array([-inf if s == "<" else r for s, r in zip(d.senses, d.rhss)]),
            np.array([inf if s == ">" else r for s, r in zip(d.senses, d.rhss)]),
            np.array(d.lbs),
            np.array(d.ubs),
            np.array(d.cost),
            np.arange(d.n, dtype=np.int32),
        )

    def solve(p):
        d, index, value, starts, lower, upper, lbs, ubs, cost, cols = p
        h = highspy.Highs()
        h.setOptionValue("output_flag", False)
        h.addVars(d.n, lbs, ubs)
        if d.integer:
            h.changeColsIntegrality(d.n, cols, np.ones(d.n, dtype=np.int32))
        h.addRows(len(lower), lower, upper, len(index), starts, index, value)
        h.changeColsCost(d.n, cols, cost)
        h.changeObjectiveSense(highspy.ObjSense.kMaximize if d.maximise else highspy.ObjSense.kMinimize)
        h.run()
        return h.getInfo().objective_function_value

    def make(models):
        prepared = [prepare(d) for d in models]
        return lambda: [solve(p) for p in prepared]

    return make, ["W9: its own HiGHS build and default options; arrays prepared before the clock starts"]


def pyoptinterface_solver():
    import pyoptinterface as poi
    from pyoptinterface import highs

    def solve(d):
        m = highs.Model()
        m.set_model_attribute(poi.ModelAttribute.Silent, True)
        domain = poi.VariableDomain.Binary if d.integer else poi.VariableDomain.Continuous
        for _ in range(d.n):
            m.add_variable(domain=domain, lb=0.0, ub=1.0)
        for vs, cs, sense, rhs in zip(d.vars, d.coeffs, d.senses, d.rhss):
            m.add_linear_constraint(poi.ScalarAffineFunction(cs, vs), poi.Leq if sense == "<" else poi.Geq, rhs)
        sense = poi.ObjectiveSense.Maximize if d.maximise else poi.ObjectiveSense.Minimize
        m.set_objective(poi.ScalarAffineFunction(d.cost, d.items), sense)
        m.optimize()
        return m.get_model_attribute(poi.ModelAttribute.ObjectiveValue)

    return lambda models: lambda: [solve(d) for d in models], []


def gurobipy_solver():
    import gurobipy as gp

    env = gp.Env(params={"OutputFlag": 0})

    def solve(d):
        m = gp.Model(env=env)
        xs = m.addVars(d.n, ub=1.0, vtype=gp.GRB.BINARY if d.integer else gp.GRB.CONTINUOUS)
        for vs, cs, sense, rhs in zip(d.vars, d.coeffs, d.senses, d.rhss):
            m.addLConstr(gp.LinExpr(cs, [xs[j] for j in vs]), sense, rhs)
        sense = gp.GRB.MAXIMIZE if d.maximise else gp.GRB.MINIMIZE
        m.setObjective(gp.LinExpr(d.cost, [xs[j] for j in d.items]), sense)
        m.optimize()
        value = m.ObjVal
        m.dispose()
        return value

    return lambda models: lambda: [solve(d) for d in models], []


def highs_direct_solver(direct, problem):
    """HiGHS's C API on arrays prepared before the clock starts (problem(...) makes them)."""

    def prepare(d):
        return problem(
            d.n, d.lbs, d.ubs, d.cost, d.vars, d.coeffs, d.senses, d.rhss, -1 if d.maximise else 1, d.integer
        )

    def make(models):
        prepared = [prepare(d) for d in models]
        return lambda: [direct.solve(p) for p in prepared]

    return make, []


def objective_sum(values):
    """The sum of a kind's objective values, which tells whether tools solved the same models."""
    return math.fsum(v for v in values if v is not None)


def sampler(solver, scale, notes):
    """One sample of both rows: all tiny LPs, then all tiny MIPs, each kind timed together.
    `solver` is (make, notes) from one of the functions above; the first sample's objective
    values are summed into a note, which tells whether the tools solved the same models."""
    make, solver_notes = solver
    inp = Inputs(scale)
    works = {key: make(inp.of_kind(key)) for key, _ in ROWS}
    largest = max(m.n for m in inp.models)
    notes += solver_notes
    checked = []

    def take():
        values = {}
        times = {key: sample(lambda: values.__setitem__(key, work())) for key, work in works.items()}
        if not checked:
            checked.append(True)
            sums = ", ".join(f"{key[3:].upper()}s {objective_sum(values[key]):.6g}" for key in works)
            notes.append(f"W9: {inp.count} models of 10 to {largest} variables; objective values summed: {sums}")
        return times

    return take
