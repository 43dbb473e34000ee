#pragma once
// The progress line a scan shows on a terminal: files done of the total, files per
// second and the time left, redrawn a few times a second on one line of stderr.

#include <chrono>
#include <cstdio>

#include "scan/library_scan.h"

namespace tunyra {

class ScanProgressLine {
 public:
  ScanProgressLine(std::FILE* out, bool enabled) : m_out(out), m_enabled(enabled) {}
  ScanProgressLine(const ScanProgressLine&) = delete;
  ScanProgressLine& operator=(const ScanProgressLine&) = delete;

  void Update(const ScanProgress& progress);
  void Finish();  // clears the line

 private:
  using Clock = std::chrono::steady_clock;
  std::FILE* m_out;
  bool m_enabled;
  bool m_shown = false;
  bool m_reading = false;
  Clock::time_point m_start{};  // when the files began to be read
  Clock::time_point m_lastDraw{};
};

}  // namespace tunyra
