#include "picking/counted_totals.h"

#include <algorithm>
#include <limits>

namespace tunyra {

namespace {

// A count is at most cap + 1, "none within the cap", and a sum of counts stops at the
// type's largest, so a cap up to 254 keeps a byte per total.
template <class Body>
auto WithCountType(std::uint32_t cap, Body body) {
  if (cap < 255) return body(std::uint8_t{});
  if (cap < 65535) return body(std::uint16_t{});
  return body(std::uint32_t{});
}

template <class T>
T Plus(T count, T more) {
  constexpr T kMost = std::numeric_limits<T>::max();
  return count > kMost - more ? kMost : static_cast<T>(count + more);
}

template <class T>
class CountTables {
 public:
  CountTables(std::int64_t top, const CountedParts& parts)
      : m_size(static_cast<std::size_t>(top) + 1), m_parts(parts), m_none(static_cast<T>(parts.cap + 1)) {}

  std::size_t Size() const { return m_size; }
  std::size_t Bytes() const { return m_size * sizeof(T); }

  void Seed(T* counts, const std::uint64_t* bits) const {
    for (std::size_t t = 0; t < m_size; ++t) counts[t] = (bits[t / 64] >> (t % 64)) & 1 ? 0 : m_none;
  }
  void Fold(std::uint64_t* bits, const T* counts) const {
    const T cap = static_cast<T>(m_parts.cap);
    for (std::size_t i = 0; i * 64 < m_size; ++i) {
      std::uint64_t word = 0;
      const std::size_t end = std::min<std::size_t>(64, m_size - i * 64);
      for (std::size_t b = 0; b < end; ++b) word |= std::uint64_t{counts[i * 64 + b] <= cap} << b;
      bits[i] |= word;
    }
  }

  // Part p taken or not: each total keeps the fewer songs.
  void Apply(T* counts, std::size_t p) {
    const std::size_t first = m_parts.starts[p];
    const std::size_t end = m_parts.starts[p + 1];
    if (m_parts.repeats[p]) return LowerRepeating(counts, m_parts.weights[first], m_parts.counts[first]);
    if (end - first == 1) return Lower(counts, counts, m_parts.weights[first], m_parts.counts[first]);
    // Several weights lower from the table before the part, never from each other.
    m_before.assign(counts, counts + m_size);
    for (std::size_t w = first; w < end; ++w) Lower(counts, m_before.data(), m_parts.weights[w], m_parts.counts[w]);
  }
  std::size_t ScratchBytes() const { return m_before.capacity() * sizeof(T); }

 private:
  // to[t] = min(to[t], from[t - weight] + count), from the top down in blocks that read
  // before they write, so `from` may be `to` and each reads only values not yet lowered.
  // Full blocks have a fixed length, which the compiler turns into vector instructions.
  void Lower(T* to, const T* from, std::int64_t weight, std::uint32_t count) const {
    if (weight <= 0 || static_cast<std::size_t>(weight) >= m_size) return;
    const auto w = static_cast<std::size_t>(weight);
    const auto n = static_cast<T>(count);
    constexpr std::size_t kBlock = 64;
    T raised[kBlock];
    std::size_t end = m_size;
    for (; end >= w + kBlock; end -= kBlock) {
      const T* source = from + (end - kBlock - w);
      T* target = to + (end - kBlock);
      for (std::size_t i = 0; i < kBlock; ++i) raised[i] = Plus(source[i], n);
      for (std::size_t i = 0; i < kBlock; ++i) target[i] = raised[i] < target[i] ? raised[i] : target[i];
    }
    for (std::size_t t = end; t-- > w;) to[t] = std::min(to[t], Plus(from[t - w], n));
  }

  // The same from the bottom up in place: each total reads one already lowered, so the
  // weight comes any number of times. Blocks read only below themselves when the weight
  // is at least a block long; a shorter one goes total by total.
  void LowerRepeating(T* counts, std::int64_t weight, std::uint32_t count) const {
    if (weight <= 0 || static_cast<std::size_t>(weight) >= m_size) return;
    const auto w = static_cast<std::size_t>(weight);
    const auto n = static_cast<T>(count);
    constexpr std::size_t kBlock = 64;
    std::size_t t = w;
    if (w >= kBlock) {
      T raised[kBlock];
      for (; t + kBlock <= m_size; t += kBlock) {
        const T* source = counts + (t - w);
        T* target = counts + t;
        for (std::size_t i = 0; i < kBlock; ++i) raised[i] = Plus(source[i], n);
        for (std::size_t i = 0; i < kBlock; ++i) target[i] = raised[i] < target[i] ? raised[i] : target[i];
      }
    }
    for (; t < m_size; ++t) counts[t] = std::min(counts[t], Plus(counts[t - w], n));
  }

