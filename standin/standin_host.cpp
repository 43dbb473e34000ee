#include "standin/standin_host.h"

#include <algorithm>
#include <utility>

#include "library/item_records.h"
#include "library/library_file.h"
#include "platform/replacing_file.h"
#include "standin/common_control_classes.h"
#include "standin/host_windows.h"
#include "standin/library_location.h"
#include "standin/message_text.h"

using namespace tunyra;

namespace standin {

namespace {

constexpr const char* kHostProperty = "TunyraStandinHost";

// Counts a call into a plug-in, or a run of the main window's procedure, while it lasts.
class DepthCount {
 public:
  explicit DepthCount(int& depth) : m_depth(depth) { ++m_depth; }
  ~DepthCount() { --m_depth; }
  DepthCount(const DepthCount&) = delete;
  DepthCount& operator=(const DepthCount&) = delete;

 private:
  int& m_depth;
};

}  // namespace

StandinHost::StandinHost(StandinOptions options) : m_options(std::move(options)) {
  m_server.SetHostile(m_options.hostile);
}

StandinHost::~StandinHost() { Destroy(); }

bool StandinHost::Create(HINSTANCE instance, HostView* view, std::string* error) {
  if (m_main != nullptr) return true;
  m_view = view;
  for (const std::string& name : m_options.preload) {
    HMODULE module = ::LoadLibraryA(name.c_str());
    if (module == nullptr) {
      if (error) *error = "cannot preload " + name + ": error " + std::to_string(::GetLastError());
      return false;
    }
    m_preloaded.push_back(module);
  }
  const bool wide = m_options.unicodeMainWindow;
  if (!(wide ? RegisterWindowClass(instance, kWideMainClassName, MainProc)
             : RegisterWindowClass(instance, kMainClassName, MainProc)) ||
      !RegisterWindowClass(instance, kLibraryClassName, LibraryProc))
    return false;
  if (wide) {
    m_main = ::CreateWindowExW(0, kWideMainClassName, kWideMainCaption,
                               WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT, 900, 640,
                               nullptr, nullptr, instance, this);
  } else {
    m_main = ::CreateWindowExA(0, kMainClassName, kMainCaption, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                               CW_USEDEFAULT, CW_USEDEFAULT, 900, 640, nullptr, nullptr, instance, this);
  }
  if (m_main == nullptr) return false;
  if (!m_options.noLibraryWindow) {
    m_library = ::CreateWindowExA(0, kLibraryClassName, "Media Library", WS_POPUP, 0, 0, 0, 0,
                                  m_main, nullptr, instance, this);
  }
  if (m_options.unregisteredCommonControls) TakeAwayCommonControlClasses();
  return true;
}

LRESULT StandinHost::DefaultMainProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) const {
  return m_options.unicodeMainWindow ? ::DefWindowProcW(wnd, message, wParam, lParam)
                                     : ::DefWindowProcA(wnd, message, wParam, lParam);
}

BOOL StandinHost::NextMessage(MSG& msg) const {
  return m_options.unicodeMainWindow ? ::GetMessageW(&msg, nullptr, 0, 0) : ::GetMessageA(&msg, nullptr, 0, 0);
}

void StandinHost::Dispatch(const MSG& msg) const {
  if (m_options.unicodeMainWindow) {
    ::DispatchMessageW(&msg);
  } else {
    ::DispatchMessageA(&msg);
  }
}

void StandinHost::Destroy() {
  UnloadPlugins();
  for (KeptHotkey& hotkey : m_hotkeys) {
    if (hotkey.registered && m_main != nullptr) ::UnregisterHotKey(m_main, hotkey.hotkeyId);
    hotkey.registered = false;
  }
  if (m_library != nullptr && ::IsWindow(m_library)) ::DestroyWindow(m_library);
  m_library = nullptr;
  if (m_main != nullptr && ::IsWindow(m_main)) ::DestroyWindow(m_main);
  m_main = nullptr;
  m_view = nullptr;
  if (m_options.unregisteredCommonControls) RestoreCommonControlClasses();
  for (auto it = m_preloaded.rbegin(); it != m_preloaded.rend(); ++it) ::FreeLibrary(*it);
  m_preloaded.clear();
}

