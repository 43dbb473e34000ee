#pragma once
// Move-only owners for window-system handles: each frees its handle exactly once.

#include <windows.h>

#include <utility>

namespace winui {

template <typename H, typename Deleter>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(H h) : m_h(h) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& o) noexcept : m_h(std::exchange(o.m_h, H{})) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) reset(std::exchange(o.m_h, H{}));
    return *this;
  }
  H get() const { return m_h; }
  explicit operator bool() const { return m_h != H{}; }
  // Gives up ownership, e.g. when the window system takes the handle over.
  H release() { return std::exchange(m_h, H{}); }
  void reset(H h = H{}) {
    if (m_h) Deleter{}(m_h);
    m_h = h;
  }

 private:
  H m_h{};
};

struct GdiObjectDeleter {
  void operator()(HGDIOBJ h) const { ::DeleteObject(h); }
};
struct MemoryDcDeleter {
  void operator()(HDC h) const { ::DeleteDC(h); }
};
struct WindowDeleter {
  void operator()(HWND h) const { ::DestroyWindow(h); }
};

using UniqueFont = UniqueHandle<HFONT, GdiObjectDeleter>;
using UniqueBitmap = UniqueHandle<HBITMAP, GdiObjectDeleter>;
using UniqueRegion = UniqueHandle<HRGN, GdiObjectDeleter>;
using UniqueBrush = UniqueHandle<HBRUSH, GdiObjectDeleter>;
using UniqueMemoryDc = UniqueHandle<HDC, MemoryDcDeleter>;
using UniqueWindow = UniqueHandle<HWND, WindowDeleter>;

// A DC from GetDC, released to its window.
class WindowDc {
 public:
  explicit WindowDc(HWND wnd) : m_wnd(wnd), m_dc(::GetDC(wnd)) {}
  ~WindowDc() {
    if (m_dc) ::ReleaseDC(m_wnd, m_dc);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return m_dc; }

 private:
  HWND m_wnd;
  HDC m_dc;
};

// Selects an object into a DC and puts the previous one back.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ obj) : m_dc(dc), m_old(::SelectObject(dc, obj)) {}
  ~SelectedObject() {
    if (m_old) ::SelectObject(m_dc, m_old);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC m_dc;
  HGDIOBJ m_old;
};

}  // namespace winui
