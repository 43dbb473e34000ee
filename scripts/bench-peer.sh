#!/usr/bin/env bash
# tunyra-pick against a peer in the same run: beets (Debian's package) on the same
# generated library of 10k and 100k items, in a private directory (BEETSDIR, never the
# user's). Both sides are first checked to see the same songs (same file names), then
# `beet random -t 60` and `tunyra-pick --minutes 60` are timed with and without a genre
# condition (tunyra-pick needs a condition: "without" ticks every genre). Prints CPU
# time (best of RUNS) and peak memory side by side. Extra arguments: sizes (10000 100000).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
RUNS=${RUNS:-3}
SIZES=("$@")
[ ${#SIZES[@]} -gt 0 ] || SIZES=(10000 100000)

if ! command -v beet >/dev/null; then
  $( [ "$(id -u)" = 0 ] || echo sudo ) apt-get install -y beets
fi
command -v /usr/bin/time >/dev/null || $( [ "$(id -u)" = 0 ] || echo sudo ) apt-get install -y time
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DTUNYRA_BUILD_BENCH=ON >/dev/null
cmake --build build/bench --target tunyra-bench tunyra-pick -j"${JOBS:-2}" >/dev/null
PICK=$ROOT/build/bench/tools/tunyra_pick/tunyra-pick

WORK=$(mktemp -d /tmp/tunyra-peer-XXXXXX)
trap 'rm -rf "$WORK"' EXIT
export BEETSDIR=$WORK/beets
mkdir -p "$BEETSDIR"
printf 'library: %s\ndirectory: %s\nplugins: random\n' "$BEETSDIR/library.db" "$WORK/music" >"$BEETSDIR/config.yaml"
# Debian keeps beets' modules outside the interpreter's path.
BEETS_PY=(env PYTHONPATH=/usr/share/beets /usr/bin/python3)

# best CPU seconds per run and largest peak RSS (MB) of RUNS measurements; each
# measurement runs the command REPEAT times, since a run of tunyra-pick on 10k items
# takes less than the 10 ms that time(1) can resolve.
measure() {
  local repeat=$1 best="" rss=0 cpu kb
  shift
  for _ in $(seq "$RUNS"); do
    /usr/bin/time -o "$WORK/time.txt" -f "%U %S %M" \
      bash -c 'for _ in $(seq "$0"); do "$@" >/dev/null 2>&1; done' "$repeat" "$@"
    cpu=$(awk -v r="$repeat" '{print ($1 + $2) / r}' "$WORK/time.txt")
    kb=$(awk '{print $3}' "$WORK/time.txt")
    if [ -z "$best" ] || awk "BEGIN{exit !($cpu < $best)}"; then best=$cpu; fi
    [ "$kb" -gt "$rss" ] && rss=$kb
  done
  echo "$best $((rss / 1024))"
}

rows=()
for n in "${SIZES[@]}"; do
  lib=$WORK/library-$n.tsv
  "$ROOT/build/bench/bench/tunyra-bench" --write-library "$n" "$lib"
  rm -f "$BEETSDIR/library.db"
  echo "loading $n items into beets..." >&2
  "${BEETS_PY[@]}" "$ROOT/scripts/beets_load.py" "$lib" "$BEETSDIR/library.db" >&2
  genres=$("$PICK" "$lib" --list genre | grep -v '^(no genre)$')
  every=(); while IFS= read -r g; do every+=(--check "4=$g"); done <<<"$genres"
  top=$(cut -f6 "$lib" | tail -n +2 | sort | uniq -c | sort -rn | head -1 | awk '{print $2}')

  for condition in genre none; do
    if [ $condition = genre ]; then
      beets_query=("genre::^$top\$"); pick_args=(--check "4=$top"); label="genre $top"
    else
      beets_query=(); pick_args=("${every[@]}"); label="no condition"
    fi
    # The same candidates on both sides before anything is timed.
    beet ls -f '$path' "${beets_query[@]}" | sort >"$WORK/beets.txt"
    "$PICK" "$lib" "${pick_args[@]}" --candidates 2>/dev/null | grep -v '^#' | sort >"$WORK/pick.txt"
    if ! cmp -s "$WORK/beets.txt" "$WORK/pick.txt"; then
      echo "MISMATCH at $n items, $label: beets sees $(wc -l <"$WORK/beets.txt") songs, tunyra-pick $(wc -l <"$WORK/pick.txt")" >&2
      exit 1
    fi
    songs=$(wc -l <"$WORK/pick.txt")
    read -r beets_cpu beets_mb < <(measure 1 beet random -t 60 "${beets_query[@]}")
    read -r pick_cpu pick_mb < <(measure 20 "$PICK" "$lib" "${pick_args[@]}" --minutes 60)
    ratio=$(awk "BEGIN{ if ($pick_cpu > 0) printf \"%.0fx\", $beets_cpu / $pick_cpu; else print \"-\" }")
    rows+=("$(printf '%-6s %-18s %7s %9.3f s %6s MB %11.4f s %6s MB %14s' "$n" "$label" "$songs" "$beets_cpu" "$beets_mb" "$pick_cpu" "$pick_mb" "$ratio")")
  done
done

echo
echo "60 minutes from the same songs: CPU time (user + system, best of $RUNS) and peak RSS"
printf '%-6s %-18s %7s %11s %9s %13s %9s %14s\n' items condition songs "beets CPU" "beets RSS" "tunyra CPU" "tunyra RSS" "beets/tunyra"
for row in "${rows[@]}"; do echo "$row"; done
