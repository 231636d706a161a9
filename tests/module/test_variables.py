import array
import math
import os
import subprocess
import sys
import textwrap

import pytest

INF = math.inf


def addvars(trace):
    return trace.only("GRBaddvars")


class TestAddVariable:
    def test_defaults_reach_gurobi_in_one_call(self, model, trace):
        assert model.add_variable() == 0
        call = addvars(trace)
        assert call["numvars"] == 1 and call["numnz"] == 0
        assert call["obj"] is None
        assert call["lb"] == [0.0] and math.copysign(1, call["lb"][0]) == 1
        assert call["ub"] == [INF]
        assert call["vtype"] == [ord("C")]
        assert call["names"] == ["x0"]
        trace.clear()
        assert model.add_variable() == 1
        assert addvars(trace)["names"] == ["x1"]

    def test_name_becomes_prefixed_and_bounds_as_given(self, model, trace):
        for _ in range(4):
            model.add_variable()
        trace.clear()
        assert model.add_variable(name="y", vtype="B", lb=-5, ub=2.5) == 4
        call = addvars(trace)
        assert call["names"] == ["y_0"]
        assert call["vtype"] == [ord("B")]
        assert call["lb"] == [-5.0] and call["ub"] == [2.5]

    def test_keywords_positions_and_explicit_none(self, model, trace):
        model.add_variable("n", "I", None, 1.0)
        call = addvars(trace)
        assert call["names"] == ["n_0"] and call["lb"] == [0.0] and call["ub"] == [1.0]
        trace.clear()
        model.add_variable(None, None, None, None)
        assert addvars(trace)["names"] == ["x1"]

    def test_float_conversion_protocols(self, model, trace):
        class HasFloat:
            def __float__(self):
                return 7.5

        class HasIndex:
            def __index__(self):
                return 3

        model.add_variable(lb=HasFloat(), ub=HasIndex())
        call = addvars(trace)
        assert call["lb"] == [7.5] and call["ub"] == [3.0]

    @pytest.mark.parametrize(
        "kwargs, error, message",
        [
            ({"name": 1}, TypeError, "add_variable() argument 'name' must be str, not int"),
            ({"vtype": 1}, TypeError, "add_variable() argument 'vtype' must be str, not int"),
            (
                {"vtype": "BI"},
                ValueError,
                "add_variable() argument 'vtype' must be a single character, not a str of length 2",
            ),
            (
                {"vtype": ""},
                ValueError,
                "add_variable() argument 'vtype' must be a single character, not a str of length 0",
            ),
            ({"lb": "1"}, TypeError, "add_variable() argument 'lb' must be real number, not str"),
            ({"ub": [1.0]}, TypeError, "add_variable() argument 'ub' must be real number, not list"),
            ({"lb": 10**400}, OverflowError, None),
            ({"name": "a\0b"}, ValueError, "add_variable() argument 'name' must not contain a NUL character"),
            ({"name": "\ud800"}, UnicodeEncodeError, None),
            ({"bogus": 1}, TypeError, None),
        ],
    )
    def test_refusals_add_nothing(self, model, trace, kwargs, error, message):
        with pytest.raises(error) as info:
            model.add_variable(**kwargs)
        if message:
            assert str(info.value) == message
        assert trace.calls("GRBaddvars") == []
        assert model.add_variable() == 0

    def test_conversion_order_reports_first_bad_argument(self, model):
        with pytest.raises(TypeError, match="'name'"):
            model.add_variable(name=1, vtype=2, lb="x")
        with pytest.raises(ValueError, match="'vtype'"):
            model.add_variable(vtype="xy", lb="x")

    def test_too_many_positional_arguments(self, model):
        with pytest.raises(TypeError):
            model.add_variable(None, None, None, None, None)


