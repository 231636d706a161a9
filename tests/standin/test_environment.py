"""Environments and parameters: defaults, ranges, types, text values, the model's own copy."""

from __future__ import annotations

import ctypes
import math

import pytest

from .capi import INVALID_ARGUMENT, NULL_ARGUMENT, UNKNOWN_PARAMETER, VALUE_OUT_OF_RANGE

# Gurobi's own types, defaults and ranges: those the stand-in passes on to HiGHS, and a few of
# those it accepts without effect.
INT_DEFAULTS = {
    b"OutputFlag": (1, 0, 1),
    b"LogToConsole": (1, 0, 1),
    b"Threads": (0, -1, 1024),
    b"Seed": (0, 0, 2000000000),
    b"Presolve": (-1, -1, 2),
    b"Method": (-1, -1, 6),
    b"SolutionLimit": (2000000000, 1, 2000000000),
    b"Crossover": (-1, -1, 5),
    b"RINS": (-1, -1, 2000000000),
    b"Symmetry": (-1, -1, 2),
    b"DualReductions": (1, 0, 1),
    b"MIPFocus": (0, 0, 3),
    b"Cuts": (-1, -1, 3),
    b"NumericFocus": (0, 0, 3),
    b"AggFill": (-1, -1, 2000000000),
    b"ZeroObjNodes": (-1, -1, 2000000000),
}
DOUBLE_DEFAULTS = {
    b"Heuristics": (0.05, 0, 1),
    b"BarConvTol": (1e-8, 0, 1),
    b"MarkowitzTol": (0.0078125, 1e-4, 0.999),
    b"WorkLimit": (math.inf, 0, math.inf),
    b"TimeLimit": (math.inf, 0, math.inf),
    b"MIPGap": (1e-4, 0, math.inf),
    b"MIPGapAbs": (1e-10, 0, math.inf),
    b"IterationLimit": (math.inf, 0, math.inf),
    b"NodeLimit": (math.inf, 0, math.inf),
    b"FeasibilityTol": (1e-6, 1e-9, 1e-2),
    b"OptimalityTol": (1e-6, 1e-9, 1e-2),
    b"IntFeasTol": (1e-5, 1e-9, 1e-1),
}


def test_loadenv_and_startenv(lib):
    assert lib.GRBloadenv(None, None) == NULL_ARGUMENT
    env = ctypes.c_void_p()
    assert lib.GRBloadenv(ctypes.byref(env), b"solver.log") == 0
    assert lib.GRBstartenv(env) == 0
    assert lib.GRBstartenv(None) == NULL_ARGUMENT
    assert lib.strparam(env, b"LogFile") == (0, b"solver.log")
    lib.GRBfreeenv(env)
    lib.GRBfreeenv(None)


def test_defaults(lib):
    env = lib.loadenv(quiet=False)
    assert {name: lib.intparam(env, name) for name in INT_DEFAULTS} == {
        name: (0, entry[0]) for name, entry in INT_DEFAULTS.items()
    }
    assert {name: lib.dblparam(env, name) for name in DOUBLE_DEFAULTS} == {
        name: (0, entry[0]) for name, entry in DOUBLE_DEFAULTS.items()
    }
    assert lib.strparam(env, b"LogFile") == (0, b"")
    assert lib.strparam(env, b"NodefileDir") == (0, b".")
    assert lib.strparam(env, b"WorkerPool") == (0, b"")
    lib.GRBfreeenv(env)


@pytest.mark.parametrize("name", list(INT_DEFAULTS))
def test_int_ranges(lib, env, name):
    _, low, high = INT_DEFAULTS[name]
    assert lib.GRBsetintparam(env, name, low) == 0
    assert lib.GRBsetintparam(env, name, high) == 0
    assert lib.GRBsetintparam(env, name, low - 1) == VALUE_OUT_OF_RANGE
    # A maximum of 2e9 stands for no limit: a larger value is taken as it, as Gurobi does.
    if high < 2e9:
        assert lib.GRBsetintparam(env, name, high + 1) == VALUE_OUT_OF_RANGE
    else:
        assert lib.GRBsetintparam(env, name, 2**31 - 1) == 0
    assert lib.intparam(env, name) == (0, high)


@pytest.mark.parametrize("name", list(DOUBLE_DEFAULTS))
def test_double_ranges(lib, env, name):
    _, low, high = DOUBLE_DEFAULTS[name]
    assert lib.GRBsetdblparam(env, name, low) == 0
    assert lib.GRBsetdblparam(env, name, math.nan) == VALUE_OUT_OF_RANGE
    assert lib.GRBsetdblparam(env, name, low - abs(low) / 2 - 1e-12) == VALUE_OUT_OF_RANGE
    if high != math.inf:
        assert lib.GRBsetdblparam(env, name, high * 1.5) == VALUE_OUT_OF_RANGE
    assert lib.dblparam(env, name) == (0, low)


