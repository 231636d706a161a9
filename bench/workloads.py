"""The workloads of the bench: for each tool, a function per workload that takes one sample.

Inputs are made before the clock starts; only the building, solving or reading call is
timed, on a fresh model every time. `measure` runs every tool in this process and takes one
sample of each tool's workload in turn, round after round, so that a change of the machine's
load weighs on all tools alike.
"""

from __future__ import annotations

import ctypes
import hashlib
import importlib.util
import json
import math
import os
import shutil
import subprocess
import sys
import sysconfig
import tempfile

import resolve
import tiny
from timing import sample, sample_fresh

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

# (result key, table label) in table order.
ROWS = [
    ("w1_lists", "W1 add_variables, lists"),
    ("w1_numpy", "W1 add_variables, NumPy"),
    ("w2", "W2 add_variable x n"),
    ("w3_lists", "W3 add_constraints, lists"),
    ("w3_numpy", "W3 add_constraints, NumPy"),
    ("w3_2d", "W3 add_constraints, 2-D NumPy"),
    ("w4", "W4 add_constraint x n"),
    ("w5_lists", "W5 set_objective, lists"),
    ("w5_numpy", "W5 set_objective, NumPy"),
    ("w6", "W6 get_var_value x n"),
    ("w7_transport_build", "W7 transport LP build"),
    ("w7_transport_solve", "W7 transport LP solve"),
    ("w7_knapsack_build", "W7 knapsack MIP build"),
    ("w7_knapsack_solve", "W7 knapsack MIP solve"),
    *resolve.ROWS,
    *tiny.ROWS,
]

# Workloads in the order they are sampled in each round; W7's and W8's give several rows.
GROUPS = [
    "w1_lists",
    "w1_numpy",
    "w2",
    "w3_lists",
    "w3_numpy",
    "w3_2d",
    "w4",
    "w5_lists",
    "w5_numpy",
    "w6",
    "w7_transport",
    "w7_knapsack",
    "w8",
    "w9",
]

TERMS = 10  # terms per constraint in W3 and W4


class Skip(Exception):
    """A workload this tool cannot run; the message says why."""


# ---------------------------------------------------------------- inputs