// Library -------------------------------------------------------------------------

bool StandinHost::LoadLibraryFile(const std::string& path, std::string& error) {
  // A file that cannot fit is refused before it is read.
  if (!FitsInAddressSpace(path, error)) return false;
  LibraryFile file;
  if (!file.ReadFile(path, error)) return false;
  SetLibrary(file.Records());
  if (Library().size != file.Records().size) {
    SetLibrary(ItemRecordList{nullptr, 0, 0});
    error = path + ": not enough memory for the library (the player's copy of " +
            std::to_string(file.Records().size) + " items)";
    return false;
  }
  m_libraryPath = path;
  Note("library " + Quoted(path.c_str()) + ": " + std::to_string(Library().size) + " items");
  return true;
}

void StandinHost::SetLibrary(const ItemRecordList& records) { m_server.SetLibrary(records); }

// Plug-ins ------------------------------------------------------------------------

bool StandinHost::LoadPlugin(const std::string& path, std::string& error) {
  if (m_main == nullptr) {
    error = "the host has no main window";
    return false;
  }
  HMODULE module = ::LoadLibraryA(path.c_str());
  if (module == nullptr) {
    error = "cannot load " + path + " (error " + std::to_string(::GetLastError()) + ")";
    return false;
  }
  if (m_options.unregisteredCommonControls) GiveCommonControlClassesOnRequest(module);
  auto get = reinterpret_cast<PluginEntryFn>(reinterpret_cast<void*>(::GetProcAddress(module, kPluginEntryName)));
  if (get == nullptr) {
    ::FreeLibrary(module);
    error = path + " has no " + kPluginEntryName + " export";
    return false;
  }
  PluginRecord* record = nullptr;
  {
    const DepthCount inPlugin(m_pluginCallDepth);
    record = get();
  }
  if (record == nullptr) {
    ::FreeLibrary(module);
    error = path + " returned no plug-in record";
    return false;
  }
  record->hwndParent = m_main;
  record->hDllInstance = module;
  m_plugins.push_back(LoadedPlugin{path, module, record, 0});
  int result = 0;
  if (record->init != nullptr) {
    const DepthCount inPlugin(m_pluginCallDepth);
    result = record->init();
  }
  m_plugins.back().initResult = result;
  Note("plug-in " + Quoted(record->description) + " version " + Hex(static_cast<unsigned long>(record->version)) +
       " loaded, init -> " + std::to_string(result));
  return true;
}

