// gen_tunyra.dll loaded the way a host loads it, on a bare host window whose own
// procedure records every argument: init, the hook on the host's main window, config
// and quit.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "host/host_records.h"
#include "tests/plugin/message_recording_host.h"
#include "tests/support/test_thread.h"
#include "tests/support/test_time.h"

namespace {

using plugin_test::Received;
using plugin_test::MessageRecordingHost;

constexpr wchar_t kDialogCaption[] = L"Tunyra v1.00 beta :: Select Songs";
constexpr DWORD kWaitMs = 10000;

BOOL CALLBACK CollectDialog(HWND wnd, LPARAM param) {
  // GetWindowText would send WM_GETTEXT to the test thread's windows and wait for a
  // thread that may be waiting for us.
  wchar_t caption[64] = {};
  ::InternalGetWindowText(wnd, caption, 64);
  if (std::wstring(caption) == kDialogCaption) reinterpret_cast<std::vector<HWND>*>(param)->push_back(wnd);
  return TRUE;
}

std::vector<HWND> DialogsOf(DWORD threadId) {
  std::vector<HWND> found;
  ::EnumThreadWindows(threadId, &CollectDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND WaitForDialog(DWORD threadId) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    std::vector<HWND> dialogs = DialogsOf(threadId);
    if (!dialogs.empty()) return dialogs.front();
    if (::GetTickCount() - start > test_support::ScaledMs(kWaitMs)) return nullptr;
    ::Sleep(10);
  }
}

// Cancels every Select Songs dialog of the thread until none is left.
bool CloseDialogs(DWORD threadId) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    std::vector<HWND> dialogs = DialogsOf(threadId);
    if (dialogs.empty()) return true;
    if (::GetTickCount() - start > test_support::ScaledMs(kWaitMs)) return false;
    for (HWND dialog : dialogs) ::PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    ::Sleep(10);
  }
}

class PluginHook : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dll = ::LoadLibraryA("gen_tunyra.dll");
    ASSERT_NE(m_dll, nullptr);
    m_record = plugin_test::GetPluginRecord(m_dll);
    ASSERT_NE(m_record, nullptr);
    m_record->hwndParent = m_host.Main();
    m_record->hDllInstance = m_dll;
  }
  void TearDown() override {
    if (!m_dll) return;
    m_record->quit();
    // A test that left a procedure of its own above ours takes the chain back itself.
    ::SetWindowLongA(m_host.Main(), GWL_WNDPROC, reinterpret_cast<LONG>(MessageRecordingHost::MainProc()));
    ::FreeLibrary(m_dll);
  }

  WNDPROC CurrentProc() const {
    return reinterpret_cast<WNDPROC>(::GetWindowLongA(m_host.Main(), GWL_WNDPROC));
  }
  int CountLogged(UINT message) const {
    int count = 0;
    for (const Received& r : m_host.Log()) count += r.message == message;
    return count;
  }
  // Sends the hotkey message on this thread, as the host would, while another thread
  // waits for the dialog it opens, runs `whileOpen` and cancels it.
  LRESULT SendHotkeyAndCancel(WPARAM wParam, LPARAM lParam, bool& opened,
                              const std::function<void(HWND)>& whileOpen = nullptr) {
    const DWORD self = ::GetCurrentThreadId();
    std::atomic<bool> seen{false};
    test_support::TestThread closer([&] {
      HWND dialog = WaitForDialog(self);
      seen = dialog != nullptr;
      if (dialog && whileOpen) whileOpen(dialog);
      CloseDialogs(self);
    });
    const LRESULT result = ::SendMessageA(m_host.Main(), host_msg::kHotkeyMessage, wParam, lParam);
    closer.Join();
    opened = seen;
    return result;
  }

  MessageRecordingHost m_host;
  HMODULE m_dll = nullptr;
  PluginRecord* m_record = nullptr;
};

