#include "picking/time_fill.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <set>
#include <type_traits>
#include <unordered_map>

namespace tunyra {

namespace {

constexpr size_t kNone = static_cast<size_t>(-1);
// One draw reaches 32768 entries; beyond that two draws are combined so that every
// entry can be drawn, and they choose among the entries still available. Up to this
// size the picks are those of a single draw modulo n over the whole list.
constexpr size_t kSingleDrawReach = 32768;
// Closest-fit passes walk the whole list; after this many in one fill, a sorted index
// takes over (the same choices, without the walk).
constexpr int kWalkingClosestFitPasses = 4;

// A whole number from 0 to 2^30 - 1 made of two draws.
template <typename Random>
std::uint32_t CombinedDraw(Random& random) {
  const auto high = static_cast<std::uint32_t>(random.Next());
  const auto low = static_cast<std::uint32_t>(random.Next());
  return (high << 15) | low;
}

// Beyond one draw's reach the random choice is among the entries still available: a
// combined draw indexes this pool, and a used entry leaves it by trading places with
// the last one. Drawing over the whole list instead would spend most draws of a long
// fill on entries already used. Only drawn entries leave: once the remaining time is
// below two averages it never rises again, so the pool is not drawn from after the
// first closest-fit pick.
//
// Most fills pick a few dozen songs from a list of any length, so the pool starts as a
// view of the list (the available entries in list order) with the places that trades
// changed kept aside. A fill that goes on past a thousandth of the list, and may use it
// up, has the pool laid out once, each entry carrying what a pick appends: a fill that
// uses up a million songs then reads one place per pick instead of four lists at
// scattered indices.
class AvailablePool {
 public:
  struct Entry {
    const char* fileName;
    const char* title;
    std::uint32_t index;
    std::int32_t length;
    Candidate AsCandidate() const { return Candidate{fileName, title, length}; }
  };

  void Build(const CandidateList& candidates, const std::vector<std::uint8_t>& available, size_t availableCount) {
    m_candidates = &candidates;
    m_size = availableCount;
    m_removalsToLayOut = availableCount / 1024;
    m_everyEntry = availableCount == candidates.size();
    if (m_everyEntry) return;
    m_available.reserve(availableCount);
    for (size_t i = 0; i < available.size(); ++i)
      if (available[i]) m_available.push_back(static_cast<std::uint32_t>(i));
  }
  // Where a draw lands; the pool never holds more than 2^32 entries.
  std::uint32_t Position(std::uint32_t draw) const { return draw % static_cast<std::uint32_t>(m_size); }
  Entry At(std::uint32_t position) const {
    if (m_laidOut) return m_entries[position];
    return EntryOf(IndexAt(position));
  }
  size_t Size() const { return m_size; }
  void Prefetch(std::uint32_t position) const {
    if (m_laidOut) __builtin_prefetch(&m_entries[position]);
  }
  void RemoveAt(std::uint32_t position) {
    --m_size;
    if (m_laidOut) {
      m_entries[position] = m_entries.back();
      m_entries.pop_back();
      return;
    }
    Trade(position);
  }

 private:
  // Out of line, as IndexAt: the steps of a laid-out pool, which a fill that uses up the
  // list takes a million times, stay small.
  [[gnu::noinline]] void Trade(std::uint32_t position) {
    const auto last = static_cast<std::uint32_t>(m_size);
    const std::uint32_t moved = IndexAt(last);
    m_traded.erase(last);
    if (position != last) m_traded[position] = moved;
    if (m_removalsToLayOut-- == 0) LayOut();
  }
  Entry EntryOf(std::uint32_t index) const {
    const Candidate candidate = (*m_candidates)[index];
    return Entry{candidate.fileName, candidate.title, index, candidate.length};
  }
  [[gnu::noinline]] std::uint32_t IndexAt(std::uint32_t position) const {
    const auto traded = m_traded.find(position);
    if (traded != m_traded.end()) return traded->second;
    return m_everyEntry ? position : m_available[position];
  }
  void LayOut() {
    m_entries.reserve(m_size);
    for (size_t position = 0; position < m_size; ++position)
      m_entries.push_back(EntryOf(m_everyEntry ? static_cast<std::uint32_t>(position) : m_available[position]));
    for (const auto& [position, index] : m_traded) m_entries[position] = EntryOf(index);
    m_traded.clear();
    m_available = std::vector<std::uint32_t>();
    m_laidOut = true;
  }

