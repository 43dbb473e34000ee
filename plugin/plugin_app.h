#pragma once
// The plug-in as an application: the work behind the host's entry points and the hook
// on the host's main window.

#include <windows.h>

namespace winui {
class Dialog;
}

namespace tunyra {

class CPluginApp {
 public:
  CPluginApp() = default;
  CPluginApp(const CPluginApp&) = delete;
  CPluginApp& operator=(const CPluginApp&) = delete;

  // Registers the hotkey with the host's hotkey plug-in and hooks the host's main
  // window. Always 0: nothing here is reported to the host.
  int Init();
  // Shows the About splash and returns at once.
  void Config();
  // Takes the hook off the host's main window if it is still ours on top. When it is
  // not, or the Select Songs dialog is open (quit from inside its loop), the library
  // pins itself: the host may free it while our code is still called or on the stack.
  // An open dialog ends as if cancelled.
  void Quit();
  // Runs the Select Songs dialog modally; the host's messages go on meanwhile. While
  // one is open, another call brings it to the front instead.
  void RunSelectSongs();

  WNDPROC PreviousWndProc() const { return m_previousWndProc; }
  // The hook forwards through the functions of the character set it was installed with.
  bool HookIsWide() const { return m_hookIsWide; }
  // Between quit and a next init a hook left in the chain only forwards.
  bool HasQuit() const { return m_quit; }

 private:
  void InstallHook(HWND mainWindow);

  HWND m_hookedWindow = nullptr;
  WNDPROC m_previousWndProc = nullptr;
  bool m_hookIsWide = false;
  bool m_quit = false;
  winui::Dialog* m_openDialog = nullptr;  // the Select Songs dialog while its modal loop runs
};

CPluginApp& TheApp();

// The message box for memory that ran out while Select Songs opened.
void TellOutOfMemory();

// Installed on the host's main window by Init.
LRESULT CALLBACK PluginWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace tunyra
