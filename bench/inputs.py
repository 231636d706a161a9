"""Input forms: what the dtype and shape of the arrays handed to the module cost.

    python bench/inputs.py [--scale 1.0] [--repeat 5]

Times the same calls with int32/float32 against int64/float64 arrays, 2-D row arrays
against lists of 1-D arrays, lists of NumPy scalars against plain lists, and W3 (200,000
rows of 10 terms) for the module and its floor, all in one process, one sample of every
call per round; and the peak memory growth of add_constraints from lists and from 2-D arrays of
800,000 rows of 10 terms, each in a fresh process. Prints a Markdown table of times and of the ratios measured in
this run.
"""

from __future__ import annotations

import argparse
import json
import os
import statistics
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import workloads  # noqa: E402
from timing import fmt_time, load_average, sample_fresh  # noqa: E402

TERMS = workloads.TERMS


def rows_arrays(scale, dtype_vars, dtype_coeffs):
    """W3's rows as a 2-D index array and a 2-D coefficient array of the given dtypes."""
    inp = workloads.Inputs(scale)
    return inp, inp.row_vars_np.astype(dtype_vars), inp.row_coeffs_np.astype(dtype_coeffs)


def round_robin(cases, repeat):
    """Samples of each (key, setup, work) case, one of every case per round, so that a
    change of the machine's load between rounds weighs on all of them alike."""
    times = {key: [] for key, _, _ in cases}
    for _ in range(repeat):
        for key, setup, work in cases:
            times[key].append(sample_fresh(setup, work))
    return times


def refused_at_last_rhs(inp):
    """W3 from lists with its last right-hand side not a number: the whole batch is converted
    and checked, then refused before any row reaches Gurobi."""
    rhss = inp.rhss[:-1] + ["x"]

    def work(m):
        try:
            m.add_constraints(inp.fs_vars, inp.fs_coeffs, inp.fs_consts, inp.senses, rhss)
        except TypeError:
            return
        raise AssertionError("the batch was not refused")

    return work


def measure(scale, repeat):
    """Times of the dtype, shape and scalar rows for the module, and of W3 for the module
    and its floor."""
    import numpy as np

    ours, floor = workloads.ours_style(), workloads.floor_style()
    inp, vars64, coeffs64 = rows_arrays(scale, np.int64, np.float64)
    vars32, coeffs32 = vars64.astype(np.int32), coeffs64.astype(np.float32)
    n3, n5 = inp.n3, inp.n5

    def rows(fs_vars, fs_coeffs):
        return lambda m: m.add_constraints(fs_vars, fs_coeffs, inp.fs_consts, inp.senses, inp.rhss)

    obj_vars32 = inp.obj_vars_np.astype(np.int32)
    obj_coeffs32 = inp.obj_coeffs_np.astype(np.float32)
    scalars_vars, scalars_coeffs = list(inp.obj_vars_np), list(inp.obj_coeffs_np)
    ubs32 = inp.ubs_np.astype(np.float32)
    ours_rows, floor_rows = workloads.with_vars(ours, n3, False), workloads.with_vars(floor, n3, True)
    ours_objective = workloads.with_vars(ours, n5, False)
    cases = [
        ("rows_64", ours_rows, rows(list(vars64), list(coeffs64))),
        ("rows_32", ours_rows, rows(list(vars32), list(coeffs32))),
        ("rows_2d", ours_rows, rows(vars64, coeffs64)),
        ("rows_2d_32", ours_rows, rows(vars32, coeffs32)),
        ("obj_64", ours_objective, lambda m: m.set_objective(inp.obj_vars_np, inp.obj_coeffs_np, 0.0, 0)),
        ("obj_32", ours_objective, lambda m: m.set_objective(obj_vars32, obj_coeffs32, 0.0, 0)),
        ("obj_lists", ours_objective, lambda m: m.set_objective(inp.obj_vars, inp.obj_coeffs, 0.0, 0)),
        ("obj_scalars", ours_objective, lambda m: m.set_objective(scalars_vars, scalars_coeffs, 0.0, 0)),
        ("ubs_64", ours.new, lambda m: m.add_variables(inp.n1, ubs=inp.ubs_np)),
        ("ubs_32", ours.new, lambda m: m.add_variables(inp.n1, ubs=ubs32)),
        ("ours_w3_lists", ours_rows, rows(inp.fs_vars, inp.fs_coeffs)),
        ("floor_w3_lists", floor_rows, rows(inp.fs_vars, inp.fs_coeffs)),
        ("ours_w3_checked", ours_rows, refused_at_last_rhs(inp)),
        ("ours_w3_numpy", ours_rows, rows(inp.fs_vars_np, inp.fs_coeffs_np)),
        ("floor_w3_numpy", floor_rows, rows(inp.fs_vars_np, inp.fs_coeffs_np)),
    ]
    return round_robin(cases, repeat)


