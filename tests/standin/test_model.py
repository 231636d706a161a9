"""Model building, attributes and Gurobi's lazy updates."""

from __future__ import annotations

import ctypes

import pytest

from .capi import (
    DATA_NOT_AVAILABLE,
    GRB_INFINITY,
    INDEX_OUT_OF_RANGE,
    INVALID_ARGUMENT,
    LOADED,
    NULL_ARGUMENT,
    OPTIMAL,
    UNKNOWN_ATTRIBUTE,
    doubles,
    ints,
    names,
)


def test_newmodel_defaults_and_name(lib, env):
    assert (
        lib.GRBnewmodel(None, ctypes.byref(ctypes.c_void_p()), None, 0, None, None, None, None, None) == NULL_ARGUMENT
    )
    assert lib.GRBnewmodel(env, None, None, 0, None, None, None, None, None) == NULL_ARGUMENT
    model = lib.newmodel(env, 2, name=None)
    assert lib.intattr(model, b"NumVars") == (0, 2)
    assert lib.intattr(model, b"Status") == (0, LOADED)
    assert lib.intattr(model, b"ModelSense") == (0, 1)
    assert lib.dblarray(model, b"LB", 0, 2) == (0, [0.0, 0.0])
    assert lib.dblarray(model, b"UB", 0, 2) == (0, [GRB_INFINITY, GRB_INFINITY])
    assert lib.dblarray(model, b"Obj", 0, 2) == (0, [0.0, 0.0])
    value = ctypes.c_char_p()
    assert lib.GRBgetstrattr(model, b"ModelName", ctypes.byref(value)) == 0
    assert value.value == b""
    assert lib.GRBsetstrattr(model, b"ModelName", b"plan") == 0
    assert lib.GRBgetstrattr(model, b"modelname", ctypes.byref(value)) == 0
    assert value.value == b"plan"
    assert lib.GRBsetstrattr(model, b"ModelName", b"n" * 256) == INVALID_ARGUMENT
    assert lib.GRBfreemodel(model) == 0
    assert lib.GRBfreemodel(None) == 0


def test_newmodel_takes_lower_case_types_and_a_long_name(lib, env):
    # Gurobi keeps a model name of any length from GRBnewmodel, and reads type codes in either case.
    model = lib.newmodel(env, 5, obj=[1.0] * 5, lb=[0, 0, 0, 1, 1], ub=[2.5] * 5, vtype=b"cbisn", name=b"m" * 300)
    value = ctypes.c_char_p()
    assert lib.GRBgetstrattr(model, b"ModelName", ctypes.byref(value)) == 0
    assert value.value == b"m" * 300
    assert lib.GRBsetintattr(model, b"ModelSense", -1) == 0
    assert lib.GRBoptimize(model) == 0
    assert lib.intattr(model, b"IsMIP") == (0, 1)
    assert lib.dblarray(model, b"X", 0, 5) == (0, [2.5, 1.0, 2.0, 2.5, 2.0])
    assert lib.GRBfreemodel(model) == 0


def test_additions_wait_for_update(lib, model):
    assert lib.GRBaddvars(model, 3, 0, None, None, None, None, None, None, b"CBI", None) == 0
    assert lib.GRBaddvar(model, 0, None, None, 1.0, -1.0, 1.0, b"C", b"w") == 0
    # Variables not yet applied can be used in constraints already.
    assert lib.addconstr(model, {0: 1.0, 3: 2.0}, b"<", 4.0) == 0
    assert lib.intattr(model, b"NumVars") == (0, 0)
    assert lib.intattr(model, b"NumConstrs") == (0, 0)
    assert lib.element(model, b"LB", 0)[0] == INDEX_OUT_OF_RANGE
    assert lib.GRBupdatemodel(model) == 0
    assert lib.intattr(model, b"NumVars") == (0, 4)
    assert lib.intattr(model, b"NumConstrs") == (0, 1)
    assert lib.intattr(model, b"NumNZs") == (0, 2)
    assert lib.intattr(model, b"IsMIP") == (0, 1)
    assert lib.dblarray(model, b"LB", 2, 2) == (0, [0.0, -1.0])


