"""Every Gurobi function the module calls, made to fail in every operation
that calls it: fatal at construction, RuntimeError from the operations that
build the model and from update and optimize, a RuntimeWarning for a
parameter left unset, None from the two value reads, and nothing from the
release of the model."""

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
    # Applied, so that a refusal has nothing pending to discard.
    m.add_variables(n)
    m.update()
    return m


# What the module asks Gurobi after a refused change: what it kept.
RECOUNT = ["GRBupdatemodel", "GRBgetintattr", "GRBgetintattr"]


def refused(what, code):
    return f"Gurobi refused {what}: error code {code}"


def unset(param, code):
    return f'Gurobi parameter "{param}" left unset: error code {code}'


OBJECTIVE = "the objective"

# fn, case, operation, message for the code, variables and constraints
# handed out by the operation.
REFUSED = [
    (
        "GRBaddvars",
        "add_variable",
        lambda m: m.add_variable(name="v", vtype="B", lb=0, ub=1),
        "the new variables",
        0,
        0,
    ),
    ("GRBaddvars", "add_variables", lambda m: m.add_variables(2, names=["a", "b"]), "the new variables", 0, 0),
    ("GRBaddvars", "add_variables_empty", lambda m: m.add_variables(0), "the new variables", 0, 0),
    (
        "GRBaddconstr",
        "add_constraint",
        lambda m: with_variables(m).add_constraint([0, 1], [1.0, 2.0], 1.0, "<", 4.0),
        "constraint 0",
        3,
        0,
    ),
    (
        "GRBaddconstr",
        "add_constraints",
        lambda m: with_variables(m).add_constraints([[0], [1]], [[1.0], [1.0]], [0.0, 0.0], ["<", ">"], [1.0, 2.0]),
        "constraint 0",
        3,
        0,
    ),
    (
        "GRBsetdblattrelement",
        "set_objective",
        lambda m: with_variables(m).set_objective([0, 2], [1.0, 3.0], 2.0, 1),
        OBJECTIVE,
        3,
        0,
    ),
    ("GRBsetdblattr", "set_objective", lambda m: with_variables(m).set_objective([0], [1.0], 2.0, 0), OBJECTIVE, 3, 0),
    ("GRBsetintattr", "set_objective", lambda m: with_variables(m).set_objective([0], [1.0], 2.0, 1), OBJECTIVE, 3, 0),
]

# fn, case, operation, the parameter left unset.
UNSET = [
    ("GRBsetintparam", "Silent", lambda m: m.set_optimizer_attr("Silent", True), "OutputFlag"),
    ("GRBsetintparam", "raw_bool", lambda m: m.set_optimizer_attr("Presolve", False), "Presolve"),
    ("GRBsetdblparam", "TimeLimit", lambda m: m.set_optimizer_attr("TimeLimit", 5), "TimeLimit"),
    ("GRBsetdblparam", "raw_float", lambda m: m.set_optimizer_attr("MIPGap", 0.5), "MIPGap"),
    ("GRBsetstrparam", "raw_text", lambda m: m.set_optimizer_attr("LogFile", "x.log"), "LogFile"),
]


