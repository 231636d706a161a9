"""The shipped type information: the stubs match the module, and typed code passes mypy --strict."""

import ast
import inspect
import os
import pathlib
import subprocess
import sys

import pytest

import velkin_gurobi

HERE = pathlib.Path(__file__).parent
ROOT = HERE.parent.parent
INSTALLED_STUB = pathlib.Path(velkin_gurobi.__file__).parent / "velkin_gurobi-stubs" / "__init__.pyi"


def stub_signatures():
    """'name': '(self, /, a=None, ...)' for every function of the stub's Model class."""
    tree = ast.parse(INSTALLED_STUB.read_text())
    (model,) = [node for node in tree.body if isinstance(node, ast.ClassDef) and node.name == "Model"]
    signatures = {}
    for node in model.body:
        if not isinstance(node, ast.FunctionDef):
            continue
        args = node.args
        positional = args.posonlyargs + args.args
        defaults = [None] * (len(positional) - len(args.defaults)) + args.defaults
        parts = []
        for index, (arg, default) in enumerate(zip(positional, defaults, strict=True)):
            parts.append(arg.arg if default is None else f"{arg.arg}={ast.unparse(default)}")
            if args.posonlyargs and index == len(args.posonlyargs) - 1:
                parts.append("/")
        signatures[node.name] = "(" + ", ".join(parts) + ")"
    return signatures


def run_mypy(*paths, cwd):
    command = [
        sys.executable,
        "-m",
        "mypy",
        "--strict",
        "--python-version",
        "3.10",
        "--cache-dir",
        os.devnull,
        "--no-error-summary",
        *map(str, paths),
    ]
    return subprocess.run(command, capture_output=True, text=True, cwd=cwd, timeout=600)


class TestStubs:
    def test_installed_beside_the_module(self):
        assert INSTALLED_STUB.is_file()
        assert (pathlib.Path(velkin_gurobi.__file__).parent / "velkin_gurobi_standin" / "py.typed").is_file()

    def test_methods_and_parameters_match_the_module(self):
        stub = stub_signatures()
        runtime = {
            name: str(inspect.signature(getattr(velkin_gurobi.Model, name)))
            for name in velkin_gurobi.Model.__dict__
            if not name.startswith("__")
        }
        assert stub.pop("__new__") == "(cls, " + str(inspect.signature(velkin_gurobi.Model))[1:]
        assert stub == runtime

    def test_typed_usage_runs(self):
        result = subprocess.run([sys.executable, str(HERE / "usage.py")], capture_output=True, text=True, timeout=120)
        assert result.returncode == 0, result.stderr
        assert result.stdout == "1 25.5 0.5\n"


class TestMypyStrict:
    """mypy runs outside the source tree, so it sees only what the installed package ships."""

    @pytest.fixture(autouse=True)
    def need_mypy(self):
        pytest.importorskip("mypy")

    def test_usage_examples_and_standin_pass(self, tmp_path):
        # The project's settings let the scenario sweep pass without its
        # distributed extra too, with Dask and rich taken as untyped.
        examples = sorted((ROOT / "examples").glob("*.py"))
        result = run_mypy("--config-file", ROOT / "pyproject.toml", HERE / "usage.py", *examples, cwd=tmp_path)
        assert result.returncode == 0, result.stdout + result.stderr
        result = run_mypy("-p", "velkin_gurobi_standin", cwd=tmp_path)
        assert result.returncode == 0, result.stdout + result.stderr

    def test_numpy_arrays_pass(self, tmp_path):
        pytest.importorskip("numpy")
        result = run_mypy(HERE / "usage_numpy.py", cwd=tmp_path)
        assert result.returncode == 0, result.stdout + result.stderr

    def test_misuse_is_refused(self, tmp_path):
        # Each line of misuse.py carries the ignore it needs; an unneeded one fails the run.
        result = run_mypy(HERE / "misuse.py", cwd=tmp_path)
        assert result.returncode == 0, result.stdout + result.stderr
        stripped = tmp_path / "misuse_unmarked.py"
        stripped.write_text(
            "\n".join(line.split("  # type: ignore")[0] for line in (HERE / "misuse.py").read_text().splitlines())
            + "\n"
        )
        result = run_mypy(stripped, cwd=tmp_path)
        errors = [line for line in result.stdout.splitlines() if ": error:" in line]
        expected = sum("# type: ignore[" in line for line in (HERE / "misuse.py").read_text().splitlines())
        assert len({line.split(":")[1] for line in errors}) == expected, result.stdout
