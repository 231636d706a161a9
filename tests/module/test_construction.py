import importlib.util
import inspect
import os
import pathlib
import textwrap

import pytest

import velkin_gurobi
from helpers.gurobi_functions import GUROBI_FUNCTIONS
from helpers.native import compile_library
from velkin_gurobi import Model

NO_DLL_LINE = (
    "No DLL path provided, attempting to load Gurobi library from environment variables and common locations.\n"
)
FIXED_PATHS = ("/usr/local/gurobi1203/lib/libgurobi1203.so", "/opt/gurobi1203/lib/libgurobi1203.so")
FatalError = None


def load_method_docs():
    path = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "method_docs.py"
    found = importlib.util.spec_from_file_location("method_docs", path)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


method_docs = load_method_docs()
STUB_DOCS = method_docs.docstrings()


def fatal_error(call):
    """Runs call, which must fail fatally, and returns the message."""
    with pytest.raises(BaseException) as info:
        call()
    assert not isinstance(info.value, Exception)
    assert type(info.value).__bases__ == (BaseException,)
    assert len(info.value.args) == 1
    return info.value.args[0]


class TestClass:
    def test_module_exports_only_model(self):
        assert [n for n in dir(velkin_gurobi) if not n.startswith("__")] == ["Model"]

    def test_class_shape(self):
        assert Model.__name__ == "Model" and Model.__module__ == "builtins"
        assert str(inspect.signature(Model)) == "(name=None, dll_path=None)"
        assert Model.__doc__ == STUB_DOCS["Model"]
        assert "__dict__" not in dir(Model) and "__weakref__" not in dir(Model)
        assert Model.__init__ is object.__init__
        with pytest.raises(TypeError):
            type("Sub", (Model,), {})

    def test_method_signatures(self):
        expected = {
            "add_variable": "(self, name=None, vtype=None, lb=None, ub=None)",
            "add_variables": "(self, n, names=None, vtypes=None, lbs=None, ubs=None)",
            "add_constraint": "(self, vars, coeffs, constant, sense, rhs, name=None)",
            "add_constraints": "(self, fs_vars, fs_coeffs, fs_consts, senses, rhss, names=None)",
            "set_objective": "(self, vars, coeffs, constant, sense)",
            "update": "(self)",
            "optimize": "(self)",
            "get_var_value": "(self, var_id)",
            "get_objective_value": "(self)",
            "set_optimizer_attr": "(self, attr, value)",
        }
        names = [n for n in Model.__dict__ if not n.startswith("__")]
        assert names == list(expected)
        for name, signature in expected.items():
            # "$self" in the text signature makes self positional-only.
            assert str(inspect.signature(getattr(Model, name))) == signature.replace("(self", "(self, /", 1)
            assert getattr(Model, name).__doc__ == STUB_DOCS[name]

    def test_docstrings_come_from_the_stubs(self):
        # The module's docstrings are the stubs' (checked above); the header
        # they are compiled from is the one the generator writes now.
        assert method_docs.header(STUB_DOCS) == method_docs.HEADER.read_text(encoding="utf-8")

    def test_instances_have_no_dict_or_weakref(self, model):
        import weakref

        with pytest.raises(AttributeError):
            model.extra = 1
        with pytest.raises(TypeError):
            weakref.ref(model)


class TestConstruction:
    def test_calls_in_order(self, standin, trace):
        m = Model(dll_path=standin)
        assert trace.fns() == ["GRBloadenv", "GRBstartenv", "GRBnewmodel"]
        load, start, new = trace.calls()
        assert load["logfile"] is None
        assert start["env"] == load["env"] == new["env"]
        assert (new["name"], new["numvars"]) == ("model", 0)
        assert all(new[k] is None for k in ("obj", "lb", "ub", "vtype", "names"))
        trace.clear()
        del m
        assert trace.fns() == ["GRBfreemodel", "GRBfreeenv"]

    @pytest.mark.parametrize("name", ["", "plan 2026", "Größe ≤ 3"])
    def test_name_passed_verbatim(self, standin, trace, name):
        Model(name, standin)
        assert trace.only("GRBnewmodel")["name"] == name

    def test_models_share_nothing(self, standin, trace):
        a, b = Model(dll_path=standin), Model(dll_path=standin)
        assert a.add_variable() == 0 and b.add_variable() == 0
        envs = [c["env"] for c in trace.calls("GRBloadenv")]
        assert len(set(envs)) == 2
        del a
        assert b.add_variable() == 1

    def test_trailing_nul_in_path_is_used_unchanged(self, standin, trace):
        Model(dll_path=standin + "\0")
        assert "GRBnewmodel" in trace.fns()

    def test_prints_nothing_with_a_dll_path(self, standin, capfd, monkeypatch):
        monkeypatch.setenv("GUROBI_HOME", "/nonexistent")
        Model(dll_path=standin)
        assert capfd.readouterr() == ("", "")


