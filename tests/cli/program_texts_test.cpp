// What each program says of itself: --help lists every option of the program's table
// and the exit codes up to its last (and none after it), --version names the program.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "tests/support/tool_run.h"
#include "tools/tunyra_pick/pick_options.h"

namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;

TEST(ProgramTexts, HelpListsEveryOptionAndExitCodeVersionNamesTheProgram) {
  std::vector<std::string> pickOptions;
  for (const cli::Option<PickOptions>& option : PickOptionTable())
    pickOptions.push_back("\n  " + (option.shortName ? std::string(option.shortName) + ", " : "") + option.name +
                          (option.valueName ? std::string(" ") + option.valueName : ""));
  const struct {
    const char* path;
    const char* name;
    cli::ExitCode last;
    std::vector<std::string> texts;  // in --help besides the exit codes
  } cases[] = {
      {TUNYRA_PICK_PATH, "tunyra-pick", kPickProgram.lastExitCode, pickOptions},
      {TUNYRA_SCAN_PATH, "tunyra-scan", cli::kExitUsage, {"\n  -o, --output FILE", "\n  --replace"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ToolResult help = RunTool(c.path, {"--help"});
    EXPECT_EQ(help.code, cli::kExitOk);
    for (const std::string& text : c.texts) EXPECT_THAT(help.out, HasSubstr(text));
    for (const char* common : {"\n  -h, --help", "\n  --version", "\n  --  "}) EXPECT_THAT(help.out, HasSubstr(common));
    EXPECT_THAT(help.out, EndsWith("\n" + cli::ExitCodeHelp(c.last)));
    const ToolResult version = RunTool(c.path, {"--version"});
    EXPECT_EQ(version.code, cli::kExitOk);
    EXPECT_EQ(version.out, std::string(c.name) + " " TUNYRA_VERSION "\n");
  }
  // The table's own wording: the codes right-aligned under the widest.
  for (const auto& [last, text] : {std::pair{cli::kExitMpdUnsendable, "Exit codes:\n   0  done"},
                                   std::pair{cli::kExitMpdUnsendable, "\n   6  nothing picked"},
                                   std::pair{cli::kExitMpdUnsendable, "\n  12  a song or name that MPD cannot take"},
                                   std::pair{cli::kExitUsage, "Exit codes:\n  0  done"},
                                   std::pair{cli::kExitUsage, "\n  1  not enough memory, or the output"},
                                   std::pair{cli::kExitUsage, "\n  2  bad arguments"}})
    EXPECT_THAT(cli::ExitCodeHelp(last), HasSubstr(text));
}

}  // namespace