class Inputs:
    def __init__(self, scale):
        import numpy as np

        rng = np.random.default_rng(20240611)
        self.n1 = max(10, int(1_000_000 * scale))
        self.n2 = max(10, int(200_000 * scale))
        self.n3 = max(10, int(200_000 * scale))
        self.n5 = max(10, int(1_000_000 * scale))
        self.n6 = max(10, int(1_000_000 * scale))
        side = max(3, int(round(300 * math.sqrt(scale))))
        self.sources = self.sinks = side
        self.items = max(20, int(round(1_000 * math.sqrt(scale))))

        self.lbs_np = rng.uniform(-10.0, 0.0, self.n1)
        self.ubs_np = rng.uniform(1.0, 10.0, self.n1)
        self.lbs = self.lbs_np.tolist()
        self.ubs = self.ubs_np.tolist()
        self.vtypes = ["I" if i % 10 == 0 else "C" for i in range(self.n1)]

        self.w2_lbs = self.lbs[: self.n2]
        self.w2_ubs = self.ubs[: self.n2]

        # W3/W4: n3 rows of TERMS distinct variables among n3.
        self.row_vars_np = np.sort(
            rng.integers(0, self.n3 // TERMS, (self.n3, TERMS)) * TERMS + np.arange(TERMS), axis=1
        ).astype(np.int64)
        self.row_coeffs_np = rng.uniform(-5.0, 5.0, (self.n3, TERMS))
        self.fs_vars = self.row_vars_np.tolist()
        self.fs_coeffs = self.row_coeffs_np.tolist()
        self.fs_vars_np = list(self.row_vars_np)
        self.fs_coeffs_np = list(self.row_coeffs_np)
        self.fs_consts = [0.0] * self.n3
        self.senses = ["<"] * self.n3
        self.rhss = rng.uniform(1.0, 100.0, self.n3).tolist()
        # W3 from two 2-D arrays: the first n3_2d of the rows above.
        self.n3_2d = max(10, int(100_000 * scale))
        self.rows_2d = (
            self.row_vars_np[: self.n3_2d],
            self.row_coeffs_np[: self.n3_2d],
            self.fs_consts[: self.n3_2d],
            self.senses[: self.n3_2d],
            self.rhss[: self.n3_2d],
        )

        self.obj_vars_np = np.arange(self.n5, dtype=np.int64)
        self.obj_coeffs_np = rng.uniform(-1.0, 1.0, self.n5)
        self.obj_vars = self.obj_vars_np.tolist()
        self.obj_coeffs = self.obj_coeffs_np.tolist()

        # Transportation: supply rows (<=), demand rows (>=), cost per arc.
        s, t = self.sources, self.sinks
        self.cost = rng.uniform(1.0, 20.0, s * t).tolist()
        self.supply = rng.uniform(50.0, 100.0, s).tolist()
        demand = rng.uniform(10.0, 60.0, t)
        demand *= 0.9 * sum(self.supply) / demand.sum()
        self.demand = demand.tolist()
        self.t_vars = [[i * t + j for j in range(t)] for i in range(s)] + [
            [i * t + j for i in range(s)] for j in range(t)
        ]
        self.t_coeffs = [[1.0] * t for _ in range(s)] + [[1.0] * s for _ in range(t)]
        self.t_senses = ["<"] * s + [">"] * t
        self.t_rhss = self.supply + self.demand

        # Knapsack: binary items, a few capacity rows, maximise value.
        k = self.items
        self.k_value = rng.integers(10, 100, k).astype(float).tolist()
        self.k_rows = 3
        self.k_weight = [rng.integers(5, 50, k).astype(float).tolist() for _ in range(self.k_rows)]
        self.k_capacity = [0.3 * sum(w) for w in self.k_weight]


# ---------------------------------------------------------------- sampling


class Samplers(dict):
    """Workload (one of GROUPS) -> a function taking one sample of its rows: {row key: seconds}."""

    def timed(self, key, setup, work, group=None):
        self[group or key] = lambda: {key: sample_fresh(setup, work)}

    def split(self, key, build, solve):
        """build() and solve(model) timed separately: rows key_build and key_solve."""

        def take():
            built = []
            times = {key + "_build": sample(lambda: built.append(build()))}
            times[key + "_solve"] = sample(lambda: solve(built[0]))
            return times

        self[key] = take


# ---------------------------------------------------------------- ours and the floor


def standin_path():
    import velkin_gurobi_standin

    return velkin_gurobi_standin.library_path()


def build_tool(name):
    """A build tool beside the running interpreter (a virtual environment's own), else on PATH."""
    beside = os.path.join(os.path.dirname(sys.executable), name)
    return beside if os.access(beside, os.X_OK) else shutil.which(name)


def run_build_step(command):
    """Runs a CMake step, showing its output only when it fails."""
    result = subprocess.run(command, capture_output=True, text=True)
    if result.returncode != 0:
        raise RuntimeError(f"{' '.join(command)} failed:\n{result.stdout}{result.stderr}")


def build_floor():
    """Builds the floor (the velkin_floor target of bench/CMakeLists.txt) for this
    interpreter, cached by what it is built from, and imports it."""
    include = os.path.join(ROOT, "crates", "kesto-solver-gurobi", "include")
    inputs = [
        os.path.join(HERE, "floor.cpp"),
        os.path.join(HERE, "floor_model.cpp"),
        os.path.join(HERE, "floor_model.hpp"),
        os.path.join(HERE, "contract_floor.cpp"),
        os.path.join(HERE, "CMakeLists.txt"),
        os.path.join(ROOT, "cmake", "VelkinDefaults.cmake"),
        os.path.join(ROOT, "crates", "kesto-solver-gurobi", "gurobi_c.cmake"),
    ]
    headers = (os.path.join(folder, name) for folder, _, names in os.walk(include) for name in names)
    content = hashlib.sha256((sys.executable + sys.version).encode())
    for path in [*inputs, *sorted(headers)]:
        with open(path, "rb") as f:
            content.update(f.read())
    digest = content.hexdigest()[:16]
    suffix = sysconfig.get_config_var("EXT_SUFFIX") or ".so"
    build_dir = os.path.join(tempfile.gettempdir(), f"velkin-floor-{digest}")
    target = os.path.join(build_dir, "velkin_floor" + suffix)
    if not os.path.exists(target):
        cmake, ninja = build_tool("cmake"), build_tool("ninja")
        if cmake is None:
            raise RuntimeError("the floor is built with CMake: install cmake (the test extra has it)")
        generator = ["-G", "Ninja", f"-DCMAKE_MAKE_PROGRAM={ninja}"] if ninja else []
        scratch = f"{build_dir}.{os.getpid()}"
        run_build_step(
            [
                cmake,
                "-S",
                HERE,
                "-B",
                scratch,
                *generator,
                "-DCMAKE_BUILD_TYPE=Release",
                "-DVELKIN_WERROR=ON",
                f"-DPython_EXECUTABLE={sys.executable}",
            ]
        )
        run_build_step([cmake, "--build", scratch])
        os.makedirs(build_dir, exist_ok=True)
        os.replace(os.path.join(scratch, "velkin_floor" + suffix), target)
        shutil.rmtree(scratch, ignore_errors=True)
    module_spec = importlib.util.spec_from_file_location("velkin_floor", target)
    module = importlib.util.module_from_spec(module_spec)
    module_spec.loader.exec_module(module)
    return module


class CallStyle:
    """Ours and the floor offer the same methods; `new()` makes an empty model."""

    def __init__(self, new, silent):
        self.new = new
        self.silent = silent


def ours_style():
    from velkin_gurobi import Model

    path = standin_path()

    def new():
        return Model(dll_path=path)

    def silent(m):
        m.set_optimizer_attr("Silent", True)

    return CallStyle(new, silent)


def floor_style():
    floor = build_floor()
    path = standin_path()
    return CallStyle(lambda: floor.FloorModel(path), lambda m: m.silence())


def contract_style():
    """The contract floor: the floor's work behind the module's calling convention, called
    exactly as the module is."""
    floor = build_floor()
    path = standin_path()

    def silent(m):
        m.set_optimizer_attr("Silent", True)

    return CallStyle(lambda: floor.ContractModel(path), silent)


def with_vars(style, n, is_floor):
    """A setup: an empty model of `style` with n continuous variables."""

    def setup():
        m = style.new()
        m.add_variables(n, [0.0] * n, [1e6] * n, ["C"] * n) if is_floor else m.add_variables(n)
        return m

    return setup


def module_like(style, inp, notes, is_floor):
    """The module's and the floor's samplers: they offer the same methods."""
    new = style.new
    s = Samplers()

    if is_floor:
        s.timed("w1_lists", new, lambda m: m.add_variables(inp.n1, inp.lbs, inp.ubs, inp.vtypes))
        s.timed("w1_numpy", new, lambda m: m.add_variables(inp.n1, inp.lbs_np, inp.ubs_np, inp.vtypes))
    else:
        s.timed("w1_lists", new, lambda m: m.add_variables(inp.n1, lbs=inp.lbs, ubs=inp.ubs, vtypes=inp.vtypes))
        s.timed("w1_numpy", new, lambda m: m.add_variables(inp.n1, lbs=inp.lbs_np, ubs=inp.ubs_np, vtypes=inp.vtypes))

    def w2(m):
        add = m.add_variable
        for lb, ub in zip(inp.w2_lbs, inp.w2_ubs):
            add(lb=lb, ub=ub)

    s.timed("w2", new, w2)

    rows_setup = with_vars(style, inp.n3, is_floor)
    s.timed(
        "w3_lists",
        rows_setup,
        lambda m: m.add_constraints(inp.fs_vars, inp.fs_coeffs, inp.fs_consts, inp.senses, inp.rhss),
    )
    s.timed(
        "w3_numpy",
        rows_setup,
        lambda m: m.add_constraints(inp.fs_vars_np, inp.fs_coeffs_np, inp.fs_consts, inp.senses, inp.rhss),
    )
    s.timed("w3_2d", rows_setup, lambda m: m.add_constraints(*inp.rows_2d))

    def w4(m):
        add = m.add_constraint
        for vs, cs, rhs in zip(inp.fs_vars, inp.fs_coeffs, inp.rhss):
            add(vs, cs, 0.0, "<", rhs)

    s.timed("w4", rows_setup, w4)

    objective_setup = with_vars(style, inp.n5, is_floor)
    s.timed("w5_lists", objective_setup, lambda m: m.set_objective(inp.obj_vars, inp.obj_coeffs, 0.0, 0))
    s.timed("w5_numpy", objective_setup, lambda m: m.set_objective(inp.obj_vars_np, inp.obj_coeffs_np, 0.0, 0))

    def solved():
        m = with_vars(style, inp.n6, is_floor)()
        style.silent(m)
        m.optimize()
        return m

    def w6(m):
        get = m.get_var_value
        for i in range(inp.n6):
            get(i)

    s.timed("w6", solved, w6)

    st, t = inp.sources, inp.sinks

    def transport():
        m = new()
        n = st * t
        if is_floor:
            m.add_variables(n, [0.0] * n, [1e100] * n, ["C"] * n)
        else:
            m.add_variables(n)
        m.add_constraints(inp.t_vars, inp.t_coeffs, [0.0] * (st + t), inp.t_senses, inp.t_rhss)
        m.set_objective(list(range(n)), inp.cost, 0.0, 0)
        return m

    def knapsack():
        m = new()
        k = inp.items
        if is_floor:
            m.add_variables(k, [0.0] * k, [1.0] * k, ["B"] * k)
        else:
            m.add_variables(k, vtypes=["B"] * k)
        items = list(range(k))
        m.add_constraints([items] * inp.k_rows, inp.k_weight, [0.0] * inp.k_rows, ["<"] * inp.k_rows, inp.k_capacity)
        m.set_objective(items, inp.k_value, 0.0, 1)
        return m

    def solve(m):
        style.silent(m)
        m.optimize()

    s.split("w7_transport", transport, solve)
    s.split("w7_knapsack", knapsack, solve)
    if not is_floor:
        check = transport()
        solve(check)
        notes.append(f"transport objective {check.get_objective_value():.6g}")
    return s


def batch_limit(inp, notes):
    """The stand-in's batch calls from C on arrays prepared before the clock starts: one
    GRBaddconstrs for W3's rows, one GRBsetdblattrarray for W5's objective."""
    import numpy as np

    floor = floor_style()
    s = Samplers()

    def csr_arrays(vars_2d, coeffs_2d, rhss):
        count, terms = vars_2d.shape
        return (
            np.arange(0, count * terms, terms, dtype=np.int32),
            np.ascontiguousarray(vars_2d, dtype=np.int32).ravel(),
            np.ascontiguousarray(coeffs_2d, dtype=np.float64).ravel(),
            b"<" * count,
            np.array(rhss, dtype=np.float64),
        )

    rows_setup = with_vars(floor, inp.n3, True)
    rows = csr_arrays(inp.row_vars_np, inp.row_coeffs_np, inp.rhss)
    for key in ("w3_lists", "w3_numpy"):
        s.timed(key, rows_setup, lambda m: m.add_constraints_batch(*rows))
    rows_2d = csr_arrays(inp.rows_2d[0], inp.rows_2d[1], inp.rows_2d[4])
    s.timed("w3_2d", rows_setup, lambda m: m.add_constraints_batch(*rows_2d))
    # W5's variables are 0..n-1 in order, so its coefficients are the whole objective.
    objective = np.zeros(inp.n5)
    objective[inp.obj_vars_np] = inp.obj_coeffs_np
    for key in ("w5_lists", "w5_numpy"):
        s.timed(key, with_vars(floor, inp.n5, True), lambda m: m.set_objective_batch(objective, 0.0, 0))
    notes.append("W3 and W5 only: one GRBaddconstrs / GRBsetdblattrarray on prepared arrays, from C")
    return s


def memory_probe(make, floor):
    """Peak memory of W3 in a fresh process (ru_maxrss cannot be reset otherwise)."""
    code = f"""
import gc, json, ctypes, sys
sys.path.insert(0, {HERE!r})
import workloads as w
def rss(field):
    for line in open('/proc/self/status'):
        if line.startswith(field):
            return int(line.split()[1]) / 1024.0
libc = ctypes.CDLL(None)
inp_scale = {make!r}
style = w.floor_style() if {floor!r} else w.ours_style()
m = style.new()
n = int(200_000 * inp_scale)
m.add_variables(n, [0.0] * n, [1e6] * n, ["C"] * n) if {floor!r} else m.add_variables(n)
m.update()
import numpy as np
gc.collect(); libc.malloc_trim(0)
base = rss('VmRSS:')
rng = np.random.default_rng(1)
fs_vars = (np.sort(rng.integers(0, n // 10, (n, 10)) * 10 + np.arange(10), axis=1)).tolist()
fs_coeffs = rng.uniform(-5.0, 5.0, (n, 10)).tolist()
consts = [0.0] * n; senses = ['<'] * n; rhss = rng.uniform(1.0, 100.0, n).tolist()
gc.collect(); libc.malloc_trim(0)
with_input = rss('VmRSS:')
open('/proc/self/clear_refs', 'w').write('5')
result = m.add_constraints(fs_vars, fs_coeffs, consts, senses, rhss)
peak = rss('VmHWM:')
del fs_vars, fs_coeffs, consts, senses, rhss
gc.collect(); libc.malloc_trim(0)
after = rss('VmRSS:')
result_mb = (sys.getsizeof(result) + 32 * len(result)) / 2**20
print(json.dumps({{"input_mb": with_input - base, "peak_mb": peak - base,
                  "storage_mb": max(after - base - result_mb, 0.0)}}))
"""
    proc = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True)
    if proc.returncode != 0:
        return None
    return json.loads(proc.stdout.strip().splitlines()[-1])


