#pragma once
// Limits a playlist of `tunyra-pick` may be asked to keep while it is filled: at most so
// many songs of one artist. The plug-in's fills take none.

#include <cstdint>
#include <vector>

#include "picking/candidate_matching.h"

namespace tunyra {

struct PickLimits {
  // The artist of each candidate (same index), as a small number: candidates of one
  // artist share it. Empty when no limit needs artists.
  std::vector<std::uint32_t> artistOf;
  // At most this many picks of one artist; 0: no limit.
  std::uint32_t maxPerArtist = 0;

  bool LimitsArtists() const { return maxPerArtist > 0; }
};

// The most the candidates of known length can add up to under the limits, each entry
// used once: with an artist limit, each artist's longest `maxPerArtist` entries. It is
// the sum the too-short question weighs against the time asked for.
//
// Once a part of that sum reaches `enough`, the part is returned instead: weighed
// against a time of `enough` or less it gives the same answer, and a long list is then
// neither read to its end nor, under an artist limit, sorted.
std::int64_t LimitedPickableSum(const CandidateList& candidates, const PickLimits& limits,
                                std::int64_t enough = INT64_MAX);

}  // namespace tunyra
