#!/usr/bin/env python3
"""Draws the error histogram of the usual fill and the exact fit from the output of
`tunyra-fit-bench --errors FILE` (scripts/bench-fit.sh writes out/fit-errors.tsv).

    scripts/plot-fit-errors.py [out/fit-errors.tsv] [docs/images/fit-errors.png]

Needs matplotlib (Debian: python3-matplotlib)."""
import csv
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

source = sys.argv[1] if len(sys.argv) > 1 else "out/fit-errors.tsv"
target = sys.argv[2] if len(sys.argv) > 2 else "docs/images/fit-errors.png"

errors = {"usual": [], "exact": []}
libraries, minutes = set(), set()
with open(source, newline="") as f:
    for row in csv.DictReader(f, delimiter="\t"):
        errors[row["fill"]].append(int(row["error"]))
        libraries.add(row["library"])
        minutes.add(int(row["minutes"]))

low = min(min(v) for v in errors.values() if v)
high = max(max(v) for v in errors.values() if v)


def bin_of(error):
    """0 (exactly right) gets a bin of its own; 10-second bins either side: 1..10, 11..20, ..."""
    if error == 0:
        return 0
    return (error + 9) // 10 if error > 0 else -((-error + 9) // 10)


bins = list(range(bin_of(low), bin_of(high) + 1))
fig, axes = plt.subplots(2, 1, figsize=(8, 5.5), sharex=True, sharey=True)
titles = {"usual": "usual fill (default)", "exact": "--fit exact"}
colours = {"usual": "#c0504d", "exact": "#4f81bd"}
for ax, fill in zip(axes, ["usual", "exact"]):
    values = errors[fill]
    exact = sum(1 for e in values if e == 0)
    counts = {b: 0 for b in bins}
    for e in values:
        counts[bin_of(e)] += 1
    # A bin b != 0 spans errors 10b-9 .. 10b; it is drawn over that span.
    xs = [0 if b == 0 else 10 * b - 4.5 for b in bins]
    ax.bar(xs, [counts[b] for b in bins], width=[7 if b == 0 else 9 for b in bins], color=colours[fill], log=True)
    mean = sum(abs(e) for e in values) / len(values)
    ax.set_title(
        f"{titles[fill]}: {100 * exact / len(values):.1f} % exact, mean error {mean:.1f} s, "
        f"worst {max(abs(e) for e in values)} s",
        fontsize=10,
    )
    ax.set_ylabel("playlists (log)")
    ax.grid(axis="y", alpha=0.3)
axes[-1].set_xlabel("playlist total minus the time asked for (seconds; 10-second bins, 0 on its own)")
fig.suptitle(
    f"{len(errors['usual'])} playlists per fill: libraries {', '.join(sorted(libraries))}; "
    f"{', '.join(str(m) for m in sorted(minutes))} minutes",
    fontsize=11,
)
fig.tight_layout()
fig.savefig(target, dpi=100)
print(f"wrote {target}")