  const CandidateList* m_candidates = nullptr;
  size_t m_size = 0;
  // Until laid out: the pool's place p holds m_traded[p] if a trade put an entry there,
  // else the p-th available entry (p itself when every entry is available).
  bool m_everyEntry = false;
  std::vector<std::uint32_t> m_available;
  std::unordered_map<std::uint32_t, std::uint32_t> m_traded;
  size_t m_removalsToLayOut = 0;
  bool m_laidOut = false;
  std::vector<Entry> m_entries;
};

// The draws do not depend on the list: a copy of the generator runs a few draws ahead,
// and the pool entry a later pass will land on is fetched while this pass picks. A
// generator that cannot be copied draws without it; the picks are the same either way.
constexpr int kDrawsAhead = 8;

template <typename Random, bool = std::is_copy_constructible_v<Random>>
class DrawPrefetcher {
 public:
  explicit DrawPrefetcher(const Random&) {}
  void Prefetch(const AvailablePool&, bool) {}
};

template <typename Random>
class DrawPrefetcher<Random, true> {
 public:
  explicit DrawPrefetcher(const Random& random) : m_ahead(random) {
    for (int i = 0; i < kDrawsAhead; ++i) CombinedDraw(m_ahead);
  }
  // Called once per draw from the pool; `shrinking` when each pick leaves it.
  void Prefetch(const AvailablePool& pool, bool shrinking) {
    const std::uint32_t draw = CombinedDraw(m_ahead);
    size_t size = pool.Size();
    if (shrinking) {
      if (size <= static_cast<size_t>(kDrawsAhead)) return;
      size -= kDrawsAhead;
    }
    pool.Prefetch(static_cast<std::uint32_t>(draw % size));
  }

 private:
  Random m_ahead;
};

std::int64_t Distance(std::int64_t remaining, std::int32_t length) {
  const std::int64_t d = remaining - length;
  return d < 0 ? -d : d;
}

// The entries still available (`available(i)`) grouped by length, in ascending length
// and, within a length, ascending index. An entry once unavailable never comes back.
// The closest entry to a remaining time is then the lowest available index of the
// nearest length below or at/above it; a tie in distance goes to the lower index, as in
// a walk from index 0.
class ClosestFitIndex {
 public:
  bool Built() const { return m_built; }

  template <typename Available>
  void Build(const CandidateList& candidates, const Available& available) {
    std::vector<std::uint64_t> keys;
    for (size_t i = 0; i < candidates.size(); ++i)
      if (available(i)) keys.push_back((static_cast<std::uint64_t>(candidates[i].length) << 32) | i);
    std::sort(keys.begin(), keys.end());
    m_order.resize(keys.size());
    for (size_t k = 0; k < keys.size(); ++k) {
      m_order[k] = static_cast<std::uint32_t>(keys[k]);
      const auto length = static_cast<std::int32_t>(keys[k] >> 32);
      if (m_groups.empty() || m_groups.back().length != length)
        m_groups.push_back({length, static_cast<std::uint32_t>(k), static_cast<std::uint32_t>(k)});
      m_groups.back().end = static_cast<std::uint32_t>(k + 1);
    }
    for (size_t g = 0; g < m_groups.size(); ++g) m_live.insert(m_live.end(), g);
    m_built = true;
  }

  template <typename Available>
  size_t Find(std::int64_t remaining, std::int64_t bound, const Available& available) {
    const auto firstAtOrAbove = std::partition_point(m_groups.begin(), m_groups.end(), [&](const Group& g) {
      return g.length < remaining;
    });
    auto above = m_live.lower_bound(static_cast<size_t>(firstAtOrAbove - m_groups.begin()));
    size_t aboveIndex = kNone;
    while (above != m_live.end() && (aboveIndex = LowestAvailable(*above, available)) == kNone)
      above = m_live.erase(above);
    size_t belowIndex = kNone;
    std::int32_t belowLength = 0;
    while (above != m_live.begin()) {
      const auto below = std::prev(above);
      belowIndex = LowestAvailable(*below, available);
      if (belowIndex != kNone) {
        belowLength = m_groups[*below].length;
        break;
      }
      m_live.erase(below);
    }

    size_t best = kNone;
    std::int64_t bestDistance = bound;
    if (belowIndex != kNone && Distance(remaining, belowLength) < bestDistance) {
      best = belowIndex;
      bestDistance = Distance(remaining, belowLength);
    }
    if (aboveIndex != kNone) {
      const std::int64_t d = Distance(remaining, m_groups[*above].length);
      if (d < bestDistance || (d == bestDistance && best != kNone && aboveIndex < best)) best = aboveIndex;
    }
    return best;
  }

 private:
  struct Group {
    std::int32_t length;
    std::uint32_t cursor;  // entries before it are no longer available
    std::uint32_t end;
  };

  template <typename Available>
  size_t LowestAvailable(size_t group, const Available& available) {
    Group& g = m_groups[group];
    while (g.cursor < g.end && !available(m_order[g.cursor])) ++g.cursor;
    return g.cursor < g.end ? m_order[g.cursor] : kNone;
  }

