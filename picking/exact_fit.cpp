#include "picking/exact_fit.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "library/flat_set.h"
#include "library/text_hash.h"
#include "picking/artist_layers.h"
#include "picking/reach_layers.h"
#include "picking/song_layers.h"

namespace tunyra {

// Whole-second lengths make "exactly" a subset sum over at most a few hundred thousand
// totals. Random draws fill the time until a few average songs remain; the rest is a
// reachability bitset over random samples of the candidates, walked back at random. Only
// when that misses does an exhaustive search over every candidate, grouped by length,
// decide what the closest total is. Without duplicates a song is its file name: an item
// matched by two Or-joined columns stands twice, weighs twice, and still comes once; a
// file name listed at several lengths is one layer of the search that takes any one of
// them or none, so whether a total exists never hangs on which length a draw chose.
//
// With an artist limit the random draws skip an artist once it has its picks, and the
// samples hold no more of an artist than it has picks left, so any choice among them
// keeps the limit. In the exhaustive search an artist with no more songs than the limit
// is as before; one with more is a layer of its own (artist_layers.h): any total of at
// most that many of its songs, its longest songs first, up to the part that makes the
// time (or the bound, keeping the parts before it). Among many artists the layers taken
// first soon reach every total the others could: once no length still to come adds a
// total, the search has its answer without them.
//
// The search reads top-down: ExactSearch::Sampled (the draws, then the samples), then
// ExactSearch::Exhaustive over the layers of song_layers.h in a random order, walked
// back from the nearest total in reach_layers.h.

namespace {

// The sampled search starts once this many average lengths remain: enough songs for
// random samples of the candidates to hold an exact sum almost always.
constexpr std::int64_t kTailAverages = 6;
// Consecutive draws too long for the random part before the sampled search takes over.
constexpr int kPrefixMisfits = 8;
// Samples (and, with duplicates, draws of four times as many) in the sampled search.
constexpr size_t kTailSamples = 1024;
// No search beyond 145 hours: twice the longest time tunyra-pick accepts fits.
constexpr std::int64_t kMaxSearchSeconds = std::int64_t{1} << 19;

struct Playlist {
  std::vector<std::uint32_t> entries;
  std::int64_t total = 0;
};

std::int64_t Distance(std::int64_t a, std::int64_t b) { return a > b ? a - b : b - a; }

class ExactSearch {
 public:
  ExactSearch(const CandidateList& candidates, bool allowDuplicates, const PickLimits& limits, Draws& draws)
      : m_entries{candidates, allowDuplicates, limits.LimitsArtists() ? limits.artistOf.data() : nullptr,
                  limits.LimitsArtists() ? limits.maxPerArtist : 0},
        m_draws(draws),
        m_songs(m_entries, draws),
        m_artists(m_entries, m_songs, draws) {
    m_usable.reserve(candidates.size());
    for (size_t i = 0; i < candidates.size(); ++i) {
      if (!IsPickable(candidates[i]) || candidates[i].length == 0) continue;
      m_usable.push_back(static_cast<std::uint32_t>(i));
      m_usableSum += candidates[i].length;
      m_longest = std::max<std::int64_t>(m_longest, candidates[i].length);
    }
  }
  bool Empty() const { return m_usable.empty(); }
  // What the exhaustive search spent: steps, and the most its tables of totals held.
  std::uint64_t Spent() const { return m_spent; }
  std::uint64_t PeakBytes() const { return m_peakBytes; }

  // One entry of the shortest length, each as likely.
  Playlist Shortest() {
    std::int64_t shortest = m_longest;
    for (std::uint32_t entry : m_usable) shortest = std::min<std::int64_t>(shortest, Length(entry));
    std::vector<std::uint32_t> entries;
    for (std::uint32_t entry : m_usable)
      if (Length(entry) == shortest) entries.push_back(entry);
    return Playlist{{entries[m_draws.Below(entries.size())]}, shortest};
  }

