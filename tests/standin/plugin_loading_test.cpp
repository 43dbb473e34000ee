// Loading plug-ins as a host does, with a probe plug-in that journals what happens to
// it, and the threaded host that other window tests use.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <vector>
#include <string>

#include "host_fixture.h"
#include "standin/standin_host.h"
#include "tests/support/test_host.h"

using standin::StandinHostThread;
using standin_test::DirectHost;
using standin_test::PumpMessages;

namespace {

constexpr const char* kProbe = "probe_plugin.dll";

// The probe writes into this buffer, found through the environment, so the journal
// outlives the probe's library.
class Journal {
 public:
  Journal() {
    m_text[0] = '\0';
    char address[32];
    std::snprintf(address, sizeof address, "%lx",
                  static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(m_text)));
    ::SetEnvironmentVariableA("PROBE_JOURNAL", address);
  }
  ~Journal() { ::SetEnvironmentVariableA("PROBE_JOURNAL", nullptr); }
  std::string Text() const { return m_text; }

 private:
  char m_text[4096];
};

TEST(StandinPlugins, LoadInitQuitUnloadInOrderWithHandlesInTheRecord) {
  Journal journal;
  {
    DirectHost h;
    std::string error;
    ASSERT_TRUE(h.host.LoadPlugin(kProbe, error)) << error;
    ASSERT_EQ(h.host.Plugins().size(), 1u);
    const standin::LoadedPlugin& plugin = h.host.Plugins()[0];
    EXPECT_EQ(plugin.record->hwndParent, h.host.MainWindow());
    EXPECT_EQ(plugin.record->hDllInstance, plugin.module);
    EXPECT_STREQ(plugin.record->description, "Probe Plug-in");
    EXPECT_EQ(plugin.initResult, 0);
    EXPECT_EQ(journal.Text(), "attach;export;init main=window instance=module;");

    PumpMessages();  // the posted hotkey record
    ASSERT_EQ(h.host.Hotkeys().size(), 1u);
    EXPECT_EQ(h.host.Hotkeys()[0].name, "General: Probe");

    // Config is called on request; the window it leaves open is the host's problem.
    EXPECT_TRUE(h.host.ConfigPlugin(0));
    EXPECT_FALSE(h.host.ConfigPlugin(1));
    HWND leftOpen = ::FindWindowA("STATIC", "Probe Window");
    EXPECT_NE(leftOpen, nullptr);

    h.host.UnloadPlugins();
    EXPECT_EQ(journal.Text(),
              "attach;export;init main=window instance=module;config;quit;detach;");
    EXPECT_TRUE(h.host.Plugins().empty());
    EXPECT_FALSE(::IsWindow(leftOpen)) << "no window may outlive its plug-in's code";
  }
  EXPECT_EQ(journal.Text(), "attach;export;init main=window instance=module;config;quit;detach;")
      << "nothing more happens to an unloaded plug-in";
}

// The hotkey record is posted at init and lives in the plug-in's image: unloading
// before the host's loop ran used to leave the message in the queue, and reading it
// later touched the freed library.
TEST(StandinPlugins, UnloadRightAfterInitHandlesThePostedRecordFirst) {
  Journal journal;
  DirectHost h;
  std::string error;
  ASSERT_TRUE(h.host.LoadPlugin(kProbe, error)) << error;
  h.host.UnloadPlugins();
  ASSERT_EQ(h.host.Hotkeys().size(), 1u);
  EXPECT_EQ(h.host.Hotkeys()[0].name, "General: Probe");
  MSG left;
  EXPECT_FALSE(::PeekMessageA(&left, h.host.MainWindow(), 0, 0, PM_NOREMOVE)) << "message " << left.message;
}

TEST(StandinPlugins, HostKeepsWorkingAfterUnloadingAPluginThatHookedIt) {
  Journal journal;
  DirectHost h;
  std::string error;
  ASSERT_TRUE(h.host.LoadPlugin(kProbe, error)) << error;
  HMODULE module = h.host.Plugins()[0].module;
  auto hooked = reinterpret_cast<int (*)()>(
      reinterpret_cast<void*>(::GetProcAddress(module, "probe_HookedMessages")));
  ASSERT_NE(hooked, nullptr);
  const int before = hooked();
  const int number = h.Register("GenHotkeysAdd");
  EXPECT_GT(hooked(), before) << "host messages pass through the plug-in's hook";
  ::SendMessageA(h.host.MainWindow(), 0x601, 1, 2);
  EXPECT_NE(journal.Text().find("hotkey 1 2;"), std::string::npos) << journal.Text();

  h.host.UnloadPlugins();
  // The probe never unhooks; the main window must not call into the freed library.
  EXPECT_EQ(h.Register("GenHotkeysAdd"), number);
  ::SendMessageA(h.host.MainWindow(), 0x601, 3, 4);
  EXPECT_EQ(h.host.Log().back().message, 0x601u);
  EXPECT_EQ(journal.Text().find("hotkey 3 4"), std::string::npos);
}