class TestConstructionFailures:
    @pytest.mark.parametrize(
        "failure, message, calls",
        [
            ({"GRBloadenv": 10009}, "Failed to load Gurobi environment: error code 10009", ["GRBloadenv"]),
            ({"GRBloadenv": -5}, "Failed to load Gurobi environment: error code -5", ["GRBloadenv"]),
            (
                {"GRBstartenv": 10022},
                "Failed to start Gurobi environment: error code 10022",
                ["GRBloadenv", "GRBstartenv", "GRBfreeenv"],
            ),
            (
                {"GRBnewmodel": -1},
                "Failed to create Gurobi model: error code -1",
                ["GRBloadenv", "GRBstartenv", "GRBnewmodel", "GRBfreeenv"],
            ),
        ],
    )
    def test_gurobi_failures(self, standin, trace, fail, failure, message, calls):
        fail(**failure)
        assert fatal_error(lambda: Model(dll_path=standin)) == f'Gurobi setup failed: "{message}"'
        assert trace.fns() == calls

    def test_nul_in_name_frees_the_environment(self, standin, trace):
        message = fatal_error(lambda: Model("a\0b", standin))
        assert message == 'Gurobi setup failed: "Model name contains a NUL character"'
        assert trace.fns() == ["GRBloadenv", "GRBstartenv", "GRBfreeenv"]

    def test_diagnostic_on_standard_error(self, standin, fail, capfd):
        fail(GRBloadenv=10009)
        fatal_error(lambda: Model(dll_path=standin))
        out, err = capfd.readouterr()
        assert out == ""
        prefix = "velkin_gurobi: fatal error at python/velkin-gurobi/src/model.cpp:"
        assert err.startswith(prefix)
        assert err.endswith(': Gurobi setup failed: "Failed to load Gurobi environment: error code 10009"\n')
        assert err.count("\n") == 1

    @pytest.mark.parametrize(
        "args, kwargs, message",
        [
            ((b"x",), {}, "Model() argument 'name' must be str, not bytes"),
            ((), {"dll_path": pathlib.Path("/x")}, "Model() argument 'dll_path' must be str, not PosixPath"),
            ((), {"dll_path": b"/x"}, "Model() argument 'dll_path' must be str, not bytes"),
            ((1, 2), {}, "Model() argument 'name' must be str, not int"),
            ((None, None, None), {}, None),
            ((), {"path": "x"}, None),
        ],
    )
    def test_argument_refusals_print_nothing(self, capfd, args, kwargs, message):
        with pytest.raises(TypeError) as info:
            Model(*args, **kwargs)
        if message:
            assert str(info.value) == message
        assert capfd.readouterr() == ("", "")

    def test_unencodable_path(self, capfd):
        with pytest.raises(UnicodeEncodeError):
            Model(dll_path="\udcff.so")
        assert capfd.readouterr() == ("", "")

    def test_missing_file_reports_the_loaders_text(self, tmp_path):
        path = str(tmp_path / "missing.so")
        message = fatal_error(lambda: Model(dll_path=path))
        assert (
            message
            == f'Gurobi setup failed: DlOpen {{ source: "{path}: cannot open shared object file: No such file or directory" }}'
        )

    def test_loader_text_is_quoted_bytewise(self, tmp_path):
        path = str(tmp_path / "caf\u00e9 'x\".so")
        message = fatal_error(lambda: Model(dll_path=path))
        escaped = path.replace("\u00e9", "\\xc3\\xa9").replace("'", "\\'").replace('"', '\\"')
        assert message == (
            f'Gurobi setup failed: DlOpen {{ source: "{escaped}: cannot open shared object file: No such file or directory" }}'
        )

    def test_interior_nul(self, standin, trace):
        assert fatal_error(lambda: Model(dll_path="a\0b.so")) == "Gurobi setup failed: InteriorZeroElements"
        assert trace.calls() == []

    @pytest.mark.parametrize("kind", ["text", "directory"])
    def test_not_a_library(self, tmp_path, kind):
        path = tmp_path / "libgurobi99.so"
        if kind == "text":
            path.write_text("not a library\n")
        else:
            path.mkdir()
        message = fatal_error(lambda: Model(dll_path=str(path)))
        assert message.startswith(f'Gurobi setup failed: DlOpen {{ source: "{path}: ')

    def test_missing_function_fails_the_load(self, tmp_path):
        body = "\n".join(f"void {n}(void) {{}}" for n in GUROBI_FUNCTIONS if n != "GRBsetparam")
        path = compile_library(tmp_path, "libpartial.so", body)
        message = fatal_error(lambda: Model(dll_path=path))
        assert message == f'Gurobi setup failed: DlSym {{ source: "{path}: undefined symbol: GRBsetparam" }}'

    def test_symbol_resolving_to_null_fails_the_load(self, tmp_path):
        body = "\n".join(f"void {n}(void) {{}}" for n in GUROBI_FUNCTIONS if n != "GRBaddconstrs")
        body += textwrap.dedent("""
            static void *resolve_nothing(void) { return 0; }
            void GRBaddconstrs(void) __attribute__((ifunc("resolve_nothing")));
        """)
        path = compile_library(tmp_path, "libnullsym.so", body)
        message = fatal_error(lambda: Model(dll_path=path))
        assert message == 'Gurobi setup failed: DlSym { source: "symbol GRBaddconstrs resolved to a null address" }'


