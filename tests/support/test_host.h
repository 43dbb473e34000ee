#pragma once
// A StandinHost on a user-interface thread of its own, for window tests: the test
// thread loads plug-ins, posts the hotkey message, waits (with a bound) for windows or
// conditions, drives dialogs with SendMessage and reads snapshots of the log and the
// playlist. Runs of code on the UI thread are synchronous and are also served while a
// plug-in's modal dialog runs its own loop there. Every bound is scaled by the time
// factor (tests/support/test_time.h); nothing here waits without one.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/host_records.h"
#include "standin/playlist.h"
#include "standin/standin_host.h"
#include "standin/standin_options.h"

namespace standin {

class StandinHostThread {
 public:
  static constexpr DWORD kDefaultTimeoutMs = 10000;
  // How long one Run may take: the largest libraries are handed to the host in one.
  static constexpr DWORD kRunTimeoutMs = 120000;

  // Nothing starts before Start. `library`, when given, is copied; otherwise the
  // host serves an empty library.
  explicit StandinHostThread(StandinOptions options = TestOptions(),
                             const ItemRecordList* library = nullptr);
  ~StandinHostThread();  // Shutdown
  StandinHostThread(const StandinHostThread&) = delete;
  StandinHostThread& operator=(const StandinHostThread&) = delete;

  // Test defaults: no global key is grabbed (tests share a display).
  static StandinOptions TestOptions();

  // Starts the thread and creates the host's windows there. False on failure.
  bool Start();
  // Closes any dialog or window a plug-in left open (IDCANCEL, then EndDialog or
  // WM_CLOSE), unloads the plug-ins, destroys the host's windows and ends the thread.
  // Each step is bounded: a thread that does not end in time is left running, with its
  // host, and what it was still doing is printed; false then. Idempotent.
  bool Shutdown();

  // Runs `fn` on the UI thread and returns when it has run: true. False when the thread
  // has not taken it up within the bound; `fn` then never runs. Do not call from the
  // UI thread itself. Touch Host() only inside such a call.
  bool Run(const std::function<void()>& fn, DWORD timeoutMs = kRunTimeoutMs);
  StandinHost& Host() { return *m_host; }

  HWND MainWindow() const { return m_main; }
  HWND LibraryWindow() const { return m_library; }
  DWORD ThreadId() const { return m_threadId; }

  // LoadLibraryA by name finds gen_tunyra.dll in the test program's folder.
  bool LoadPlugin(const std::string& dll = "gen_tunyra.dll", std::string* error = nullptr);
  void UnloadPlugins();
  bool ConfigPlugin(std::size_t index = 0);

  // Posts 0x601 to the main window, as the hotkey plug-in delivers it (posted, so the
  // test thread does not block while the modal dialog runs).
  void PostHotkeyMessage(WPARAM wParam = 0, LPARAM lParam = 0);
  // Posts WM_HOTKEY for kept record `index`: the host then sends the record's message.
  bool PressHotkey(std::size_t index = 0);

  // A visible top-level window of the UI thread with this caption (and class, when
  // given); null after the timeout. Visible means a modal dialog's loop is running.
  HWND WaitForWindow(const std::string& caption, DWORD timeoutMs = kDefaultTimeoutMs,
                     const char* className = nullptr);
  bool WaitForWindowGone(HWND wnd, DWORD timeoutMs = kDefaultTimeoutMs);
  // Polls `predicate` on the test thread until it holds; false after the timeout. The
  // UI thread keeps running its own loop meanwhile.
  static bool WaitFor(const std::function<bool()>& predicate,
                      DWORD timeoutMs = kDefaultTimeoutMs);
  // Top-level windows of the UI thread that are not the host's own.
  std::vector<HWND> ForeignWindows() const;

  // Snapshots copied on the UI thread.
  std::vector<LogEntry> LogSnapshot();
  Playlist PlaylistSnapshot();
  std::vector<KeptHotkey> HotkeysSnapshot();
  int OutstandingResults();
  int ResultsServed();
  int ResultsFreed();
  int BadFrees();
  int NameNumber(const std::string& name);
  // Messages with this lParam among the logged WM_USER messages (e.g. 100 enqueues).
  int CountUserMessages(LPARAM lParam);

 private:
  static DWORD WINAPI ThreadEntry(void* self);
  void ThreadMain();
  void CloseForeignWindows(DWORD timeoutMs);
  // The thread's windows and the step it was stuck in, for the report of a stop that
  // did not end in time.
  void ReportStillRunning(const char* step, DWORD waitedMs) const;

  StandinOptions m_options;
  ItemRecordList m_initialLibrary{nullptr, 0, 0};
  std::unique_ptr<StandinHost> m_host;
  HANDLE m_started = nullptr;  // set once the windows exist (or creation failed)
  bool m_createdOk = false;
  HANDLE m_thread = nullptr;
  DWORD m_threadId = 0;
  HWND m_runner = nullptr;  // hidden window on the UI thread that runs Run's functions
  HWND m_main = nullptr;
  HWND m_library = nullptr;
};

}  // namespace standin
