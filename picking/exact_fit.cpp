#include "picking/exact_fit.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "library/flat_set.h"
#include "library/text_hash.h"
#include "picking/counted_totals.h"

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
// is as before; one with more is a layer of its own: any total of at most that many of
// its songs. Under a small limit a search of the artist's own, whose rows count the
// songs, finds those totals cheaply, and is walked back from the total chosen to the
// songs that make it. Its rows grow with the limit, so once they would cost more steps
// or memory than a pass per part of the artist's songs, the layer is counted parts
// instead (counted_totals.h): the fewest of its songs for each total, whatever the
// limit; its longest songs come first, its tables reach no higher than the totals before
// it and its songs can make, and it stops at the part that makes the time (or at the
// bound, keeping the parts before it). Among many artists the layers taken first soon
// reach every total the others could: once no length still to come adds a total, the
// search has its answer without them.

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

// Which totals from 0 to `top` a choice among the layers' weights can make: layer 0
// holds 0 alone, layer j adds one of the weights of layer j-1 (or none) to every total
// of layer j-1. With more than one row a total also counts songs: row k holds the
// totals of k songs, and a weight that rises r rows takes a total of row k to row k + r
// (none beyond the last row).
class ReachLayers {
 public:
  explicit ReachLayers(std::int64_t top, size_t rows = 1)
      : m_top(top), m_words(static_cast<size_t>(top / 64 + 1)), m_rows(rows), m_last(rows * m_words, 0) {
    m_last[0] = 1;
    m_kept = m_last;
  }
  size_t Words() const { return m_words; }
  size_t Layers() const { return m_starts.size() - 1; }

  void Add(std::int64_t weight) { Add(&weight, 1); }
  // `rises` null: none of the weights rises.
  void Add(const std::int64_t* weights, size_t count, const std::uint32_t* rises = nullptr) {
    m_weights.insert(m_weights.end(), weights, weights + count);
    if (rises) {
      m_rises.resize(m_weights.size() - count, 0);
      m_rises.insert(m_rises.end(), rises, rises + count);
    }
    m_starts.push_back(m_weights.size());
    Apply(m_last.data(), Layers() - 1);
    if (Layers() % kSegmentLayers == 0) m_kept.insert(m_kept.end(), m_last.begin(), m_last.end());
  }
  // A layer's weights as the sums of parts: part p takes one of weights[starts[p],
  // starts[p + 1]) (rising as given) or none, and all parts together rise rows - 1 at most.
  struct Parts {
    size_t rows = 1;
    std::vector<size_t> starts{0};
    std::vector<std::int64_t> weights;
    std::vector<std::uint32_t> rises;
  };
  // A layer of `weights`, every total the parts make, raised part by part on rows of its
  // own rather than weight by weight: cheaper when the weights are many sums of a few
  // parts. Walked back by its weights, as any other layer.
  void Add(const std::int64_t* weights, size_t count, Parts parts) {
    m_partsOf.resize(Layers(), kNoParts);
    m_partsOf.push_back(m_parts.size());
    m_parts.push_back(std::move(parts));
    Add(weights, count);
  }
  // A layer of an artist's songs, at most parts.cap of them: no weights of its own, it is
  // walked back by ChooseCounted. Its tables reach `partsTop` (no higher total can come of
  // it), and it keeps the parts `raise` applied.
  void Add(CountedParts parts, std::int64_t partsTop, CountedRaise& raise) {
    m_countedOf.resize(Layers(), kNoParts);
    m_countedOf.push_back(m_counted.size());
    m_counted.push_back({std::move(parts), std::min(partsTop, m_top)});
    m_starts.push_back(m_weights.size());
    Counted& counted = m_counted.back();
    RaiseCounted(m_last.data(), counted.top, counted.parts, m_countedBytes, raise);
    KeepParts(counted.parts, raise.parts);
    if (Layers() % kSegmentLayers == 0) m_kept.insert(m_kept.end(), m_last.begin(), m_last.end());
  }
  // The highest total of the last layer.
  std::int64_t Highest() const {
    for (size_t i = m_words; i-- > 0;) {
      const std::uint64_t word = i + 1 == m_words ? m_last[i] & TopMask() : m_last[i];
      if (word != 0) return static_cast<std::int64_t>(i * 64 + 63) - std::countl_zero(word);
    }
    return 0;
  }
  static std::uint64_t Steps(const Parts& parts, std::uint64_t words) {
    std::uint64_t rows = parts.rows;  // set aside, then folded
    for (std::uint32_t rise : parts.rises) rows += parts.rows - rise;
    return rows * words;
  }

  // What its tables hold now, and the most the counted layers held on the side.
  size_t TableBytes() const {
    return 8 * (m_last.capacity() + m_kept.capacity() + m_below.capacity() + m_segment.capacity() +
                m_partRows.capacity()) +
           m_countedBytes;
  }

