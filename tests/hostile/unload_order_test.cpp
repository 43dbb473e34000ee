// gen_tunyra.dll unloaded while its code is still called or on the stack: a host that
// quits and frees its plug-ins from its close handling while Select Songs is open, and
// another plug-in that hooked the main window after Tunyra. Tunyra then pins itself,
// so this program keeps it mapped to its end: these tests live apart from the others.

#include <windows.h>

#include <string>

#include "host/host_records.h"
#include "resources/resource.h"
#include "tests/support/dialog_test_support.h"

namespace {

using standin::StandinHostThread;

constexpr DWORD kWaitMs = 20000;
constexpr const char* kRefusal = "You must select at least one condition.";

class UnloadOrder : public dialog_test::SelectSongsTest {
 protected:
  void SetUp() override {}

  void Restart(bool unloadOnClose) {
    TearDown();
    standin::StandinOptions options = StandinHostThread::TestOptions();
    options.unloadOnClose = unloadOnClose;
    StartHost(dialog_test::SampleSongs(), options);
  }

  bool PluginUnloadedOnClose() {
    for (const standin::LogEntry& entry : m_host->LogSnapshot())
      if (entry.text.find("quit and unloaded on close") != std::string::npos) return true;
    return false;
  }

  // A plug-in that hooks the main window after Tunyra and forwards to what it found:
  // loaded by hand, it stays on the window when the host unloads its own list.
  void LoadHookingPluginByHand() {
    bool initialised = false;
    m_host->Run([&] {
      HMODULE probe = ::LoadLibraryA("probe_plugin.dll");
      auto get = reinterpret_cast<PluginRecord* (*)()>(
          reinterpret_cast<void*>(::GetProcAddress(probe, kPluginEntryName)));
      PluginRecord* record = get ? get() : nullptr;
      if (!record) return;
      record->hwndParent = m_host->MainWindow();
      record->hDllInstance = probe;
      record->init();
      initialised = true;
    });
    ASSERT_TRUE(initialised);
  }
};

TEST_F(UnloadOrder, PlayerQuitsWhileSelectSongsIsOpen) {
  // Freed under the dialog's loop, the library took the process down on the way back
  // (exit code 70 from the fault report).
  struct Case {
    const char* name;
    bool messageBoxOpen;  // the close arrives inside a message box's loop over the dialog
  };
  const Case cases[] = {{"dialog only", false}, {"refusal box over the dialog", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Restart(true);
    ASSERT_TRUE(OpenDialog());
    Click(IDC_ALL1);
    SetMinutes("5");
    dialog_test::MessageBoxView box;
    if (c.messageBoxOpen) {
      Click(IDC_NONE1);
      PostClick(IDOK);
      box = WaitForMessageBox();
      ASSERT_EQ(box.text, kRefusal);
    }
    const HWND main = m_host->MainWindow();
    ::PostMessageA(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(m_host->WaitForWindowGone(main, kWaitMs));
    if (c.messageBoxOpen) Answer(box, IDOK);
    EXPECT_TRUE(WaitDialogClosed()) << "the dialog outlived the player";
    Settle();
    EXPECT_TRUE(PluginUnloadedOnClose());
    EXPECT_EQ(m_host->CountUserMessages(host_msg::kClearPlaylist), 0) << "the playlist was touched";
    EXPECT_EQ(m_host->CountUserMessages(host_msg::kEnqueue), 0);
    EXPECT_EQ(m_host->OutstandingResults(), 0) << "a query result was never handed back";
  }
}

TEST_F(UnloadOrder, AnotherPluginHookedTheMainWindowAfterTunyra) {
  // Tunyra's quit cannot take its hook out from under the other plug-in's; the other
  // one forwards to it, which called into the freed library.
  struct Case {
    const char* name;
    bool unloadOnClose;  // else the host unloads its plug-ins and runs on
  };
  const Case cases[] = {{"unloaded while the player runs on", false}, {"unloaded on close", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Restart(c.unloadOnClose);
    ASSERT_NO_FATAL_FAILURE(LoadHookingPluginByHand());
    Settle();
    const HWND main = m_host->MainWindow();
    if (c.unloadOnClose) {
      ::PostMessageA(main, WM_CLOSE, 0, 0);
      ASSERT_TRUE(m_host->WaitForWindowGone(main, kWaitMs));
      EXPECT_TRUE(PluginUnloadedOnClose());
      continue;
    }
    m_host->UnloadPlugins();
    for (UINT message : {UINT(WM_USER + 77), UINT(WM_TIMER), UINT(WM_PAINT), UINT(WM_NULL)})
      ::PostMessageA(main, message, 0, 0);
    const char name[] = "TunyraUnderAnotherHook";
    EXPECT_NE(::SendMessageA(main, WM_USER, reinterpret_cast<WPARAM>(name), host_msg::kRegisterName), 0)
        << "the chain no longer reaches the player";
    Settle();
  }
}

}  // namespace
