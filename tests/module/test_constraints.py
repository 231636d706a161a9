import array
import re
import warnings

import pytest


def addconstrs(trace):
    return trace.calls("GRBaddconstr")


def model_with_variables(model, trace, n=4):
    model.add_variables(n)
    trace.clear()
    return model


# call, the unknown index refused (None: the call succeeds), on a model with
# variables 0 and 1.
UNKNOWN_INDICES = [
    (lambda m: m.add_constraint([0, 2], [1.0, 1.0], 0.0, "<", 1.0), 2),
    (lambda m: m.add_constraints([[0], [1, 5]], [[1.0], [1.0, 1.0]], [0.0, 0.0], ["<", "<"], [1.0, 1.0]), 5),
    (lambda m: m.set_objective([1, 3, 4], [1.0, 2.0, 3.0], 0.0, 1), 3),
    # Ints of one internal digit (below 2**30) and of two are read alike.
    (lambda m: m.add_constraints([[1, 2**30 - 1]], [[1.0, 1.0]], [0.0], ["<"], [1.0]), 2**30 - 1),
    (lambda m: m.add_constraint([0, 2**30], [1.0, 1.0], 0.0, "<", 1.0), 2**30),
    (lambda m: m.set_objective([0, 2**31 - 2], [1.0, 1.0], 0.0, 1), 2**31 - 2),
    # Terms beyond the coefficients and rows beyond the senses never reach Gurobi.
    (lambda m: m.add_constraint([0, 9], [1.0], 0.0, "<", 1.0), None),
    (lambda m: m.add_constraints([[0], [9]], [[1.0], [1.0]], [0.0, 0.0], ["<"], [1.0]), None),
    (lambda m: m.set_objective([1, 9], [1.0], 0.0, 1), None),
]


@pytest.mark.parametrize("call, index", UNKNOWN_INDICES)
def test_unknown_variable_indices_refused_before_gurobi(model, trace, call, index):
    model_with_variables(model, trace, 2)
    if index is None:
        call(model)
        assert trace.calls() != []
        return
    with pytest.raises(IndexError) as info:
        call(model)
    assert str(info.value) == f"variable index {index} out of range (variables: 2)"
    assert trace.calls() == []
    assert model.add_constraint([], [], 0.0, "<", 1.0) == 0


# Items that NumPy cannot convert, and matrices, which iterate as matrices:
# the message names the method and the argument before NumPy's own words,
# with the type NumPy raised. `numpy_words` gives those words, or None when
# this NumPy converts the value.
NAMED_ARRAY_REFUSALS = [
    (
        lambda m, np: m.add_constraint([0, 1, 2], np.ones((3, 1)), 0.0, "<", 1.0),
        lambda np: float(np.ones(1)),
        "add_constraint() argument 'coeffs' item 0: ",
    ),
    (
        lambda m, np: m.add_variables(3, lbs=np.zeros((3, 1))),
        lambda np: float(np.ones(1)),
        "add_variables() argument 'lbs' item 0: ",
    ),
    (
        lambda m, np: m.add_constraint([0], [1.0], 0.0, "<", np.array([1.0])),
        lambda np: float(np.ones(1)),
        "add_constraint() argument 'rhs': ",
    ),
    (
        lambda m, np: m.set_objective([0], [1.0], 0.0, np.array([1])),
        lambda np: int(np.ones(1, dtype=int).__index__()),
        "set_objective() argument 'sense': ",
    ),
    (
        lambda m, np: m.add_constraint([0], [1.0], 0.0, "<", 10**400),
        lambda np: float(10**400),
        "add_constraint() argument 'rhs': ",
    ),
    (
        lambda m, np: m.add_constraint([0, 1], np.asmatrix([[1.0, 2.0]]), 0.0, "<", 1.0),
        None,
        "add_constraint() argument 'coeffs' must be a sequence, not numpy.matrix",
    ),
    (
        lambda m, np: m.add_constraint([0, 1], memoryview(np.ones((1, 2))), 0.0, "<", 1.0),
        None,
        "add_constraint() argument 'coeffs' must be a sequence, not a memoryview of 2 dimensions",
    ),
    # A matrix that is not C-contiguous is not read as a 2-D array.
    (
        lambda m, np: m.add_constraints([[0, 1]] * 2, np.asmatrix(np.ones((2, 2))).T, [0.0] * 2, ["<"] * 2, [1.0] * 2),
        None,
        "add_constraints() argument 'fs_coeffs' must be a sequence, not numpy.matrix",
    ),
]


