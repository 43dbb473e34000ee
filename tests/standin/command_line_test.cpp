// standin.exe's switches.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "standin/command_line.h"

using standin::CommandLine;
using standin::HotkeyBinding;

namespace {

TEST(StandinCommandLine, SwitchesSetTheirOptions) {
  CommandLine line;
  cli::Reading reading;
  std::string error;
  ASSERT_TRUE(standin::ParseCommandLine(
      {"--library", "Z:\\lib.tsv", "--plugin", "a.dll", "--plugin=b.dll", "--no-library-window",
       "--no-hotkeys", "--hostile=null,lengths", "--m3u-on-exit", "out.m3u",
       "--log-on-exit=log.txt", "--demo-playlist", "--unload-on-close", "--unicode-main-window",
       "--preload=libgcc_s_dw2-1.dll", "--preload", "x.dll", "--unregistered-common-controls"},
      line, reading, error))
      << error;
  EXPECT_EQ(line.library, "Z:\\lib.tsv");
  EXPECT_EQ(line.plugins, (std::vector<std::string>{"a.dll", "b.dll"}));
  EXPECT_TRUE(line.options.noLibraryWindow);
  EXPECT_TRUE(line.options.noHotkeyPlugin);
  EXPECT_TRUE(line.options.hostile.nullFields);
  EXPECT_FALSE(line.options.hostile.hugeStrings);
  EXPECT_TRUE(line.options.hostile.badLengths);
  EXPECT_EQ(line.m3uOnExit, "out.m3u");
  EXPECT_EQ(line.logOnExit, "log.txt");
  EXPECT_TRUE(line.demoPlaylist);
  EXPECT_TRUE(line.options.unloadOnClose);
  EXPECT_TRUE(line.options.unicodeMainWindow);
  EXPECT_EQ(line.options.preload, (std::vector<std::string>{"libgcc_s_dw2-1.dll", "x.dll"}));
  EXPECT_TRUE(line.options.unregisteredCommonControls);
  EXPECT_FALSE(line.noPlugins);

  CommandLine defaults;
  ASSERT_TRUE(standin::ParseCommandLine({}, defaults, reading, error));
  EXPECT_TRUE(defaults.library.empty());
  EXPECT_TRUE(defaults.plugins.empty());
  EXPECT_FALSE(defaults.options.hostile.Any());
  EXPECT_TRUE(defaults.options.registerGlobalHotkeys);
  EXPECT_FALSE(defaults.options.unloadOnClose);
  EXPECT_FALSE(defaults.options.unicodeMainWindow);
  EXPECT_TRUE(defaults.options.preload.empty());
  EXPECT_FALSE(defaults.options.unregisteredCommonControls);
  ASSERT_EQ(defaults.options.bindings.size(), 1u);
  EXPECT_EQ(defaults.options.bindings[0].modifiers, static_cast<UINT>(MOD_CONTROL | MOD_ALT));
  EXPECT_EQ(defaults.options.bindings[0].virtualKey, static_cast<UINT>('T'));

  ASSERT_TRUE(standin::ParseCommandLine({"--hostile=all", "--no-plugins"}, line, reading, error));
  EXPECT_TRUE(line.options.hostile.nullFields && line.options.hostile.hugeStrings &&
              line.options.hostile.badLengths);
  EXPECT_TRUE(line.noPlugins);
  EXPECT_FALSE(reading.help || reading.version);
  ASSERT_TRUE(standin::ParseCommandLine({"--version", "-h"}, line, reading, error));
  EXPECT_TRUE(reading.version && reading.help);
}

TEST(StandinCommandLine, MistakesAreRefusedWithAReason) {
  struct Case {
    std::vector<std::string> args;
    const char* reason;
  };
  const Case cases[] = {
      {{"--library"}, "needs a value"},
      {{"--plugin"}, "needs a value"},
      {{"--hostile=null,nasty"}, "nasty"},
      {{"--hotkey=ctrl+banana"}, "hotkey"},
      {{"--frobnicate"}, "unknown option '--frobnicate'"},
      {{"--no-plugins=yes"}, "--no-plugins takes no value"},
      {{"library.tsv"}, "unknown argument 'library.tsv'"},
      // After "--" nothing is a switch, and the stand-in takes no operand.
      {{"--", "--no-plugins"}, "unknown argument '--no-plugins'"},
      {{"--version=1"}, "--version takes no value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    CommandLine line;
    line.library = "unchanged";
    cli::Reading reading;
    std::string error;
    EXPECT_FALSE(standin::ParseCommandLine(c.args, line, reading, error));
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_EQ(line.library, "unchanged") << "a refused line changes nothing";
  }
}

TEST(StandinCommandLine, HotkeyTexts) {
  struct Case {
    const char* text;
    bool ok;
    UINT modifiers;
    UINT key;
  };
  const Case cases[] = {
      {"ctrl+alt+t", true, MOD_CONTROL | MOD_ALT, 'T'},
      {"Ctrl+Shift+F5", true, MOD_CONTROL | MOD_SHIFT, VK_F5},
      {"alt+9", true, MOD_ALT, '9'},
      {"win+f24", true, MOD_WIN, VK_F24},
      {"x", true, 0, 'X'},
      {"ctrl+f25", false, 0, 0},
      {"ctrl+", false, 0, 0},
      {"hyper+t", false, 0, 0},
      {"ctrl+alt+tab", false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    HotkeyBinding binding{123, 456};
    EXPECT_EQ(standin::ParseHotkey(c.text, binding), c.ok);
    if (c.ok) {
      EXPECT_EQ(binding.modifiers, c.modifiers);
      EXPECT_EQ(binding.virtualKey, c.key);
    } else {
      EXPECT_EQ(binding.virtualKey, 456u) << "unchanged on failure";
    }
  }
}

}  // namespace