  bool LastHas(std::int64_t total) const { return Test(m_last.data(), total); }
  bool LastHas(size_t row, std::int64_t total) const { return Test(&m_last[row * m_words], total); }

  // The totals above 0 of rows 1 and up, each once, rising.
  std::vector<std::int64_t> LastTotalsAbove0Rows() const {
    std::vector<std::int64_t> totals;
    for (size_t i = 0; i < m_words; ++i) {
      std::uint64_t word = 0;
      for (size_t row = 1; row < m_rows; ++row) word |= m_last[row * m_words + i];
      if (i + 1 == m_words) word &= TopMask();
      for (; word != 0; word &= word - 1)
        totals.push_back(static_cast<std::int64_t>(i * 64) + std::countr_zero(word));
    }
    return totals;
  }

  // Whether `weight` added to any total of the last layer (one row) gives a total it
  // holds or one above the top: then songs of that length can add no total.
  bool ClosedUnder(std::int64_t weight) const {
    const auto q = static_cast<size_t>(weight / 64);
    const auto r = static_cast<unsigned>(weight % 64);
    for (size_t i = q; i < m_words; ++i) {
      std::uint64_t w = m_last[i - q] << r;
      if (r != 0 && i > q) w |= m_last[i - q - 1] >> (64 - r);
      if (i + 1 == m_words) w &= TopMask();
      if (w & ~m_last[i]) return false;
    }
    return true;
  }

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
    std::uint32_t rise;  // in a layer of counted parts, its count
    size_t part = 0;     // in a layer of counted parts
  };
  // Walks down from `total` (reachable in the last layer, in `row`), taking one of each
  // layer's weights or none; of the ways that keep the rest reachable, one at random.
  // The taken weights sum to `total`, their rises to `row`.
  std::vector<Take> Choose(std::int64_t total, Draws& draws, size_t row = 0) {
    std::vector<Take> taken;
    std::vector<size_t> fits;
    for (size_t j = Layers(); j > 0; --j) {
      if (const Counted* counted = CountedAt(j - 1)) {
        std::vector<CountedTake> takes;
        const std::uint64_t* before = Bits(j - 1, 0);
        const CountedParts& parts = counted->parts;
        // The walk reads no total above the one it starts from.
        total = ChooseCounted(before, std::min(counted->top, total), parts, total,
                              [&](size_t n) { return draws.Below(n); }, kSegmentLayers, takes, m_countedBytes);
        for (const CountedTake& take : takes)
          taken.push_back({j - 1, take.times * parts.weights[take.weight], take.times * parts.counts[take.weight],
                           take.part});
        continue;
      }
      const size_t first = m_starts[j - 1];
      const size_t count = m_starts[j] - first;
      const bool canLeave = Has(j - 1, row, total);
      auto fitsAt = [&](size_t w) {
        const std::uint32_t rise = Rise(w);
        return total >= m_weights[w] && rise <= row && Has(j - 1, row - rise, total - m_weights[w]);
      };
      auto take = [&](size_t w) {
        taken.push_back({j - 1, m_weights[w], Rise(w)});
        total -= m_weights[w];
        row -= Rise(w);
      };
      if (count == 1) {
        if (fitsAt(first) && (!canLeave || draws.Coin())) take(first);
        continue;
      }
      fits.clear();
      for (size_t w = first; w < first + count; ++w)
        if (fitsAt(w)) fits.push_back(w);
      const size_t pick = draws.Below(fits.size() + (canLeave ? 1 : 0));
      if (pick < fits.size()) take(fits[pick]);
    }
    return taken;
  }

 private:
  bool Test(const std::uint64_t* bits, std::int64_t total) const {
    if (total < 0 || total > m_top) return false;
    return (bits[static_cast<size_t>(total) / 64] >> (total % 64)) & 1;
  }
  std::uint64_t TopMask() const {
    const auto last = static_cast<unsigned>(m_top % 64);
    return last == 63 ? ~std::uint64_t{0} : (std::uint64_t{2} << last) - 1;
  }
  std::uint32_t Rise(size_t w) const { return w < m_rises.size() ? m_rises[w] : 0; }

  // bits |= from << weight, row by row from `rise` rows below, also in place (from ==
  // bits): from the top row and word down, each word reads only words at or below it
  // that are not yet raised. Bits above `top` in a row's last word are never read and
  // only ever move further up.
  void Raise(std::uint64_t* bits, const std::uint64_t* from, std::int64_t weight, std::uint32_t rise) const {
    for (size_t row = m_rows; row-- > rise;) RaiseRow(bits + row * m_words, from + (row - rise) * m_words, weight);
  }
  void RaiseRow(std::uint64_t* to, const std::uint64_t* from, std::int64_t weight) const {
    const auto q = static_cast<size_t>(weight / 64);
    const auto r = static_cast<unsigned>(weight % 64);
    if (weight <= 0 || q >= m_words) return;
    for (size_t i = m_words; i-- > q;) {
      std::uint64_t w = from[i - q] << r;
      if (r != 0 && i > q) w |= from[i - q - 1] >> (64 - r);
      to[i] |= w;
    }
  }

  // Row 0 is the layer below (one row), the others are set aside. Each part raises each
  // row from rows below it, the top row first, so that it is taken once at most; then
  // the rows fold into row 0.
  void ApplyParts(std::uint64_t* bits, const Parts& parts) {
    m_partRows.assign(parts.rows * m_words, 0);
    auto row = [&](size_t k) { return k == 0 ? bits : &m_partRows[k * m_words]; };
    for (size_t p = 0; p + 1 < parts.starts.size(); ++p)
      for (size_t k = parts.rows; k-- > 1;)
        for (size_t w = parts.starts[p]; w < parts.starts[p + 1]; ++w)
          if (parts.rises[w] <= k) RaiseRow(row(k), row(k - parts.rises[w]), parts.weights[w]);
    for (size_t k = 1; k < parts.rows; ++k)
      for (size_t i = 0; i < m_words; ++i) bits[i] |= m_partRows[k * m_words + i];
  }

  // Several weights raise from the layer below, not from each other: no two of them are
  // ever taken together.
  void Apply(std::uint64_t* bits, size_t layer) {
    if (layer < m_partsOf.size() && m_partsOf[layer] != kNoParts) return ApplyParts(bits, m_parts[m_partsOf[layer]]);
    if (const Counted* counted = CountedAt(layer))
      return RaiseCounted(bits, counted->top, counted->parts, m_countedBytes);
    const size_t first = m_starts[layer];
    const size_t count = m_starts[layer + 1] - first;
    if (count == 1) return Raise(bits, bits, m_weights[first], Rise(first));
    m_below.assign(bits, bits + Stride());
    for (size_t w = first; w < first + count; ++w) Raise(bits, m_below.data(), m_weights[w], Rise(w));
  }

  size_t Stride() const { return m_rows * m_words; }

  struct Counted {
    CountedParts parts;
    std::int64_t top;
  };
  const Counted* CountedAt(size_t layer) const {
    return layer < m_countedOf.size() && m_countedOf[layer] != kNoParts ? &m_counted[m_countedOf[layer]] : nullptr;
  }

  bool Has(size_t layer, size_t row, std::int64_t total) { return Test(Bits(layer, row), total); }
  // The walk back asks for layers in falling order, so each segment is rebuilt once.
  const std::uint64_t* Bits(size_t layer, size_t row) {
    const size_t segment = layer / kSegmentLayers;
    if (segment != m_loaded) {
      m_segment.assign(kSegmentLayers * Stride(), 0);
      std::copy_n(m_kept.begin() + static_cast<std::ptrdiff_t>(segment * Stride()), Stride(), m_segment.begin());
      for (size_t k = 1; k < kSegmentLayers && segment * kSegmentLayers + k <= Layers(); ++k) {
        std::uint64_t* bits = &m_segment[k * Stride()];
        std::copy_n(bits - Stride(), Stride(), bits);
        Apply(bits, segment * kSegmentLayers + k - 1);
      }
      m_loaded = segment;
    }
    return &m_segment[(layer % kSegmentLayers) * Stride() + row * m_words];
  }

  std::int64_t m_top;
  size_t m_words;
  size_t m_rows;
  std::vector<std::uint64_t> m_last;
  std::vector<std::uint64_t> m_kept;  // layers 0, kSegmentLayers, 2 * kSegmentLayers, ...
  std::vector<std::int64_t> m_weights;
  std::vector<std::uint32_t> m_rises;  // of m_weights, or none when no weight rises
  std::vector<size_t> m_starts{0};  // layer j's weights: m_weights[m_starts[j], m_starts[j + 1])
  std::vector<std::uint64_t> m_below;
  std::vector<std::uint64_t> m_segment;
  size_t m_loaded = static_cast<size_t>(-1);
  static constexpr size_t kNoParts = static_cast<size_t>(-1);
  std::vector<size_t> m_partsOf;  // per layer, into m_parts; none beyond its end
  std::vector<Parts> m_parts;
  std::vector<std::uint64_t> m_partRows;
  std::vector<size_t> m_countedOf;  // per layer, into m_counted; none beyond its end
  std::vector<Counted> m_counted;
  size_t m_countedBytes = 0;  // the most the counted layers' own tables held
};

