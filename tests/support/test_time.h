#pragma once
// Every bound a Windows test waits for, scaled by one factor from the environment:
// TUNYRA_TEST_TIME_FACTOR (a positive number, default 1). A slow or heap-checking
// machine sets it above 1; a run with it far below 1 shows that a wait that runs out
// fails its test and lets the program end.

#include <windows.h>

#include <cstdlib>

namespace test_support {

inline double TimeFactor() {
  static const double factor = [] {
    const char* text = std::getenv("TUNYRA_TEST_TIME_FACTOR");
    char* end = nullptr;
    const double value = text ? std::strtod(text, &end) : 1.0;
    return text && end != text && value > 0 && value < 1000 ? value : 1.0;
  }();
  return factor;
}

// `ms` scaled; 0 stays 0 (a look that does not wait), INFINITE is never asked for.
inline DWORD ScaledMs(DWORD ms) {
  const double scaled = static_cast<double>(ms) * TimeFactor();
  return scaled >= 0xFFFFFFF0u ? 0xFFFFFFF0u : static_cast<DWORD>(scaled);
}

}  // namespace test_support