  bool m_built = false;
  std::vector<std::uint32_t> m_order;
  std::vector<Group> m_groups;
  std::set<size_t> m_live;  // groups that may still hold an available entry
};

// Under an artist limit, keeps the time within reach: what the entries still available
// can add up to is each artist's reserve, its longest entries as many as it has picks to
// spare (with duplicates its longest, that many times). Taking an entry of the reserve
// lowers the reach by its length, as it lowers the time left; taking a shorter one
// spends a place of the reserve, whose shortest drops out. The slack, reach less time
// left, falls by that difference (the entry's cost), so an entry costing more than the
// slack is passed over unless it ends the fill. A cost never falls and the slack never
// rises, so an entry passed over while it cannot end the fill stays passed over.
class ReachGuard {
 public:
  // Off when the time is beyond reach from the start (only possible with duplicates):
  // nothing can keep it, and the fill is left as it was.
  void Build(const CandidateList& candidates, bool allowDuplicates, const PickLimits& limits, std::uint32_t artists,
             std::int64_t target) {
    m_artistOf = limits.artistOf.data();
    std::vector<std::uint32_t> firstOf(artists + 1, 0);
    for (size_t i = 0; i < candidates.size(); ++i)
      if (IsPickable(candidates[i])) ++firstOf[m_artistOf[i] + 1];
    for (std::uint32_t a = 0; a < artists; ++a) firstOf[a + 1] += firstOf[a];
    std::vector<std::int32_t> lengths(firstOf[artists]);
    std::vector<std::uint32_t> next(firstOf.begin(), firstOf.end() - 1);
    for (size_t i = 0; i < candidates.size(); ++i)
      if (IsPickable(candidates[i])) lengths[next[m_artistOf[i]]++] = candidates[i].length;

    m_begin.assign(artists, 0);
    m_end.assign(artists, 0);
    std::int64_t reach = 0;
    for (std::uint32_t a = 0; a < artists; ++a) {
      const auto first = lengths.begin() + firstOf[a], last = lengths.begin() + firstOf[a + 1];
      const auto places = std::min<std::int64_t>(limits.maxPerArtist, last - first);
      m_begin[a] = m_end[a] = static_cast<std::uint32_t>(m_reserve.size());
      if (places == 0) continue;
      std::partial_sort(first, first + (allowDuplicates ? 1 : places), last, std::greater<>());
      if (allowDuplicates) {
        m_reserve.push_back({*first, limits.maxPerArtist});
        reach += std::int64_t(*first) * limits.maxPerArtist;
      } else {
        for (auto at = first; at != first + places; ++at) {
          if (m_reserve.size() > m_begin[a] && m_reserve.back().length == *at)
            ++m_reserve.back().count;
          else
            m_reserve.push_back({*at, 1});
          reach += *at;
        }
      }
      m_end[a] = static_cast<std::uint32_t>(m_reserve.size());
    }
    m_slack = reach - target;
    m_on = m_slack >= 0;
  }

  bool On() const { return m_on; }
  // Whether entry `i` (available, so its artist has a reserve) may be picked with
  // `remaining` left.
  bool Allows(size_t i, std::int32_t length, std::int64_t remaining) const {
    return !m_on || length >= remaining || Cost(i, length) <= m_slack;
  }
  void Take(size_t i, std::int32_t length) {
    if (!m_on) return;
    m_slack -= Cost(i, length);
    const std::uint32_t a = m_artistOf[i];
    Places* place = &m_reserve[m_end[a] - 1];
    if (length > place->length) {
      // The reserve runs from longest to shortest.
      place = &*std::partition_point(m_reserve.begin() + m_begin[a], m_reserve.begin() + m_end[a],
                                     [length](const Places& p) { return p.length > length; });
    }
    --place->count;
    while (m_end[a] > m_begin[a] && m_reserve[m_end[a] - 1].count == 0) --m_end[a];
  }

 private:
  struct Places {
    std::int32_t length;
    std::uint32_t count;
  };
  std::int64_t Cost(size_t i, std::int32_t length) const {
    const std::int32_t shortest = m_reserve[m_end[m_artistOf[i]] - 1].length;
    return length >= shortest ? 0 : std::int64_t(shortest) - length;
  }

