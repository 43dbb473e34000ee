#pragma once
// The exact fit's table of reachable totals: which totals from 0 to `top` a choice among
// the layers' weights can make. Layer 0 holds 0 alone, layer j adds one of the weights
// of layer j-1 (or none) to every total of layer j-1. With more than one row a total
// also counts songs: row k holds the totals of k songs, and a weight that rises r rows
// takes a total of row k to row k + r (none beyond the last row). A bitset per layer and
// row, of which only every kSegmentLayers-th is kept: the walk back from a total to the
// weights that make it recomputes the others a segment at a time.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "picking/counted_totals.h"
#include "picking/random_source.h"

namespace tunyra {

// The layers of reachable totals kept for the walk back: one in this many, the others
// recomputed a segment at a time.
constexpr std::size_t kSegmentLayers = 64;

class ReachLayers {
 public:
  explicit ReachLayers(std::int64_t top, std::size_t rows = 1);
  std::size_t Words() const { return m_words; }
  std::size_t Layers() const { return m_starts.size() - 1; }

  void Add(std::int64_t weight) { Add(&weight, 1); }
  // `rises` null: none of the weights rises.
  void Add(const std::int64_t* weights, std::size_t count, const std::uint32_t* rises = nullptr);
  // A layer's weights as the sums of parts: part p takes one of weights[starts[p],
  // starts[p + 1]) (rising as given) or none, and all parts together rise rows - 1 at most.
  struct Parts {
    std::size_t rows = 1;
    std::vector<std::size_t> starts{0};
    std::vector<std::int64_t> weights;
    std::vector<std::uint32_t> rises;
  };
  // A layer of `weights`, every total the parts make, raised part by part on rows of its
  // own rather than weight by weight: cheaper when the weights are many sums of a few
  // parts. Walked back by its weights, as any other layer.
  void Add(const std::int64_t* weights, std::size_t count, Parts parts);
  // A layer of an artist's songs, at most parts.cap of them: no weights of its own, it is
  // walked back by ChooseCounted. Its tables reach `partsTop` (no higher total can come of
  // it), and it keeps the parts `raise` applied.
  void Add(CountedParts parts, std::int64_t partsTop, CountedRaise& raise);
  // The highest total of the last layer.
  std::int64_t Highest() const;
  // The steps a layer of `parts` takes, over tables of `words` words.
  static std::uint64_t Steps(const Parts& parts, std::uint64_t words);

  // What its tables hold now, and the most the counted layers held on the side.
  std::size_t TableBytes() const;

  bool LastHas(std::int64_t total) const { return Test(m_last.data(), total); }
  bool LastHas(std::size_t row, std::int64_t total) const { return Test(&m_last[row * m_words], total); }

  // The totals above 0 of rows 1 and up, each once, rising.
  std::vector<std::int64_t> LastTotalsAbove0Rows() const;

  // Whether `weight` added to any total of the last layer (one row) gives a total it
  // holds or one above the top: then songs of that length can add no total.
  bool ClosedUnder(std::int64_t weight) const;

  // The reachable total nearest `target`; of two equally near, the higher.
  std::int64_t Nearest(std::int64_t target) const;

  struct Take {
    std::size_t layer;
    std::int64_t weight;
    std::uint32_t rise;    // in a layer of counted parts, its count
    std::size_t part = 0;  // in a layer of counted parts
  };
  // Walks down from `total` (reachable in the last layer, in `row`), taking one of each
  // layer's weights or none; of the ways that keep the rest reachable, one at random.
  // The taken weights sum to `total`, their rises to `row`.
  std::vector<Take> Choose(std::int64_t total, Draws& draws, std::size_t row = 0);

 private:
  struct Counted {
    CountedParts parts;
    std::int64_t top;
  };
  static constexpr std::size_t kNoParts = static_cast<std::size_t>(-1);

  bool Test(const std::uint64_t* bits, std::int64_t total) const {
    if (total < 0 || total > m_top) return false;
    return (bits[static_cast<std::size_t>(total) / 64] >> (total % 64)) & 1;
  }
  std::uint64_t TopMask() const;
  std::uint32_t Rise(std::size_t w) const { return w < m_rises.size() ? m_rises[w] : 0; }
  std::size_t Stride() const { return m_rows * m_words; }
  void KeepIfSegmentStart();

  void Raise(std::uint64_t* bits, const std::uint64_t* from, std::int64_t weight, std::uint32_t rise) const;
  void RaiseRow(std::uint64_t* to, const std::uint64_t* from, std::int64_t weight) const;
  void ApplyParts(std::uint64_t* bits, const Parts& parts);
  void Apply(std::uint64_t* bits, std::size_t layer);
  const Counted* CountedAt(std::size_t layer) const;
  bool Has(std::size_t layer, std::size_t row, std::int64_t total) { return Test(Bits(layer, row), total); }
  const std::uint64_t* Bits(std::size_t layer, std::size_t row);

  std::int64_t m_top;
  std::size_t m_words;
  std::size_t m_rows;
  std::vector<std::uint64_t> m_last;
  std::vector<std::uint64_t> m_kept;  // layers 0, kSegmentLayers, 2 * kSegmentLayers, ...
  std::vector<std::int64_t> m_weights;
  std::vector<std::uint32_t> m_rises;    // of m_weights, or none when no weight rises
  std::vector<std::size_t> m_starts{0};  // layer j's weights: m_weights[m_starts[j], m_starts[j + 1])
  std::vector<std::uint64_t> m_below;
  std::vector<std::uint64_t> m_segment;
  std::size_t m_loaded = static_cast<std::size_t>(-1);
  std::vector<std::size_t> m_partsOf;  // per layer, into m_parts; none beyond its end
  std::vector<Parts> m_parts;
  std::vector<std::uint64_t> m_partRows;
  std::vector<std::size_t> m_countedOf;  // per layer, into m_counted; none beyond its end
  std::vector<Counted> m_counted;
  std::size_t m_countedBytes = 0;  // the most the counted layers' own tables held
};

}  // namespace tunyra