class TestAddVariables:
    def test_batches_number_consecutively(self, model, trace):
        model.add_variable()
        trace.clear()
        assert model.add_variables(3) == [1, 2, 3]
        call = addvars(trace)
        assert call["numvars"] == 3
        assert call["names"] == ["x1", "x2", "x3"]
        assert call["lb"] == [0.0] * 3 and call["ub"] == [INF] * 3
        assert call["vtype"] == [ord("C")] * 3

    def test_zero_variables_still_calls_gurobi(self, model, trace):
        assert model.add_variables(0) == []
        assert addvars(trace)["numvars"] == 0
        assert model.add_variable() == 0

    def test_given_lists_are_used_exactly(self, model, trace):
        out = model.add_variables(2, names=["a", ""], vtypes=("B", "I"), lbs=(0, 1.5), ubs=[-0.0, INF])
        assert out == [0, 1]
        call = addvars(trace)
        assert call["names"] == ["a", ""]
        assert call["vtype"] == [ord("B"), ord("I")]
        assert call["lb"] == [0.0, 1.5]
        assert call["ub"][1] == INF and math.copysign(1, call["ub"][0]) == -1

    def test_entries_beyond_n_are_ignored(self, model, trace):
        model.add_variables(1, names=["y", "z"], lbs=[1, 2, 3])
        call = addvars(trace)
        assert call["names"] == ["y"] and call["lb"] == [1.0]

    def test_any_sequence_is_accepted(self, model, trace):
        class Seq:
            def __len__(self):
                return 2

            def __getitem__(self, i):
                if i >= 2:
                    raise IndexError
                return float(i + 10)

        model.add_variables(2, lbs=range(2), ubs=Seq())
        call = addvars(trace)
        assert call["lb"] == [0.0, 1.0] and call["ub"] == [10.0, 11.0]

    def test_n_through_index(self, model):
        class Three:
            def __index__(self):
                return 3

        assert model.add_variables(Three()) == [0, 1, 2]

    @pytest.mark.parametrize(
        "args, kwargs, error, message",
        [
            ((-1,), {}, OverflowError, "add_variables() argument 'n' must not be negative"),
            ((2.0,), {}, TypeError, "add_variables() argument 'n' must be int, not float"),
            ((2**31,), {}, OverflowError, "add_variables() argument 'n' must not exceed 2147483647"),
            ((2**64,), {}, OverflowError, None),
            ((2,), {"vtypes": "CB"}, TypeError, "add_variables() argument 'vtypes' must be a sequence, not str"),
            ((2,), {"names": "ab"}, TypeError, "add_variables() argument 'names' must be a sequence, not str"),
            ((2,), {"lbs": {1.0, 2.0}}, TypeError, "add_variables() argument 'lbs' must be a sequence, not set"),
            ((2,), {"ubs": {0: 1.0, 1: 2.0}}, TypeError, "add_variables() argument 'ubs' must be a sequence, not dict"),
            ((2,), {"lbs": (x for x in [1.0, 2.0])}, TypeError, None),
            (
                (2,),
                {"lbs": [1.0, "2"]},
                TypeError,
                "add_variables() argument 'lbs' item 1 must be real number, not str",
            ),
            (
                (2,),
                {"vtypes": ["C", "BB"]},
                ValueError,
                "add_variables() argument 'vtypes' item 1 must be a single character, not a str of length 2",
            ),
            ((2,), {"names": ["a", 1]}, TypeError, "add_variables() argument 'names' item 1 must be str, not int"),
            (
                (3,),
                {"names": ["a", "b"]},
                ValueError,
                "add_variables() argument 'names' has 2 items, fewer than the 3 variables asked for by 'n'",
            ),
            (
                (3,),
                {"vtypes": ["C"]},
                ValueError,
                "add_variables() argument 'vtypes' has 1 items, fewer than the 3 variables asked for by 'n'",
            ),
            (
                (3,),
                {"lbs": []},
                ValueError,
                "add_variables() argument 'lbs' has 0 items, fewer than the 3 variables asked for by 'n'",
            ),
            (
                (3,),
                {"ubs": [1.0, 2.0]},
                ValueError,
                "add_variables() argument 'ubs' has 2 items, fewer than the 3 variables asked for by 'n'",
            ),
            (
                (2,),
                {"names": ["ok", "no\0pe"]},
                ValueError,
                "add_variables() argument 'names' must not contain a NUL character",
            ),
            ((2,), {"names": ["ok", "\udc80"]}, UnicodeEncodeError, None),
            ((), {}, TypeError, None),
            ((1,), {"n": 1}, TypeError, None),
        ],
    )
    def test_refusals_add_nothing(self, model, trace, args, kwargs, error, message):
        with pytest.raises(error) as info:
            model.add_variables(*args, **kwargs)
        if message:
            assert str(info.value) == message
        assert trace.calls("GRBaddvars") == []
        assert model.add_variables(1) == [0]

    def test_batch_beyond_memory_is_refused_before_allocating(self, model, trace):
        # Each variable takes 150 bytes or more with the returned list and the
        # library's own copy, and the process can get at most the physical
        # memory: a batch of a hundredth of it in variables cannot fit.
        memory = os.sysconf("SC_PHYS_PAGES") * os.sysconf("SC_PAGE_SIZE")
        if memory // 100 > 2**31 - 1:
            pytest.skip("this machine could hold the largest batch")
        with pytest.raises(MemoryError) as info:
            model.add_variables(memory // 100)
        assert (
            str(info.value) == "add_variables() argument 'n' asks for more variables than fit in this machine's memory"
        )
        assert trace.calls("GRBaddvars") == []
        assert model.add_variables(1) == [0]

    def test_first_failing_argument_wins(self, model):
        with pytest.raises(TypeError, match="'names'"):
            model.add_variables(2, names=[1], vtypes="CB", lbs="x")
        # Lengths are checked only after every argument converted.
        with pytest.raises(TypeError, match="'ubs'"):
            model.add_variables(3, names=["a"], ubs=["x"])

    def test_type_gurobi_refuses_hands_out_no_index(self, model, trace):
        with pytest.raises(RuntimeError) as info:
            model.add_variables(2, vtypes=["C", "Q"])
        assert str(info.value) == "Gurobi refused the new variables: error code 10003"
        assert trace.calls("GRBaddvars") == []
        assert model.add_variable() == 0


def memory_cgroup_parent():
    """The process's own memory cgroup directory and the name of its limit file
    (cgroup v2 with the memory controller handed down, else v1)."""
    with open("/proc/self/cgroup") as file:
        lines = [line.rstrip("\n").split(":", 2) for line in file]
    for hierarchy, controllers, path in lines:
        if hierarchy == "0" and controllers == "":
            base = "/sys/fs/cgroup" + path.rstrip("/")
            control = os.path.join(base, "cgroup.subtree_control")
            if os.path.exists(control) and "memory" in open(control).read().split():
                return base, "memory.max"
    for _, controllers, path in lines:
        if "memory" in controllers.split(","):
            return "/sys/fs/cgroup/memory" + path.rstrip("/"), "memory.limit_in_bytes"
    return None, None


def filesystem_type(path):
    with open("/proc/self/mounts") as file:
        mounts = [line.split()[1:3] for line in file]
    return max((m for m in mounts if path == m[0] or path.startswith(m[0].rstrip("/") + "/")), key=lambda m: len(m[0]))[
        1
    ]


# Each batch runs in a child process confined to a child cgroup of 600 MiB. A
# refusal prints "MemoryError: <message>"; without it, the batch or its
# conversion would outgrow the cgroup and the kernel would end the child.
CGROUP_BATCHES = [
    (
        "1 M names of 250 characters",
        "names = ['%0250d' % i for i in range(10**6)]",
        "m.add_variables(10**6, names=names)",
        "MemoryError: add_variables() argument 'n' asks for more variables than fit in this machine's memory",
    ),
    (
        "1 M names in a tuple subclass",
        "names = type('Names', (tuple,), {})('%0250d' % i for i in range(10**6))",
        "m.add_variables(10**6, names=names)",
        "MemoryError: add_variables() argument 'n' asks for more variables than fit in this machine's memory",
    ),
    (
        "1 M names in another sequence",
        "import collections; names = collections.UserList(['%0250d' % i for i in range(10**6)])",
        "m.add_variables(10**6, names=names)",
        "MemoryError: add_variables() argument 'n' asks for more variables than fit in this machine's memory",
    ),
    (
        "2 M rows of 20 terms",
        "import numpy as np; v = np.zeros((2 * 10**6, 20), np.int32); c = np.ones((2 * 10**6, 20))",
        "m.add_constraints(v, c, np.zeros(len(v)), ['<'] * len(v), np.ones(len(v)))",
        "MemoryError: add_constraints() argument 'fs_vars' asks for more constraints than fit in this machine's memory",
    ),
    (
        "1 M NumPy rows of 40 terms",
        "import numpy as np; v = list(np.zeros((10**6, 40), np.int32)); c = list(np.zeros((10**6, 40)))",
        "m.add_constraints(v, c, [0.0] * len(v), ['<'] * len(v), [1.0] * len(v))",
        "MemoryError: add_constraints() argument 'fs_vars' asks for more constraints than fit in this machine's memory",
    ),
    (
        # 450 MiB of clean page cache fill the cgroup; the kernel reclaims it
        # for a batch of about 150 MB.
        "page cache",
        "cache = open(sys.argv[3], 'wb'); [cache.write(bytes(1 << 20)) for _ in range(450)]; "
        "cache.flush(); os.fsync(cache.fileno())",
        "m.add_variables(10**6)",
        "added",
    ),
]


@pytest.mark.parametrize("case, setup, call, outcome", CGROUP_BATCHES, ids=[row[0] for row in CGROUP_BATCHES])
def test_batch_in_a_memory_cgroup(standin, tmp_path, case, setup, call, outcome):
    pytest.importorskip("numpy")
    parent, limit_file = memory_cgroup_parent()
    if parent is None:
        pytest.skip("the process is in no cgroup with a memory controller")
    if filesystem_type(str(tmp_path)) == "tmpfs":
        pytest.skip("the temporary directory is on tmpfs, whose pages are not reclaimable page cache")
    group = os.path.join(parent, f"velkin-test-{os.getpid()}")
    try:
        os.mkdir(group)
    except OSError as error:
        pytest.skip(f"no writable memory cgroup: cannot make a child of {parent}: {error.strerror}")
    try:
        try:
            with open(os.path.join(group, limit_file), "w") as file:
                file.write(str(600 << 20))
        except OSError as error:
            pytest.skip(f"no writable memory cgroup: cannot set {limit_file}: {error.strerror}")
        script = textwrap.dedent(
            f"""
            import os, sys
            with open(os.path.join(sys.argv[1], "cgroup.procs"), "w") as procs:
                procs.write(str(os.getpid()))
            from velkin_gurobi import Model
            m = Model("m", sys.argv[2])
            {setup}
            try:
                {call}
                print("added")
            except MemoryError as error:
                print("MemoryError:", error)
            """
        )
        child = subprocess.run(
            [sys.executable, "-c", script, group, standin, str(tmp_path / "cache")],
            capture_output=True,
            text=True,
            timeout=300,
        )
        assert (child.returncode, child.stdout.strip()) == (0, outcome), child.stderr[-2000:]
    finally:
        os.rmdir(group)


class TestBufferInput:
    def test_array_and_memoryview_match_list_path(self, model, trace):
        values = [0.5, -1.0, INF, -0.0]
        model.add_variables(4, lbs=values, ubs=values)
        from_list = addvars(trace)
        for source in (array.array("d", values), memoryview(array.array("d", values))):
            trace.clear()
            model.add_variables(4, lbs=source, ubs=source)
            call = addvars(trace)
            assert call["lb"] == from_list["lb"] and call["ub"] == from_list["ub"]
            assert math.copysign(1, call["ub"][3]) == -1

    def test_other_formats_take_the_sequence_path(self, model, trace):
        model.add_variables(2, lbs=array.array("f", [1.5, 2.5]), ubs=array.array("i", [3, 4]))
        call = addvars(trace)
        assert call["lb"] == [1.5, 2.5] and call["ub"] == [3.0, 4.0]

    def test_short_buffer_is_refused_like_a_list(self, model, trace):
        with pytest.raises(ValueError, match="'lbs' has 1 items, fewer than the 2"):
            model.add_variables(2, lbs=array.array("d", [1.0]))
        assert trace.calls("GRBaddvars") == []

    def test_numpy_arrays(self, model, trace):
        np = pytest.importorskip("numpy")
        model.add_variables(3, lbs=np.array([1.0, 2.0, 3.0]), ubs=np.arange(3))
        call = addvars(trace)
        assert call["lb"] == [1.0, 2.0, 3.0] and call["ub"] == [0.0, 1.0, 2.0]
        trace.clear()
        strided = np.arange(6.0)[::2]
        model.add_variables(3, lbs=strided, ubs=np.array([1.0, 2.0, 3.0], dtype=">f8"))
        call = addvars(trace)
        assert call["lb"] == [0.0, 2.0, 4.0] and call["ub"] == [1.0, 2.0, 3.0]