  // Random draws, then the sampled search; never over the target.
  Playlist Sampled(std::int64_t target) {
    Playlist out;
    // Entries drawn without duplicates move behind `live`; the list keeps them all. An
    // entry whose song is already taken leaves when it is drawn, so the draws stay
    // uniform over the entries of songs not yet taken.
    // An artist with no picks left leaves the same way, with duplicates too.
    size_t live = m_usable.size();
    FlatSet<std::string_view> taken;
    auto drop = [&](size_t at) { std::swap(m_usable[at], m_usable[--live]); };
    // An artist's picks left, counted once it is drawn: the limit costs nothing on the
    // way through the whole list.
    auto artistDone = [&](size_t at) {
      const std::uint32_t artist = m_entries.cap ? Artist(m_usable[at]) : 0;
      return m_entries.cap && artist < m_left.size() && m_left[artist] == 0;
    };
    auto isTaken = [&](size_t at) {
      const std::string_view name = Name(m_usable[at]);
      return artistDone(at) || (!m_entries.duplicates && taken.Contains(HashText(name), name));
    };
    auto take = [&](size_t at) {
      const std::uint32_t entry = m_usable[at];
      if (m_entries.cap) {
        const std::uint32_t artist = Artist(entry);
        if (artist >= m_left.size()) m_left.resize(std::max<size_t>(artist + 1, 2 * m_left.size()), m_entries.cap);
        --m_left[artist];
      }
      if (!m_entries.duplicates) {
        taken.Insert(HashText(Name(entry)), Name(entry));
        drop(at);
      }
      return entry;
    };
    const std::int64_t window = kTailAverages * (m_usableSum / static_cast<std::int64_t>(m_usable.size()));
    std::int64_t remaining = target;
    for (int misfits = 0; remaining > window && misfits < kPrefixMisfits && live > 0;) {
      const size_t at = m_draws.Below(live);
      if (isTaken(at)) {
        drop(at);
        continue;
      }
      if (Length(m_usable[at]) > remaining - window) {
        ++misfits;
        continue;
      }
      misfits = 0;
      const std::uint32_t entry = take(at);
      out.entries.push_back(entry);
      remaining -= Length(entry);
    }

    // A sample takes one of its artist's picks: any choice among the samples keeps the limit.
    if (remaining > 0 && remaining <= kMaxSearchSeconds) {
      ReachLayers reach(remaining);
      std::vector<std::uint32_t> sampled;
      for (size_t drawn = 0;
           !reach.LastHas(remaining) && sampled.size() < kTailSamples && live > 0 && drawn < 4 * kTailSamples;
           ++drawn) {
        const size_t at = m_draws.Below(live);
        if (isTaken(at) || Length(m_usable[at]) > remaining) {
          if (!m_entries.duplicates || artistDone(at)) drop(at);
          continue;
        }
        const std::uint32_t entry = take(at);
        reach.Add(Length(entry));
        sampled.push_back(entry);
      }
      const std::int64_t reached = reach.LastHas(remaining) ? remaining : HighestAtMost(reach, remaining);
      for (const ReachLayers::Take& chosen : reach.Choose(reached, m_draws))
        out.entries.push_back(sampled[chosen.layer]);
      m_peakBytes = std::max<std::uint64_t>(m_peakBytes, reach.TableBytes());
      remaining -= reached;
    }
    out.total = target - remaining;
    return out;
  }

