#include "picking/reach_layers.h"

#include <algorithm>
#include <bit>

namespace tunyra {

ReachLayers::ReachLayers(std::int64_t top, std::size_t rows)
    : m_top(top), m_words(static_cast<std::size_t>(top / 64 + 1)), m_rows(rows), m_last(rows * m_words, 0) {
  m_last[0] = 1;
  m_kept = m_last;
}

void ReachLayers::Add(const std::int64_t* weights, std::size_t count, const std::uint32_t* rises) {
  m_weights.insert(m_weights.end(), weights, weights + count);
  if (rises) {
    m_rises.resize(m_weights.size() - count, 0);
    m_rises.insert(m_rises.end(), rises, rises + count);
  }
  m_starts.push_back(m_weights.size());
  Apply(m_last.data(), Layers() - 1);
  KeepIfSegmentStart();
}

void ReachLayers::Add(const std::int64_t* weights, std::size_t count, Parts parts) {
  m_partsOf.resize(Layers(), kNoParts);
  m_partsOf.push_back(m_parts.size());
  m_parts.push_back(std::move(parts));
  Add(weights, count);
}

void ReachLayers::Add(CountedParts parts, std::int64_t partsTop, CountedRaise& raise) {
  m_countedOf.resize(Layers(), kNoParts);
  m_countedOf.push_back(m_counted.size());
  m_counted.push_back({std::move(parts), std::min(partsTop, m_top)});
  m_starts.push_back(m_weights.size());
  Counted& counted = m_counted.back();
  RaiseCounted(m_last.data(), counted.top, counted.parts, m_countedBytes, raise);
  KeepParts(counted.parts, raise.parts);
  KeepIfSegmentStart();
}

void ReachLayers::KeepIfSegmentStart() {
  if (Layers() % kSegmentLayers == 0) m_kept.insert(m_kept.end(), m_last.begin(), m_last.end());
}

std::int64_t ReachLayers::Highest() const {
  for (std::size_t i = m_words; i-- > 0;) {
    const std::uint64_t word = i + 1 == m_words ? m_last[i] & TopMask() : m_last[i];
    if (word != 0) return static_cast<std::int64_t>(i * 64 + 63) - std::countl_zero(word);
  }
  return 0;
}

std::uint64_t ReachLayers::Steps(const Parts& parts, std::uint64_t words) {
  std::uint64_t rows = parts.rows;  // set aside, then folded
  for (std::uint32_t rise : parts.rises) rows += parts.rows - rise;
  return rows * words;
}

std::size_t ReachLayers::TableBytes() const {
  return 8 * (m_last.capacity() + m_kept.capacity() + m_below.capacity() + m_segment.capacity() +
              m_partRows.capacity()) +
         m_countedBytes;
}

std::vector<std::int64_t> ReachLayers::LastTotalsAbove0Rows() const {
  std::vector<std::int64_t> totals;
  for (std::size_t i = 0; i < m_words; ++i) {
    std::uint64_t word = 0;
    for (std::size_t row = 1; row < m_rows; ++row) word |= m_last[row * m_words + i];
    if (i + 1 == m_words) word &= TopMask();
    for (; word != 0; word &= word - 1) totals.push_back(static_cast<std::int64_t>(i * 64) + std::countr_zero(word));
  }
  return totals;
}

bool ReachLayers::ClosedUnder(std::int64_t weight) const {
  const auto q = static_cast<std::size_t>(weight / 64);
  const auto r = static_cast<unsigned>(weight % 64);
  for (std::size_t i = q; i < m_words; ++i) {
    std::uint64_t w = m_last[i - q] << r;
    if (r != 0 && i > q) w |= m_last[i - q - 1] >> (64 - r);
    if (i + 1 == m_words) w &= TopMask();
    if (w & ~m_last[i]) return false;
  }
  return true;
}

std::int64_t ReachLayers::Nearest(std::int64_t target) const {
  for (std::int64_t d = 0;; ++d) {
    if (LastHas(target + d)) return target + d;
    if (LastHas(target - d)) return target - d;
  }
}

std::vector<ReachLayers::Take> ReachLayers::Choose(std::int64_t total, Draws& draws, std::size_t row) {
  std::vector<Take> taken;
  std::vector<std::size_t> fits;
  for (std::size_t j = Layers(); j > 0; --j) {
    if (const Counted* counted = CountedAt(j - 1)) {
      std::vector<CountedTake> takes;
      const std::uint64_t* before = Bits(j - 1, 0);
      const CountedParts& parts = counted->parts;
      // The walk reads no total above the one it starts from.
      total = ChooseCounted(
          before, std::min(counted->top, total), parts, total, [&](std::size_t n) { return draws.Below(n); },
          kSegmentLayers, takes, m_countedBytes);
      for (const CountedTake& take : takes)
        taken.push_back(
            {j - 1, take.times * parts.weights[take.weight], take.times * parts.counts[take.weight], take.part});
      continue;
    }
    const std::size_t first = m_starts[j - 1];
    const std::size_t count = m_starts[j] - first;
    const bool canLeave = Has(j - 1, row, total);
    auto fitsAt = [&](std::size_t w) {
      const std::uint32_t rise = Rise(w);
      return total >= m_weights[w] && rise <= row && Has(j - 1, row - rise, total - m_weights[w]);
    };
    auto take = [&](std::size_t w) {
      taken.push_back({j - 1, m_weights[w], Rise(w)});
      total -= m_weights[w];
      row -= Rise(w);
    };
    if (count == 1) {
      if (fitsAt(first) && (!canLeave || draws.Coin())) take(first);
      continue;
    }
    fits.clear();
    for (std::size_t w = first; w < first + count; ++w)
      if (fitsAt(w)) fits.push_back(w);
    const std::size_t pick = draws.Below(fits.size() + (canLeave ? 1 : 0));
    if (pick < fits.size()) take(fits[pick]);
  }
  return taken;
}

std::uint64_t ReachLayers::TopMask() const {
  const auto last = static_cast<unsigned>(m_top % 64);
  return last == 63 ? ~std::uint64_t{0} : (std::uint64_t{2} << last) - 1;
}

// bits |= from << weight, row by row from `rise` rows below, also in place (from ==
// bits): from the top row and word down, each word reads only words at or below it
// that are not yet raised. Bits above `top` in a row's last word are never read and
// only ever move further up.
void ReachLayers::Raise(std::uint64_t* bits, const std::uint64_t* from, std::int64_t weight, std::uint32_t rise) const {
  for (std::size_t row = m_rows; row-- > rise;) RaiseRow(bits + row * m_words, from + (row - rise) * m_words, weight);
}

void ReachLayers::RaiseRow(std::uint64_t* to, const std::uint64_t* from, std::int64_t weight) const {
  const auto q = static_cast<std::size_t>(weight / 64);
  const auto r = static_cast<unsigned>(weight % 64);
  if (weight <= 0 || q >= m_words) return;
  for (std::size_t i = m_words; i-- > q;) {
    std::uint64_t w = from[i - q] << r;
    if (r != 0 && i > q) w |= from[i - q - 1] >> (64 - r);
    to[i] |= w;
  }
}

// Row 0 is the layer below (one row), the others are set aside. Each part raises each
// row from rows below it, the top row first, so that it is taken once at most; then
// the rows fold into row 0.
void ReachLayers::ApplyParts(std::uint64_t* bits, const Parts& parts) {
  m_partRows.assign(parts.rows * m_words, 0);
  auto row = [&](std::size_t k) { return k == 0 ? bits : &m_partRows[k * m_words]; };
  for (std::size_t p = 0; p + 1 < parts.starts.size(); ++p)
    for (std::size_t k = parts.rows; k-- > 1;)
      for (std::size_t w = parts.starts[p]; w < parts.starts[p + 1]; ++w)
        if (parts.rises[w] <= k) RaiseRow(row(k), row(k - parts.rises[w]), parts.weights[w]);
  for (std::size_t k = 1; k < parts.rows; ++k)
    for (std::size_t i = 0; i < m_words; ++i) bits[i] |= m_partRows[k * m_words + i];
}

// Several weights raise from the layer below, not from each other: no two of them are
// ever taken together.
void ReachLayers::Apply(std::uint64_t* bits, std::size_t layer) {
  if (layer < m_partsOf.size() && m_partsOf[layer] != kNoParts) return ApplyParts(bits, m_parts[m_partsOf[layer]]);
  if (const Counted* counted = CountedAt(layer))
    return RaiseCounted(bits, counted->top, counted->parts, m_countedBytes);
  const std::size_t first = m_starts[layer];
  const std::size_t count = m_starts[layer + 1] - first;
  if (count == 1) return Raise(bits, bits, m_weights[first], Rise(first));
  m_below.assign(bits, bits + Stride());
  for (std::size_t w = first; w < first + count; ++w) Raise(bits, m_below.data(), m_weights[w], Rise(w));
}

const ReachLayers::Counted* ReachLayers::CountedAt(std::size_t layer) const {
  return layer < m_countedOf.size() && m_countedOf[layer] != kNoParts ? &m_counted[m_countedOf[layer]] : nullptr;
}

// The walk back asks for layers in falling order, so each segment is rebuilt once.
const std::uint64_t* ReachLayers::Bits(std::size_t layer, std::size_t row) {
  const std::size_t segment = layer / kSegmentLayers;
  if (segment != m_loaded) {
    m_segment.assign(kSegmentLayers * Stride(), 0);
    std::copy_n(m_kept.begin() + static_cast<std::ptrdiff_t>(segment * Stride()), Stride(), m_segment.begin());
    for (std::size_t k = 1; k < kSegmentLayers && segment * kSegmentLayers + k <= Layers(); ++k) {
      std::uint64_t* bits = &m_segment[k * Stride()];
      std::copy_n(bits - Stride(), Stride(), bits);
      Apply(bits, segment * kSegmentLayers + k - 1);
    }
    m_loaded = segment;
  }
  return &m_segment[(layer % kSegmentLayers) * Stride() + row * m_words];
}

}  // namespace tunyra