# ---------------------------------------------------------------- peers


def first_clause(error):
    """An error's text up to its first ';' (the licence message goes on with a web address)."""
    return str(error).split(";")[0].strip()


def need(module):
    if importlib.util.find_spec(module) is None:
        raise Skip("not installed (pip install -r bench/requirements.txt)")


def csr(rows_vars, rows_coeffs):
    """Row starts, indices and values of lists of lists, as flat Python lists."""
    starts, indices, values = [], [], []
    for vs, cs in zip(rows_vars, rows_coeffs):
        starts.append(len(indices))
        indices.extend(vs)
        values.extend(cs)
    return starts, indices, values


def highspy_samplers(inp, notes):
    need("highspy")
    import highspy
    import numpy as np

    s = Samplers()
    inf = highspy.kHighsInf

    def new():
        h = highspy.Highs()
        h.setOptionValue("output_flag", False)
        return h

    int_cols = [i for i, v in enumerate(inp.vtypes) if v == "I"]

    def w1_lists(h):
        h.addVars(inp.n1, inp.lbs, inp.ubs)
        h.changeColsIntegrality(len(int_cols), int_cols, [1] * len(int_cols))

    vt_np = np.array([1 if v == "I" else 0 for v in inp.vtypes], dtype=np.int32)
    int_np = np.flatnonzero(vt_np).astype(np.int32)

    def w1_numpy(h):
        h.addVars(inp.n1, inp.lbs_np, inp.ubs_np)
        h.changeColsIntegrality(len(int_np), int_np, vt_np[int_np])

    s.timed("w1_lists", new, w1_lists)
    s.timed("w1_numpy", new, w1_numpy)

    def w2(h):
        add = h.addVar
        for lb, ub in zip(inp.w2_lbs, inp.w2_ubs):
            add(lb, ub)

    s.timed("w2", new, w2)

    n3 = inp.n3

    def with_vars(n):
        def setup():
            h = new()
            h.addVars(n, np.zeros(n), np.full(n, 1e6))
            return h

        return setup

    def w3_lists(h):
        starts, indices, values = csr(inp.fs_vars, inp.fs_coeffs)
        lower = [-inf if sense == "<" else r for sense, r in zip(inp.senses, inp.rhss)]
        upper = [inf if sense == ">" else r for sense, r in zip(inp.senses, inp.rhss)]
        h.addRows(n3, lower, upper, len(indices), starts, indices, values)

    s.timed("w3_lists", with_vars(n3), w3_lists)
    starts_np = np.arange(0, n3 * TERMS, TERMS, dtype=np.int32)
    index_np = inp.row_vars_np.astype(np.int32).ravel()
    value_np = inp.row_coeffs_np.ravel()
    rhs_np = np.array(inp.rhss)

    def w3_numpy(h):
        h.addRows(n3, np.full(n3, -inf), rhs_np, n3 * TERMS, starts_np, index_np, value_np)

    s.timed("w3_numpy", with_vars(n3), w3_numpy)
    n2d = inp.n3_2d
    index_2d, value_2d = index_np[: n2d * TERMS], value_np[: n2d * TERMS]

    def w3_2d(h):
        h.addRows(n2d, np.full(n2d, -inf), rhs_np[:n2d], n2d * TERMS, starts_np[:n2d], index_2d, value_2d)

    s.timed("w3_2d", with_vars(n3), w3_2d)
    notes.append("W3 NumPy and 2-D NumPy: one addRows call on prepared CSR arrays (int32 indices)")

    def w4(h):
        add = h.addRow
        for vs, cs, rhs in zip(inp.fs_vars, inp.fs_coeffs, inp.rhss):
            add(-inf, rhs, TERMS, vs, cs)

    s.timed("w4", with_vars(n3), w4)

    def w5(h, vars_, coeffs):
        h.changeColsCost(len(vars_), vars_, coeffs)
        h.changeObjectiveOffset(0.0)
        h.changeObjectiveSense(highspy.ObjSense.kMinimize)

    s.timed("w5_lists", with_vars(inp.n5), lambda h: w5(h, inp.obj_vars, inp.obj_coeffs))
    obj_vars32 = inp.obj_vars_np.astype(np.int32)
    s.timed("w5_numpy", with_vars(inp.n5), lambda h: w5(h, obj_vars32, inp.obj_coeffs_np))

    def solved():
        h = with_vars(inp.n6)()
        h.run()
        return h

    def w6(h):
        values = h.getSolution().col_value
        for i in range(inp.n6):
            values[i]

    s.timed("w6", solved, w6)
    notes.append("W6: one getSolution() then indexing its col_value list (no per-value call)")

    st, t = inp.sources, inp.sinks

    def transport():
        h = new()
        n = st * t
        h.addVars(n, [0.0] * n, [inf] * n)
        starts, indices, values = csr(inp.t_vars, inp.t_coeffs)
        lower = [-inf] * st + inp.demand
        upper = inp.supply + [inf] * t
        h.addRows(st + t, lower, upper, len(indices), starts, indices, values)
        h.changeColsCost(n, list(range(n)), inp.cost)
        h.changeObjectiveSense(highspy.ObjSense.kMinimize)
        return h

    def knapsack():
        h = new()
        k = inp.items
        h.addVars(k, [0.0] * k, [1.0] * k)
        h.changeColsIntegrality(k, list(range(k)), [1] * k)
        items = list(range(k))
        starts, indices, values = csr([items] * inp.k_rows, inp.k_weight)
        h.addRows(inp.k_rows, [-inf] * inp.k_rows, inp.k_capacity, len(indices), starts, indices, values)
        h.changeColsCost(k, items, inp.k_value)
        h.changeObjectiveSense(highspy.ObjSense.kMaximize)
        return h

    s.split("w7_transport", transport, lambda h: h.run())
    s.split("w7_knapsack", knapsack, lambda h: h.run())
    notes.append(f"HiGHS {new().version()} (its own build), default options")
    return s


