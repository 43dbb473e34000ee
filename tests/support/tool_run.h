#pragma once
// Runs a built command-line tool as a user would, with no shell between: stdin empty
// unless given, stdout and stderr captured, ended by an alarm (which survives exec) if it
// still runs after a minute.

#include <sys/types.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

struct ToolSetup {
  std::string folder;            // working folder, if not this one
  std::vector<std::string> env;  // NAME=value, added to ours
  std::optional<uid_t> user;     // user and group to run as (needs root)
  int errFd = -1;                // stderr, if not captured
  std::string input = "/dev/null";  // stdin
  size_t addressSpace = 0;          // bytes the tool may map, 0 for no limit
  std::string output = "";          // a file for stdout, if not captured
};

struct ToolResult {
  int code = -1, signal = 0;  // exit code, or the signal that ended it
  std::string out, err;
  pid_t pid = -1;
  std::FILE *outFile = nullptr, *errFile = nullptr;
};

ToolResult StartTool(const std::string& program, const std::vector<std::string>& args, const ToolSetup& setup = {});
ToolResult& FinishTool(ToolResult& tool);
ToolResult RunTool(const std::string& program, const std::vector<std::string>& args, const ToolSetup& setup = {});

// A terminal whose output is stopped, as by Ctrl-S: a tool showing progress on it blocks
// at its first write, holding its state until it is signalled.
struct StoppedTerminal {
  StoppedTerminal();
  ~StoppedTerminal();
  int master = -1, tool = -1;
};
