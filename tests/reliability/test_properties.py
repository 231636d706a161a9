"""Random Python objects for every parameter of every method: only the
documented exception types come out, a call refused by the module reaches no
Gurobi function, one refused by Gurobi hands out no index for what it refused,
and the model stays usable with its numbering intact."""

import array
import math
import os
import re
import threading
import warnings

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import velkin_gurobi

from .support import under_asan

np = pytest.importorskip("numpy")

# VELKIN_RELIABILITY_EXAMPLES raises the count for a deeper search.
EXAMPLES = int(os.environ.get("VELKIN_RELIABILITY_EXAMPLES", 25 if under_asan() else 120))
SETTINGS = settings(
    max_examples=EXAMPLES,
    deadline=None,
    derandomize=False,
    suppress_health_check=[HealthCheck.function_scoped_fixture, HealthCheck.too_slow],
)


class HookError(Exception):
    """Raised by the hostile conversion hooks below."""


class Current:
    """The model under test, for hooks that call back into it."""

    model = None


class IndexHook:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value

    def __repr__(self):
        return f"IndexHook({self.value!r})"


class FloatHook:
    def __init__(self, value):
        self.value = value

    def __float__(self):
        return self.value

    def __repr__(self):
        return f"FloatHook({self.value!r})"


class Raising:
    """Every conversion and sequence hook raises."""

    def __index__(self):
        raise HookError("index")

    def __float__(self):
        raise HookError("float")

    def __len__(self):
        raise HookError("len")

    def __getitem__(self, i):
        raise HookError("getitem")

    def __repr__(self):
        return "Raising()"


class Reenter:
    """Conversions call back into the same model; `propagate` lets the
    borrow refusal out of the hook."""

    def __init__(self, propagate):
        self.propagate = propagate

    def _call(self):
        for call in (lambda m: m.add_variable(), lambda m: m.get_objective_value(), lambda m: m.get_var_value(0)):
            try:
                call(Current.model)
            except RuntimeError as error:
                assert str(error) in ("Already borrowed", "Already mutably borrowed")
                if self.propagate:
                    raise

    def __index__(self):
        self._call()
        return 0

    def __float__(self):
        self._call()
        return 1.0

    def __repr__(self):
        return f"Reenter({self.propagate})"


class Seq:
    """A sequence by __len__/__getitem__ whose length may lie."""

    def __init__(self, items, extra):
        self.items, self.extra = items, extra

    def __len__(self):
        return len(self.items) + self.extra

    def __getitem__(self, i):
        if i >= len(self.items):
            raise IndexError(i)
        return self.items[i]

    def __repr__(self):
        return f"Seq({self.items!r}, {self.extra})"


SPECIAL_INTS = [
    0,
    1,
    -1,
    2**31 - 1,
    2**31,
    -(2**31),
    -(2**31) - 1,
    2**32,
    2**32 + 5,
    2**63 - 1,
    2**63,
    2**64 - 1,
    2**64,
    -(2**63) - 1,
    10**30,
]
SPECIAL_FLOATS = [math.nan, math.inf, -math.inf, -0.0, 0.0, 5e-324, 1.7976931348623157e308, 1e30, -1e100]
SPECIAL_TEXT = [
    "",
    "\0",
    "a\0b",
    "\ud800",
    "x\udcff",
    "<",
    ">",
    "=",
    "C",
    "B",
    "I",
    "S",
    "N",
    "\u2264",
    "Silent",
    "TimeLimit",
    "Threads",
    "LogFile",
    "x" * 600,
]

