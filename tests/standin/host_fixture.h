#pragma once
// A StandinHost on the test thread itself (its windows answer SendMessage directly)
// with a small library parsed from library-file text.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "library/library_file.h"
#include "standin/standin_host.h"

namespace standin_test {

using namespace tunyra;

inline std::string SampleLibraryText() {
  return std::string(kLibraryFileHeader) +
         "\n"
         "C:\\\\Music\\\\a.mp3\tAlpha\tFirst\tThe Beatles\t\tRock\t1965\t1\t215\t\n"
         "C:\\\\Music\\\\b.mp3\tBravo\tFirst\tThe Beatles\t\tRock\t1965\t2\t180\t\n"
         "C:\\\\Music\\\\c.mp3\tCharlie\tSecond\tMiles\t\tJazz\t1959\t1\t545\t\n"
         "C:\\\\Music\\\\d.mp3\tDelta\tSecond\tMiles\t\tJazz\t1959\t2\t300\t\n"
         "C:\\\\Music\\\\e.mp3\tEcho\tThird\tNina\t\tSoul\t1966\t1\t240\t\n"
         "C:\\\\Music\\\\f.mp3\tFoxtrot\tThird\tNina\t\tSoul\t1966\t2\t200\t\n";
}

// Delivers what was posted to this thread's windows.
inline void PumpMessages() {
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
}

class DirectHost {
 public:
  explicit DirectHost(standin::StandinOptions options = NoGlobalKeys()) : host(options) {
    std::string error;
    EXPECT_TRUE(library.Parse(SampleLibraryText(), "sample", error)) << error;
    host.SetLibrary(library.Records());
    EXPECT_TRUE(host.Create(::GetModuleHandleA(nullptr)));
  }

  static standin::StandinOptions NoGlobalKeys() {
    standin::StandinOptions options;
    options.registerGlobalHotkeys = false;
    return options;
  }

  LRESULT User(WPARAM wParam, LPARAM lParam) {
    return ::SendMessageA(host.MainWindow(), WM_USER, wParam, lParam);
  }
  int Register(const char* name) {
    return static_cast<int>(User(reinterpret_cast<WPARAM>(name), 65536));
  }
  HWND LibraryWindow() {
    return reinterpret_cast<HWND>(User(0, Register("LibraryGetWnd")));
  }
  LRESULT Library(LibraryQuery& query, LPARAM code) {
    return ::SendMessageA(LibraryWindow(), 0x1400, reinterpret_cast<WPARAM>(&query), code);
  }

  LibraryFile library;
  standin::StandinHost host;
};

}  // namespace standin_test
