#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_targets.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> InputsOf(const fs::path& folder) {
  std::vector<fs::path> files;
  if (fs::is_directory(folder))
    for (const fs::directory_entry& e : fs::directory_iterator(folder))
      if (e.is_regular_file()) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

int Replay(const fuzz::Target& target, const fs::path& folder) {
  int count = 0;
  for (const fs::path& file : InputsOf(folder)) {
    SCOPED_TRACE(file.string());
    std::string bytes = ReadAll(file);
    EXPECT_EQ("", target.body(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    ++count;
  }
  return count;
}

// Every input that once made a fuzzer report a fault, kept under
// fuzz/regressions/<target>/ (each file's name says what it found).
TEST(FuzzRegressions, KeptFaultInputsStayFixed) {
  for (const fuzz::Target& target : fuzz::kTargets) {
    SCOPED_TRACE(target.name);
    Replay(target, fs::path(TUNYRA_FUZZ_DIR) / "regressions" / target.name);
  }
}

// The seed corpus doubles as a fast smoke run of every target's checks.
TEST(FuzzRegressions, SeedCorpusPassesEveryCheck) {
  for (const fuzz::Target& target : fuzz::kTargets) {
    SCOPED_TRACE(target.name);
    EXPECT_GT(Replay(target, fs::path(TUNYRA_FUZZ_DIR) / "corpus" / target.name), 0) << "no seeds";
  }
}

// Inputs that decode to the edges: nothing at all, and all-ones.
TEST(FuzzRegressions, EmptyAndSaturatedInputs) {
  const std::string inputs[] = {std::string(), std::string(1, '\xFF'), std::string(4096, '\xFF'),
                                std::string(4096, '\0')};
  for (const fuzz::Target& target : fuzz::kTargets)
    for (const std::string& bytes : inputs) {
      SCOPED_TRACE(std::string(target.name) + ", " + std::to_string(bytes.size()) + " bytes");
      EXPECT_EQ("", target.body(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    }
}

}  // namespace
