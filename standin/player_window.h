#pragma once
// standin.exe's face on the host's main window: the playlist (title, length, file),
// the song count and total time, the message log and a status bar, and the File,
// Plug-ins and Help menus.

#include <windows.h>

#include <string>
#include <vector>

#include "standin/standin_host.h"
#include "winui/handles.h"

namespace standin {

class PlayerWindow : public HostView {
 public:
  explicit PlayerWindow(StandinHost& host);
  PlayerWindow(const PlayerWindow&) = delete;
  PlayerWindow& operator=(const PlayerWindow&) = delete;

  // Closes what plug-ins left open, then ends the message loop. The plug-ins are
  // unloaded after the loop: every message here may have come through a plug-in's
  // hook, whose code must still be there when we return to it.
  void RequestExit();
  void Refresh();

  bool OnWindowMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam,
                       LRESULT& result) override;
  void OnPlaylistChanged() override;
  void OnLogged(const LogEntry& entry) override;

 private:
  void CreateChildren(HWND wnd);
  void Layout();
  void ScheduleRefresh();
  void OnCommand(int id);
  void OnExitTick();
  LRESULT OnNotify(NMHDR* header);
  void FillPluginMenu(HMENU menu);
  void OpenLibrary();
  void SavePlaylist();
  void ShowHotkeys();
  std::string SummaryText() const;
  std::string LibraryText() const;

  StandinHost& m_host;
  HWND m_wnd = nullptr;
  HWND m_list = nullptr;
  HWND m_summary = nullptr;
  HWND m_logLabel = nullptr;
  HWND m_log = nullptr;
  HWND m_status = nullptr;
  HMENU m_pluginMenu = nullptr;
  HFONT m_font = nullptr;
  winui::UniqueFont m_boldFont;
  std::vector<std::string> m_pendingLog;
  bool m_refreshPending = false;
  bool m_exiting = false;
  int m_exitTicks = 0;
  char m_cell[64] = {};
};

}  // namespace standin