text = st.one_of(st.text(st.characters(exclude_categories=()), max_size=12), st.sampled_from(SPECIAL_TEXT))
ints = st.one_of(st.integers(-3, 40), st.integers(), st.integers(-(2**80), 2**80), st.sampled_from(SPECIAL_INTS))
floats = st.one_of(st.floats(), st.sampled_from(SPECIAL_FLOATS))
hooks = st.one_of(
    st.builds(IndexHook, st.integers(-3, 40)),
    st.builds(IndexHook, st.sampled_from(SPECIAL_INTS)),
    st.builds(IndexHook, st.just(1.5)),
    st.builds(FloatHook, floats),
    st.builds(FloatHook, st.just("1")),
    st.just(Raising()),
    st.builds(Reenter, st.booleans()),
)
numpy_scalars = st.one_of(
    floats.map(np.float64),
    st.integers(-(2**63), 2**63 - 1).map(np.int64),
    st.booleans().map(np.bool_),
    st.integers(0, 2**32 - 1).map(np.uint32),
    st.floats(width=32).map(np.float32),
)
scalars = st.one_of(st.none(), st.booleans(), ints, floats, text, st.binary(max_size=6), hooks, numpy_scalars)
buffers = st.one_of(
    st.lists(floats, max_size=6).map(lambda v: array.array("d", v)),
    st.lists(st.integers(-(2**63), 2**63 - 1), max_size=6).map(lambda v: array.array("q", v)),
    st.lists(st.integers(0, 2**64 - 1), max_size=6).map(lambda v: array.array("Q", v)),
    st.lists(floats, max_size=6).map(lambda v: np.array(v, dtype=np.float64)),
    st.lists(floats, max_size=6).map(lambda v: np.array(v, dtype=">f8")),
    st.lists(st.integers(-5, 2**40), max_size=6).map(lambda v: np.array(v, dtype=np.int64)),
    st.lists(st.integers(0, 2**64 - 1), max_size=6).map(lambda v: np.array(v, dtype=np.uint64)),
    st.lists(st.integers(-5, 40), min_size=2, max_size=8).map(lambda v: np.array(v, dtype=np.int64)[::2]),
    st.lists(floats, max_size=6).map(lambda v: memoryview(array.array("d", v))),
    st.lists(st.floats(width=32), max_size=6).map(lambda v: np.array(v, dtype=np.float32)),
)


def containers(children):
    return st.one_of(
        st.lists(children, max_size=5),
        st.lists(children, max_size=5).map(tuple),
        st.builds(Seq, st.lists(children, max_size=4), st.integers(-1, 2)),
        st.lists(children, max_size=3).map(lambda v: iter(v)),
        st.sets(st.integers(0, 3), max_size=3),
        st.dictionaries(st.integers(0, 3), st.floats(), max_size=2),
    )


values = st.one_of(
    scalars, buffers, st.recursive(st.one_of(scalars, buffers), containers, max_leaves=12), st.just(Raising())
)
# Well-formed inputs mixed in, so that calls also succeed.
index_lists = st.lists(st.integers(0, 5), max_size=5)
float_lists = st.lists(st.floats(-10, 10), max_size=5)
senses = st.sampled_from(["<", ">", "="])


def maybe(good):
    return st.one_of(good, values)


# A batch size that stays small when it is acceptable (the module would
# honour 2**31 - 1 variables and allocate accordingly).
counts = st.one_of(
    st.integers(0, 6),
    st.integers(2**31, 2**70),
    st.integers(-(2**70), -1),
    values.filter(lambda v: not isinstance(v, (int, np.integer)) or isinstance(v, bool) or v < 0 or v > 2**31 - 1),
)

ALLOWED = (TypeError, ValueError, OverflowError, IndexError, MemoryError, HookError)
GUROBI_REFUSAL = re.compile(
    r"Gurobi refused (the new variables|constraint (\d+)|the objective): error code -?\d+"
    r"(?:; (?:variables? (\d+)(?: to \d+)?)?(?: and )?(?:constraints? (\d+)(?: to \d+)?)? no longer exists?; (?:it|they) will be handed out again)?"
)


