#include "splash/splash_screen_ex.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "winui/module_instance.h"
#include "splash/bitmap_region.h"

namespace tunyra {

namespace {

constexpr UINT_PTR kCloseTimer = 0;
constexpr DWORD kFadeInMs = 500;
constexpr DWORD kFadeOutMs = 200;
#ifndef CS_DROPSHADOW
constexpr UINT CS_DROPSHADOW = 0x00020000;
#endif

HRGN UnionOfRects(const std::vector<RunRect>& rects) {
  if (rects.empty()) return ::CreateRectRgn(0, 0, 0, 0);

  // One call builds the region from the whole list; the rectangle-by-rectangle union
  // stays as the fallback for systems that refuse large lists.
  std::vector<std::uint8_t> data(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
  auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
  header->dwSize = sizeof(RGNDATAHEADER);
  header->iType = RDH_RECTANGLES;
  header->nCount = static_cast<DWORD>(rects.size());
  header->nRgnSize = 0;
  RECT bounds = {rects[0].left, rects[0].top, rects[0].right, rects[0].bottom};
  auto* out = reinterpret_cast<RECT*>(data.data() + sizeof(RGNDATAHEADER));
  for (std::size_t i = 0; i < rects.size(); ++i) {
    const RunRect& r = rects[i];
    out[i] = RECT{r.left, r.top, r.right, r.bottom};
    if (r.left < bounds.left) bounds.left = r.left;
    if (r.top < bounds.top) bounds.top = r.top;
    if (r.right > bounds.right) bounds.right = r.right;
    if (r.bottom > bounds.bottom) bounds.bottom = r.bottom;
  }
  header->rcBound = bounds;
  if (HRGN region = ::ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()),
                                      reinterpret_cast<const RGNDATA*>(data.data()))) {
    return region;
  }

  HRGN region = ::CreateRectRgn(0, 0, 0, 0);
  if (!region) return nullptr;
  for (const RunRect& r : rects) {
    winui::UniqueRegion piece(::CreateRectRgn(r.left, r.top, r.right, r.bottom));
    if (piece) ::CombineRgn(region, region, piece.get(), RGN_OR);
  }
  return region;
}

}  // namespace

CSplashScreenEx::CSplashScreenEx() { UseDefaultGuiFont(); }

CSplashScreenEx::~CSplashScreenEx() = default;

BOOL CSplashScreenEx::Create(winui::Wnd* pWndParent, LPCSTR text, DWORD timeout, DWORD style) {
  if (GetSafeHwnd()) return FALSE;
  m_pWndParent = pWndParent;
  m_hWndParent = pWndParent ? pWndParent->GetSafeHwnd() : nullptr;
  return CreateWindowForParent(text, timeout, style);
}

BOOL CSplashScreenEx::Create(HWND hWndParent, LPCSTR text, DWORD timeout, DWORD style) {
  if (GetSafeHwnd()) return FALSE;
  m_hWndParent = hWndParent;
  return CreateWindowForParent(text, timeout, style);
}

BOOL CSplashScreenEx::CreateWindowForParent(LPCSTR text, DWORD timeout, DWORD style) {
  m_strText = text ? text : "";
  m_nTimeout = timeout;
  m_dwStyle = style;

  WNDCLASSEXA wc{};
  wc.style = CS_DBLCLKS | CS_SAVEBITS;
  if (m_dwStyle & SSX_DROP_SHADOW) wc.style |= CS_DROPSHADOW;
  wc.hInstance = winui::ModuleInstance();
  wc.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  wc.hbrBackground = ::GetSysColorBrush(COLOR_WINDOW);
  wc.lpszClassName = kSplashWindowClass;
  if (!RegisterWindowClass(wc) && (wc.style & CS_DROPSHADOW)) {
    wc.style &= ~CS_DROPSHADOW;
    RegisterWindowClass(wc);
  }
  // Whatever registration said, try the window: a class that an earlier splash of this
  // module registered serves as it is, with or without the drop shadow. A class that
  // truly could not be registered makes the creation fail.
  return CreateEx(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kSplashWindowClass, nullptr, WS_POPUP, 0, 0, 0, 0,
                  m_hWndParent, nullptr, winui::ModuleInstance());
}

BOOL CSplashScreenEx::UnregisterWindowClass() {
  return ::UnregisterClassA(kSplashWindowClass, winui::ModuleInstance());
}

