"""Repeated calls, successful and refused, leave nothing behind: no Python
allocations, no resident memory, no references gained or lost by the
arguments, no stand-in handles and no mapped library."""

import array
import gc
import sys

import pytest

import velkin_gurobi

from .support import LeakCheck, fatal_message, last_json_line, resident_bytes, run_python, under_asan

# Fewer rounds under the sanitizers, whose allocator is many times slower;
# LeakSanitizer checks the native side there.
ROUNDS = 80 if under_asan() else 400
# Bytes of Python allocations allowed to remain after ROUNDS calls: less than
# one object (at least 32 bytes) per call.
PY_SLACK = ROUNDS * 10


class IndexHook:
    """Converts through __index__ to a stored int, so that a reference leaked
    on the conversion result is visible on it."""

    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


class FloatHook:
    """Converts through __float__ to a stored float."""

    def __init__(self, value):
        self.value = value

    def __float__(self):
        return self.value


class RaisingHook:
    def __index__(self):
        raise LookupError("hook")

    __float__ = __index__


def reentering(model):
    class Reenter:
        def __float__(self):
            try:
                model.add_variable()
            except RuntimeError:
                pass
            try:
                model.get_objective_value()
            except RuntimeError:
                pass
            return 1.0

        __index__ = lambda self: 0  # noqa: E731

    return Reenter()


def refusing(call, error):
    def body():
        try:
            call()
        except error:
            pass
        else:  # pragma: no cover - reported
            raise AssertionError("call succeeded")

    return body


def operations(m):
    """(name, body) pairs covering every method on its success and refusal paths."""
    m.add_variables(4)
    names = [str(i) + "n" for i in range(3)]
    lbs = [float(i) for i in range(3)]
    buf = array.array("d", lbs)
    idx = array.array("q", [0, 1, 2])
    yield "add_variable", lambda: m.add_variable("x", "C", -1.5, FloatHook(2.5))
    yield "add_variables", lambda: m.add_variables(3, names, ["C", "B", "I"], lbs, buf)
    yield "add_constraint", lambda: m.add_constraint(idx, [1.0, 2.0, 3.0], 0.5, "<", 4.0, "c")
    yield (
        "add_constraints",
        lambda: m.add_constraints([[0, 1], idx], [[1.0, 1.0], buf], [0.0, 1.0], ["<", "="], [1.0, 2.0], ["a", "b"]),
    )
    yield "set_objective", lambda: m.set_objective([0, 1], buf, 1.0, 1)
    yield "update", m.update
    yield "get_var_value", lambda: m.get_var_value(IndexHook(1))
    yield "get_objective_value", m.get_objective_value
    for attr, value in (("Silent", True), ("TimeLimit", 3), ("MIPGap", 0.1), ("LogFile", "")):
        yield f"set_optimizer_attr-{attr}", lambda a=attr, v=value: m.set_optimizer_attr(a, v)
    yield "type:name", refusing(lambda: m.add_variable(name=1), TypeError)
    yield "type:lbs-item", refusing(lambda: m.add_variables(3, lbs=[1.0, 2.0, "x"]), TypeError)
    yield "type:vars", refusing(lambda: m.add_constraint("ab", [], 0.0, "<", 0.0), TypeError)
    yield "type:value", refusing(lambda: m.set_optimizer_attr("Silent", object()), TypeError)
    yield "nul:name", refusing(lambda: m.add_variable(name="a\0b"), ValueError)
    yield "nul:names", refusing(lambda: m.add_variables(2, names=["a", "b\0"]), ValueError)
    yield (
        "nul:constraint-names",
        refusing(lambda: m.add_constraints([[0]], [[1.0]], [0.0], ["<"], [1.0], ["\0"]), ValueError),
    )
    yield "surrogate:name", refusing(lambda: m.add_variable(name="\ud800"), UnicodeEncodeError)
    yield "short:ubs", refusing(lambda: m.add_variables(4, ubs=buf), ValueError)
    yield (
        "short:fs_coeffs",
        refusing(lambda: m.add_constraints([[0], [1]], [[1.0]], [0.0, 0.0], ["<"] * 2, [1.0] * 2), ValueError),
    )
    yield "sense", refusing(lambda: m.add_constraint([0], [1.0], 0.0, "?", 1.0), ValueError)
    yield "overflow:n", refusing(lambda: m.add_variables(2**70), OverflowError)
    yield (
        "overflow:index-buffer",
        refusing(lambda: m.add_constraint(array.array("q", [0, -1]), [1.0, 1.0], 0.0, "<", 1.0), OverflowError),
    )
    yield "hook-raises", refusing(lambda: m.add_variables(2, lbs=[1.0, RaisingHook()]), LookupError)
    reenter = reentering(m)
    yield "reentrant", lambda: m.add_variable(lb=reenter)
    yield "reentrant-shared", lambda: m.get_var_value(reenter)


