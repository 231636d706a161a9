import math
import warnings

import pytest


def one_variable(model, lower, upper, sense, rhs, maximise):
    """max or min x over lower <= x <= upper with the row x <sense> rhs."""
    x = model.add_variable(lb=lower, ub=upper)
    model.add_constraint([x], [1.0], 0.0, sense, rhs)
    model.set_objective([x], [1.0], 0.0, int(maximise))
    model.set_optimizer_attr("DualReductions", 0)  # a definite infeasible or unbounded
    model.update()


class TestOptimize:
    # Statuses no small model reaches on demand on both libraries, scripted.
    @pytest.mark.parametrize("grb_status, expected", [(13, 4), (4, 0), (9, 0), (1, 0), (12, 0)])
    def test_status_mapping(self, model, trace, script, grb_status, expected):
        script(grb_status)
        assert model.optimize() == expected
        assert trace.fns() == ["GRBoptimize", "GRBgetintattr", "GRBgetintattr"]
        assert [c["attr"] for c in trace.calls("GRBgetintattr")] == ["Status", "SolCount"]

    # SolCount and ObjVal are read unless the status says infeasible or unbounded.
    @pytest.mark.parametrize(
        "bounds, grb_status, expected, reads",
        [
            ((0.0, 4.0, "<", 3.0, True), 2, 1, ["Status", "SolCount", "ObjVal"]),
            ((0.0, 4.0, ">", 5.0, True), 3, 2, ["Status"]),
            ((0.0, math.inf, ">", 1.0, True), 5, 3, ["Status"]),
        ],
        ids=["optimal", "infeasible", "unbounded"],
    )
    def test_status_mapping_of_real_solves(self, model, trace, bounds, grb_status, expected, reads):
        one_variable(model, *bounds)
        trace.clear()
        assert model.optimize() == expected
        assert trace.only("GRBoptimize")["status"] == grb_status
        assert [c["attr"] for c in trace.calls() if c["fn"] != "GRBoptimize"] == reads

    @pytest.mark.parametrize("code", [10009, -3])
    def test_solver_failure(self, model, trace, fail, code):
        fail(GRBoptimize=code)
        with pytest.raises(RuntimeError) as info:
            model.optimize()
        assert str(info.value) == f'Optimization error: Msg("Gurobi optimization failed: {code}")'
        assert trace.fns() == ["GRBoptimize"]

    def test_status_read_failure(self, model, fail):
        one_variable(model, 0.0, 4.0, "<", 3.0, True)
        fail(GRBgetintattr=10005)
        with pytest.raises(RuntimeError) as info:
            model.optimize()
        assert str(info.value) == 'Optimization error: Msg("Failed to get status")'

    def test_takes_no_arguments(self, model):
        for method in (model.optimize, model.update, model.get_objective_value):
            with pytest.raises(TypeError):
                method(1)
            with pytest.raises(TypeError):
                method(x=1)


class TestUpdate:
    def test_success_and_failure(self, model, trace, fail):
        assert model.update() is None
        assert trace.fns() == ["GRBupdatemodel"]
        for code in (10003, -7):
            fail(GRBupdatemodel=code)
            with pytest.raises(RuntimeError) as info:
                model.update()
            assert str(info.value) == f'Msg("Failed to update model: {code}")'


class TestResults:
    def test_absent_before_a_solve(self, model, trace):
        model.add_variables(2)
        assert model.get_objective_value() is None
        assert model.get_var_value(0) is None
        assert model.get_var_value(2) is None

    def test_values_after_a_scripted_solve(self, model, trace, script):
        model.add_variables(3)
        script(2, x=[1.5, -0.0, 3.0], objval=4.25)
        assert model.optimize() == 1
        trace.clear()
        assert model.get_objective_value() == 4.25
        assert model.get_var_value(0) == 1.5
        assert math.copysign(1, model.get_var_value(1)) == -1
        assert model.get_var_value(3) is None
        reads = trace.calls("GRBgetdblattrelement")
        assert [(c["attr"], c["element"]) for c in reads] == [("X", 0), ("X", 1), ("X", 3)]
        assert trace.only("GRBgetdblattr")["attr"] == "ObjVal"

    @pytest.mark.parametrize(
        "grb_status, objval, values",
        [
            (2, 4.0, (4.0, 1.5)),
            (9, 4.0, (4.0, 1.5)),  # an incumbent at a time limit
            (9, 1e100, (None, None)),  # Gurobi's infinity: no incumbent
            (9, -1e100, (None, None)),
            (3, 4.0, (None, None)),  # an infeasible or unbounded LP's last point
            (5, 4.0, (None, None)),
            (2, None, (None, None)),  # SolCount 0
        ],
    )
    def test_values_only_for_a_solution(self, model, script, grb_status, objval, values):
        model.add_variables(1)
        script(grb_status, x=None if objval is None else [1.5], objval=objval)
        model.optimize()
        assert (model.get_objective_value(), model.get_var_value(0)) == values

    def test_index_beyond_gurobi_range_names_no_variable(self, model, trace):
        one_variable(model, 0.0, 7.0, "<", 8.0, True)
        assert model.optimize() == 1
        trace.clear()
        for index in (2**32, 2**64 - 1, 2**64, 2**200):
            assert model.get_var_value(index) is None
            assert model.get_var_value(var_id=index) is None
        assert trace.calls("GRBgetdblattrelement") == []

    @pytest.mark.parametrize("value, error", [(-1, OverflowError), (1.0, TypeError), ("0", TypeError)])
    def test_var_id_refusals(self, model, value, error):
        with pytest.raises(error):
            model.get_var_value(value)

    def test_var_id_by_keyword(self, model):
        assert model.get_var_value(var_id=0) is None