REMEDY = (
    "Install Gurobi and set GUROBI_HOME to the directory that holds its lib/ (or pass dll_path), or run without "
    "Gurobi on the stand-in library that comes with this package: Model(name, velkin_gurobi_standin.library_path())"
)
LICENCE_NOTE = (
    "Error code 10009: Gurobi found no valid licence. Gurobi needs one (a gurobi.lic file, or GRB_LICENSE_FILE "
    "naming it); to run without a licence, use the stand-in library that comes with this package: "
    "Model(name, velkin_gurobi_standin.library_path())"
)


# GUROBI_HOME ("scratch": an empty directory; None: unset), dll_path
# ("missing": a file that does not exist), the stand-in's faults, and the
# note the failure carries: where the library was looked for and what to do,
# or why Gurobi refused ({tmp}: the scratch directory; None: no note).
CONSTRUCTION_NOTES = [
    (None, "missing", {}, 'Looked for the Gurobi library at: dll_path "{tmp}/libgurobi.so"\n' + REMEDY),
    ("scratch", None, {}, 'Looked for the Gurobi library at: GUROBI_HOME\'s lib/, "{tmp}/lib"\n' + REMEDY),
    (
        None,
        None,
        {},
        "Looked for the Gurobi library at: GUROBI_HOME (not set, or not UTF-8), "
        + ", ".join(FIXED_PATHS)
        + "\n"
        + REMEDY,
    ),
    (None, "standin", {"GRBloadenv": 10009}, LICENCE_NOTE),
    (None, "standin", {"GRBstartenv": 10009}, LICENCE_NOTE),
    (None, "standin", {"GRBloadenv": 10022}, None),
]


@pytest.mark.skipif(any(os.path.exists(p) for p in FIXED_PATHS), reason="a Gurobi installation is present")
@pytest.mark.parametrize("home, dll_path, faults, note", CONSTRUCTION_NOTES)
def test_failed_construction_carries_a_note(standin, tmp_path, fail, monkeypatch, home, dll_path, faults, note):
    if home:
        monkeypatch.setenv("GUROBI_HOME", str(tmp_path))
    else:
        monkeypatch.delenv("GUROBI_HOME", raising=False)
    fail(**faults)
    path = {"standin": standin, "missing": f"{tmp_path}/libgurobi.so", None: None}[dll_path]
    with pytest.raises(BaseException) as info:
        Model("m", path)
    # The class, base and arguments stay as they were; the note is added.
    assert type(info.value).__bases__ == (BaseException,) and len(info.value.args) == 1
    expected = None if note is None else [note.replace("{tmp}", str(tmp_path))]
    assert getattr(info.value, "__notes__", None) == expected


