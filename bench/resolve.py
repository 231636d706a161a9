"""W8: re-solves. An LP is solved, then changed and solved again, round after round, as
cutting planes, column generation and rolling horizons do. What is timed: the first solve, and
each round's change and re-solve together."""

from __future__ import annotations

import statistics

from timing import sample

ROWS = [
    ("w8_first", "W8 re-solve: first solve"),
    ("w8_cut", "W8 re-solve: add a cut"),
    ("w8_objective", "W8 re-solve: 20 x (change 20 costs, re-solve)"),
    ("w8_column_row", "W8 re-solve: add a column and a row"),
    ("w8_unchanged", "W8 re-solve: unchanged"),
]
ROUNDS = 10  # per kind of change; the median round is reported
OBJECTIVE_ROUNDS = 20  # objective changes, timed together
TERMS = 20  # per row, per cut and per objective change


class Inputs:
    """max c.x  s.t.  A x <= b, 0 <= x <= 10: m rows of TERMS positive terms over n columns,
    and the changes of every round, all made before the clock starts."""

    def __init__(self, scale):
        import numpy as np

        rng = np.random.default_rng(8)
        self.n = max(20, int(2_400 * scale))
        self.m = max(10, int(1_200 * scale))
        terms = min(TERMS, self.n)

        def row():
            return sorted(rng.choice(self.n, terms, replace=False).tolist()), rng.uniform(1, 10, terms).tolist()

        self.obj = rng.uniform(1, 10, self.n).tolist()
        self.rows = [row() for _ in range(self.m)]
        self.rhs = 100.0
        self.cuts = [row() for _ in range(ROUNDS)]
        self.cut_rhs = 30.0
        self.objectives = []
        for _ in range(OBJECTIVE_ROUNDS):
            changed = sorted(rng.choice(self.n, terms, replace=False).tolist())
            self.objectives.append((changed, rng.uniform(1, 10, terms).tolist()))
        self.new_rows = [row() for _ in range(ROUNDS)]


def median_round(change, solve):
    """The median of ROUNDS rounds of change(r) followed by solve()."""
    return statistics.median(sample(lambda: (change(r), solve())) for r in range(ROUNDS))


def objective_rounds(change, solve):
    """OBJECTIVE_ROUNDS rounds of change(r) followed by solve(), timed together."""
    return sample(lambda: [(change(r), solve()) for r in range(OBJECTIVE_ROUNDS)])


class ModuleLike:
    """Ours and the contract floor: `new()` makes a silent, empty model."""

    def __init__(self, inp, new):
        self.inp = inp
        self.m = new()
        self.x = self.m.add_variables(inp.n, ubs=[10.0] * inp.n)
        self.obj = list(inp.obj)
        for cols, coeffs in inp.rows:
            self.m.add_constraint(cols, coeffs, 0.0, "<", inp.rhs)
        self.m.set_objective(self.x, self.obj, 0.0, 1)

    def solve(self):
        self.m.optimize()

    def cut(self, r):
        cols, coeffs = self.inp.cuts[r]
        self.m.add_constraint(cols, coeffs, 0.0, "<", self.inp.cut_rhs)

    def objective(self, r):
        # The module's objective is set whole.
        for j, c in zip(*self.inp.objectives[r]):
            self.obj[j] = c
        self.m.set_objective(self.x, self.obj, 0.0, 1)

    def column_row(self, r):
        cols, coeffs = self.inp.new_rows[r]
        new = self.m.add_variable(ub=10.0)
        self.m.add_constraint([*cols, new], [*coeffs, 1.0], 0.0, "<", self.inp.rhs)


class Highspy:
    def __init__(self, inp):
        import highspy
        import numpy as np

        self.np, self.inp = np, inp
        h = self.h = highspy.Highs()
        h.setOptionValue("output_flag", False)
        n = inp.n
        h.addVars(n, np.zeros(n), np.full(n, 10.0))
        h.changeColsCost(n, np.arange(n, dtype=np.int32), np.array(inp.obj))
        h.changeObjectiveSense(highspy.ObjSense.kMaximize)
        for cols, coeffs in inp.rows:
            self.add_row(cols, coeffs, inp.rhs)

    def add_row(self, cols, coeffs, rhs):
        np = self.np
        self.h.addRow(-np.inf, rhs, len(cols), np.array(cols, dtype=np.int32), np.array(coeffs))

    def solve(self):
        self.h.run()

    def cut(self, r):
        self.add_row(*self.inp.cuts[r], self.inp.cut_rhs)

    def objective(self, r):
        cols, costs = self.inp.objectives[r]
        self.h.changeColsCost(len(cols), self.np.array(cols, dtype=self.np.int32), self.np.array(costs))

    def column_row(self, r):
        cols, coeffs = self.inp.new_rows[r]
        self.h.addVar(0.0, 10.0)
        self.add_row([*cols, self.h.getNumCol() - 1], [*coeffs, 1.0], self.inp.rhs)


class Pyoptinterface:
    def __init__(self, inp):
        import pyoptinterface as poi
        from pyoptinterface import highs

        self.poi, self.inp = poi, inp
        m = self.m = highs.Model()
        m.set_model_attribute(poi.ModelAttribute.Silent, True)
        self.x = [m.add_variable(lb=0.0, ub=10.0) for _ in range(inp.n)]
        for cols, coeffs in inp.rows:
            self.add_row(cols, coeffs, inp.rhs)
        m.set_objective(poi.ScalarAffineFunction(inp.obj, list(range(inp.n))), poi.ObjectiveSense.Maximize)

    def add_row(self, cols, coeffs, rhs):
        # Its functions take variables by index.
        f = self.poi.ScalarAffineFunction(coeffs, [self.x[j].index for j in cols])
        self.m.add_linear_constraint(f, self.poi.Leq, rhs)

    def solve(self):
        self.m.optimize()

    def cut(self, r):
        self.add_row(*self.inp.cuts[r], self.inp.cut_rhs)

    def objective(self, r):
        for j, c in zip(*self.inp.objectives[r]):
            self.m.set_objective_coefficient(self.x[j], c)

    def column_row(self, r):
        cols, coeffs = self.inp.new_rows[r]
        self.x.append(self.m.add_variable(lb=0.0, ub=10.0))
        self.add_row([*cols, len(self.x) - 1], [*coeffs, 1.0], self.inp.rhs)


def sampler(tool, scale, notes, new_model=None):
    """A function taking one sample of W8's rows for the tools that re-solve in place (a fresh
    model, its first solve, then the rounds of each kind of change); None for the others.
    `new_model` makes a silent, empty model for the tools with the module's methods."""
    if new_model is not None:
        model = lambda inp: ModuleLike(inp, new_model)  # noqa: E731
    elif tool == "highspy":
        model = Highspy
    elif tool == "pyoptinterface":
        model = Pyoptinterface
    else:
        return None
    inp = Inputs(scale)
    notes.append(
        f"W8: {inp.m} x {inp.n} LP, the median of {ROUNDS} rounds of a cut, of a column and a row, and of "
        f"an unchanged re-run; {OBJECTIVE_ROUNDS} objective changes timed together"
    )

    def take():
        m = model(inp)
        times = {"w8_first": sample(m.solve)}
        times["w8_cut"] = median_round(m.cut, m.solve)
        times["w8_objective"] = objective_rounds(m.objective, m.solve)
        times["w8_column_row"] = median_round(m.column_row, m.solve)
        times["w8_unchanged"] = median_round(lambda r: None, m.solve)
        return times

    return take
