#pragma once
// The stand-in player: a main window and a Media Library window that answer the host
// messages a general-purpose plug-in sends, a playlist, a message log and the loading
// of gen_*.dll plug-ins the way a host loads them.
//
// Everything here runs on one user-interface thread, the one that called Create and
// runs the message loop. Plug-ins subclass the main window (SetWindowLongA with
// GWL_WNDPROC); the window procedure is a plain function that finds its host through
// a window property, so it keeps working under any chain of subclasses.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host/host_records.h"
#include "standin/media_library_server.h"
#include "standin/playlist.h"
#include "standin/standin_options.h"

namespace standin {

// One message the main window received.
struct LogEntry {
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  std::string text;  // decoded, e.g. enqueue "C:\a.mp3" "Title" 215
};

// A hotkey record received through "GenHotkeysAdd", copied with its texts.
struct KeptHotkey {
  HotkeyRecord record{};  // as received, but name and id null: the texts are below
  std::string name;
  std::string id;
  int hotkeyId = 0;         // the id given to RegisterHotKey / carried by WM_HOTKEY
  bool registered = false;  // a global key is bound
  HotkeyBinding binding;
};

struct LoadedPlugin {
  std::string path;
  HMODULE module = nullptr;
  PluginRecord* record = nullptr;
  int initResult = 0;
};

// Optional user interface on the main window (standin.exe). The host forwards the
// window messages it does not answer itself and reports changes.
class HostView {
 public:
  virtual ~HostView() = default;
  // Called for WM_CREATE ... WM_DESTROY and every other non-host message. Return true
  // when handled (result in `result`), false for DefWindowProc.
  virtual bool OnWindowMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam,
                               LRESULT& result) = 0;
  virtual void OnPlaylistChanged() {}
  virtual void OnLogged(const LogEntry&) {}
};

class StandinHost {
 public:
  static constexpr const char* kMainClassName = "TunyraStandinPlayer";
  static constexpr const wchar_t* kWideMainClassName = L"TunyraStandinPlayerW";
  static constexpr const char* kLibraryClassName = "TunyraStandinMediaLibrary";
  static constexpr const char* kMainCaption = "Tunyra Stand-in Player";
  // The title of the Unicode main window: CJK, Cyrillic and accented Latin.
  static constexpr const wchar_t* kWideMainCaption =
      L"Tunyra Stand-in Player \x97F3\x697D \x041C\x0443\x0437\x044B\x043A\x0430 \x00DC\x0144\x00EF";
  static constexpr int kFirstNameNumber = 1000;
  static constexpr int kFirstHotkeyId = 0x100;
  static constexpr std::size_t kLogLimit = 20000;  // oldest entries go first

  explicit StandinHost(StandinOptions options = {});
  ~StandinHost();  // unloads plug-ins and destroys the windows
  StandinHost(const StandinHost&) = delete;
  StandinHost& operator=(const StandinHost&) = delete;

  // Creates the (hidden) main window and, unless disabled, the Media Library window.
  // `view` may be null; it must outlive the windows. Window style and menu are the
  // view's business (it can change them in its WM_CREATE).
  // The preloaded libraries come first; a failure is said in `error` when given.
  bool Create(HINSTANCE instance, HostView* view = nullptr, std::string* error = nullptr);
  // Unloads plug-ins, unbinds hotkeys, destroys the windows. Safe to call twice.
  void Destroy();

  HWND MainWindow() const { return m_main; }
  HWND LibraryWindow() const { return m_library; }
  const StandinOptions& Options() const { return m_options; }
  // The host's own message loop: the functions of its main window's character set.
  BOOL NextMessage(MSG& msg) const;
  void Dispatch(const MSG& msg) const;

  // Library ------------------------------------------------------------------------
  bool LoadLibraryFile(const std::string& path, std::string& error);
  void SetLibrary(const ItemRecordList& records);  // deep copy
  const ItemRecordList& Library() const { return m_server.Library(); }
  const std::string& LibraryPath() const { return m_libraryPath; }
  MediaLibraryServer& Server() { return m_server; }
  const MediaLibraryServer& Server() const { return m_server; }

