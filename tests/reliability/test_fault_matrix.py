"""Every Gurobi function the module calls, made to fail in every operation
that calls it: fatal at construction, RuntimeError from update and optimize,
None from the two value reads, and success everywhere else."""

import pytest

import velkin_gurobi

from .support import fatal_message, run_python

CODES = [10003, 1, 2147483647, -1, -2147483648]


def injected(trace, fn):
    """The calls of `fn` in the trace, each checked to be an injected failure."""
    calls = trace.calls(fn)
    assert calls and all(c.get("injected") is True for c in calls), calls
    return calls


class TestConstruction:
    @pytest.mark.parametrize("code", CODES)
    @pytest.mark.parametrize(
        "fn, text, calls",
        [
            ("GRBloadenv", "Failed to load Gurobi environment: error code", ["GRBloadenv"]),
            (
                "GRBstartenv",
                "Failed to start Gurobi environment: error code",
                ["GRBloadenv", "GRBstartenv", "GRBfreeenv"],
            ),
            (
                "GRBnewmodel",
                "Failed to create Gurobi model: error code",
                ["GRBloadenv", "GRBstartenv", "GRBnewmodel", "GRBfreeenv"],
            ),
        ],
    )
    def test_fatal_and_nothing_left_open(self, standin, trace, fail, fn, text, calls, code):
        live_before = velkin_gurobi.Model(dll_path=standin)  # keeps the library's counts readable
        trace.clear()
        fail(**{fn: code})
        assert fatal_message(lambda: velkin_gurobi.Model(dll_path=standin)) == (f'Gurobi setup failed: "{text} {code}"')
        assert trace.fns() == calls
        assert injected(trace, fn)[0]["rc"] == code
        if "GRBfreeenv" in calls:
            # Only the surviving Model's environment and model are left.
            assert trace.only("GRBfreeenv")["live_envs"] == 1
        fail()
        assert live_before.add_variable() == 0


def with_variables(m, n=3):
    m.add_variables(n)
    return m


IGNORED = [
    ("GRBaddvars", "add_variable", lambda m: m.add_variable(name="v", vtype="B", lb=0, ub=1), 0, 1),
    ("GRBaddvars", "add_variables", lambda m: m.add_variables(2, names=["a", "b"]), [0, 1], 2),
    ("GRBaddvars", "add_variables_empty", lambda m: m.add_variables(0), [], 0),
    (
        "GRBaddconstr",
        "add_constraint",
        lambda m: with_variables(m).add_constraint([0, 1], [1.0, 2.0], 1.0, "<", 4.0),
        0,
        3,
    ),
    (
        "GRBaddconstr",
        "add_constraints",
        lambda m: with_variables(m).add_constraints([[0], [1]], [[1.0], [1.0]], [0.0, 0.0], ["<", ">"], [1.0, 2.0]),
        [0, 1],
        3,
    ),
    (
        "GRBsetdblattrarray",
        "set_objective",
        lambda m: with_variables(m).set_objective([0, 2], [1.0, 3.0], 2.0, 1),
        None,
        3,
    ),
    (
        "GRBsetdblattrelement",
        "set_objective",
        lambda m: with_variables(m).set_objective([0, 2], [1.0, 3.0], 2.0, 1),
        None,
        3,
    ),
    ("GRBsetdblattr", "set_objective", lambda m: with_variables(m).set_objective([0], [1.0], 2.0, 0), None, 3),
    ("GRBsetintattr", "set_objective", lambda m: with_variables(m).set_objective([0], [1.0], 2.0, 1), None, 3),
    ("GRBsetintparam", "Silent", lambda m: m.set_optimizer_attr("Silent", True), None, 0),
    ("GRBsetintparam", "raw_int", lambda m: m.set_optimizer_attr("Threads", 2), None, 0),
    ("GRBsetintparam", "raw_bool", lambda m: m.set_optimizer_attr("Presolve", False), None, 0),
    ("GRBsetdblparam", "TimeLimit", lambda m: m.set_optimizer_attr("TimeLimit", 5), None, 0),
    ("GRBsetdblparam", "raw_float", lambda m: m.set_optimizer_attr("MIPGap", 0.5), None, 0),
    ("GRBsetstrparam", "raw_text", lambda m: m.set_optimizer_attr("LogFile", "x.log"), None, 0),
]


