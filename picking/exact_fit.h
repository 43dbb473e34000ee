#pragma once
// The exact fit (`tunyra-pick --fit exact`): a random playlist whose total is exactly
// the time asked for whenever the candidates can make it, else the closest total.

#include <cstdint>

#include "picking/fill_request.h"
#include "picking/random_source.h"

namespace tunyra {

// The bound on the exhaustive search for the closest total, in 64-bit words of
// reachable totals computed (a few tenths of a second at most).
constexpr std::uint64_t kExactFitSearchSteps = std::uint64_t{1} << 27;

// What the search for the closest total cost: its steps (as searchSteps counts them,
// 0 when the random part made the time) and the most bytes its tables of totals held.
struct ExactFitCosts {
  std::uint64_t steps = 0;
  std::uint64_t tableBytes = 0;
};

// Same candidates and too-short question as FillTime (time_fill.h; asked exactly when
// FillTime asks it). With duplicates off a song is its file name and comes at most
// once: one standing twice among the candidates is twice as likely but never twice in
// the playlist, so the time FillTime's sum promised may then be out of reach; one listed
// at several lengths comes at whichever of them fits. Entries of unknown length are
// never picked; nor are entries of length 0, which change no total.
//
// stop is TimeUsedUp when the total is exactly the time (also when there is no time to
// fill); NoExactTotal when no playlist makes it and none comes closer, under or over;
// NoUnusedCandidate when no entry has a length above 0. With time to fill and an entry
// of length above 0 the playlist is never empty: when every song is longer than twice the
// time, the shortest alone is the closest. When the search for the closest
// total would take more than `searchSteps`, it keeps the closest it has found and says
// SearchCut: the best total may then be up to |remainingSeconds| nearer the time.
// Every entry of some exact playlist can be picked; the picks come in random order, and
// `indices` holds each pick's candidate index.
//
// Under limits (artistOf, when it limits artists, holds one artist per
// candidate): no artist has more than maxPerArtist picks, with duplicates too (a song
// that comes twice counts twice). Exact, or the closest, over the playlists that keep the
// limit, and the limit holds in the search itself; the too-short question weighs
// LimitedPickableSum. A file name the candidates list under two artists is, in the
// search for the closest total, the song of its first entry's artist (the random part may
// take it under either). Without an artist limit the same picks as with no limits.
// The limit never makes the search give up: an artist it binds costs at most a pass over
// the totals for each part of its songs (those of one length taken 1, 2, 4, ... at a
// time, the longest first, up to the part that makes the time), whatever the limit, and
// tables of a byte per total (two with a limit above 254, four above 65534), 64 of them
// or so at once. `costs`, when given, receives what the search took.
FillResult FitExactly(const CandidateList& candidates, const FillRequest& request, RandomSource& random,
                      std::uint64_t searchSteps = kExactFitSearchSteps, ExactFitCosts* costs = nullptr);

}  // namespace tunyra
