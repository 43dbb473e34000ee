#include "standin/player_window.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstdio>
#include <cstring>

#include "standin/playlist.h"

namespace standin {

namespace {

constexpr UINT kRefreshMessage = WM_APP + 2;
constexpr UINT_PTR kExitTimer = 1;
constexpr UINT kExitTickMs = 50;
constexpr int kExitTicksAtMost = 200;  // then leave without waiting for the plug-in
constexpr int kLogLinesKept = 2000;

enum Command : int {
  kOpenLibrary = 1001,  // 1001 and 1002 are also the accelerators in main.cpp
  kSavePlaylist,
  kExit,
  kSendHotkeyMessage,
  kShowHotkeys,
  kAbout,
  kHotkeyFirst = 2000,  // one per kept hotkey record
  kConfigFirst = 2100,  // one per loaded plug-in
  kCommandLast = 2199,
};

enum Child : int { kListId = 10, kSummaryId, kLogLabelId, kLogId, kStatusId };

std::string StripPrefix(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0 ? text.substr(std::strlen(prefix)) : text;
}

// "Tunyra v1.00 beta" -> "Tunyra"
std::string ShortName(const char* description) {
  std::string name = description != nullptr ? description : "plug-in";
  for (std::size_t i = 0; i + 2 < name.size(); ++i) {
    if (name[i] == ' ' && name[i + 1] == 'v' && name[i + 2] >= '0' && name[i + 2] <= '9')
      return name.substr(0, i);
  }
  return name;
}

std::string KeyText(const KeptHotkey& hotkey) {
  if (!hotkey.registered) return "";
  std::string text;
  if (hotkey.binding.modifiers & MOD_CONTROL) text += "Ctrl+";
  if (hotkey.binding.modifiers & MOD_ALT) text += "Alt+";
  if (hotkey.binding.modifiers & MOD_SHIFT) text += "Shift+";
  if (hotkey.binding.modifiers & MOD_WIN) text += "Win+";
  UINT key = hotkey.binding.virtualKey;
  if (key >= VK_F1 && key <= VK_F24) {
    text += "F" + std::to_string(key - VK_F1 + 1);
  } else {
    text += static_cast<char>(key);
  }
  return text;
}

void AddColumn(HWND list, int index, const char* title, int width, int format) {
  LVCOLUMNA column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
  column.fmt = format;
  column.cx = width;
  column.pszText = const_cast<char*>(title);
  ::SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
}

}  // namespace

PlayerWindow::PlayerWindow(StandinHost& host) : m_host(host) {}

void PlayerWindow::CreateChildren(HWND wnd) {
  m_wnd = wnd;
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrA(wnd, GWLP_HINSTANCE));
  m_font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
  LOGFONTA bold{};
  ::GetObjectA(m_font, sizeof bold, &bold);
  bold.lfWeight = FW_BOLD;
  m_boldFont.reset(::CreateFontIndirectA(&bold));

