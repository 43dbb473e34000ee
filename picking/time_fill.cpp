#include "picking/time_fill.h"

// The choices a fill makes (FillChoices: at random, or the closest fit), then the fill
// loop that takes them (FillTimeWith). The machinery that makes them fast on long lists
// lives beside: the pool drawn from, its prefetcher, the closest-fit index, and the
// guard that keeps the time within reach under an artist limit.

#include <algorithm>

#include "picking/available_pool.h"
#include "picking/closest_fit_index.h"
#include "picking/draw_prefetcher.h"
#include "picking/reach_guard.h"

namespace tunyra {

namespace {

constexpr size_t kNone = ClosestFitIndex::kNone;
// Up to one draw's reach each pass draws over the whole list, as the fill always has:
// the picks are those of a single draw modulo n. Beyond it the pool is drawn from.
constexpr size_t kSingleDrawReach = 32768;
// Closest-fit passes walk the whole list; after this many in one fill, a sorted index
// takes over (the same choices, without the walk).
constexpr int kWalkingClosestFitPasses = 4;

// The entries a fill may still pick and the ways it finds one. Lengths below 0 mean
// "unknown": left out, they cannot raise the remaining time or spoil the average.
//
// Under an artist limit an entry is available while it is unused and its artist has
// picks to spare. An artist that reaches its most leaves with all its entries at once
// (the count of those still available is kept per artist); the lists see the change
// when they next look at one of them.
class FillChoices {
 public:
  FillChoices(const CandidateList& candidates, bool allowDuplicates, const PickLimits& limits)
      : m_candidates(candidates), m_allowDuplicates(allowDuplicates), m_limits(limits), m_available(candidates.size()) {
    if (limits.LimitsArtists()) {
      m_artistOf = limits.artistOf.data();
      m_maxPerArtist = limits.maxPerArtist;
      const std::uint32_t artists =
          limits.artistOf.empty() ? 0 : *std::max_element(limits.artistOf.begin(), limits.artistOf.end()) + 1;
      m_picksOf.assign(artists, 0);
      m_availableOf.assign(artists, 0);
    }
    for (size_t i = 0; i < candidates.size(); ++i) {
      if (!IsPickable(candidates[i])) continue;
      m_sum += candidates[i].length;
      ++m_availableCount;
      m_available[i] = 1;
      if (m_artistOf) ++m_availableOf[m_artistOf[i]];
    }
    m_average = m_availableCount ? m_sum / static_cast<std::int64_t>(m_availableCount) : 0;
    m_drawFromPool = candidates.size() > kSingleDrawReach;
    if (m_drawFromPool) m_pool.Build(candidates, m_available, m_availableCount);
  }

  // Under an artist limit, from here on keeps `target` within reach (see ReachGuard).
  void KeepWithinReach(std::int64_t target) {
    if (m_artistOf)
      m_guard.Build(m_candidates, m_allowDuplicates, m_limits, static_cast<std::uint32_t>(m_picksOf.size()), target);
  }

  std::int64_t Sum() const { return m_sum; }
  std::int64_t Average() const { return m_average; }
  size_t AvailableCount() const { return m_availableCount; }
  bool Available(size_t i) const {
    return m_available[i] && (!m_artistOf || m_picksOf[m_artistOf[i]] < m_maxPerArtist);
  }

  // An entry chosen at random, or kNone when the draw hit a used or unknown-length entry,
  // or one the reach guard passes over (the next pass draws again). `prefetcher` runs
  // ahead of the pool's draws.
  template <typename Random>
  size_t RandomChoice(Random& random, DrawPrefetcher<Random>& prefetcher, std::int64_t remaining) {
    if (m_drawFromPool) {
      m_drawnAt = m_pool.Position(CombinedDraw(random));
      prefetcher.Prefetch(m_pool, !m_allowDuplicates);
      const AvailablePool::Entry entry = m_pool.At(m_drawnAt);
      // Only an artist limit leaves unavailable entries in the pool; one drawn leaves it,
      // as does one the guard passes over that is too short ever to end the fill while
      // the pool is drawn from (the time left stays above two averages).
      if (m_artistOf && (!Available(entry.index) || !m_guard.Allows(entry.index, entry.length, remaining))) {
        if (!Available(entry.index) || entry.length < 2 * m_average) m_pool.RemoveAt(m_drawnAt);
        return kNone;
      }
      m_drawn = true;
      return entry.index;
    }
    const size_t chosen = static_cast<size_t>(random.Next()) % m_candidates.size();
    return Available(chosen) && Allowed(chosen, remaining) ? chosen : kNone;
  }

  // The available entry closest to `remaining` (the lowest index on a tie), or kNone when
  // none is closer than five times the average. An entry the guard passes over now may
  // end the fill later, so the sorted index, which drops for good what it skips, is not
  // used while the guard is on.
  size_t ClosestChoice(std::int64_t remaining) {
    m_drawn = false;
    const std::int64_t bound = 5 * m_average;
    const auto available = [this](size_t i) { return Available(i); };
    if (m_index.Built()) return m_index.Find(remaining, bound, available);
    size_t chosen = kNone;
    std::int64_t closest = bound;
    for (size_t i = 0; i < m_candidates.size(); ++i) {
      if (!Available(i)) continue;
      const std::int64_t d = Distance(remaining, m_candidates[i].length);
      if (d < closest && Allowed(i, remaining)) {
        closest = d;
        chosen = i;
      }
    }
    if (++m_walkingPasses == kWalkingClosestFitPasses && !m_guard.On()) m_index.Build(m_candidates, available);
    return chosen;
  }

