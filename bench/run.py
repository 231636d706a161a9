"""Model-building and solve benchmarks: the module against its floor, the stand-in's batch
calls and its peers.

    python bench/run.py [--scale 1.0] [--repeat 5] [--tools ours,floor,batch,...]

Every tool runs in this process; each round takes one sample of every tool's workload in
turn, so that a ratio compares two tools under the same load, and the least time of the
rounds is reported. The table of times and of the ratios measured in this run is printed as
Markdown, with the machine's load average before and after, and a chart of the ratios is
written (--chart, default bench/ratios.png). With "ours", the scenario sweep of
bench/sweep.py follows: serial against a pool of 2 workers.
"""

from __future__ import annotations

import argparse
import json
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import inputs  # noqa: E402
import sweep  # noqa: E402
import workloads  # noqa: E402
from timing import fmt_time, load_average  # noqa: E402

TOOLS = workloads.TOOLS
# The references ours is compared with in the first table; the others are peers.
REFERENCES = ["floor", "contract", "batch"]

# (label, row key, peer, greatest ratio ours / peer) for the rows with a target.
TARGETS = [
    ("W1 `add_variables` from lists / highspy `addVars`", "w1_lists", "highspy", 1.0),
    ("W1 `add_variables` from NumPy / highspy `addVars`", "w1_numpy", "highspy", 1.2),
    ("W5 `set_objective` from lists / pyoptinterface `set_objective`", "w5_lists", "pyoptinterface", 1.0),
    ("W6 `get_var_value` per value / pyoptinterface `get_value`", "w6", "pyoptinterface", 1.3),
    ("W9 tiny LPs, build and solve / HiGHS called directly", "w9_lp", "highs-direct", 1.1),
    ("W9 tiny MIPs, build and solve / HiGHS called directly", "w9_mip", "highs-direct", 1.1),
]
CONTRACT_TARGET = 1.3  # greatest ratio ours / contract floor on every row
PEAK_TARGET_MB = 200.0  # peak memory growth of add_constraints with 800,000 rows of 10 terms


def least(result, key):
    times = result.get("times", {}).get(key)
    return min(times) if times else None


def ratio(results, key, tool, other):
    mine, theirs = least(results.get(tool, {}), key), least(results.get(other, {}), key)
    return mine / theirs if mine and theirs else None


def fmt_ratio(value):
    return f"{value:.2f}" if value is not None else "-"


def time_cell(result, key):
    """A tool's least time on a row; "failed" where its workload failed before giving one."""
    value = least(result, key)
    if value is None and workloads.group_of(key) in result.get("failed", []):
        return "failed"
    return fmt_time(value)


def time_table(results, present):
    references = [r for r in REFERENCES if r in present]
    lines = [
        "| workload | " + " | ".join(present) + "".join(f" | ours / {r}" for r in references) + " |",
        "| --- |" + " ---: |" * (len(present) + len(references)),
    ]
    for key, label in workloads.ROWS:
        cells = [time_cell(results[t], key) for t in present]
        if all(c == "-" for c in cells):
            continue
        ratios = [fmt_ratio(ratio(results, key, "ours", r)) for r in references]
        lines.append(f"| {label} | " + " | ".join(cells + ratios) + " |")
    return lines + [""]


def peer_table(results, present):
    peers = [t for t in present if t not in ["ours", *REFERENCES]]
    if not peers:
        return []
    lines = [
        "Ratios ours / peer (below 1: ours is faster):",
        "",
        "| workload | " + " | ".join(peers) + " |",
        "| --- |" + " ---: |" * len(peers),
    ]
    for key, label in workloads.ROWS:
        cells = [fmt_ratio(ratio(results, key, "ours", p)) for p in peers]
        if any(c != "-" for c in cells):
            lines.append(f"| {label} | " + " | ".join(cells) + " |")
    return lines + [""]


def state_of(value, target):
    return "met" if value <= target else f"missed by {value / target - 1:.0%}"


def target_table(results, growth, scale):
    """The rows with a target: ours against the peer, and what the floor (the same fixed calls
    with nothing else), the contract floor (the same behind the module's calling convention)
    and the batch limit would give against the same peer; then the peak memory growth and the
    rows where ours is above CONTRACT_TARGET times the contract floor."""
    lines = [
        "Rows with a target: ours / peer, and beside it what the floor (the same fixed calls and nothing "
        "else), the contract floor (the same behind the module's calling convention) and the batch limit "
        "(the stand-in's batch calls) give against the same peer:",
        "",
        "| target row | ours / peer | floor / peer | contract / peer | batch / peer | target | |",
        "| --- | ---: | ---: | ---: | ---: | ---: | --- |",
    ]
    for label, key, peer, target in TARGETS:
        mine = ratio(results, key, "ours", peer)
        if mine is None:
            continue
        others = [fmt_ratio(ratio(results, key, tool, peer)) for tool in REFERENCES]
        lines.append(f"| {label} | {mine:.2f} | " + " | ".join(others) + f" | {target} | {state_of(mine, target)} |")
    for form, memory in growth.items():
        if "peak_mb" not in memory:
            lines.append(
                f"| peak memory growth from {inputs.FORMS[form]} | failed ({memory.get('error')}) | | | | | | |"
            )
            continue
        peak = memory["peak_mb"]
        state = state_of(peak, PEAK_TARGET_MB) if scale == 1.0 else "at scale 1 only"
        lines.append(
            f"| peak memory growth, {inputs.memory_rows(scale):,} x {workloads.TERMS} rows from {inputs.FORMS[form]} "
            f"| {peak:.0f} MB (the model keeps {memory['kept_mb']:.0f} MB) | - | - | - | - "
            f"| {PEAK_TARGET_MB:.0f} MB | {state} |"
        )
    above = [
        f"{label} {value:.2f}"
        for key, label in workloads.ROWS
        if (value := ratio(results, key, "ours", "contract")) is not None and value > CONTRACT_TARGET
    ]
    if "contract" in results:
        lines += [
            "",
            f"Rows where ours is above {CONTRACT_TARGET} x the contract floor: " + ("; ".join(above) or "none") + ".",
        ]
    return lines + [""]


