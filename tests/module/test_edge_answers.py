"""Answers at the edges of what Gurobi takes: each row runs on the stand-in and, with
--gurobi, on Gurobi, and must give the same answer on both."""

import math
import warnings

import numpy as np
import pytest

INF = math.inf
REFUSED = "Gurobi refused {}: error code 10003"
# The end of the message, or the start of the note (PEP 678) that pytest reads with it.
END = r"(\n|$)"


def unbounded_mip_with_dual_reductions_off(model, trace):
    # Gurobi 13 calls this optimal, with X = [inf, 0] and an infinite objective.
    x, y = model.add_variables(2, vtypes=["I", "C"], lbs=[0.0, 0.0], ubs=[INF, 1.0])
    model.add_constraint([x, y], [1.0, -1.0], 0.0, ">", 0.0)
    model.set_objective([x, y], [1.0, 1.0], 0.0, 1)
    model.set_optimizer_attr("DualReductions", 0)
    model.set_optimizer_attr("Silent", True)
    assert model.optimize() == 3
    assert (model.get_objective_value(), model.get_var_value(x), model.get_var_value(y)) == (None, None, None)


def infinite_objective_constant(model, trace):
    model.add_variables(2)
    model.set_objective([0, 1], [1.0, 2.0], 5.0, 1)
    trace.clear()
    for constant in (INF, -INF):
        with pytest.raises(RuntimeError, match=f"^{REFUSED.format('the objective')}{END}"):
            model.set_objective([1], [3.0], constant, 0)
    assert trace.fns() == []


def merged_coefficients_that_overflow(model, trace):
    model.add_variables(2)
    trace.clear()
    long_row = [0, 1] * 9  # past the length merged by sorting
    calls = [
        lambda: model.add_constraint([0, 0], [1e308, 1e308], 0.0, "<", 1.0),
        lambda: model.add_constraints([[1], [0, 1, 0]], [[1.0], [1e308, 1.0, 1e308]], [0.0] * 2, ["<"] * 2, [1.0] * 2),
        lambda: model.add_constraint(long_row, [1e308] * 18, 0.0, "<", 1.0),
        lambda: model.add_constraints(np.array([long_row]), np.full((1, 18), -1e308), [0.0], ["<"], [1.0]),
    ]
    for call, index in zip(calls, (0, 1, 0, 0)):
        with pytest.raises(RuntimeError, match=f"^{REFUSED.format(f'constraint {index}')}{END}"):
            call()
    assert trace.fns() == []
    # Large coefficients that merge to a finite one are taken.
    assert model.add_constraint([0, 0, 1], [1e308, -1e308, 1e308], 0.0, "<", 1.0) == 0
    assert trace.only("GRBaddconstr")["cval"] == [0.0, 1e308]
    trace.clear()
    rows = [[1e308, 1e308, -1e308], [1e308, 1e308]]
    assert model.add_constraints([[1, 0, 1], [0, 1]], rows, [0.0] * 2, ["<"] * 2, [1.0] * 2) == [1, 2]
    assert [c["cval"] for c in trace.calls("GRBaddconstr")] == [[0.0, 1e308], [1e308, 1e308]]


def array_changed_by_a_warnings_hook(model, trace):
    # Sense "L" warns after the rows are checked; the hook changes an index then.
    model.add_variables(2)
    trace.clear()
    for changed in (2**32 + 1, -1, 99):
        rows = np.array([[0, 1]], dtype=np.int64)

        def hook(*args, **kwargs):
            rows[0, 1] = changed

        with warnings.catch_warnings():
            warnings.simplefilter("always")
            warnings.showwarning = hook
            with pytest.raises(IndexError):
                model.add_constraints(rows, np.ones((1, 2)), [0.0], ["L"], [1.0])
    assert trace.fns() == []
    assert model.add_variable() == 2


def array_values_changed_to_nan(model, trace):
    model.add_variables(2)
    coeffs = np.ones((1, 2))

    def hook(*args, **kwargs):
        coeffs[0, 0] = math.nan

    trace.clear()
    with warnings.catch_warnings():
        warnings.simplefilter("always")
        warnings.showwarning = hook
        with pytest.raises(RuntimeError, match=f"^{REFUSED.format('constraint 0')}{END}"):
            model.add_constraints(np.array([[0, 1]]), coeffs, [0.0], ["L"], [1.0])
    assert trace.fns() == []


def type_codes_beyond_ascii(model, trace):
    for code in ("\u0142", "\u0143", "\u0149", "\u0153"):  # low bytes B, C, I, S
        with pytest.raises(RuntimeError, match=f"^{REFUSED.format('the new variables')}{END}"):
            model.add_variable(vtype=code)
        with pytest.raises(RuntimeError, match=f"^{REFUSED.format('the new variables')}{END}"):
            model.add_variables(2, vtypes=["C", code])
    assert trace.fns() == []
    assert model.add_variables(2, vtypes=["b", "N"]) == [0, 1]


def huge_indices_name_no_variable(model, trace):
    model.add_variables(1)
    trace.clear()
    for index in (2**64, 2**64 + 1, 10**40):
        assert model.get_var_value(index) is None
    assert trace.calls("GRBgetdblattrelement") == []
    with pytest.raises(OverflowError):
        model.get_var_value(-(2**64))


def refused_objective_reset_names_its_cause(model, trace, fail):
    # Two variables applied and one pending: the range reset is refused, which
    # discards the pending one, and the reset one at a time then meets it gone.
    model.add_variables(2)
    model.update()
    model.add_variable()
    fail(GRBsetdblattrarray=10003)
    with pytest.raises(RuntimeError) as info:
        model.set_objective([0], [1.0], 0.0, 1)
    assert str(info.value) == (
        "Gurobi refused the objective: error code 10003; variable 2 no longer exists; it will be handed out again"
    )
    fail()
    assert model.add_variable() == 2


CASES = [
    unbounded_mip_with_dual_reductions_off,
    infinite_objective_constant,
    merged_coefficients_that_overflow,
    array_changed_by_a_warnings_hook,
    array_values_changed_to_nan,
    type_codes_beyond_ascii,
    huge_indices_name_no_variable,
    refused_objective_reset_names_its_cause,
]


@pytest.mark.parametrize("case", CASES, ids=[case.__name__ for case in CASES])
def test_edge_answer(case, request, model, trace):
    arguments = {"model": model, "trace": trace}
    if "fail" in case.__code__.co_varnames[: case.__code__.co_argcount]:
        arguments["fail"] = request.getfixturevalue("fail")
    case(**arguments)