class TestIgnoredResults:
    @pytest.mark.parametrize("code", CODES)
    @pytest.mark.parametrize("fn, _name, operation, result, next_var", IGNORED, ids=[f"{c[0]}-{c[1]}" for c in IGNORED])
    def test_operation_succeeds(self, model, trace, fail, fn, _name, operation, result, next_var, code):
        fail(**{fn: code})
        assert operation(model) == result
        calls = injected(trace, fn)
        assert all(c["rc"] == code for c in calls)
        fail()
        # The counters moved on as if Gurobi had accepted the call.
        assert model.add_variable() == next_var

    @pytest.mark.parametrize("code", CODES)
    def test_indices_advance_after_refused_additions(self, model, fail, code):
        fail(GRBaddvars=code, GRBaddconstr=code)
        assert model.add_variables(3) == [0, 1, 2]
        assert model.add_variable() == 3
        assert model.add_constraint([0], [1.0], 0.0, "<", 1.0) == 0
        assert model.add_constraints([[1]] * 2, [[1.0]] * 2, [0.0] * 2, ["=", "="], [1.0, 1.0]) == [1, 2]
        fail()
        assert model.add_variable() == 4
        assert model.add_constraint([0], [1.0], 0.0, "<", 1.0) == 3

    @pytest.mark.parametrize("code", CODES)
    def test_objective_calls_all_made_when_each_fails(self, model, trace, fail, code):
        model.add_variables(2)
        trace.clear()
        fail(GRBsetdblattrarray=code, GRBsetdblattrelement=code, GRBsetdblattr=code, GRBsetintattr=code)
        assert model.set_objective([0, 1], [1.0, 2.0], 3.0, 1) is None
        # The refused range reset falls back to one reset per variable.
        assert trace.fns() == ["GRBsetdblattrarray"] + ["GRBsetdblattrelement"] * 4 + ["GRBsetdblattr", "GRBsetintattr"]
        assert [(c["element"], c["value"]) for c in trace.calls("GRBsetdblattrelement")] == [
            (0, 0.0),
            (1, 0.0),
            (0, 1.0),
            (1, 2.0),
        ]
        assert all(c["injected"] for c in trace.calls())

    @pytest.mark.parametrize("attr, value", [("Silent", True), ("TimeLimit", 1.0), ("Threads", 1), ("LogFile", "a")])
    def test_null_model_environment_sets_nothing(self, model, trace, fail, attr, value):
        fail(GRBgetenv="null")
        assert model.set_optimizer_attr(attr, value) is None
        assert trace.fns() == ["GRBgetenv"]
        fail()
        trace.clear()
        model.set_optimizer_attr(attr, value)
        assert len(trace.calls()) == 2


class TestExaminedResults:
    @pytest.mark.parametrize("code", CODES)
    def test_update(self, model, trace, fail, code):
        model.add_variables(2)
        fail(GRBupdatemodel=code)
        with pytest.raises(RuntimeError) as info:
            model.update()
        assert str(info.value) == f'Msg("Failed to update model: {code}")'
        assert type(info.value) is RuntimeError
        fail()
        assert model.update() is None and model.add_variable() == 2

    @pytest.mark.parametrize("code", CODES)
    def test_optimize(self, model, trace, fail, script, code):
        model.add_variables(1)
        trace.clear()
        fail(GRBoptimize=code)
        with pytest.raises(RuntimeError) as info:
            model.optimize()
        assert str(info.value) == f'Optimization error: Msg("Gurobi optimization failed: {code}")'
        assert trace.fns() == ["GRBoptimize"]
        script(2, x=[1.0], objval=1.0)
        fail(GRBgetintattr=code)
        with pytest.raises(RuntimeError) as info:
            model.optimize()
        assert str(info.value) == 'Optimization error: Msg("Failed to get status")'
        fail()
        assert model.optimize() == 1 and model.get_objective_value() == 1.0

    @pytest.mark.parametrize("code", CODES)
    def test_value_reads_give_none(self, model, trace, fail, script, code):
        model.add_variables(2)
        script(2, x=[1.5, 2.5], objval=4.0)
        assert model.optimize() == 1
        fail(GRBgetdblattrelement=code, GRBgetdblattr=code)
        assert model.get_var_value(0) is None and model.get_var_value(1) is None
        assert model.get_objective_value() is None
        fail()
        assert (model.get_var_value(1), model.get_objective_value()) == (2.5, 4.0)


@pytest.mark.parametrize("code", [10003, -1])
def test_failed_model_free_is_ignored_and_the_environment_still_freed(standin, tmp_path, code):
    # The stand-in keeps the model whose free it refused: that is its leak,
    # made on purpose, so the sanitizer's leak check is off in this process.
    trace = tmp_path / "trace.jsonl"
    result = run_python(
        f"""
        import json, os
        from velkin_gurobi import Model
        m = Model(dll_path={standin!r})
        m.add_variables(2)
        os.environ["GRB_STANDIN_FAIL"] = "GRBfreemodel={code}"
        del m
        os.environ.pop("GRB_STANDIN_FAIL")
        m = Model(dll_path={standin!r})
        print(m.add_variable())
    """,
        {"GRB_STANDIN_TRACE": str(trace)},
        leaks_expected=True,
    )
    assert result.returncode == 0, result.stderr
    assert result.stdout.split() == ["0"]
    import json

    calls = [json.loads(line) for line in trace.read_text().splitlines()]
    fns = [c["fn"] for c in calls]
    first_free = fns.index("GRBfreemodel")
    assert fns[first_free : first_free + 2] == ["GRBfreemodel", "GRBfreeenv"]
    assert calls[first_free]["rc"] == code and calls[first_free]["injected"] is True
