// gen_tunyra.dll in the stand-in player, loaded, driven and unloaded the way a host
// does it, with the player on a user-interface thread of its own.

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "library/library_file.h"
#include "tests/support/test_host.h"

using namespace tunyra;

namespace {

constexpr char kDialogCaption[] = "Tunyra v1.00 beta :: Select Songs";

std::string SmallLibraryText() {
  return std::string(kLibraryFileHeader) +
         "\n"
         "C:\\\\Music\\\\a.mp3\tAlpha\tFirst\tThe Quiet Hours\t\tRock\t1999\t1\t215\t\n"
         "C:\\\\Music\\\\b.mp3\tBravo\tFirst\tThe Quiet Hours\t\tRock\t1999\t2\t180\t\n"
         "C:\\\\Music\\\\c.mp3\tCharlie\tSecond\tMarlo Vance\t\tJazz\t2004\t1\t545\t\n";
}

class PluginInStandin : public ::testing::Test {
 protected:
  void Start(standin::StandinOptions options = standin::StandinHostThread::TestOptions()) {
    std::string error;
    ASSERT_TRUE(m_library.Parse(SmallLibraryText(), "small", error)) << error;
    m_thread = std::make_unique<standin::StandinHostThread>(options, &m_library.Records());
    ASSERT_TRUE(m_thread->Start());
    m_hostProc = ::GetWindowLongA(m_thread->MainWindow(), GWL_WNDPROC);
    ASSERT_TRUE(m_thread->LoadPlugin("gen_tunyra.dll", &error)) << error;
    ASSERT_TRUE(WaitForHotkeyPost());
  }
  void TearDown() override {
    if (m_thread) m_thread->Shutdown();
  }
  // The record is posted: it arrives once the player's loop has run. It points into
  // the DLL, so no test may unload the plug-in before the player has seen it.
  bool WaitForHotkeyPost() {
    const int number = m_thread->NameNumber("GenHotkeysAdd");
    return m_thread->WaitFor([&] {
      for (const standin::LogEntry& entry : m_thread->LogSnapshot())
        if (entry.message == WM_USER && entry.lParam == number && entry.wParam != 0) return true;
      return false;
    });
  }
  bool LogHas(const std::string& text) {
    for (const standin::LogEntry& entry : m_thread->LogSnapshot())
      if (entry.text.find(text) != std::string::npos) return true;
    return false;
  }

  LibraryFile m_library;
  std::unique_ptr<standin::StandinHostThread> m_thread;
  LONG m_hostProc = 0;
};

TEST_F(PluginInStandin, InitReturnsZeroWithAndWithoutAHotkeyPlugin) {
  for (bool hotkeyPlugin : {true, false}) {
    SCOPED_TRACE(hotkeyPlugin);
    standin::StandinOptions options = standin::StandinHostThread::TestOptions();
    options.noHotkeyPlugin = !hotkeyPlugin;
    Start(options);
    int initResult = -1;
    m_thread->Run([&] { initResult = m_thread->Host().Plugins().at(0).initResult; });
    EXPECT_EQ(initResult, 0);
    EXPECT_NE(::GetWindowLongA(m_thread->MainWindow(), GWL_WNDPROC), m_hostProc) << "no hook installed";
    EXPECT_GT(m_thread->NameNumber("GenHotkeysAdd"), 0);

    if (hotkeyPlugin) {
      const std::vector<standin::KeptHotkey> hotkeys = m_thread->HotkeysSnapshot();
      ASSERT_EQ(hotkeys.size(), 1u);
      EXPECT_EQ(hotkeys[0].name, "General: Tunyra Select Songs");
      EXPECT_EQ(hotkeys[0].id, "General: Tunyra Select Songs");
      EXPECT_EQ(hotkeys[0].record.uMsg, 0x601u);
      EXPECT_EQ(hotkeys[0].record.wnd, nullptr);
    } else {
      EXPECT_TRUE(m_thread->HotkeysSnapshot().empty());
    }
    m_thread->Shutdown();
  }
}

TEST_F(PluginInStandin, HotkeyOpensTheDialogOnAFreshSnapshot) {
  Start();
  for (int opening = 1; opening <= 2; ++opening) {
    SCOPED_TRACE(opening);
    ASSERT_TRUE(m_thread->PressHotkey(0));
    HWND dialog = m_thread->WaitForWindow(kDialogCaption);
    ASSERT_NE(dialog, nullptr);
    // Copied and handed back while the dialog opened.
    EXPECT_EQ(m_thread->ResultsServed(), opening);
    EXPECT_EQ(m_thread->OutstandingResults(), 0);
    ::PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(m_thread->WaitForWindowGone(dialog));
  }
  for (const standin::LogEntry& entry : m_thread->LogSnapshot())
    EXPECT_NE(entry.message, 0x601u) << "the hotkey message reached the player";
}

TEST_F(PluginInStandin, QuitUnhooksAndThePlayerGoesOnAfterUnload) {
  Start();
  m_thread->Run([&] {
    PluginRecord* record = m_thread->Host().Plugins().at(0).record;
    record->quit();
  });
  EXPECT_EQ(::GetWindowLongA(m_thread->MainWindow(), GWL_WNDPROC), m_hostProc);

  m_thread->UnloadPlugins();
  EXPECT_EQ(::GetModuleHandleA("gen_tunyra.dll"), nullptr);
  EXPECT_FALSE(LogHas("took back the window procedure")) << "the player had to unhook us itself";

  // Still answering: a clear sent after the unload is handled and logged.
  const int clearsBefore = m_thread->CountUserMessages(101);
  ::SendMessageA(m_thread->MainWindow(), WM_USER, 0, 101);
  EXPECT_EQ(m_thread->CountUserMessages(101), clearsBefore + 1);
}

TEST_F(PluginInStandin, UnloadWithoutAnExplicitQuitLeavesNoHookBehind) {
  Start();
  m_thread->UnloadPlugins();
  EXPECT_EQ(::GetWindowLongA(m_thread->MainWindow(), GWL_WNDPROC), m_hostProc);
  EXPECT_FALSE(LogHas("took back the window procedure"));
  const LRESULT number = ::SendMessageA(m_thread->MainWindow(), WM_USER, reinterpret_cast<WPARAM>("Probe"), 65536);
  EXPECT_GT(number, 0);
  EXPECT_EQ(number, m_thread->NameNumber("Probe"));
}

TEST_F(PluginInStandin, ConfigReturnsWhileTheSplashIsStillUp) {
  Start();
  ASSERT_TRUE(m_thread->ConfigPlugin(0));
  HWND splash = ::FindWindowA("SplashScreenExClass", nullptr);
  ASSERT_NE(splash, nullptr) << "config came back after the splash had gone";
  EXPECT_EQ(::GetWindow(splash, GW_OWNER), m_thread->MainWindow());
  // Closed by its timer (3 s) without help.
  EXPECT_TRUE(m_thread->WaitForWindowGone(splash));
}

}  // namespace
