#include "plugin/host_interface.h"

namespace tunyra {

LRESULT HostInterface::SendToMain(WPARAM wParam, LPARAM lParam) {
  return ::SendMessageA(m_main, host_msg::kWmUser, wParam, lParam);
}

UINT HostInterface::RegisterName(const char* name) {
  return static_cast<UINT>(SendToMain(reinterpret_cast<WPARAM>(name), host_msg::kRegisterName));
}

void HostInterface::PostHotkey(const HotkeyRecord& record) {
  const UINT number = RegisterName(host_msg::kHotkeysAddName);
  ::PostMessageA(m_main, host_msg::kWmUser, reinterpret_cast<WPARAM>(&record), number);
}

HWND HostInterface::GetLibraryWindow() {
  const UINT number = RegisterName(host_msg::kLibraryGetWndName);
  // Without a number the request would go out as WM_USER with lParam 0, which a player
  // answers with something that is not a window.
  if (number == 0) return nullptr;
  return reinterpret_cast<HWND>(SendToMain(0, number));
}

bool HostInterface::RunLibraryQuery(LibraryQuery& query) {
  m_library = GetLibraryWindow();
  if (!m_library) return false;
  ::SendMessageA(m_library, host_msg::kLibraryMessage, reinterpret_cast<WPARAM>(&query), host_msg::kRunQuery);
  return true;
}

void HostInterface::FreeLibraryResult(LibraryQuery& query) {
  // Sent whatever the query returned: the Media Library may have allocated storage for
  // an empty result, and only it can release that.
  if (!m_library) m_library = GetLibraryWindow();
  if (!m_library) return;
  ::SendMessageA(m_library, host_msg::kLibraryMessage, reinterpret_cast<WPARAM>(&query), host_msg::kFreeResult);
}

void HostInterface::ClearPlaylist() { SendToMain(0, host_msg::kClearPlaylist); }

void HostInterface::Enqueue(const EnqueueRecord& record) {
  SendToMain(reinterpret_cast<WPARAM>(&record), host_msg::kEnqueue);
}

void HostInterface::StartPlayback() { SendToMain(0, host_msg::kStartPlayback); }

}  // namespace tunyra
