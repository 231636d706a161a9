"""Arrays read in place, 2-D row arrays and NumPy scalars give exactly what
the plain lists of the same values give: the same Gurobi calls, or the same
refusal."""

import array

import pytest

np = pytest.importorskip("numpy")

TYPECODES = {
    "int8": "b",
    "uint8": "B",
    "int16": "h",
    "uint16": "H",
    "int32": "i",
    "uint32": "I",
    "int64": "q",
    "uint64": "Q",
    "float32": "f",
    "float64": "d",
}
INDEX_DTYPES = [d for d in TYPECODES if not d.startswith("float")]
REAL_DTYPES = ["float32", "float64", "int8", "int32", "uint64"]
NAN, INF = float("nan"), float("inf")

INDEX_CASES = {
    "valid": [3, 0, 2],
    "negative": [1, -2, -1],
    "too large": [0, 2**31, 7],
    "negative before too large": [5, -1, 2**31],
    "largest": [2**31 - 1],
    "unknown": [0, 4, 1],
    "empty": [],
}
REAL_CASES = {
    "valid": [0.1, -2.5, 3.0],
    "special": [NAN, -INF, -0.0],
    "huge": [1e300, 255.0],
    "integers": [0.0, 7.0, 127.0],
}


def fits(values, dtype):
    """Whether an array of `dtype` holds `values` without overflowing."""
    if np.dtype(dtype).kind == "f":
        return all(abs(v) <= float(np.finfo(dtype).max) or v != v or abs(v) == INF for v in values)
    info = np.iinfo(dtype)
    return all(v == v and abs(v) != INF and v == int(v) and info.min <= v <= info.max for v in values)


def table(cases, dtypes):
    return [pytest.param(v, d, id=f"{name}-{d}") for name, v in cases.items() for d in dtypes if fits(v, d)]


def forms(values, dtype):
    """The plain list of an array's values, then the array in its other forms."""
    arr = np.array(values, dtype=dtype)
    return arr.tolist(), [
        arr,
        memoryview(arr),
        array.array(TYPECODES[dtype], arr.tolist()),
        list(arr),
        arr.astype(arr.dtype.newbyteorder()),
        np.repeat(arr, 2)[::2],
    ]


def row_forms(rows, dtype):
    """The plain lists of a 2-D array's rows, then the array in its other forms."""
    mat = np.array(rows, dtype=dtype).reshape(len(rows), -1)
    return mat.tolist(), [
        mat,
        np.asmatrix(mat),
        memoryview(mat),
        list(mat),
        [list(row) for row in mat],
        [memoryview(row) for row in mat],
        np.asfortranarray(mat),
        mat.astype(mat.dtype.newbyteorder()),
    ]


def outcome(standin, trace, call):
    """What `call(model)` does on a fresh model of 4 variables."""
    import velkin_gurobi

    model = velkin_gurobi.Model(dll_path=standin)
    model.add_variables(4)
    trace.clear()
    try:
        result = call(model)
    except Exception as error:  # noqa: BLE001 - the refusal is the outcome
        return type(error), str(error)
    calls = [{k: v for k, v in c.items() if k not in ("model", "env")} for c in trace.calls()]
    return repr((result, calls))


def assert_same_outcomes(standin, trace, reference, others, call):
    expected = outcome(standin, trace, lambda m: call(m, reference))
    for other in others:
        assert outcome(standin, trace, lambda m: call(m, other)) == expected, type(other)


@pytest.mark.parametrize("values, dtype", table(REAL_CASES, REAL_DTYPES))
def test_add_variables_bounds(standin, trace, values, dtype):
    reference, others = forms(values, dtype)
    n = len(reference)
    assert_same_outcomes(standin, trace, reference, others, lambda m, b: m.add_variables(n, lbs=b, ubs=b))


@pytest.mark.parametrize(
    "arg, values, dtype",
    [pytest.param("vars", *p.values, id="vars-" + p.id) for p in table(INDEX_CASES, INDEX_DTYPES)]
    + [pytest.param("coeffs", *p.values, id="coeffs-" + p.id) for p in table(REAL_CASES, REAL_DTYPES + INDEX_DTYPES)],
)
def test_add_constraint_and_set_objective(standin, trace, arg, values, dtype):
    reference, others = forms(values, dtype)
    plain = {"vars": [0, 1, 2], "coeffs": [1.0, 2.0, 3.0]}

    def add_constraint(m, sequence):
        return m.add_constraint(**{**plain, arg: sequence}, constant=0.5, sense="<", rhs=1.0)

    def set_objective(m, sequence):
        return m.set_objective(**{**plain, arg: sequence}, constant=0.5, sense=1)

    assert_same_outcomes(standin, trace, reference, others, add_constraint)
    assert_same_outcomes(standin, trace, reference, others, set_objective)


@pytest.mark.filterwarnings("ignore::PendingDeprecationWarning")
@pytest.mark.parametrize(
    "arg, rows, dtype",
    [
        pytest.param("fs_vars", [v, v[::-1]], d, id="fs_vars-" + p.id)
        for p in table(INDEX_CASES, INDEX_DTYPES)
        for v, d in [p.values]
    ]
    + [
        pytest.param("fs_coeffs", [v, v[::-1]], d, id="fs_coeffs-" + p.id)
        for p in table(REAL_CASES, REAL_DTYPES)
        for v, d in [p.values]
    ],
)
def test_add_constraints_rows(standin, trace, arg, rows, dtype):
    reference, others = row_forms(rows, dtype)
    plain = {"fs_vars": [[0, 1, 2], [2, 1]], "fs_coeffs": [[1.0, 2.0], [3.0, 4.0, 5.0]]}

    def add_constraints(m, sequence):
        args = {**plain, arg: sequence}
        return m.add_constraints(**args, fs_consts=[0.0, 1.0], senses=["<", ">"], rhss=[1.0, 2.0], names=["a", "b"])

    assert_same_outcomes(standin, trace, reference, others, add_constraints)
