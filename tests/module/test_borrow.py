import threading

import pytest


class Reenter:
    """A number whose conversion calls back into the same Model."""

    def __init__(self, call, result=1.0):
        self.call = call
        self.result = result
        self.error = None

    def _reenter(self):
        try:
            self.call()
        except RuntimeError as error:
            self.error = str(error)

    def __float__(self):
        self._reenter()
        return float(self.result)

    def __index__(self):
        self._reenter()
        return int(self.result)


class TestReentrantConversions:
    def test_exclusive_method_refuses_exclusive_and_shared_calls(self, model):
        exclusive = Reenter(lambda: model.add_variable())
        shared = Reenter(lambda: model.get_objective_value())
        assert model.add_variable(lb=exclusive, ub=shared) == 0
        assert exclusive.error == "Already borrowed"
        assert shared.error == "Already mutably borrowed"
        assert model.add_variable() == 1

    @pytest.mark.parametrize(
        "invoke",
        [
            lambda m, v: m.add_variables(1, lbs=[v]),
            lambda m, v: m.add_constraint([v], [1.0], 0.0, "<", 1.0),
            lambda m, v: m.add_constraints([[0]], [[v]], [0.0], ["<"], [1.0]),
            lambda m, v: m.set_objective([0], [1.0], v, 0),
            lambda m, v: m.set_optimizer_attr("Threads", v),
        ],
    )
    def test_every_exclusive_method_holds_the_model(self, model, invoke):
        model.add_variable()
        hook = Reenter(lambda: model.update(), result=0)
        invoke(model, hook)
        assert hook.error == "Already borrowed"

    def test_shared_method_admits_readers_and_refuses_writers(self, model):
        reader = Reenter(lambda: model.get_objective_value(), result=0)
        assert model.get_var_value(reader) is None
        assert reader.error is None
        writer = Reenter(lambda: model.optimize(), result=0)
        model.get_var_value(writer)
        assert writer.error == "Already borrowed"

    def test_borrow_is_released_after_a_failed_call(self, model):
        with pytest.raises(TypeError):
            model.add_variable(lb="x")
        with pytest.raises(ValueError):
            model.add_constraint([], [], 0.0, "?", 0.0)
        assert model.add_variable() == 0
        assert model.update() is None

    def test_sequence_hook_reentering(self, model):
        class Seq:
            def __len__(self):
                return 1

            def __getitem__(self, i):
                if i:
                    raise IndexError
                with pytest.raises(RuntimeError, match="Already borrowed"):
                    model.add_variables(1)
                return 2.0

        model.add_variables(1, lbs=Seq())

    def test_list_shrunk_by_a_hook_is_read_safely(self, model, trace):
        values = [0.0, 1.0, 2.0, 3.0]

        class Shrink:
            def __float__(self):
                values.clear()
                return 9.0

        values[1] = Shrink()
        with pytest.raises(ValueError, match="'lbs' has 2 items, fewer than the 4"):
            model.add_variables(4, lbs=values)

    def test_row_dropped_by_its_own_length_is_read_safely(self, model):
        model.add_variables(2)

        class Row(bytearray):
            def __len__(self):
                rows.clear()
                raise TypeError("no length")

        rows = [Row(b"\x00\x01")]
        assert model.add_constraints(rows, [[1.0, 1.0]], [0.0], ["<"], [1.0]) == []
        assert rows == []


class TestThreads:
    def test_models_used_from_several_threads(self, standin):
        import velkin_gurobi

        errors = []

        def work():
            try:
                m = velkin_gurobi.Model(dll_path=standin)
                for _ in range(50):
                    m.add_variables(3)
                    m.add_constraint([0, 1], [1.0, 1.0], 0.0, "<", 1.0)
                    m.get_var_value(0)
                del m
            except Exception as error:  # pragma: no cover - reported below
                errors.append(error)

        threads = [threading.Thread(target=work) for _ in range(4)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        assert errors == []

    def test_shared_model_across_threads(self, model):
        results = []

        def work():
            for _ in range(200):
                results.append(model.add_variable())

        threads = [threading.Thread(target=work) for _ in range(4)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        assert sorted(results) == list(range(800))