def test_invalid_additions_add_nothing(lib, model):
    lib.GRBaddvars(model, 2, 0, None, None, None, None, None, None, None, None)
    lib.GRBupdatemodel(model)
    cases = [
        (lib.GRBaddvars(model, -1, 0, None, None, None, None, None, None, None, None), INVALID_ARGUMENT),
        (lib.GRBaddvars(model, 2, 0, None, None, None, None, None, None, b"CX", None), INVALID_ARGUMENT),
        (
            lib.GRBaddvars(model, 1, 0, None, None, None, None, doubles([float("nan")]), None, None, None),
            INVALID_ARGUMENT,
        ),
        (lib.GRBaddvar(model, 1, ints([0]), doubles([1.0]), 0.0, 0.0, 1.0, b"C", None), INDEX_OUT_OF_RANGE),
        (lib.GRBaddvar(model, 0, None, None, 0.0, 0.0, 1.0, b"C", b"v" * 256), INVALID_ARGUMENT),
        (lib.addconstr(model, {0: 1.0, 2: 1.0}, b"<", 1.0), INDEX_OUT_OF_RANGE),
        (lib.addconstr(model, {-1: 1.0}, b"<", 1.0), INDEX_OUT_OF_RANGE),
        (lib.addconstr(model, {0: 1.0}, b"!", 1.0), INVALID_ARGUMENT),
        (lib.addconstr(model, {0: float("inf")}, b"<", 1.0), INVALID_ARGUMENT),
        (lib.GRBaddconstr(model, 1, None, doubles([1.0]), b"<", 1.0, None), NULL_ARGUMENT),
        (
            lib.GRBaddconstrs(model, 2, 2, ints([0, 3]), ints([0, 1]), doubles([1, 1]), b"<<", None, None),
            INVALID_ARGUMENT,
        ),
        (
            lib.GRBaddconstrs(model, 2, 2, ints([0, 1]), ints([0, 1]), doubles([1, 1]), b"<?", None, None),
            INVALID_ARGUMENT,
        ),
        (lib.GRBaddconstrs(model, -1, 0, None, None, None, None, None, None), INVALID_ARGUMENT),
        (lib.GRBaddvars(None, 1, 0, None, None, None, None, None, None, None, None), NULL_ARGUMENT),
        (lib.GRBaddconstr(None, 0, None, None, b"<", 0.0, None), NULL_ARGUMENT),
    ]
    assert [rc for rc, _ in cases] == [expected for _, expected in cases]
    assert lib.GRBupdatemodel(model) == 0
    assert lib.intattr(model, b"NumVars") == (0, 2)
    assert lib.intattr(model, b"NumConstrs") == (0, 0)
    # A refusal while additions are pending discards them, as Gurobi does.
    lib.GRBaddvars(model, 1, 0, None, None, None, None, None, None, None, None)
    assert lib.addconstr(model, {2: 1.0}, b"<", 1.0) == 0
    assert lib.GRBsetdblattrelement(model, b"Obj", 5, 1.0) == INDEX_OUT_OF_RANGE
    assert lib.addconstr(model, {2: 1.0}, b"<", 1.0) == INDEX_OUT_OF_RANGE
    assert lib.GRBupdatemodel(model) == 0
    assert (lib.intattr(model, b"NumVars"), lib.intattr(model, b"NumConstrs")) == ((0, 2), (0, 0))


