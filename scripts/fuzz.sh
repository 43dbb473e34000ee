#!/usr/bin/env bash
# Builds the libFuzzer programs with clang (under AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for FUZZ_SECONDS (default 60), starting from
# the seed corpus and the kept fault inputs. Prints each target's executions and
# findings; exits 1 when anything was found. Safe to run again: the grown corpus is
# kept in build/fuzz/corpus.
#   FUZZ_SECONDS=10 scripts/fuzz.sh            # a quicker pass
#   scripts/fuzz.sh rebuild fill_time          # only these targets
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
SECONDS_PER_TARGET=${FUZZ_SECONDS:-60}
BUILD=${FUZZ_BUILD_DIR:-$ROOT/build/fuzz}
ALL_TARGETS=(library_file rebuild build_candidates fill_time exact_fit region_scan mpd_argument tag_text)
if [ $# -gt 0 ]; then TARGETS=("$@"); else TARGETS=("${ALL_TARGETS[@]}"); fi

scripts/install-deps.sh

echo "== building the fuzz targets with clang"
cmake -S . -B "$BUILD" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUNYRA_BUILD_FUZZ=ON -DTUNYRA_SANITIZE=ON \
  -DTUNYRA_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j"${JOBS:-2}" --target "${TARGETS[@]/#/fuzz_}"

found_any=0
summary=()
for t in "${TARGETS[@]}"; do
  corpus=$BUILD/corpus/$t
  findings=$BUILD/findings/$t
  log=$BUILD/$t.log
  mkdir -p "$corpus" "$findings"
  echo "== fuzzing $t for ${SECONDS_PER_TARGET} s"
  seeds=("$ROOT/fuzz/corpus/$t")
  [ -d "$ROOT/fuzz/regressions/$t" ] && seeds+=("$ROOT/fuzz/regressions/$t")
  before=$(find "$findings" -type f | wc -l)
  status=0
  # The first folder receives new inputs; the seeds and the kept inputs are only read.
  "$BUILD/fuzz/fuzz_$t" "$corpus" "${seeds[@]}" \
    -max_total_time="$SECONDS_PER_TARGET" -timeout=10 -rss_limit_mb=2560 -max_len=8192 \
    -artifact_prefix="$findings/" -print_final_stats=1 >"$log" 2>&1 || status=$?
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
  after=$(find "$findings" -type f | wc -l)
  new=$((after - before))
  if [ $status -ne 0 ] || [ $new -gt 0 ]; then
    found_any=1
    echo "   FINDING (exit $status): see $log and $findings"
    grep -m3 -E 'fault:|ERROR: |runtime error:|Test unit written' "$log" | sed 's/^/   /' || true
  fi
  summary+=("$(printf '%-18s %12s executions %4d corpus inputs %3d findings' "$t" "$execs" \
    "$(find "$corpus" -type f | wc -l)" "$new")")
done

echo "== summary (${SECONDS_PER_TARGET} s per target)"
printf '%s\n' "${summary[@]}"
if [ $found_any -ne 0 ]; then
  echo "A finding is reproduced with: $BUILD/fuzz/fuzz_<target> <file>. Once fixed, keep the file"
  echo "under fuzz/regressions/<target>/ so that fuzz_regress_test replays it in every build."
  exit 1
fi
