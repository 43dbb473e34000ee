#include "tests/support/test_host.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "library/item_records.h"
#include "tests/support/test_time.h"

using namespace tunyra;

namespace standin {

namespace {

constexpr const char* kRunnerClassName = "TunyraStandinRunner";
constexpr UINT kRunMessage = WM_APP + 1;

// A function handed to the UI thread. A sent message that timed out may still be
// handled later, when the caller's frame (which the function refers to) is gone: so
// whoever comes first decides, the UI thread taking the function up or the caller
// withdrawing it, and the job lives until both have let it go.
struct RunJob {
  enum : LONG { kPending, kTaken, kWithdrawn };
  const std::function<void()>* fn = nullptr;
  volatile LONG state = kPending;
  volatile LONG refs = 2;
  HANDLE done = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);

  bool Claim(LONG as) { return ::InterlockedCompareExchange(&state, as, kPending) == kPending; }
  void Release() {
    if (::InterlockedDecrement(&refs) != 0) return;
    ::CloseHandle(done);
    delete this;
  }
};

[[noreturn]] void EndProgram(const char* why) {
  std::fprintf(stderr, "*** %s: the test program ends here\n", why);
  std::fflush(stdout);
  std::fflush(stderr);
  ::TerminateProcess(::GetCurrentProcess(), 70);
  for (;;) ::Sleep(INFINITE);
}

LRESULT CALLBACK RunnerProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kRunMessage) {
    auto* job = reinterpret_cast<RunJob*>(lParam);
    if (job->Claim(RunJob::kTaken)) {
      try {
        (*job->fn)();
      } catch (...) {
      }
      ::SetEvent(job->done);
    }
    job->Release();
    return 0;
  }
  return ::DefWindowProcA(wnd, message, wParam, lParam);
}

bool IsDialogWindow(HWND wnd) {
  char name[32] = {};
  ::GetClassNameA(wnd, name, sizeof name);
  return std::strcmp(name, "#32770") == 0;
}

// The one wait of the window tests: `timeoutMs` is scaled here.
bool WaitUntil(const std::function<bool()>& predicate, DWORD timeoutMs) {
  const DWORD bound = test_support::ScaledMs(timeoutMs);
  const DWORD start = ::GetTickCount();
  for (;;) {
    if (predicate()) return true;
    if (::GetTickCount() - start >= bound) return false;
    ::Sleep(5);
  }
}

BOOL CALLBACK DescribeThreadWindow(HWND wnd, LPARAM param) {
  // Read without sending anything to the thread, which may be busy.
  wchar_t caption[128] = {};
  ::InternalGetWindowText(wnd, caption, 128);
  char name[64] = {};
  ::GetClassNameA(wnd, name, sizeof name);
  std::fprintf(stderr, "    window %p, class %s, \"%ls\"%s\n", static_cast<void*>(wnd), name, caption,
               ::IsWindowVisible(wnd) ? "" : " (hidden)");
  ++*reinterpret_cast<int*>(param);
  return TRUE;
}

struct ForeignSearch {
  HWND own[3];
  std::vector<HWND> found;
};

BOOL CALLBACK CollectForeignWindow(HWND wnd, LPARAM param) {
  auto* search = reinterpret_cast<ForeignSearch*>(param);
  for (HWND own : search->own) {
    if (wnd == own) return TRUE;
  }
  // Hidden helpers (tooltips, input-method windows) go with their owners.
  if (::IsWindowVisible(wnd) || IsDialogWindow(wnd)) search->found.push_back(wnd);
  return TRUE;
}

}  // namespace

StandinHostThread::StandinHostThread(StandinOptions options, const ItemRecordList* library)
    : m_options(std::move(options)) {
  if (library != nullptr) AppendItemRecords(m_initialLibrary, *library);
}

StandinHostThread::~StandinHostThread() {
  Shutdown();
  ReleaseItemRecordList(m_initialLibrary);
}

StandinOptions StandinHostThread::TestOptions() {
  StandinOptions options;
  options.registerGlobalHotkeys = false;
  return options;
}

bool StandinHostThread::Start() {
  if (m_thread != nullptr) return m_createdOk;
  m_host = std::make_unique<StandinHost>(m_options);
  m_started = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  m_thread = ::CreateThread(nullptr, 0, ThreadEntry, this, 0, &m_threadId);
  if (m_thread == nullptr) {
    ::CloseHandle(m_started);
    m_started = nullptr;
    m_host.reset();
    return false;
  }
  if (::WaitForSingleObject(m_started, test_support::ScaledMs(kRunTimeoutMs)) != WAIT_OBJECT_0) {
    ReportStillRunning("creating the host's windows", kRunTimeoutMs);
    EndProgram("the stand-in host did not start");
  }
  if (!m_createdOk) {
    if (::WaitForSingleObject(m_thread, test_support::ScaledMs(kDefaultTimeoutMs)) != WAIT_OBJECT_0)
      EndProgram("the stand-in host thread did not end after failing to start");
    ::CloseHandle(m_thread);
    m_thread = nullptr;
    m_host.reset();
  }
  return m_createdOk;
}