  // Why a fill under an artist limit found nothing to pick: ArtistLimit when, but for the
  // limit, an entry would have been found (`closest`: by the closest fit, else by any
  // choice), else `stop`.
  FillStop Blame(FillStop stop, std::int64_t remaining, bool closest) const {
    if (!m_artistOf) return stop;
    for (size_t i = 0; i < m_candidates.size(); ++i) {
      if (!m_available[i]) continue;
      if (!closest || Distance(remaining, m_candidates[i].length) < 5 * m_average) return FillStop::ArtistLimit;
    }
    return stop;
  }

  // Appends the chosen entry to `picks` and returns its length; without duplicates a
  // picked entry is no longer available. A pool draw appends from its pool entry. Only
  // drawn entries leave the pool: once the time left is below two averages it never
  // rises again, so the pool is not drawn from after the first closest-fit pick.
  std::int32_t Pick(size_t chosen, FillResult& result) {
    const Candidate picked = m_drawn ? m_pool.At(m_drawnAt).AsCandidate() : m_candidates[chosen];
    result.picks.Append(picked);
    result.indices.push_back(static_cast<std::uint32_t>(chosen));
    if (!m_allowDuplicates) {
      m_available[chosen] = 0;
      --m_availableCount;
      if (m_artistOf) --m_availableOf[m_artistOf[chosen]];
      if (m_drawn) m_pool.RemoveAt(m_drawnAt);
    }
    if (m_artistOf) {
      m_guard.Take(chosen, picked.length);
      if (++m_picksOf[m_artistOf[chosen]] == m_maxPerArtist) m_availableCount -= m_availableOf[m_artistOf[chosen]];
    }
    m_drawn = false;
    return picked.length;
  }

 private:
  bool Allowed(size_t i, std::int64_t remaining) const {
    return !m_artistOf || m_guard.Allows(i, m_candidates[i].length, remaining);
  }

  const CandidateList& m_candidates;
  const bool m_allowDuplicates;
  const PickLimits& m_limits;
  std::vector<std::uint8_t> m_available;
  size_t m_availableCount = 0;
  std::int64_t m_sum = 0;
  std::int64_t m_average = 0;
  bool m_drawFromPool = false;
  AvailablePool m_pool;
  bool m_drawn = false;  // the last choice was a pool draw, at m_drawnAt
  std::uint32_t m_drawnAt = 0;
  ClosestFitIndex m_index;
  int m_walkingPasses = 0;
  // Under an artist limit: each candidate's artist, each artist's picks and entries still
  // available (unused, of known length).
  const std::uint32_t* m_artistOf = nullptr;
  std::uint32_t m_maxPerArtist = 0;
  std::vector<std::uint32_t> m_picksOf;
  std::vector<std::uint32_t> m_availableOf;
  ReachGuard m_guard;
};

// Every way the loop could otherwise stall for good ends it, with the reason in `stop`;
// wherever the loop does end by itself, the picks are unchanged.
template <typename Random>
FillResult FillTimeWith(const CandidateList& candidates, const FillRequest& request, Random& random) {
  FillResult result;
  FillChoices choices(candidates, request.allowDuplicates, request.Limits());
  // Without a limit the choices' sum saves a pass over the list.
  const bool limited = request.Limits().LimitsArtists() && !request.allowDuplicates;
  if (!TimeToFill(limited ? LimitedPickableSum(candidates, request.Limits(), request.totalSeconds) : choices.Sum(),
                  request, result))
    return result;
  std::int64_t remaining = result.targetSeconds;
  choices.KeepWithinReach(remaining);
  const std::int64_t average = choices.Average();
  if (average > 0 && remaining > 0) {
    // Room for the picks a typical fill makes (songs average out), so a fill that uses up
    // a long list does not copy its picks over and over as they grow.
    const auto expected = static_cast<std::uint64_t>(remaining / average) + 16;
    const auto room = static_cast<size_t>(
        request.allowDuplicates ? expected : std::min<std::uint64_t>(expected, choices.AvailableCount()));
    result.picks.Reserve(room);
    result.indices.reserve(room);
  }

  DrawPrefetcher<Random> prefetcher(random);
  while (remaining > 0) {
    if (choices.AvailableCount() == 0) {
      result.stop = choices.Blame(FillStop::NoUnusedCandidate, remaining, false);
      break;
    }
    if (average == 0) {
      result.stop = FillStop::ZeroAverage;
      break;
    }

    size_t chosen = kNone;
    // remaining / average >= 2 in whole numbers, without a division per pass.
    if (remaining >= 2 * average) {
      chosen = choices.RandomChoice(random, prefetcher, remaining);
      if (chosen == kNone) continue;
    } else {
      chosen = choices.ClosestChoice(remaining);
      if (chosen == kNone) {
        result.stop = choices.Blame(FillStop::NoClosestFit, remaining, true);
        break;
      }
      // With duplicates a length-0 entry stays the closest at every later pass.
      if (request.allowDuplicates && candidates[chosen].length == 0) {
        result.stop = FillStop::NoProgress;
        break;
      }
    }

    remaining -= choices.Pick(chosen, result);
  }
  result.remainingSeconds = remaining;
  return result;
}

}  // namespace

// A fill that must use up most of a large list draws millions of times: with the
// generator itself the draws are inlined.
FillResult FillTime(const CandidateList& candidates, const FillRequest& request, LcgRandomSource& random) {
  return FillTimeWith(candidates, request, random);
}

FillResult FillTime(const CandidateList& candidates, const FillRequest& request, RandomSource& random) {
  return FillTimeWith(candidates, request, random);
}

}  // namespace tunyra