TEST_F(PluginHook, InitPostsTheHotkeyRecordAndHooksTheMainWindow) {
  EXPECT_EQ(m_record->init(), 0);
  EXPECT_NE(CurrentProc(), MessageRecordingHost::MainProc());

  ASSERT_FALSE(m_host.Log().empty());
  const Received& registration = m_host.Log().front();
  EXPECT_EQ(registration.message, host_msg::kWmUser);
  EXPECT_EQ(registration.lParam, host_msg::kRegisterName);
  EXPECT_EQ(registration.text, "GenHotkeysAdd");

  // Posted: the record arrives once the host's loop runs again.
  EXPECT_EQ(m_host.Log().size(), 1u);
  MessageRecordingHost::Pump();
  ASSERT_EQ(m_host.Log().size(), 2u);
  const Received& posted = m_host.Log().back();
  EXPECT_EQ(posted.message, host_msg::kWmUser);
  EXPECT_EQ(posted.lParam, static_cast<LPARAM>(MessageRecordingHost::kHotkeysAddNumber));

  const auto* hotkey = reinterpret_cast<const HotkeyRecord*>(posted.wParam);
  ASSERT_NE(hotkey, nullptr);
  EXPECT_TRUE(plugin_test::InModuleImage(m_dll, hotkey)) << "read after init returns: must be static";
  EXPECT_STREQ(hotkey->name, "General: Tunyra Select Songs");
  EXPECT_STREQ(hotkey->id, "General: Tunyra Select Songs");
  EXPECT_EQ(hotkey->flags, 0u);
  EXPECT_EQ(hotkey->uMsg, 0x601u);
  EXPECT_EQ(hotkey->wParam, 0u);
  EXPECT_EQ(hotkey->lParam, 0);
  EXPECT_EQ(hotkey->wnd, nullptr);
  for (std::int32_t reserved : hotkey->reserved) EXPECT_EQ(reserved, 0);
}

TEST_F(PluginHook, EveryOtherMessageReachesTheHostUnchanged) {
  ASSERT_EQ(m_record->init(), 0);
  MessageRecordingHost::Pump();
  const UINT registered = ::RegisterWindowMessageA("TunyraPluginTestMessage");
  struct Case {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  };
  const Case cases[] = {
      {0x600, 0, 0},                              // the neighbours of the hotkey message
      {0x602, 1, 2},
      {WM_USER, 0, host_msg::kStartPlayback},     // the host's own plug-in messages
      {WM_USER, 0x1234, 0x601},                   // 0x601 as an argument is not the hotkey
      {WM_USER + 1, 0xFFFFFFFFu, -1},
      {WM_APP + 7, 0x80000000u, static_cast<LPARAM>(0x80000000u)},
      {registered, 42, 43},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    m_host.ClearLog();
    const LRESULT result = ::SendMessageA(m_host.Main(), c.message, c.wParam, c.lParam);
    ASSERT_EQ(m_host.Log().size(), 1u);
    const Received& r = m_host.Log().front();
    EXPECT_EQ(r.window, m_host.Main());
    EXPECT_EQ(r.message, c.message);
    EXPECT_EQ(r.wParam, c.wParam);
    EXPECT_EQ(r.lParam, c.lParam);
    EXPECT_EQ(result, r.result);
  }
}

TEST_F(PluginHook, HotkeyMessageRunsTheDialogAndStopsThere) {
  ASSERT_EQ(m_record->init(), 0);
  MessageRecordingHost::Pump();
  const std::pair<WPARAM, LPARAM> arguments[] = {{0, 0}, {1, 2}, {0xFFFFFFFFu, -1}};
  for (const auto& [wParam, lParam] : arguments) {
    SCOPED_TRACE(wParam);
    bool opened = false;
    EXPECT_EQ(SendHotkeyAndCancel(wParam, lParam, opened), 0);
    EXPECT_TRUE(opened);
  }
  EXPECT_EQ(CountLogged(host_msg::kHotkeyMessage), 0);
  EXPECT_TRUE(DialogsOf(::GetCurrentThreadId()).empty());
}

