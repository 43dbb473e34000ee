#pragma once
// standin.exe's command line:
//   standin.exe [--library FILE] [--plugin DLL]... [--no-plugins] [--no-library-window]
//               [--no-hotkeys] [--hostile=null,huge,lengths|all] [--hotkey=ctrl+alt+t]
//               [--demo-playlist] [--unload-on-close] [--m3u-on-exit FILE] [--log-on-exit FILE]
//               [--unregistered-common-controls]

#include <string>
#include <vector>

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

// False with `error` set on an unknown switch or a missing value.
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error);
// "ctrl+alt+t", "ctrl+shift+f5", ... (case-insensitive). False when not understood.
bool ParseHotkey(const std::string& text, HotkeyBinding& binding);

extern const char* const kCommandLineUsage;

}  // namespace standin
