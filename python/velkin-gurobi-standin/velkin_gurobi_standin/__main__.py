"""``python -m velkin_gurobi_standin`` prints the directory usable as GUROBI_HOME;
with ``--library`` it prints the library's path instead."""

from __future__ import annotations

import argparse
import sys

from . import home, library_path


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(prog="python -m velkin_gurobi_standin", description=__doc__)
    parser.add_argument("--library", action="store_true", help="print the path of the library file")
    args = parser.parse_args(argv)
    try:
        print(library_path() if args.library else home())
    except FileNotFoundError as error:
        print(error, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
