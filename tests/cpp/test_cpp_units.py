"""Builds the C++ unit tests with CMake and runs them with CTest, and checks
the Unicode table generator."""

import importlib.util
import os
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

HERE = Path(__file__).resolve().parent
CORE = HERE.parents[1] / "crates" / "kesto-core"
GENERATOR = CORE / "tools" / "generate_unicode_table.py"
TABLE = CORE / "src" / "unicode_escape_table.inc"


def find_tool(*names):
    """A tool beside the running interpreter (a virtual environment's own), else on PATH."""
    for name in names:
        if not name:
            continue
        beside = Path(sys.executable).parent / name
        if beside.is_file() and os.access(beside, os.X_OK):
            return str(beside)
        if shutil.which(name):
            return shutil.which(name)
    return None


def run(command):
    result = subprocess.run(command, capture_output=True, text=True, timeout=600)
    assert result.returncode == 0, f"{' '.join(command)} failed:\n{result.stdout}{result.stderr}"


def test_cpp_unit_tests(tmp_path):
    if find_tool(os.environ.get("CXX"), "g++", "c++", "clang++") is None:
        pytest.skip("no C++ compiler found (set CXX or install g++)")
    cmake, ctest, ninja = find_tool("cmake"), find_tool("ctest"), find_tool("ninja")
    assert cmake and ctest, "cmake and ctest are needed (the test extra installs them)"
    generator = ["-G", "Ninja", f"-DCMAKE_MAKE_PROGRAM={ninja}"] if ninja else []
    run([cmake, "-S", str(HERE), "-B", str(tmp_path), *generator])
    run([cmake, "--build", str(tmp_path)])
    run([ctest, "--test-dir", str(tmp_path), "--output-on-failure", "--no-tests=error"])


def load_generator():
    module_spec = importlib.util.spec_from_file_location("generate_unicode_table", GENERATOR)
    module = importlib.util.module_from_spec(module_spec)
    module_spec.loader.exec_module(module)
    return module


def table_ranges(text):
    """[first, last] pairs of an .inc file's array."""
    body = text.split("kEscapeRanges[] = {", 1)[1]
    pairs = []
    for line in body.splitlines():
        line = line.strip()
        if line.startswith("{0x"):
            first, last = line.strip("{},").split(", ")
            pairs.append((int(first, 16), int(last, 16)))
    return pairs


def write_mini_ucd(directory):
    # A handful of code points covering each rule of the table.
    (directory / "UnicodeData.txt").write_text(
        "0000;<control>;Cc;0;BN;;;;;N;NULL;;;;\n"
        "0001;<control>;Cc;0;BN;;;;;N;START OF HEADING;;;;\n"
        "0020;SPACE;Zs;0;WS;;;;;N;;;;;\n"
        "0021;EXCLAMATION MARK;Po;0;ON;;;;;N;;;;;\n"
        "00A0;NO-BREAK SPACE;Zs;0;CS;<noBreak> 0020;;;;N;NON-BREAKING SPACE;;;;\n"
        "00A1;INVERTED EXCLAMATION MARK;Po;0;ON;;;;;N;;;;;\n"
        "0300;COMBINING GRAVE ACCENT;Mn;230;NSM;;;;;N;;;;;\n"
        "0301;COMBINING ACUTE ACCENT;Mn;230;NSM;;;;;N;;;;;\n"
        "09BE;BENGALI VOWEL SIGN AA;Mc;0;L;;;;;N;;;;;\n"
        "2028;LINE SEPARATOR;Zl;0;WS;;;;;N;;;;;\n"
        "4E00;<CJK Ideograph, First>;Lo;0;L;;;;;N;;;;;\n"
        "9FFF;<CJK Ideograph, Last>;Lo;0;L;;;;;N;;;;;\n"
        "E000;<Private Use, First>;Co;0;L;;;;;N;;;;;\n"
        "F8FF;<Private Use, Last>;Co;0;L;;;;;N;;;;;\n"
        "F900;CJK COMPATIBILITY IDEOGRAPH-F900;Lo;0;L;8C48;;;;N;;;;;\n",
        encoding="utf-8",
    )
    (directory / "DerivedCoreProperties.txt").write_text(
        "# DerivedCoreProperties-9.8.7.txt\n"
        "# Date: none\n"
        "0300..0301    ; Grapheme_Extend # Mn   [2] COMBINING GRAVE ACCENT..COMBINING ACUTE ACCENT\n"
        "09BE          ; Grapheme_Extend # Mc       BENGALI VOWEL SIGN AA\n"
        "0041          ; Alphabetic # L&       LATIN CAPITAL LETTER A\n",
        encoding="utf-8",
    )


def test_generator_rules(tmp_path):
    write_mini_ucd(tmp_path)
    out = tmp_path / "table.inc"
    assert load_generator().main([str(tmp_path), "--output", str(out)]) == 0
    text = out.read_text(encoding="utf-8")
    assert 'kUnicodeVersion = "9.8.7";' in text
    assert "Unicode 9.8.7" in text
    ranges = table_ranges(text)
    assert ranges == [
        (0x0000, 0x001F),  # Cc, then unassigned, merged
        (0x0022, 0x00A0),  # unassigned up to U+009F, then NBSP (Zs)
        (0x00A2, 0x4DFF),  # unassigned, marks, U+09BE, U+2028 (Zl), all adjacent
        (0xA000, 0xF8FF),  # after the First/Last CJK block: unassigned, then private use
        (0xF901, 0x10FFFF),  # unassigned to the end of the code space
    ]


def test_generator_reproduces_committed_table(tmp_path):
    generator = load_generator()
    committed = TABLE.read_text(encoding="utf-8")
    version = committed.split('kUnicodeVersion = "', 1)[1].split('"', 1)[0]
    try:
        installed = generator.read_version(generator.DEFAULT_UCD_DIR / "DerivedCoreProperties.txt")
    except OSError:
        pytest.skip("Unicode Character Database not installed (Debian package unicode-data)")
    if installed != version:
        pytest.skip(f"installed UCD is Unicode {installed}, committed table is {version}")
    out = tmp_path / "table.inc"
    assert generator.main(["--output", str(out)]) == 0
    assert out.read_text(encoding="utf-8") == committed
