"""The bench runs end to end at a tiny size: the floors compile, every workload of the
module, of the floor, of the contract floor and of the batch limit completes, and the tables
come out; a tool that fails is reported in them. No timing is asserted."""

import argparse
import importlib.util
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def test_tiny_run_prints_the_table(tmp_path):
    chart = tmp_path / "ratios.png"
    proc = subprocess.run(
        [
            sys.executable,
            os.path.join(ROOT, "bench", "run.py"),
            "--scale",
            "0.001",
            "--repeat",
            "1",
            "--tools",
            "ours,floor,contract,batch",
            "--chart",
            str(chart),
        ],
        capture_output=True,
        text=True,
        timeout=600,
    )
    assert proc.returncode == 0, proc.stderr
    lines = proc.stdout.splitlines()
    assert "| workload | ours | floor | contract | batch | ours / floor | ours / contract | ours / batch |" in lines
    labels = [line.split("|")[1].strip() for line in lines if line.startswith("| W")]
    assert labels == [
        "W1 add_variables, lists",
        "W1 add_variables, NumPy",
        "W2 add_variable x n",
        "W3 add_constraints, lists",
        "W3 add_constraints, NumPy",
        "W3 add_constraints, 2-D NumPy",
        "W4 add_constraint x n",
        "W5 set_objective, lists",
        "W5 set_objective, NumPy",
        "W6 get_var_value x n",
        "W7 transport LP build",
        "W7 transport LP solve",
        "W7 knapsack MIP build",
        "W7 knapsack MIP solve",
        "W8 re-solve: first solve",
        "W8 re-solve: add a cut",
        "W8 re-solve: 20 x (change 20 costs, re-solve)",
        "W8 re-solve: add a column and a row",
        "W8 re-solve: unchanged",
        "W9 tiny LPs, build and solve",
        "W9 tiny MIPs, build and solve",
    ]
    # The contract floor runs every row, the floor all but the re-solves, each with its ratio;
    # the batch limit has the rows of W3 and W5.
    for line in lines:
        if line.startswith("| W"):
            ours, floor, contract, batch, to_floor, to_contract, to_batch = [c.strip() for c in line.split("|")[2:9]]
            assert "-" not in (ours, contract, to_contract), line
            assert ("-" not in (floor, to_floor)) == (not line.startswith("| W8")), line
            batched = line.startswith(("| W3 add_constraints", "| W5"))
            assert ("-" not in (batch, to_batch)) == batched, line
    assert any(line.startswith("Peak memory of W3") for line in lines)
    for form in ("lists", "2-D arrays"):
        assert any(line.startswith(f"| peak memory growth, 800 x 10 rows from {form} | ") for line in lines)
    assert any(line.startswith("Rows where ours is above 1.3 x the contract floor: ") for line in lines)
    assert any(line.startswith("| S1 scenario sweep, 2 x 3 facilities x 4 customers | ") for line in lines)
    assert "failed" not in proc.stdout
    if importlib.util.find_spec("matplotlib") is not None:
        assert chart.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"


def test_tiny_input_forms_run_prints_every_comparison():
    proc = subprocess.run(
        [sys.executable, os.path.join(ROOT, "bench", "inputs.py"), "--scale", "0.001", "--repeat", "1"],
        capture_output=True,
        text=True,
        timeout=600,
    )
    assert proc.returncode == 0, proc.stderr
    rows = [line for line in proc.stdout.splitlines() if line.startswith("| ") and " vs " in line]
    assert len(rows) == 8
    assert "from lists, 800 rows x 10 terms: peak memory growth" in proc.stdout
    assert "from 2-D arrays, 800 rows x 10 terms: peak memory growth" in proc.stdout


def test_a_failing_tool_is_reported_in_the_tables():
    sys.path.insert(0, os.path.join(ROOT, "bench"))
    import run
    import workloads

    def failing(inp, notes):
        raise RuntimeError("no such library")

    workloads.SAMPLERS["broken"] = failing
    try:
        results = workloads.measure(["broken"], 0.001, 1)
    finally:
        del workloads.SAMPLERS["broken"]
    args = argparse.Namespace(scale=0.001, repeat=1)
    lines = run.markdown(results, ["broken"], args, ("0, 0, 0", "0, 0, 0"), {}).splitlines()
    assert "| W1 add_variables, lists | failed |" in lines
    assert "| W9 tiny MIPs, build and solve | failed |" in lines
    assert "- broken: failed (setting up: RuntimeError: no such library)" in lines
