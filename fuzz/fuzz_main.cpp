// One libFuzzer program per target; TUNYRA_FUZZ_BODY names the body it runs.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string fault = fuzz::TUNYRA_FUZZ_BODY(data, size);
  if (!fault.empty()) {
    std::fprintf(stderr, "fault: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}
