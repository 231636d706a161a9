"""ctypes bindings to the stand-in's C API, with Gurobi's documented prototypes, and a few
helpers that build models through it."""

from __future__ import annotations

import ctypes
from collections.abc import Sequence
from ctypes import POINTER, c_char, c_char_p, c_double, c_int, c_void_p

GRB_INFINITY = 1e100

OUT_OF_MEMORY = 10001
NULL_ARGUMENT = 10002
INVALID_ARGUMENT = 10003
UNKNOWN_ATTRIBUTE = 10004
DATA_NOT_AVAILABLE = 10005
INDEX_OUT_OF_RANGE = 10006
UNKNOWN_PARAMETER = 10007
VALUE_OUT_OF_RANGE = 10008
NO_LICENSE = 10009

LOADED, OPTIMAL, INFEASIBLE, INF_OR_UNBD, UNBOUNDED = 1, 2, 3, 4, 5
ITERATION_LIMIT, NODE_LIMIT, TIME_LIMIT = 7, 8, 9
NUMERIC, SUBOPTIMAL = 12, 13

_int_p = POINTER(c_int)
_dbl_p = POINTER(c_double)
_env_p = c_void_p
_model_p = c_void_p

PROTOTYPES = {
    "GRBversion": (None, [_int_p, _int_p, _int_p]),
    "GRBloadenv": (c_int, [POINTER(c_void_p), c_char_p]),
    "GRBstartenv": (c_int, [_env_p]),
    "GRBfreeenv": (None, [_env_p]),
    "GRBgetenv": (c_void_p, [_model_p]),
    "GRBnewmodel": (
        c_int,
        [_env_p, POINTER(c_void_p), c_char_p, c_int, _dbl_p, _dbl_p, _dbl_p, c_char_p, POINTER(c_char_p)],
    ),
    "GRBfreemodel": (c_int, [_model_p]),
    "GRBaddvar": (c_int, [_model_p, c_int, _int_p, _dbl_p, c_double, c_double, c_double, c_char, c_char_p]),
    "GRBaddvars": (
        c_int,
        [_model_p, c_int, c_int, _int_p, _int_p, _dbl_p, _dbl_p, _dbl_p, _dbl_p, c_char_p, POINTER(c_char_p)],
    ),
    "GRBaddconstr": (c_int, [_model_p, c_int, _int_p, _dbl_p, c_char, c_double, c_char_p]),
    "GRBaddconstrs": (c_int, [_model_p, c_int, c_int, _int_p, _int_p, _dbl_p, c_char_p, _dbl_p, POINTER(c_char_p)]),
    "GRBgetintattr": (c_int, [_model_p, c_char_p, _int_p]),
    "GRBsetintattr": (c_int, [_model_p, c_char_p, c_int]),
    "GRBgetdblattr": (c_int, [_model_p, c_char_p, _dbl_p]),
    "GRBsetdblattr": (c_int, [_model_p, c_char_p, c_double]),
    "GRBgetdblattrarray": (c_int, [_model_p, c_char_p, c_int, c_int, _dbl_p]),
    "GRBgetstrattr": (c_int, [_model_p, c_char_p, POINTER(c_char_p)]),
    "GRBsetstrattr": (c_int, [_model_p, c_char_p, c_char_p]),
    "GRBoptimize": (c_int, [_model_p]),
    "GRBgetdblparam": (c_int, [_env_p, c_char_p, _dbl_p]),
    "GRBgetintparam": (c_int, [_env_p, c_char_p, _int_p]),
    "GRBgetstrparam": (c_int, [_env_p, c_char_p, c_char_p]),
    "GRBsetdblparam": (c_int, [_env_p, c_char_p, c_double]),
    "GRBsetintparam": (c_int, [_env_p, c_char_p, c_int]),
    "GRBsetstrparam": (c_int, [_env_p, c_char_p, c_char_p]),
    "GRBsetparam": (c_int, [_env_p, c_char_p, c_char_p]),
    "GRBupdatemodel": (c_int, [_model_p]),
    "GRBgetdblattrelement": (c_int, [_model_p, c_char_p, c_int, _dbl_p]),
    "GRBsetdblattrelement": (c_int, [_model_p, c_char_p, c_int, c_double]),
    "GRBsetdblattrarray": (c_int, [_model_p, c_char_p, c_int, c_int, _dbl_p]),
}


