// The test programs' main. Under Wine on a display without a window manager, hiding
// a managed top-level window waits two seconds for a manager that never answers; the
// window tests open and close hundreds of dialogs, so their windows are made unmanaged
// for this program (Wine reads the setting when its display driver starts, which is
// after this runs, at the first window).

#include <windows.h>

#include <gtest/gtest.h>

namespace {

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

}  // namespace

int main(int argc, char** argv) {
  if (RunningUnderWine()) UseUnmanagedWindows();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
