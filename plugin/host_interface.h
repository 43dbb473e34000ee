#pragma once
// The host player as window messages: every message the plug-in sends to the player,
// its Media Library or its hotkey plug-in goes through here.

#include <windows.h>

#include "host/host_operations.h"

namespace tunyra {

class HostInterface : public HostOperations {
 public:
  explicit HostInterface(HWND mainWindow) : m_main(mainWindow) {}

  // The host's message number for `name`; 0 when nothing answers.
  UINT RegisterName(const char* name);
  // Hands `record` to the hotkey plug-in. Posted: the record must outlive the call.
  void PostHotkey(const HotkeyRecord& record);
  // The Media Library window, or null when the host has none.
  HWND GetLibraryWindow();

  bool RunLibraryQuery(LibraryQuery& query) override;
  void FreeLibraryResult(LibraryQuery& query) override;
  void ClearPlaylist() override;
  void Enqueue(const EnqueueRecord& record) override;
  void StartPlayback() override;

 private:
  LRESULT SendToMain(WPARAM wParam, LPARAM lParam);

  HWND m_main;
  HWND m_library = nullptr;  // the window the last query ran on; its free goes there
};

}  // namespace tunyra