@pytest.mark.filterwarnings("ignore::PendingDeprecationWarning")
@pytest.mark.parametrize("call, numpy_words, message", NAMED_ARRAY_REFUSALS)
def test_array_refusals_name_method_and_argument(model, trace, call, numpy_words, message):
    np = pytest.importorskip("numpy")
    error = TypeError
    if numpy_words is not None:
        try:
            numpy_words(np)
        except (TypeError, OverflowError) as raised:
            error, message = type(raised), message + str(raised)
        else:
            pytest.skip("this NumPy converts the value")
    model_with_variables(model, trace, 3)
    with pytest.raises(error) as info:
        call(model, np)
    assert type(info.value) is error and str(info.value) == message
    assert trace.calls() == []


class TestAddConstraint:
    def test_constant_moves_to_the_right_hand_side(self, model, trace):
        model_with_variables(model, trace)
        assert model.add_constraint([0], [1.0], 2.0, "<", 5.0) == 0
        assert model.add_constraint([0], [1.0], 2.0, ">", -1.0, name="low") == 1
        assert model.add_constraint([1, 2], [1.0, 2.0], 0.0, "=", 4.0) == 2
        first, second, third = addconstrs(trace)
        assert (first["numnz"], first["cind"], first["cval"], first["sense"], first["rhs"], first["name"]) == (
            1,
            [0],
            [1.0],
            "<",
            3.0,
            "c0",
        )
        assert (second["sense"], second["rhs"], second["name"]) == (">", -3.0, "low")
        assert (third["cind"], third["cval"], third["sense"], third["rhs"], third["name"]) == (
            [1, 2],
            [1.0, 2.0],
            "=",
            4.0,
            "c2",
        )

    def test_empty_function_and_ragged_pair(self, model, trace):
        model_with_variables(model, trace)
        model.add_constraint([], [], 1.5, "<", 2.0)
        model.add_constraint([0, 1, 2], [1.0, 2.0, 3.0, 4.0, 5.0], 0.0, "<", 1.0)
        empty, ragged = addconstrs(trace)
        assert empty["numnz"] == 0 and empty["rhs"] == 0.5
        assert ragged["cind"] == [0, 1, 2] and ragged["cval"] == [1.0, 2.0, 3.0]

    def test_repeated_variables_add_up_and_unknown_indices_are_refused(self, model, trace):
        model_with_variables(model, trace, 1)
        assert model.add_constraint([0, 0], [1.0, 2.0], 0.0, "<", 1.0) == 0
        assert (addconstrs(trace)[0]["cind"], addconstrs(trace)[0]["cval"]) == ([0], [3.0])
        with pytest.raises(IndexError):
            model.add_constraint([7], [1.0], 0.0, "<", 1.0)
        assert model.add_constraint([0], [1.0], 0.0, "<", 1.0) == 1

    def test_names_verbatim(self, model, trace):
        model_with_variables(model, trace, 1)
        for name in ["", "dup", "dup", "größe ≤ 3"]:
            model.add_constraint([0], [1.0], 0.0, "<", 1.0, name)
        assert [c["name"] for c in addconstrs(trace)] == ["", "dup", "dup", "größe ≤ 3"]

    @pytest.mark.parametrize(
        "args, error, message",
        [
            (("x", [1.0], 0.0, "<", 1.0), TypeError, "add_constraint() argument 'vars' must be a sequence, not str"),
            (
                ([-1], [1.0], 0.0, "<", 1.0),
                OverflowError,
                "add_constraint() argument 'vars' item 0 must not be negative",
            ),
            (
                ([2**31], [1.0], 0.0, "<", 1.0),
                OverflowError,
                "add_constraint() argument 'vars' item 0 is a variable index above 2147483647, which Gurobi cannot address",
            ),
            (([2**64], [1.0], 0.0, "<", 1.0), OverflowError, None),
            (
                ([1.0], [1.0], 0.0, "<", 1.0),
                TypeError,
                "add_constraint() argument 'vars' item 0 must be int, not float",
            ),
            (
                ([0], ["a"], 0.0, "<", 1.0),
                TypeError,
                "add_constraint() argument 'coeffs' item 0 must be real number, not str",
            ),
            (
                ([0], [1.0], None, "<", 1.0),
                TypeError,
                "add_constraint() argument 'constant' must be real number, not NoneType",
            ),
            (
                ([0], [1.0], 0.0, "<=", 1.0),
                ValueError,
                "add_constraint() argument 'sense' must be a single character, not a str of length 2",
            ),
            (([0], [1.0], 0.0, 60, 1.0), TypeError, "add_constraint() argument 'sense' must be str, not int"),
            (([0], [1.0], 0.0, "L", 1.0), ValueError, "Invalid sense character"),
            (([0], [1.0], 0.0, "<", "1"), TypeError, "add_constraint() argument 'rhs' must be real number, not str"),
            (
                ([0], [1.0], 0.0, "<", 1.0, "a\0"),
                ValueError,
                "add_constraint() argument 'name' must not contain a NUL character",
            ),
            (([0], [1.0], 0.0, "<", 1.0, b"n"), TypeError, "add_constraint() argument 'name' must be str, not bytes"),
            (([0], [1.0], 0.0, "<"), TypeError, None),
        ],
    )
    def test_refusals_leave_numbering_unchanged(self, model, trace, args, error, message):
        model_with_variables(model, trace, 1)
        with pytest.raises(error) as info:
            model.add_constraint(*args)
        if message:
            assert str(info.value) == message
        assert addconstrs(trace) == []
        assert model.add_constraint([0], [1.0], 0.0, "<", 1.0) == 0

    def test_sense_is_checked_before_the_name(self, model):
        with pytest.raises(ValueError, match="Invalid sense character"):
            model.add_constraint([0], [1.0], 0.0, "?", 1.0, "bad\0name")