  // Every usable entry, grouped by length (with an artist limit, by artist where it
  // binds): a playlist strictly nearer the target than `toBeat`, if one exists. `cut`
  // tells whether the search stopped at its bound.
  bool Exhaustive(std::int64_t target, std::int64_t toBeat, std::uint64_t steps, Playlist& out, bool& cut) {
    cut = false;
    const std::int64_t top = target + std::min(toBeat, m_longest) - 1;
    if (top > kMaxSearchSeconds) {
      cut = true;
      return false;
    }
    // A file name is the song of its first entry's artist: the first in candidate order.
    if (m_entries.cap && !m_entries.duplicates) std::sort(m_usable.begin(), m_usable.end());
    m_songs.Build(m_usable, top);
    m_artists.Reset();

    // The layers in a random order weighted by how many entries they hold, as the first
    // time a uniform draw over all entries would hit each: keys exponential with rate the
    // count, taken from the lowest.
    std::vector<std::pair<double, SearchLayer>> order;
    for (const SearchLayer layer : m_songs.All())
      order.push_back({-std::log(m_draws.Unit()) / static_cast<double>(m_songs.Weight(layer)), layer});
    std::sort(order.begin(), order.end());

    std::vector<std::int32_t> lengthsLeft;  // layers still to come that hold each length
    if (m_entries.cap) {
      lengthsLeft.assign(static_cast<size_t>(top) + 1, 0);
      for (const auto& [key, layer] : order) m_songs.CountLengths(layer, 1, lengthsLeft);
    }
    ReachLayers reach(top);
    std::vector<Taking> takings;  // one per layer of the reach
    std::uint64_t spent = 0;
    std::uint64_t askAt = 0;  // spent steps at which to ask again whether the layers to come add a total
    size_t askFrom = 1;       // the length that said so last, asked first
    for (const auto& [key, layer] : order) {
      if (!Add(layer, target, top, steps, reach, spent, takings)) {
        cut = true;
        break;
      }
      m_peakBytes = std::max<std::uint64_t>(m_peakBytes, reach.TableBytes());
      if (reach.LastHas(target)) break;
      if (m_entries.cap) {
        // The question takes at most a third of the steps: after it, twice its steps go to
        // layers before it is asked again.
        m_songs.CountLengths(layer, -1, lengthsLeft);
        if (spent >= askAt) {
          const std::uint64_t before = spent;
          if (NothingLeftAdds(reach, lengthsLeft, steps, spent, askFrom)) break;
          askAt = spent + 2 * (spent - before);
        }
      }
    }

    m_spent = spent;
    m_peakBytes = std::max<std::uint64_t>(m_peakBytes, reach.TableBytes());
    const std::int64_t nearest = reach.Nearest(target);
    if (Distance(nearest, target) >= toBeat) return false;
    out = Playlist();
    out.total = nearest;
    const std::vector<ReachLayers::Take> taken = reach.Choose(nearest, m_draws);
    m_peakBytes = std::max<std::uint64_t>(m_peakBytes, reach.TableBytes());
    std::vector<std::int64_t> counts(m_songs.Groups().size(), 0);
    std::vector<std::uint32_t> itemCounts(m_songs.Items().size(), 0);
    for (const ReachLayers::Take& take : taken) Take(takings[take.layer], take, top, counts, itemCounts, out.entries);
    for (size_t g = 0; g < counts.size(); ++g)
      if (counts[g] != 0) m_songs.DrawFromGroup(g, counts[g], out.entries);
    for (size_t i = 0; i < itemCounts.size(); ++i)
      if (itemCounts[i] != 0) m_songs.DrawFromItem(i, itemCounts[i], out.entries);
    return true;
  }

 private:
  // What a layer of the reach takes of its search layer: songs of a group, `songs` of
  // them; a bound artist's, 0 when its layer is counted parts.
  struct Taking {
    SearchLayer layer;
    std::int64_t songs;
  };

  // Adds `layer` to the reach as one layer of it or more (a group, in chunks), each
  // noted in `takings`; false when the bound cut it short or left it out.
  bool Add(SearchLayer layer, std::int64_t target, std::int64_t top, std::uint64_t steps, ReachLayers& reach,
           std::uint64_t& spent, std::vector<Taking>& takings) {
    switch (layer.kind) {
      case SearchLayer::Kind::BoundArtist: {
        bool counted = false, added = false;
        const bool whole = m_artists.Add(layer.index, target, top, steps, reach, spent, m_peakBytes, counted, added);
        if (added) takings.push_back({layer, counted ? 0 : 1});
        return whole;
      }
      case SearchLayer::Kind::SeveralLengths: {
        const SongLayers::Choice& choice = m_songs.ChoiceAt(layer.index);
        const std::uint64_t cost = reach.Words() * (choice.end - choice.begin);
        if (spent + cost > steps) return false;
        spent += cost;
        reach.Add(&m_songs.VariantLengths()[choice.begin], choice.end - choice.begin);
        takings.push_back({layer, 1});
        return true;
      }
      case SearchLayer::Kind::OneLength:
        break;
    }
    const SongLayers::Group& group = m_songs.Groups()[layer.index];
    std::int64_t count = top / group.length;
    if (!m_entries.duplicates) count = std::min<std::int64_t>(count, group.end - group.begin);
    // Chunks of 1, 2, 4, ... and the rest make every count up to `count`.
    for (std::int64_t chunk = 1; count > 0 && !reach.LastHas(target); chunk *= 2) {
      const std::int64_t take = std::min(chunk, count);
      if (spent + reach.Words() > steps) return false;
      spent += reach.Words();
      reach.Add(take * group.length);
      takings.push_back({layer, take});
      count -= take;
    }
    return true;
  }

