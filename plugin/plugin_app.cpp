#include "plugin/plugin_app.h"

#include <cstring>
#include <new>

#include "dialog/select_songs_dialog.h"
#include "picking/candidate_matching.h"
#include "plugin/host_interface.h"
#include "plugin/module.h"
#include "splash/about_splash.h"
#include "splash/splash_screen_ex.h"
#include "winui/module_instance.h"

namespace tunyra {

namespace {

constexpr char kHotkeyLabel[] = "General: Tunyra Select Songs";

// Posted to the hotkey plug-in, which reads it after init has returned: it lives as
// long as the library.
HotkeyRecord g_hotkeyRecord = {kHotkeyLabel, 0, host_msg::kHotkeyMessage, 0, 0, kHotkeyLabel, nullptr, {0, 0, 0, 0, 0, 0}};

constexpr DWORD kSplashTimeout = 3000;

// Clears the open-dialog link on every way out of the modal loop.
class OpenDialogScope {
 public:
  OpenDialogScope(winui::Dialog*& slot, winui::Dialog* dialog) : m_slot(slot) { m_slot = dialog; }
  ~OpenDialogScope() { m_slot = nullptr; }
  OpenDialogScope(const OpenDialogScope&) = delete;
  OpenDialogScope& operator=(const OpenDialogScope&) = delete;

 private:
  winui::Dialog*& m_slot;
};

// Keeps this library mapped until the process ends, whatever FreeLibrary calls follow.
void PinOurModule() {
  HMODULE self = nullptr;
  ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCSTR>(&PluginWndProc), &self);
}

BOOL CALLBACK DestroyOurSplash(HWND wnd, LPARAM) {
  char name[sizeof kSplashWindowClass + 1] = {};
  ::GetClassNameA(wnd, name, sizeof name);
  if (std::strcmp(name, kSplashWindowClass) == 0 &&
      reinterpret_cast<HINSTANCE>(::GetClassLongPtrA(wnd, GCLP_HMODULE)) == winui::ModuleInstance())
    ::DestroyWindow(wnd);  // the splash object deletes itself with its window
  return TRUE;
}

// The library is unloaded after quit: a splash still up (config pressed just before
// the player exits) would keep a window whose procedure and timer are in freed code.
void CloseSplashWindows() {
  ::EnumThreadWindows(::GetCurrentThreadId(), &DestroyOurSplash, 0);
  CSplashScreenEx::UnregisterWindowClass();
}

// A window keeps the character set of the procedure on top of it: a Unicode main window
// hooked through the ANSI functions would turn into an ANSI one, and every text of the
// host's (its title among them) would pass through the ANSI code page for as long as we
// are loaded. So the hook is installed, read and taken off with the functions of the
// window's own set.
LONG_PTR WindowProcOf(HWND window, bool wide) {
  return wide ? ::GetWindowLongPtrW(window, GWLP_WNDPROC) : ::GetWindowLongPtrA(window, GWLP_WNDPROC);
}

LONG_PTR SetWindowProc(HWND window, bool wide, WNDPROC proc) {
  const auto value = reinterpret_cast<LONG_PTR>(proc);
  return wide ? ::SetWindowLongPtrW(window, GWLP_WNDPROC, value) : ::SetWindowLongPtrA(window, GWLP_WNDPROC, value);
}

}  // namespace

CPluginApp& TheApp() {
  static CPluginApp app;
  return app;
}

int CPluginApp::Init() {
  m_quit = false;
  const HWND main = HostMainWindow();
  HostInterface host(main);
  host.PostHotkey(g_hotkeyRecord);
  InstallHook(main);
  return 0;
}

void CPluginApp::InstallHook(HWND mainWindow) {
  if (!mainWindow) return;
  const bool wide = ::IsWindowUnicode(mainWindow) != FALSE;
  // A second init must not save our own procedure as the previous one: the hook would
  // then forward to itself for ever. After a quit that could not unhook (the library
  // stayed pinned), our procedure is still in the chain, under another plug-in's.
  if (WindowProcOf(mainWindow, wide) == reinterpret_cast<LONG_PTR>(&PluginWndProc)) return;
  if (mainWindow == m_hookedWindow && ::IsWindow(mainWindow)) return;
  const LONG_PTR previous = SetWindowProc(mainWindow, wide, &PluginWndProc);
  if (previous == 0) return;
  m_hookedWindow = mainWindow;
  m_hookIsWide = wide;
  m_previousWndProc = reinterpret_cast<WNDPROC>(previous);
}

void CPluginApp::Config() { ShowAboutSplash(HostMainWindow(), kSplashTimeout); }

void CPluginApp::Quit() {
  m_quit = true;
  CloseSplashWindows();
  if (m_openDialog) {
    // A host that quits from its close handling, reached through the dialog's own
    // loop, frees the library before that loop and our hook's frame return.
    m_openDialog->EndDialog(IDCANCEL);
    PinOurModule();
  }
  if (!m_hookedWindow) return;
  // The library is unloaded after quit; a hook left in place would have the player
  // call into freed code. Another plug-in that hooked the window after us holds our
  // procedure as its previous one, so then the chain must stay as it is, and so must
  // our code.
  if (WindowProcOf(m_hookedWindow, m_hookIsWide) == reinterpret_cast<LONG_PTR>(&PluginWndProc)) {
    SetWindowProc(m_hookedWindow, m_hookIsWide, m_previousWndProc);
    m_hookedWindow = nullptr;
  } else if (::IsWindow(m_hookedWindow)) {
    PinOurModule();
  }
}

void CPluginApp::RunSelectSongs() {
  if (m_openDialog) {
    // The snapshot serves one dialog at a time: a nested dialog would load it twice.
    if (const HWND open = m_openDialog->GetSafeHwnd()) {
      ::SetForegroundWindow(open);
      ::BringWindowToTop(open);
    }
    return;
  }
  HostInterface host(HostMainWindow());
  CSelectSongsDlg dialog(host);
  dialog.TakeMessagesAsUnicode(HostMainWindow() && ::IsWindowUnicode(HostMainWindow()));
  OpenDialogScope scope(m_openDialog, &dialog);
  dialog.DoModal();
  if (dialog.OpeningRanOutOfMemory()) TellOutOfMemory();
}

void TellOutOfMemory() {
  ::MessageBoxA(nullptr, kNoMemoryToOpenText, kMessageCaption, MB_OK | MB_ICONEXCLAMATION);
}

LRESULT CALLBACK PluginWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    CPluginApp& app = TheApp();
    if (message == host_msg::kHotkeyMessage && !app.HasQuit()) {
      app.RunSelectSongs();
      return 0;
    }
    return app.HookIsWide() ? ::CallWindowProcW(app.PreviousWndProc(), window, message, wParam, lParam)
                            : ::CallWindowProcA(app.PreviousWndProc(), window, message, wParam, lParam);
  } catch (const std::bad_alloc&) {
    TellOutOfMemory();
    return 0;
  } catch (...) {
    // The host's frames cannot be unwound.
    return 0;
  }
}

}  // namespace tunyra
