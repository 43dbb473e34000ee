// The main of every Windows test program. A fault anywhere ends the program at once
// with a report and a non-zero exit code (see standin/fault_report.h); scripts/wine-run.sh
// also fails a program that ends before GoogleTest has reported all its tests.
//
// With TUNYRA_UNMANAGED_WINDOWS: under Wine on a display without a window manager,
// hiding a managed top-level window waits two seconds for a manager that never
// answers; programs that open and close hundreds of dialogs make their windows
// unmanaged (Wine reads the setting when its display driver starts, which is after
// this runs, at the first window).

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "standin/fault_report.h"

namespace {

#ifdef TUNYRA_UNMANAGED_WINDOWS
bool RunningUnderWine() {
  HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

void UseUnmanagedWindows() {
  char path[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  const char* name = path;
  for (const char* p = path; *p; ++p)
    if (*p == '\\' || *p == '/') name = p + 1;
  const std::string key = std::string("Software\\Wine\\AppDefaults\\") + name + "\\X11 Driver";
  HKEY hkey = nullptr;
  if (::RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hkey, nullptr) ==
      ERROR_SUCCESS) {
    ::RegSetValueExA(hkey, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
    ::RegCloseKey(hkey);
  }
}
#endif

}  // namespace

int main(int argc, char** argv) {
  standin::InstallFaultReport();
#ifdef TUNYRA_UNMANAGED_WINDOWS
  if (RunningUnderWine()) UseUnmanagedWindows();
#endif
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
