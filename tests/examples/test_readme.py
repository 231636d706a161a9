"""README.md stays true: its runnable code blocks print what it shows, and the
messages it quotes are the ones the module raises."""

import math
import os
import pathlib
import re
import subprocess
import sys

import pytest

from velkin_gurobi import Model

README = (pathlib.Path(__file__).resolve().parent.parent.parent / "README.md").read_text()


def python_blocks():
    """Each ```python block (```py marks fragments that are not run) with the ```text block after it."""
    pattern = re.compile(r"```python\n(.*?)```\n\n```text\n(.*?)```", re.S)
    return [pytest.param(code, output, id=f"block{i}") for i, (code, output) in enumerate(pattern.findall(README))]


def test_blocks_are_found():
    assert len(python_blocks()) == 2
    assert README.count("```python") == len(python_blocks())


@pytest.mark.parametrize("code, output", python_blocks())
def test_code_block_prints_what_is_shown(code, output):
    env = {k: v for k, v in os.environ.items() if not k.startswith(("GRB_STANDIN_", "GUROBI_HOME"))}
    result = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, env=env, timeout=120)
    assert result.returncode == 0, result.stderr
    assert result.stdout == output


def test_commands_are_the_documented_ones():
    assert 'python -m pip install ".[test]" && python examples/facility_location.py' in README
    assert "python -m pytest -q tests" in README


def message(call):
    with pytest.raises(BaseException) as info:
        call()
    # The README writes Gurobi's codes and the refused constraint's index as placeholders.
    text = re.sub(r"error code -?\d+", "error code <code>", str(info.value))
    return re.sub(r"refused constraint \d+", "refused constraint <index>", text)


def warning(call):
    with pytest.warns(RuntimeWarning) as caught:
        call()
    (text,) = [str(w.message) for w in caught]
    return text


def fail_objective(model, monkeypatch):
    # The model's three variables are still pending: the refusal discards them.
    monkeypatch.setenv("GRB_STANDIN_FAIL", "GRBsetintattr=10003")
    try:
        model.set_objective([0], [1.0], 0.0, 1)
    finally:
        monkeypatch.delenv("GRB_STANDIN_FAIL")


def test_quoted_messages_are_raised(model, standin, tmp_path, monkeypatch, on_gurobi):
    model.add_variables(3)
    raised = [
        message(lambda: model.add_variable(lb="1")),
        message(lambda: model.add_variables(2.0)),
        message(lambda: model.add_constraint([1.0], [1.0], 0.0, "<", 1.0)),
        message(lambda: model.add_variables(2, vtypes="CB")),
        message(lambda: model.add_variables(2, lbs={1.0, 2.0})),
        message(lambda: model.add_variable(vtype="BI")),
        message(lambda: model.add_constraint([0], [1.0], 0.0, "<=", 1.0)),
        message(lambda: model.add_constraint([0], [1.0], 0.0, "L", 1.0)),
        message(lambda: model.add_variables(3, names=["a", "b"])),
        message(lambda: model.add_constraints([[0], [0]], [[1.0]], [0.0, 0.0], ["<", "<"], [1.0, 1.0])),
        message(lambda: model.add_constraints([[0], [0]], [[1.0], [1.0]], [0.0, 0.0], ["<", "<"], [1.0, 1.0], ["a"])),
        message(lambda: model.add_variable(name="a\0b")),
        message(lambda: model.add_constraint([-1], [1.0], 0.0, "<", 1.0)),
        message(lambda: model.add_constraint([2**31], [1.0], 0.0, "<", 1.0)),
        message(lambda: model.add_constraint([7], [1.0], 0.0, "<", 1.0)),
        message(lambda: model.add_variable(vtype="Q")),
        message(lambda: model.add_constraint([0], [math.inf], 0.0, "<", 1.0)),
        warning(lambda: model.set_optimizer_attr("Threads", 5000)),
        message(lambda: model.add_variables(2**31)),
        message(lambda: model.set_objective([0], [1.0], 0.0, 2**31)),
        message(lambda: model.set_optimizer_attr("Silent", None)),
        message(lambda: Model(dll_path=pathlib.Path("/x"))),
        message(lambda: Model(b"x")),
        message(lambda: Model("a\0b", standin)),
        message(lambda: Model(dll_path="a\0b.so")),
    ]
    if not on_gurobi:
        # Only the stand-in can be made to fail a call.
        raised.append(message(lambda: fail_objective(model, monkeypatch)))
    model.add_variable()  # the refusal above discarded the pending variables
    raised.append(
        warning(lambda: model.add_constraints([[0], [0]], [[1.0], [1.0]], [0.0, 0.0], ["<", "L"], [1.0, 1.0]))
    )
    for text in raised:
        assert text in README, text
    monkeypatch.setenv("GUROBI_HOME", str(tmp_path))
    home_message = message(Model).replace(str(tmp_path), "<GUROBI_HOME>")
    assert f"`{home_message}`" in README
