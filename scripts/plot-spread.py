#!/usr/bin/env python3
"""Draws where each artist's songs stand in a playlist made by tunyra-pick, without and
with --spread (the same command, the same seed), one row per artist.

    scripts/plot-spread.py TUNYRA_PICK LIBRARY.tsv OUT.png -- OPTIONS...

OPTIONS are tunyra-pick's (give --seed, so both runs pick the same songs). Needs
matplotlib (Debian: python3-matplotlib)."""
import subprocess
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402


def unescape(field):
    """A library file's field as the song has it (\\\\, \\t, \\n escaped)."""
    out, i = [], 0
    while i < len(field):
        if field[i] == "\\" and i + 1 < len(field):
            out.append({"t": "\t", "n": "\n", "r": "\r", "\\": "\\"}.get(field[i + 1], field[i + 1]))
            i += 2
        else:
            out.append(field[i])
            i += 1
    return "".join(out)


def artists_by_file(library):
    # Byte for byte, whatever the library's character set: only equality matters.
    with open(library, encoding="latin-1", newline="\n") as f:
        next(f)
        rows = (line.rstrip("\n").split("\t") for line in f)
        return {unescape(r[0]): unescape(r[3]) for r in rows if len(r) > 3}


def playlist(tool, library, options):
    out = subprocess.run([tool, library] + options, check=True, capture_output=True, encoding="latin-1").stdout
    return [line for line in out.splitlines() if line and not line.startswith("#")]


def closest(artists):
    last, best = {}, len(artists)
    for at, artist in enumerate(artists):
        if artist in last:
            best = min(best, at - last[artist])
        last[artist] = at
    return best


def main():
    if len(sys.argv) < 5 or sys.argv[4] != "--":
        sys.exit(__doc__)
    tool, library, target, options = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[5:]
    artist_of = artists_by_file(library)
    runs = []
    for spread in (False, True):
        files = playlist(tool, library, options + (["--spread"] if spread else []))
        runs.append([artist_of.get(f, "") for f in files])
    if sorted(runs[0]) != sorted(runs[1]):
        sys.exit("--spread changed which songs were picked")
    counts = {}
    for a in runs[0]:
        counts[a] = counts.get(a, 0) + 1
    order = sorted(counts, key=lambda a: (-counts[a], a))
    row = {a: i for i, a in enumerate(order)}

    fig, axes = plt.subplots(2, 1, figsize=(10, 0.22 * len(order) * 2 + 1.6), sharex=True)
    for ax, artists, name in zip(axes, runs, ("without --spread", "with --spread")):
        together = sum(1 for a, b in zip(artists, artists[1:]) if a == b)
        for at, a in enumerate(artists):
            ax.plot(at + 1, row[a], "o", ms=4, color="#3465a4")
        for at in range(len(artists) - 1):
            if artists[at] == artists[at + 1]:
                ax.plot([at + 1, at + 2], [row[artists[at]]] * 2, "-", lw=3, color="#cc0000")
        ax.set_yticks(range(len(order)))
        ax.set_yticklabels([a or "(no artist)" for a in order], fontsize=7)
        ax.invert_yaxis()
        ax.grid(axis="x", alpha=0.3)
        ax.set_title(f"{name}: {together} times the same artist twice in a row (red), "
                     f"closest two songs of one artist {closest(artists)} apart", fontsize=9)
    axes[-1].set_xlabel("position in the playlist")
    fig.suptitle("tunyra-pick " + " ".join(options), fontsize=9)
    fig.tight_layout()
    fig.savefig(target, dpi=110)


if __name__ == "__main__":
    main()
