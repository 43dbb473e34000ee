#pragma once
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

}  // namespace tunyra