TEST_F(PluginHook, SecondHotkeyRaisesTheOpenDialogInsteadOfNesting) {
  ItemRecord item{};
  char file[] = "C:\\Music\\a.mp3", title[] = "A";
  item.filename = file;
  item.title = title;
  item.length = 200;
  m_host.SetLibrary({item});
  ASSERT_EQ(m_record->init(), 0);
  MessageRecordingHost::Pump();

  bool answered = false;
  DWORD_PTR answer = 1;
  size_t dialogsAfterSecond = 0;
  bool opened = false;
  SendHotkeyAndCancel(0, 0, opened, [&](HWND dialog) {
    // A nested dialog would keep this send from returning until it closed. (Whether
    // the dialog comes to the front cannot be told under Wine without a window
    // manager: it takes the focus back by itself.)
    answered = ::SendMessageTimeoutA(m_host.Main(), host_msg::kHotkeyMessage, 0, 0, SMTO_NORMAL,
                                     test_support::ScaledMs(5000), &answer);
    dialogsAfterSecond = DialogsOf(::GetWindowThreadProcessId(dialog, nullptr)).size();
  });
  ASSERT_TRUE(opened);
  EXPECT_TRUE(answered);
  EXPECT_EQ(answer, 0u);
  EXPECT_EQ(dialogsAfterSecond, 1u);

  int queries = 0;
  for (const Received& r : m_host.Log())
    queries += r.window == m_host.Library() && r.lParam == host_msg::kRunQuery;
  EXPECT_EQ(queries, 1) << "the snapshot was loaded by a second dialog";
  EXPECT_EQ(m_host.Outstanding(), 0);
}

TEST_F(PluginHook, QuitUnhooksSoTheHostOutlivesTheLibrary) {
  ASSERT_EQ(m_record->init(), 0);
  MessageRecordingHost::Pump();
  m_record->quit();
  EXPECT_EQ(CurrentProc(), MessageRecordingHost::MainProc());

  ::FreeLibrary(m_dll);
  m_dll = nullptr;
  m_host.ClearLog();
  const LRESULT result = ::SendMessageA(m_host.Main(), WM_USER + 9, 1, 2);
  ASSERT_EQ(m_host.Log().size(), 1u);
  EXPECT_EQ(result, m_host.Log()[0].result);
}

WNDPROC g_belowTop = nullptr;
int g_topCalls = 0;
LRESULT CALLBACK TopProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
  ++g_topCalls;
  return ::CallWindowProcA(g_belowTop, wnd, message, wParam, lParam);
}

TEST_F(PluginHook, QuitLeavesAHookThatAnotherPluginPutOnTop) {
  ASSERT_EQ(m_record->init(), 0);
  MessageRecordingHost::Pump();
  g_topCalls = 0;
  g_belowTop = reinterpret_cast<WNDPROC>(
      ::SetWindowLongA(m_host.Main(), GWL_WNDPROC, reinterpret_cast<LONG>(&TopProc)));
  m_record->quit();
  EXPECT_EQ(CurrentProc(), &TopProc);

  // The chain still runs through our procedure down to the host's.
  m_host.ClearLog();
  ::SendMessageA(m_host.Main(), WM_USER + 5, 7, 8);
  EXPECT_EQ(g_topCalls, 1);
  ASSERT_EQ(m_host.Log().size(), 1u);
  EXPECT_EQ(m_host.Log()[0].wParam, 7u);
}

TEST_F(PluginHook, SecondInitDoesNotHookItself) {
  // Saving our own procedure as the previous one would forward every message to
  // ourselves until the stack ran out.
  ASSERT_EQ(m_record->init(), 0);
  ASSERT_EQ(m_record->init(), 0);
  MessageRecordingHost::Pump();
  m_host.ClearLog();
  ::SendMessageA(m_host.Main(), WM_USER + 3, 0, 0);
  EXPECT_EQ(m_host.Log().size(), 1u);
  m_record->quit();
  EXPECT_EQ(CurrentProc(), MessageRecordingHost::MainProc());
}

}  // namespace