def notes_lines(results, tools):
    notes = []
    for tool in tools:
        result = results[tool]
        notes += [f"- {tool}: {note}" for note in result.get("notes", [])]
        if "skipped" in result:
            notes.append(f"- {tool}: skipped, {result['skipped']}")
        notes += [f"- {tool}: failed ({error})" for error in result.get("errors", [])]
    return ["Notes:", "", *notes, ""] if notes else []


def memory_lines(results):
    memory = results.get("ours", {}).get("memory")
    if not memory:
        return []
    lines = [
        "Peak memory of W3 (add_constraints from lists): "
        f"input lists {memory['input_mb']:.0f} MB, stand-in storage {memory['storage_mb']:.0f} MB, "
        f"peak above the empty model {memory['peak_mb']:.0f} MB = "
        f"{memory['peak_mb'] / (memory['input_mb'] + memory['storage_mb']):.2f} x (input + storage)"
    ]
    floor_memory = results.get("floor", {}).get("memory")
    if floor_memory:
        lines.append(
            f"(floor: peak {floor_memory['peak_mb']:.0f} MB = "
            f"{floor_memory['peak_mb'] / (floor_memory['input_mb'] + floor_memory['storage_mb']):.2f} x)"
        )
    return lines + [""]


def markdown(results, tools, args, loads, growth):
    # A tool that failed on every workload keeps its column, so that its failure shows.
    present = [t for t in tools if results.get(t, {}).get("times") or results.get(t, {}).get("failed")]
    lines = [
        f"scale {args.scale}, least of {args.repeat} rounds (tools alternated round by round), "
        f"Python {sys.version.split()[0]}; load average (1, 5, 15 min) {loads[0]} before, {loads[1]} after",
        "",
    ]
    lines += time_table(results, present)
    lines += peer_table(results, present)
    if "ours" in present:
        lines += target_table(results, growth, args.scale)
    lines += notes_lines(results, tools)
    lines += memory_lines(results)
    return "\n".join(lines)


def chart(results, path):
    try:
        import matplotlib
    except ImportError:
        print("# no chart: matplotlib is not installed (pip install -r bench/requirements.txt)", file=sys.stderr)
        return

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    others = [t for t in TOOLS if t != "ours" and results.get(t, {}).get("times")]
    rows = [(key, label) for key, label in workloads.ROWS if any(ratio(results, key, "ours", t) for t in others)]
    if not rows or not others:
        return
    labels = [label for _, label in rows]
    fig, ax = plt.subplots(figsize=(10, 0.42 * len(labels) + 1.8))
    height = 0.8 / len(others)
    for s, name in enumerate(others):
        values = [ratio(results, key, "ours", name) for key, _ in rows]
        ys = [i + s * height for i in range(len(labels))]
        ax.barh(
            [y for y, v in zip(ys, values) if v],
            [v for v in values if v],
            height=height,
            label=f"ours / {name}",
        )
    ax.axvline(1.0, color="black", linewidth=0.8)
    ax.set_xscale("log")
    ax.set_yticks([i + 0.4 - height / 2 for i in range(len(labels))])
    ax.set_yticklabels(labels, fontsize=8)
    ax.invert_yaxis()
    ax.set_xlabel("time ratio, ours / other (log scale; below 1: ours is faster)")
    ax.legend(fontsize=8, loc="upper left", bbox_to_anchor=(1.01, 1.0))
    fig.tight_layout()
    fig.savefig(path, dpi=110)
    plt.close(fig)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--scale", type=float, default=1.0, help="multiplies every workload size (default 1.0)")
    parser.add_argument("--repeat", type=int, default=5, help="rounds; the least time of each is reported")
    parser.add_argument("--tools", default=",".join(TOOLS), help="comma-separated, from: " + ", ".join(TOOLS))
    parser.add_argument("--chart", default=os.path.join(HERE, "ratios.png"), help="PNG chart path ('' for none)")
    parser.add_argument("--json", default="", help="also write the raw results to this file")
    args = parser.parse_args(argv)
    tools = [t.strip() for t in args.tools.split(",") if t.strip()]
    unknown = [t for t in tools if t not in TOOLS]
    if unknown:
        parser.error("unknown tools: " + ", ".join(unknown))

    before = load_average()
    results = workloads.measure(tools, args.scale, args.repeat, lambda line: print("#", line, file=sys.stderr))
    after = load_average()
    growth = {form: inputs.memory_growth(args.scale, form) for form in inputs.FORMS} if "ours" in tools else {}
    print(markdown(results, tools, args, (before, after), growth))
    if "ours" in tools:
        print(sweep.table(args.scale, args.repeat))
    if args.json:
        with open(args.json, "w") as f:
            json.dump({"results": results, "growth": growth, "load": [before, after]}, f, indent=1)
    if args.chart:
        chart(results, args.chart)
    return 0


if __name__ == "__main__":
    sys.exit(main())
