#include "scan/scan_progress.h"

namespace tunyra {

void ScanProgressLine::Update(const ScanProgress& progress) {
  if (!m_enabled) return;
  Clock::time_point now = Clock::now();
  if (!progress.listing && !m_reading) {
    m_reading = true;
    m_start = now;
  }
  bool last = !progress.listing && progress.done == progress.total;
  if (!last && now - m_lastDraw < std::chrono::milliseconds(200)) return;
  m_lastDraw = now;
  if (progress.listing) {
    std::fprintf(m_out, "\r\033[Klisting folders: %zu audio files found", progress.total);
  } else {
    double seconds = std::chrono::duration<double>(now - m_start).count();
    double rate = seconds > 0 ? double(progress.done) / seconds : 0;
    long left = rate > 0 ? long(double(progress.total - progress.done) / rate + 0.5) : -1;
    std::fprintf(m_out, "\r\033[K%zu/%zu files, %.0f files/s, ", progress.done, progress.total, rate);
    if (left >= 0)
      std::fprintf(m_out, "%ld:%02ld left", left / 60, left % 60);
    else
      std::fprintf(m_out, "time left unknown");
  }
  std::fflush(m_out);
  m_shown = true;
}

void ScanProgressLine::Finish() {
  if (!m_shown) return;
  std::fprintf(m_out, "\r\033[K");
  std::fflush(m_out);
  m_shown = false;
}

}  // namespace tunyra
