#pragma once
// The matching and the time fill written straight from their rules, with none of the
// fast paths: every item against every checked text, every running entry against
// every entry of an And column, a walk over the whole list for each closest fit. The
// property tests, the fuzz targets and the benchmark's agreement checks all compare
// the real code with this one model.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "picking/candidate_matching.h"
#include "picking/pick_limits.h"
#include "picking/random_source.h"
#include "picking/time_fill.h"
#include "host/host_records.h"

namespace plain {

using namespace tunyra;

// The item's field of the column's kind (null read as "") equals a checked text byte
// for byte; a kind outside 0 to 3 matches nothing.
bool MatchesColumn(const ItemRecord& item, const ColumnCondition& column);

// The columns folded left to right: Or appends the column's matches, And blanks every
// running entry whose file name the column did not match, then the blanks go.
MatchResult BuildCandidates(RecordView items, const std::array<ColumnCondition, 4>& columns,
                            const std::array<ColumnLink, 3>& links);

struct Fill {
  bool asked = false;      // the too-short question came up
  bool cancelled = false;  // ... and was answered Cancel
  std::vector<size_t> picks;  // candidate indices in pick order
  FillStop stop = FillStop::TimeUsedUp;
  std::int64_t remainingSeconds = 0;
  std::int64_t targetSeconds = 0;
  int closestFitPasses = 0;
  bool ended = true;  // false: given up after kMaxPasses, the real fill would hang
};

inline constexpr long kMaxPasses = 50'000'000;

// `shorten` is the answer to the too-short question (true: OK). Under an artist limit an
// entry whose artist has its most picks is passed over as a used one is (a draw from the
// pool that lands on one takes it out of the pool), and the question weighs each
// artist's longest `maxPerArtist` lengths. While the time is within what the allowed
// entries can make at the start, so is the rest after every pick: an entry that would
// leave it beyond them is passed over too, unless it ends the fill. A fill that finds
// nothing to pick where, but for the limit, it would have ends with ArtistLimit.
Fill FillTime(const CandidateList& candidates, std::int32_t totalSeconds, bool allowDuplicates,
              RandomSource& random, bool shorten, const PickLimits& limits = {});

// The picks as a candidate list, to compare with FillResult::picks.
CandidateList PickedEntries(const CandidateList& candidates, const std::vector<size_t>& picks);

// The exact fit's rule under an artist limit, by trying every playlist: how near
// `target` the total of a non-empty one can come, with songs of length above 0, without
// duplicates each file name once (at any of its entries), and no artist (limits.artistOf
// of the entry picked) more than limits.maxPerArtist times. INT64_MAX when no entry
// can be picked. Keep the list to a dozen or so entries.
std::int64_t ClosestLimitedDistance(const CandidateList& candidates, const PickLimits& limits, bool allowDuplicates,
                                    std::int64_t target);

// A layer of the exact fit's table of totals: one of its weights, or none, each rising
// its rise in rows (0 when no rises are given).
struct ReachLayer {
  std::vector<std::int64_t> weights;
  std::vector<std::uint32_t> rises;
};
// reach[k][t]: a choice of at most one weight of each layer sums to t and its rises to
// k (k below `rows`), t from 0 to `top`; cell by cell, with no bitsets.
std::vector<std::vector<bool>> Reachable(const std::vector<ReachLayer>& layers, std::int64_t top, size_t rows);

// How far apart the closest two songs of one artist stand in a playlist whose songs
// are by `artists`, in playlist order; the playlist's length when no artist comes twice.
size_t ClosestSameArtist(const std::vector<std::string>& artists);
// The farthest any order of these songs can put that closest pair, by trying every
// order. Keep it to eight songs or so.
size_t FarthestSpread(std::vector<std::string> artists);

}  // namespace plain
