"""The lists the documentation keeps of things in the code agree with them: each is compared
with what it lists, read from the module or the source, without building anything."""

import fnmatch
import inspect
import pathlib
import re

import pytest

from velkin_gurobi import Model

ROOT = pathlib.Path(__file__).resolve().parent.parent.parent


def read(path):
    return (ROOT / path).read_text()


def section(text, heading):
    """The text under a Markdown heading, up to the next heading of its level or above."""
    level = heading.split(" ")[0]
    start = text.index(f"\n{heading}\n") + len(heading) + 2
    ends = [m.start() for m in re.finditer(rf"\n#{{1,{len(level)}}} ", text[start:])]
    return text[start : start + ends[0]] if ends else text[start:]


def test_readme_api_table_is_the_methods():
    table = section(read("README.md"), "## API reference")
    documented = re.findall(r"^\| `(\w+)(\(.*?\))` \|", table, re.M)
    methods = [name for name in Model.__dict__ if not name.startswith("__")]
    actual = [("Model", str(inspect.signature(Model)))]
    for name in methods:
        signature = str(inspect.signature(getattr(Model, name)))
        actual.append((name, re.sub(r"^\(self, /(, )?", "(", signature)))
    assert documented == actual


def test_parameters_with_an_effect():
    """The parameters the stand-in reads are those its README names where it describes solving
    through HiGHS; every other one is in its list of those kept without effect."""
    parameters = re.findall(r"^\s*X\((\w+),", read("standin/src/parameter_list.hpp"), re.M)
    read_by_code = set()
    for source in sorted((ROOT / "standin/src").glob("*.[ch]pp")):
        if not source.name.startswith("parameter"):
            read_by_code |= set(re.findall(r"\bParam::(\w+)", source.read_text()))
    standin = read("standin/README.md")
    highs = section(standin, "## Solving through HiGHS")
    assert {name for name in parameters if re.search(rf"\b{name}\b", highs)} == read_by_code
    kept = re.search(r"Parameters kept without effect: (.*?)\.\s", standin, re.S)
    assert kept is not None
    kept_names = [name.strip() for name in re.sub(r"\(.*?\)", "", kept.group(1), flags=re.S).split(",")]
    assert kept_names == sorted(set(parameters) - read_by_code, key=str.lower)


@pytest.mark.parametrize(
    "document, part, name, directory",
    [
        pytest.param("standin/README.md", r"\n## Layout\n(.*?)\n## ", r"`src/([\w.*]+)`", "standin/src", id="standin"),
        pytest.param(
            "docs/development.md",
            r"\n\| `python/velkin-gurobi/src` \|(.*?)\n",
            r"`(\w+\.[\w*]+)`",
            "python/velkin-gurobi/src",
            id="module",
        ),
        pytest.param("README.md", r"\n## Examples\n(.*?)\n## ", r"\(examples/(\w+\.py)\)", "examples", id="examples"),
    ],
)
def test_file_tables_name_every_file(document, part, name, directory):
    (text,) = re.findall(part, read(document), re.S)
    patterns = set(re.findall(name, text))
    files = {path.name for path in (ROOT / directory).iterdir() if path.is_file()}
    assert {file for file in files if not any(fnmatch.fnmatch(file, p) for p in patterns)} == set()
    assert {p for p in patterns if not fnmatch.filter(files, p)} == set()


def test_cmake_options_table():
    table = section(read("docs/development.md"), "## Building while you work")
    documented = re.findall(r"^\| `(VELKIN_\w+)` \| `(\w+)` \|", table, re.M)
    cmake = read("CMakeLists.txt") + read("cmake/VelkinDefaults.cmake")
    declared = re.findall(r'^option\((VELKIN_\w+) ".*?" (\w+)\)', cmake, re.M)
    assert sorted(documented) == sorted(declared)