def test_attribute_errors(lib, model):
    lib.GRBaddvars(model, 2, 0, None, None, None, None, None, None, None, None)
    lib.GRBupdatemodel(model)
    value = ctypes.c_double()
    assert lib.intattr(model, b"NoSuchAttr")[0] == UNKNOWN_ATTRIBUTE
    assert lib.intattr(model, b"ObjVal")[0] == UNKNOWN_ATTRIBUTE
    assert lib.dblattr(model, b"X")[0] == UNKNOWN_ATTRIBUTE
    assert lib.element(model, b"ObjCon", 0)[0] == UNKNOWN_ATTRIBUTE
    assert lib.intattr(None, b"Status")[0] == NULL_ARGUMENT
    assert lib.intattr(model, None)[0] == NULL_ARGUMENT
    assert lib.GRBgetdblattr(model, b"ObjCon", None) == NULL_ARGUMENT
    assert lib.GRBgetdblattrarray(model, b"LB", 0, 1, None) == NULL_ARGUMENT
    assert lib.GRBsetdblattrarray(model, b"LB", 0, 1, None) == NULL_ARGUMENT
    assert lib.GRBsetstrattr(model, b"ModelName", None) == NULL_ARGUMENT
    assert lib.GRBgetdblattrelement(model, b"X", 0, None) == NULL_ARGUMENT
    # Read-only attributes.
    assert lib.GRBsetintattr(model, b"Status", 2) == INVALID_ARGUMENT
    assert lib.GRBsetintattr(model, b"NumVars", 5) == INVALID_ARGUMENT
    assert lib.GRBsetdblattr(model, b"ObjVal", 1.0) == INVALID_ARGUMENT
    assert lib.GRBsetdblattrelement(model, b"X", 0, 1.0) == INVALID_ARGUMENT
    # Values and indices.
    assert lib.GRBsetdblattr(model, b"ObjCon", float("nan")) == INVALID_ARGUMENT
    assert lib.element(model, b"LB", 2)[0] == INDEX_OUT_OF_RANGE
    assert lib.element(model, b"LB", -1)[0] == INDEX_OUT_OF_RANGE
    assert lib.dblarray(model, b"UB", 1, 2)[0] == INDEX_OUT_OF_RANGE
    assert lib.dblarray(model, b"UB", 0, -1)[0] == INVALID_ARGUMENT
    assert lib.GRBsetdblattrarray(model, b"UB", 1, 2, doubles([1, 2])) == INDEX_OUT_OF_RANGE
    # The index is checked before availability.
    assert lib.element(model, b"X", 5)[0] == INDEX_OUT_OF_RANGE
    assert lib.element(model, b"X", 1)[0] == DATA_NOT_AVAILABLE
    assert lib.GRBgetdblattr(model, b"ObjVal", ctypes.byref(value)) == DATA_NOT_AVAILABLE
    assert lib.dblarray(model, b"LB", 0, 2) == (0, [0.0, 0.0])


def test_solution_stays_readable_until_update(lib, env):
    model = lib.newmodel(env, 2, obj=[1.0, 1.0], lb=[1.0, 2.0])
    assert lib.solve(model) == (OPTIMAL, 3.0, [1.0, 2.0])
    assert lib.GRBsetdblattrelement(model, b"LB", 0, 5.0) == 0
    assert lib.GRBaddvar(model, 0, None, None, 1.0, 0.0, 1.0, b"C", None) == 0
    assert lib.intattr(model, b"Status") == (0, OPTIMAL)
    assert lib.dblattr(model, b"ObjVal") == (0, 3.0)
    assert lib.dblarray(model, b"X", 0, 2) == (0, [1.0, 2.0])
    assert lib.dblarray(model, b"LB", 0, 2) == (0, [5.0, 2.0])
    assert lib.GRBupdatemodel(model) == 0
    assert lib.intattr(model, b"Status") == (0, LOADED)
    assert lib.dblattr(model, b"ObjVal")[0] == DATA_NOT_AVAILABLE
    assert lib.dblarray(model, b"X", 0, 3)[0] == DATA_NOT_AVAILABLE
    assert lib.solve(model) == (OPTIMAL, 7.0, [5.0, 2.0, 0.0])
    # An update without changes keeps the solution.
    assert lib.GRBupdatemodel(model) == 0
    assert lib.dblattr(model, b"ObjVal") == (0, 7.0)
    lib.GRBfreemodel(model)


@pytest.mark.parametrize(
    "change",
    [
        lambda lib, m: lib.GRBsetintattr(m, b"ModelSense", -1),
        lambda lib, m: lib.GRBsetdblattr(m, b"ObjCon", 1.0),
        lambda lib, m: lib.GRBsetdblattrarray(m, b"Obj", 0, 1, doubles([2.0])),
        lambda lib, m: lib.GRBsetdblattrelement(m, b"UB", 0, 9.0),
        lambda lib, m: lib.addconstr(m, {0: 1.0}, b"<", 9.0),
    ],
)
def test_every_change_makes_the_solution_stale(lib, env, change):
    model = lib.newmodel(env, 1, obj=[1.0], lb=[1.0], ub=[10.0])
    assert lib.solve(model)[0] == OPTIMAL
    assert change(lib, model) == 0
    assert lib.dblattr(model, b"ObjVal") == (0, 1.0)
    lib.GRBupdatemodel(model)
    assert lib.dblattr(model, b"ObjVal")[0] == DATA_NOT_AVAILABLE
    lib.GRBfreemodel(model)


