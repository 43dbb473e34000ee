#pragma once
// The draws do not depend on the list: a copy of the generator runs a few draws ahead,
// and the pool entry a later pass will land on is fetched while this pass picks. A
// generator that cannot be copied draws without it; the picks are the same either way.
// A template over the generator, so it lives in this header alone.

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "picking/available_pool.h"
#include "picking/random_source.h"

namespace tunyra {

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
    std::size_t size = pool.Size();
    if (shrinking) {
      if (size <= static_cast<std::size_t>(kDrawsAhead)) return;
      size -= kDrawsAhead;
    }
    pool.Prefetch(static_cast<std::uint32_t>(draw % size));
  }

 private:
  Random m_ahead;
};

}  // namespace tunyra
