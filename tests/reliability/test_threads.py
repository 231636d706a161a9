"""Threads sharing one Model and threads each with their own: no crash, and
RuntimeError exactly where the borrow rules put it."""

import random
import sys
import threading

import pytest

import velkin_gurobi

EXCLUSIVE_REFUSED = "Already borrowed"
SHARED_REFUSED = "Already mutably borrowed"


class Gate:
    """A number whose conversion holds the calling method until released."""

    def __init__(self, value=1.0):
        self.value = value
        self.entered = threading.Event()
        self.release = threading.Event()

    def wait_inside(self):
        self.entered.set()
        assert self.release.wait(30)

    def __float__(self):
        self.wait_inside()
        return float(self.value)

    def __index__(self):
        self.wait_inside()
        return int(self.value)


def hold(call):
    """Starts call in a thread and returns (thread, result) once it is inside its conversion."""
    result = {}

    def run():
        try:
            result["value"] = call()
        except BaseException as error:  # pragma: no cover - reported by the caller
            result["error"] = error

    thread = threading.Thread(target=run)
    return thread, result


def refused(call):
    with pytest.raises(RuntimeError) as info:
        call()
    return str(info.value)


EXCLUSIVE_CALLS = {
    "add_variable": lambda m: m.add_variable(),
    "add_variables": lambda m: m.add_variables(1),
    "add_constraint": lambda m: m.add_constraint([], [], 0.0, "<", 0.0),
    "add_constraints": lambda m: m.add_constraints([], [], [], [], []),
    "set_objective": lambda m: m.set_objective([], [], 0.0, 0),
    "update": lambda m: m.update(),
    "optimize": lambda m: m.optimize(),
    "set_optimizer_attr": lambda m: m.set_optimizer_attr("Threads", 1),
}
SHARED_CALLS = {
    "get_var_value": lambda m: m.get_var_value(0),
    "get_objective_value": lambda m: m.get_objective_value(),
}


class TestBorrowsAcrossThreads:
    @pytest.mark.parametrize("holder", ["add_variable", "add_constraint", "set_objective", "set_optimizer_attr"])
    def test_exclusive_holder_refuses_everyone(self, model, holder):
        model.add_variable()
        gate = Gate(0)
        hold_call = {
            "add_variable": lambda: model.add_variable(lb=gate),
            "add_constraint": lambda: model.add_constraint([gate], [1.0], 0.0, "<", 1.0),
            "set_objective": lambda: model.set_objective([0], [1.0], gate, 0),
            "set_optimizer_attr": lambda: model.set_optimizer_attr("Threads", gate),
        }[holder]
        thread, result = hold(hold_call)
        thread.start()
        try:
            assert gate.entered.wait(30)
            for call in EXCLUSIVE_CALLS.values():
                assert refused(lambda: call(model)) == EXCLUSIVE_REFUSED
            for call in SHARED_CALLS.values():
                assert refused(lambda: call(model)) == SHARED_REFUSED
        finally:
            gate.release.set()
            thread.join()
        assert "error" not in result
        assert model.add_variable() == (2 if holder == "add_variable" else 1)

    def test_shared_holder_admits_readers_and_refuses_writers(self, model, script):
        model.add_variables(2)
        script(2, x=[1.0, 2.0], objval=3.0)
        model.optimize()
        gate = Gate(1)
        thread, result = hold(lambda: model.get_var_value(gate))
        thread.start()
        try:
            assert gate.entered.wait(30)
            assert model.get_objective_value() == 3.0
            assert model.get_var_value(0) == 1.0
            for call in EXCLUSIVE_CALLS.values():
                assert refused(lambda: call(model)) == EXCLUSIVE_REFUSED
        finally:
            gate.release.set()
            thread.join()
        assert result == {"value": 2.0}
        assert model.add_variable() == 2


class TestStress:
    def test_one_model_many_threads(self, model):
        """Mixed calls with conversions that yield the interpreter; every
        refusal carries the message its kind of call allows, and the indices
        handed out are exactly 0..n-1."""
        model.add_variables(4)
        old_interval = sys.getswitchinterval()
        sys.setswitchinterval(1e-5)

        class Yielding:
            def __init__(self, value):
                self.value = value

            def __float__(self):
                threading.Event().wait(0)
                return float(self.value)

            def __index__(self):
                threading.Event().wait(0)
                return int(self.value)

        indices, errors, unexpected = [], [], []
        lock = threading.Lock()

        def work(seed):
            rng = random.Random(seed)
            for _ in range(300):
                kind = rng.randrange(6)
                try:
                    if kind == 0:
                        got = [model.add_variable(lb=Yielding(0))]
                    elif kind == 1:
                        got = model.add_variables(2, lbs=[Yielding(0), 0.0])
                    elif kind == 2:
                        model.add_constraint([Yielding(1)], [1.0], 0.0, "<", 1.0)
                        got = []
                    elif kind == 3:
                        model.get_var_value(Yielding(0))
                        got = []
                    elif kind == 4:
                        model.get_objective_value()
                        got = []
                    else:
                        model.set_optimizer_attr("Threads", Yielding(1))
                        got = []
                    with lock:
                        indices.extend(got)
                except RuntimeError as error:
                    allowed = SHARED_REFUSED if kind in (3, 4) else EXCLUSIVE_REFUSED
                    with lock:
                        (errors if str(error) == allowed else unexpected).append((kind, str(error)))
                except BaseException as error:  # pragma: no cover - reported below
                    with lock:
                        unexpected.append((kind, repr(error)))

        threads = [threading.Thread(target=work, args=(seed,)) for seed in range(4)]
        try:
            for t in threads:
                t.start()
            for t in threads:
                t.join()
        finally:
            sys.setswitchinterval(old_interval)
        assert unexpected == []
        assert sorted(indices) == list(range(4, 4 + len(indices)))
        assert model.add_variable() == 4 + len(indices)

    def test_many_models_at_once_with_solves(self, standin):
        failures = []

        def work(seed):
            try:
                m = velkin_gurobi.Model(f"m{seed}", standin)
                m.set_optimizer_attr("Silent", True)
                for _round in range(5):
                    x = m.add_variables(2, lbs=[0.0, 0.0], ubs=[10.0, 10.0])
                    m.add_constraint(x, [1.0, 1.0], 0.0, "<", 4.0 + seed)
                    m.set_objective(x, [1.0, 2.0], 0.0, 1)
                    assert m.optimize() == 1
                    assert m.get_objective_value() == pytest.approx(2 * (4.0 + seed))
                del m
            except BaseException as error:  # pragma: no cover - reported below
                failures.append(repr(error))

        threads = [threading.Thread(target=work, args=(seed,)) for seed in range(4)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        assert failures == []
