// The words of the comment line that makes a playlist again, read back by real shells;
// the line holds no control character, as it may be shown on a terminal.

#include "cli/shell_words.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/random_bytes.h"
#include "tests/support/tool_run.h"

namespace {

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\x7f'; }

// NUL is left out: no command-line argument can hold it. A text ending in line breaks
// loses them (the shell strips them from what printf prints), as documented.
std::string ExpectedBack(const std::string& text) {
  if (std::none_of(text.begin(), text.end(), IsControl)) return text;
  return text.substr(0, text.find_last_not_of('\n') + 1);
}

TEST(ShellLine, RandomTextsReadBackThroughShShellsOnOneLine) {
  RandomBytes random(7531);
  std::vector<std::string> texts = {"", "-", "a b", "'", "\n", "a\n", "\\n", "$(x)", "%b", "\\0101", "\\c", "\x1b[2J", "\t1"};
  while (texts.size() < 1500) texts.push_back(random.Text(14, std::string_view("\0", 1)));

  std::vector<std::string> words = {"printf", "%s\\0"};
  words.insert(words.end(), texts.begin(), texts.end());
  const std::string script = cli::ShellLine(words) + "\n";
  ASSERT_TRUE(std::none_of(script.begin(), script.end() - 1, IsControl));
  const std::string path =
      (std::filesystem::temp_directory_path() / ("tunyra_shell_words_" + std::to_string(getpid()) + ".sh")).string();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(script.data(), 1, script.size(), file);
  std::fclose(file);

  for (const char* shell : {"/bin/sh", "/bin/bash"}) {
    SCOPED_TRACE(shell);
    const ToolResult run = RunTool(shell, {path});
    ASSERT_EQ(run.code, 0) << run.err;
    size_t at = 0, i = 0;
    for (; i < texts.size() && at < run.out.size(); ++i) {
      const size_t end = run.out.find('\0', at);
      ASSERT_NE(end, std::string::npos);
      ASSERT_EQ(run.out.substr(at, end - at), ExpectedBack(texts[i]))
          << testing::PrintToString(texts[i]) << " as " << cli::ShellLine({texts[i]});
      at = end + 1;
    }
    EXPECT_EQ(i, texts.size());
    EXPECT_EQ(at, run.out.size());
  }
  std::filesystem::remove(path);
}

}  // namespace
