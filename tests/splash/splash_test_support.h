#pragma once
// Shared pieces of the splash window tests: pictures made in code, bounded message
// pumping, windows of our own to own and lie under a splash, and a splash that tells
// when it has been deleted.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "splash/splash_screen_ex.h"
#include "tests/support/real_input.h"
#include "winui/window.h"

namespace tunyra {

// What the splash keeps of its placement, its picture and its region.
class SplashInspector {
 public:
  explicit SplashInspector(const CSplashScreenEx& splash) : m_splash(splash) {}
  DWORD Timeout() const { return m_splash.m_nTimeout; }
  int WindowX() const { return m_splash.m_nWindowX; }
  int WindowY() const { return m_splash.m_nWindowY; }
  int BitmapWidth() const { return m_splash.m_nBitmapWidth; }
  int BitmapHeight() const { return m_splash.m_nBitmapHeight; }
  HRGN Region() const { return m_splash.m_hRegion; }
  HWND Owner() const { return m_splash.m_hWndParent; }

 private:
  const CSplashScreenEx& m_splash;
};

}  // namespace tunyra

namespace splash_test {

using namespace tunyra;

constexpr COLORREF kKey = RGB(255, 0, 0);
using PixelFn = std::function<COLORREF(int x, int y)>;

// A 32-bit top-down DIB section painted from `pixel`.
HBITMAP MakeBitmap(int width, int height, const PixelFn& pixel);
// An 8-bit DIB section with a colour table, stored bottom-up like the picture resource.
HBITMAP MakePaletteBitmap(int width, int height, const std::vector<COLORREF>& palette,
                          const std::function<int(int x, int y)>& index);
// The pixels of any bitmap as COLORREFs, row-major from the top row.
std::vector<COLORREF> ReadPixels(HBITMAP bitmap, int* width, int* height);

// Dispatches messages, as the host's loop does, until `done` holds; false when it still
// does not hold after `limitMs`.
bool PumpUntil(const std::function<bool()>& done, DWORD limitMs = 5000);
// The same through our own modal loop's order: the input filter before dispatch.
bool PumpWithFilterUntil(const std::function<bool()>& done, DWORD limitMs = 5000);
// Handles whatever is queued now.
void Drain();

// Set when a ProbeSplash is deleted. Shared, so that a splash outliving a failed test
// does not write into that test's finished frame.
class GoneFlag {
 public:
  operator bool() const { return *m_flag; }
  std::shared_ptr<bool> m_flag = std::make_shared<bool>(false);
};

// A splash that tells when it has been deleted.
class ProbeSplash : public CSplashScreenEx {
 public:
  explicit ProbeSplash(const GoneFlag& gone) : m_gone(gone.m_flag) {}
  ~ProbeSplash() override { *m_gone = true; }

 private:
  std::shared_ptr<bool> m_gone;
};

// A plain popup of ours at a given screen rectangle that counts left-button presses.
class PlainWindow : public winui::Window {
 public:
  bool Create(const RECT& rc, bool visible);
  ~PlainWindow() override = default;
  int presses = 0;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

using test_input::ClickAt;

}  // namespace splash_test
