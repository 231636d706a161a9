"""GUROBI_HOME and dll_path pointing at hostile file-system layouts: each
construction fails with its documented message and leaves no library mapped
and no descriptor open. GUROBI_HOME is read at every construction, so most
cases run in-process."""

import json
import os

import pytest

import velkin_gurobi

from .support import fatal_message, mapped, open_fds, run_python, stub_library

NOT_FOUND = 'Gurobi setup failed: "Gurobi library not found at expected path: {}"'


def dlopen_failure(path, reason):
    return f'Gurobi setup failed: DlOpen {{ source: "{path}: {reason}" }}'


@pytest.fixture
def home(tmp_path):
    lib = tmp_path / "home" / "lib"
    lib.mkdir(parents=True)
    return tmp_path / "home"


@pytest.fixture
def construct(monkeypatch, capfd):
    def run(home):
        monkeypatch.setenv("GUROBI_HOME", os.fsdecode(home))
        return velkin_gurobi.Model()

    return run


class TestSymlinks:
    def test_symlinked_home_lib_and_library_work(self, tmp_path, standin, construct):
        real = tmp_path / "real"
        (real / "libdir").mkdir(parents=True)
        os.symlink(standin, real / "libdir" / "libgurobi1203.so")
        (tmp_path / "home").mkdir()
        os.symlink(real / "libdir", tmp_path / "home" / "lib")
        os.symlink(tmp_path / "home", tmp_path / "home-link")
        assert construct(tmp_path / "home-link").add_variables(2) == [0, 1]

    def test_dangling_library_link(self, home, construct):
        path = home / "lib" / "libgurobi12.so"
        os.symlink(home / "missing.so", path)
        assert fatal_message(lambda: construct(home)) == dlopen_failure(
            path, "cannot open shared object file: No such file or directory"
        )

    def test_library_link_loop(self, home, construct):
        path = home / "lib" / "libgurobi12.so"
        os.symlink(path, path)
        assert fatal_message(lambda: construct(home)) == dlopen_failure(
            path, "cannot open shared object file: Too many levels of symbolic links"
        )

    @pytest.mark.parametrize("kind", ["dangling", "loop"])
    def test_lib_folder_link_that_leads_nowhere(self, tmp_path, construct, kind):
        home = tmp_path / "home"
        home.mkdir()
        os.symlink(tmp_path / "nowhere" if kind == "dangling" else home / "lib", home / "lib")
        assert fatal_message(lambda: construct(home)) == NOT_FOUND.format(home)

    def test_dangling_home(self, tmp_path, construct):
        home = tmp_path / "home"
        os.symlink(tmp_path / "nowhere", home)
        assert fatal_message(lambda: construct(home)) == NOT_FOUND.format(home)


class TestUnreadableAndOddFolders:
    @pytest.mark.skipif(os.geteuid() == 0, reason="permission bits do not stop root from reading")
    def test_unreadable_lib_folder(self, home, standin, construct):
        os.symlink(standin, home / "lib" / "libgurobi12.so")
        os.chmod(home / "lib", 0)
        try:
            assert fatal_message(lambda: construct(home)) == NOT_FOUND.format(home)
        finally:
            os.chmod(home / "lib", 0o755)

    def test_lib_that_cannot_be_listed(self, tmp_path, construct):
        # The scan's listing fails the way an unreadable folder's would
        # (here: "lib" is a file), which holds for root as well.
        home = tmp_path / "home"
        home.mkdir()
        (home / "lib").write_text("libgurobi12.so\n")
        assert fatal_message(lambda: construct(home)) == NOT_FOUND.format(home)

    def test_home_path_too_long(self, tmp_path, construct):
        home = str(tmp_path) + "/" + "d" * 5000
        assert fatal_message(lambda: construct(home)) == NOT_FOUND.format(home)

    def test_many_entries_none_matching(self, home, construct):
        for i in range(2000):
            (home / "lib" / f"libother{i}.so").write_text("")
        before = open_fds()
        assert fatal_message(lambda: construct(home)) == NOT_FOUND.format(home)
        assert open_fds() == before


class TestNonUtf8Names:
    def test_skipped_alone(self, home, construct):
        os.close(os.open(os.path.join(os.fsencode(home), b"lib", b"libgurobi\xff12.so"), os.O_CREAT | os.O_WRONLY))
        assert fatal_message(lambda: construct(home)) == NOT_FOUND.format(home)

    def test_skipped_beside_the_library(self, home, standin, construct):
        lib = os.path.join(os.fsencode(home), b"lib")
        for name in (b"libgurobi\xff12.so", b"libgurobi\xc3(99.so", b"\xedlibgurobi1.so"):
            os.symlink(os.fsencode(home / "missing.so"), os.path.join(lib, name))
        os.symlink(standin, home / "lib" / "libgurobi1203.so")
        assert construct(home).add_variable() == 0


