#include "picking/pick_limits.h"

#include <algorithm>

namespace tunyra {

std::int64_t LimitedPickableSum(const CandidateList& candidates, const PickLimits& limits, std::int64_t enough) {
  // A part: the entries in list order, under a limit no more of an artist than it allows
  // (any of its entries add up to no more than its longest).
  std::vector<std::uint32_t> taken;
  std::int64_t sum = 0;
  for (size_t i = 0; i < candidates.size() && sum < enough; ++i) {
    if (candidates[i].length <= 0) continue;
    if (limits.LimitsArtists()) {
      const std::uint32_t artist = limits.artistOf[i];
      if (artist >= taken.size()) taken.resize(std::max<size_t>(artist + 1, 2 * taken.size()), 0);
      if (taken[artist] == limits.maxPerArtist) continue;
      ++taken[artist];
    }
    sum += candidates[i].length;
  }
  // Without a limit a part read to the end is the whole sum.
  if (sum >= enough || !limits.LimitsArtists()) return sum;
  sum = 0;
  // Known lengths by artist, each artist's longest first.
  std::vector<std::pair<std::uint32_t, std::int32_t>> byArtist;
  byArtist.reserve(candidates.size());
  for (size_t i = 0; i < candidates.size(); ++i)
    if (candidates[i].length > 0) byArtist.emplace_back(limits.artistOf[i], candidates[i].length);
  std::sort(byArtist.begin(), byArtist.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : a.second > b.second;
  });
  std::uint32_t ofArtist = 0;
  for (size_t i = 0; i < byArtist.size(); ++i) {
    ofArtist = i > 0 && byArtist[i].first == byArtist[i - 1].first ? ofArtist + 1 : 1;
    if (ofArtist <= limits.maxPerArtist) sum += byArtist[i].second;
  }
  return sum;
}

}  // namespace tunyra
