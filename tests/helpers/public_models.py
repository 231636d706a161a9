"""Public MIPLIB 3 models and the optimal objectives their source states, from the source
distribution of python-mip on PyPI (its test/data folder and the bounds of its file test),
read into velkin_gurobi models. The distribution is fetched once with pip into
build/public-models; run as a script, this file fetches it and lists the models."""

from __future__ import annotations

import ast
import gzip
import math
import subprocess
import sys
import tarfile
from dataclasses import dataclass, field
from pathlib import Path

DISTRIBUTION = "mip==2.0.0"
CACHE = Path(__file__).resolve().parents[2] / "build" / "public-models"
BOUNDS_FILE = "test/mip_files_test.py"
DATA_FOLDER = "test/data/"


class ModelsUnavailable(RuntimeError):
    """The distribution could not be fetched or read."""


@dataclass
class MpsModel:
    """A model as an MPS file states it: minimise, or maximise with OBJSENSE MAX."""

    name: str
    columns: list[str] = field(default_factory=list)
    integer: list[bool] = field(default_factory=list)
    lower: list[float] = field(default_factory=list)
    upper: list[float] = field(default_factory=list)
    objective: dict[int, float] = field(default_factory=dict)
    constant: float = 0.0
    maximise: bool = False
    rows: list[tuple[str, str]] = field(default_factory=list)  # (name, sense N/L/G/E)
    terms: dict[str, dict[int, float]] = field(default_factory=dict)
    rhs: dict[str, float] = field(default_factory=dict)


def fetch(cache: Path = CACHE) -> Path:
    """The folder holding the models (*.mps.gz) and bounds.txt, fetched when absent."""
    marker = cache / "bounds.txt"
    if marker.exists():
        return cache
    cache.mkdir(parents=True, exist_ok=True)
    command = [sys.executable, "-m", "pip", "download", "--quiet", "--no-deps", "--no-binary", ":all:"]
    result = subprocess.run([*command, "-d", str(cache), DISTRIBUTION], capture_output=True, text=True, timeout=300)
    archives = sorted(cache.glob("mip-*.tar.gz"))
    if result.returncode != 0 or not archives:
        raise ModelsUnavailable(f"pip could not fetch the source of {DISTRIBUTION}: {result.stderr.strip()[-500:]}")
    with tarfile.open(archives[0]) as archive:
        bounds = None
        for member in archive.getmembers():
            inside = member.name.split("/", 1)[-1]
            if inside == BOUNDS_FILE:
                bounds = stated_bounds(archive.extractfile(member).read().decode())
            elif inside.startswith(DATA_FOLDER) and inside.endswith(".mps.gz"):
                (cache / Path(inside).name).write_bytes(archive.extractfile(member).read())
    if bounds is None:
        raise ModelsUnavailable(f"{DISTRIBUTION} has no {BOUNDS_FILE}")
    marker.write_text("".join(f"{name} {low!r} {high!r}\n" for name, (low, high) in sorted(bounds.items())))
    return cache


def stated_bounds(source: str) -> dict[str, tuple[float, float]]:
    """The BOUNDS dict of python-mip's file test: the best lower and upper bound of each
    model's optimum, read from the source text without running it."""
    for node in ast.walk(ast.parse(source)):
        if isinstance(node, ast.Assign) and any(getattr(t, "id", None) == "BOUNDS" for t in node.targets):
            return {name: (float(low), float(high)) for name, (low, high) in ast.literal_eval(node.value).items()}
    raise ModelsUnavailable("no BOUNDS in python-mip's file test")


def optima(cache: Path) -> dict[str, float]:
    """The models whose stated bounds meet: their optimal objective."""
    result = {}
    for line in (cache / "bounds.txt").read_text().splitlines():
        name, low, high = line.split()
        if float(low) == float(high):
            result[name] = float(low)
    return result


