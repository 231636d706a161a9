"""The JSON-lines call trace: exact lines, bit-exact doubles, escaping, live counts."""

from __future__ import annotations

import ctypes
import math
import struct

from helpers.standin import read_trace

from .capi import doubles, ints, names
from .subprocess_run import run_snippet


def test_exact_lines_of_a_short_session(tmp_path):
    trace = tmp_path / "t.jsonl"
    result = run_snippet(
        """
        env = ctypes.c_void_p()
        lib.GRBloadenv(ctypes.byref(env), b"run.log")
        lib.GRBsetintparam(env, b"OutputFlag", 0)
        model = ctypes.c_void_p()
        lib.GRBnewmodel(env, ctypes.byref(model), b"demo", 2, doubles([1.5, -2.0]), None,
                        doubles([4.0, 1e100]), b"CI", names([b"x", None]))
        lib.GRBaddconstr(model, 2, ints([0, 1]), doubles([1.0, 1.0]), b"<", 3.0, b"c0")
        lib.GRBgetenv(model)
        lib.GRBfreemodel(model)
        lib.GRBfreeenv(env)
        """,
        GRB_STANDIN_TRACE=str(trace),
    )
    assert result.returncode == 0, result.stderr
    assert trace.read_text().splitlines() == [
        '{"fn": "GRBloadenv", "logfile": "run.log", "env": 1, "env_kind": "loading", '
        '"live_envs": 1, "live_models": 0, "rc": 0}',
        '{"fn": "GRBsetintparam", "env": 1, "env_kind": "loading", "param": "OutputFlag", "value": 0, "rc": 0}',
        '{"fn": "GRBnewmodel", "env": 1, "env_kind": "loading", "name": "demo", "numvars": 2, '
        '"obj": [1.5, -2.0], "lb": null, "ub": [4.0, 1e+100], "vtype": [67, 73], '
        '"names": ["x", null], "model": 1, "live_envs": 1, "live_models": 1, "rc": 0}',
        '{"fn": "GRBaddconstr", "model": 1, "numnz": 2, "cind": [0, 1], "cval": [1.0, 1.0], '
        '"sense": "<", "rhs": 3.0, "name": "c0", "rc": 0}',
        '{"fn": "GRBgetenv", "model": 1, "env": 2, "env_kind": "model"}',
        '{"fn": "GRBfreemodel", "model": 1, "live_envs": 1, "live_models": 0, "rc": 0}',
        '{"fn": "GRBfreeenv", "env": 1, "env_kind": "loading", "live_envs": 0, "live_models": 0}',
        '{"fn": "unload", "live_envs": 0, "live_models": 0}',
    ]


def _bits(value: float) -> bytes:
    return struct.pack("<d", value)


def test_doubles_round_trip_bit_exactly(lib, model, trace_path):
    values = [
        -0.0,
        0.0,
        math.inf,
        -math.inf,
        0.1,
        1 / 3,
        1e100,
        -1e-320,
        5e-324,
        1.7976931348623157e308,
        123456789.0,
        2.5e-7,
    ]
    assert lib.GRBaddvars(model, len(values), 0, None, None, None, None, doubles(values), None, None, None) == 0
    lib.GRBsetdblattrelement(model, b"Obj", 0, math.nan)
    lines = read_trace(trace_path)
    assert [_bits(v) for v in lines[0]["lb"]] == [_bits(v) for v in values]
    assert math.isnan(lines[1]["value"])
    text = trace_path.read_text()
    assert '"lb": [-0.0, 0.0, Infinity, -Infinity, 0.1, 0.3333333333333333, 1e+100, ' in text
    assert '"value": NaN' in text


def test_strings_and_bytes_are_escaped(lib, model, trace_path):
    weird = [
        b'q"uo\\te',
        b"line\nbreak\ttab\x01",
        "caf\u00e9 \u2713 \U0001f600".encode(),
        b"bad\xff\xc3(",
        b"\xed\xa0\x80",
    ]
    assert lib.GRBaddvars(model, len(weird), 0, None, None, None, None, None, None, None, names(weird)) == 0
    assert lib.GRBaddvars(model, 2, 0, None, None, None, None, None, None, b"C\xff", None) == 10003
    assert lib.addconstr(model, {}, b"\xe9", 0.0) == 10003
    first, second, third = read_trace(trace_path)
    assert first["names"] == [
        'q"uo\\te',
        "line\nbreak\ttab\x01",
        "caf\u00e9 \u2713 \U0001f600",
        "bad\u00ff\u00c3(",
        "\u00ed\u00a0\u0080",
    ]
    assert second["vtype"] == [67, 255] and second["rc"] == 10003
    assert third["sense"] == "\u00e9"
    assert '"line\\nbreak\\ttab\\u0001"' in trace_path.read_text()


