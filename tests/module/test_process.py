"""Behaviour that belongs to the whole process, checked in fresh interpreters."""

import json
import os
import subprocess
import sys
import textwrap

import pytest

NO_DLL_LINE = (
    "No DLL path provided, attempting to load Gurobi library from environment variables and common locations.\n"
)
FIXED_PATHS = ("/usr/local/gurobi1203/lib/libgurobi1203.so", "/opt/gurobi1203/lib/libgurobi1203.so")


def run(code, env=None, **kwargs):
    full_env = {k: v for k, v in os.environ.items() if not k.startswith(("GRB_STANDIN_", "GUROBI_HOME"))}
    full_env.update(env or {})
    return subprocess.run(
        [sys.executable, "-c", textwrap.dedent(code)], capture_output=True, env=full_env, timeout=120, **kwargs
    )


def test_second_initialisation_fails():
    result = run("""
        import importlib, sys
        import velkin_gurobi
        del sys.modules["velkin_gurobi"]
        try:
            import velkin_gurobi
        except ImportError as e:
            print("ImportError:", e)
    """)
    assert result.stdout.decode() == "ImportError: velkin_gurobi can only be initialised once per interpreter process\n"


def test_stdout_line_goes_to_descriptor_one_and_fatal_escapes_except_exception(tmp_path):
    result = run(
        """
        import io, sys
        sys.stdout = io.StringIO()
        from velkin_gurobi import Model
        try:
            try:
                Model()
            except Exception:
                sys.__stderr__.write("caught by except Exception\\n")
        except BaseException as e:
            sys.__stderr__.write("BaseException " + type(e).__name__ + "\\n")
        sys.__stderr__.write("captured " + repr(sys.stdout.getvalue()) + "\\n")
    """,
        env={"GUROBI_HOME": str(tmp_path)},
    )
    assert result.stdout.decode() == NO_DLL_LINE
    err = result.stderr.decode()
    assert "BaseException FatalError\n" in err and "caught by" not in err
    assert "captured ''\n" in err


def test_stdout_line_keeps_its_place_in_a_pipe(tmp_path):
    result = run(
        """
        import os
        from velkin_gurobi import Model
        os.write(1, b"before\\n")
        try:
            Model()
        except BaseException:
            pass
        os.write(1, b"after\\n")
    """,
        env={"GUROBI_HOME": str(tmp_path)},
    )
    assert result.stdout.decode() == "before\n" + NO_DLL_LINE + "after\n"


def test_gurobi_home_that_is_not_utf8_counts_as_unset(standin):
    if any(os.path.exists(p) for p in FIXED_PATHS):
        pytest.skip("a Gurobi installation is present")
    code = "from velkin_gurobi import Model\ntry:\n    Model()\nexcept BaseException as e:\n    print(e.args[0])\n"
    env = {k.encode(): v.encode() for k, v in os.environ.items() if not k.startswith(("GRB_STANDIN_", "GUROBI_HOME"))}
    env[b"GUROBI_HOME"] = b"/tmp/\xff\xfe"
    result = subprocess.run([sys.executable, "-c", code], capture_output=True, env=env, timeout=120)
    assert result.stdout.decode().splitlines()[-1] == (
        "Failed to load Gurobi library: Failed to load Gurobi library from any source"
    )


@pytest.mark.standin_only("the vendor check keeps its forwarding library open for the whole process")
def test_library_is_unloaded_after_the_last_model(standin, tmp_path):
    trace = tmp_path / "trace.jsonl"
    result = run(
        f"""
        import os
        from velkin_gurobi import Model
        path = os.path.realpath({standin!r})
        def mapped():
            with open("/proc/self/maps") as maps:
                return path in maps.read()
        a = Model(dll_path={standin!r})
        b = Model(dll_path={standin!r})
        a.add_variables(2)
        print(mapped())
        del a
        print(mapped(), b.add_variable())
        del b
        print(mapped())
        try:
            Model("bad\\0name", {standin!r})
        except BaseException:
            pass
        print(mapped())
    """,
        env={"GRB_STANDIN_TRACE": str(trace)},
    )
    assert result.stdout.decode().split() == ["True", "True", "0", "False", "False"], result.stderr.decode()
    calls = [json.loads(line) for line in trace.read_text().splitlines()]
    unloads = [c for c in calls if c["fn"] == "unload"]
    assert unloads and all(c["live_envs"] == 0 and c["live_models"] == 0 for c in unloads)


class TestFixedInstallPaths:
    """Creates the fixed install paths only where they are absent and writable."""

    @pytest.fixture
    def fixed_paths(self):
        created = []
        if any(os.path.exists(p) or os.path.exists(os.path.dirname(os.path.dirname(p))) for p in FIXED_PATHS):
            pytest.skip("a Gurobi installation directory is present")
        if os.geteuid() != 0:
            pytest.skip("needs permission to create the fixed install paths")

        def place(index, target=None, directory=False):
            path = FIXED_PATHS[index]
            root = os.path.dirname(os.path.dirname(path))
            os.makedirs(os.path.dirname(path))
            created.append(root)
            if directory:
                os.mkdir(path)
            elif target:
                os.symlink(target, path)
            else:
                with open(path, "w") as f:
                    f.write("not a library\n")
            return path

        yield place
        import shutil

        for root in created:
            shutil.rmtree(root, ignore_errors=True)

    def construct(self, env=None):
        return (
            run(
                """
            from velkin_gurobi import Model
            try:
                print(Model().add_variable())
            except BaseException as e:
                print(e.args[0])
        """,
                env=env,
            )
            .stdout.decode()
            .splitlines()[-1]
        )

    def test_opt_path_is_used(self, fixed_paths, standin):
        fixed_paths(1, target=standin)
        assert self.construct() == "0"

    def test_usr_local_wins(self, fixed_paths, standin):
        usr_local = fixed_paths(0)
        fixed_paths(1, target=standin)
        assert self.construct().startswith(f'Gurobi setup failed: DlOpen {{ source: "{usr_local}: ')

    def test_directory_at_fixed_path_fails_when_loaded(self, fixed_paths):
        path = fixed_paths(1, directory=True)
        assert self.construct().startswith(f'Gurobi setup failed: DlOpen {{ source: "{path}: ')

    def test_gurobi_home_failure_is_final(self, fixed_paths, standin, tmp_path):
        fixed_paths(1, target=standin)
        assert self.construct({"GUROBI_HOME": str(tmp_path)}) == (
            f'Gurobi setup failed: "Gurobi library not found at expected path: {tmp_path}"'
        )


def test_numpy_is_not_imported_by_reading_numbers(standin):
    result = run(f"""
        import fractions, sys
        import velkin_gurobi
        m = velkin_gurobi.Model(dll_path={standin!r})
        m.add_variables(2, lbs=[fractions.Fraction(1, 2), True], ubs=memoryview(bytes([3, 4])))
        m.set_objective([True, 1], [fractions.Fraction(1, 4), 2], 0.0, 1)
        print("numpy" in sys.modules)
    """)
    assert result.stdout.decode() == "False\n", result.stderr.decode()