BOOL CSplashScreenEx::SetBitmap(UINT nBitmapID, short red, short green, short blue) {
  if (!GetSafeHwnd()) return FALSE;
  m_bitmap.reset();
  // A DIB section keeps the resource's own colours whatever the display depth, so the
  // key colour is compared against the picture as drawn, not as the display rounds it.
  HBITMAP bitmap = static_cast<HBITMAP>(::LoadImageA(winui::ModuleInstance(),
                                                      MAKEINTRESOURCEA(nBitmapID & 0xFFFF), IMAGE_BITMAP,
                                                      0, 0, LR_CREATEDIBSECTION));
  if (!bitmap) return FALSE;
  return AdoptBitmap(bitmap, red, green, blue);
}

BOOL CSplashScreenEx::AdoptBitmap(HBITMAP bitmap, short red, short green, short blue) {
  if (!GetSafeHwnd()) {
    if (bitmap) ::DeleteObject(bitmap);
    return FALSE;
  }
  m_bitmap.reset(bitmap);
  if (!m_bitmap) return FALSE;

  BITMAP info{};
  ::GetObjectA(m_bitmap.get(), sizeof(info), &info);
  m_nBitmapWidth = info.bmWidth;
  m_nBitmapHeight = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  ::SetRect(&m_rcText, 0, 0, m_nBitmapWidth, m_nBitmapHeight);
  PlaceWindow();

  if (red == -1 || green == -1 || blue == -1) return TRUE;
  const COLORREF key = RGB(red & 0xFF, green & 0xFF, blue & 0xFF);
  m_hRegion = MakeWindowRegion(m_bitmap.get(), key);
  if (m_hRegion && !::SetWindowRgn(GetSafeHwnd(), m_hRegion, TRUE)) {
    ::DeleteObject(m_hRegion);  // not taken over by the window system
    m_hRegion = nullptr;
  }
  return TRUE;
}

void CSplashScreenEx::PlaceWindow() {
  // Signed arithmetic, division truncating toward zero: a picture 25 pixels wider than
  // the screen area sits at -12.
  if (m_dwStyle & SSX_CENTER_SCREEN) {
    m_nWindowX = (::GetSystemMetrics(SM_CXFULLSCREEN) - m_nBitmapWidth) / 2;
    m_nWindowY = (::GetSystemMetrics(SM_CYFULLSCREEN) - m_nBitmapHeight) / 2;
  } else if (m_dwStyle & SSX_CENTER_PARENT) {
    RECT owner{};
    if (m_hWndParent && ::GetWindowRect(m_hWndParent, &owner)) {
      m_nWindowX = owner.left + (owner.right - owner.left - m_nBitmapWidth) / 2;
      m_nWindowY = owner.top + (owner.bottom - owner.top - m_nBitmapHeight) / 2;
    }
  }
}

