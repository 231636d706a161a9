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

TOOLS = workloads.TOOLS
# The references ours is compared with in the first table; the others are peers.
REFERENCES = ["floor", "batch"]

# (label, row key, peer, greatest ratio ours / peer) for the rows with a target.
TARGETS = [
    ("W6 `get_var_value` per value / pyoptinterface `get_value`", "w6", "pyoptinterface", 1.6),
    ("W3 rows from 2-D NumPy / highspy `addRows` on CSR", "w3_2d", "highspy", 1.3),
    ("W5 objective from NumPy / highspy `changeColsCost`", "w5_numpy", "highspy", 0.55),
    ("W8 20 x (change 20 costs, re-solve) / highspy", "w8_objective", "highspy", 1.05),
]
PEAK_TARGET_MB = 200.0  # peak memory growth of 800,000 rows of 10 terms from 2-D arrays


def load_average():
    one, five, fifteen = os.getloadavg()
    return f"{one:.2f}, {five:.2f}, {fifteen:.2f}"


def fmt_time(value):
    if value is None:
        return "-"
    if value >= 1.0:
        return f"{value:.2f} s"
    if value >= 1e-3:
        return f"{value * 1e3:.1f} ms"
    return f"{value * 1e6:.0f} µs"


def least(result, key):
    times = result.get("times", {}).get(key)
    return min(times) if times else None


def ratio(results, key, tool, other):
    mine, theirs = least(results.get(tool, {}), key), least(results.get(other, {}), key)
    return mine / theirs if mine and theirs else None


def fmt_ratio(value):
    return f"{value:.2f}" if value is not None else "-"


def time_table(results, present):
    references = [r for r in REFERENCES if r in present]
    lines = [
        "| workload | " + " | ".join(present) + "".join(f" | ours / {r}" for r in references) + " |",
        "| --- |" + " ---: |" * (len(present) + len(references)),
    ]
    for key, label in workloads.ROWS:
        cells = [fmt_time(least(results[t], key)) for t in present]
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


def target_table(results, growth, scale):
    """The rows with a target: ours against the peer, and what the floor (the same fixed calls
    with nothing else) and the batch limit would give against the same peer."""
    lines = [
        "Rows with a target: ours / peer, and beside it what the floor (the same fixed calls and nothing "
        "else) and the batch limit (the stand-in's batch calls) give against the same peer:",
        "",
        "| target row | ours / peer | floor / peer | batch / peer | target | |",
        "| --- | ---: | ---: | ---: | ---: | --- |",
    ]
    for label, key, peer, target in TARGETS:
        mine = ratio(results, key, "ours", peer)
        if mine is None:
            continue
        state = "met" if mine <= target else f"missed by {mine / target - 1:.0%}"
        floor, batch = ratio(results, key, "floor", peer), ratio(results, key, "batch", peer)
        lines.append(f"| {label} | {mine:.2f} | {fmt_ratio(floor)} | {fmt_ratio(batch)} | {target} | {state} |")
    if "peak_mb" in growth:
        rows = inputs.memory_rows(scale)
        peak = growth["peak_mb"]
        if scale != 1.0:
            state = "at scale 1 only"
        else:
            state = "met" if peak <= PEAK_TARGET_MB else f"missed by {peak / PEAK_TARGET_MB - 1:.0%}"
        lines.append(
            f"| peak memory growth, {rows:,} x {workloads.TERMS} rows from 2-D arrays "
            f"| {peak:.0f} MB (the model keeps {growth['kept_mb']:.0f} MB) | - | - "
            f"| {PEAK_TARGET_MB:.0f} MB | {state} |"
        )
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
    present = [t for t in tools if results.get(t, {}).get("times")]
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
    growth = inputs.memory_growth(args.scale, "2-D") if "ours" in tools else {}
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
