#include "picking/exact_fit.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "library/flat_set.h"
#include "library/text_hash.h"

namespace tunyra {

// Whole-second lengths make "exactly" a subset sum over at most a few hundred thousand
// totals. Random draws fill the time until a few average songs remain; the rest is a
// reachability bitset over random samples of the candidates, walked back at random. Only
// when that misses does an exhaustive search over every candidate, grouped by length,
// decide what the closest total is. Without duplicates a song is its file name: an item
// matched by two Or-joined columns stands twice, weighs twice, and still comes once; a
// file name listed at several lengths is one layer of the search that takes any one of
// them or none, so whether a total exists never hangs on which length a draw chose.

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
// The layers of reachable totals kept for the walk back: one in this many, the others
// recomputed a segment at a time.
constexpr size_t kSegmentLayers = 64;

class Draws {
 public:
  explicit Draws(RandomSource& random) : m_random(random) {}
  // [0, n) for n from 1 to 2^30: one draw up to its reach, two combined beyond.
  size_t Below(size_t n) {
    if (n <= 32768) return static_cast<size_t>(m_random.Next()) % n;
    const auto high = static_cast<std::uint32_t>(m_random.Next());
    const auto low = static_cast<std::uint32_t>(m_random.Next());
    return ((high << 15) | low) % n;
  }
  // The top bit: the generator's low bits repeat with short periods.
  bool Coin() { return m_random.Next() >= 16384; }
  // In (0, 1).
  double Unit() { return (static_cast<double>(Below(std::size_t{1} << 30)) + 0.5) / double(1u << 30); }

 private:
  RandomSource& m_random;
};

// Which totals from 0 to `top` a choice among the layers' weights can make: layer 0
// holds 0 alone, layer j adds one of the weights of layer j-1 (or none) to every total
// of layer j-1.
class ReachLayers {
 public:
  explicit ReachLayers(std::int64_t top)
      : m_top(top), m_words(static_cast<size_t>(top / 64 + 1)), m_last(m_words, 0) {
    m_last[0] = 1;
    m_kept = m_last;
  }
  size_t Words() const { return m_words; }
  size_t Layers() const { return m_starts.size() - 1; }

  void Add(std::int64_t weight) { Add(&weight, 1); }
  void Add(const std::int64_t* weights, size_t count) {
    m_weights.insert(m_weights.end(), weights, weights + count);
    m_starts.push_back(m_weights.size());
    Apply(m_last.data(), Layers() - 1);
    if (Layers() % kSegmentLayers == 0) m_kept.insert(m_kept.end(), m_last.begin(), m_last.end());
  }
  bool LastHas(std::int64_t total) const { return Test(m_last.data(), total); }

  // The reachable total nearest `target`; of two equally near, the higher.
  std::int64_t Nearest(std::int64_t target) const {
    for (std::int64_t d = 0;; ++d) {
      if (LastHas(target + d)) return target + d;
      if (LastHas(target - d)) return target - d;
    }
  }

  struct Take {
    size_t layer;
    std::int64_t weight;
  };
  // Walks down from `total` (reachable in the last layer), taking one of each layer's
  // weights or none; of the ways that keep the rest reachable, one at random. The taken
  // weights sum to `total`.
  std::vector<Take> Choose(std::int64_t total, Draws& draws) {
    std::vector<Take> taken;
    std::vector<std::int64_t> fits;
    for (size_t j = Layers(); j > 0; --j) {
      const std::int64_t* weights = &m_weights[m_starts[j - 1]];
      const size_t count = m_starts[j] - m_starts[j - 1];
      const bool canLeave = Has(j - 1, total);
      if (count == 1) {
        const bool canTake = total >= weights[0] && Has(j - 1, total - weights[0]);
        if (canTake && (!canLeave || draws.Coin())) {
          taken.push_back({j - 1, weights[0]});
          total -= weights[0];
        }
        continue;
      }
      fits.clear();
      for (size_t k = 0; k < count; ++k)
        if (total >= weights[k] && Has(j - 1, total - weights[k])) fits.push_back(weights[k]);
      const size_t pick = draws.Below(fits.size() + (canLeave ? 1 : 0));
      if (pick < fits.size()) {
        taken.push_back({j - 1, fits[pick]});
        total -= fits[pick];
      }
    }
    return taken;
  }

