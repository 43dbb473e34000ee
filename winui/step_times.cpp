#include "winui/step_times.h"

#include <cstdio>

namespace winui {

namespace {

constexpr char kVariable[] = "TUNYRA_STEP_TIMES";

}  // namespace

void StepTimes::Start(const char* what) {
  char file[MAX_PATH] = {};
  const DWORD length = ::GetEnvironmentVariableA(kVariable, file, sizeof file);
  m_running = length > 0 && length < sizeof file;
  m_lines.clear();
  if (!m_running) return;
  m_what = what;
  m_file = file;
  ::QueryPerformanceCounter(&m_last);
}

void StepTimes::Mark(const char* step) {
  if (!m_running) return;
  LARGE_INTEGER now;
  LARGE_INTEGER frequency;
  ::QueryPerformanceCounter(&now);
  ::QueryPerformanceFrequency(&frequency);
  char line[160];
  std::snprintf(line, sizeof line, "%s: %s\t%.4f\n", m_what.c_str(), step,
                static_cast<double>(now.QuadPart - m_last.QuadPart) / static_cast<double>(frequency.QuadPart));
  m_lines += line;
  // The writing of the line is not counted in the next step.
  ::QueryPerformanceCounter(&m_last);
}

void StepTimes::Finish() {
  if (!m_running) return;
  m_running = false;
  if (std::FILE* out = std::fopen(m_file.c_str(), "a")) {
    std::fputs(m_lines.c_str(), out);
    std::fclose(out);
  }
  m_lines.clear();
}

}  // namespace winui