class TestSetOptimizerAttr:
    @pytest.mark.parametrize(
        "attr, value, calls, warning",
        [
            ("Silent", True, [("GRBsetintparam", "OutputFlag", 0)], None),
            ("Silent", False, [("GRBsetintparam", "OutputFlag", 1)], None),
            ("Silent", 1, [("GRBsetintparam", "OutputFlag", 0)], None),
            ("Silent", 0, [("GRBsetintparam", "OutputFlag", 1)], None),
            ("Silent", 1.0, [("GRBsetintparam", "OutputFlag", 0)], None),
            ("Silent", 0.0, [("GRBsetintparam", "OutputFlag", 1)], None),
            ("Silent", "yes", [("GRBsetintparam", "OutputFlag", 1)], None),
            ("TimeLimit", 10.0, [("GRBsetdblparam", "TimeLimit", 10.0)], None),
            ("TimeLimit", 10, [("GRBsetdblparam", "TimeLimit", 10.0)], None),
            ("TimeLimit", True, [], '"TimeLimit" left unset: it takes a number, not a bool or a str'),
            ("TimeLimit", "10", [], '"TimeLimit" left unset: it takes a number, not a bool or a str'),
            ("Threads", 2, [("GRBsetintparam", "Threads", 2)], None),
            ("MIPGap", 0.5, [("GRBsetdblparam", "MIPGap", 0.5)], None),
            # An int for a double parameter is given again as a double.
            ("MIPGap", 0, [("GRBsetintparam", "MIPGap", 0), ("GRBsetdblparam", "MIPGap", 0.0)], None),
            ("IterationLimit", 10**12, [("GRBsetdblparam", "IterationLimit", 1e12)], None),
            ("LogFile", "run.log", [("GRBsetstrparam", "LogFile", "run.log")], None),
            ("Presolve", True, [("GRBsetintparam", "Presolve", 1)], None),
            ("Presolve", False, [("GRBsetintparam", "Presolve", 0)], None),
            ("silent", True, [("GRBsetintparam", "silent", 1)], '"silent" left unset: error code 10007'),
            ("Threads", 2**31, [("GRBsetdblparam", "Threads", float(2**31))], '"Threads" left unset: error code 10007; Threads takes an int'),
            (
                "Threads",
                -(2**31) - 1,
                [("GRBsetdblparam", "Threads", -(2.0**31) - 1)],
                '"Threads" left unset: error code 10007; Threads takes an int',
            ),
            ("Threads", 2**63, [("GRBsetdblparam", "Threads", float(2**63))], '"Threads" left unset: error code 10007; Threads takes an int'),
            # Refused as an int and as a double: the reason gives both codes.
            (
                "Threads",
                5000,
                [("GRBsetintparam", "Threads", 5000), ("GRBsetdblparam", "Threads", 5000.0)],
                '"Threads" left unset: as an int: error code 10008; as a double: error code 10007; Threads takes an int',
            ),
            (
                "MIPGap",
                -1,
                [("GRBsetintparam", "MIPGap", -1), ("GRBsetdblparam", "MIPGap", -1.0)],
                '"MIPGap" left unset: as an int: error code 10007; as a double: error code 10008',
            ),
            # A whole float that an int parameter refuses as a double is given as an int.
            ("Threads", 2.0, [("GRBsetdblparam", "Threads", 2.0), ("GRBsetintparam", "Threads", 2)], None),
            ("Threads", 2.5, [("GRBsetdblparam", "Threads", 2.5)], '"Threads" left unset: error code 10007; Threads takes an int'),
            (
                "Threads",
                5000.0,
                [("GRBsetdblparam", "Threads", 5000.0), ("GRBsetintparam", "Threads", 5000)],
                '"Threads" left unset: as a double: error code 10007; as an int: error code 10008',
            ),
            # Fixed once the environment has started; an int above a "no limit" maximum is taken.
            (
                "ThreadLimit",
                2,
                [("GRBsetintparam", "ThreadLimit", 2), ("GRBsetdblparam", "ThreadLimit", 2.0)],
                '"ThreadLimit" left unset: as an int: error code 10003; as a double: error code 10007; ThreadLimit takes an int',
            ),
            ("SolutionLimit", 2**31 - 1, [("GRBsetintparam", "SolutionLimit", 2**31 - 1)], None),
            ("Thr\0eads", 2, [], '"Thr\\0eads" left unset: its name or value holds a NUL character'),
            ("LogFile", "a\0b", [], '"LogFile" left unset: its name or value holds a NUL character'),
            (
                "",
                1,
                [("GRBsetintparam", "", 1), ("GRBsetdblparam", "", 1.0)],
                '"" left unset: as an int: error code 10007; as a double: error code 10007',
            ),
            (
                "NoSuchParameter",
                1,
                [("GRBsetintparam", "NoSuchParameter", 1), ("GRBsetdblparam", "NoSuchParameter", 1.0)],
                '"NoSuchParameter" left unset: as an int: error code 10007; as a double: error code 10007',
            ),
        ],
    )
    def test_parameter_calls(self, model, trace, tmp_path, monkeypatch, attr, value, calls, warning):
        monkeypatch.chdir(tmp_path)  # Gurobi opens the LogFile it is given
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            assert model.set_optimizer_attr(attr, value) is None
        assert [str(w.message) for w in caught] == ([] if warning is None else ["Gurobi parameter " + warning])
        # Warned at the caller's line, so the default filter shows it once per call site.
        assert all(w.category is RuntimeWarning and w.filename == __file__ for w in caught)
        made = trace.calls()
        assert made[0]["fn"] == "GRBgetenv"
        # A refusal's reason may read the parameter back to tell its type.
        setters = [c for c in made[1:] if c["fn"].startswith("GRBset")]
        assert [(c["fn"], c["param"], c["value"]) for c in setters] == calls
        assert all(c["env"] == made[0]["env"] and c["env_kind"] == "model" for c in made[1:])

    def test_unset_parameter_warning_as_error(self, model):
        with warnings.catch_warnings():
            warnings.simplefilter("error", RuntimeWarning)
            with pytest.raises(
                RuntimeWarning, match='^Gurobi parameter "NoSuchParameter" left unset: error code 10007$'
            ):
                model.set_optimizer_attr("NoSuchParameter", 1.5)
        assert model.add_variable() == 0

    def test_numpy_values(self, model, trace):
        np = pytest.importorskip("numpy")
        model.set_optimizer_attr("Silent", np.bool_(True))
        model.set_optimizer_attr("Threads", np.int32(3))
        model.set_optimizer_attr("MIPGap", np.float64(0.25))
        params = [(c["fn"], c["value"]) for c in trace.calls() if c["fn"] != "GRBgetenv"]
        assert params == [("GRBsetintparam", 0), ("GRBsetintparam", 3), ("GRBsetdblparam", 0.25)]

    def test_value_classification_protocols(self, model, trace):
        class Index:
            def __index__(self):
                return 4

        class Float:
            def __float__(self):
                return 2.5

        model.set_optimizer_attr("Threads", Index())
        model.set_optimizer_attr("MIPGap", Float())
        params = [(c["fn"], c["value"]) for c in trace.calls() if c["fn"] != "GRBgetenv"]
        assert params == [("GRBsetintparam", 4), ("GRBsetdblparam", 2.5)]

    @pytest.mark.parametrize("value", [None, [1.0], {}, b"1", "\udc80", object()])
    def test_unsupported_values(self, model, trace, value):
        with pytest.raises(TypeError) as info:
            model.set_optimizer_attr("Silent", value)
        assert str(info.value) == "Unsupported attribute value type"
        assert trace.calls() == []

    def test_attr_must_be_text(self, model):
        with pytest.raises(TypeError, match="set_optimizer_attr\\(\\) argument 'attr' must be str, not int"):
            model.set_optimizer_attr(1, 1)
        with pytest.raises(UnicodeEncodeError):
            model.set_optimizer_attr("\ud800", 1)

    def test_parameter_failures_warn(self, model, fail):
        fail(GRBsetintparam=10007, GRBsetdblparam=10008, GRBsetstrparam=-1)
        with pytest.warns(RuntimeWarning) as caught:
            assert model.set_optimizer_attr("Silent", True) is None
            assert model.set_optimizer_attr("TimeLimit", -1.0) is None
            assert model.set_optimizer_attr("LogFile", "x") is None
        assert [str(w.message) for w in caught] == [
            'Gurobi parameter "OutputFlag" left unset: error code 10007; OutputFlag takes an int',
            'Gurobi parameter "TimeLimit" left unset: error code 10008',
            'Gurobi parameter "LogFile" left unset: error code -1',
        ]

    def test_null_model_environment_sets_nothing(self, model, trace, fail):
        fail(GRBgetenv="null")
        with pytest.warns(
            RuntimeWarning, match='^Gurobi parameter "OutputFlag" left unset: the model has no environment$'
        ):
            assert model.set_optimizer_attr("Silent", True) is None
        assert trace.fns() == ["GRBgetenv"]