def pyoptinterface_samplers(inp, notes):
    need("pyoptinterface")
    import pyoptinterface as poi
    from pyoptinterface import highs

    if not highs.autoload_library():
        raise Skip("its HiGHS library was not found (pip install highsbox)")
    s = Samplers()

    def new():
        m = highs.Model()
        m.set_model_attribute(poi.ModelAttribute.Silent, True)
        return m

    CONTINUOUS, INTEGER = poi.VariableDomain.Continuous, poi.VariableDomain.Integer

    def w1(m):
        add = m.add_variable
        for lb, ub, vt in zip(inp.lbs, inp.ubs, inp.vtypes):
            add(domain=INTEGER if vt == "I" else CONTINUOUS, lb=lb, ub=ub)

    s.timed("w1_lists", new, w1)
    notes.append("W1: add_variable per variable (no batch with per-variable bounds)")

    def w2(m):
        add = m.add_variable
        for lb, ub in zip(inp.w2_lbs, inp.w2_ubs):
            add(lb=lb, ub=ub)

    s.timed("w2", new, w2)

    def with_vars(n):
        def setup():
            m = new()
            m.xs = [m.add_variable(lb=0.0, ub=1e6) for _ in range(n)]
            return m

        return setup

    Saf, Leq = poi.ScalarAffineFunction, poi.Leq

    def w4(m):
        add = m.add_linear_constraint
        for vs, cs, rhs in zip(inp.fs_vars, inp.fs_coeffs, inp.rhss):
            add(Saf(cs, vs), Leq, rhs)

    s.timed("w4", with_vars(inp.n3), w4)
    notes.append("W3 lists: no batch call for lists; add_linear_constraint per row is W4")
    try:
        import numpy as np
        import scipy.sparse as sp

        matrix = sp.csr_array(
            (inp.row_coeffs_np.ravel(), inp.row_vars_np.ravel(), np.arange(0, inp.n3 * TERMS + 1, TERMS)),
            shape=(inp.n3, inp.n3),
        )
        rhs = np.array(inp.rhss)
        s.timed("w3_numpy", with_vars(inp.n3), lambda m: m.add_m_linear_constraints(matrix, m.xs, Leq, rhs))
        notes.append("W3 NumPy: add_m_linear_constraints with a prepared SciPy CSR matrix")
    except ImportError:
        notes.append("W3 NumPy: skipped, SciPy not installed")

    def w5(m):
        m.set_objective(Saf(inp.obj_coeffs, inp.obj_vars), poi.ObjectiveSense.Minimize)

    s.timed("w5_lists", with_vars(inp.n5), w5)

    def solved():
        m = with_vars(inp.n6)()
        m.optimize()
        return m

    def w6(m):
        get = m.get_value
        for x in m.xs:
            get(x)

    s.timed("w6", solved, w6)

    st, t = inp.sources, inp.sinks

    def transport():
        m = new()
        n = st * t
        xs = [m.add_variable(lb=0.0) for _ in range(n)]
        for vs, cs, sense, rhs in zip(inp.t_vars, inp.t_coeffs, inp.t_senses, inp.t_rhss):
            m.add_linear_constraint(Saf(cs, vs), Leq if sense == "<" else poi.Geq, rhs)
        m.set_objective(Saf(inp.cost, list(range(n))), poi.ObjectiveSense.Minimize)
        del xs
        return m

    def knapsack():
        m = new()
        k = inp.items
        for _ in range(k):
            m.add_variable(domain=poi.VariableDomain.Binary)
        items = list(range(k))
        for w, cap in zip(inp.k_weight, inp.k_capacity):
            m.add_linear_constraint(Saf(w, items), Leq, cap)
        m.set_objective(Saf(inp.k_value, items), poi.ObjectiveSense.Maximize)
        return m

    s.split("w7_transport", transport, lambda m: m.optimize())
    s.split("w7_knapsack", knapsack, lambda m: m.optimize())
    return s


