"""Writes python/velkin-gurobi/src/method_docs.hpp from the stubs' docstrings.

The stubs (python/velkin-gurobi-stubs/velkin_gurobi-stubs/__init__.pyi) hold
the one text of each docstring of Model and its methods; the module shows the
same text at run time (help(), __doc__) after each method's signature block.
Run this after changing a docstring there; `--check` only says whether the
header is current (exit status 1 when it is not).

    python scripts/method_docs.py [--check]
"""

from __future__ import annotations

import ast
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
STUBS = ROOT / "python/velkin-gurobi-stubs/velkin_gurobi-stubs/__init__.pyi"
HEADER = ROOT / "python/velkin-gurobi/src/method_docs.hpp"
CLASS = "Model"

PREAMBLE = """\
#pragma once
// Written by scripts/method_docs.py from the docstrings of the stubs
// (python/velkin-gurobi-stubs/velkin_gurobi-stubs/__init__.pyi); run it after
// changing one there.

#include <string_view>

namespace velkin {

// Model's docstring, or that of its method `name`; the text after each
// signature block of the method table.
// clang-format off
constexpr std::string_view method_doc(std::string_view name) {
"""

POSTAMBLE = """\
  throw "no docstring in the stubs";
}
// clang-format on

}  // namespace velkin
"""


def docstrings(stubs: Path = STUBS) -> dict[str, str]:
    """Model's docstring and its methods', by name, cleaned as inspect.cleandoc cleans them."""
    tree = ast.parse(stubs.read_text(encoding="utf-8"))
    (model,) = (node for node in tree.body if isinstance(node, ast.ClassDef) and node.name == CLASS)
    docs = {CLASS: ast.get_docstring(model) or ""}
    for node in model.body:
        if isinstance(node, ast.FunctionDef) and not node.name.startswith("_"):
            docs[node.name] = ast.get_docstring(node) or ""
    return docs


def cpp_literal(text: str) -> str:
    """A C++ string literal of `text`, one piece per line."""
    escaped = text.replace("\\", "\\\\").replace('"', '\\"')
    lines = escaped.split("\n")
    pieces = [line + "\\n" for line in lines[:-1]] + [lines[-1]]
    return "\n         ".join(f'"{piece}"' for piece in pieces)


def header(docs: dict[str, str]) -> str:
    cases = "".join(f'  if (name == "{name}") return {cpp_literal(doc)};\n' for name, doc in docs.items())
    return PREAMBLE + cases + POSTAMBLE


def main(argv: list[str]) -> int:
    text = header(docstrings())
    if "--check" in argv:
        current = HEADER.exists() and HEADER.read_text(encoding="utf-8") == text
        if not current:
            print(f"{HEADER.relative_to(ROOT)} is not current: run python scripts/method_docs.py")
        return 0 if current else 1
    HEADER.write_text(text, encoding="utf-8")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
