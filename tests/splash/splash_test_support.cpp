#include "splash_test_support.h"

#include "tests/support/test_time.h"
#include "winui/module_instance.h"

namespace splash_test {
namespace {

// Window classes and the picture resource live in this program.
const bool g_moduleSet = (winui::SetModuleInstance(::GetModuleHandleA(nullptr)), true);

void DispatchAll(bool filter) {
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (filter && winui::Wnd::WalkPreTranslate(&msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
}

bool Pump(const std::function<bool()>& done, DWORD limitMs, bool filter) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    DispatchAll(filter);
    if (done()) return true;
    if (::GetTickCount() - start > test_support::ScaledMs(limitMs)) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

}  // namespace

HBITMAP MakeBitmap(int width, int height, const PixelFn& pixel) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return nullptr;
  auto* out = static_cast<std::uint32_t*>(bits);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const COLORREF c = pixel(x, y);
      out[y * width + x] = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    }
  }
  ::GdiFlush();
  return bitmap;
}

HBITMAP MakePaletteBitmap(int width, int height, const std::vector<COLORREF>& palette,
                          const std::function<int(int x, int y)>& index) {
  std::vector<std::uint8_t> info(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
  auto* bi = reinterpret_cast<BITMAPINFO*>(info.data());
  bi->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi->bmiHeader.biWidth = width;
  bi->bmiHeader.biHeight = height;  // bottom-up
  bi->bmiHeader.biPlanes = 1;
  bi->bmiHeader.biBitCount = 8;
  bi->bmiHeader.biCompression = BI_RGB;
  bi->bmiHeader.biClrUsed = 256;
  for (std::size_t i = 0; i < palette.size() && i < 256; ++i) {
    bi->bmiColors[i] = RGBQUAD{GetBValue(palette[i]), GetGValue(palette[i]), GetRValue(palette[i]), 0};
  }
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(nullptr, bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return nullptr;
  const int stride = (width + 3) & ~3;
  auto* out = static_cast<std::uint8_t*>(bits);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) out[(height - 1 - y) * stride + x] = static_cast<std::uint8_t>(index(x, y));
  }
  ::GdiFlush();
  return bitmap;
}

std::vector<COLORREF> ReadPixels(HBITMAP bitmap, int* width, int* height) {
  BITMAP info{};
  ::GetObjectA(bitmap, sizeof(info), &info);
  *width = info.bmWidth;
  *height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  std::vector<std::uint32_t> raw(static_cast<std::size_t>(*width) * *height);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = *width;
  bi.bmiHeader.biHeight = -*height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  HDC screen = ::GetDC(nullptr);
  ::GetDIBits(screen, bitmap, 0, *height, raw.data(), &bi, DIB_RGB_COLORS);
  ::ReleaseDC(nullptr, screen);
  std::vector<COLORREF> out(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    out[i] = RGB((raw[i] >> 16) & 0xFF, (raw[i] >> 8) & 0xFF, raw[i] & 0xFF);
  }
  return out;
}

bool PumpUntil(const std::function<bool()>& done, DWORD limitMs) { return Pump(done, limitMs, false); }

bool PumpWithFilterUntil(const std::function<bool()>& done, DWORD limitMs) { return Pump(done, limitMs, true); }

void Drain() { DispatchAll(false); }

bool PlainWindow::Create(const RECT& rc, bool visible) {
  static const bool registered = [] {
    WNDCLASSEXA wc{};
    wc.hInstance = winui::ModuleInstance();
    wc.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = "TunyraSplashTestWindow";
    return RegisterWindowClass(wc) != 0;
  }();
  if (!registered) return false;
  return CreateEx(0, "TunyraSplashTestWindow", "", WS_POPUP | (visible ? WS_VISIBLE : 0), rc.left, rc.top,
                  rc.right - rc.left, rc.bottom - rc.top, nullptr, nullptr, winui::ModuleInstance());
}

LRESULT PlainWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LBUTTONDOWN) ++presses;
  return Default(message, wParam, lParam);
}

}  // namespace splash_test