def gurobipy_samplers(inp, notes):
    need("gurobipy")
    import gurobipy as gp
    import numpy as np

    try:
        env = gp.Env(params={"OutputFlag": 0})
    except gp.GurobiError as error:
        raise Skip(f"no licence usable: {first_clause(error)}") from None

    def new():
        return gp.Model(env=env)

    s = Samplers()
    s.timed("w1_lists", new, lambda m: m.addVars(inp.n1, lb=inp.lbs, ub=inp.ubs, vtype=inp.vtypes))
    vt_np = np.array(inp.vtypes)
    s.timed("w1_numpy", new, lambda m: m.addMVar(inp.n1, lb=inp.lbs_np, ub=inp.ubs_np, vtype=vt_np))

    def w2(m):
        add = m.addVar
        for lb, ub in zip(inp.w2_lbs, inp.w2_ubs):
            add(lb=lb, ub=ub)

    s.timed("w2", new, w2)

    class Holder:
        """A model with its variables (gurobipy models take no new attributes)."""

        def __init__(self, model, xl):
            self.model, self.xl = model, xl

    def with_vars(n):
        def setup():
            m = new()
            xs = m.addVars(n, lb=0.0, ub=1e6)
            m.update()
            return Holder(m, [xs[i] for i in range(n)])

        return setup

    def w4(h):
        add, xl, LinExpr = h.model.addLConstr, h.xl, gp.LinExpr
        for vs, cs, rhs in zip(inp.fs_vars, inp.fs_coeffs, inp.rhss):
            add(LinExpr(cs, [xl[j] for j in vs]), "<", rhs)

    s.timed("w4", with_vars(inp.n3), w4)
    notes.append("W3 lists: no batch call for lists of lists; addLConstr per row is W4")
    try:
        import scipy.sparse as sp

        matrix = sp.csr_array(
            (inp.row_coeffs_np.ravel(), inp.row_vars_np.ravel(), np.arange(0, inp.n3 * TERMS + 1, TERMS)),
            shape=(inp.n3, inp.n3),
        )
        rhs = np.array(inp.rhss)

        def with_mvar():
            m = new()
            return Holder(m, m.addMVar(inp.n3, lb=0.0, ub=1e6))

        s.timed("w3_numpy", with_mvar, lambda h: h.model.addMConstr(matrix, h.xl, "<", rhs))
        notes.append("W3 NumPy: addMConstr with a prepared SciPy CSR matrix")
    except ImportError:
        notes.append("W3 NumPy: skipped, SciPy not installed")

    def w5(h):
        h.model.setObjective(gp.LinExpr(inp.obj_coeffs, h.xl), gp.GRB.MINIMIZE)

    s.timed("w5_lists", with_vars(inp.n5), w5)

    def solved():
        h = with_vars(inp.n6)()
        h.model.optimize()
        return h

    def w6(h):
        for x in h.xl:
            _ = x.X

    s.timed("w6", solved, w6)

    st, t = inp.sources, inp.sinks

    def transport():
        m = new()
        n = st * t
        xs = m.addVars(n)
        xl = [xs[i] for i in range(n)]
        for vs, cs, sense, rhs in zip(inp.t_vars, inp.t_coeffs, inp.t_senses, inp.t_rhss):
            m.addLConstr(gp.LinExpr(cs, [xl[j] for j in vs]), sense, rhs)
        m.setObjective(gp.LinExpr(inp.cost, xl), gp.GRB.MINIMIZE)
        return m

    def knapsack():
        m = new()
        k = inp.items
        xs = m.addVars(k, vtype=gp.GRB.BINARY)
        xl = [xs[i] for i in range(k)]
        for w, cap in zip(inp.k_weight, inp.k_capacity):
            m.addLConstr(gp.LinExpr(w, xl), "<", cap)
        m.setObjective(gp.LinExpr(inp.k_value, xl), gp.GRB.MAXIMIZE)
        return m

    def build_if_refused(name, build):
        """Build and solve timed apart; once the licence refuses the solve, the build alone."""
        s.split(name, build, lambda m: m.optimize())
        split, refused = s[name], []

        def take():
            if not refused:
                try:
                    return split()
                except gp.GurobiError as error:
                    refused.append(error)
                    notes.append(f"{name} solve: refused by the licence ({first_clause(error)})")
            return {name + "_build": sample(build)}

        s[name] = take

    build_if_refused("w7_transport", transport)
    build_if_refused("w7_knapsack", knapsack)
    notes.append("the vendor's own optimiser, not HiGHS: its solve times are not comparable")

    def licensed(key, take):
        """A refusal by the licence skips the workload, with its reason."""

        def checked():
            try:
                return take()
            except gp.GurobiError as error:
                raise Skip(f"{key}: refused by the licence ({first_clause(error)})") from None

        return checked

    return Samplers({key: licensed(key, take) for key, take in s.items()})


