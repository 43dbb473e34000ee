// FitExactly under an artist limit on libraries small enough to try every playlist:
// the closest total the limit allows, never further with a looser limit, and tables
// that do not grow with the limit.

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_targets.h"
#include "picking/exact_fit.h"
#include "tests/support/plain_picking.h"

using namespace tunyra;

namespace fuzz {

namespace {

std::int64_t Distance(std::int64_t remaining) { return remaining < 0 ? -remaining : remaining; }

// Songs of one or two lengths, as a limit makes them hard: a few short ones that a large
// limit could repeat many times, or a long one among them.
std::int32_t DrawLength(FuzzInput& in, bool shortAndLong) {
  if (in.Below(16) == 0) return static_cast<std::int32_t>(in.Below(2)) - 1;  // unknown or 0
  if (!shortAndLong) return 1 + static_cast<std::int32_t>(in.Below(600));
  return in.Below(4) == 0 ? 500 + static_cast<std::int32_t>(in.Below(2500)) : 1 + static_cast<std::int32_t>(in.Below(20));
}

// The most bytes a search over totals 0 to `top` may hold: its kept layers of bits (a
// segment of 64, the layer being built and one in 64 of the others) and, for an artist
// the limit binds, a segment's worth of count tables and a few more.
std::uint64_t TableBound(std::int64_t top, std::uint32_t cap, size_t entries) {
  const auto words = static_cast<std::uint64_t>(top / 64 + 1);
  const std::uint64_t layers = 64 * entries;  // each entry's length in chunks of 1, 2, 4, ...
  const std::uint64_t perTotal = cap < 255 ? 1 : cap < 65535 ? 2 : 4;
  return 8 * words * (2 * 64 + 4 + layers / 64) + (64 + 16) * perTotal * static_cast<std::uint64_t>(top + 1);
}

// `bound`: the search's; below kExactFitSearchSteps it may cut the search, and the
// playlist need only be one the limit allows.
std::string Check(const CandidateList& candidates, const PickLimits& limits, bool duplicates, const FillResult& r,
                  const ExactFitCosts& costs, std::int64_t longest, std::uint64_t bound = kExactFitSearchSteps) {
  if (r.cancelled) return "cancelled although the question was answered OK";
  if (r.indices.size() != r.picks.size()) return "the picks and their indices disagree";
  std::map<std::uint32_t, std::uint32_t> perArtist;
  std::set<std::string> names;
  std::int64_t sum = 0;
  for (size_t k = 0; k < r.picks.size(); ++k) {
    const Candidate& entry = candidates[r.indices[k]];
    if (entry.fileName != r.picks[k].fileName || entry.length != r.picks[k].length)
      return "pick " + std::to_string(k) + " is not the entry its index names";
    if (entry.length <= 0) return "a song of no or unknown length was picked";
    if (!duplicates && !names.insert(entry.fileName).second) return std::string(entry.fileName) + " twice";
    if (++perArtist[limits.artistOf[r.indices[k]]] > limits.maxPerArtist) return "an artist over the limit";
    sum += entry.length;
  }
  if (sum != r.targetSeconds - r.remainingSeconds) return "the remaining time does not account for the picks";
  if (costs.steps > bound) return "the search passed its bound";
  const std::int64_t top = std::min<std::int64_t>(r.targetSeconds + longest, std::int64_t{1} << 19);
  if (costs.tableBytes > TableBound(top, limits.maxPerArtist, candidates.size()))
    return "the tables held " + std::to_string(costs.tableBytes) + " bytes at most " +
           std::to_string(limits.maxPerArtist) + " per artist";
  if (r.targetSeconds <= 0) return r.picks.empty() ? "" : "picks although no time was asked for";
  const std::int64_t closest = plain::ClosestLimitedDistance(candidates, limits, duplicates, r.targetSeconds);
  if (closest == INT64_MAX) return r.picks.empty() ? "" : "picks although no song can be picked";
  if (r.stop == FillStop::SearchCut) return bound < kExactFitSearchSteps ? "" : "the search gave up";
  if (Distance(r.remainingSeconds) != closest)
    return "off by " + std::to_string(Distance(r.remainingSeconds)) + " s, the closest is " + std::to_string(closest) +
           " s off, at most " + std::to_string(limits.maxPerArtist) + " per artist";
  if ((r.stop == FillStop::TimeUsedUp) != (closest == 0)) return "the stop reason does not say whether it is exact";
  return "";
}

}  // namespace

std::string ExactFitTarget(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  const bool duplicates = in.Bool();
  const bool shortAndLong = in.Bool();
  const std::uint32_t seed = in.U32();
  const std::uint32_t artists = 1 + in.Below(3);
  // Every playlist of the entries is tried (duplicates off), or every total up to twice
  // the time and the longest song (on).
  const unsigned count = 1 + in.Below(duplicates ? 8 : 12);
  std::vector<std::string> names(count);
  CandidateList candidates;
  PickLimits limits;
  std::int64_t longest = 0;
  for (unsigned i = 0; i < count; ++i) {
    names[i] = "f" + std::to_string(i);
    // A file name twice, at its length or another, is one song of that artist.
    if (i > 0 && in.Below(6) == 0) {
      const unsigned earlier = in.Below(i);
      candidates.Append(candidates[earlier].fileName, "again",
                        in.Bool() ? candidates[earlier].length : DrawLength(in, shortAndLong));
      limits.artistOf.push_back(limits.artistOf[earlier]);
    } else {
      candidates.Append(names[i].c_str(), names[i].c_str(), DrawLength(in, shortAndLong));
      limits.artistOf.push_back(in.Below(artists));
    }
    longest = std::max<std::int64_t>(longest, candidates[i].length);
  }
  const auto total = static_cast<std::int32_t>(in.Below(duplicates ? 6000 : 20000)) - 100;
  const std::uint32_t tight = 1 + in.Below(in.Bool() ? 4 : 400);
  const std::uint32_t loose = tight + 1 + in.Below(in.Bool() ? 4 : 400);

  std::int64_t off[2] = {0, 0};
  std::int64_t targets[2] = {0, 0};
  for (int k = 0; k < 2; ++k) {
    limits.maxPerArtist = k == 0 ? tight : loose;
    LcgRandomSource random(seed + static_cast<std::uint32_t>(k));
    ExactFitCosts costs;
    const FillResult r = FitExactly(
        candidates,
        {.totalSeconds = total, .allowDuplicates = duplicates, .askShorten = [] { return true; }, .limits = &limits},
        random, kExactFitSearchSteps, &costs);
    const std::string fault = Check(candidates, limits, duplicates, r, costs, longest);
    if (!fault.empty()) return fault;
    off[k] = Distance(r.remainingSeconds);
    targets[k] = r.targetSeconds;
  }
  // A looser limit allows every playlist the tighter one does (the time shortened to what
  // each allows may differ).
  if (targets[0] == targets[1] && targets[0] > 0 && off[1] > off[0])
    return "at most " + std::to_string(loose) + " per artist is " + std::to_string(off[1]) + " s off, at most " +
           std::to_string(tight) + " only " + std::to_string(off[0]) + " s";
  // A bound that cuts the search, also in the middle of an artist's counted parts.
  limits.maxPerArtist = tight;
  const std::uint64_t bound = std::uint64_t{1} << in.Below(16);
  LcgRandomSource random(seed);
  ExactFitCosts costs;
  const FillResult r = FitExactly(
      candidates,
      {.totalSeconds = total, .allowDuplicates = duplicates, .askShorten = [] { return true; }, .limits = &limits},
      random, bound, &costs);
  const std::string fault = Check(candidates, limits, duplicates, r, costs, longest, bound);
  return fault.empty() ? "" : fault + ", the search bound at " + std::to_string(bound) + " steps";
}

}  // namespace fuzz