  // Plug-ins -----------------------------------------------------------------------
  // As a host does: LoadLibrary, the export, the handles written into the record, init.
  bool LoadPlugin(const std::string& path, std::string& error);
  // Every gen_*.dll in `folder`; returns how many loaded.
  int LoadPluginsIn(const std::string& folder, std::vector<std::string>& errors);
  // quit, then FreeLibrary, in reverse load order. Windows of a plug-in that are still
  // there are destroyed first and the main window's procedure is taken back from a
  // plug-in that left its hook installed, so the host keeps working afterwards.
  void UnloadPlugins();
  const std::vector<LoadedPlugin>& Plugins() const { return m_plugins; }
  bool ConfigPlugin(std::size_t index);
  // Asks every window of this thread that is not the host's own (a plug-in's dialog,
  // message box or splash) to close: IDCANCEL to dialogs, WM_CLOSE to the rest, posted.
  // Returns how many there were; call again until 0 before unloading at exit.
  int CloseOtherWindows();
  int CountOtherWindows() const;

  // Hotkeys ------------------------------------------------------------------------
  const std::vector<KeptHotkey>& Hotkeys() const { return m_hotkeys; }
  // As if the key of record `index` was pressed: sends the record's message.
  bool TriggerHotkey(std::size_t index);

  // Registered names ---------------------------------------------------------------
  // The number given to `name`, or 0 if nobody registered it.
  int NameNumber(const std::string& name) const;

  // Playlist and log ---------------------------------------------------------------
  const Playlist& GetPlaylist() const { return m_playlist; }
  Playlist& MutablePlaylist() { return m_playlist; }
  // Replaces the file whole (platform/replacing_file.h).
  bool WriteM3u(const std::string& path, std::string& error) const;
  const std::vector<LogEntry>& Log() const { return m_log; }
  void ClearLog() { m_log.clear(); }
  void AppendLog(UINT message, WPARAM wParam, LPARAM lParam, std::string text);
  // A line of the host's own, with no message behind it.
  void Note(std::string text) { AppendLog(0, 0, 0, std::move(text)); }

  // True while the host is inside a call it made into a plug-in (init, config, quit,
  // a hotkey's message).
  bool InPluginCall() const { return m_pluginCallDepth > 0; }
  // How many calls of the main window's procedure are running; more than one means a
  // nested message loop (a plug-in's dialog) below the current message.
  int MainProcDepth() const { return m_mainProcDepth; }
  // Plug-ins can be unloaded only when none of their code can be on the stack: not
  // inside a call into one, and not inside the main window's procedure, which their
  // hooks call.
  bool CanUnloadNow() const {
    return m_pluginCallDepth == 0 && (m_mainProcDepth == 0 || m_plugins.empty());
  }

 private:
  LRESULT DefaultMainProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) const;
  static LRESULT CALLBACK MainProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK LibraryProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMainMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnLibraryMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnHostUserMessage(WPARAM wParam, LPARAM lParam);
  int RegisterName(const char* name);
  const KeptHotkey* AddHotkey(const HotkeyRecord* record);
  void OnHotkey(int hotkeyId);
  void TakeBackWindowProcs(HMODULE module);
  // quit and FreeLibrary for every plug-in, newest first, with nothing tidied up.
  void QuitAndFreeAtOnce();
  void CallQuit(const LoadedPlugin& plugin);
  void DestroyWindowsOf(HMODULE module);

  StandinOptions m_options;
  HostView* m_view = nullptr;
  HWND m_main = nullptr;
  HWND m_library = nullptr;
  MediaLibraryServer m_server;
  std::string m_libraryPath;
  std::map<std::string, int> m_names;
  int m_nextNameNumber = kFirstNameNumber;
  std::vector<KeptHotkey> m_hotkeys;
  std::vector<LoadedPlugin> m_plugins;
  std::vector<HMODULE> m_preloaded;
  Playlist m_playlist;
  std::vector<LogEntry> m_log;
  int m_pluginCallDepth = 0;
  int m_mainProcDepth = 0;
};

}  // namespace standin