def pulp_samplers(inp, notes):
    need("pulp")
    import pulp

    s = Samplers()

    def w2(_):
        prob = pulp.LpProblem("w2", pulp.LpMinimize)
        for i, (lb, ub) in enumerate(zip(inp.w2_lbs, inp.w2_ubs)):
            pulp.LpVariable(f"x{i}", lb, ub)
        return prob

    s.timed("w2", lambda: None, w2)

    def with_vars():
        prob = pulp.LpProblem("w4", pulp.LpMinimize)
        prob.xs = [pulp.LpVariable(f"x{i}", 0.0, 1e6) for i in range(inp.n3)]
        return prob

    def w4(prob):
        xs = prob.xs
        for vs, cs, rhs in zip(inp.fs_vars, inp.fs_coeffs, inp.rhss):
            prob.addConstraint(pulp.LpAffineExpression([(xs[j], c) for j, c in zip(vs, cs)]) <= rhs)

    s.timed("w4", with_vars, w4)
    st, t = inp.sources, inp.sinks

    def transport(_):
        prob = pulp.LpProblem("transport", pulp.LpMinimize)
        xs = [pulp.LpVariable(f"x{i}", 0.0) for i in range(st * t)]
        for vs, cs, sense, rhs in zip(inp.t_vars, inp.t_coeffs, inp.t_senses, inp.t_rhss):
            expr = pulp.LpAffineExpression([(xs[j], c) for j, c in zip(vs, cs)])
            prob.addConstraint(expr <= rhs if sense == "<" else expr >= rhs)
        prob.setObjective(pulp.LpAffineExpression(list(zip(xs, inp.cost))))
        return prob

    s.timed("w7_transport_build", lambda: None, transport, "w7_transport")
    notes.append("W2, W4 and the W7 transport build only: a pure-Python modeller with no bulk calls")
    return s


