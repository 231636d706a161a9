"""Where the stand-in finds HiGHS when no explicit path is given."""

import os
import shutil
import subprocess
import sys
import textwrap

import pytest

from helpers import standin

SOLVE = textwrap.dedent("""
    import sys
    from velkin_gurobi import Model
    m = Model(dll_path=sys.argv[1])
    m.set_optimizer_attr("Silent", True)
    x = m.add_variable(ub=2.0)
    m.set_objective([x], [1.0], 0.0, 1)
    print(m.optimize(), m.get_objective_value())
""")


def solve_with(library):
    env = {k: v for k, v in os.environ.items() if not k.startswith("GRB_STANDIN_")}
    result = subprocess.run(
        [sys.executable, "-c", SOLVE, library], capture_output=True, text=True, env=env, timeout=120
    )
    return result.stdout.split()


def layout(root, python_dir="python3.11"):
    """A virtual environment holding the stand-in, whose base installation holds highsbox."""
    venv_site = root / "venv" / "lib" / python_dir / "site-packages"
    lib_dir = venv_site / "velkin_gurobi_standin" / "lib"
    lib_dir.mkdir(parents=True)
    library = lib_dir / "libgurobi_standin12.so"
    shutil.copy(standin.library_path(), library)
    base_site = root / "base" / "lib" / python_dir / "site-packages"
    highs_dir = base_site / "highsbox" / "highs_dist" / "lib"
    highs_dir.mkdir(parents=True)
    for entry in os.listdir(os.path.dirname(standin.highs_library_path())):
        if entry.endswith(".so") or ".so." in entry:
            os.symlink(os.path.join(os.path.dirname(standin.highs_library_path()), entry), highs_dir / entry)
    (root / "base" / "bin").mkdir()
    return library


@pytest.mark.parametrize("through_link", [None, "file", "directory"])
def test_highs_from_the_base_installation_of_a_virtual_environment(tmp_path, through_link):
    library = layout(tmp_path)
    (tmp_path / "venv" / "pyvenv.cfg").write_text(
        f"home = {tmp_path / 'base' / 'bin'}\ninclude-system-site-packages = true\n"
    )
    if through_link == "file":
        # As in a Gurobi installation whose library is a link to the stand-in.
        (tmp_path / "gurobi" / "lib").mkdir(parents=True)
        link = tmp_path / "gurobi" / "lib" / "libgurobi120.so"
        link.symlink_to(library)
        library = link
    elif through_link == "directory":
        # As in a Gurobi installation whose lib/ is a link to the stand-in's.
        (tmp_path / "gurobi").mkdir()
        (tmp_path / "gurobi" / "lib").symlink_to(library.parent)
        library = tmp_path / "gurobi" / "lib" / library.name
    assert solve_with(str(library)) == ["1", "2.0"]


def test_without_highs_the_solve_fails_with_no_license(tmp_path):
    library = layout(tmp_path)
    result = subprocess.run(
        [
            sys.executable,
            "-c",
            SOLVE.replace(
                "print(m.optimize(), m.get_objective_value())",
                """
try:
    m.optimize()
except RuntimeError as e:
    print(e)
""",
            ),
            str(library),
        ],
        capture_output=True,
        text=True,
        timeout=120,
        env={k: v for k, v in os.environ.items() if not k.startswith("GRB_STANDIN_")},
    )
    assert result.stdout.strip() == 'Optimization error: Msg("Gurobi optimization failed: 10009")'
