"""Ctrl-C during a solve stops it, and the caller's own SIGINT handling follows."""

from __future__ import annotations

import os
import signal
import subprocess
import sys
import textwrap
import time

from helpers import standin
from helpers.standin import read_trace

# A market split problem: hard for branch and bound, solved for far longer than the test waits.
CHILD = textwrap.dedent("""
    import random, sys
    from velkin_gurobi import Model
    rng = random.Random(5)
    m = Model(dll_path=sys.argv[1])
    m.set_optimizer_attr("Silent", True)
    m.set_optimizer_attr("TimeLimit", 300.0)
    x = m.add_variables(40, vtypes=["B"] * 40)
    for _ in range(4):
        a = [rng.randrange(100) for _ in range(40)]
        m.add_constraint(x, a, 0.0, "=", sum(a) // 2)
    print("solving", flush=True)
    try:
        m.optimize()
    except KeyboardInterrupt:
        print("KeyboardInterrupt", flush=True)
    m.set_optimizer_attr("TimeLimit", 0.2)
    print(m.optimize())
""")


def test_sigint_interrupts_the_solve_and_raises_keyboard_interrupt_after_it(tmp_path):
    trace = tmp_path / "trace.jsonl"
    env = {k: v for k, v in os.environ.items() if not k.startswith("GRB_STANDIN_")}
    env.update({standin.TRACE: str(trace), standin.HIGHS: standin.highs_library_path()})
    child = subprocess.Popen(
        [sys.executable, "-c", CHILD, standin.library_path()], stdout=subprocess.PIPE, text=True, env=env
    )
    try:
        assert child.stdout.readline() == "solving\n"
        time.sleep(1.0)
        child.send_signal(signal.SIGINT)
        out, _ = child.communicate(timeout=120)
    finally:
        child.kill()
    assert out.split() == ["KeyboardInterrupt", "0"]
    solves = [(c["rc"], c["status"]) for c in read_trace(trace) if c["fn"] == "GRBoptimize"]
    assert solves == [(0, 11), (0, 9)]  # interrupted; then usable again, up to its time limit