  HMENU menu = ::CreateMenu();
  HMENU file = ::CreatePopupMenu();
  ::AppendMenuA(file, MF_STRING, kOpenLibrary, "&Open Library...\tCtrl+O");
  ::AppendMenuA(file, MF_STRING, kSavePlaylist, "&Save Playlist as M3U...\tCtrl+S");
  ::AppendMenuA(file, MF_SEPARATOR, 0, nullptr);
  ::AppendMenuA(file, MF_STRING, kExit, "E&xit");
  m_pluginMenu = ::CreatePopupMenu();
  HMENU help = ::CreatePopupMenu();
  ::AppendMenuA(help, MF_STRING, kShowHotkeys, "&Hotkeys...");
  ::AppendMenuA(help, MF_STRING, kAbout, "&About Stand-in Player...");
  ::AppendMenuA(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
  ::AppendMenuA(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(m_pluginMenu), "&Plug-ins");
  ::AppendMenuA(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(help), "&Help");
  ::SetMenu(wnd, menu);

  m_list = ::CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA |
                                 LVS_SHOWSELALWAYS,
                             0, 0, 0, 0, wnd, reinterpret_cast<HMENU>(kListId), instance, nullptr);
  ::SendMessageA(m_list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  AddColumn(m_list, 0, "#", 40, LVCFMT_RIGHT);
  AddColumn(m_list, 1, "Title", 300, LVCFMT_LEFT);
  AddColumn(m_list, 2, "Length", 64, LVCFMT_RIGHT);
  AddColumn(m_list, 3, "File", 320, LVCFMT_LEFT);

  m_summary = ::CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP, 0, 0,
                                0, 0, wnd, reinterpret_cast<HMENU>(kSummaryId), instance, nullptr);
  m_logLabel = ::CreateWindowExA(0, "STATIC", "Messages received", WS_CHILD | WS_VISIBLE, 0, 0, 0,
                                 0, wnd, reinterpret_cast<HMENU>(kLogLabelId), instance, nullptr);
  m_log = ::CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "",
                            WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | LBS_NOINTEGRALHEIGHT |
                                LBS_NOSEL,
                            0, 0, 0, 0, wnd, reinterpret_cast<HMENU>(kLogId), instance, nullptr);
  ::SendMessageA(m_log, LB_SETHORIZONTALEXTENT, 2000, 0);
  m_status = ::CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0,
                               0, 0, 0, wnd, reinterpret_cast<HMENU>(kStatusId), instance, nullptr);
  for (HWND child : {m_list, m_summary, m_logLabel, m_log, m_status}) {
    ::SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
  }
  ::SendMessageA(m_summary, WM_SETFONT, reinterpret_cast<WPARAM>(m_boldFont.get()), FALSE);
  ScheduleRefresh();
}

void PlayerWindow::Layout() {
  if (m_wnd == nullptr) return;
  RECT client{};
  ::GetClientRect(m_wnd, &client);
  ::SendMessageA(m_status, WM_SIZE, 0, 0);
  RECT status{};
  ::GetWindowRect(m_status, &status);
  const int statusHeight = status.bottom - status.top;
  const int width = client.right;
  const int bottom = client.bottom - statusHeight;
  const int margin = 6;
  const int line = 18;
  const int logHeight = bottom / 4 < 90 ? 90 : bottom / 4;
  int parts[3] = {width - 400 > 100 ? width - 400 : 100, width - 150, -1};
  ::SendMessageA(m_status, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(parts));

  const int logTop = bottom - margin - logHeight;
  const int labelTop = logTop - line;
  const int summaryTop = labelTop - margin - line;
  const int listHeight = summaryTop - margin - margin;
  ::MoveWindow(m_list, margin, margin, width - 2 * margin, listHeight > 40 ? listHeight : 40, TRUE);
  ::MoveWindow(m_summary, margin, summaryTop, width - 2 * margin, line, TRUE);
  ::MoveWindow(m_logLabel, margin, labelTop, width - 2 * margin, line - 2, TRUE);
  ::MoveWindow(m_log, margin, logTop, width - 2 * margin, logHeight, TRUE);
  // Title takes what the fixed columns leave.
  RECT list{};
  ::GetClientRect(m_list, &list);
  int fixed = 0;
  for (int c : {0, 2}) fixed += static_cast<int>(::SendMessageA(m_list, LVM_GETCOLUMNWIDTH, c, 0));
  const int rest = list.right - fixed - ::GetSystemMetrics(SM_CXVSCROLL);
  if (rest > 200) {
    ::SendMessageA(m_list, LVM_SETCOLUMNWIDTH, 1, rest * 45 / 100);
    ::SendMessageA(m_list, LVM_SETCOLUMNWIDTH, 3, rest - rest * 45 / 100);
  }
}

void PlayerWindow::ScheduleRefresh() {
  // Enqueues come in bursts; the views are rebuilt once per burst.
  if (m_wnd == nullptr || m_refreshPending) return;
  m_refreshPending = ::PostMessageA(m_wnd, kRefreshMessage, 0, 0) != FALSE;
}

void PlayerWindow::OnPlaylistChanged() { ScheduleRefresh(); }

