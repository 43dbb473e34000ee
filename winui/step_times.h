#pragma once
// Where the time of opening the Select Songs dialog and of "Find Songs" goes, for the
// Wine benchmark (scripts/bench-wine.sh). It runs only when the environment variable
// TUNYRA_STEP_TIMES names a file: each step's seconds are then appended to that file as
// a line "<what>: <step>\t<seconds>". Otherwise a mark is the test of a flag and nothing
// is written, so users see nothing of it.

#include <windows.h>

#include <string>

namespace winui {

class StepTimes {
 public:
  // Starts timing `what` ("open", "find") when the variable is set; steps marked earlier
  // and not yet written are dropped.
  void Start(const char* what);
  // The time since the last mark (or the start) as the step `step`.
  void Mark(const char* step);
  // Writes the steps marked since the start to the file named at the start, and stops.
  void Finish();
  bool Running() const { return m_running; }

 private:
  bool m_running = false;
  std::string m_what;
  std::string m_file;
  std::string m_lines;
  LARGE_INTEGER m_last{};
};

}  // namespace winui