class TestAddConstraints:
    def test_batch_with_default_names_then_single(self, model, trace):
        model_with_variables(model, trace)
        with pytest.warns(RuntimeWarning, match="sense 'L' of constraint 1"):
            out = model.add_constraints(
                [[0], [1, 2], []], [[1.0], [1.0, -1.0], []], [0.0, 1.0, 2.0], ["<", "L", ">"], [4.0, 5.0, 6.0]
            )
        assert out == [0, 1, 2]
        assert model.add_constraint([3], [1.0], 0.0, "=", 0.0) == 3
        calls = addconstrs(trace)
        assert [(c["sense"], c["rhs"], c["name"]) for c in calls] == [
            ("<", 4.0, "c0"),
            ("=", 4.0, "c1"),
            (">", 4.0, "c2"),
            ("=", 0.0, "c3"),
        ]
        assert calls[1]["cind"] == [1, 2] and calls[1]["cval"] == [1.0, -1.0]

    def test_shortest_of_vars_senses_rhss_decides_the_count(self, model, trace):
        model_with_variables(model, trace)
        out = model.add_constraints([[0], [1], [2]], [[1.0]] * 3, [0.0] * 3, ["<", "<"], [1.0, 2.0, 3.0])
        assert out == [0, 1]
        assert len(addconstrs(trace)) == 2
        assert model.add_constraints([[0]], [[1.0]], [0.0], ["<"], [1.0], ["n"]) == [2]

    def test_every_other_sense_character_is_equality_with_one_warning(self, model, trace):
        model_with_variables(model, trace)
        args = ([[0]] * 4, [[1.0]] * 4, [0.0] * 4, ["=", "x", "\u2264", "<"], [1.0] * 4)
        message = "add_constraints: sense 'x' of constraint 1 is not '<', '=' or '>'; it is added as an equality"
        with pytest.warns(RuntimeWarning) as caught:
            model.add_constraints(*args)
        assert [(w.message.args[0], w.filename) for w in caught] == [(message, __file__)]
        assert [c["sense"] for c in addconstrs(trace)] == ["=", "=", "=", "<"]
        # Raised as an error, the warning comes before anything reaches Gurobi.
        trace.clear()
        with warnings.catch_warnings():
            warnings.simplefilter("error", RuntimeWarning)
            with pytest.raises(RuntimeWarning, match="^" + re.escape(message) + "$"):
                model.add_constraints(*args)
        assert addconstrs(trace) == []
        assert model.add_constraint([0], [1.0], 0.0, "<", 1.0) == 4

    def test_ragged_rows_and_surplus_entries(self, model, trace):
        model_with_variables(model, trace)
        model.add_constraints(
            [[0, 1, 2], [0]], [[1.0], [1.0, 2.0]], [0.0, 0.0, 9.0], ["<", ">"], [1.0, 1.0], names=["a", "b", "c"]
        )
        first, second = addconstrs(trace)
        assert first["cind"] == [0] and second["cind"] == [0] and second["cval"] == [1.0]
        assert [first["name"], second["name"]] == ["a", "b"]

    # A row, and its terms as Gurobi gets them: rows without repeats keep
    # their order; repeats add up on the first term, short rows and rows
    # past 16 terms alike.
    @pytest.mark.parametrize(
        "row, cind, cval",
        [
            ([3, 1, 2], [3, 1, 2], [1.0, 2.0, 3.0]),
            ([2, 0, 2], [2, 0], [4.0, 2.0]),
            ([5, 5, 5], [5], [6.0]),
            (list(range(19, -1, -1)), list(range(19, -1, -1)), [float(k + 1) for k in range(20)]),
            # Variable 7 at positions 0, 8 and 20: 1.0 + 9.0 + 21.0.
            ([7, *range(19), 7], [7, *range(7), *range(8, 19)], [31.0, *(float(v + 2) for v in range(19) if v != 7)]),
        ],
    )
    def test_rows_pass_in_order_and_repeats_add_up(self, model, trace, row, cind, cval):
        model_with_variables(model, trace, 20)
        coeffs = [float(k + 1) for k in range(len(row))]
        model.add_constraints([row] * 2, [coeffs, array.array("d", coeffs)], [0.0] * 2, ["<"] * 2, [1.0] * 2)
        assert [(c["cind"], c["cval"]) for c in addconstrs(trace)] == [(cind, cval)] * 2

    def test_empty_batch(self, model, trace):
        assert model.add_constraints([], [], [], [], []) == []
        assert addconstrs(trace) == []
        assert model.add_constraint([], [], 0.0, "<", 0.0) == 0

    def test_tuples_and_buffers(self, model, trace):
        model_with_variables(model, trace)
        model.add_constraints(((0, 1),), ((1.0, 2.0),), (0.5,), ("<",), (3.0,))
        model.add_constraints(
            [array.array("q", [0, 1])],
            [array.array("d", [1.0, 2.0])],
            array.array("d", [0.5]),
            ["<"],
            array.array("d", [3.0]),
        )
        a, b = addconstrs(trace)
        assert (a["cind"], a["cval"], a["rhs"]) == (b["cind"], b["cval"], b["rhs"]) == ([0, 1], [1.0, 2.0], 2.5)

    @pytest.mark.parametrize(
        "args, error, message",
        [
            (
                ([[0], [0]], [[1.0]], [0.0, 0.0], ["<", "<"], [1.0, 1.0]),
                ValueError,
                "add_constraints() argument 'fs_coeffs' has 1 items, fewer than the 2 functions of 'fs_vars'",
            ),
            (
                ([[0], [0]], [[1.0], [1.0]], [0.0], ["<"], [1.0]),
                ValueError,
                "add_constraints() argument 'fs_consts' has 1 items, fewer than the 2 functions of 'fs_vars'",
            ),
            (
                ([[0], [0]], [[1.0], [1.0]], [0.0, 0.0], ["<", "<"], [1.0, 1.0], ["a"]),
                ValueError,
                "add_constraints() argument 'names' has 1 items, fewer than the 2 constraints to add",
            ),
            (
                ([[0]], [[1.0]], [0.0], ["<"], [1.0], ["a\0"]),
                ValueError,
                "add_constraints() argument 'names' item 0 must not contain a NUL character",
            ),
            (
                ([[0], "ab"], [[1.0], [1.0]], [0.0, 0.0], ["<", "<"], [1.0, 1.0]),
                TypeError,
                "add_constraints() argument 'fs_vars' item 1 must be a sequence, not str",
            ),
            (
                ([[0, -3]], [[1.0, 1.0]], [0.0], ["<"], [1.0]),
                OverflowError,
                "add_constraints() argument 'fs_vars' item 0[1] must not be negative",
            ),
            (([[2**32 + 5]], [[1.0]], [0.0], ["<"], [1.0]), OverflowError, None),
            (([[0]], [[1.0]], [0.0], ["<="], [1.0]), ValueError, None),
            (
                ([[0]], [[1.0]], [0.0], "<", [1.0]),
                TypeError,
                "add_constraints() argument 'senses' must be a sequence, not str",
            ),
            (([[0]], [[1.0]], [0.0], ["<"], [1.0], "a"), TypeError, None),
        ],
    )
    def test_refusals_leave_numbering_unchanged(self, model, trace, args, error, message):
        model_with_variables(model, trace, 1)
        with pytest.raises(error) as info:
            model.add_constraints(*args)
        if message:
            assert str(info.value) == message
        assert addconstrs(trace) == []
        assert model.add_constraint([0], [1.0], 0.0, "<", 1.0) == 0

    def test_unused_names_are_not_checked(self, model, trace):
        model_with_variables(model, trace, 1)
        assert model.add_constraints([[0]], [[1.0]], [0.0], ["<"], [1.0], ["ok", "x\0"]) == [0]

    def test_index_buffers_refuse_like_lists(self, model, trace):
        np = pytest.importorskip("numpy")
        model_with_variables(model, trace, 1)
        for bad in (np.array([0, -1]), array.array("q", [0, -1])):
            with pytest.raises(OverflowError, match=r"'fs_vars' item 0\[1\] must not be negative"):
                model.add_constraints([bad], [[1.0, 1.0]], [0.0], ["<"], [1.0])
        with pytest.raises(OverflowError, match="above 2147483647"):
            model.add_constraint(np.array([2**31], dtype=np.uint64), [1.0], 0.0, "<", 1.0)
        assert addconstrs(trace) == []
        model.add_constraint(np.array([0], dtype=np.int64), np.array([2.0]), 0.0, "<", 1.0)
        assert addconstrs(trace)[0]["cind"] == [0]