def test_names_ignore_case_and_types_must_match(lib, env):
    assert lib.GRBsetintparam(env, b"outputflag", 0) == 0
    assert lib.intparam(env, b"OUTPUTFLAG") == (0, 0)
    assert lib.GRBsetdblparam(env, b"timelimit", 5.0) == 0
    assert lib.dblparam(env, b"TimeLimit") == (0, 5.0)
    assert lib.GRBsetintparam(env, b"TimeLimit", 5) == UNKNOWN_PARAMETER
    assert lib.GRBsetdblparam(env, b"Threads", 1.0) == UNKNOWN_PARAMETER
    assert lib.GRBsetstrparam(env, b"Threads", b"1") == UNKNOWN_PARAMETER
    assert lib.intparam(env, b"MIPGap")[0] == UNKNOWN_PARAMETER
    assert lib.dblparam(env, b"LogFile")[0] == UNKNOWN_PARAMETER
    assert lib.strparam(env, b"Seed")[0] == UNKNOWN_PARAMETER
    assert lib.GRBsetintparam(env, b"NoSuchParam", 1) == UNKNOWN_PARAMETER
    # Names whose order depends on case (BQPCuts, BarConvTol), near-misses, the list's ends.
    assert lib.GRBsetintparam(env, b"bqpcuts", 2) == 0
    assert lib.intparam(env, b"BQPCUTS") == (0, 2)
    # Known, and refused as Gurobi refuses it once the environment has started.
    assert lib.GRBsetstrparam(env, b"wlsproxy", b"host") == INVALID_ARGUMENT
    assert lib.strparam(env, b"WLSProxy") == (0, b"")
    assert lib.GRBsetdblparam(env, b"MIPGa", 0.1) == UNKNOWN_PARAMETER
    assert lib.GRBsetdblparam(env, b"MIPGapAbsX", 0.1) == UNKNOWN_PARAMETER
    assert lib.GRBsetintparam(env, b"A", 1) == UNKNOWN_PARAMETER
    assert lib.GRBsetintparam(env, b"zz", 1) == UNKNOWN_PARAMETER
    assert lib.GRBsetparam(env, b"NoSuchParam", b"1") == UNKNOWN_PARAMETER


def test_setparam_parses_by_type(lib, env):
    assert lib.GRBsetparam(env, b"Threads", b" 3 ") == 0
    assert lib.intparam(env, b"Threads") == (0, 3)
    assert lib.GRBsetparam(env, b"TimeLimit", b"2.5e1") == 0
    assert lib.dblparam(env, b"TimeLimit") == (0, 25.0)
    assert lib.GRBsetparam(env, b"TimeLimit", b"inf") == 0
    assert lib.dblparam(env, b"TimeLimit") == (0, math.inf)
    assert lib.GRBsetparam(env, b"LogFile", b"a b.log") == 0
    assert lib.strparam(env, b"LogFile") == (0, b"a b.log")
    assert lib.GRBsetparam(env, b"Threads", b"1.5") == INVALID_ARGUMENT
    assert lib.GRBsetparam(env, b"Threads", b"") == INVALID_ARGUMENT
    assert lib.GRBsetparam(env, b"MIPGap", b"small") == INVALID_ARGUMENT
    assert lib.GRBsetparam(env, b"Threads", b"2000") == VALUE_OUT_OF_RANGE
    assert lib.intparam(env, b"Threads") == (0, 3)


def test_string_values_fit_the_callers_buffer(lib, env):
    assert lib.GRBsetstrparam(env, b"LogFile", b"x" * 511) == 0
    assert lib.strparam(env, b"LogFile") == (0, b"x" * 511)
    assert lib.GRBsetstrparam(env, b"LogFile", b"x" * 512) == INVALID_ARGUMENT


def test_null_arguments(lib, env):
    value = ctypes.c_int()
    assert lib.GRBsetintparam(None, b"Threads", 1) == NULL_ARGUMENT
    assert lib.GRBsetintparam(env, None, 1) == NULL_ARGUMENT
    assert lib.GRBgetintparam(env, b"Threads", None) == NULL_ARGUMENT
    assert lib.GRBgetintparam(None, b"Threads", ctypes.byref(value)) == NULL_ARGUMENT
    assert lib.GRBgetdblparam(env, b"MIPGap", None) == NULL_ARGUMENT
    assert lib.GRBgetstrparam(env, b"LogFile", None) == NULL_ARGUMENT
    assert lib.GRBsetstrparam(env, b"LogFile", None) == NULL_ARGUMENT
    assert lib.GRBsetparam(env, b"Threads", None) == NULL_ARGUMENT
    assert lib.GRBsetparam(None, b"Threads", b"1") == NULL_ARGUMENT


def test_model_has_its_own_copy(lib, env):
    assert lib.GRBsetintparam(env, b"Threads", 2) == 0
    model = lib.newmodel(env)
    model_env = lib.GRBgetenv(model)
    assert model_env is not None and model_env != env.value
    assert lib.GRBgetenv(model) == model_env
    assert lib.intparam(model_env, b"Threads") == (0, 2)
    assert lib.GRBsetintparam(model_env, b"Threads", 4) == 0
    assert lib.GRBsetintparam(env, b"Threads", 6) == 0
    assert lib.intparam(model_env, b"Threads") == (0, 4)
    assert lib.intparam(env, b"Threads") == (0, 6)
    assert lib.GRBgetenv(None) is None
    lib.GRBfreemodel(model)


def test_model_outlives_its_loading_environment(lib):
    env = lib.loadenv()
    model = lib.newmodel(env, 1, obj=[1.0], lb=[2.0])
    lib.GRBfreeenv(env)
    # Freeing a model's own environment is ignored: it goes with the model.
    lib.GRBfreeenv(lib.GRBgetenv(model))
    assert lib.intparam(lib.GRBgetenv(model), b"OutputFlag") == (0, 0)
    assert lib.solve(model) == (2, 2.0, [2.0])
    assert lib.GRBfreemodel(model) == 0