void CSplashScreenEx::Show() {
  HWND wnd = GetSafeHwnd();
  if (!wnd) {
    delete this;
    return;
  }
  ::SetWindowPos(wnd, nullptr, m_nWindowX, m_nWindowY, m_nBitmapWidth, m_nBitmapHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
  // AnimateWindow can refuse (a shaped window, no composition, a remote session) and
  // then leaves the window as it was: a splash never shown could not be clicked away.
  if (!(m_dwStyle & SSX_FADE_IN) || !::AnimateWindow(wnd, kFadeInMs, AW_BLEND)) ::ShowWindow(wnd, SW_SHOW);
  // The fade-in has finished by now, so the time-out counts from the fully shown splash.
  if (m_nTimeout != 0) ::SetTimer(wnd, kCloseTimer, m_nTimeout, nullptr);
}

void CSplashScreenEx::Hide() {
  HWND wnd = GetSafeHwnd();
  if (!wnd) {
    delete this;
    return;
  }
  // A second closing request while the fade-out runs (a message sent meanwhile) would
  // destroy the window under the first one.
  if (m_bClosing) return;
  m_bClosing = true;
  if (!(m_dwStyle & SSX_FADE_OUT) || !::AnimateWindow(wnd, kFadeOutMs, AW_HIDE | AW_BLEND))
    ::ShowWindow(wnd, SW_HIDE);
  ::DestroyWindow(wnd);  // PostNcDestroy deletes the object: nothing below may touch it
}

void CSplashScreenEx::UseDefaultGuiFont() {
  m_font.reset();
  LOGFONTA lf{};
  if (::GetObjectA(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf)) {
    m_font.reset(::CreateFontIndirectA(&lf));
  }
}

void CSplashScreenEx::DrawWindow(HDC dc) {
  if (!dc) return;
  if (m_bitmap) {
    winui::UniqueMemoryDc memory(::CreateCompatibleDC(dc));
    if (memory) {
      winui::SelectedObject picture(memory.get(), m_bitmap.get());
      ::BitBlt(dc, 0, 0, m_nBitmapWidth, m_nBitmapHeight, memory.get(), 0, 0, SRCCOPY);
    }
  }
  if (m_strText.empty()) return;
  HGDIOBJ oldFont = m_font ? ::SelectObject(dc, m_font.get()) : nullptr;
  const int oldMode = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColor = ::SetTextColor(dc, m_crTextColor);
  RECT rc = m_rcText;
  ::DrawTextA(dc, m_strText.c_str(), static_cast<int>(m_strText.size()), &rc, m_uTextFormat);
  ::SetTextColor(dc, oldColor);
  ::SetBkMode(dc, oldMode);
  if (oldFont) ::SelectObject(dc, oldFont);
}

HRGN CSplashScreenEx::MakeWindowRegion(HBITMAP bitmap, COLORREF key) {
  if (!bitmap) return nullptr;
  BITMAP info{};
  if (!::GetObjectA(bitmap, sizeof(info), &info)) return nullptr;
  const int width = info.bmWidth;
  const int height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  if (width <= 0 || height <= 0) return ::CreateRectRgn(0, 0, 0, 0);

  // All pixels at once as top-down 0x00RRGGBB words: exact 8-bit colours whatever the
  // bitmap's own format, without one call per pixel.
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  int rows = 0;
  {
    winui::WindowDc windowDc(GetSafeHwnd());
    rows = ::GetDIBits(windowDc.get(), bitmap, 0, static_cast<UINT>(height), pixels.data(), &bi, DIB_RGB_COLORS);
  }
  if (rows != height) return nullptr;

  const auto reader = [&](int x, int y) -> std::uint32_t {
    const std::uint32_t p = pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                   static_cast<std::size_t>(x)];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  };
  return UnionOfRects(ScanOpaqueRuns(width, height, reader, key));
}

bool CSplashScreenEx::IsClosingInput(UINT message) {
  switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_NCMBUTTONDOWN:
      return true;
    default:
      return false;
  }
}

BOOL CSplashScreenEx::PreTranslateMessage(MSG* msg) {
  if ((m_dwStyle & SSX_CLOSE_ON_INPUT) && msg && IsClosingInput(msg->message)) {
    Hide();
    return TRUE;
  }
  return winui::Window::PreTranslateMessage(msg);
}

LRESULT CSplashScreenEx::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return TRUE;  // the picture covers the whole window
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_PRINTCLIENT:
      DrawWindow(reinterpret_cast<HDC>(wParam));
      return 1;
    case WM_TIMER:
      OnTimer();  // the object is gone afterwards
      return 0;
    default:
      break;
  }
  if (IsClosingInput(message)) {
    // The host's message loop knows nothing of our filter, so the window offers the
    // input to it itself. Our own modal loop filters before dispatch, and a message it
    // took (the window destroyed) is never dispatched, so nothing closes twice.
    MSG msg{GetSafeHwnd(), message, wParam, lParam, static_cast<DWORD>(::GetMessageTime()), {}};
    const DWORD pos = ::GetMessagePos();
    msg.pt = POINT{static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
    if (PreTranslateMessage(&msg)) return 0;
  }
  return Default(message, wParam, lParam);
}

void CSplashScreenEx::OnPaint() {
  PAINTSTRUCT ps{};
  HDC dc = ::BeginPaint(GetSafeHwnd(), &ps);
  DrawWindow(dc);
  ::EndPaint(GetSafeHwnd(), &ps);
}

void CSplashScreenEx::OnTimer() {
  ::KillTimer(GetSafeHwnd(), kCloseTimer);
  Hide();
}

void CSplashScreenEx::PostNcDestroy() {
  winui::Window::PostNcDestroy();
  delete this;
}

}  // namespace tunyra