struct Playlist {
  std::vector<std::uint32_t> entries;
  std::int64_t total = 0;
};

std::int64_t Distance(std::int64_t a, std::int64_t b) { return a > b ? a - b : b - a; }

class ExactSearch {
 public:
  ExactSearch(const CandidateList& candidates, bool allowDuplicates, const PickLimits& limits, Draws& draws)
      : m_candidates(candidates), m_duplicates(allowDuplicates), m_draws(draws) {
    if (limits.LimitsArtists()) {
      m_artistOf = limits.artistOf.data();
      m_cap = limits.maxPerArtist;
    }
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
      const std::uint32_t artist = m_cap ? Artist(m_usable[at]) : 0;
      return m_cap && artist < m_left.size() && m_left[artist] == 0;
    };
    auto isTaken = [&](size_t at) {
      const std::string_view name = Name(m_usable[at]);
      return artistDone(at) || (!m_duplicates && taken.Contains(HashText(name), name));
    };
    auto take = [&](size_t at) {
      const std::uint32_t entry = m_usable[at];
      if (m_cap) {
        const std::uint32_t artist = Artist(entry);
        if (artist >= m_left.size()) m_left.resize(std::max<size_t>(artist + 1, 2 * m_left.size()), m_cap);
        --m_left[artist];
      }
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

    // A sample takes one of its artist's picks: any choice among the samples keeps the limit.
    if (remaining > 0 && remaining <= kMaxSearchSeconds) {
      ReachLayers reach(remaining);
      std::vector<std::uint32_t> sampled;
      for (size_t drawn = 0; !reach.LastHas(remaining) && sampled.size() < kTailSamples && live > 0 &&
                             drawn < 4 * kTailSamples;
           ++drawn) {
        const size_t at = m_draws.Below(live);
        if (isTaken(at) || Length(m_usable[at]) > remaining) {
          if (!m_duplicates || artistDone(at)) drop(at);
          continue;
        }
        const std::uint32_t entry = take(at);
        reach.Add(Length(entry));
        sampled.push_back(entry);
      }
      const std::int64_t reached = reach.LastHas(remaining) ? remaining : HighestAtMost(reach, remaining);
      for (const ReachLayers::Take& chosen : reach.Choose(reached, m_draws)) out.entries.push_back(sampled[chosen.layer]);
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
    if (m_cap && !m_duplicates) std::sort(m_usable.begin(), m_usable.end());
    const std::vector<Song> songs = SongsUpTo(top);
    if (m_cap) GroupByArtist(songs, top);
    GroupByLength(songs, top);

    // Groups, then songs of several lengths (numbered after the groups), then artists
    // (after those), in a random order weighted by how many entries they hold, as the
    // first time a uniform draw over all entries would hit each: keys exponential with
    // rate the count, taken from the lowest.
    const auto groups = static_cast<std::uint32_t>(m_groups.size());
    const auto choices = static_cast<std::uint32_t>(m_choices.size());
    std::vector<std::pair<double, std::uint32_t>> order;
    for (std::uint32_t g = 0; g < groups; ++g)
      order.push_back({-std::log(m_draws.Unit()) / static_cast<double>(m_groups[g].weight), g});
    for (std::uint32_t c = 0; c < choices; ++c)
      order.push_back({-std::log(m_draws.Unit()) / static_cast<double>(m_choices[c].weight), groups + c});
    for (std::uint32_t a = 0; a < m_artists.size(); ++a)
      order.push_back({-std::log(m_draws.Unit()) / static_cast<double>(m_artists[a].weight), groups + choices + a});
    std::sort(order.begin(), order.end());

    std::vector<std::int32_t> lengthsLeft;  // layers still to come that hold each length
    if (m_cap) {
      lengthsLeft.assign(static_cast<size_t>(top) + 1, 0);
      for (std::uint32_t layer = 0; layer < order.size(); ++layer) CountLengths(layer, groups, 1, lengthsLeft);
    }
    ReachLayers reach(top);
    std::vector<std::uint32_t> layerGroup;
    std::vector<std::int64_t> layerTake;  // with an artist, 0 when its layer is counted
    std::uint64_t spent = 0;
    std::uint64_t askAt = 0;  // spent steps at which to ask again whether the layers to come add a total
    size_t askFrom = 1;       // the length that said so last, asked first
    for (const auto& [key, g] : order) {
      if (g >= groups + choices) {
        bool counted = false, added = false;
        const bool whole = AddArtist(g - groups - choices, target, top, steps, reach, spent, counted, added);
        if (added) {
          layerGroup.push_back(g);
          layerTake.push_back(counted ? 0 : 1);
        }
        if (!whole) {
          cut = true;
          break;
        }
      } else if (g >= groups) {
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
      } else {
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
        if (cut) break;
      }
      m_peakBytes = std::max<std::uint64_t>(m_peakBytes, reach.TableBytes());
      if (reach.LastHas(target)) break;
      if (m_cap) {
        // The question takes at most a third of the steps: after it, twice its steps go to
        // layers before it is asked again.
        CountLengths(g, groups, -1, lengthsLeft);
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
    std::vector<std::int64_t> counts(m_groups.size(), 0);
    std::vector<std::uint32_t> itemCounts(m_items.size(), 0);
    out = Playlist();
    out.total = nearest;
    const std::vector<ReachLayers::Take> taken = reach.Choose(nearest, m_draws);
    m_peakBytes = std::max<std::uint64_t>(m_peakBytes, reach.TableBytes());
    for (const ReachLayers::Take& take : taken) {
      const std::uint32_t g = layerGroup[take.layer];
      if (g < groups) {
        counts[g] += layerTake[take.layer];
      } else if (g >= groups + choices) {
        if (layerTake[take.layer] == 0) {
          TakeCounted(g - groups - choices, take, itemCounts, out.entries);
        } else {
          TakeFromArtist(m_artists[g - groups - choices], top, take.weight, out.entries);
        }
      } else {
        const Choice& choice = m_choices[g - groups];
        for (std::uint32_t v = choice.begin; v < choice.end; ++v)
          if (m_variantLengths[v] == take.weight) out.entries.push_back(m_variants[v]);
      }
    }
    for (size_t g = 0; g < m_groups.size(); ++g) {
      const Group& group = m_groups[g];
      if (counts[g] == 0) continue;
      DrawSongs(&m_byLength[group.begin], &m_weightByLength[group.begin], group.end - group.begin, group.weight,
                counts[g], out.entries);
    }
    for (size_t i = 0; i < m_items.size(); ++i) {
      const ArtistItem& item = m_items[i];
      if (itemCounts[i] == 0) continue;
      DrawSongs(&m_itemEntries[item.begin], &m_itemWeights[item.begin], item.end - item.begin, item.weight,
                itemCounts[i], out.entries);
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

  // A run of a bound artist's items, one layer of the search.
  struct ArtistLayer {
    std::uint32_t begin;
    std::uint32_t end;       // in m_items
    std::uint64_t weight;    // entries its songs stand for
    std::int64_t longest;
  };

  // Its songs of one length, any number of them up to the limit; or one song of several
  // lengths, one of them.
  struct ArtistItem {
    std::uint32_t begin;
    std::uint32_t end;  // in m_itemEntries: the songs, or one entry per length
    std::uint64_t weight;
    bool severalLengths;
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
      // With an artist limit the file name is the song of one artist, its first entry's.
      if (m_cap && Artist(entry) != Artist(songs[first].entry)) continue;
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

  // Songs of one length into m_groups; file names at several lengths into m_choices;
  // none of an artist the limit binds.
  void GroupByLength(const std::vector<Song>& songs, std::int64_t top) {
    m_choices.clear();
    m_variants.clear();
    m_variantLengths.clear();
    for (const Song& song : songs) {
      if (!song.first || song.next == 0 || !Pooled(song)) continue;
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
    auto alone = [&](const Song& song) { return song.first && song.next == 0 && Pooled(song); };
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

  // With an artist limit: the artists it binds (m_bound) and their songs as layers of
  // items. It binds an artist with more songs than the limit (with duplicates, any),
  // unless no more than that many of them fit in `top`.
  void GroupByArtist(const std::vector<Song>& songs, std::int64_t top) {
    std::uint32_t artists = 0;
    for (const Song& song : songs) artists = std::max(artists, Artist(song.entry) + 1);
    std::vector<std::uint32_t> names(artists, 0);
    std::vector<std::int64_t> shortest(artists, top);
    for (const Song& song : songs) {
      const std::uint32_t artist = Artist(song.entry);
      names[artist] += song.first;
      shortest[artist] = std::min(shortest[artist], Length(song.entry));
    }
    m_bound.assign(artists, false);
    std::vector<std::uint32_t> starts(artists + 1, 0);
    for (size_t a = 0; a < artists; ++a) {
      const std::int64_t most = top / shortest[a];
      m_bound[a] = names[a] > 0 && std::min<std::int64_t>(most, m_duplicates ? most : names[a]) > m_cap;
      if (m_bound[a]) starts[a + 1] = names[a];
    }
    for (size_t a = 0; a < artists; ++a) starts[a + 1] += starts[a];
    std::vector<std::uint32_t> byArtist(starts.back());
    for (std::uint32_t k = 0; k < songs.size(); ++k)
      if (songs[k].first && m_bound[Artist(songs[k].entry)]) byArtist[starts[Artist(songs[k].entry)]++] = k;

    m_artists.clear();
    m_items.clear();
    m_itemEntries.clear();
    m_itemWeights.clear();
    std::vector<std::uint32_t> alone;
    std::uint32_t from = 0;
    for (size_t a = 0; a < artists; ++a) {
      if (!m_bound[a]) continue;
      ArtistLayer layer{static_cast<std::uint32_t>(m_items.size()), 0, 0, 0};
      alone.clear();
      for (; from < starts[a]; ++from) {
        const Song& song = songs[byArtist[from]];
        if (song.next == 0) {
          alone.push_back(byArtist[from]);
          continue;
        }
        ArtistItem item{static_cast<std::uint32_t>(m_itemEntries.size()), 0, 0, true};
        for (const Song* length = &song;; length = &songs[length->next - 1]) {
          m_itemEntries.push_back(length->entry);
          m_itemWeights.push_back(length->weight);
          item.weight += length->weight;
          layer.longest = std::max(layer.longest, Length(length->entry));
          if (length->next == 0) break;
        }
        item.end = static_cast<std::uint32_t>(m_itemEntries.size());
        m_items.push_back(item);
        layer.weight += item.weight;
      }
      std::sort(alone.begin(), alone.end(),
                [&](std::uint32_t x, std::uint32_t y) { return Length(songs[x].entry) < Length(songs[y].entry); });
      for (size_t k = 0; k < alone.size(); ++k) {
        const Song& song = songs[alone[k]];
        if (k == 0 || Length(song.entry) != Length(songs[alone[k - 1]].entry))
          m_items.push_back({static_cast<std::uint32_t>(m_itemEntries.size()), 0, 0, false});
        m_itemEntries.push_back(song.entry);
        m_itemWeights.push_back(song.weight);
        m_items.back().end = static_cast<std::uint32_t>(m_itemEntries.size());
        m_items.back().weight += song.weight;
        layer.weight += song.weight;
        layer.longest = std::max(layer.longest, Length(song.entry));
      }
      layer.end = static_cast<std::uint32_t>(m_items.size());
      m_artists.push_back(layer);
    }
    m_partItems.assign(m_artists.size(), {});
  }

  bool Pooled(const Song& song) const { return !m_cap || !m_bound[Artist(song.entry)]; }

  std::int64_t ArtistTop(const ArtistLayer& artist, std::int64_t top) const {
    return std::min<std::int64_t>(top, m_cap * artist.longest);
  }

  // A bound artist's songs as parts: its songs of one length (any number of them up to
  // the limit, each rising a row) or one song of several lengths (one of them).
  ReachLayers::Parts ArtistParts(const ArtistLayer& artist, std::int64_t artistTop) const {
    ReachLayers::Parts parts;
    parts.rows = std::size_t{m_cap} + 1;
    for (std::uint32_t i = artist.begin; i < artist.end; ++i) {
      const ArtistItem& item = m_items[i];
      if (item.severalLengths) {
        for (std::uint32_t v = item.begin; v < item.end; ++v) {
          parts.weights.push_back(Length(m_itemEntries[v]));
          parts.rises.push_back(1);
        }
      } else {
        const std::int64_t length = Length(m_itemEntries[item.begin]);
        const std::uint32_t most = m_duplicates ? m_cap : std::min(m_cap, item.end - item.begin);
        for (std::uint32_t k = 1; k <= most && k * length <= artistTop; ++k) {
          parts.weights.push_back(k * length);
          parts.rises.push_back(k);
        }
      }
      parts.starts.push_back(parts.weights.size());
    }
    return parts;
  }

  // The artist's own search, a layer per part: row k of its last layer holds the totals
  // of k of its songs.
  static ReachLayers OwnSearch(const ReachLayers::Parts& parts, std::int64_t artistTop) {
    ReachLayers own(artistTop, parts.rows);
    for (size_t p = 0; p + 1 < parts.starts.size(); ++p)
      own.Add(&parts.weights[parts.starts[p]], parts.starts[p + 1] - parts.starts[p], &parts.rises[parts.starts[p]]);
    return own;
  }

  // The steps of the artist's own search (ReachLayers::Steps of its ArtistParts, without
  // making them: they are the limit times its lengths) and the bytes it holds, with the
  // segment its walk back loads.
  void OwnSearchCost(const ArtistLayer& artist, std::int64_t artistTop, std::uint64_t& steps,
                     std::uint64_t& bytes) const {
    const std::uint64_t rows = std::uint64_t{m_cap} + 1;
    const auto words = static_cast<std::uint64_t>(artistTop / 64 + 1);
    std::uint64_t rowSteps = rows;
    for (std::uint32_t i = artist.begin; i < artist.end; ++i) {
      const ArtistItem& item = m_items[i];
      if (item.severalLengths) {
        rowSteps += (item.end - item.begin) * (rows - 1);
        continue;
      }
      std::uint64_t most = m_duplicates ? m_cap : std::min(m_cap, item.end - item.begin);
      most = std::min<std::uint64_t>(most, static_cast<std::uint64_t>(artistTop / Length(m_itemEntries[item.begin])));
      rowSteps += most * rows - most * (most + 1) / 2;
    }
    steps = rowSteps * words;
    bytes = 8 * rows * words * (kSegmentLayers + 3 + (artist.end - artist.begin) / kSegmentLayers);
  }

  // A bound artist's songs as counted parts, longest first (a layer that stops at the time
  // makes it with the fewest parts), and the item each part takes songs of.
  CountedParts ArtistCounted(const ArtistLayer& artist, std::int64_t top, std::vector<std::uint32_t>& itemOf) const {
    CountedParts parts;
    parts.cap = m_cap;
    itemOf.clear();
    for (std::uint32_t i = artist.end; i-- > artist.begin;) {
      const ArtistItem& item = m_items[i];
      if (item.severalLengths) {
        for (std::uint32_t v = item.begin; v < item.end; ++v) {
          parts.weights.push_back(Length(m_itemEntries[v]));
          parts.counts.push_back(1);
        }
        parts.Close();
        itemOf.push_back(i);
        continue;
      }
      const std::int64_t length = Length(m_itemEntries[item.begin]);
      if (m_duplicates) {
        parts.weights.push_back(length);
        parts.counts.push_back(1);
        parts.Close(true);
        itemOf.push_back(i);
        continue;
      }
      std::int64_t most = std::min<std::int64_t>({m_cap, top / length, item.end - item.begin});
      // Parts of 1, 2, 4, ... songs and the rest make every count up to the most.
      for (std::int64_t chunk = 1; most > 0; chunk *= 2) {
        const std::int64_t take = std::min(chunk, most);
        parts.weights.push_back(take * length);
        parts.counts.push_back(static_cast<std::uint32_t>(take));
        parts.Close();
        itemOf.push_back(i);
        most -= take;
      }
    }
    return parts;
  }

  // The artist's layer: every total of 1 up to the limit of its songs. Either from its own
  // search, raised weight by weight or part by part, whichever takes fewer steps; or,
  // when that takes more steps or memory, as counted parts (`counted`), whose work and
  // tables do not grow with the limit. Counted parts stop at the part that makes the
  // target, and at the bound: then the layer holds the parts before it (`added`).
  // False when the bound cut the layer short or left it out.
  bool AddArtist(std::uint32_t a, std::int64_t target, std::int64_t top, std::uint64_t steps, ReachLayers& reach,
                 std::uint64_t& spent, bool& counted, bool& added) {
    added = false;
    const ArtistLayer& artist = m_artists[a];
    CountedParts countedParts = ArtistCounted(artist, top, m_partItems[a]);
    const std::uint64_t countedSteps = CountedSteps(countedParts, top);
    const std::int64_t artistTop = ArtistTop(artist, top);
    std::uint64_t own = 0, ownBytes = 0;
    OwnSearchCost(artist, artistTop, own, ownBytes);
    // Neither way holds more tables than a walk back through counted parts may.
    counted = own >= countedSteps || ownBytes > (kSegmentLayers + 8) * CountedTableBytes(m_cap, top);
    if (!counted) {
      if (spent + own > steps) return false;
      spent += own;
      ReachLayers::Parts parts = ArtistParts(artist, artistTop);
      const std::vector<std::int64_t> totals = OwnSearch(parts, artistTop).LastTotalsAbove0Rows();
      m_peakBytes = std::max<std::uint64_t>(m_peakBytes, reach.TableBytes() + ownBytes);
      const std::uint64_t byWeight = reach.Words() * totals.size();
      const bool partsFit = parts.rows <= kSegmentLayers;
      const std::uint64_t byPart = partsFit ? ReachLayers::Steps(parts, reach.Words()) : UINT64_MAX;
      const std::uint64_t cheaper = std::min(byWeight, byPart);
      if (own + cheaper <= countedSteps) {
        if (spent + cheaper > steps) return false;
        spent += cheaper;
        if (byPart < byWeight) {
          reach.Add(totals.data(), totals.size(), std::move(parts));
        } else {
          reach.Add(totals.data(), totals.size());
        }
        added = true;
        return true;
      }
      counted = true;
    }
    // No total above the highest so far and all the artist's songs can come of the layer.
    const std::int64_t partsTop = reach.Highest() + artistTop;
    CountedRaise raise;
    raise.stopAt = target;
    raise.budget = steps - std::min(steps, spent);
    CountedParts none;
    none.cap = m_cap;
    if (spent + CountedSteps(none, std::min(partsTop, top)) > steps) return false;
    const size_t parts = countedParts.Parts();
    reach.Add(std::move(countedParts), partsTop, raise);
    spent += raise.steps;
    added = true;
    return raise.parts == parts || reach.LastHas(target);
  }

  // A take of a counted artist layer: songs of several lengths at once, songs of one
  // length counted in `itemCounts` and drawn when the walk back is done.
  void TakeCounted(std::uint32_t a, const ReachLayers::Take& take, std::vector<std::uint32_t>& itemCounts,
                   std::vector<std::uint32_t>& out) const {
    const std::uint32_t i = m_partItems[a][take.part];
    const ArtistItem& item = m_items[i];
    if (!item.severalLengths) {
      itemCounts[i] += take.rise;
      return;
    }
    for (std::uint32_t v = item.begin; v < item.end; ++v)
      if (Length(m_itemEntries[v]) == take.weight) out.push_back(m_itemEntries[v]);
  }

  // Songs of a bound artist that make `total`, one way at random.
  void TakeFromArtist(const ArtistLayer& artist, std::int64_t top, std::int64_t total,
                      std::vector<std::uint32_t>& out) {
    const std::int64_t artistTop = ArtistTop(artist, top);
    ReachLayers own = OwnSearch(ArtistParts(artist, artistTop), artistTop);
    std::vector<size_t> rows;
    for (size_t row = 1; row <= m_cap; ++row)
      if (own.LastHas(row, total)) rows.push_back(row);
    for (const ReachLayers::Take& take : own.Choose(total, m_draws, rows[m_draws.Below(rows.size())])) {
      const ArtistItem& item = m_items[artist.begin + take.layer];
      if (!item.severalLengths) {
        DrawSongs(&m_itemEntries[item.begin], &m_itemWeights[item.begin], item.end - item.begin, item.weight,
                  take.rise, out);
        continue;
      }
      for (std::uint32_t v = item.begin; v < item.end; ++v)
        if (Length(m_itemEntries[v]) == take.weight) out.push_back(m_itemEntries[v]);
    }
  }

  // `count` of the songs entries[0, size) (weights alike, `weight` their sum), each as
  // likely as the entries it stands for: a song standing twice, twice.
  void DrawSongs(std::uint32_t* entries, const std::uint32_t* weights, std::uint32_t size, std::uint64_t weight,
                 std::int64_t count, std::vector<std::uint32_t>& out) {
    if (!m_duplicates && weight != size) {
      // Successive draws proportional to weight, without putting back: the lowest of
      // keys exponential with rate the weight.
      std::vector<std::pair<double, std::uint32_t>> keys(size);
      for (std::uint32_t k = 0; k < size; ++k) keys[k] = {-std::log(m_draws.Unit()) / weights[k], entries[k]};
      const auto last = keys.begin() + count;
      std::nth_element(keys.begin(), last - 1, keys.end());
      for (auto key = keys.begin(); key != last; ++key) out.push_back(key->second);
      return;
    }
    for (std::int64_t k = 0; k < count; ++k) {
      if (m_duplicates) {
        out.push_back(entries[m_draws.Below(size)]);
      } else {
        const auto at = static_cast<std::uint32_t>(k) + static_cast<std::uint32_t>(m_draws.Below(size - k));
        std::swap(entries[k], entries[at]);
        out.push_back(entries[k]);
      }
    }
  }

  // Adds `change` to lengths[l] for each length l the layer (numbered as in the search's
  // order) holds.
  void CountLengths(std::uint32_t layer, std::uint32_t groups, std::int32_t change,
                    std::vector<std::int32_t>& lengths) const {
    const auto choices = static_cast<std::uint32_t>(m_choices.size());
    if (layer < groups) {
      lengths[static_cast<size_t>(m_groups[layer].length)] += change;
    } else if (layer < groups + choices) {
      const Choice& choice = m_choices[layer - groups];
      for (std::uint32_t v = choice.begin; v < choice.end; ++v)
        lengths[static_cast<size_t>(m_variantLengths[v])] += change;
    } else {
      const ArtistLayer& artist = m_artists[layer - groups - choices];
      for (std::uint32_t i = artist.begin; i < artist.end; ++i) {
        const ArtistItem& item = m_items[i];
        for (std::uint32_t v = item.begin; v < (item.severalLengths ? item.end : item.begin + 1); ++v)
          lengths[static_cast<size_t>(Length(m_itemEntries[v]))] += change;
      }
    }
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

  std::uint32_t Artist(std::uint32_t entry) const { return m_artistOf[entry]; }
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
  const std::uint32_t* m_artistOf = nullptr;  // with an artist limit
  std::uint32_t m_cap = 0;                     // the most picks of one artist; 0: no limit
  std::vector<std::uint32_t> m_left;           // each artist's picks left in the random part; none drawn past its end
  std::vector<bool> m_bound;                   // artists the limit binds in the exhaustive search
  std::vector<ArtistLayer> m_artists;
  std::vector<ArtistItem> m_items;
  std::vector<std::uint32_t> m_itemEntries;
  std::vector<std::uint32_t> m_itemWeights;
  std::vector<std::vector<std::uint32_t>> m_partItems;  // of a counted artist layer: each part's item
  std::uint64_t m_spent = 0;
  std::uint64_t m_peakBytes = 0;
};

}  // namespace

FillResult FitExactly(const CandidateList& candidates, const FillRequest& request, RandomSource& random,
                      std::uint64_t searchSteps, ExactFitCosts* costs) {
  FillResult result;
  if (!TimeToFill(candidates, request, result)) return result;
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
  for (std::uint32_t entry : best.entries)
    result.picks.Append(candidates[entry]);
  result.indices = std::move(best.entries);
  result.remainingSeconds = target - best.total;
  if (costs) *costs = {search.Spent(), search.PeakBytes()};
  return result;
}

}  // namespace tunyra
