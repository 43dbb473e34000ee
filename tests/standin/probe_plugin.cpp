// A tiny general-purpose plug-in for the stand-in player's tests. It does what a real
// plug-in does at init (registers "GenHotkeysAdd", posts a hotkey record, hooks the
// main window and never unhooks) and writes what happens to it into a journal that
// lives in the test program, so the journal survives the library's unloading. The
// journal's address comes in the environment variable PROBE_JOURNAL (hex).

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/host_records.h"

namespace {

HMODULE g_module = nullptr;
WNDPROC g_previous = nullptr;
int g_hookedMessages = 0;

int Init();
void Config();
void Quit();

PluginRecord g_record{0x10, "Probe Plug-in", Init, Config, Quit, nullptr, nullptr};

HotkeyRecord g_hotkey{"General: Probe", 0, host_msg::kHotkeyMessage, 0, 0, "ProbeHotkey",
                      nullptr, {0, 0, 0, 0, 0, 0}};

void Journal(const char* text) {
  char address[32] = {};
  if (::GetEnvironmentVariableA("PROBE_JOURNAL", address, sizeof address) == 0) return;
  char* journal = reinterpret_cast<char*>(std::strtoul(address, nullptr, 16));
  if (journal == nullptr) return;
  std::strncat(journal, text, 4095 - std::strlen(journal));
  std::strncat(journal, ";", 4095 - std::strlen(journal));
}

HWND Main() { return static_cast<HWND>(g_record.hwndParent); }

LRESULT CALLBACK Hook(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == host_msg::kHotkeyMessage) {
    char text[64];
    std::snprintf(text, sizeof text, "hotkey %u %ld", static_cast<unsigned>(wParam),
                  static_cast<long>(lParam));
    Journal(text);
    if (wParam == 7) ::MessageBoxA(nullptr, "A modal loop inside the hook", "Probe Dialog", MB_OK);
    return 0;
  }
  ++g_hookedMessages;
  return ::CallWindowProcA(g_previous, wnd, message, wParam, lParam);
}

int Init() {
  char text[96];
  std::snprintf(text, sizeof text, "init main=%s instance=%s",
                ::IsWindow(Main()) ? "window" : "bad",
                g_record.hDllInstance == g_module ? "module" : "bad");
  Journal(text);
  auto number = static_cast<LPARAM>(::SendMessageA(
      Main(), WM_USER, reinterpret_cast<WPARAM>(host_msg::kHotkeysAddName), host_msg::kRegisterName));
  ::PostMessageA(Main(), WM_USER, reinterpret_cast<WPARAM>(&g_hotkey), number);
  g_previous = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(Main(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Hook)));
  return 0;
}

void Config() {
  Journal("config");
  // Left open on purpose: the host must not unload us under a live window.
  ::CreateWindowExA(0, "STATIC", "Probe Window", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, Main(),
                    nullptr, g_module, nullptr);
}

void Quit() { Journal("quit"); }

}  // namespace

extern "C" __declspec(dllexport) PluginRecord* winampGetGeneralPurposePlugin() {
  Journal("export");
  return &g_record;
}

extern "C" __declspec(dllexport) int probe_HookedMessages() { return g_hookedMessages; }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    Journal("attach");
  } else if (reason == DLL_PROCESS_DETACH) {
    Journal("detach");
  }
  return TRUE;
}