class TestNotALibrary:
    @pytest.mark.parametrize(
        "content, reason",
        [
            (b"", "file too short"),
            (b"not a library\n", "file too short"),
            (b"#!/bin/sh\n" + b"x" * 200, "invalid ELF header"),
        ],
    )
    def test_file(self, home, construct, content, reason):
        path = home / "lib" / "libgurobi12.so"
        path.write_bytes(content)
        assert fatal_message(lambda: construct(home)) == dlopen_failure(path, reason)

    def test_directory(self, home, construct):
        path = home / "lib" / "libgurobi12.so"
        path.mkdir()
        assert fatal_message(lambda: construct(home)) == dlopen_failure(path, "cannot read file data: Is a directory")

    @pytest.mark.parametrize("missing", ["GRBversion", "GRBupdatemodel", "GRBsetdblattrarray"])
    def test_library_missing_one_function(self, tmp_path, home, construct, missing):
        path = stub_library(tmp_path, "libgurobi77.so", missing)
        link = home / "lib" / "libgurobi77.so"
        os.symlink(path, link)
        # The loader names the file by the path it was given: the link.
        assert fatal_message(lambda: construct(home)) == (
            f'Gurobi setup failed: DlSym {{ source: "{link}: undefined symbol: {missing}" }}'
        )
        assert not mapped(path)


class TestDllPathText:
    def test_interior_nul(self, standin, trace, monkeypatch):
        monkeypatch.setenv("GUROBI_HOME", "/nonexistent")
        for path in ("a\0b", standin + "\0x", "\0" + standin, "\0\0"):
            assert fatal_message(lambda: velkin_gurobi.Model(dll_path=path)) == (
                "Gurobi setup failed: InteriorZeroElements"
            )
        assert trace.calls() == []

    @pytest.mark.parametrize("path", ["\udcff.so", "lib\ud800gurobi.so", "\udfff"])
    def test_lone_surrogates(self, path, capfd):
        with pytest.raises(UnicodeEncodeError):
            velkin_gurobi.Model(dll_path=path)
        with pytest.raises(UnicodeEncodeError):
            velkin_gurobi.Model(path, "/nonexistent.so")
        assert capfd.readouterr() == ("", "")


def test_failures_in_a_loop_leave_nothing_open(tmp_path, standin):
    home = tmp_path / "home"
    (home / "lib").mkdir(parents=True)
    stub = stub_library(tmp_path, "libgurobi55.so", "GRBoptimize")
    layouts = {}
    for name, make in {
        "dangling": lambda lib: os.symlink(tmp_path / "missing.so", lib / "libgurobi12.so"),
        "loop": lambda lib: os.symlink(lib / "libgurobi12.so", lib / "libgurobi12.so"),
        "text": lambda lib: (lib / "libgurobi12.so").write_text("text\n"),
        "directory": lambda lib: (lib / "libgurobi12.so").mkdir(),
        "stub": lambda lib: os.symlink(stub, lib / "libgurobi12.so"),
        "empty": lambda lib: None,
    }.items():
        lib = tmp_path / name / "lib"
        lib.mkdir(parents=True)
        make(lib)
        layouts[name] = str(tmp_path / name)
    result = run_python(f"""
        import json, os
        from velkin_gurobi import Model
        libraries = [os.path.realpath(p) for p in ({standin!r}, {stub!r})]
        def mapped():
            with open("/proc/self/maps") as maps:
                text = maps.read()
            return [p for p in libraries if p in text]
        fds = sorted(os.listdir("/proc/self/fd"))
        messages = {{}}
        for round in range(25):
            for name, home in {layouts!r}.items():
                os.environ["GUROBI_HOME"] = home
                try:
                    Model()
                except BaseException as error:
                    messages[name] = error.args[0]
            os.environ.pop("GUROBI_HOME")
            for dll in ("a\\0b", {stub!r}, "/nonexistent.so"):
                try:
                    Model(dll_path=dll)
                except BaseException as error:
                    messages[dll] = error.args[0]
        print(json.dumps([mapped(), sorted(os.listdir("/proc/self/fd")) == fds, messages]))
    """)
    assert result.returncode == 0, result.stderr
    maps, same_fds, messages = json.loads(result.stdout.strip().splitlines()[-1])
    assert maps == [] and same_fds
    assert len(messages) == len(layouts) + 3
    link = os.path.join(layouts["stub"], "lib", "libgurobi12.so")
    assert messages["stub"] == f'Gurobi setup failed: DlSym {{ source: "{link}: undefined symbol: GRBoptimize" }}'
    assert messages["empty"] == NOT_FOUND.format(layouts["empty"])
