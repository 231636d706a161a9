"""Reads a Memcheck XML report and sorts its errors into those with a frame in
the project's own libraries (the extension, the stand-in) and the rest.
Prints both counts and the project's errors; exits 1 when there are any."""

import sys
import xml.etree.ElementTree as ET

OURS = ("velkin_gurobi", "libgurobi_standin", "kesto")


def frames(error):
    for stack in error.iter("stack"):
        for frame in stack.findall("frame"):
            yield (frame.findtext("fn") or "?", frame.findtext("obj") or "?", frame.findtext("file") or "")


def is_ours(error):
    return any(any(mark in obj or mark in fn or mark in file for mark in OURS) for fn, obj, file in frames(error))


def describe(error):
    lines = [f"{error.findtext('kind')}: {error.findtext('what') or error.findtext('xwhat/text')}"]
    lines += [f"    {fn} ({obj.rsplit('/', 1)[-1]}) {file}" for fn, obj, file in list(frames(error))[:25]]
    return "\n".join(lines)


def main(path):
    root = ET.parse(path).getroot()
    errors = root.findall("error")
    ours = [e for e in errors if is_ours(e)]
    suppressed = sum(int(p.findtext("count")) for p in root.iter("pair")) if root.find("suppcounts") is not None else 0
    leaks = [e for e in errors if e.findtext("kind") == "Leak_DefinitelyLost"]
    leaked = sum(int(e.findtext("xwhat/leakedbytes") or 0) for e in leaks)
    for error in ours:
        print(describe(error))
    print(
        f"memcheck: {len(errors)} errors ({len(leaks)} definite leaks, {leaked} bytes), "
        f"{len(ours)} in the project's code, {len(errors) - len(ours)} elsewhere; "
        f"{suppressed} suppressed occurrences"
    )
    return 1 if ours else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