// Unloading from a message that came through the plug-in's hook would return into
// freed code (standin.exe once crashed that way when File > Exit unloaded from a timer
// message). Such an unload is refused; the one after the message loop goes ahead.
TEST(StandinPlugins, UnloadIsRefusedWhilePluginCodeMayBeOnTheStack) {
  class UnloadingView : public standin::HostView {
   public:
    explicit UnloadingView(standin::StandinHost& host) : m_host(host) {}
    bool OnWindowMessage(HWND, UINT message, WPARAM, LPARAM, LRESULT& result) override {
      if (message != WM_APP + 9) return false;
      m_host.UnloadPlugins();
      result = static_cast<LRESULT>(m_host.Plugins().size());
      return true;
    }

   private:
    standin::StandinHost& m_host;
  };
  Journal journal;
  standin::StandinHost host(DirectHost::NoGlobalKeys());
  UnloadingView view(host);
  ASSERT_TRUE(host.Create(::GetModuleHandleA(nullptr), &view));
  std::string error;
  ASSERT_TRUE(host.LoadPlugin(kProbe, error)) << error;
  EXPECT_EQ(::SendMessageA(host.MainWindow(), WM_APP + 9, 0, 0), 1) << "still loaded";
  EXPECT_EQ(journal.Text().find("quit"), std::string::npos);
  EXPECT_NE(host.Log().back().text.find("unload refused"), std::string::npos);
  host.UnloadPlugins();
  EXPECT_TRUE(host.Plugins().empty());
  EXPECT_NE(journal.Text().find("quit;detach;"), std::string::npos) << journal.Text();
  host.Destroy();
}

TEST(StandinPlugins, LoadFailuresAreReported) {
  struct Case {
    const char* path;
    std::string expected;
  };
  const Case cases[] = {
      {"no_such_plugin.dll", "cannot load"},
      {"user32.dll", std::string("no ") + kPluginEntryName + " export"},
  };
  DirectHost h;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::string error;
    EXPECT_FALSE(h.host.LoadPlugin(c.path, error));
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
  }
  EXPECT_TRUE(h.host.Plugins().empty());
  const int number = h.Register("still answering");
  EXPECT_NE(number, 0);
  EXPECT_EQ(h.host.NameNumber("still answering"), number);
}

TEST(StandinHostThread, RunsTheHostOnItsOwnThread) {
  DirectHost source;  // only for its parsed library
  StandinHostThread thread(StandinHostThread::TestOptions(), &source.library.Records());
  ASSERT_TRUE(thread.Start());
  ASSERT_NE(thread.MainWindow(), nullptr);
  EXPECT_EQ(::GetWindowThreadProcessId(thread.MainWindow(), nullptr), thread.ThreadId());
  EXPECT_NE(thread.ThreadId(), ::GetCurrentThreadId());

  DWORD ranOn = 0;
  thread.Run([&] { ranOn = ::GetCurrentThreadId(); });
  EXPECT_EQ(ranOn, thread.ThreadId());

  // Posted messages are handled by the UI thread's own loop.
  EnqueueRecord record{"C:\\x.mp3", "X", 10};
  ::SendMessageA(thread.MainWindow(), WM_USER, reinterpret_cast<WPARAM>(&record), 100);
  ::PostMessageA(thread.MainWindow(), WM_USER, 0, 102);
  ASSERT_TRUE(StandinHostThread::WaitFor([&] { return thread.PlaylistSnapshot().Playing(); }));
  EXPECT_EQ(thread.PlaylistSnapshot().Size(), 1u);
  EXPECT_EQ(thread.CountUserMessages(100), 1);

  LibraryQuery query{const_cast<char*>("type==0"), 0, {nullptr, 0, 0}};
  ::SendMessageA(thread.LibraryWindow(), 0x1400, reinterpret_cast<WPARAM>(&query), 0x700);
  EXPECT_EQ(query.results.size, 6);
  EXPECT_EQ(thread.OutstandingResults(), 1);
  ::SendMessageA(thread.LibraryWindow(), 0x1400, reinterpret_cast<WPARAM>(&query), 0x705);
  EXPECT_EQ(thread.OutstandingResults(), 0);
  EXPECT_EQ(thread.ResultsServed(), 1);
  EXPECT_EQ(thread.ResultsFreed(), 1);
  EXPECT_EQ(thread.BadFrees(), 0);

  HWND main = thread.MainWindow();
  thread.Shutdown();
  EXPECT_FALSE(::IsWindow(main));
  thread.Shutdown();  // twice is harmless
}

