"""Ctrl-C during a solve stops it, and the caller's own SIGINT handling follows."""

from __future__ import annotations

import os
import signal
import subprocess
import sys
import textwrap
import time

import pytest

from helpers import standin
from helpers.standin import read_trace

# argv: library, model ("mip": a market split problem, hard for branch and bound; "lp": a
# covering LP whose hand-over takes a while and whose solve takes far longer than the test
# waits), whether SIGINT is ignored, the first solve's time limit.
CHILD = textwrap.dedent("""
    import random, signal, sys
    from velkin_gurobi import Model
    rng = random.Random(5)
    m = Model(dll_path=sys.argv[1])
    m.set_optimizer_attr("Silent", True)
    m.set_optimizer_attr("TimeLimit", float(sys.argv[4]))
    if sys.argv[2] == "mip":
        x = m.add_variables(40, vtypes=["B"] * 40)
        for _ in range(4):
            a = [rng.randrange(100) for _ in range(40)]
            m.add_constraint(x, a, 0.0, "=", sum(a) // 2)
    else:
        rows, cols = 100_000, 50_000
        m.add_variables(cols, lbs=[0.0] * cols, ubs=[10.0] * cols)
        m.add_constraints([[rng.randrange(cols) for _ in range(5)] for _ in range(rows)],
                          [[rng.uniform(0.5, 2.0) for _ in range(5)] for _ in range(rows)],
                          [0.0] * rows, [">"] * rows, [rng.uniform(1.0, 10.0) for _ in range(rows)])
        m.set_objective(list(range(cols)), [rng.uniform(1.0, 3.0) for _ in range(cols)], 0.0, 0)
    if sys.argv[3] == "ignored":
        signal.signal(signal.SIGINT, signal.SIG_IGN)
    print("solving", flush=True)
    try:
        print(m.optimize())
    except KeyboardInterrupt:
        print("KeyboardInterrupt", flush=True)
    m.set_optimizer_attr("TimeLimit", 0.2)
    print(m.optimize())
    print(signal.getsignal(signal.SIGINT) is signal.SIG_IGN)
""")


@pytest.mark.parametrize(
    "kind, disposition, time_limit, delay, out, solves",
    [
        # Interrupted; then usable again, up to its time limit.
        ("mip", "handled", 300.0, 1.0, ["KeyboardInterrupt", "0", "False"], [(0, 11), (0, 9)]),
        # A process that ignores SIGINT solves on to its time limit, and SIGINT stays ignored.
        ("mip", "ignored", 4.0, 1.0, ["0", "0", "True"], [(0, 9), (0, 9)]),
        # A SIGINT while the model is handed over to HiGHS stops the solve too.
        ("lp", "handled", 300.0, 0.1, ["KeyboardInterrupt", "0", "False"], [(0, 11), (0, 9)]),
    ],
)
def test_sigint_during_a_solve(tmp_path, kind, disposition, time_limit, delay, out, solves):
    trace = tmp_path / "trace.jsonl"
    env = {k: v for k, v in os.environ.items() if not k.startswith("GRB_STANDIN_")}
    env.update({standin.TRACE: str(trace), standin.HIGHS: standin.highs_library_path()})
    child = subprocess.Popen(
        [sys.executable, "-c", CHILD, standin.library_path(), kind, disposition, str(time_limit)],
        stdout=subprocess.PIPE,
        text=True,
        env=env,
    )
    try:
        assert child.stdout.readline() == "solving\n"
        time.sleep(delay)
        child.send_signal(signal.SIGINT)
        got, _ = child.communicate(timeout=240)
    finally:
        child.kill()
    assert got.split() == out
    assert [(c["rc"], c["status"]) for c in read_trace(trace) if c["fn"] == "GRBoptimize"] == solves