def calls_for(model):
    """method name -> (argument strategies, invoke)."""
    return {
        "add_variable": (
            st.tuples(maybe(text), maybe(st.sampled_from("CBI")), maybe(floats), maybe(floats)),
            lambda a: model.add_variable(*a),
        ),
        "add_variable_keywords": (
            st.dictionaries(st.sampled_from(["name", "vtype", "lb", "ub", "bogus"]), values, max_size=3),
            lambda a: model.add_variable(**a),
        ),
        "add_variables": (
            st.tuples(
                counts,
                maybe(st.lists(text, max_size=6)),
                maybe(st.lists(st.sampled_from("CBI"))),
                maybe(float_lists),
                maybe(float_lists),
            ),
            lambda a: model.add_variables(*a),
        ),
        "add_constraint": (
            st.tuples(maybe(index_lists), maybe(float_lists), maybe(floats), maybe(senses), maybe(floats), maybe(text)),
            lambda a: model.add_constraint(*a),
        ),
        "add_constraints": (
            st.tuples(
                maybe(st.lists(index_lists, max_size=3)),
                maybe(st.lists(float_lists, max_size=3)),
                maybe(float_lists),
                maybe(st.lists(senses, max_size=3)),
                maybe(float_lists),
                maybe(st.lists(text, max_size=3)),
            ),
            lambda a: model.add_constraints(*a),
        ),
        "set_objective": (
            st.tuples(maybe(index_lists), maybe(float_lists), maybe(floats), maybe(ints)),
            lambda a: model.set_objective(*a),
        ),
        "get_var_value": (st.tuples(maybe(ints)), lambda a: model.get_var_value(*a)),
        "set_optimizer_attr": (st.tuples(maybe(text), values), lambda a: model.set_optimizer_attr(*a)),
    }


def returned_indices(method, result):
    if method.startswith("add_variable") and method != "add_variables":
        return 1, 0
    if method == "add_variables":
        return len(result), 0
    if method == "add_constraint":
        return 0, 1
    if method == "add_constraints":
        return 0, len(result)
    return 0, 0


@pytest.fixture
def tracked(model, trace):
    Current.model = model
    yield model, trace
    Current.model = None


@pytest.mark.parametrize("method", list(calls_for(None)))
@SETTINGS
@given(data=st.data())
def test_random_arguments(tracked, method, data):
    model, trace = tracked
    strategy, invoke = calls_for(model)[method]
    args = data.draw(strategy, label="arguments")
    # Each example starts from the model's current numbering, read back here.
    trace.clear()
    next_var = model.add_variable()
    next_constr = model.add_constraint([], [], 0.0, "<", 0.0)
    trace.clear()
    try:
        with warnings.catch_warnings():
            # A parameter left unset warns; the call still succeeds.
            warnings.simplefilter("ignore", RuntimeWarning)
            result = invoke(args)
    except ALLOWED:
        assert trace.calls() == [], "a refused call reached Gurobi"
        added = (0, 0)
    except RuntimeError as error:
        refusal = GUROBI_REFUSAL.fullmatch(str(error))
        if refusal is None:
            # Only a hook that let a borrow refusal out of a reentrant call.
            assert str(error) in ("Already borrowed", "Already mutably borrowed")
            assert trace.calls() == []
            added = (0, 0)
        elif trace.calls() == []:
            # Foreseen: refused before anything reached Gurobi.
            added = (0, 0)
        else:
            # Gurobi refused: the numbering follows what it kept, as the text says.
            assert any(c.get("rc", 0) != 0 for c in trace.calls()), "a refusal with no refused call"
            kept_rows = int(refusal[2]) - next_constr - 1 if refusal[2] else 0
            lost_var, lost_constr = refusal[3], refusal[4]
            added = (
                int(lost_var) - next_var - 1 if lost_var else 0,
                int(lost_constr) - next_constr - 1 if lost_constr else kept_rows,
            )
    else:
        added = returned_indices(method, result)
        if method == "add_variables":
            assert result == list(range(next_var + 1, next_var + 1 + added[0]))
        elif method == "add_constraints":
            assert result == list(range(next_constr + 1, next_constr + 1 + added[1]))
        elif method.startswith("add_variable"):
            assert result == next_var + 1
        elif method == "add_constraint":
            assert result == next_constr + 1
    assert model.add_variable() == next_var + 1 + added[0]
    assert model.add_constraint([], [], 0.0, "<", 0.0) == next_constr + 1 + added[1]
    assert model.update() is None