int StandinHost::LoadPluginsIn(const std::string& folder, std::vector<std::string>& errors) {
  WIN32_FIND_DATAA found{};
  HANDLE search = ::FindFirstFileA((folder + "\\gen_*.dll").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  std::vector<std::string> names;
  do {
    names.push_back(found.cFileName);
  } while (::FindNextFileA(search, &found));
  ::FindClose(search);
  std::sort(names.begin(), names.end());  // the file system's order is not defined
  int loaded = 0;
  for (const std::string& name : names) {
    std::string error;
    if (LoadPlugin(folder + "\\" + name, error)) {
      ++loaded;
    } else {
      errors.push_back(error);
    }
  }
  return loaded;
}

void StandinHost::UnloadPlugins() {
  if (m_plugins.empty()) return;
  if (!CanUnloadNow()) {
    // A plug-in's frames may be below us: its code cannot go away under them.
    Note("unload refused: plug-in code may be on the stack");
    return;
  }
  // Messages a plug-in posted may point into its image (the hotkey record does):
  // handle them while the library is still there.
  MSG pending;
  while (m_main != nullptr && ::PeekMessageA(&pending, m_main, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&pending);
    ::DispatchMessageA(&pending);
  }
  while (!m_plugins.empty()) {
    LoadedPlugin plugin = m_plugins.back();
    m_plugins.pop_back();
    CallQuit(plugin);
    DestroyWindowsOf(plugin.module);
    TakeBackWindowProcs(plugin.module);
    ::FreeLibrary(plugin.module);
    Note("plug-in " + Quoted(plugin.path.c_str()) + " quit and unloaded");
  }
}

void StandinHost::CallQuit(const LoadedPlugin& plugin) {
  if (plugin.record == nullptr || plugin.record->quit == nullptr) return;
  const DepthCount inPlugin(m_pluginCallDepth);
  plugin.record->quit();
}

void StandinHost::QuitAndFreeAtOnce() {
  while (!m_plugins.empty()) {
    LoadedPlugin plugin = m_plugins.back();
    m_plugins.pop_back();
    CallQuit(plugin);
    ::FreeLibrary(plugin.module);
    Note("plug-in " + Quoted(plugin.path.c_str()) + " quit and unloaded on close");
  }
}

void StandinHost::DestroyWindowsOf(HMODULE module) {
  for (HWND wnd : WindowsOfModule(module, m_main, m_library)) {
    if (::IsWindow(wnd)) {
      ::DestroyWindow(wnd);
      Note("destroyed a window the plug-in left open");
    }
  }
}

void StandinHost::TakeBackWindowProcs(HMODULE module) {
  const std::pair<HWND, WNDPROC> windows[] = {{m_main, MainProc}, {m_library, LibraryProc}};
  for (const auto& [wnd, own] : windows) {
    if (wnd == nullptr || !::IsWindow(wnd)) continue;
    auto current = reinterpret_cast<const void*>(::GetWindowLongPtrA(wnd, GWLP_WNDPROC));
    if (AddressInModule(current, module)) {
      // The plug-in's hook would point into freed code once the library is gone.
      ::SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(own));
      Note("took back the window procedure from an unloaded plug-in");
    }
  }
}

int StandinHost::CountOtherWindows() const {
  return static_cast<int>(OtherWindows(m_main, m_library).size());
}

int StandinHost::CloseOtherWindows() {
  const std::vector<HWND> others = OtherWindows(m_main, m_library);
  for (HWND wnd : others) {
    if (IsDialogWindow(wnd)) {
      ::PostMessageA(wnd, WM_COMMAND, IDCANCEL, 0);
    } else {
      ::PostMessageA(wnd, WM_CLOSE, 0, 0);
    }
  }
  return static_cast<int>(others.size());
}

bool StandinHost::ConfigPlugin(std::size_t index) {
  if (index >= m_plugins.size()) return false;
  PluginRecord* record = m_plugins[index].record;
  if (record == nullptr || record->config == nullptr) return false;
  Note("config " + Quoted(record->description));
  const DepthCount inPlugin(m_pluginCallDepth);
  record->config();
  return true;
}

// Hotkeys -------------------------------------------------------------------------

const KeptHotkey* StandinHost::AddHotkey(const HotkeyRecord* record) {
  if (record == nullptr || m_options.noHotkeyPlugin) return nullptr;
  std::string id = record->id != nullptr ? record->id : "";
  KeptHotkey* kept = nullptr;
  for (KeptHotkey& existing : m_hotkeys) {
    if (!id.empty() && existing.id == id) kept = &existing;
  }
  if (kept == nullptr) {
    m_hotkeys.emplace_back();
    kept = &m_hotkeys.back();
    std::size_t index = m_hotkeys.size() - 1;
    kept->hotkeyId = kFirstHotkeyId + static_cast<int>(index);
    if (index < m_options.bindings.size()) {
      kept->binding = m_options.bindings[index];
      if (m_options.registerGlobalHotkeys && m_main != nullptr) {
        kept->registered = ::RegisterHotKey(m_main, kept->hotkeyId, kept->binding.modifiers,
                                            kept->binding.virtualKey) != FALSE;
      }
    }
  }
  kept->record = *record;
  kept->record.name = nullptr;
  kept->record.id = nullptr;
  kept->name = record->name != nullptr ? record->name : "";
  kept->id = id;
  return kept;
}

