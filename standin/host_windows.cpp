#include "standin/host_windows.h"

#include <cstring>
#include <type_traits>

namespace standin {

namespace {

BOOL ClassRecordOf(HINSTANCE instance, const char* name, WNDCLASSEXA* wc) {
  return ::GetClassInfoExA(instance, name, wc);
}
BOOL ClassRecordOf(HINSTANCE instance, const wchar_t* name, WNDCLASSEXW* wc) {
  return ::GetClassInfoExW(instance, name, wc);
}
ATOM RegisterClassRecord(const WNDCLASSEXA& wc) { return ::RegisterClassExA(&wc); }
ATOM RegisterClassRecord(const WNDCLASSEXW& wc) { return ::RegisterClassExW(&wc); }

template <class Char>
bool RegisterClassOnce(HINSTANCE instance, const Char* name, WNDPROC proc) {
  std::conditional_t<std::is_same_v<Char, char>, WNDCLASSEXA, WNDCLASSEXW> wc{};
  if (ClassRecordOf(instance, name, &wc)) return true;
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  // The system's shared cursor and icon: the same handles whichever calls load them.
  wc.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hIcon = ::LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = name;
  return RegisterClassRecord(wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

struct WindowSearch {
  HWND main;
  HWND library;
  HMODULE module;  // null: every visible window and dialog
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND wnd, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  if (wnd == search->main || wnd == search->library) return TRUE;
  if (search->module != nullptr) {
    auto instance = reinterpret_cast<HMODULE>(::GetWindowLongPtrA(wnd, GWLP_HINSTANCE));
    auto proc = reinterpret_cast<const void*>(::GetWindowLongPtrA(wnd, GWLP_WNDPROC));
    if (instance == search->module || AddressInModule(proc, search->module)) search->found.push_back(wnd);
  } else if (::IsWindowVisible(wnd) || IsDialogWindow(wnd)) {
    // Hidden helpers (tooltips, input-method windows) go with their owners.
    search->found.push_back(wnd);
  }
  return TRUE;
}

std::vector<HWND> ThreadWindows(WindowSearch search) {
  ::EnumThreadWindows(::GetCurrentThreadId(), CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

bool RegisterWindowClass(HINSTANCE instance, const char* name, WNDPROC proc) {
  return RegisterClassOnce(instance, name, proc);
}

bool RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC proc) {
  return RegisterClassOnce(instance, name, proc);
}

bool AddressInModule(const void* address, HMODULE module) {
  if (address == nullptr || module == nullptr) return false;
  MEMORY_BASIC_INFORMATION info{};
  if (::VirtualQuery(address, &info, sizeof info) == 0) return false;
  return info.AllocationBase == reinterpret_cast<void*>(module);
}

bool IsDialogWindow(HWND wnd) {
  char name[32] = {};
  ::GetClassNameA(wnd, name, sizeof name);
  return std::strcmp(name, "#32770") == 0;
}

std::vector<HWND> WindowsOfModule(HMODULE module, HWND main, HWND library) {
  return ThreadWindows(WindowSearch{main, library, module, {}});
}

std::vector<HWND> OtherWindows(HWND main, HWND library) {
  return ThreadWindows(WindowSearch{main, library, nullptr, {}});
}

}  // namespace standin
