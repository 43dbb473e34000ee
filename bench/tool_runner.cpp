#include "bench/tool_runner.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>

namespace {

bool WriteAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = write(fd, p, size);
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool ReadAll(int fd, void* data, size_t size) {
  char* p = static_cast<char*>(data);
  while (size > 0) {
    ssize_t n = read(fd, p, size);
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

ToolRun RunOnce(const std::string& program, const std::vector<std::string>& args) {
  ToolRun run;
  const auto start = std::chrono::steady_clock::now();
  pid_t child = fork();
  if (child == 0) {
    int devNull = open("/dev/null", O_WRONLY);
    if (devNull >= 0) {
      dup2(devNull, 1);
      dup2(devNull, 2);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (child > 0 && wait4(child, &status, 0, &usage) == child) {
    run.wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    run.exited = WIFEXITED(status);
    run.code = run.exited ? WEXITSTATUS(status) : -1;
    run.maxRssKb = usage.ru_maxrss;
    run.cpuMs = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
  }
  return run;
}

// The helper's loop: one request (argument count, then each argument's length and
// bytes), one reply (a ToolRun), until the benchmark closes the pipe.
[[noreturn]] void Serve(const std::string& program, int requests, int replies) {
  for (;;) {
    std::uint32_t count = 0;
    if (!ReadAll(requests, &count, sizeof count)) _exit(0);
    std::vector<std::string> args(count);
    for (std::string& arg : args) {
      std::uint32_t length = 0;
      if (!ReadAll(requests, &length, sizeof length)) _exit(1);
      arg.resize(length);
      if (length && !ReadAll(requests, arg.data(), length)) _exit(1);
    }
    ToolRun run = RunOnce(program, args);
    if (!WriteAll(replies, &run, sizeof run)) _exit(1);
  }
}

}  // namespace

ToolRunner::ToolRunner(std::string program) : m_program(std::move(program)) {}

ToolRunner::~ToolRunner() {
  if (m_requests >= 0) close(m_requests);
  if (m_replies >= 0) close(m_replies);
  if (m_helper > 0) waitpid(m_helper, nullptr, 0);
}

bool ToolRunner::Start() {
  int toHelper[2];
  int fromHelper[2];
  if (pipe(toHelper) != 0) return false;
  if (pipe(fromHelper) != 0) {
    close(toHelper[0]);
    close(toHelper[1]);
    return false;
  }
  m_helper = fork();
  if (m_helper == 0) {
    close(toHelper[1]);
    close(fromHelper[0]);
    Serve(m_program, toHelper[0], fromHelper[1]);
  }
  close(toHelper[0]);
  close(fromHelper[1]);
  m_requests = toHelper[1];
  m_replies = fromHelper[0];
  return m_helper > 0;
}

ToolRun ToolRunner::Run(const std::vector<std::string>& args) {
  ToolRun run;
  std::uint32_t count = static_cast<std::uint32_t>(args.size());
  bool ok = WriteAll(m_requests, &count, sizeof count);
  for (const std::string& arg : args) {
    std::uint32_t length = static_cast<std::uint32_t>(arg.size());
    ok = ok && WriteAll(m_requests, &length, sizeof length) && WriteAll(m_requests, arg.data(), arg.size());
  }
  if (!ok || !ReadAll(m_replies, &run, sizeof run)) run = ToolRun();
  return run;
}