 private:
  bool Test(const std::uint64_t* bits, std::int64_t total) const {
    if (total < 0 || total > m_top) return false;
    return (bits[static_cast<size_t>(total) / 64] >> (total % 64)) & 1;
  }

  // bits |= from << weight, also in place (from == bits): from the top word down, each
  // word reads only words at or below it that are not yet raised. Bits above `top` in
  // the last word are never read and only ever move further up.
  void Raise(std::uint64_t* bits, const std::uint64_t* from, std::int64_t weight) const {
    const auto q = static_cast<size_t>(weight / 64);
    const auto r = static_cast<unsigned>(weight % 64);
    if (weight <= 0 || q >= m_words) return;
    for (size_t i = m_words; i-- > q;) {
      std::uint64_t w = from[i - q] << r;
      if (r != 0 && i > q) w |= from[i - q - 1] >> (64 - r);
      bits[i] |= w;
    }
  }

  // Several weights raise from the layer below, not from each other: no two of them are
  // ever taken together.
  void Apply(std::uint64_t* bits, size_t layer) {
    const std::int64_t* weights = &m_weights[m_starts[layer]];
    const size_t count = m_starts[layer + 1] - m_starts[layer];
    if (count == 1) return Raise(bits, bits, weights[0]);
    m_below.assign(bits, bits + m_words);
    for (size_t k = 0; k < count; ++k) Raise(bits, m_below.data(), weights[k]);
  }

  // The walk back asks for layers in falling order, so each segment is rebuilt once.
  bool Has(size_t layer, std::int64_t total) {
    const size_t segment = layer / kSegmentLayers;
    if (segment != m_loaded) {
      m_segment.assign(kSegmentLayers * m_words, 0);
      std::copy_n(m_kept.begin() + static_cast<std::ptrdiff_t>(segment * m_words), m_words, m_segment.begin());
      for (size_t k = 1; k < kSegmentLayers && segment * kSegmentLayers + k <= Layers(); ++k) {
        std::uint64_t* bits = &m_segment[k * m_words];
        std::copy_n(bits - m_words, m_words, bits);
        Apply(bits, segment * kSegmentLayers + k - 1);
      }
      m_loaded = segment;
    }
    return Test(&m_segment[(layer % kSegmentLayers) * m_words], total);
  }