class TestGurobiHome:
    """GUROBI_HOME is read on every construction, so these run in-process."""

    def home_with(self, tmp_path, *entries, target=None):
        lib = tmp_path / "home" / "lib"
        lib.mkdir(parents=True)
        for entry in entries:
            if entry.endswith("/"):
                (lib / entry.rstrip("/")).mkdir()
            elif target:
                os.symlink(target, lib / entry)
            else:
                (lib / entry).write_text("")
        return str(tmp_path / "home")

    def construct(self, monkeypatch, home):
        monkeypatch.setenv("GUROBI_HOME", home)
        return Model()

    def test_scan_finds_the_library(self, tmp_path, monkeypatch, standin, trace, capfd):
        home = self.home_with(tmp_path, "libgurobi_light1203.so", target=standin)
        os.symlink(standin, os.path.join(home, "lib", "libgurobi1203.so"))
        m = self.construct(monkeypatch, home)
        assert m.add_variable() == 0
        assert capfd.readouterr().out == NO_DLL_LINE

    @pytest.mark.parametrize(
        "entries", [[], ["libgurobi.so", "libgurobi1203.so.1", "LIBGUROBI1203.SO", "gurobi_light12.so"]]
    )
    def test_no_match_is_final(self, tmp_path, monkeypatch, entries):
        home = self.home_with(tmp_path, *entries)
        message = fatal_error(lambda: self.construct(monkeypatch, home))
        assert message == f'Gurobi setup failed: "Gurobi library not found at expected path: {home}"'

    def test_missing_lib_directory(self, tmp_path, monkeypatch):
        home = str(tmp_path / "nothing")
        message = fatal_error(lambda: self.construct(monkeypatch, home))
        assert message == f'Gurobi setup failed: "Gurobi library not found at expected path: {home}"'

    def test_directory_with_matching_name_is_taken_then_fails(self, tmp_path, monkeypatch):
        home = self.home_with(tmp_path, "gurobi12.so/")
        message = fatal_error(lambda: self.construct(monkeypatch, home))
        assert message.startswith(f'Gurobi setup failed: DlOpen {{ source: "{home}/lib/gurobi12.so: ')

    def test_trailing_slash_is_not_doubled(self, tmp_path, monkeypatch, standin):
        home = self.home_with(tmp_path, "libgurobi12.so", target=standin)
        self.construct(monkeypatch, home + "/")

    def test_empty_value_does_not_scan_the_working_directory(self, tmp_path, monkeypatch, standin):
        (tmp_path / "lib").mkdir()
        os.symlink(standin, tmp_path / "lib" / "libgurobi12.so")
        monkeypatch.chdir(tmp_path)
        message = fatal_error(lambda: self.construct(monkeypatch, ""))
        assert message == 'Gurobi setup failed: "Gurobi library not found at expected path: "'

    def test_value_is_quoted_in_the_message(self, tmp_path, monkeypatch):
        home = str(tmp_path / 'tab\there "q" e\u0301 \u00a0\u2028\ue000')
        message = fatal_error(lambda: self.construct(monkeypatch, home))
        quoted = home.replace('"', '\\"').replace("\t", "\\t").replace("\u0301", "\\u{301}")
        quoted = quoted.replace("\u00a0", "\\u{a0}").replace("\u2028", "\\u{2028}").replace("\ue000", "\\u{e000}")
        assert message == f'Gurobi setup failed: "Gurobi library not found at expected path: {quoted}"'

    @pytest.mark.skipif(any(os.path.exists(p) for p in FIXED_PATHS), reason="a Gurobi installation is present")
    def test_nothing_found(self, monkeypatch, capfd):
        monkeypatch.delenv("GUROBI_HOME", raising=False)
        message = fatal_error(Model)
        assert message == "Failed to load Gurobi library: Failed to load Gurobi library from any source"
        assert capfd.readouterr().out == NO_DLL_LINE