  bool m_on = false;
  std::int64_t m_slack = 0;
  const std::uint32_t* m_artistOf = nullptr;
  // Each artist's reserve, m_reserve[m_begin[a], m_end[a]), longest first; places
  // spent in the middle keep their length with a count of 0.
  std::vector<Places> m_reserve;
  std::vector<std::uint32_t> m_begin, m_end;
};

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
      : m_candidates(candidates),
        m_allowDuplicates(allowDuplicates),
        m_limits(limits),
        m_available(candidates.size(), 0) {
    if (limits.LimitsArtists()) {
      m_artistOf = limits.artistOf.data();
      m_maxPerArtist = limits.maxPerArtist;
      const std::uint32_t artists =
          limits.artistOf.empty() ? 0 : *std::max_element(limits.artistOf.begin(), limits.artistOf.end()) + 1;
      m_picksOf.assign(artists, 0);
      m_availableOf.assign(artists, 0);
    }
    std::int64_t measured = 0;
    for (size_t i = 0; i < candidates.size(); ++i) {
      if (!IsPickable(candidates[i])) continue;
      m_sum += candidates[i].length;
      ++measured;
      m_available[i] = 1;
      if (m_artistOf) ++m_availableOf[m_artistOf[i]];
    }
    m_availableCount = static_cast<size_t>(measured);
    m_average = measured ? m_sum / measured : 0;
    // Up to one draw's reach each pass draws over the whole list, as the fill always has.
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
FillResult FillTimeWith(const CandidateList& candidates, std::int32_t totalSeconds, bool allowDuplicates,
                        Random& random, const ShortenQuestion& askShorten, const PickLimits& limits) {
  FillResult result;
  FillChoices choices(candidates, allowDuplicates, limits);

  // With duplicates the sum is never weighed.
  const std::int64_t pickable = limits.LimitsArtists() && !allowDuplicates
                                    ? LimitedPickableSum(candidates, limits, totalSeconds)
                                    : choices.Sum();
  std::int64_t remaining = 0;
  if (!TimeToFill(pickable, totalSeconds, allowDuplicates, askShorten, remaining)) {
    result.cancelled = true;
    result.remainingSeconds = result.targetSeconds = totalSeconds;
    return result;
  }
  result.targetSeconds = remaining;
  choices.KeepWithinReach(remaining);
  const std::int64_t average = choices.Average();
  if (average > 0 && remaining > 0) {
    // Room for the picks a typical fill makes (songs average out), so a fill that uses up
    // a long list does not copy its picks over and over as they grow.
    const auto expected = static_cast<std::uint64_t>(remaining / average) + 16;
    const auto room = static_cast<size_t>(
        allowDuplicates ? expected : std::min<std::uint64_t>(expected, choices.AvailableCount()));
    result.picks.Reserve(room);
    result.indices.reserve(room);
  }

  DrawPrefetcher<Random> prefetcher(random);
  result.stop = FillStop::TimeUsedUp;
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
      if (allowDuplicates && candidates[chosen].length == 0) {
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

bool TimeToFill(std::int64_t pickableSum, std::int32_t totalSeconds, bool allowDuplicates,
                const ShortenQuestion& askShorten, std::int64_t& seconds) {
  seconds = totalSeconds;
  if (allowDuplicates || pickableSum >= seconds) return true;
  if (!askShorten || !askShorten()) return false;
  seconds = pickableSum;
  return true;
}

// A fill that must use up most of a large list draws millions of times: with the
// generator itself the draws are inlined.
FillResult FillTime(const CandidateList& candidates, std::int32_t totalSeconds, bool allowDuplicates,
                    LcgRandomSource& random, const ShortenQuestion& askShorten) {
  return FillTimeWith(candidates, totalSeconds, allowDuplicates, random, askShorten, PickLimits{});
}

FillResult FillTime(const CandidateList& candidates, std::int32_t totalSeconds, bool allowDuplicates,
                    RandomSource& random, const ShortenQuestion& askShorten) {
  return FillTimeWith(candidates, totalSeconds, allowDuplicates, random, askShorten, PickLimits{});
}

FillResult FillTime(const CandidateList& candidates, std::int32_t totalSeconds, bool allowDuplicates,
                    LcgRandomSource& random, const ShortenQuestion& askShorten, const PickLimits& limits) {
  return FillTimeWith(candidates, totalSeconds, allowDuplicates, random, askShorten, limits);
}

FillResult FillTime(const CandidateList& candidates, std::int32_t totalSeconds, bool allowDuplicates,
                    RandomSource& random, const ShortenQuestion& askShorten, const PickLimits& limits) {
  return FillTimeWith(candidates, totalSeconds, allowDuplicates, random, askShorten, limits);
}

const char* NothingPickedText(const CandidateList& candidates) {
  bool known = false;
  for (const Candidate& candidate : candidates) {
    if (!IsPickable(candidate)) continue;
    if (candidate.length > 0) return kTooShortToFillText;
    known = true;
  }
  return known ? kZeroLengthText : kNoKnownLengthText;
}

}  // namespace tunyra
