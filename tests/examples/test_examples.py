"""Every example in examples/ runs on the stand-in and prints what it should."""

import importlib.util
import itertools
import os
import pathlib
import re
import subprocess
import sys

import pytest

EXAMPLES = pathlib.Path(__file__).resolve().parent.parent.parent / "examples"


def run_example(name, standin, *args, quiet=True):
    """The lines on standard output; `quiet`: nothing may come on standard error."""
    env = {k: v for k, v in os.environ.items() if not k.startswith(("GRB_STANDIN_", "GUROBI_HOME"))}
    result = subprocess.run(
        [sys.executable, str(EXAMPLES / name), "--dll-path", standin, *args],
        capture_output=True,
        text=True,
        env=env,
        timeout=300,
    )
    assert result.returncode == 0, result.stdout + result.stderr
    assert result.stderr == "" or not quiet
    return result.stdout.splitlines()


def load_example(name):
    module_spec = importlib.util.spec_from_file_location(name.removesuffix(".py"), EXAMPLES / name)
    module = importlib.util.module_from_spec(module_spec)
    sys.path.insert(0, str(EXAMPLES))  # the examples share library_choice.py
    try:
        module_spec.loader.exec_module(module)
    finally:
        sys.path.remove(str(EXAMPLES))
    return module


def number(line, prefix):
    assert line.startswith(prefix), line
    return float(line.removeprefix(prefix).split()[0])


def test_every_example_is_tested():
    tested = {"facility_location.py", "production_mix.py", "project_selection.py", "scenario_sweep.py", "time_limit.py"}
    assert {p.name for p in EXAMPLES.glob("*.py")} - {"library_choice.py"} == tested


def test_production_mix(standin):
    lines = run_example("production_mix.py", standin)
    assert len(lines) == 8
    assert lines[0] == "Status: optimal"
    assert number(lines[1], "Profit: ") == pytest.approx(3200.0)
    quantities = {"chair": 40.0, "table": 10.0, "shelf": 20.0}
    for line, (name, expected) in zip(lines[2:5], quantities.items(), strict=False):
        assert number(line, f"  {name}: ") == pytest.approx(expected, abs=1e-6)
    used = {"labour hours": (160.0, 160.0), "machine hours": (80.0, 80.0), "timber (m)": (280.0, 300.0)}
    for line, (resource, (amount, available)) in zip(lines[5:], used.items(), strict=False):
        assert number(line, f"  {resource}: ") == pytest.approx(amount, abs=1e-6)
        assert line.endswith(f" of {available:.2f} used")


class TestProjectSelection:
    def best_by_enumeration(self, budget):
        example = load_example("project_selection.py")
        best = (0.0, ())
        for size in range(len(example.PROJECTS) + 1):
            for chosen in itertools.combinations(example.PROJECTS, size):
                if sum(example.PROJECTS[p][0] for p in chosen) > budget:
                    continue
                if any(a in chosen and b not in chosen for a, b in example.REQUIRES):
                    continue
                if all(p in chosen for p in example.EXCLUSIVE):
                    continue
                best = max(best, (sum(example.PROJECTS[p][1] for p in chosen), chosen))
        return best

    @pytest.mark.parametrize("budget", [100.0, 60.0, 200.0])
    def test_matches_enumeration(self, standin, budget):
        lines = run_example("project_selection.py", standin, "--budget", str(budget))
        value, chosen = self.best_by_enumeration(budget)
        assert lines[0] == "Status: optimal"
        assert number(lines[1], "Return: ") == pytest.approx(value)
        assert lines[2].endswith(f" of {budget:.2f}")
        assert number(lines[2], "Cost: ") <= budget
        assert lines[3] == "Funded: " + ", ".join(chosen)

    def test_nothing_fits(self, standin):
        lines = run_example("project_selection.py", standin, "--budget", "5")
        assert lines == ["Status: optimal", "Return: 0.00", "Cost: 0.00 of 5.00", "Funded: nothing"]


class TestTimeLimit:
    def test_stops_with_an_incumbent(self, standin):
        lines = run_example("time_limit.py", standin, "--time-limit", "0.5")
        weights, targets = load_example("time_limit.py").make_instance(1)
        match = re.fullmatch(r"Status: ([01]) \((other|optimal)\)", lines[0])
        assert match, lines[0]
        deviation = int(number(lines[1], "Incumbent: total deviation "))
        # Only a perfect split can be proven optimal in that time.
        assert match[1] == "0" or deviation == 0
        picked = [int(j) for j in re.findall(r"\d+", lines[2].removeprefix("Items: "))]
        totals = [sum(row[j] for j in picked) for row in weights]
        assert lines[3:] == [f"  total {t} for target {g}" for t, g in zip(totals, targets, strict=False)]
        assert deviation == sum(abs(t - g) for t, g in zip(totals, targets, strict=False))

    def test_no_time_gives_no_incumbent(self, standin):
        lines = run_example("time_limit.py", standin, "--time-limit", "0")
        assert lines == ["Status: 0 (other)", "No incumbent: the time limit came before any solution was found."]


@pytest.mark.parametrize("mode", [["--workers", "2"], ["--dask", "local:2"]], ids=["pool", "dask"])
def test_scenario_sweep_modes_agree(standin, mode):
    pytest.importorskip("distributed")
    pytest.importorskip("rich")
    size = ["--scenarios", "4", "--facilities", "6", "--customers", "8"]
    serial = run_example("scenario_sweep.py", standin, *size, "--serial", quiet=False)[-4:]
    for k, line in enumerate(serial):
        assert re.fullmatch(rf"scenario {k} status 1 objective \d+\.\d+(e[+-]\d+)?", line), line
    # Scenario 0 is the facility location instance itself.
    base = run_example("facility_location.py", standin, *size[2:])
    assert f"{float(serial[0].split()[-1]):.2f}" == base[2].removeprefix("Total cost: ")
    assert run_example("scenario_sweep.py", standin, *size, *mode, quiet=False)[-4:] == serial