  std::int64_t m_top;
  size_t m_words;
  std::vector<std::uint64_t> m_last;
  std::vector<std::uint64_t> m_kept;  // layers 0, kSegmentLayers, 2 * kSegmentLayers, ...
  std::vector<std::int64_t> m_weights;
  std::vector<size_t> m_starts{0};  // layer j's weights: m_weights[m_starts[j], m_starts[j + 1])
  std::vector<std::uint64_t> m_below;
  std::vector<std::uint64_t> m_segment;
  size_t m_loaded = static_cast<size_t>(-1);
};

struct Playlist {
  std::vector<std::uint32_t> entries;
  std::int64_t total = 0;
};

std::int64_t Distance(std::int64_t a, std::int64_t b) { return a > b ? a - b : b - a; }

class ExactSearch {
 public:
  ExactSearch(const CandidateList& candidates, bool allowDuplicates, Draws& draws)
      : m_candidates(candidates), m_duplicates(allowDuplicates), m_draws(draws) {
    m_usable.reserve(candidates.size());
    for (size_t i = 0; i < candidates.size(); ++i) {
      if (!IsPickable(candidates[i]) || candidates[i].length == 0) continue;
      m_usable.push_back(static_cast<std::uint32_t>(i));
      m_usableSum += candidates[i].length;
      m_longest = std::max<std::int64_t>(m_longest, candidates[i].length);
    }
  }
  bool Empty() const { return m_usable.empty(); }

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
    size_t live = m_usable.size();
    FlatSet<std::string_view> taken;
    auto drop = [&](size_t at) { std::swap(m_usable[at], m_usable[--live]); };
    auto isTaken = [&](size_t at) {
      const std::string_view name = Name(m_usable[at]);
      return !m_duplicates && taken.Contains(HashText(name), name);
    };
    auto take = [&](size_t at) {
      const std::uint32_t entry = m_usable[at];
      if (!m_duplicates) {
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

    if (remaining > 0 && remaining <= kMaxSearchSeconds) {
      ReachLayers reach(remaining);
      std::vector<std::uint32_t> sampled;
      for (size_t drawn = 0; !reach.LastHas(remaining) && sampled.size() < kTailSamples && live > 0 &&
                             drawn < 4 * kTailSamples;
           ++drawn) {
        const size_t at = m_draws.Below(live);
        if (isTaken(at) || Length(m_usable[at]) > remaining) {
          if (!m_duplicates) drop(at);
          continue;
        }
        const std::uint32_t entry = take(at);
        reach.Add(Length(entry));
        sampled.push_back(entry);
      }
      const std::int64_t reached = reach.LastHas(remaining) ? remaining : HighestAtMost(reach, remaining);
      for (const ReachLayers::Take& chosen : reach.Choose(reached, m_draws)) out.entries.push_back(sampled[chosen.layer]);
      remaining -= reached;
    }
    out.total = target - remaining;
    return out;
  }

  // Every usable entry, grouped by length: a playlist strictly nearer the target than
  // `toBeat`, if one exists. `cut` tells whether the search stopped at its bound.
  bool Exhaustive(std::int64_t target, std::int64_t toBeat, std::uint64_t steps, Playlist& out, bool& cut) {
    cut = false;
    const std::int64_t top = target + std::min(toBeat, m_longest) - 1;
    if (top > kMaxSearchSeconds) {
      cut = true;
      return false;
    }
    GroupByLength(top);

    // Groups, then songs of several lengths (numbered after the groups), in a random
    // order weighted by how many entries they hold, as the first time a uniform draw
    // over all entries would hit each: keys exponential with rate the count, taken from
    // the lowest.
    const auto groups = static_cast<std::uint32_t>(m_groups.size());
    std::vector<std::pair<double, std::uint32_t>> order;
    for (std::uint32_t g = 0; g < groups; ++g)
      order.push_back({-std::log(m_draws.Unit()) / static_cast<double>(m_groups[g].weight), g});
    for (std::uint32_t c = 0; c < m_choices.size(); ++c)
      order.push_back({-std::log(m_draws.Unit()) / static_cast<double>(m_choices[c].weight), groups + c});
    std::sort(order.begin(), order.end());

    ReachLayers reach(top);
    std::vector<std::uint32_t> layerGroup;
    std::vector<std::int64_t> layerTake;
    std::uint64_t spent = 0;
    for (const auto& [key, g] : order) {
      if (g >= groups) {
        const Choice& choice = m_choices[g - groups];
        const std::uint64_t cost = reach.Words() * (choice.end - choice.begin);
        if (spent + cost > steps) {
          cut = true;
          break;
        }
        spent += cost;
        reach.Add(&m_variantLengths[choice.begin], choice.end - choice.begin);
        layerGroup.push_back(g);
        layerTake.push_back(1);
        if (reach.LastHas(target)) break;
        continue;
      }
      const Group& group = m_groups[g];
      std::int64_t count = top / group.length;
      if (!m_duplicates) count = std::min<std::int64_t>(count, group.end - group.begin);
      // Chunks of 1, 2, 4, ... and the rest make every count up to `count`.
      for (std::int64_t chunk = 1; count > 0 && !reach.LastHas(target); chunk *= 2) {
        const std::int64_t take = std::min(chunk, count);
        if (spent + reach.Words() > steps) {
          cut = true;
          break;
        }
        spent += reach.Words();
        reach.Add(take * group.length);
        layerGroup.push_back(g);
        layerTake.push_back(take);
        count -= take;
      }
      if (cut || reach.LastHas(target)) break;
    }

    const std::int64_t nearest = reach.Nearest(target);
    if (Distance(nearest, target) >= toBeat) return false;
    std::vector<std::int64_t> counts(m_groups.size(), 0);
    out = Playlist();
    out.total = nearest;
    for (const ReachLayers::Take& take : reach.Choose(nearest, m_draws)) {
      const std::uint32_t g = layerGroup[take.layer];
      if (g < groups) {
        counts[g] += layerTake[take.layer];
        continue;
      }
      const Choice& choice = m_choices[g - groups];
      for (std::uint32_t v = choice.begin; v < choice.end; ++v)
        if (m_variantLengths[v] == take.weight) out.entries.push_back(m_variants[v]);
    }
    for (size_t g = 0; g < m_groups.size(); ++g) {
      // Within a length, every entry is as likely: a song standing twice, twice.
      const Group& group = m_groups[g];
      std::uint32_t* entries = &m_byLength[group.begin];
      const std::uint32_t size = group.end - group.begin;
      if (counts[g] == 0) continue;
      if (!m_duplicates && group.weight != size) {
        // Successive draws proportional to weight, without putting back: the lowest of
        // keys exponential with rate the weight.
        std::vector<std::pair<double, std::uint32_t>> keys(size);
        for (std::uint32_t k = 0; k < size; ++k)
          keys[k] = {-std::log(m_draws.Unit()) / m_weightByLength[group.begin + k], entries[k]};
        const auto last = keys.begin() + counts[g];
        std::nth_element(keys.begin(), last - 1, keys.end());
        for (auto key = keys.begin(); key != last; ++key) out.entries.push_back(key->second);
        continue;
      }
      for (std::int64_t k = 0; k < counts[g]; ++k) {
        if (m_duplicates) {
          out.entries.push_back(entries[m_draws.Below(size)]);
        } else {
          const auto at = static_cast<std::uint32_t>(k) + static_cast<std::uint32_t>(m_draws.Below(size - k));
          std::swap(entries[k], entries[at]);
          out.entries.push_back(entries[k]);
        }
      }
    }
    return true;
  }

 private:
  struct Group {
    std::int64_t length;
    std::uint32_t begin;
    std::uint32_t end;    // in m_byLength
    std::uint64_t weight;  // entries its songs stand for
  };

  // A file name listed at several lengths up to the top: one layer of the search.
  struct Choice {
    std::uint32_t begin;
    std::uint32_t end;     // in m_variants, one per length
    std::uint64_t weight;  // entries of its file name
  };

  // A file name at one length.
  struct Song {
    std::uint32_t entry;   // the one whose texts it takes, each of them as likely
    std::uint32_t weight;  // entries of its file name and length
    std::uint32_t next;    // index + 1 of its file name at another length; 0: none
    bool first;            // its file name's first length
  };

  // The songs of length up to `top`. With duplicates every entry is a song of its own.
  std::vector<Song> SongsUpTo(std::int64_t top) {
    std::vector<Song> songs;
    songs.reserve(m_usable.size());
    if (m_duplicates) {
      for (std::uint32_t entry : m_usable)
        if (Length(entry) <= top) songs.push_back({entry, 1, 0, true});
      return songs;
    }
    // Songs by file name (their first length), and by file name and length: a name's
    // other lengths hang after its first, and the second set finds them, however many.
    FlatSet<std::uint32_t> firstLengths(m_usable.size());
    FlatSet<std::uint32_t> otherLengths;
    for (std::uint32_t entry : m_usable) {
      if (Length(entry) > top) continue;
      const std::string_view name = Name(entry);
      const auto next = static_cast<std::uint32_t>(songs.size());
      const auto [first, newName] = firstLengths.Insert(
          HashText(name), next, [&](std::uint32_t song) { return Name(songs[song].entry) == name; });
      if (newName) {
        songs.push_back({entry, 1, 0, true});
        continue;
      }
      std::uint32_t same = first;
      if (Length(songs[first].entry) != Length(entry)) {
        const auto [other, newLength] = otherLengths.Insert(
            HashText(name, static_cast<std::uint32_t>(Length(entry))), next, [&](std::uint32_t song) {
              return Length(songs[song].entry) == Length(entry) && Name(songs[song].entry) == name;
            });
        same = other;
        if (newLength) {
          songs.push_back({entry, 0, songs[first].next, false});
          songs[first].next = same + 1;
        }
      }
      if (m_draws.Below(++songs[same].weight) == 0) songs[same].entry = entry;
    }
    return songs;
  }

  static std::int64_t HighestAtMost(const ReachLayers& reach, std::int64_t total) {
    while (!reach.LastHas(total)) --total;
    return total;
  }

  // Songs of one length into m_groups; file names at several lengths into m_choices.
  void GroupByLength(std::int64_t top) {
    const std::vector<Song> songs = SongsUpTo(top);
    m_choices.clear();
    m_variants.clear();
    m_variantLengths.clear();
    for (const Song& song : songs) {
      if (!song.first || song.next == 0) continue;
      Choice choice{static_cast<std::uint32_t>(m_variants.size()), 0, 0};
      for (const Song* length = &song;; length = &songs[length->next - 1]) {
        m_variants.push_back(length->entry);
        m_variantLengths.push_back(Length(length->entry));
        choice.weight += length->weight;
        if (length->next == 0) break;
      }
      choice.end = static_cast<std::uint32_t>(m_variants.size());
      m_choices.push_back(choice);
    }
    auto alone = [](const Song& song) { return song.first && song.next == 0; };
    std::vector<std::uint32_t> starts(static_cast<size_t>(top) + 2, 0);
    for (const Song& song : songs)
      if (alone(song)) ++starts[static_cast<size_t>(Length(song.entry)) + 1];
    for (size_t v = 1; v < starts.size(); ++v) starts[v] += starts[v - 1];
    m_byLength.assign(starts.back(), 0);
    m_weightByLength.assign(starts.back(), 0);
    std::vector<std::uint32_t> fill(starts.begin(), starts.end() - 1);
    for (const Song& song : songs) {
      if (!alone(song)) continue;
      const std::uint32_t at = fill[static_cast<size_t>(Length(song.entry))]++;
      m_byLength[at] = song.entry;
      m_weightByLength[at] = song.weight;
    }
    m_groups.clear();
    for (size_t v = 1; v + 1 < starts.size(); ++v) {
      if (starts[v + 1] == starts[v]) continue;
      std::uint64_t weight = 0;
      for (std::uint32_t at = starts[v]; at < starts[v + 1]; ++at) weight += m_weightByLength[at];
      m_groups.push_back({static_cast<std::int64_t>(v), starts[v], starts[v + 1], weight});
    }
  }

  std::int64_t Length(std::uint32_t entry) const { return m_candidates[entry].length; }
  std::string_view Name(std::uint32_t entry) const { return m_candidates[entry].fileName; }

  const CandidateList& m_candidates;
  bool m_duplicates;
  Draws& m_draws;
  std::vector<std::uint32_t> m_usable;  // pickable entries of length above 0
  std::int64_t m_usableSum = 0;
  std::int64_t m_longest = 0;
  std::vector<std::uint32_t> m_byLength;
  std::vector<std::uint32_t> m_weightByLength;
  std::vector<Group> m_groups;
  std::vector<Choice> m_choices;
  std::vector<std::uint32_t> m_variants;  // entries
  std::vector<std::int64_t> m_variantLengths;
};

}  // namespace

FillResult FitExactly(const CandidateList& candidates, std::int32_t totalSeconds, bool allowDuplicates,
                      RandomSource& random, const ShortenQuestion& askShorten, std::uint64_t searchSteps) {
  FillResult result;
  std::int64_t pickableSum = 0;
  for (size_t i = 0; i < candidates.size(); ++i)
    if (IsPickable(candidates[i])) pickableSum += candidates[i].length;
  std::int64_t target = 0;
  if (!TimeToFill(pickableSum, totalSeconds, allowDuplicates, askShorten, target)) {
    result.cancelled = true;
    result.remainingSeconds = result.targetSeconds = totalSeconds;
    return result;
  }
  result.targetSeconds = result.remainingSeconds = target;
  result.stop = FillStop::TimeUsedUp;
  if (target <= 0) return result;

  Draws draws(random);
  ExactSearch search(candidates, allowDuplicates, draws);
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
  for (std::uint32_t entry : best.entries)
    result.picks.Append(candidates[entry]);
  result.remainingSeconds = target - best.total;
  return result;
}

}  // namespace tunyra