DWORD WINAPI StandinHostThread::ThreadEntry(void* self) {
  static_cast<StandinHostThread*>(self)->ThreadMain();
  return 0;
}

void StandinHostThread::ThreadMain() {
  HINSTANCE instance = ::GetModuleHandleA(nullptr);
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = RunnerProc;
  wc.hInstance = instance;
  wc.lpszClassName = kRunnerClassName;
  ::RegisterClassExA(&wc);  // fails harmlessly when a previous host registered it
  m_runner = ::CreateWindowExA(0, kRunnerClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               instance, nullptr);
  m_host->SetLibrary(m_initialLibrary);
  m_createdOk = m_runner != nullptr && m_host->Create(instance);
  m_main = m_host->MainWindow();
  m_library = m_host->LibraryWindow();
  ::SetEvent(m_started);
  if (m_createdOk) {
    MSG msg;
    while (m_host->NextMessage(msg) > 0) {
      ::TranslateMessage(&msg);
      m_host->Dispatch(msg);
    }
  }
  m_host->Destroy();
  if (m_runner != nullptr) ::DestroyWindow(m_runner);
  m_runner = nullptr;
}

bool StandinHostThread::Shutdown() {
  if (m_thread == nullptr) return true;
  CloseForeignWindows(kDefaultTimeoutMs);
  // A dialog's hook may still be returning; plug-ins can only go once it has.
  const bool idle = WaitFor(
      [this] {
        bool busy = true;
        Run([&] { busy = !m_host->CanUnloadNow(); }, kDefaultTimeoutMs);
        return !busy;
      },
      kDefaultTimeoutMs);
  const bool destroyed = idle && Run([this] { m_host->Destroy(); }, kDefaultTimeoutMs);
  ::PostThreadMessageA(m_threadId, WM_QUIT, 0, 0);
  if (::WaitForSingleObject(m_thread, test_support::ScaledMs(kDefaultTimeoutMs)) != WAIT_OBJECT_0) {
    // The thread's loop and the host live in this object: it cannot go while the thread
    // runs, and the test program cannot go on either.
    ReportStillRunning(!idle ? "waiting for the plug-ins' code to return"
                             : !destroyed ? "destroying the host" : "ending its message loop",
                       kDefaultTimeoutMs);
    EndProgram("the stand-in host thread did not stop");
  }
  ::CloseHandle(m_thread);
  ::CloseHandle(m_started);
  m_thread = nullptr;
  m_started = nullptr;
  m_main = nullptr;
  m_library = nullptr;
  m_host.reset();
  return idle && destroyed;
}

bool StandinHostThread::Run(const std::function<void()>& fn, DWORD timeoutMs) {
  if (m_runner == nullptr) return false;
  if (::GetCurrentThreadId() == m_threadId) {
    fn();
    return true;
  }
  auto* job = new RunJob;
  job->fn = &fn;
  const DWORD bound = test_support::ScaledMs(timeoutMs);
  DWORD_PTR result = 0;
  bool ran = ::SendMessageTimeoutA(m_runner, kRunMessage, 0, reinterpret_cast<LPARAM>(job), SMTO_NORMAL, bound,
                                   &result) != 0;
  if (!ran && !job->Claim(RunJob::kWithdrawn)) {
    // Taken up just now: `fn` refers to this frame, so it must end before the frame does.
    if (::WaitForSingleObject(job->done, bound) != WAIT_OBJECT_0) {
      ReportStillRunning("running a test's function", timeoutMs * 2);
      EndProgram("a function run on the stand-in host's thread did not return");
    }
    ran = true;
  }
  // A call the thread never took up fails the test here, where it is known, whatever
  // its caller does with the answer.
  if (!ran) ADD_FAILURE() << "the stand-in host's thread took up no call within " << bound << " ms";
  job->Release();
  return ran;
}

bool StandinHostThread::LoadPlugin(const std::string& dll, std::string* error) {
  bool ok = false;
  std::string message;
  Run([&] { ok = m_host->LoadPlugin(dll, message); });
  if (error != nullptr) *error = message;
  return ok;
}

void StandinHostThread::UnloadPlugins() {
  Run([this] { m_host->UnloadPlugins(); });
}

bool StandinHostThread::ConfigPlugin(std::size_t index) {
  bool ok = false;
  Run([&] { ok = m_host->ConfigPlugin(index); });
  return ok;
}

void StandinHostThread::PostHotkeyMessage(WPARAM wParam, LPARAM lParam) {
  ::PostMessageA(m_main, host_msg::kHotkeyMessage, wParam, lParam);
}

