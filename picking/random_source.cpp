#include "picking/random_source.h"

#include <ctime>

LcgRandomSource LcgRandomSource::SeededFromTime() {
  return LcgRandomSource(static_cast<std::uint32_t>(std::time(nullptr)));
}

int LcgRandomSource::Next() {
  m_state = m_state * 214013u + 2531011u;
  return static_cast<int>((m_state >> 16) & 0x7FFFu);
}