void PlayerWindow::OnLogged(const LogEntry& entry) {
  char prefix[48];
  switch (entry.message) {
    case 0:
      std::snprintf(prefix, sizeof prefix, "%-10s", "host:");
      break;
    case WM_USER:
      std::snprintf(prefix, sizeof prefix, "%-10s", "WM_USER");
      break;
    case WM_HOTKEY:
      std::snprintf(prefix, sizeof prefix, "%-10s", "WM_HOTKEY");
      break;
    case host_msg::kLibraryMessage:
      std::snprintf(prefix, sizeof prefix, "%-10s", "Library");
      break;
    default:
      std::snprintf(prefix, sizeof prefix, "0x%-8X", entry.message);
      break;
  }
  m_pendingLog.push_back(std::string(prefix) + " " + entry.text);
  if (m_pendingLog.size() > static_cast<std::size_t>(kLogLinesKept))
    m_pendingLog.erase(m_pendingLog.begin());
  ScheduleRefresh();
}

std::string PlayerWindow::SummaryText() const {
  const Playlist& playlist = m_host.GetPlaylist();
  if (playlist.Size() == 0) {
    for (const KeptHotkey& kept : m_host.Hotkeys()) {
      if (kept.registered) {
        return "The playlist is empty.   Press " + KeyText(kept) + " for " +
               StripPrefix(kept.name, "General: ") + ".";
      }
    }
  }
  std::string text = std::to_string(playlist.Size()) + (playlist.Size() == 1 ? " song" : " songs") +
                     ", total time " + FormatDuration(playlist.TotalSeconds());
  text += playlist.Playing() ? "   -   Playing" : "   -   Stopped";
  return text;
}

std::string PlayerWindow::LibraryText() const {
  std::string path = m_host.LibraryPath();
  std::size_t slash = path.find_last_of("\\/");
  if (slash != std::string::npos) path = path.substr(slash + 1);
  if (path.empty()) path = "no library file";
  return "Library: " + path + " (" + std::to_string(m_host.Library().size) + " songs)";
}