def test_column_coefficients_and_duplicates(lib, env):
    # max 2x + y  s.t.  x + y <= 4 and 2x <= 3 (built from columns), 2x + x <= 3 (an index repeated)
    model = lib.newmodel(env)
    assert lib.GRBaddconstrs(model, 2, 0, None, None, None, b"<<", doubles([4.0, 3.0]), names([b"cap", None])) == 0
    assert (
        lib.GRBaddvars(
            model,
            2,
            3,
            ints([0, 2]),
            ints([0, 1, 0]),
            doubles([1, 2, 1]),
            doubles([2, 1]),
            None,
            None,
            None,
            names([b"x", b"y"]),
        )
        == 0
    )
    assert lib.addconstr(model, {}, b"<", 0.0) == 0
    lib.GRBsetintattr(model, b"ModelSense", -1)
    assert lib.GRBaddconstr(model, 2, ints([0, 0]), doubles([2, 1]), b"<", 3.0, None) == 0
    status, objval, x = lib.solve(model)
    assert status == OPTIMAL
    assert objval == pytest.approx(5.0)
    assert x == pytest.approx([1.0, 3.0])
    assert lib.intattr(model, b"NumNZs") == (0, 5)
    lib.GRBfreemodel(model)


def test_bulk_constraints_are_fast(lib, env):
    import time

    rows, per_row, columns = 200_000, 10, 50_000
    model = lib.newmodel(env, columns, obj=[1.0] * columns)
    index = (ctypes.c_int * (rows * per_row))(
        *[(i * 7 + k * 13) % columns for i in range(rows) for k in range(per_row)]
    )
    value = (ctypes.c_double * (rows * per_row))(*([1.0] * (rows * per_row)))
    begin = (ctypes.c_int * rows)(*range(0, rows * per_row, per_row))
    started = time.perf_counter()
    assert lib.GRBaddconstrs(model, rows, rows * per_row, begin, index, value, b">" * rows, None, None) == 0
    assert lib.GRBupdatemodel(model) == 0
    assert time.perf_counter() - started < 2.0
    assert lib.intattr(model, b"NumNZs") == (0, rows * per_row)
    lib.GRBfreemodel(model)


def test_one_at_a_time_additions_grow_past_the_heap_intact(lib, env):
    # Enough columns and rows, added one call each, for every array to move to mapped pages
    # (from 256 KiB); pending rows refused on the way are dropped. max sum x  s.t.
    # (1 + i % 3) x_i <= i, so x_i = i / (1 + i % 3).
    count = 40_000
    model = lib.newmodel(env)
    for _ in range(count):
        assert lib.GRBaddvar(model, 0, None, None, 1.0, 0.0, 1e6, b"C", None) == 0
    for i in range(count):
        assert lib.GRBaddconstr(model, 1, ints([i]), doubles([1 + i % 3]), b"<", float(i), None) == 0
        if i == count // 2:
            assert lib.GRBupdatemodel(model) == 0
    assert lib.GRBaddconstr(model, 1, ints([0]), doubles([1.0]), b"<", float("nan"), None) == INVALID_ARGUMENT
    assert lib.intattr(model, b"NumConstrs") == (0, count // 2 + 1)
    for i in range(count // 2 + 1, count):
        assert lib.GRBaddconstr(model, 1, ints([i]), doubles([1 + i % 3]), b"<", float(i), None) == 0
    assert lib.GRBsetintattr(model, b"ModelSense", -1) == 0
    status, objval, x = lib.solve(model)
    expected = [i / (1 + i % 3) for i in range(count)]
    assert (status, lib.intattr(model, b"NumConstrs"), lib.intattr(model, b"NumNZs")) == (
        OPTIMAL,
        (0, count),
        (0, count),
    )
    assert x == pytest.approx(expected)
    assert objval == pytest.approx(sum(expected))
    lib.GRBfreemodel(model)


def test_batches_grow_past_huge_page_sizes_intact(lib, env):
    # Column arrays of 2.4 MB that grow by a batch at a time to 9.6 MB: mapped, advised to take
    # huge pages and moved by remapping on the way, with every value kept.
    batch, batches = 300_000, 4
    model = lib.newmodel(env)
    for b in range(batches):
        first = b * batch
        obj = doubles([float(first + j) for j in range(batch)])
        ub = doubles([float(b + 1)] * batch)
        assert lib.GRBaddvars(model, batch, 0, None, None, None, obj, None, ub, None, None) == 0
        assert lib.GRBupdatemodel(model) == 0
    total = batch * batches
    assert lib.intattr(model, b"NumVars") == (0, total)
    for start in (0, batch - 2, total - 3):
        assert lib.dblarray(model, b"Obj", start, 3) == (0, [float(start + k) for k in range(3)])
        assert lib.dblarray(model, b"UB", start, 3) == (0, [float((start + k) // batch + 1) for k in range(3)])
    lib.GRBfreemodel(model)
