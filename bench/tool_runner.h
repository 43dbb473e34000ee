#pragma once
// Runs the command-line tool and reports its wall time and peak resident memory.
//
// A child's peak RSS counts the memory it had before exec, and a child forked from the
// benchmark inherits the benchmark's whole heap. So the runs are started by a small
// helper process forked at the beginning, while the benchmark is still small.

#include <string>
#include <sys/types.h>
#include <vector>

struct ToolRun {
  bool exited = false;
  int code = -1;
  double cpuMs = 0;  // user + system
  double wallMs = 0;
  long maxRssKb = 0;
};

class ToolRunner {
 public:
  explicit ToolRunner(std::string program);
  ~ToolRunner();
  ToolRunner(const ToolRunner&) = delete;
  ToolRunner& operator=(const ToolRunner&) = delete;

  // Starts the helper; call before the benchmark allocates much.
  bool Start();
  // Runs the program with `args`, its output discarded.
  ToolRun Run(const std::vector<std::string>& args);

 private:
  std::string m_program;
  pid_t m_helper = -1;
  int m_requests = -1;
  int m_replies = -1;
};
