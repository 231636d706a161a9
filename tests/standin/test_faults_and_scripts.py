"""Fault injection (GRB_STANDIN_FAIL) and scripted solves (GRB_STANDIN_SCRIPT_*)."""

from __future__ import annotations

import ctypes

import pytest

from helpers.standin import LIVE, read_trace, standin_environment

from .capi import DATA_NOT_AVAILABLE, INVALID_ARGUMENT, LOADED, OPTIMAL, doubles


@pytest.mark.parametrize("code", [10009, -3, 0])
def test_injected_code_is_returned_and_nothing_is_done(lib, model, trace_path, code):
    with standin_environment(trace=trace_path, fail={"GRBaddvars": code, "GRBoptimize": 1}):
        rc = lib.GRBaddvars(model, 2, 0, None, None, None, None, None, None, None, None)
    assert rc == code
    assert lib.GRBupdatemodel(model) == 0
    assert lib.intattr(model, b"NumVars") == (0, 0)
    line = read_trace(trace_path)[0]
    assert line["fn"] == "GRBaddvars" and line["numvars"] == 2
    assert line["injected"] is True and line["rc"] == code


def test_only_the_named_functions_fail(lib, model, monkeypatch):
    monkeypatch.setenv("GRB_STANDIN_FAIL", " GRBoptimize = 10009 ,GRBupdatemodelX=5,junk, GRBfreeenv=7")
    assert lib.GRBoptimize(model) == 10009
    assert lib.GRBupdatemodel(model) == 0
    assert lib.intattr(model, b"Status") == (0, LOADED)


def test_injected_failures_leave_no_handles(lib, env, trace_path, monkeypatch):
    monkeypatch.setenv("GRB_STANDIN_FAIL", "GRBloadenv=10009,GRBnewmodel=10001")
    new_env = ctypes.c_void_p(1234)
    assert lib.GRBloadenv(ctypes.byref(new_env), None) == 10009
    assert new_env.value is None
    new_model = ctypes.c_void_p(1234)
    assert lib.GRBnewmodel(env, ctypes.byref(new_model), None, 0, None, None, None, None, None) == 10001
    assert new_model.value is None
    loadenv, newmodel = read_trace(trace_path)
    assert "env" not in loadenv and newmodel.get("model") is None
    assert loadenv["live_envs"] == newmodel["live_envs"]


@pytest.mark.parametrize(
    ("live", "switched_on_at_loadenv", "seen"),
    [
        (False, False, False),  # switched on later: not read again
        (False, True, True),  # switched off later: kept
        (True, False, True),  # live: read at every call
    ],
)
def test_switches_are_read_at_loadenv_unless_live(lib, tmp_path, monkeypatch, live, switched_on_at_loadenv, seen):
    if not live:
        monkeypatch.delenv(LIVE)
    trace = tmp_path / "trace.jsonl"
    switches = {"trace": trace, "fail": {"GRBupdatemodel": 10003}}
    with standin_environment(**(switches if switched_on_at_loadenv else {})):
        env = lib.loadenv()
    model = lib.newmodel(env)
    trace.unlink(missing_ok=True)
    with standin_environment(**({} if switched_on_at_loadenv else switches)):
        rc = lib.GRBupdatemodel(model)
    assert (rc, [line["fn"] for line in read_trace(trace)]) == ((10003, ["GRBupdatemodel"]) if seen else (0, []))
    lib.GRBfreemodel(model)
    lib.GRBfreeenv(env)


def test_getenv_null(lib, model, trace_path):
    with standin_environment(trace=trace_path, fail={"GRBgetenv": "null"}):
        assert lib.GRBgetenv(model) is None
    assert lib.GRBgetenv(model) is not None
    line = read_trace(trace_path)[0]
    assert line["injected"] is True and line["env"] is None


def test_version_and_freeenv_cannot_fail(lib, monkeypatch):
    monkeypatch.setenv("GRB_STANDIN_FAIL", "GRBversion=1,GRBfreeenv=1")
    major, minor, technical = ctypes.c_int(), ctypes.c_int(), ctypes.c_int()
    lib.GRBversion(ctypes.byref(major), ctypes.byref(minor), ctypes.byref(technical))
    assert (major.value, minor.value, technical.value) == (12, 0, 3)
    lib.GRBversion(None, None, None)


def _three_variable_model(lib, env):
    model = lib.newmodel(env, 3, obj=[1, 2, 3])
    lib.addconstr(model, {0: 1, 1: 1, 2: 1}, b">", 1.0)
    return model


def test_scripted_status_with_values(lib, env):
    model = _three_variable_model(lib, env)
    with standin_environment(script_status=9, script_x=[1.5, -0.0, 2.0, 99.0], script_objval=7.25):
        status, objval, x = lib.solve(model)
    assert (status, objval, x) == (9, 7.25, [1.5, -0.0, 2.0])
    assert lib.intattr(model, b"SolCount") == (0, 1)
    lib.GRBfreemodel(model)


def test_scripted_status_alone_has_no_values(lib, env):
    model = _three_variable_model(lib, env)
    with standin_environment(script_status=12):
        assert lib.solve(model) == (12, None, None)
    assert lib.intattr(model, b"SolCount") == (0, 0)
    lib.GRBfreemodel(model)


def test_scripted_values_cover_a_prefix(lib, env):
    model = _three_variable_model(lib, env)
    with standin_environment(script_status=OPTIMAL, script_x=[4.0]):
        assert lib.GRBoptimize(model) == 0
    assert lib.element(model, b"X", 0) == (0, 4.0)
    assert lib.element(model, b"X", 1)[0] == DATA_NOT_AVAILABLE
    assert lib.dblarray(model, b"X", 0, 2)[0] == DATA_NOT_AVAILABLE
    assert lib.dblattr(model, b"ObjVal")[0] == DATA_NOT_AVAILABLE
    lib.GRBfreemodel(model)


@pytest.mark.parametrize(
    "variables",
    [
        {"GRB_STANDIN_SCRIPT_STATUS": "two"},
        {"GRB_STANDIN_SCRIPT_STATUS": "2", "GRB_STANDIN_SCRIPT_X": "1,,2"},
        {"GRB_STANDIN_SCRIPT_STATUS": "2", "GRB_STANDIN_SCRIPT_OBJVAL": "1.5x"},
    ],
)
def test_unreadable_script_is_an_invalid_argument(lib, env, monkeypatch, variables):
    model = _three_variable_model(lib, env)
    for name, value in variables.items():
        monkeypatch.setenv(name, value)
    assert lib.GRBoptimize(model) == INVALID_ARGUMENT
    lib.GRBfreemodel(model)


def test_script_replaces_a_real_solution(lib, env, monkeypatch):
    model = _three_variable_model(lib, env)
    assert lib.solve(model) == (OPTIMAL, 1.0, [1.0, 0.0, 0.0])
    monkeypatch.setenv("GRB_STANDIN_SCRIPT_STATUS", "3")
    assert lib.solve(model) == (3, None, None)
    assert lib.GRBsetdblattrarray(model, b"Obj", 0, 1, doubles([5.0])) == 0
    lib.GRBfreemodel(model)