def test_arrays_follow_the_counts(lib, model, trace_path):
    lib.GRBaddvars(
        model, 2, 3, ints([0, 2]), ints([0, 1, 0]), doubles([1, 2, 3]), None, doubles([0, 1]), None, None, None
    )
    lib.GRBaddvars(model, -1, 0, None, None, None, None, None, None, None, None)
    lib.GRBaddconstrs(model, 2, 3, ints([0, 1]), ints([0, 1, 0]), doubles([1, 1, 1]), b"<=", None, None)
    valid, negative, constrs = read_trace(trace_path)
    assert valid == {
        "fn": "GRBaddvars",
        "model": valid["model"],
        "numvars": 2,
        "numnz": 3,
        "vbeg": [0, 2],
        "vind": [0, 1, 0],
        "vval": [1.0, 2.0, 3.0],
        "obj": None,
        "lb": [0.0, 1.0],
        "ub": None,
        "vtype": None,
        "names": None,
        "rc": 10006,
    }
    assert negative == {
        "fn": "GRBaddvars",
        "model": valid["model"],
        "numvars": -1,
        "numnz": 0,
        "vind": None,
        "vval": None,
        "rc": 10003,
    }
    assert constrs["cbeg"] == [0, 1] and constrs["sense"] == ["<", "="]
    assert constrs["rhs"] is None and constrs["rc"] == 10006  # no variables yet


def test_outputs_are_traced_only_on_success(lib, env, model, trace_path):
    value = ctypes.c_double()
    lib.GRBgetdblattr(model, b"ObjVal", ctypes.byref(value))
    lib.GRBgetdblparam(env, b"MIPGap", ctypes.byref(value))
    lib.GRBgetenv(None)
    failed, param, getenv = read_trace(trace_path)
    assert failed == {"fn": "GRBgetdblattr", "model": failed["model"], "attr": "ObjVal", "rc": 10005}
    assert param["value"] == 1e-4 and param["env_kind"] == "loading"
    assert getenv == {"fn": "GRBgetenv", "model": None, "env": None}


def test_handles_get_ids_in_creation_order(lib, trace_path):
    env = lib.loadenv()
    first, second = lib.newmodel(env), lib.newmodel(env)
    lib.GRBfreemodel(second)
    lib.GRBfreemodel(first)
    lib.GRBfreeenv(env)
    lines = read_trace(trace_path)
    created = [line["model"] for line in lines if line["fn"] == "GRBnewmodel"]
    freed = [line["model"] for line in lines if line["fn"] == "GRBfreemodel"]
    assert created[1] == created[0] + 1 and freed == created[::-1]
    assert lines[-1]["fn"] == "GRBfreeenv" and lines[-1]["env"] == lines[0]["env"]


def test_no_file_is_written_without_the_variable(lib, model, tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    assert lib.GRBupdatemodel(model) == 0
    assert list(tmp_path.iterdir()) == []


def test_unload_line_and_unmapping_after_a_solve(tmp_path):
    trace = tmp_path / "t.jsonl"
    result = run_snippet(
        """
        import _ctypes
        env = ctypes.c_void_p()
        lib.GRBloadenv(ctypes.byref(env), None)
        model = ctypes.c_void_p()
        lib.GRBsetintparam(env, b"OutputFlag", 0)
        lib.GRBnewmodel(env, ctypes.byref(model), None, 2, None, None, None, b"CI", None)
        lib.GRBaddconstr(model, 2, ints([0, 1]), doubles([1, 1]), b">", 1.5, None)
        assert lib.GRBoptimize(model) == 0
        lib.GRBfreemodel(model)
        lib.GRBfreeenv(env)
        path = os.path.realpath(lib.path)
        handle = lib.dll._handle
        del lib
        _ctypes.dlclose(handle)
        with open("/proc/self/maps") as maps:
            print("mapped" if path in maps.read() else "unmapped")
        """,
        GRB_STANDIN_TRACE=str(trace),
    )
    assert result.returncode == 0, result.stderr
    assert result.stdout.decode().split() == ["unmapped"]
    assert read_trace(trace)[-1] == {"fn": "unload", "live_envs": 0, "live_models": 0}


def test_unload_line_counts_leaks(tmp_path):
    trace = tmp_path / "t.jsonl"
    result = run_snippet(
        """
        env = ctypes.c_void_p()
        lib.GRBloadenv(ctypes.byref(env), None)
        model = ctypes.c_void_p()
        lib.GRBnewmodel(env, ctypes.byref(model), None, 0, None, None, None, None, None)
        """,
        GRB_STANDIN_TRACE=str(trace),
    )
    assert result.returncode == 0, result.stderr
    assert read_trace(trace)[-1] == {"fn": "unload", "live_envs": 1, "live_models": 1}