  std::size_t m_size;
  const CountedParts& m_parts;
  T m_none;
  std::vector<T> m_before;
};

template <class T>
class CountedWalk {
 public:
  CountedWalk(std::int64_t top, const CountedParts& parts, const std::function<std::size_t(std::size_t)>& below,
              std::size_t keptTables, std::vector<CountedTake>& taken)
      : m_tables(top, parts),
        m_parts(parts),
        m_below(below),
        m_leaf(std::max<std::size_t>(1, keptTables)),
        m_taken(taken) {}

  std::int64_t Run(const std::uint64_t* before, std::int64_t total, std::size_t& heldBytes) {
    if (m_parts.Parts() == 0) return total;
    std::vector<T> first(m_tables.Size());
    m_tables.Seed(first.data(), before);
    Hold(1);
    std::uint32_t budget = m_parts.cap;
    total = Walk(0, m_parts.Parts(), first, total, budget);
    heldBytes = std::max(heldBytes, m_most * m_tables.Bytes() + m_tables.ScratchBytes());
    return total;
  }

 private:
  void Hold(std::ptrdiff_t tables) {
    m_held = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(m_held) + tables);
    m_most = std::max(m_most, m_held);
  }

  // `atLo`: the table before part lo. `total` is within `budget` songs in the table after
  // part hi - 1 and leaves within it in the table before part lo.
  std::int64_t Walk(std::size_t lo, std::size_t hi, const std::vector<T>& atLo, std::int64_t total,
                    std::uint32_t& budget) {
    if (hi - lo > m_leaf) {
      const std::size_t mid = lo + (hi - lo) / 2;
      std::vector<T> atMid = Copy(atLo);
      Hold(1);
      for (std::size_t p = lo; p < mid; ++p) m_tables.Apply(atMid.data(), p);
      total = Walk(mid, hi, atMid, total, budget);
      Spare(std::move(atMid));
      Hold(-1);
      return Walk(lo, mid, atLo, total, budget);
    }
    std::vector<std::vector<T>> tables;
    tables.push_back(Copy(atLo));
    for (std::size_t p = lo + 1; p < hi; ++p) {
      tables.push_back(Copy(tables.back()));
      m_tables.Apply(tables.back().data(), p - 1);
    }
    Hold(static_cast<std::ptrdiff_t>(hi - lo));
    std::vector<std::size_t> fits;
    for (std::size_t p = hi; p-- > lo;) {
      const std::vector<T>& counts = tables[p - lo];
      if (m_parts.repeats[p]) {
        total = TakeRepeating(p, counts, total, budget);
        continue;
      }
      const bool canLeave = counts[static_cast<std::size_t>(total)] <= budget;
      fits.clear();
      for (std::size_t w = m_parts.starts[p]; w < m_parts.starts[p + 1]; ++w) {
        const std::int64_t rest = total - m_parts.weights[w];
        if (rest >= 0 && m_parts.counts[w] <= budget &&
            counts[static_cast<std::size_t>(rest)] <= budget - m_parts.counts[w])
          fits.push_back(w);
      }
      const std::size_t pick = fits.empty() ? 0 : m_below(fits.size() + (canLeave ? 1 : 0));
      if (pick < fits.size()) {
        m_taken.push_back({p, fits[pick]});
        total -= m_parts.weights[fits[pick]];
        budget -= m_parts.counts[fits[pick]];
      }
    }
    for (std::vector<T>& table : tables) Spare(std::move(table));
    Hold(-static_cast<std::ptrdiff_t>(hi - lo));
    return total;
  }

  // Tables come from those given back: the walk makes as many again and again, and fresh
  // memory for each costs more than the passes over it.
  std::vector<T> Copy(const std::vector<T>& from) {
    if (m_spare.empty()) return from;
    std::vector<T> table = std::move(m_spare.back());
    m_spare.pop_back();
    table.assign(from.begin(), from.end());
    return table;
  }
  void Spare(std::vector<T>&& table) { m_spare.push_back(std::move(table)); }

