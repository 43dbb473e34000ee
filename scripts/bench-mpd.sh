#!/usr/bin/env bash
# tunyra-pick with MPD: 10k generated tagged songs (the scan benchmark's folder) in a
# private MPD (a temporary folder, a Unix socket, the null output), the time from
# `tunyra-pick mpd: ... --to-mpd replace` to done against mpc listing the same songs
# with their tags in the same run. Target: tunyra-pick within 2x of mpc, since reading
# should cost about what MPD takes to send the songs.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}
RUNS=${RUNS:-5}

scripts/install-deps.sh
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DTUNYRA_BUILD_BENCH=ON >/dev/null
cmake --build build/bench --target tunyra-scan-bench tunyra-scan tunyra-pick -j"$JOBS" >/dev/null
mkdir -p build/bench-scan
corpus=$PWD/build/bench-scan/corpus-10000
[ -d "$corpus" ] || build/bench/bench/tunyra-scan-bench build/bench-scan --quick --no-beets >/dev/null

work=$(mktemp -d)
mpd_pid=""
cleanup() { [ -n "$mpd_pid" ] && kill "$mpd_pid" 2>/dev/null && wait "$mpd_pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
mkdir -p "$work/playlists"
cat >"$work/mpd.conf" <<CONF
music_directory "$corpus"
playlist_directory "$work/playlists"
db_file "$work/database"
log_file "$work/log"
bind_to_address "$work/socket"
audio_output {
  type "null"
  name "null"
}
CONF
mpd --no-daemon "$work/mpd.conf" 2>>"$work/log" &
mpd_pid=$!
for _ in $(seq 100); do [ -S "$work/socket" ] && break; sleep 0.1; done
export MPD_HOST=$work/socket
mpc -q update --wait
songs=$(mpc stats | awk '/^Songs:/ {print $2}')

best() {  # best of $RUNS wall-clock milliseconds of the command
  local best=999999999 start end ms
  for _ in $(seq "$RUNS"); do
    start=$(date +%s%N); "$@" >/dev/null 2>&1; end=$(date +%s%N)
    ms=$(( (end - start) / 1000000 )); [ "$ms" -lt "$best" ] && best=$ms
  done
  echo "$best"
}
genre=$(build/bench/tools/tunyra_pick/tunyra-pick "mpd:$work/socket" --list genre | sed -n 2p)
# Once for its output: it must have picked and handed the songs to MPD.
build/bench/tools/tunyra_pick/tunyra-pick "mpd:$work/socket" --check "4=$genre" --minutes 60 --shorten --to-mpd replace \
  --quiet 2>"$work/pick.err" || { cat "$work/pick.err"; exit 1; }
pick_ms=$(best build/bench/tools/tunyra_pick/tunyra-pick "mpd:$work/socket" --check "4=$genre" --minutes 60 --shorten \
  --to-mpd replace --quiet)
mpc_ms=$(best mpc -f '%file%\t%title%\t%album%\t%artist%\t%genre%\t%date%\t%track%\t%time%' search '(file != "")')
queued=$(mpc playlist | wc -l)
ratio=$(awk -v a="$pick_ms" -v b="$mpc_ms" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
verdict=$(awk -v r="$ratio" 'BEGIN { print (r <= 2.0 ? "PASS" : "MISS") }')
printf '%-58s %8s\n' "MPD with $songs songs (best of $RUNS)" "time"
printf '%-58s %6d ms\n' "mpc listing every song with its tags" "$mpc_ms"
printf '%-58s %6d ms\n' "tunyra-pick mpd: --check 4=$genre --to-mpd replace" "$pick_ms"
printf '%-58s %8s   target <= 2.00x: %s\n' "ratio (the queue now holds $queued songs)" "${ratio}x" "$verdict"