INT_MAX = 2**31 - 1

# The options the stand-in sets before its first solve, with Gurobi's default parameters and
# OutputFlag 0, in its order (HiGHS C API setter, name, value).
STANDIN_OPTIONS = [
    ("Highs_setBoolOptionValue", b"output_flag", 0),
    ("Highs_setBoolOptionValue", b"log_to_console", 1),
    ("Highs_setStringOptionValue", b"log_file", b""),
    ("Highs_setDoubleOptionValue", b"infinite_bound", 1e30),
    ("Highs_setDoubleOptionValue", b"infinite_cost", 1e30),
    ("Highs_setDoubleOptionValue", b"time_limit", math.inf),
    ("Highs_setDoubleOptionValue", b"mip_rel_gap", 1e-4),
    ("Highs_setDoubleOptionValue", b"mip_abs_gap", 1e-10),
    ("Highs_setIntOptionValue", b"threads", 0),
    ("Highs_setIntOptionValue", b"random_seed", 0),
    ("Highs_setStringOptionValue", b"presolve", b"choose"),
    ("Highs_setStringOptionValue", b"solver", b"choose"),
    ("Highs_setIntOptionValue", b"simplex_iteration_limit", INT_MAX),
    ("Highs_setIntOptionValue", b"ipm_iteration_limit", INT_MAX),
    ("Highs_setIntOptionValue", b"mip_max_nodes", INT_MAX),
    ("Highs_setIntOptionValue", b"mip_max_improving_sols", 2_000_000_000),
    ("Highs_setDoubleOptionValue", b"primal_feasibility_tolerance", 1e-7),
    ("Highs_setDoubleOptionValue", b"dual_feasibility_tolerance", 1e-7),
    ("Highs_setDoubleOptionValue", b"mip_feasibility_tolerance", 1e-7),
    ("Highs_setDoubleOptionValue", b"mip_heuristic_effort", 0.05),
    ("Highs_setBoolOptionValue", b"mip_heuristic_run_rins", 1),
    ("Highs_setBoolOptionValue", b"mip_detect_symmetry", 1),
    ("Highs_setDoubleOptionValue", b"ipm_optimality_tolerance", 1e-8),
    ("Highs_setIntOptionValue", b"presolve_rule_off", 64),
]


class HighsDirect:
    """HiGHS's C API from highsbox through ctypes: the library the stand-in opens."""

    def __init__(self):
        module_spec = importlib.util.find_spec("highsbox")
        if module_spec is None:
            raise Skip("highsbox not installed")
        path = os.path.join(list(module_spec.submodule_search_locations)[0], "highs_dist", "lib", "libhighs.so")
        lib = ctypes.CDLL(path)
        lib.Highs_create.restype = ctypes.c_void_p
        for name in ("Highs_destroy", "Highs_run"):
            getattr(lib, name).argtypes = [ctypes.c_void_p]
        lib.Highs_setBoolOptionValue.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        lib.Highs_setIntOptionValue.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        lib.Highs_setDoubleOptionValue.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_double]
        lib.Highs_setStringOptionValue.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_char_p]
        lib.Highs_getSolution.argtypes = [ctypes.c_void_p] + [ctypes.c_void_p] * 4
        head = [ctypes.c_void_p] + [ctypes.c_int] * 5 + [ctypes.c_double] + [ctypes.c_void_p] * 8
        lib.Highs_passLp.argtypes = head
        lib.Highs_passMip.argtypes = head + [ctypes.c_void_p]
        lib.Highs_getObjectiveValue.argtypes = [ctypes.c_void_p]
        lib.Highs_getObjectiveValue.restype = ctypes.c_double
        self.lib = lib

    def solve(self, problem):
        """Everything the stand-in's solve does with HiGHS, with the options it sets."""
        import numpy as np

        lib = self.lib
        h = ctypes.c_void_p(lib.Highs_create())
        try:
            for setter, name, value in STANDIN_OPTIONS:
                getattr(lib, setter)(h, name, value)
            p = problem
            ptr = lambda a: a.ctypes.data_as(ctypes.c_void_p)  # noqa: E731
            common = [
                h,
                len(p["cost"]),
                len(p["row_lower"]),
                len(p["index"]),
                2,
                p["sense"],
                0.0,
                ptr(p["cost"]),
                ptr(p["col_lower"]),
                ptr(p["col_upper"]),
                ptr(p["row_lower"]),
                ptr(p["row_upper"]),
                ptr(p["start"]),
                ptr(p["index"]),
                ptr(p["value"]),
            ]
            if p["integrality"] is None:
                lib.Highs_passLp(*common)
            else:
                lib.Highs_passMip(*common, ptr(p["integrality"]))
            lib.Highs_run(h)
            n, m = len(p["cost"]), len(p["row_lower"])
            x, col_dual = np.empty(n), np.empty(n)
            row_value, row_dual = np.empty(m), np.empty(m)
            lib.Highs_getSolution(h, ptr(x), ptr(col_dual), ptr(row_value), ptr(row_dual))
            return lib.Highs_getObjectiveValue(h)
        finally:
            lib.Highs_destroy(h)


def highs_problem(n, col_lower, col_upper, cost, rows_vars, rows_coeffs, senses, rhss, sense, integer):
    import numpy as np

    inf = math.inf
    starts, indices, values = csr(rows_vars, rows_coeffs)
    starts.append(len(indices))
    return {
        "cost": np.array(cost, dtype=float),
        "col_lower": np.array(col_lower, dtype=float),
        "col_upper": np.array(col_upper, dtype=float),
        "row_lower": np.array([-inf if s == "<" else r for s, r in zip(senses, rhss)]),
        "row_upper": np.array([inf if s == ">" else r for s, r in zip(senses, rhss)]),
        "start": np.array(starts, dtype=np.int32),
        "index": np.array(indices, dtype=np.int32),
        "value": np.array(values, dtype=float),
        "integrality": np.ones(n, dtype=np.int32) if integer else None,
        "sense": sense,
    }