  // A part that repeats: any number of its weight that leaves the rest within the budget
  // in the table before it, each number as likely.
  std::int64_t TakeRepeating(std::size_t p, const std::vector<T>& counts, std::int64_t total, std::uint32_t& budget) {
    const std::size_t w = m_parts.starts[p];
    const std::int64_t weight = m_parts.weights[w];
    const std::uint32_t count = m_parts.counts[w];
    std::vector<std::uint32_t> times;
    for (std::uint32_t k = 0; k * weight <= total && std::uint64_t{k} * count <= budget; ++k)
      if (counts[static_cast<std::size_t>(total - k * weight)] <= budget - k * count) times.push_back(k);
    const std::uint32_t k = times[m_below(times.size())];
    if (k > 0) {
      m_taken.push_back({p, w, k});
      total -= k * weight;
      budget -= k * count;
    }
    return total;
  }

  CountTables<T> m_tables;
  const CountedParts& m_parts;
  const std::function<std::size_t(std::size_t)>& m_below;
  std::size_t m_leaf;  // parts whose tables are kept at once
  std::vector<CountedTake>& m_taken;
  std::size_t m_held = 0;  // tables
  std::size_t m_most = 0;
  std::vector<std::vector<T>> m_spare;
};

}  // namespace

namespace {

std::uint64_t TableWords(std::uint32_t cap, std::int64_t top) {
  return WithCountType(cap, [&](auto zero) {
    return ((static_cast<std::uint64_t>(top) + 1) * sizeof(zero) + 7) / 8;
  });
}

std::uint64_t PartPasses(const CountedParts& parts, std::size_t p) {
  const std::size_t weights = parts.starts[p + 1] - parts.starts[p];
  return weights + (weights > 1 ? 1 : 0);
}

}  // namespace

std::uint64_t CountedSteps(const CountedParts& parts, std::int64_t top) {
  std::uint64_t passes = 2;  // seed and fold
  for (std::size_t p = 0; p < parts.Parts(); ++p) passes += PartPasses(parts, p);
  return passes * TableWords(parts.cap, top);
}

void RaiseCounted(std::uint64_t* bits, std::int64_t top, const CountedParts& parts, std::size_t& heldBytes) {
  CountedRaise raise;
  RaiseCounted(bits, top, parts, heldBytes, raise);
}

void RaiseCounted(std::uint64_t* bits, std::int64_t top, const CountedParts& parts, std::size_t& heldBytes,
                  CountedRaise& raise) {
  const std::uint64_t words = TableWords(parts.cap, top);
  raise.parts = 0;
  raise.steps = 2 * words;
  WithCountType(parts.cap, [&](auto zero) {
    using T = decltype(zero);
    CountTables<T> tables(top, parts);
    std::vector<T> counts(tables.Size());
    tables.Seed(counts.data(), bits);
    const bool stops = raise.stopAt >= 0 && raise.stopAt <= top;
    const auto at = static_cast<std::size_t>(raise.stopAt);
    for (std::size_t p = 0; p < parts.Parts(); ++p) {
      if (stops && counts[at] <= parts.cap) break;
      const std::uint64_t more = PartPasses(parts, p) * words;
      if (raise.steps + more > raise.budget) break;
      tables.Apply(counts.data(), p);
      raise.steps += more;
      ++raise.parts;
    }
    tables.Fold(bits, counts.data());
    heldBytes = std::max(heldBytes, tables.Bytes() + tables.ScratchBytes());
    return 0;
  });
}

void KeepParts(CountedParts& parts, std::size_t count) {
  if (count >= parts.Parts()) return;
  parts.starts.resize(count + 1);
  parts.repeats.resize(count);
  parts.weights.resize(parts.starts.back());
  parts.counts.resize(parts.starts.back());
}

std::size_t CountedTableBytes(std::uint32_t cap, std::int64_t top) {
  return WithCountType(cap, [&](auto zero) { return (static_cast<std::size_t>(top) + 1) * sizeof(zero); });
}

std::int64_t ChooseCounted(const std::uint64_t* before, std::int64_t top, const CountedParts& parts,
                           std::int64_t total, const std::function<std::size_t(std::size_t)>& below,
                           std::size_t keptTables, std::vector<CountedTake>& taken, std::size_t& heldBytes) {
  return WithCountType(parts.cap, [&](auto zero) {
    CountedWalk<decltype(zero)> walk(top, parts, below, keptTables, taken);
    return walk.Run(before, total, heldBytes);
  });
}

}  // namespace tunyra
