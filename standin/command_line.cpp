#include "standin/command_line.h"

#include <cctype>

#include "library/whole_number.h"

namespace standin {

const cli::Program kStandinProgram = {
    "standin",
    "Usage: standin.exe [options]\n"
    "\n"
    "The stand-in player: loads the library file and the gen_*.dll plug-ins, shows the\n"
    "playlist and the messages it receives, and answers the plug-ins as the real\n"
    "player would. Switches make it a hostile host.\n",
    cli::kExitOk,  // the tools' table is not the player's: it ends with what the window loop ends with
};

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string::size_type start = 0;
  for (;;) {
    std::string::size_type end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

bool ParseHostile(const std::string& list, CommandLine& line, std::string& error) {
  HostileOptions& hostile = line.options.hostile;
  for (const std::string& item : Split(Lower(list), ',')) {
    if (item == "null") {
      hostile.nullFields = true;
    } else if (item == "huge") {
      hostile.hugeStrings = true;
    } else if (item == "lengths") {
      hostile.badLengths = true;
    } else if (item == "all") {
      hostile = HostileOptions{true, true, true, false};
    } else {
      error = "unknown hostile option '" + item + "' (null, huge, lengths, all)";
      return false;
    }
  }
  return true;
}

bool ApplyHotkey(const std::string& value, CommandLine& line, std::string& error) {
  HotkeyBinding binding;
  if (!ParseHotkey(value, binding)) {
    error = "cannot read the hotkey '" + value + "'";
    return false;
  }
  line.options.bindings = {binding};
  return true;
}

// A switch that sets one flag.
template <bool CommandLine::*Flag>
bool Set(const std::string&, CommandLine& line, std::string&) {
  return line.*Flag = true;
}
template <bool StandinOptions::*Flag>
bool SetOption(const std::string&, CommandLine& line, std::string&) {
  return line.options.*Flag = true;
}
// A switch that takes a file name.
template <std::string CommandLine::*Name>
bool Take(const std::string& value, CommandLine& line, std::string&) {
  line.*Name = value;
  return true;
}

using cli::ValueUse;
using StandinOption = cli::Option<CommandLine>;

constexpr StandinOption kOptions[] = {
    {"--library", nullptr, ValueUse::Required, "FILE", Take<&CommandLine::library>,
     "the library file (default: library.tsv or\nsamples/library.tsv beside the program or above it).", nullptr, 0},
    {"--plugin", nullptr, ValueUse::Required, "DLL",
     [](const std::string& value, CommandLine& line, std::string&) {
       line.plugins.push_back(value);
       return true;
     },
     "load this plug-in; repeat for more (default: every\ngen_*.dll beside the program).", nullptr, 0},
    {"--no-plugins", nullptr, ValueUse::None, nullptr, Set<&CommandLine::noPlugins>, "load no plug-in.", nullptr, 0},
    {"--demo-playlist", nullptr, ValueUse::None, nullptr, Set<&CommandLine::demoPlaylist>,
     "start with a playlist from the library.", nullptr, 0},
    {"--m3u-on-exit", nullptr, ValueUse::Required, "FILE", Take<&CommandLine::m3uOnExit>,
     "write the playlist to FILE when the player ends.", nullptr, 0},
    {"--log-on-exit", nullptr, ValueUse::Required, "FILE", Take<&CommandLine::logOnExit>,
     "write the messages received to FILE when the player\nends.", nullptr, 0},
    {"--no-library-window", nullptr, ValueUse::None, nullptr, SetOption<&StandinOptions::noLibraryWindow>,
     "a host without a Media Library.", "Hosts a plug-in must survive:", 0},
    {"--no-hotkeys", nullptr, ValueUse::None, nullptr, SetOption<&StandinOptions::noHotkeyPlugin>,
     "a host without a hotkey plug-in.", nullptr, 0},
    {"--hostile", nullptr, ValueUse::Required, "LIST",
     [](const std::string& value, CommandLine& line, std::string& error) { return ParseHostile(value, line, error); },
     "library results with null fields, huge strings or bad\nlengths: null,huge,lengths or all.", nullptr, 0},
    {"--hotkey", nullptr, ValueUse::Required, "KEYS", ApplyHotkey,
     "the global key of the first hotkey (ctrl+alt+t).", nullptr, 0},
    {"--unload-on-close", nullptr, ValueUse::None, nullptr, SetOption<&StandinOptions::unloadOnClose>,
     "unload every plug-in from inside the close handling.", nullptr, 0},
    {"--unicode-main-window", nullptr, ValueUse::None, nullptr, SetOption<&StandinOptions::unicodeMainWindow>,
     "a main window, class and loop of the wide functions.", nullptr, 0},
    {"--unregistered-common-controls", nullptr, ValueUse::None, nullptr,
     SetOption<&StandinOptions::unregisteredCommonControls>, "no common-control class until a plug-in asks.", nullptr,
     0},
    {"--preload", nullptr, ValueUse::Required, "DLL",
     [](const std::string& value, CommandLine& line, std::string&) {
       line.options.preload.push_back(value);
       return true;
     },
     "load DLL before any plug-in; repeatable.", nullptr, 0},
};

}  // namespace

bool ParseHotkey(const std::string& text, HotkeyBinding& binding) {
  HotkeyBinding result{0, 0};
  std::vector<std::string> parts = Split(Lower(text), '+');
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    const bool last = i + 1 == parts.size();
    int function = 0;
    if (!last) {
      if (part == "ctrl" || part == "control") {
        result.modifiers |= MOD_CONTROL;
      } else if (part == "alt") {
        result.modifiers |= MOD_ALT;
      } else if (part == "shift") {
        result.modifiers |= MOD_SHIFT;
      } else if (part == "win") {
        result.modifiers |= MOD_WIN;
      } else {
        return false;
      }
    } else if (part.size() == 1 && std::isalnum(static_cast<unsigned char>(part[0]))) {
      result.virtualKey = static_cast<UINT>(std::toupper(static_cast<unsigned char>(part[0])));
    } else if (part.size() >= 2 && part[0] == 'f' && tunyra::ParseWholeNumber(part.substr(1), 1, 24, function)) {
      result.virtualKey = static_cast<UINT>(VK_F1 + function - 1);
    } else {
      return false;
    }
  }
  binding = result;
  return true;
}

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, cli::Reading& reading,
                      std::string& error) {
  CommandLine result;
  auto noOperand = [](const std::string& operand, std::string& why) {
    why = "unknown argument '" + operand + "'";
    return false;
  };
  if (!cli::ParseCommandLine(args, std::span<const StandinOption>(kOptions), result, noOperand, reading, error))
    return false;
  out = std::move(result);
  return true;
}

std::string CommandLineHelp() { return cli::HelpText(kStandinProgram, std::span<const StandinOption>(kOptions)); }

}  // namespace standin