bool StandinHost::TriggerHotkey(std::size_t index) {
  if (index >= m_hotkeys.size()) return false;
  const HotkeyRecord record = m_hotkeys[index].record;
  HWND target = record.wnd != nullptr ? static_cast<HWND>(record.wnd) : m_main;
  if (target == nullptr || !::IsWindow(target)) return false;
  const DepthCount inPlugin(m_pluginCallDepth);
  ::SendMessageA(target, record.uMsg, record.wParam, record.lParam);
  return true;
}

void StandinHost::OnHotkey(int hotkeyId) {
  for (std::size_t i = 0; i < m_hotkeys.size(); ++i) {
    if (m_hotkeys[i].hotkeyId == hotkeyId) {
      TriggerHotkey(i);
      return;
    }
  }
}

// Names ---------------------------------------------------------------------------

int StandinHost::RegisterName(const char* name) {
  if (name == nullptr) return 0;
  auto [it, added] = m_names.emplace(name, m_nextNameNumber);
  if (added) ++m_nextNameNumber;
  return it->second;
}

int StandinHost::NameNumber(const std::string& name) const {
  auto it = m_names.find(name);
  return it == m_names.end() ? 0 : it->second;
}

// Playlist and log ----------------------------------------------------------------

bool StandinHost::WriteM3u(const std::string& path, std::string& error) const {
  return ReplaceFileWith(path, m_playlist.FormatM3u(), "playlist", error);
}

void StandinHost::AppendLog(UINT message, WPARAM wParam, LPARAM lParam, std::string text) {
  if (m_log.size() >= kLogLimit) m_log.erase(m_log.begin(), m_log.begin() + kLogLimit / 2);
  m_log.push_back(LogEntry{message, wParam, lParam, std::move(text)});
  if (m_view != nullptr) m_view->OnLogged(m_log.back());
}

// Window procedures ---------------------------------------------------------------