TEST(StandinHostThread, ShutsDownWithAPluginsModalLoopStillRunning) {
  Journal journal;
  StandinHostThread thread;
  ASSERT_TRUE(thread.Start());
  std::string error;
  ASSERT_TRUE(thread.LoadPlugin(kProbe, &error)) << error;
  ASSERT_TRUE(StandinHostThread::WaitFor([&] { return thread.HotkeysSnapshot().size() == 1; }));

  // wParam 7 makes the probe's hook run a message box: a modal loop inside the hook.
  thread.PostHotkeyMessage(7, 0);
  HWND box = thread.WaitForWindow("Probe Dialog");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(thread.ForeignWindows().size(), 1u);
  // The UI thread still serves the test thread while the modal loop runs.
  EXPECT_EQ(thread.NameNumber("GenHotkeysAdd") != 0, true);
  EXPECT_EQ(thread.PlaylistSnapshot().Size(), 0u);

  thread.Shutdown();
  EXPECT_FALSE(::IsWindow(box));
  EXPECT_NE(journal.Text().find("hotkey 7 0;quit;detach;"), std::string::npos) << journal.Text();
}

TEST(StandinHostThread, PressingTheHotkeyDeliversTheRecordsMessage) {
  Journal journal;
  StandinHostThread thread;
  ASSERT_TRUE(thread.Start());
  EXPECT_FALSE(thread.PressHotkey(0)) << "nothing registered yet";
  ASSERT_TRUE(thread.LoadPlugin(kProbe));
  ASSERT_TRUE(StandinHostThread::WaitFor([&] { return thread.HotkeysSnapshot().size() == 1; }));
  ASSERT_TRUE(thread.PressHotkey(0));
  EXPECT_TRUE(StandinHostThread::WaitFor(
      [&] { return journal.Text().find("hotkey 0 0;") != std::string::npos; }))
      << journal.Text();
  thread.Shutdown();
  EXPECT_NE(journal.Text().find(";quit;detach;"), std::string::npos) << journal.Text();
}

void PressKeys(std::initializer_list<WORD> keys) {
  std::vector<INPUT> inputs;
  for (WORD key : keys) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    inputs.push_back(input);
  }
  for (auto it = keys.end(); it != keys.begin();) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = *--it;
    input.ki.dwFlags = KEYEVENTF_KEYUP;
    inputs.push_back(input);
  }
  ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

TEST(StandinHostThread, TheGlobalKeyDeliversTheHotkeyMessage) {
  Journal journal;
  standin::StandinOptions options;
  // An unusual combination, so that no other program running beside us holds it.
  options.bindings = {standin::HotkeyBinding{MOD_CONTROL | MOD_ALT | MOD_SHIFT, VK_F11}};
  StandinHostThread thread(options);
  ASSERT_TRUE(thread.Start());
  ASSERT_TRUE(thread.LoadPlugin(kProbe));
  ASSERT_TRUE(StandinHostThread::WaitFor([&] { return thread.HotkeysSnapshot().size() == 1; }));
  if (!thread.HotkeysSnapshot()[0].registered) GTEST_SKIP() << "the key is held by another program";
  PressKeys({VK_CONTROL, VK_MENU, VK_SHIFT, VK_F11});
  EXPECT_TRUE(StandinHostThread::WaitFor(
      [&] { return journal.Text().find("hotkey 0 0;") != std::string::npos; }))
      << journal.Text();
  thread.Shutdown();
  // The key is given back: a second host can bind it.
  StandinHostThread second(options);
  ASSERT_TRUE(second.Start());
  ASSERT_TRUE(second.LoadPlugin(kProbe));
  ASSERT_TRUE(StandinHostThread::WaitFor([&] { return second.HotkeysSnapshot().size() == 1; }));
  EXPECT_TRUE(second.HotkeysSnapshot()[0].registered);
}

}  // namespace
