"""Model-building and solve benchmarks: the module against its floor and its peers.

    python bench/run.py [--scale 1.0] [--repeat 5] [--tools ours,floor,...]

Each tool runs every workload in one process of its own; each workload is repeated and the
median is reported. The table of times and of ratios measured in this run is printed as
Markdown, and a chart of the ratios is written (--chart, default bench/ratios.png). With
"ours", the scenario sweep of bench/sweep.py follows: serial against a pool of 2 workers.
"""

from __future__ import annotations

import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import sweep  # noqa: E402
import workloads  # noqa: E402

TOOLS = ["ours", "floor", "highspy", "pyoptinterface", "gurobipy", "pulp", "highs-direct"]


def run_worker(tool, scale, repeat):
    """Runs one tool's workloads in a fresh interpreter; returns its results."""
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "result.json")
        command = [sys.executable, os.path.join(HERE, "workloads.py"), tool, str(scale), str(repeat), out]
        started = time.perf_counter()
        proc = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        elapsed = time.perf_counter() - started
        if proc.returncode != 0 or not os.path.exists(out):
            tail = proc.stderr.strip().splitlines()[-3:]
            return {"error": f"exit {proc.returncode}: " + " | ".join(tail)}, elapsed
        with open(out) as f:
            return json.load(f), elapsed


def fmt_time(value):
    if value is None:
        return "-"
    if value >= 1.0:
        return f"{value:.2f} s"
    if value >= 1e-3:
        return f"{value * 1e3:.1f} ms"
    return f"{value * 1e6:.0f} µs"


def median(result, key):
    times = result.get("times", {}).get(key)
    return statistics.median(times) if times else None


def ratio_rows(results, rows):
    """(row key, label, ours/floor, {peer: ours/peer})."""
    ours = results.get("ours", {})
    table = []
    for key, label in rows:
        mine = median(ours, key)
        if mine is None:
            continue
        floor = median(results.get("floor", {}), key)
        peers = {}
        for tool in TOOLS:
            if tool in ("ours", "floor"):
                continue
            other = median(results.get(tool, {}), key)
            if other:
                peers[tool] = mine / other
        table.append((key, label, mine / floor if floor else None, peers))
    return table


def markdown(results, tools, args):
    rows = workloads.ROWS
    present = [t for t in tools if results.get(t, {}).get("times")]
    lines = [f"scale {args.scale}, median of {args.repeat}, Python {sys.version.split()[0]}", ""]
    lines.append("| workload | " + " | ".join(present) + " | ours / floor |")
    lines.append("| --- | " + " | ".join("---:" for _ in present) + " | ---: |")
    for key, label in rows:
        cells = [fmt_time(median(results[t], key)) for t in present]
        if all(c == "-" for c in cells):
            continue
        mine, floor = median(results.get("ours", {}), key), median(results.get("floor", {}), key)
        ratio = f"{mine / floor:.2f}" if mine and floor else "-"
        lines.append(f"| {label} | " + " | ".join(cells) + f" | {ratio} |")
    lines.append("")
    peers = [t for t in present if t not in ("ours", "floor")]
    if peers:
        lines.append("Ratios ours / peer (below 1: ours is faster):")
        lines.append("")
        lines.append("| workload | " + " | ".join(peers) + " |")
        lines.append("| --- | " + " | ".join("---:" for _ in peers) + " |")
        for _key, label, _, peer_ratios in ratio_rows(results, rows):
            if not any(p in peer_ratios for p in peers):
                continue
            cells = [f"{peer_ratios[p]:.2f}" if p in peer_ratios else "-" for p in peers]
            lines.append(f"| {label} | " + " | ".join(cells) + " |")
        lines.append("")
    notes = []
    for tool in tools:
        result = results[tool]
        for note in result.get("notes", []):
            notes.append(f"- {tool}: {note}")
        if "skipped" in result:
            notes.append(f"- {tool}: skipped, {result['skipped']}")
        if "error" in result:
            notes.append(f"- {tool}: failed ({result['error']})")
    if notes:
        lines.append("Notes:")
        lines.append("")
        lines.extend(notes)
        lines.append("")
    memory = results.get("ours", {}).get("memory")
    if memory:
        lines.append(
            "Peak memory of W3 (add_constraints from lists): "
            f"input lists {memory['input_mb']:.0f} MB, stand-in storage {memory['storage_mb']:.0f} MB, "
            f"peak above the empty model {memory['peak_mb']:.0f} MB = "
            f"{memory['peak_mb'] / (memory['input_mb'] + memory['storage_mb']):.2f} x (input + storage)"
        )
        floor_memory = results.get("floor", {}).get("memory")
        if floor_memory:
            lines.append(
                f"(floor: peak {floor_memory['peak_mb']:.0f} MB = "
                f"{floor_memory['peak_mb'] / (floor_memory['input_mb'] + floor_memory['storage_mb']):.2f} x)"
            )
        lines.append("")
    return "\n".join(lines)


def chart(results, path):
    try:
        import matplotlib
    except ImportError:
        print("# no chart: matplotlib is not installed (pip install -r bench/requirements.txt)", file=sys.stderr)
        return

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    table = ratio_rows(results, workloads.ROWS)
    if not table:
        return
    series = [t for t in TOOLS if t != "ours" and results.get(t, {}).get("times")]
    labels = [label for _, label, _, _ in table]
    fig, ax = plt.subplots(figsize=(10, 0.42 * len(labels) + 1.8))
    height = 0.8 / len(series)
    for s, name in enumerate(series):
        values = [(f if name == "floor" else peers.get(name)) for _, _, f, peers in table]
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
    parser.add_argument("--repeat", type=int, default=5, help="repetitions per workload; the median is reported")
    parser.add_argument("--tools", default=",".join(TOOLS), help="comma-separated, from: " + ", ".join(TOOLS))
    parser.add_argument("--chart", default=os.path.join(HERE, "ratios.png"), help="PNG chart path ('' for none)")
    parser.add_argument("--json", default="", help="also write the raw results to this file")
    args = parser.parse_args(argv)
    tools = [t.strip() for t in args.tools.split(",") if t.strip()]
    unknown = [t for t in tools if t not in TOOLS]
    if unknown:
        parser.error("unknown tools: " + ", ".join(unknown))

    results = {}
    for tool in tools:
        result, elapsed = run_worker(tool, args.scale, args.repeat)
        results[tool] = result
        state = result.get("error") or result.get("skipped") or "done"
        print(f"# {tool}: {state} ({elapsed:.0f} s)", file=sys.stderr, flush=True)
    print(markdown(results, tools, args))
    if "ours" in tools:
        print(sweep.table(args.scale, args.repeat))
    if args.json:
        with open(args.json, "w") as f:
            json.dump(results, f, indent=1)
    if args.chart:
        chart(results, args.chart)
    return 0


if __name__ == "__main__":
    sys.exit(main())