def expected_real(value):
    """What the module's number conversion yields for value, as float(value) would."""
    if isinstance(value, (str, bytes)) or not (hasattr(type(value), "__float__") or hasattr(type(value), "__index__")):
        return TypeError
    try:
        return float(value)
    except Exception as error:  # noqa: BLE001 - the type is the oracle
        return type(error)


@SETTINGS
@given(data=st.data())
def test_bounds_reach_gurobi_exactly(tracked, data):
    model, trace = tracked
    lb = data.draw(st.one_of(scalars.filter(lambda v: not isinstance(v, Reenter)), st.none()), label="lb")
    trace.clear()
    expected = 0.0 if lb is None else expected_real(lb)
    if isinstance(expected, type):
        with pytest.raises(expected):
            model.add_variable(lb=lb)
        assert trace.calls() == []
    elif math.isnan(expected):
        # Gurobi refuses a NaN bound: refused with its code before it is called.
        with pytest.raises(RuntimeError) as info:
            model.add_variable(lb=lb)
        assert str(info.value) == "Gurobi refused the new variables: error code 10003"
        assert trace.calls() == []
    else:
        model.add_variable(lb=lb)
        (reached,) = trace.only("GRBaddvars")["lb"]
        assert reached == expected and math.copysign(1, reached) == math.copysign(1, expected)


@SETTINGS
@given(name=st.one_of(text, st.none(), st.binary(max_size=3), st.integers()))
def test_model_names(standin, trace, name):
    trace.clear()
    if name is not None and not isinstance(name, str):
        with pytest.raises(TypeError) as info:
            velkin_gurobi.Model(name, standin)
        assert str(info.value) == f"Model() argument 'name' must be str, not {type(name).__name__}"
        assert trace.calls() == []
        return
    if name is not None and any(0xD800 <= ord(c) <= 0xDFFF for c in name):
        with pytest.raises(UnicodeEncodeError):
            velkin_gurobi.Model(name, standin)
        assert trace.calls() == []
        return
    if name is not None and "\0" in name:
        with pytest.raises(BaseException) as info:
            velkin_gurobi.Model(name, standin)
        assert info.value.args == ('Gurobi setup failed: "Model name contains a NUL character"',)
        assert trace.fns() == ["GRBloadenv", "GRBstartenv", "GRBfreeenv"]
        return
    # Gurobi keeps a model name of any length.
    m = velkin_gurobi.Model(name, standin)
    assert trace.only("GRBnewmodel")["name"] == ("model" if name is None else name)
    assert m.add_variable() == 0


def test_hooks_that_mutate_their_sequence(tracked):
    """A conversion hook that empties, refills or grows the list being read."""
    model, trace = tracked
    target = [0.0] * 4

    class Mutate:
        def __init__(self, action):
            self.action = action

        def __float__(self):
            self.action()
            return 1.0

    for action in (target.clear, lambda: target.extend([2.0] * 100), lambda: target.__setitem__(slice(None), [])):
        target[:] = [0.0, Mutate(action), 2.0, 3.0]
        try:
            model.add_variables(2, lbs=target)
        except ValueError:
            pass
    threading.Event().wait(0)
    assert model.add_variable() >= 1


def test_unusual_ways_of_reaching_the_methods(model, standin):
    import copy
    import pickle

    for attempt in (lambda: copy.copy(model), lambda: copy.deepcopy(model), lambda: pickle.dumps(model)):
        with pytest.raises(TypeError, match="cannot pickle 'Model' object"):
            attempt()
    with pytest.raises(TypeError, match=r"object.__new__\(Model\) is not safe"):
        object.__new__(velkin_gurobi.Model)
    for unbound in (
        lambda: velkin_gurobi.Model.add_variable(1),
        lambda: velkin_gurobi.Model.update(None),
        lambda: velkin_gurobi.Model.get_objective_value(standin),
    ):
        with pytest.raises(TypeError, match="doesn't apply to a"):
            unbound()
    assert velkin_gurobi.Model.__new__(velkin_gurobi.Model, dll_path=standin).add_variable() == 0
    assert model.add_variable() == 0