class TestRefusedResults:
    @pytest.mark.parametrize("code", CODES)
    @pytest.mark.parametrize(
        "fn, _case, operation, what, next_var, next_constr", REFUSED, ids=[f"{c[0]}-{c[1]}" for c in REFUSED]
    )
    def test_refusal_raises(self, model, trace, fail, fn, _case, operation, what, next_var, next_constr, code):
        fail(**{fn: code})
        with pytest.raises(RuntimeError) as info:
            operation(model)
        assert str(info.value) == refused(what, code)
        (call,) = injected(trace, fn)
        assert call["rc"] == code and trace.calls()[-4] == call and trace.fns()[-3:] == RECOUNT
        fail()
        # Nothing refused was handed out.
        assert model.add_variable() == next_var
        assert model.add_constraint([0], [1.0], 0.0, "<", 1.0) == next_constr

    @pytest.mark.parametrize("code", CODES)
    @pytest.mark.parametrize("fn, _case, operation, param", UNSET, ids=[f"{c[0]}-{c[1]}" for c in UNSET])
    def test_parameter_left_unset_warns(self, model, trace, fail, fn, _case, operation, param, code):
        fail(**{fn: code})
        with pytest.warns(RuntimeWarning) as caught:
            assert operation(model) is None
        assert [str(w.message) for w in caught] == [unset(param, code)]
        assert injected(trace, fn)[0]["rc"] == code

    @pytest.mark.parametrize("code", CODES)
    def test_raw_int_refused_as_int_and_as_double(self, model, trace, fail, code):
        fail(GRBsetintparam=code, GRBsetdblparam=code)
        with pytest.warns(RuntimeWarning) as caught:
            model.set_optimizer_attr("Threads", 2)
        reason = f"as an int: error code {code}; as a double: error code {code}"
        assert [str(w.message) for w in caught] == [f'Gurobi parameter "Threads" left unset: {reason}']
        assert [(c["fn"], c["value"]) for c in trace.calls()[1:]] == [("GRBsetintparam", 2), ("GRBsetdblparam", 2.0)]

    @pytest.mark.parametrize("code", CODES)
    @pytest.mark.parametrize(
        "failing, resets, raises",
        [
            # The refused range reset falls back to one reset per variable.
            (["GRBsetdblattrarray"], 4, False),
            (["GRBsetdblattrarray", "GRBsetdblattrelement"], 1, True),
        ],
    )
    def test_objective_range_reset_fallback(self, model, trace, fail, failing, resets, raises, code):
        model.add_variables(2)
        model.update()
        trace.clear()
        fail(**dict.fromkeys(failing, code))
        if raises:
            with pytest.raises(RuntimeError) as info:
                model.set_objective([0, 1], [1.0, 2.0], 3.0, 1)
            assert str(info.value) == refused(OBJECTIVE, code)
        else:
            assert model.set_objective([0, 1], [1.0, 2.0], 3.0, 1) is None
        tail = RECOUNT if raises else ["GRBsetdblattr", "GRBsetintattr"]
        assert trace.fns() == ["GRBsetdblattrarray"] + ["GRBsetdblattrelement"] * resets + tail
        elements = [(c["element"], c["value"]) for c in trace.calls("GRBsetdblattrelement")]
        assert elements == [(0, 0.0), (1, 0.0), (0, 1.0), (1, 2.0)][:resets]

    def test_row_gurobi_would_refuse_adds_no_row(self, model, trace):
        # Gurobi refuses a coefficient that is not finite: the batch is
        # refused whole before any row reaches it.
        with_variables(model, 2)
        with pytest.raises(RuntimeError) as info:
            model.add_constraints([[0], [1], [0]], [[1.0], [float("inf")], [1.0]], [0.0] * 3, ["<"] * 3, [1.0] * 3)
        assert str(info.value) == refused("constraint 1", 10003)
        assert trace.calls("GRBaddconstr") == []
        assert model.add_constraint([0], [1.0], 0.0, "<", 1.0) == 0
        assert trace.calls("GRBaddconstr")[-1]["name"] == "c0"

    @pytest.mark.parametrize(
        "attr, value, param",
        [("Silent", True, "OutputFlag"), ("TimeLimit", 1.0, "TimeLimit"), ("Threads", 1, "Threads")],
    )
    def test_null_model_environment_sets_nothing(self, model, trace, fail, attr, value, param):
        fail(GRBgetenv="null")
        with pytest.warns(RuntimeWarning) as caught:
            assert model.set_optimizer_attr(attr, value) is None
        assert [str(w.message) for w in caught] == [
            f'Gurobi parameter "{param}" left unset: the model has no environment'
        ]
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
        {"GRB_STANDIN_TRACE": str(trace), "GRB_STANDIN_LIVE": "1"},
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