def highs_direct_samplers(inp, notes):
    direct = HighsDirect()
    st, t = inp.sources, inp.sinks
    n = st * t
    transport = highs_problem(
        n, [0.0] * n, [math.inf] * n, inp.cost, inp.t_vars, inp.t_coeffs, inp.t_senses, inp.t_rhss, 1, False
    )
    k = inp.items
    knapsack = highs_problem(
        k,
        [0.0] * k,
        [1.0] * k,
        inp.k_value,
        [list(range(k))] * inp.k_rows,
        inp.k_weight,
        ["<"] * inp.k_rows,
        inp.k_capacity,
        -1,
        True,
    )
    s = Samplers()
    s.timed("w7_transport_solve", lambda: transport, direct.solve, "w7_transport")
    s.timed("w7_knapsack_solve", lambda: knapsack, direct.solve, "w7_knapsack")
    notes.append(f"transport objective {direct.solve(transport):.6g}")
    notes.append("the stand-in's HiGHS library and options, arrays prepared before the clock starts")
    return s


# ---------------------------------------------------------------- entry


SAMPLERS = {
    "ours": lambda inp, notes: module_like(ours_style(), inp, notes, False),
    "floor": lambda inp, notes: module_like(floor_style(), inp, notes, True),
    "contract": lambda inp, notes: module_like(contract_style(), inp, notes, False),
    "batch": batch_limit,
    "highspy": highspy_samplers,
    "pyoptinterface": pyoptinterface_samplers,
    "gurobipy": gurobipy_samplers,
    "pulp": pulp_samplers,
    "highs-direct": highs_direct_samplers,
}
TOOLS = list(SAMPLERS)


def silent_model(tool):
    """For ours and the contract floor, which have the module's methods: a function making a
    silent, empty model; None for the other tools."""
    styles = {"ours": ours_style, "contract": contract_style}
    if tool not in styles:
        return None
    style = styles[tool]()

    def new():
        m = style.new()
        style.silent(m)
        return m

    return new


def tiny_solver(tool):
    """The tool's way of building and solving W9's tiny models (tiny.py)."""
    styles = {"ours": (ours_style, False), "floor": (floor_style, True), "contract": (contract_style, False)}
    if tool in styles:
        style, is_floor = styles[tool]
        return tiny.module_like(style(), is_floor)
    if tool == "highs-direct":
        return tiny.highs_direct_solver(HighsDirect(), highs_problem)
    solvers = {
        "highspy": tiny.highspy_solver,
        "pyoptinterface": tiny.pyoptinterface_solver,
        "gurobipy": tiny.gurobipy_solver,
    }
    return solvers[tool]() if tool in solvers else None


def samplers_of(tool, scale, inp, notes):
    """The tool's samplers, W8's and W9's included where it has them."""
    s = SAMPLERS[tool](inp, notes)
    resolved = resolve.sampler(tool, scale, notes, silent_model(tool))
    if resolved is not None:
        s["w8"] = resolved
    solver = tiny_solver(tool)
    if solver is not None:
        s["w9"] = tiny.sampler(solver, scale, notes)
    return s


def group_of(key):
    """The workload (one of GROUPS) that gives the row `key`."""
    return max((g for g in GROUPS if key == g or key.startswith(g + "_")), key=len, default=key)


def fail(result, groups, what, error):
    """Records a failure: its text in "errors", the workloads it leaves without a time in
    "failed" (the tables print "failed" there)."""
    result.setdefault("errors", []).append(f"{what}: {type(error).__name__}: {error}")
    result.setdefault("failed", []).extend(groups)


def take(result, group, sampler):
    """Adds one sample of a workload to the tool's result; False once it cannot run."""
    try:
        for key, seconds in sampler().items():
            result["times"].setdefault(key, []).append(seconds)
        return True
    except Skip as reason:
        result["notes"].append(str(reason))
    except Exception as error:  # noqa: BLE001 - a failed workload is reported, the others go on
        fail(result, [group], group, error)
    return False


def measure(tools, scale, repeat, progress=lambda line: None):
    """{tool: {"times": {row key: [seconds, one per round]}, "notes": [...]}}, with
    "skipped" for a tool that is not installed, "errors" for what failed and "failed" for
    the workloads that failed with it. Each round
    takes one sample of every tool's workload in turn, workload by workload, starting with
    the next tool at every round; the peak memory of W3 follows for ours and the floor."""
    inp = Inputs(scale)
    results, samplers = {}, {}
    for tool in tools:
        result = results[tool] = {"times": {}, "notes": []}
        try:
            samplers[tool] = samplers_of(tool, scale, inp, result["notes"])
        except Skip as reason:
            result["skipped"] = str(reason)
        except Exception as error:  # noqa: BLE001 - a tool that cannot start is reported, the others go on
            fail(result, GROUPS, "setting up", error)
    for round_ in range(repeat):
        for group in GROUPS:
            takers = [tool for tool in tools if group in samplers.get(tool, {})]
            if not takers:
                continue
            shift = round_ % len(takers)
            for tool in takers[shift:] + takers[:shift]:
                if not take(results[tool], group, samplers[tool][group]):
                    del samplers[tool][group]
        progress(f"round {round_ + 1} of {repeat} done")
    for tool in ("ours", "floor"):
        if tool in samplers:
            results[tool]["memory"] = memory_probe(scale, tool == "floor")
    return results