  // The songs of what the walk back took of a layer of the reach: a group's and an
  // artist's songs of one length are counted, to be drawn once the walk is done.
  void Take(const Taking& taking, const ReachLayers::Take& take, std::int64_t top, std::vector<std::int64_t>& counts,
            std::vector<std::uint32_t>& itemCounts, std::vector<std::uint32_t>& out) {
    const SearchLayer layer = taking.layer;
    switch (layer.kind) {
      case SearchLayer::Kind::OneLength:
        counts[layer.index] += taking.songs;
        return;
      case SearchLayer::Kind::BoundArtist:
        if (taking.songs == 0) {
          m_artists.TakeCounted(layer.index, take, itemCounts, out);
        } else {
          m_artists.TakeFromArtist(layer.index, top, take.weight, out);
        }
        return;
      case SearchLayer::Kind::SeveralLengths:
        break;
    }
    const SongLayers::Choice& choice = m_songs.ChoiceAt(layer.index);
    for (std::uint32_t v = choice.begin; v < choice.end; ++v)
      if (m_songs.VariantLengths()[v] == take.weight) out.push_back(m_songs.Variants()[v]);
  }

  static std::int64_t HighestAtMost(const ReachLayers& reach, std::int64_t total) {
    while (!reach.LastHas(total)) --total;
    return total;
  }

  // Whether no length a layer still to come holds adds a total to the reach: then those
  // layers add none (a playlist's songs from them, added one at a time, never pass its
  // total), and the reach is every total there is. Starts at `from`, the length that
  // added one last time, and leaves there the one that adds one now.
  static bool NothingLeftAdds(const ReachLayers& reach, const std::vector<std::int32_t>& lengthsLeft,
                              std::uint64_t steps, std::uint64_t& spent, size_t& from) {
    const size_t lengths = lengthsLeft.size() - 1;  // 1 to top
    for (size_t k = 0; k < lengths; ++k) {
      const size_t length = 1 + (from - 1 + k) % lengths;
      if (lengthsLeft[length] == 0) continue;
      if (spent + reach.Words() > steps) return false;
      spent += reach.Words();
      if (!reach.ClosedUnder(static_cast<std::int64_t>(length))) {
        from = length;
        return false;
      }
    }
    return true;
  }

  std::uint32_t Artist(std::uint32_t entry) const { return m_entries.Artist(entry); }
  std::int64_t Length(std::uint32_t entry) const { return m_entries.Length(entry); }
  std::string_view Name(std::uint32_t entry) const { return m_entries.Name(entry); }

  const ExactEntries m_entries;
  Draws& m_draws;
  SongLayers m_songs;
  ArtistLayers m_artists;
  std::vector<std::uint32_t> m_usable;  // pickable entries of length above 0
  std::int64_t m_usableSum = 0;
  std::int64_t m_longest = 0;
  std::vector<std::uint32_t> m_left;  // each artist's picks left in the random part; none drawn past its end
  std::uint64_t m_spent = 0;
  std::uint64_t m_peakBytes = 0;
};

}  // namespace

FillResult FitExactly(const CandidateList& candidates, const FillRequest& request, RandomSource& random,
                      std::uint64_t searchSteps, ExactFitCosts* costs) {
  FillResult result;
  // With duplicates the sum is never weighed.
  const std::int64_t pickable =
      request.allowDuplicates ? 0 : LimitedPickableSum(candidates, request.Limits(), request.totalSeconds);
  if (!TimeToFill(pickable, request, result)) return result;
  const std::int64_t target = result.targetSeconds;
  if (target <= 0) return result;

  Draws draws(random);
  ExactSearch search(candidates, request.allowDuplicates, request.Limits(), draws);
  if (search.Empty()) {
    result.stop = FillStop::NoUnusedCandidate;
    return result;
  }
  Playlist best = search.Sampled(target);
  if (best.total != target) {
    Playlist closer;
    bool cut = false;
    if (search.Exhaustive(target, Distance(best.total, target), searchSteps, closer, cut)) best = std::move(closer);
    // Nothing beat the empty playlist: unless the search was cut, every song is at least
    // twice the time long, and the shortest alone is the closest playlist there is.
    if (best.entries.empty()) best = search.Shortest();
    if (best.total != target) result.stop = cut ? FillStop::SearchCut : FillStop::NoExactTotal;
  }

  // The sampled and the exhaustive search both leave picks of one length together.
  for (size_t i = best.entries.size(); i > 1; --i) std::swap(best.entries[i - 1], best.entries[draws.Below(i)]);
  result.picks.Reserve(best.entries.size());
  for (std::uint32_t entry : best.entries) result.picks.Append(candidates[entry]);
  result.indices = std::move(best.entries);
  result.remainingSeconds = target - best.total;
  if (costs) *costs = {search.Spent(), search.PeakBytes()};
  return result;
}

}  // namespace tunyra