LRESULT CALLBACK StandinHost::MainProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* host = static_cast<StandinHost*>(::GetPropA(wnd, kHostProperty));
  if (message == WM_NCCREATE) {
    host = static_cast<StandinHost*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    ::SetPropA(wnd, kHostProperty, host);
  }
  if (host == nullptr) {
    return ::IsWindowUnicode(wnd) ? ::DefWindowProcW(wnd, message, wParam, lParam)
                                  : ::DefWindowProcA(wnd, message, wParam, lParam);
  }
  const DepthCount inMainProc(host->m_mainProcDepth);
  try {
    return host->OnMainMessage(wnd, message, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

LRESULT CALLBACK StandinHost::LibraryProc(HWND wnd, UINT message, WPARAM wParam,
                                          LPARAM lParam) {
  auto* host = static_cast<StandinHost*>(::GetPropA(wnd, kHostProperty));
  if (message == WM_NCCREATE) {
    host = static_cast<StandinHost*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    ::SetPropA(wnd, kHostProperty, host);
  }
  if (host == nullptr) return ::DefWindowProcA(wnd, message, wParam, lParam);
  try {
    return host->OnLibraryMessage(wnd, message, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

LRESULT StandinHost::OnMainMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_USER:
      return OnHostUserMessage(wParam, lParam);
    case WM_HOTKEY:
      AppendLog(message, wParam, lParam, DescribeMessage(*this, message, wParam, lParam));
      OnHotkey(static_cast<int>(wParam));
      return 0;
    case WM_CLOSE:
      if (m_options.unloadOnClose) QuitAndFreeAtOnce();
      break;
    case WM_NCDESTROY: {
      ::RemovePropA(wnd, kHostProperty);
      LRESULT result = 0;
      if (m_view != nullptr) m_view->OnWindowMessage(wnd, message, wParam, lParam, result);
      if (wnd == m_main) m_main = nullptr;
      return DefaultMainProc(wnd, message, wParam, lParam);
    }
    default:
      break;
  }
  // The host interface lives in the user ranges; window-system traffic is not logged.
  if ((message > WM_USER && message < WM_APP) || message >= 0xC000) {
    AppendLog(message, wParam, lParam, DescribeMessage(*this, message, wParam, lParam));
  }
  LRESULT result = 0;
  if (m_view != nullptr && m_view->OnWindowMessage(wnd, message, wParam, lParam, result))
    return result;
  return DefaultMainProc(wnd, message, wParam, lParam);
}

LRESULT StandinHost::OnHostUserMessage(WPARAM wParam, LPARAM lParam) {
  std::string text = DescribeMessage(*this, WM_USER, wParam, lParam);
  LRESULT result = 0;
  bool playlistChanged = false;
  const int number = static_cast<int>(lParam);
  switch (lParam) {
    case host_msg::kRegisterName:
      result = RegisterName(reinterpret_cast<const char*>(wParam));
      text += " -> " + std::to_string(result);
      break;
    case host_msg::kClearPlaylist:
      m_playlist.Clear();
      playlistChanged = true;
      break;
    case host_msg::kStartPlayback:
      m_playlist.SetPlaying(true);
      playlistChanged = true;
      break;
    case host_msg::kEnqueue:
      if (const auto* record = reinterpret_cast<const EnqueueRecord*>(wParam)) {
        m_playlist.Append(PlaylistEntry{record->filename != nullptr ? record->filename : "",
                                        record->title != nullptr ? record->title : "",
                                        record->length});
        playlistChanged = true;
      }
      break;
    default:
      if (number != 0 && number == NameNumber(host_msg::kHotkeysAddName)) {
        if (m_options.noHotkeyPlugin) {
          text += " ignored (no hotkey plug-in)";
        } else {
          if (const KeptHotkey* kept = AddHotkey(reinterpret_cast<const HotkeyRecord*>(wParam))) {
            if (kept->registered) {
              text += " bound to " + KeyName(kept->binding);
            } else if (m_options.registerGlobalHotkeys &&
                       static_cast<std::size_t>(kept->hotkeyId - kFirstHotkeyId) <
                           m_options.bindings.size()) {
              text += " kept; " + KeyName(kept->binding) + " is taken by another program";
            } else {
              text += " kept";
            }
          }
        }
      } else if (number != 0 && number == NameNumber(host_msg::kLibraryGetWndName)) {
        result = reinterpret_cast<LRESULT>(m_library);
        text += m_library != nullptr ? " -> " + Hex(static_cast<unsigned long>(result))
                                     : " -> 0 (no Media Library)";
      }
      break;
  }
  AppendLog(WM_USER, wParam, lParam, std::move(text));
  if (playlistChanged && m_view != nullptr) m_view->OnPlaylistChanged();
  return result;
}

LRESULT StandinHost::OnLibraryMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCDESTROY) {
    ::RemovePropA(wnd, kHostProperty);
    if (wnd == m_library) m_library = nullptr;
  }
  if (message != host_msg::kLibraryMessage) return ::DefWindowProcA(wnd, message, wParam, lParam);
  std::string text = DescribeMessage(*this, message, wParam, lParam);
  LRESULT result = 0;
  auto* query = reinterpret_cast<LibraryQuery*>(wParam);
  if (lParam == host_msg::kRunQuery && query != nullptr) {
    result = m_server.RunQuery(*query);
    text += " -> " + std::to_string(result) + " items";
  } else if (lParam == host_msg::kFreeResult && query != nullptr) {
    result = m_server.FreeResult(*query) ? 1 : 0;
    text += result != 0 ? " -> released" : " -> not a result of ours (ignored)";
  }
  AppendLog(message, wParam, lParam, std::move(text));
  return result;
}

}  // namespace standin