def doubles(values: Sequence[float] | None):
    return None if values is None else (c_double * len(values))(*values)


def ints(values: Sequence[int] | None):
    return None if values is None else (c_int * len(values))(*values)


def names(values: Sequence[bytes | None] | None):
    return None if values is None else (c_char_p * len(values))(*values)


class CApi:
    """The library loaded with ctypes; each C function is an attribute of the same name."""

    def __init__(self, path: str) -> None:
        self.path = path
        self.dll = ctypes.CDLL(path)
        for name, (restype, argtypes) in PROTOTYPES.items():
            function = getattr(self.dll, name)
            function.restype = restype
            function.argtypes = argtypes
            setattr(self, name, function)

    # Environments and models.
    def loadenv(self, quiet: bool = True) -> c_void_p:
        env = c_void_p()
        assert self.GRBloadenv(ctypes.byref(env), None) == 0
        if quiet:
            assert self.GRBsetintparam(env, b"OutputFlag", 0) == 0
        return env

    def newmodel(
        self, env, numvars: int = 0, obj=None, lb=None, ub=None, vtype: bytes | None = None, name: bytes | None = b"m"
    ) -> c_void_p:
        model = c_void_p()
        rc = self.GRBnewmodel(
            env, ctypes.byref(model), name, numvars, doubles(obj), doubles(lb), doubles(ub), vtype, None
        )
        assert rc == 0
        return model

    def addconstr(
        self, model, coefficients: dict[int, float], sense: bytes, rhs: float, name: bytes | None = None
    ) -> int:
        return self.GRBaddconstr(
            model, len(coefficients), ints(list(coefficients)), doubles(list(coefficients.values())), sense, rhs, name
        )

    # Attributes and parameters, returning (rc, value).
    def intattr(self, model, name: bytes) -> tuple[int, int]:
        value = c_int(-12345)
        return self.GRBgetintattr(model, name, ctypes.byref(value)), value.value

    def dblattr(self, model, name: bytes) -> tuple[int, float]:
        value = c_double(-12345.0)
        return self.GRBgetdblattr(model, name, ctypes.byref(value)), value.value

    def dblarray(self, model, name: bytes, start: int, length: int) -> tuple[int, list[float]]:
        values = (c_double * max(length, 1))()
        rc = self.GRBgetdblattrarray(model, name, start, length, values)
        return rc, list(values)[:length]

    def element(self, model, name: bytes, index: int) -> tuple[int, float]:
        value = c_double(-12345.0)
        return self.GRBgetdblattrelement(model, name, index, ctypes.byref(value)), value.value

    def intparam(self, env, name: bytes) -> tuple[int, int]:
        value = c_int(-12345)
        return self.GRBgetintparam(env, name, ctypes.byref(value)), value.value

    def dblparam(self, env, name: bytes) -> tuple[int, float]:
        value = c_double(-12345.0)
        return self.GRBgetdblparam(env, name, ctypes.byref(value)), value.value

    def strparam(self, env, name: bytes) -> tuple[int, bytes]:
        buffer = ctypes.create_string_buffer(512)
        return self.GRBgetstrparam(env, name, buffer), buffer.value

    def solve(self, model) -> tuple[int, float | None, list[float] | None]:
        """Optimises; returns the status, ObjVal and X (None where not available)."""
        assert self.GRBoptimize(model) == 0
        status = self.intattr(model, b"Status")[1]
        rc, objval = self.dblattr(model, b"ObjVal")
        numvars = self.intattr(model, b"NumVars")[1]
        xrc, x = self.dblarray(model, b"X", 0, numvars)
        return status, objval if rc == 0 else None, x if xrc == 0 else None