MEMORY_PROBE = """
import ctypes, gc, json, sys
sys.path.insert(0, {here!r})
import numpy as np
import workloads

def rss(field):
    with open('/proc/self/status') as status:
        for line in status:
            if line.startswith(field):
                return int(line.split()[1]) / 1024.0

libc = ctypes.CDLL(None)
n = {rows}
m = workloads.ours_style().new()
m.add_variables(n)
m.update()
rng = np.random.default_rng(1)
fs_vars = np.sort(rng.integers(0, n // {terms}, (n, {terms})) * {terms} + np.arange({terms}), axis=1)
fs_coeffs = rng.uniform(-5.0, 5.0, (n, {terms}))
if {lists!r}:
    fs_vars, fs_coeffs = fs_vars.tolist(), fs_coeffs.tolist()
consts = [0.0] * n; senses = ['<'] * n; rhss = rng.uniform(1.0, 100.0, n).tolist()
gc.collect(); libc.malloc_trim(0)
base = rss('VmRSS:')
with open('/proc/self/clear_refs', 'w') as refs:
    refs.write('5')
result = m.add_constraints(fs_vars, fs_coeffs, consts, senses, rhss)
peak = rss('VmHWM:')
after = rss('VmRSS:')
print(json.dumps({{"peak_mb": peak - base, "kept_mb": after - base}}))
"""


FORMS = {"lists": "lists", "2-D": "2-D arrays"}  # form -> what the rows are given as


def memory_rows(scale):
    return max(10, int(800_000 * scale))


def memory_growth(scale, form):
    """Peak and kept memory growth of add_constraints, 800,000 x 10 at scale 1, from lists of
    lists or from two 2-D arrays (form "lists" or "2-D")."""
    code = MEMORY_PROBE.format(here=HERE, rows=memory_rows(scale), terms=TERMS, lists=form == "lists")
    proc = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True)
    if proc.returncode != 0:
        return {"error": proc.stderr.strip().splitlines()[-1:]}
    return json.loads(proc.stdout.strip().splitlines()[-1])


def markdown(times, growth, args, loads):
    med = {key: statistics.median(samples) for key, samples in times.items()}
    rows = [
        ("add_constraints, list of 1-D arrays: int32/float32 vs int64/float64", "rows_32", "rows_64"),
        ("add_constraints, 2-D arrays: int32/float32 vs int64/float64", "rows_2d_32", "rows_2d"),
        ("set_objective, arrays: int32/float32 vs int64/float64", "obj_32", "obj_64"),
        ("add_variables(ubs=...), float32 vs float64 array", "ubs_32", "ubs_64"),
        ("add_constraints, 2-D arrays vs list of 1-D arrays (int64/float64)", "rows_2d", "rows_64"),
        ("set_objective, lists of NumPy scalars vs plain lists", "obj_scalars", "obj_lists"),
        ("W3 add_constraints, lists: ours vs floor", "ours_w3_lists", "floor_w3_lists"),
        ("W3 add_constraints, NumPy: ours vs floor", "ours_w3_numpy", "floor_w3_numpy"),
    ]
    lines = [
        f"scale {args.scale}, median of {args.repeat}, Python {sys.version.split()[0]}; "
        f"load average (1, 5, 15 min) {loads[0]} before, {loads[1]} after",
        "",
        "| comparison | time | against | ratio | ratio of the fastest runs |",
        "| --- | ---: | ---: | ---: | ---: |",
    ]
    for label, key, against in rows:
        if key in med and against in med:
            ratio, fastest = med[key] / med[against], min(times[key]) / min(times[against])
            lines.append(f"| {label} | {fmt_time(med[key])} | {fmt_time(med[against])} | {ratio:.2f} | {fastest:.2f} |")
    if "ours_w3_checked" in med:
        checked, whole, floor = med["ours_w3_checked"], med["ours_w3_lists"], med["floor_w3_lists"]
        lines += [
            "",
            f"W3 from lists: converting and checking the batch takes {fmt_time(checked)} of ours' "
            f"{fmt_time(whole)} (a batch refused by its last right-hand side), handing it to Gurobi "
            f"{fmt_time(whole - checked)}; the floor does both in {fmt_time(floor)}.",
        ]
    for form in FORMS:
        memory = growth[form]
        if "peak_mb" in memory:
            lines += [
                "",
                f"add_constraints from {FORMS[form]}, {memory_rows(args.scale):,} rows x {TERMS} terms: peak memory "
                f"growth {memory['peak_mb']:.0f} MB, of which the model keeps {memory['kept_mb']:.0f} MB",
            ]
    return "\n".join(lines)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--scale", type=float, default=1.0, help="multiplies every size (default 1.0)")
    parser.add_argument("--repeat", type=int, default=5, help="repetitions per row; the median is reported")
    args = parser.parse_args(argv)
    before = load_average()
    times = measure(args.scale, args.repeat)
    after = load_average()
    print(markdown(times, {form: memory_growth(args.scale, form) for form in FORMS}, args, (before, after)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
