#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "tools/tunyra_pick/pick_command.h"
#include "tools/tunyra_pick/pick_options.h"

int main(int argc, char** argv) {
  try {
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    PickOptions options;
    std::string error;
    if (!ParsePickArguments(args, options, error)) {
      std::cerr << "tunyra-pick: " << error << "\nTry 'tunyra-pick --help'.\n";
      return kExitUsage;
    }
    if (options.help) {
      std::cout << kPickUsage;
      return kExitOk;
    }
    int code = RunPick(options, std::cout, std::cerr);
    std::cout.flush();
    if (!std::cout) {
      std::cerr << "tunyra-pick: cannot write the output\n";
      return kExitFailure;
    }
    return code;
  } catch (const std::bad_alloc&) {
    std::cerr << "tunyra-pick: out of memory\n";
    return kExitFailure;
  }
}