def read_mps(path: Path) -> MpsModel:
    """A fixed or free MPS file without spaces in its names or RANGES. Integer columns
    without bounds of their own lie in [0, inf), as Gurobi reads them."""
    model = MpsModel(path.name.split(".")[0])
    index: dict[str, int] = {}
    section = ""
    integer = False
    objective_row = None
    with gzip.open(path, "rt") as lines:
        for line in lines:
            if not line.strip() or line.startswith("*"):
                continue
            words = line.split()
            if not line[0].isspace():
                section = words[0]
                if section == "OBJSENSE" and len(words) > 1:
                    model.maximise = words[1].upper() in ("MAX", "MAXIMIZE")
                continue
            if section == "OBJSENSE":
                model.maximise = words[0].upper() in ("MAX", "MAXIMIZE")
            elif section == "ROWS":
                if words[0] == "N":
                    objective_row = objective_row or words[1]
                    continue
                model.rows.append((words[1], words[0]))
                model.terms[words[1]] = {}
            elif section == "COLUMNS":
                if len(words) >= 3 and words[1] == "'MARKER'":
                    integer = words[2] == "'INTORG'"
                    continue
                column = index.get(words[0])
                if column is None:
                    column = index[words[0]] = len(model.columns)
                    model.columns.append(words[0])
                    model.integer.append(integer)
                    model.lower.append(0.0)
                    model.upper.append(math.inf)
                for row, value in zip(words[1::2], words[2::2]):
                    if row == objective_row:
                        model.objective[column] = float(value)
                    elif row in model.terms:
                        model.terms[row][column] = float(value)
            elif section == "RANGES":
                raise ValueError(f"{model.name} has RANGES, which this reader does not take")
            elif section == "RHS":
                pairs = words[len(words) % 2 :]  # after the vector's name, when given
                for row, value in zip(pairs[::2], pairs[1::2]):
                    if row == objective_row:
                        model.constant = -float(value)
                    else:
                        model.rhs[row] = float(value)
            elif section == "BOUNDS":
                read_bound(model, index[words[2]], words[0], float(words[3]) if len(words) > 3 else 0.0)
    return model


def read_bound(model: MpsModel, column: int, kind: str, value: float) -> None:
    if kind in ("UP", "UI"):
        model.upper[column] = value
        if value < 0 and model.lower[column] == 0:
            model.lower[column] = -math.inf
    elif kind in ("LO", "LI"):
        model.lower[column] = value
    elif kind == "FX":
        model.lower[column] = model.upper[column] = value
    elif kind == "FR":
        model.lower[column], model.upper[column] = -math.inf, math.inf
    elif kind == "MI":
        model.lower[column] = -math.inf
    elif kind == "PL":
        model.upper[column] = math.inf
    elif kind == "BV":
        model.lower[column], model.upper[column] = 0.0, 1.0
        model.integer[column] = True
    else:
        raise ValueError(f"bound kind {kind} in {model.name}")
    if kind in ("UI", "LI"):
        model.integer[column] = True


def build(model, mps: MpsModel) -> list[int]:
    """Adds `mps` to a velkin_gurobi Model; the variables' indices."""
    xs = model.add_variables(
        len(mps.columns), vtypes=["I" if i else "C" for i in mps.integer], lbs=mps.lower, ubs=mps.upper
    )
    rows, coeffs, senses, rhss = [], [], [], []
    for name, sense in mps.rows:
        rows.append(list(mps.terms[name]))
        coeffs.append(list(mps.terms[name].values()))
        senses.append({"L": "<", "G": ">", "E": "="}[sense])
        rhss.append(mps.rhs.get(name, 0.0))
    model.add_constraints(rows, coeffs, [0.0] * len(rows), senses, rhss)
    model.set_objective(list(mps.objective), list(mps.objective.values()), mps.constant, int(mps.maximise))
    return xs


if __name__ == "__main__":
    folder = fetch()
    for name, value in sorted(optima(folder).items()):
        present = (folder / f"{name}.mps.gz").exists()
        print(f"{name:12} {value:>16g} {'' if present else '(no file)'}")
