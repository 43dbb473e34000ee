#pragma once
#include <cstddef>
#include <cstdint>

namespace tunyra {

// Draws whole numbers from 0 to 32767.
class RandomSource {
 public:
  virtual ~RandomSource() = default;
  virtual int Next() = 0;
};

// The linear congruential generator: state = state * 214013 + 2531011 (mod 2^32),
// draw = (state >> 16) & 0x7FFF. The same seed gives the same draws everywhere.
class LcgRandomSource final : public RandomSource {
 public:
  explicit LcgRandomSource(std::uint32_t seed) : m_state(seed) {}
  // Inline and final: FillTime has an overload for it that draws without a call.
  int Next() override {
    m_state = m_state * 214013u + 2531011u;
    return static_cast<int>((m_state >> 16) & 0x7FFFu);
  }

 private:
  std::uint32_t m_state;
};

// A whole number from 0 to 2^30 - 1 made of two draws, the first the high half: one
// draw reaches only 32768 values.
template <typename Random>
std::uint32_t CombinedDraw(Random& random) {
  const auto high = static_cast<std::uint32_t>(random.Next());
  const auto low = static_cast<std::uint32_t>(random.Next());
  return (high << 15) | low;
}

// The draws the exact fit makes of a random source.
class Draws {
 public:
  explicit Draws(RandomSource& random) : m_random(random) {}
  // [0, n) for n from 1 to 2^30: one draw up to its reach, two combined beyond.
  std::size_t Below(std::size_t n) {
    if (n <= 32768) return static_cast<std::size_t>(m_random.Next()) % n;
    return CombinedDraw(m_random) % n;
  }
  // The top bit: the generator's low bits repeat with short periods.
  bool Coin() { return m_random.Next() >= 16384; }
  // In (0, 1).
  double Unit() { return (static_cast<double>(Below(std::size_t{1} << 30)) + 0.5) / double(1u << 30); }

 private:
  RandomSource& m_random;
};

}  // namespace tunyra
