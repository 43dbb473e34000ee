#include "standin/command_line.h"

#include <cctype>

namespace standin {

const char* const kCommandLineUsage =
    "standin.exe [--library FILE] [--plugin DLL]... [--no-plugins]\n"
    "            [--no-library-window] [--no-hotkeys] [--hostile=null,huge,lengths|all]\n"
    "            [--hotkey=ctrl+alt+t] [--demo-playlist] [--unload-on-close]\n"
    "            [--m3u-on-exit FILE] [--log-on-exit FILE] [--unregistered-common-controls]\n"
    "            [--unicode-main-window] [--preload=DLL]...";

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

bool ParseHostile(const std::string& list, HostileOptions& hostile, std::string& error) {
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

}  // namespace

bool ParseHotkey(const std::string& text, HotkeyBinding& binding) {
  HotkeyBinding result{0, 0};
  std::vector<std::string> parts = Split(Lower(text), '+');
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    const bool last = i + 1 == parts.size();
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
    } else if (part.size() >= 2 && part.size() <= 3 && part[0] == 'f' &&
               std::isdigit(static_cast<unsigned char>(part[1]))) {
      const int n = std::stoi(part.substr(1));
      if (n < 1 || n > 24) return false;
      result.virtualKey = static_cast<UINT>(VK_F1 + n - 1);
    } else {
      return false;
    }
  }
  binding = result;
  return true;
}

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error) {
  CommandLine result;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string name = arg, value;
    bool hasValue = false;
    if (std::string::size_type eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      hasValue = true;
    }
    auto takeValue = [&]() -> bool {
      if (hasValue) return true;
      if (i + 1 >= args.size()) {
        error = name + " needs a value";
        return false;
      }
      value = args[++i];
      return true;
    };
    if (name == "--library") {
      if (!takeValue()) return false;
      result.library = value;
    } else if (name == "--plugin") {
      if (!takeValue()) return false;
      result.plugins.push_back(value);
    } else if (name == "--m3u-on-exit") {
      if (!takeValue()) return false;
      result.m3uOnExit = value;
    } else if (name == "--log-on-exit") {
      if (!takeValue()) return false;
      result.logOnExit = value;
    } else if (name == "--preload") {
      if (!takeValue()) return false;
      result.options.preload.push_back(value);
    } else if (name == "--hostile") {
      if (!takeValue() || !ParseHostile(value, result.options.hostile, error)) return false;
    } else if (name == "--hotkey") {
      HotkeyBinding binding;
      if (!takeValue()) return false;
      if (!ParseHotkey(value, binding)) {
        error = "cannot read the hotkey '" + value + "'";
        return false;
      }
      result.options.bindings = {binding};
    } else if (name == "--no-plugins" && !hasValue) {
      result.noPlugins = true;
    } else if (name == "--no-library-window" && !hasValue) {
      result.options.noLibraryWindow = true;
    } else if (name == "--no-hotkeys" && !hasValue) {
      result.options.noHotkeyPlugin = true;
    } else if (name == "--unload-on-close" && !hasValue) {
      result.options.unloadOnClose = true;
    } else if (name == "--unicode-main-window" && !hasValue) {
      result.options.unicodeMainWindow = true;
    } else if (name == "--unregistered-common-controls" && !hasValue) {
      result.options.unregisteredCommonControls = true;
    } else if (name == "--demo-playlist" && !hasValue) {
      result.demoPlaylist = true;
    } else {
      error = "unknown argument '" + arg + "'";
      return false;
    }
  }
  out = std::move(result);
  return true;
}

}  // namespace standin