bool StandinHostThread::PressHotkey(std::size_t index) {
  int id = 0;
  HotkeyBinding binding;
  Run([&] {
    if (index < m_host->Hotkeys().size()) {
      id = m_host->Hotkeys()[index].hotkeyId;
      binding = m_host->Hotkeys()[index].binding;
    }
  });
  if (id == 0) return false;
  return ::PostMessageA(m_main, WM_HOTKEY, id, MAKELPARAM(binding.modifiers, binding.virtualKey)) !=
         FALSE;
}

HWND StandinHostThread::WaitForWindow(const std::string& caption, DWORD timeoutMs,
                                      const char* className) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        // FindWindowEx reads the stored caption without sending to the busy UI thread.
        for (HWND wnd = ::FindWindowExA(nullptr, nullptr, className, caption.c_str());
             wnd != nullptr; wnd = ::FindWindowExA(nullptr, wnd, className, caption.c_str())) {
          if (::GetWindowThreadProcessId(wnd, nullptr) == m_threadId && ::IsWindowVisible(wnd)) {
            found = wnd;
            return true;
          }
        }
        return false;
      },
      timeoutMs);
  return found;
}

bool StandinHostThread::WaitForWindowGone(HWND wnd, DWORD timeoutMs) {
  return WaitUntil([wnd] { return !::IsWindow(wnd); }, timeoutMs);
}

bool StandinHostThread::WaitFor(const std::function<bool()>& predicate, DWORD timeoutMs) {
  return WaitUntil(predicate, timeoutMs);
}

std::vector<HWND> StandinHostThread::ForeignWindows() const {
  if (m_threadId == 0) return {};
  ForeignSearch search{{m_main, m_library, m_runner}, {}};
  ::EnumThreadWindows(m_threadId, CollectForeignWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void StandinHostThread::CloseForeignWindows(DWORD timeoutMs) {
  const DWORD bound = test_support::ScaledMs(timeoutMs);
  const DWORD start = ::GetTickCount();
  for (int round = 0;; ++round) {
    std::vector<HWND> windows = ForeignWindows();
    if (windows.empty() || ::GetTickCount() - start >= bound) return;
    // Only the topmost modal window can end: a message box first, then its dialog. A
    // dialog first gets its own Cancel; one that ignores it (a box with Yes and No)
    // has its modal loop ended on its thread.
    if (round >= 3) {
      Run(
          [&] {
            for (HWND wnd : windows)
              if (::IsWindow(wnd) && IsDialogWindow(wnd)) ::EndDialog(wnd, IDCANCEL);
          },
          kDefaultTimeoutMs / 10);
    }
    for (HWND wnd : windows) {
      if (IsDialogWindow(wnd)) {
        ::PostMessageA(wnd, WM_COMMAND, IDCANCEL, 0);
      } else {
        ::PostMessageA(wnd, WM_CLOSE, 0, 0);
      }
    }
    WaitUntil([&] { return ForeignWindows().size() < windows.size(); }, 1000);
  }
}

void StandinHostThread::ReportStillRunning(const char* step, DWORD waitedMs) const {
  std::fprintf(stderr, "*** the stand-in host's thread %lu is still running after %lu ms, %s; its windows:\n",
               static_cast<unsigned long>(m_threadId), static_cast<unsigned long>(test_support::ScaledMs(waitedMs)),
               step);
  int count = 0;
  ::EnumThreadWindows(m_threadId, DescribeThreadWindow, reinterpret_cast<LPARAM>(&count));
  if (count == 0) std::fprintf(stderr, "    none\n");
}

std::vector<LogEntry> StandinHostThread::LogSnapshot() {
  std::vector<LogEntry> log;
  Run([&] { log = m_host->Log(); });
  return log;
}

Playlist StandinHostThread::PlaylistSnapshot() {
  Playlist playlist;
  Run([&] { playlist = m_host->GetPlaylist(); });
  return playlist;
}

std::vector<KeptHotkey> StandinHostThread::HotkeysSnapshot() {
  std::vector<KeptHotkey> hotkeys;
  Run([&] { hotkeys = m_host->Hotkeys(); });
  return hotkeys;
}

int StandinHostThread::OutstandingResults() {
  int n = 0;
  Run([&] { n = m_host->Server().Outstanding(); });
  return n;
}

int StandinHostThread::ResultsServed() {
  int n = 0;
  Run([&] { n = m_host->Server().ResultsServed(); });
  return n;
}

int StandinHostThread::ResultsFreed() {
  int n = 0;
  Run([&] { n = m_host->Server().ResultsFreed(); });
  return n;
}

int StandinHostThread::BadFrees() {
  int n = 0;
  Run([&] { n = m_host->Server().BadFrees(); });
  return n;
}

int StandinHostThread::NameNumber(const std::string& name) {
  int n = 0;
  Run([&] { n = m_host->NameNumber(name); });
  return n;
}

int StandinHostThread::CountUserMessages(LPARAM lParam) {
  int n = 0;
  Run([&] {
    for (const LogEntry& entry : m_host->Log()) {
      if (entry.message == WM_USER && entry.lParam == lParam) ++n;
    }
  });
  return n;
}

}  // namespace standin
