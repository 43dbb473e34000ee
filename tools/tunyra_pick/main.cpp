#include <cerrno>
#include <iostream>
#include <string>
#include <vector>

#include "platform/system_reason.h"
#include "tools/tunyra_pick/pick_command.h"
#include "tools/tunyra_pick/pick_options.h"

int main(int argc, char** argv) {
  return cli::RunProgram(kPickProgram, [&] {
    std::ios::sync_with_stdio(false);
    PickOptions options;
    cli::Reading reading;
    std::string error;
    if (!ParsePickArguments(std::vector<std::string>(argv + 1, argv + argc), options, reading, error)) {
      cli::PrintUsageError(kPickProgram, error);
      return int(cli::kExitUsage);
    }
    // A failed write of the playlist leaves its reason in errno: stdout goes bad at the
    // first one (stderr, tied to it, flushes it often), and nothing after it fails.
    errno = 0;
    int code = cli::kExitOk;
    if (reading.help)
      std::cout << PickHelp();
    else if (reading.version)
      std::cout << cli::VersionText(kPickProgram);
    else
      code = RunPick(options, std::cout, std::cerr);
    if (std::cout.flush()) return code;
    const int reason = errno;
    cli::PrintError(kPickProgram, "cannot write the output" + (reason != 0 ? ": " + tunyra::SystemReason(reason) : ""));
    return int(cli::kExitFailure);
  });
}
