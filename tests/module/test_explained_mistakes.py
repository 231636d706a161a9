"""Mistakes a user coming from other Gurobi interfaces makes, and what each one
reads: the exception's text and note (PEP 678), or the warning's text."""

import warnings

import pytest

NAN, INF = float("nan"), float("inf")
TYPE_RULE = ": Gurobi takes C, B, I, S or N"
NOT_NAN = ": Gurobi takes any number but NaN"
FINITE = ": Gurobi takes finite numbers only"
NEW_VARIABLES = "Gurobi refused the new variables: error code 10003"
FIRST_CONSTRAINT = "Gurobi refused constraint 3: error code 10003"
OBJECTIVE = "Gurobi refused the objective: error code 10003"
PARAMETER = 'Gurobi parameter "{}" left unset: '

# (mistake, call on a model with variables 0 to 2, exception type or None for a
# warning, text, note or None)
MISTAKES = [
    (
        "gurobipy's MAXIMIZE as the sense",
        lambda m: m.set_objective([0], [1.0], 0.0, -1),
        None,
        "set_objective() argument 'sense' is -1: 1 maximises and any other value minimises "
        "(Gurobi's ModelSense uses -1 for maximise)",
        None,
    ),
    (
        "another sense number",
        lambda m: m.set_objective([0], [1.0], 0.0, 2),
        None,
        "set_objective() argument 'sense' is 2: 1 maximises and any other value minimises "
        "(Gurobi's ModelSense uses -1 for maximise)",
        None,
    ),
    (
        "an unknown type code",
        lambda m: m.add_variables(3, vtypes=["C", "B", "Q"]),
        RuntimeError,
        NEW_VARIABLES,
        "add_variables() argument 'vtypes' item 2 is 'Q'" + TYPE_RULE,
    ),
    (
        "a type code of one variable",
        lambda m: m.add_variable(vtype="x"),
        RuntimeError,
        NEW_VARIABLES,
        "add_variable() argument 'vtype' is 'x'" + TYPE_RULE,
    ),
    (
        "a type code beyond ASCII",
        lambda m: m.add_variables(2, vtypes=["C", "\u0143"]),
        RuntimeError,
        NEW_VARIABLES,
        "add_variables() argument 'vtypes' item 1 is '\u0143'" + TYPE_RULE,
    ),
    (
        "a long name",
        lambda m: m.add_variables(2, names=["n" * 300, "b"]),
        RuntimeError,
        NEW_VARIABLES,
        "add_variables() argument 'names' item 0 has 300 bytes: Gurobi takes at most 255",
    ),
    (
        "a name that its suffix makes too long",
        lambda m: m.add_variable(name="é" * 127),
        RuntimeError,
        NEW_VARIABLES,
        "add_variable() argument 'name' followed by \"_0\" has 256 bytes: Gurobi takes at most 255",
    ),
    (
        "a NaN bound",
        lambda m: m.add_variables(2, ubs=[1.0, NAN]),
        RuntimeError,
        NEW_VARIABLES,
        "add_variables() argument 'ubs' item 1 is nan" + NOT_NAN,
    ),
    (
        "a NaN bound of one variable",
        lambda m: m.add_variable(lb=NAN),
        RuntimeError,
        NEW_VARIABLES,
        "add_variable() argument 'lb' is nan" + NOT_NAN,
    ),
    (
        "an infinite coefficient",
        lambda m: m.add_constraint([0, 1], [1.0, INF], 0.0, "<", 1.0),
        RuntimeError,
        FIRST_CONSTRAINT,
        "add_constraint() argument 'coeffs' item 1 is inf" + FINITE,
    ),
    (
        "coefficients of one variable that overflow",
        lambda m: m.add_constraint([0, 1, 0], [1e308, 1.0, 1e308], 0.0, "<", 1.0),
        RuntimeError,
        FIRST_CONSTRAINT,
        "add_constraint() argument 'coeffs' holds coefficients of one variable that add up to an infinite number"
        + FINITE,
    ),
    (
        "a NaN constant",
        lambda m: m.add_constraint([0], [1.0], NAN, "<", 1.0),
        RuntimeError,
        FIRST_CONSTRAINT,
        "add_constraint() argument 'constant' is nan" + NOT_NAN,
    ),
    (
        "an infinite right-hand side less as infinite a constant",
        lambda m: m.add_constraint([0], [1.0], INF, ">", INF),
        RuntimeError,
        FIRST_CONSTRAINT,
        "add_constraint() argument 'rhs' is inf and so is the constant: Gurobi takes the right-hand side less "
        "the constant, and that is NaN",
    ),
    (
        "a long constraint name",
        lambda m: m.add_constraint([0], [1.0], 0.0, "<", 1.0, "c" * 256),
        RuntimeError,
        FIRST_CONSTRAINT,
        "add_constraint() argument 'name' has 256 bytes: Gurobi takes at most 255",
    ),
    (
        "an infinite coefficient in a batch",
        lambda m: m.add_constraints([[0], [1, 2]], [[1.0], [2.0, -INF]], [0.0, 0.0], ["<", ">"], [1.0, 1.0]),
        RuntimeError,
        "Gurobi refused constraint 4: error code 10003",
        "add_constraints() argument 'fs_coeffs' item 1[1] is -inf" + FINITE,
    ),
    (
        "a NaN right-hand side in a batch",
        lambda m: m.add_constraints([[0]], [[1.0]], [0.0], ["="], [NAN]),
        RuntimeError,
        FIRST_CONSTRAINT,
        "add_constraints() argument 'rhss' item 0 is nan" + NOT_NAN,
    ),
    (
        "a NaN objective coefficient",
        lambda m: m.set_objective([0, 1], [1.0, NAN], 0.0, 1),
        RuntimeError,
        OBJECTIVE,
        "set_objective() argument 'coeffs' item 1 is nan" + NOT_NAN,
    ),
    (
        "an infinite objective constant",
        lambda m: m.set_objective([0], [1.0], -INF, 0),
        RuntimeError,
        OBJECTIVE,
        "set_objective() argument 'constant' is -inf" + FINITE,
    ),
    (
        "gurobipy's sense name",
        lambda m: m.add_constraint([0], [1.0], 0.0, "L", 1.0),
        ValueError,
        "Invalid sense character",
        "add_constraint() argument 'sense' is 'L': Gurobi takes '<', '>' or '='",
    ),
    (
        "a fractional int parameter",
        lambda m: m.set_optimizer_attr("Threads", 2.5),
        None,
        PARAMETER.format("Threads") + "error code 10007; Threads takes an int",
        None,
    ),
    (
        "a str for a double parameter",
        lambda m: m.set_optimizer_attr("MIPGap", "0.1"),
        None,
        PARAMETER.format("MIPGap") + "error code 10007; MIPGap takes a number",
        None,
    ),
    (
        "a number for a str parameter",
        lambda m: m.set_optimizer_attr("LogFile", 1),
        None,
        PARAMETER.format("LogFile") + "as an int: error code 10007; as a double: error code 10007; LogFile takes a str",
        None,
    ),
    (
        "an unknown parameter",
        lambda m: m.set_optimizer_attr("MaxThreads", 2.5),
        None,
        PARAMETER.format("MaxThreads") + "error code 10007",
        None,
    ),
]


@pytest.mark.parametrize("call, kind, text, note", [row[1:] for row in MISTAKES], ids=[row[0] for row in MISTAKES])
def test_mistake_reads(model, call, kind, text, note):
    model.add_variables(3)
    model.add_constraints([[0]] * 3, [[1.0]] * 3, [0.0] * 3, ["<"] * 3, [1.0] * 3)
    if kind is None:
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            call(model)
        assert [(w.category, str(w.message)) for w in caught] == [(RuntimeWarning, text)]
        return
    with pytest.raises(kind) as info:
        call(model)
    assert str(info.value) == text
    assert getattr(info.value, "__notes__", None) == [note]


def test_refusals_of_gurobi_itself_carry_no_note(model, fail):
    fail(GRBaddvars=10003)
    with pytest.raises(RuntimeError) as info:
        model.add_variables(2)
    assert str(info.value) == NEW_VARIABLES
    assert not hasattr(info.value, "__notes__")
