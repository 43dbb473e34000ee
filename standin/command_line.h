#pragma once
// standin.exe's command line, read by the command-line layer the tools share
// (cli/command_line.h): its option table, and the hotkey and hostile-host values.

#include <string>
#include <vector>

#include "cli/command_line.h"
#include "standin/standin_options.h"

namespace standin {

struct CommandLine {
  std::string library;               // "" = the default library file
  std::vector<std::string> plugins;  // none given = every gen_*.dll beside the program
  bool noPlugins = false;
  bool demoPlaylist = false;         // start with a playlist from the library
  std::string m3uOnExit;
  std::string logOnExit;
  StandinOptions options;
};

extern const cli::Program kStandinProgram;

// False with `error` set on an unknown switch, a missing value or an operand; `out` is
// changed only on success.
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, cli::Reading& reading,
                      std::string& error);
std::string CommandLineHelp();
// "ctrl+alt+t", "ctrl+shift+f5", ... (case-insensitive). False when not understood.
bool ParseHotkey(const std::string& text, HotkeyBinding& binding);

}  // namespace standin
