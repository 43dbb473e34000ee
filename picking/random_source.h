#pragma once
#include <cstdint>

// Draws whole numbers from 0 to 32767.
class RandomSource {
 public:
  virtual ~RandomSource() = default;
  virtual int Next() = 0;
};

// The linear congruential generator: state = state * 214013 + 2531011 (mod 2^32),
// draw = (state >> 16) & 0x7FFF. The same seed gives the same draws everywhere.
class LcgRandomSource : public RandomSource {
 public:
  explicit LcgRandomSource(std::uint32_t seed) : m_state(seed) {}
  static LcgRandomSource SeededFromTime();  // seed = time(0)
  int Next() override;

 private:
  std::uint32_t m_state;
};
