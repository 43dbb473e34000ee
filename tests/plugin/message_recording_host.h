#pragma once
// A bare host for tests that need every argument the player's window receives: a main
// window and a Media Library window on the calling thread, both logging what reaches
// their own procedures and answering the host messages from a fixed table.

#include <windows.h>

#include <string>
#include <vector>

#include "host/host_records.h"

namespace plugin_test {

struct Received {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  LRESULT result;
  std::string text;  // what the record or name behind wParam held at the time
};

class MessageRecordingHost {
 public:
  static constexpr UINT kHotkeysAddNumber = 2001;
  static constexpr UINT kLibraryGetWndNumber = 2002;

  // `withLibrary` false: "LibraryGetWnd" answers 0.
  explicit MessageRecordingHost(bool withLibrary = true);
  ~MessageRecordingHost();
  MessageRecordingHost(const MessageRecordingHost&) = delete;
  MessageRecordingHost& operator=(const MessageRecordingHost&) = delete;

  HWND Main() const { return m_main; }
  HWND Library() const { return m_library; }
  static WNDPROC MainProc();

  // Items the run-query answer copies into a malloc'd result. With `emptyStorage` the
  // answer allocates storage but reports size 0.
  void SetLibrary(std::vector<ItemRecord> items, bool emptyStorage = false) {
    m_items = std::move(items);
    m_emptyStorage = emptyStorage;
  }
  int Outstanding() const { return m_outstanding; }

  // Messages at or above WM_USER that reached the main or library procedure.
  const std::vector<Received>& Log() const { return m_log; }
  void ClearLog() { m_log.clear(); }

  // Delivers posted messages waiting for this thread.
  static void Pump();

 private:
  static LRESULT CALLBACK StaticProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMain(WPARAM wParam, LPARAM lParam, std::string& text);
  LRESULT OnLibrary(WPARAM wParam, LPARAM lParam, std::string& text);

  HWND m_main = nullptr;
  HWND m_library = nullptr;
  bool m_withLibrary;
  std::vector<ItemRecord> m_items;
  bool m_emptyStorage = false;
  int m_outstanding = 0;
  std::vector<Received> m_log;
};

// What a host does first: the record behind the export of `module`, or null.
PluginRecord* GetPluginRecord(HMODULE module);

// The image range of a loaded module: [base, base + SizeOfImage).
bool InModuleImage(HMODULE module, const void* address);

}  // namespace plugin_test