def operation_ids():
    return [name for name, _ in operations(_Dummy())]


class _Dummy:
    def __getattr__(self, name):
        return lambda *args, **kwargs: None


@pytest.fixture
def quiet_model(standin):
    return velkin_gurobi.Model(dll_path=standin)


class TestPythonAllocations:
    @pytest.mark.parametrize("index", range(len(operation_ids())), ids=operation_ids())
    def test_calls_leave_nothing(self, quiet_model, index):
        _, body = list(operations(quiet_model))[index]
        assert LeakCheck(body, ROUNDS).python_growth() < PY_SLACK

    @pytest.mark.parametrize(
        "failing", ["GRBupdatemodel", "GRBoptimize", "GRBgetintattr", "GRBgetdblattr", "GRBaddvars", "GRBgetenv"]
    )
    def test_injected_failures_leave_nothing(self, quiet_model, monkeypatch, failing):
        m = quiet_model
        m.add_variables(2)
        monkeypatch.setenv("GRB_STANDIN_FAIL", f"{failing}={'null' if failing == 'GRBgetenv' else 10003}")

        def body():
            for call in (m.update, m.optimize, lambda: m.add_variables(2)):
                try:
                    call()
                except RuntimeError:
                    pass
            m.get_objective_value()
            m.set_optimizer_attr("Threads", 1)

        assert LeakCheck(body, ROUNDS).python_growth() < PY_SLACK

    def test_fatal_constructions_leave_nothing(self, standin, monkeypatch):
        # Set once: changing os.environ inside the loop would measure its dict's
        # own growth. The first three constructions fail before GRBnewmodel.
        monkeypatch.setenv("GRB_STANDIN_FAIL", "GRBnewmodel=-1")

        def failing_constructions():
            for name, dll_path in (("ok", "a\0b.so"), ("bad\0", standin), ("ok", "/nonexistent/libgurobi12.so")):
                fatal_message(lambda: velkin_gurobi.Model(name, dll_path))
            fatal_message(lambda: velkin_gurobi.Model(dll_path=standin))

        assert LeakCheck(failing_constructions, ROUNDS // 4).python_growth() < PY_SLACK

    def test_construction_and_destruction_leave_nothing(self, standin):
        keep = velkin_gurobi.Model(dll_path=standin)  # the library stays loaded: this measures the Model alone

        def body():
            m = velkin_gurobi.Model("m", standin)
            m.add_variables(5)
            m.add_constraint([0, 1], [1.0, 1.0], 0.0, "<", 1.0)
            del m

        assert LeakCheck(body, ROUNDS // 2).python_growth() < PY_SLACK
        del keep


@pytest.mark.skipif(under_asan(), reason="ASan's quarantine keeps freed memory resident; LeakSanitizer covers this")
class TestResidentMemory:
    def test_stays_flat_over_many_calls(self, quiet_model, standin):
        bodies = [body for _, body in operations(quiet_model)]

        def everything():
            for body in bodies:
                body()
            m = velkin_gurobi.Model(dll_path=standin)
            m.add_variables(10, lbs=[0.0] * 10)
            del m

        before = resident_bytes()
        growth = LeakCheck(everything, 300).resident_growth()
        # 300 rounds of ~35 calls each: a leak of 100 bytes per call would be ~1 MiB.
        assert growth < 512 * 1024, (before, growth)


class TestReferenceCounts:
    def counts(self, objects):
        return [sys.getrefcount(o) for o in objects]

    def check(self, call, objects, error=None):
        before = self.counts(objects)
        for _ in range(20):
            if error is None:
                call()
            else:
                with pytest.raises(error):
                    call()
        gc.collect()
        assert self.counts(objects) == before

    def test_arguments_and_conversion_results(self, quiet_model):
        m = quiet_model
        m.add_variables(3)
        big_index = int("2")  # fresh objects, owned here only
        index_value = int("1")
        float_value = float("2.5")
        hooks = [IndexHook(index_value), FloatHook(float_value)]
        names = ["p" + str(i) for i in range(3)]
        vtypes = [chr(67), chr(66), chr(73)]
        lbs = [float(i) + 0.5 for i in range(3)]
        vars_ = [0, hooks[0], big_index]
        nested = [vars_, [hooks[0]]]
        coeffs = [lbs, [float_value]]
        objects = [
            m,
            *hooks,
            index_value,
            float_value,
            big_index,
            *names,
            *vtypes,
            *lbs,
            names,
            vtypes,
            lbs,
            vars_,
            nested,
            coeffs,
        ]
        self.check(lambda: m.add_variable(names[0], vtypes[0], hooks[1], hooks[0]), objects)
        self.check(lambda: m.add_variables(hooks[0], names, vtypes, lbs, lbs), objects)
        self.check(lambda: m.add_constraint(vars_, lbs, hooks[1], "<", float_value, names[1]), objects)
        self.check(lambda: m.add_constraints(nested, coeffs, lbs, vtypes, lbs, names), objects)
        self.check(lambda: m.set_objective(vars_, lbs, hooks[1], hooks[0]), objects)
        self.check(lambda: m.get_var_value(hooks[0]), objects)
        self.check(lambda: m.set_optimizer_attr(names[0], hooks[0]), objects)
        self.check(lambda: m.set_optimizer_attr(names[0], hooks[1]), objects)

    def test_refused_arguments(self, quiet_model):
        m = quiet_model
        m.add_variables(2)
        first = float("1.5")
        bad = "x" + str(1)
        lbs = [first, first, bad]
        names = ["a" + str(1), "b\0"]
        raising = RaisingHook()
        mixed = [0, raising]
        objects = [m, first, bad, lbs, names, raising, mixed]
        self.check(lambda: m.add_variables(3, lbs=lbs), objects, TypeError)
        self.check(lambda: m.add_variables(2, names=names), objects, ValueError)
        self.check(lambda: m.add_variables(4, lbs=lbs[:2]), objects, ValueError)
        self.check(lambda: m.add_constraint(mixed, lbs, 0.0, "<", 0.0), objects, LookupError)
        self.check(lambda: m.add_constraints([mixed], [lbs], [0.0], ["<"], [0.0]), objects, LookupError)
        self.check(lambda: m.add_constraint([0], [first], first, "?", first, bad), objects, ValueError)
        self.check(lambda: m.set_objective([0], [first], first, bad), objects, TypeError)
        self.check(lambda: m.set_optimizer_attr(bad, lbs), objects, TypeError)
        self.check(lambda: velkin_gurobi.Model(bad, first), objects, TypeError)


class TestHandlesAndLibrary:
    """Fresh interpreters: the stand-in's counts and the process's mappings
    and descriptors belong to the whole process."""

    def test_constructions_in_a_loop_leave_nothing_open(self, standin, tmp_path):
        trace = tmp_path / "trace.jsonl"
        result = run_python(
            f"""
            import json, os
            from velkin_gurobi import Model
            path = os.path.realpath({standin!r})
            def mapped():
                with open("/proc/self/maps") as maps:
                    return path in maps.read()
            fds = sorted(os.listdir("/proc/self/fd"))
            failures = 0
            for round in range(60):
                models = [Model(str(i), {standin!r}) for i in range(3)]
                for m in models:
                    m.add_variables(2)
                del models, m
                for name, dll in (("bad\\0", {standin!r}), ("ok", "a\\0b"), ("ok", "/nonexistent.so")):
                    try:
                        Model(name, dll)
                    except BaseException:
                        failures += 1
                for fn in ("GRBloadenv", "GRBstartenv", "GRBnewmodel"):
                    os.environ["GRB_STANDIN_FAIL"] = fn + "=10001"
                    try:
                        Model(dll_path={standin!r})
                    except BaseException:
                        failures += 1
                    del os.environ["GRB_STANDIN_FAIL"]
            after = sorted(os.listdir("/proc/self/fd"))
            print(json.dumps([mapped(), failures, fds == after]))
        """,
            {"GRB_STANDIN_TRACE": str(trace)},
        )
        assert last_json_line(result) == [False, 360, True]
        import json

        calls = [json.loads(line) for line in trace.read_text().splitlines()]
        unloads = [c for c in calls if c["fn"] == "unload"]
        # Every Model and failed construction unloaded the library with nothing live.
        assert len(unloads) >= 60 and all((c["live_envs"], c["live_models"]) == (0, 0) for c in unloads)
        frees = [c for c in calls if c["fn"] == "GRBfreemodel"]
        assert len(frees) == 180 and frees[-1]["live_models"] == 0
        loaded = [c for c in calls if c["fn"] == "GRBloadenv" and c["rc"] == 0]
        assert len(loaded) == 60 * 6 and len(loaded) == sum(c["fn"] == "GRBfreeenv" for c in calls)
