#include "tests/support/test_host.h"

#include <cstring>

#include "library/item_records.h"

using namespace tunyra;

namespace standin {

namespace {

constexpr const char* kRunnerClassName = "TunyraStandinRunner";
constexpr UINT kRunMessage = WM_APP + 1;

LRESULT CALLBACK RunnerProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kRunMessage) {
    try {
      (*reinterpret_cast<const std::function<void()>*>(lParam))();
    } catch (...) {
    }
    return 0;
  }
  return ::DefWindowProcA(wnd, message, wParam, lParam);
}

bool IsDialogWindow(HWND wnd) {
  char name[32] = {};
  ::GetClassNameA(wnd, name, sizeof name);
  return std::strcmp(name, "#32770") == 0;
}

bool WaitUntil(const std::function<bool()>& predicate, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    if (predicate()) return true;
    if (::GetTickCount() - start >= timeoutMs) return false;
    ::Sleep(5);
  }
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
  ::WaitForSingleObject(m_started, INFINITE);
  if (!m_createdOk) {
    ::WaitForSingleObject(m_thread, INFINITE);
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

void StandinHostThread::Shutdown() {
  if (m_thread == nullptr) return;
  CloseForeignWindows(kDefaultTimeoutMs);
  // A dialog's hook may still be returning; plug-ins can only go once it has.
  WaitFor(
      [this] {
        bool busy = false;
        Run([&] { busy = !m_host->CanUnloadNow(); });
        return !busy;
      },
      kDefaultTimeoutMs);
  Run([this] { m_host->Destroy(); });
  ::PostThreadMessageA(m_threadId, WM_QUIT, 0, 0);
  ::WaitForSingleObject(m_thread, kDefaultTimeoutMs);
  ::CloseHandle(m_thread);
  ::CloseHandle(m_started);
  m_thread = nullptr;
  m_started = nullptr;
  m_main = nullptr;
  m_library = nullptr;
  m_host.reset();
}

void StandinHostThread::Run(const std::function<void()>& fn) {
  if (m_runner == nullptr) return;
  if (::GetCurrentThreadId() == m_threadId) {
    fn();
    return;
  }
  ::SendMessageA(m_runner, kRunMessage, 0, reinterpret_cast<LPARAM>(&fn));
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
  const DWORD start = ::GetTickCount();
  int round = 0;
  for (;;) {
    std::vector<HWND> windows = ForeignWindows();
    if (windows.empty() || ::GetTickCount() - start >= timeoutMs) return;
    // Only the topmost modal window can end: a message box first, then its dialog.
    for (HWND wnd : windows) {
      if (IsDialogWindow(wnd) && round < 3) {
        ::PostMessageA(wnd, WM_COMMAND, IDCANCEL, 0);
      } else {
        ::PostMessageA(wnd, WM_CLOSE, 0, 0);
      }
    }
    ++round;
    WaitUntil([&] { return ForeignWindows().size() < windows.size(); }, 1000);
  }
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