class TestSetObjective:
    def test_reset_then_terms_then_constant_then_sense(self, model, trace):
        model_with_variables(model, trace, 4)
        assert model.set_objective([2, 1, 1], [3.0, 2.0, 5.0], 1.5, 1) is None
        calls = trace.calls()
        assert [c["fn"] for c in calls] == [
            "GRBsetdblattrarray",
            "GRBsetdblattrelement",
            "GRBsetdblattrelement",
            "GRBsetdblattrelement",
            "GRBsetdblattr",
            "GRBsetintattr",
        ]
        reset = calls[0]
        assert (reset["attr"], reset["start"], reset["len"], reset["values"]) == ("Obj", 0, 4, [0.0] * 4)
        assert [(c["element"], c["value"]) for c in calls[1:4]] == [(2, 3.0), (1, 2.0), (1, 5.0)]
        assert (calls[4]["attr"], calls[4]["value"]) == ("ObjCon", 1.5)
        assert (calls[5]["attr"], calls[5]["value"]) == ("ModelSense", -1)

    @pytest.mark.filterwarnings("ignore:set_objective.. argument 'sense'")
    @pytest.mark.parametrize("sense, expected", [(1, -1), (True, -1), (0, 1), (-1, 1), (2, 1), (False, 1)])
    def test_only_one_maximises(self, model, trace, sense, expected):
        model.set_objective([], [], 0.0, sense)
        assert trace.only("GRBsetintattr")["value"] == expected

    def test_empty_model_and_ragged_terms(self, model, trace):
        model.set_objective([], [], 2.0, 0)
        assert trace.only("GRBsetdblattrarray")["len"] == 0
        model_with_variables(model, trace, 2)
        model.set_objective([0, 1], [1.0], 0.0, 1)
        assert [(c["element"], c["value"]) for c in trace.calls("GRBsetdblattrelement")] == [(0, 1.0)]

    @pytest.mark.parametrize(
        "args, error",
        [
            (("x", [], 0.0, 1), TypeError),
            (([-1], [1.0], 0.0, 1), OverflowError),
            (([2**31], [1.0], 0.0, 1), OverflowError),
            (([0], [1.0], 0.0, 2**31), OverflowError),
            (([0], [1.0], 0.0, 1.0), TypeError),
            (([0], [1.0], "0", 1), TypeError),
        ],
    )
    def test_refusals_call_nothing(self, model, trace, args, error):
        model_with_variables(model, trace, 1)
        with pytest.raises(error):
            model.set_objective(*args)
        assert trace.calls() == []
