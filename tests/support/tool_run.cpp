#include "tests/support/tool_run.h"

#include <fcntl.h>
#include <grp.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

ToolResult StartTool(const std::string& program, const std::vector<std::string>& args, const ToolSetup& setup) {
  ToolResult tool;
  tool.outFile = setup.output.empty() ? std::tmpfile() : nullptr;
  tool.errFile = setup.errFd < 0 ? std::tmpfile() : nullptr;
  tool.pid = fork();
  if (tool.pid != 0) return tool;
  const int in = open(setup.input.c_str(), O_RDONLY);
  const int out = tool.outFile != nullptr ? fileno(tool.outFile) : open(setup.output.c_str(), O_WRONLY);
  const struct rlimit space {rlim_t(setup.addressSpace), rlim_t(setup.addressSpace)};
  if (in < 0 || out < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 ||
      (setup.addressSpace != 0 && setrlimit(RLIMIT_AS, &space) != 0) ||
      dup2(tool.errFile != nullptr ? fileno(tool.errFile) : setup.errFd, 2) < 0 ||
      (!setup.folder.empty() && chdir(setup.folder.c_str()) != 0) ||
      (setup.user && (setgroups(0, nullptr) != 0 || setgid(*setup.user) != 0 || setuid(*setup.user) != 0)))
    _exit(127);
  for (const std::string& entry : setup.env) putenv(const_cast<char*>(entry.c_str()));
  alarm(60);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  execv(program.c_str(), argv.data());
  _exit(127);
}

ToolResult& FinishTool(ToolResult& tool) {
  int status = 0;
  if (waitpid(tool.pid, &status, 0) == tool.pid) {
    tool.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    tool.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }
  for (auto [file, text] : {std::pair{&tool.outFile, &tool.out}, std::pair{&tool.errFile, &tool.err}}) {
    if (*file == nullptr) continue;
    std::rewind(*file);
    for (int c; (c = std::fgetc(*file)) != EOF;) *text += char(c);
    std::fclose(*file);
    *file = nullptr;
  }
  return tool;
}

ToolResult RunTool(const std::string& program, const std::vector<std::string>& args, const ToolSetup& setup) {
  ToolResult tool = StartTool(program, args, setup);
  return FinishTool(tool);
}

StoppedTerminal::StoppedTerminal() {
  master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return;
  tool = open(ptsname(master), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  // Ctrl-S takes effect a moment after it is typed: a second opening that does not
  // block is written to until it does (or the terminal is full, as good).
  const int probe = open(ptsname(master), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (probe >= 0 && write(master, "\x13", 1) == 1)
    while (write(probe, "x", 1) == 1) {
    }
  if (probe >= 0) close(probe);
}

StoppedTerminal::~StoppedTerminal() {
  if (tool >= 0) close(tool);
  if (master >= 0) close(master);
}