void PlayerWindow::Refresh() {
  m_refreshPending = false;
  if (m_wnd == nullptr) return;
  const Playlist& playlist = m_host.GetPlaylist();
  ::SendMessageA(m_list, LVM_SETITEMCOUNT, playlist.Size(), LVSICF_NOSCROLL);
  ::InvalidateRect(m_list, nullptr, TRUE);
  ::SetWindowTextA(m_summary, SummaryText().c_str());

  if (!m_pendingLog.empty()) {
    ::SendMessageA(m_log, WM_SETREDRAW, FALSE, 0);
    for (const std::string& line : m_pendingLog) {
      ::SendMessageA(m_log, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    }
    int count = static_cast<int>(::SendMessageA(m_log, LB_GETCOUNT, 0, 0));
    while (count > kLogLinesKept) {
      ::SendMessageA(m_log, LB_DELETESTRING, 0, 0);
      --count;
    }
    ::SendMessageA(m_log, LB_SETTOPINDEX, count > 0 ? count - 1 : 0, 0);
    ::SendMessageA(m_log, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(m_log, nullptr, TRUE);
    ::SendMessageA(m_status, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(m_pendingLog.back().c_str()));
    m_pendingLog.clear();
  }
  ::SendMessageA(m_status, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>(LibraryText().c_str()));
  std::string hotkey = "No hotkey";
  for (const KeptHotkey& kept : m_host.Hotkeys()) {
    if (kept.registered) {
      hotkey = "Hotkey: " + KeyText(kept);
      break;
    }
  }
  ::SendMessageA(m_status, SB_SETTEXTA, 2, reinterpret_cast<LPARAM>(hotkey.c_str()));
}

void PlayerWindow::FillPluginMenu(HMENU menu) {
  while (::GetMenuItemCount(menu) > 0) ::DeleteMenu(menu, 0, MF_BYPOSITION);
  const auto& hotkeys = m_host.Hotkeys();
  for (std::size_t i = 0; i < hotkeys.size() && kHotkeyFirst + i < kConfigFirst; ++i) {
    std::string text = StripPrefix(hotkeys[i].name, "General: ");
    if (std::string key = KeyText(hotkeys[i]); !key.empty()) text += "\t" + key;
    ::AppendMenuA(menu, MF_STRING, kHotkeyFirst + i, text.c_str());
  }
  const auto& plugins = m_host.Plugins();
  for (std::size_t i = 0; i < plugins.size() && kConfigFirst + i <= kCommandLast; ++i) {
    std::string text = "Configure " + ShortName(plugins[i].record->description);
    ::AppendMenuA(menu, MF_STRING, kConfigFirst + i, text.c_str());
  }
  if (!hotkeys.empty() || !plugins.empty()) ::AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  // With no hotkey plug-in this is the only way to the plug-in's dialog.
  ::AppendMenuA(menu, MF_STRING, kSendHotkeyMessage, "Send Message 0x601 to the Main Window");
}

void PlayerWindow::OnCommand(int id) {
  switch (id) {
    case kOpenLibrary:
      OpenLibrary();
      return;
    case kSavePlaylist:
      SavePlaylist();
      return;
    case kExit:
      RequestExit();
      return;
    case kSendHotkeyMessage:
      ::PostMessageA(m_wnd, host_msg::kHotkeyMessage, 0, 0);
      return;
    case kShowHotkeys:
      ShowHotkeys();
      return;
    case kAbout:
      ::MessageBoxA(m_wnd,
                    "Tunyra Stand-in Player\n\nA small host for general-purpose plug-ins: it "
                    "answers the player's messages, serves a library file as its Media Library "
                    "and shows the playlist the plug-in builds.",
                    "About Stand-in Player", MB_OK | MB_ICONINFORMATION);
      return;
    default:
      break;
  }
  if (id >= kHotkeyFirst && id < kConfigFirst) {
    // Posted, like a key press, so the menu is closed before a plug-in's dialog opens.
    const std::size_t index = static_cast<std::size_t>(id - kHotkeyFirst);
    if (index < m_host.Hotkeys().size())
      ::PostMessageA(m_wnd, WM_HOTKEY, m_host.Hotkeys()[index].hotkeyId, 0);
  } else if (id >= kConfigFirst && id <= kCommandLast) {
    m_host.ConfigPlugin(static_cast<std::size_t>(id - kConfigFirst));
  }
}

void PlayerWindow::OpenLibrary() {
  char path[MAX_PATH] = {};
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = m_wnd;
  ofn.lpstrFilter = "Library files (*.tsv)\0*.tsv\0All files (*.*)\0*.*\0";
  ofn.lpstrFile = path;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrTitle = "Open Library";
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (!::GetOpenFileNameA(&ofn)) return;
  std::string error;
  if (!m_host.LoadLibraryFile(path, error)) {
    ::MessageBoxA(m_wnd, error.c_str(), "Open Library", MB_OK | MB_ICONEXCLAMATION);
  }
  ScheduleRefresh();
}

void PlayerWindow::SavePlaylist() {
  char path[MAX_PATH] = "playlist.m3u";
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = m_wnd;
  ofn.lpstrFilter = "M3U playlists (*.m3u)\0*.m3u\0All files (*.*)\0*.*\0";
  ofn.lpstrFile = path;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrDefExt = "m3u";
  ofn.lpstrTitle = "Save Playlist as M3U";
  ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (!::GetSaveFileNameA(&ofn)) return;
  std::string error;
  if (!m_host.WriteM3u(path, error)) {
    ::MessageBoxA(m_wnd, error.c_str(), "Save Playlist", MB_OK | MB_ICONEXCLAMATION);
  }
}

void PlayerWindow::ShowHotkeys() {
  std::string text;
  for (const KeptHotkey& kept : m_host.Hotkeys()) {
    const std::string key = KeyText(kept);
    text += (key.empty() ? std::string("(no key)") : key) + "    " + kept.name + "\n";
  }
  if (text.empty()) {
    text = m_host.Options().noHotkeyPlugin
               ? "This player runs without a hotkey plug-in: no hotkeys are kept.\n"
               : "No plug-in has registered a hotkey.\n";
  }
  text += "\nPlug-ins > Send Message 0x601 delivers the hotkey message by hand.";
  ::MessageBoxA(m_wnd, text.c_str(), "Hotkeys", MB_OK | MB_ICONINFORMATION);
}

void PlayerWindow::RequestExit() {
  if (m_exiting) return;
  m_exiting = true;
  m_exitTicks = 0;
  // A plug-in's modal dialog may be running below us: ask it to close and finish from
  // the timer once it is gone, never from inside its loop.
  ::SetTimer(m_wnd, kExitTimer, kExitTickMs, nullptr);
  OnExitTick();
}

void PlayerWindow::OnExitTick() {
  ++m_exitTicks;
  if (m_exitTicks <= kExitTicksAtMost) {
    // Asking again every half second lets a question box close first, then its dialog.
    const bool ask = m_exitTicks == 1 || m_exitTicks % 10 == 0;
    const int open = ask ? m_host.CloseOtherWindows() : m_host.CountOtherWindows();
    if (open > 0 || m_host.InPluginCall() || m_host.MainProcDepth() > 1) return;
  }
  ::KillTimer(m_wnd, kExitTimer);
  ::ShowWindow(m_wnd, SW_HIDE);
  ::PostQuitMessage(0);
}

LRESULT PlayerWindow::OnNotify(NMHDR* header) {
  if (header->idFrom != kListId || header->code != LVN_GETDISPINFOA) return 0;
  auto* info = reinterpret_cast<NMLVDISPINFOA*>(header);
  if (!(info->item.mask & LVIF_TEXT)) return 0;
  const auto& entries = m_host.GetPlaylist().Entries();
  if (info->item.iItem < 0 || static_cast<std::size_t>(info->item.iItem) >= entries.size()) return 0;
  const PlaylistEntry& entry = entries[static_cast<std::size_t>(info->item.iItem)];
  // The list view copies the text at once, so pointing into the playlist is safe.
  switch (info->item.iSubItem) {
    case 0:
      std::snprintf(m_cell, sizeof m_cell, "%d", info->item.iItem + 1);
      info->item.pszText = m_cell;
      break;
    case 1:
      info->item.pszText = const_cast<char*>(entry.title.c_str());
      break;
    case 2:
      std::snprintf(m_cell, sizeof m_cell, "%s", FormatDuration(entry.length).c_str());
      info->item.pszText = m_cell;
      break;
    default:
      info->item.pszText = const_cast<char*>(entry.filename.c_str());
      break;
  }
  return 0;
}

bool PlayerWindow::OnWindowMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam,
                                   LRESULT& result) {
  switch (message) {
    case WM_CREATE:
      CreateChildren(wnd);
      result = 0;
      return true;
    case WM_SIZE:
      Layout();
      result = 0;
      return true;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      info->ptMinTrackSize.x = 480;
      info->ptMinTrackSize.y = 360;
      result = 0;
      return true;
    }
    case WM_CTLCOLORSTATIC:
      ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      result = reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
      return true;
    case WM_INITMENUPOPUP:
      if (reinterpret_cast<HMENU>(wParam) == m_pluginMenu) FillPluginMenu(m_pluginMenu);
      return false;
    case WM_COMMAND:
      if (lParam == 0) OnCommand(LOWORD(wParam));
      result = 0;
      return true;
    case WM_NOTIFY:
      result = OnNotify(reinterpret_cast<NMHDR*>(lParam));
      return true;
    case WM_TIMER:
      if (wParam == kExitTimer) OnExitTick();
      result = 0;
      return true;
    case kRefreshMessage:
      Refresh();
      result = 0;
      return true;
    case WM_CLOSE:
      RequestExit();
      result = 0;
      return true;
    case WM_DESTROY:
      m_wnd = nullptr;
      ::PostQuitMessage(0);
      result = 0;
      return true;
    default:
      return false;
  }
}

}  // namespace standin
