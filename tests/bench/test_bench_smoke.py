"""The bench runs end to end at a tiny size: the floor compiles, every workload of the
module, of the floor and of the batch limit completes, and the table comes out. No timing is
asserted."""

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
            "ours,floor,batch",
            "--chart",
            str(chart),
        ],
        capture_output=True,
        text=True,
        timeout=600,
    )
    assert proc.returncode == 0, proc.stderr
    lines = proc.stdout.splitlines()
    assert "| workload | ours | floor | batch | ours / floor | ours / batch |" in lines
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
    ]
    # Every row the floor runs (all but the re-solves) has a time for both tools and a ratio;
    # the batch limit has the rows of W3 and W5.
    for line in lines:
        if line.startswith("| W") and not line.startswith("| W8"):
            ours, floor, batch, to_floor, to_batch = [cell.strip() for cell in line.split("|")[2:7]]
            assert "-" not in (ours, floor, to_floor), line
            batched = line.startswith(("| W3 add_constraints", "| W5"))
            assert ("-" not in (batch, to_batch)) == batched, line
    assert any(line.startswith("Peak memory of W3") for line in lines)
    assert any(line.startswith("| peak memory growth, 800 x 10 rows from 2-D arrays | ") for line in lines)
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
