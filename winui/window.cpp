#include "winui/window.h"

#include <utility>

#include "winui/thread_sync.h"

namespace winui {
namespace {
// The object whose CreateEx is running on this thread; the thunk links it to the
// first window that arrives without an object. Not from WM_NCCREATE's parameters:
// WM_GETMINMAXINFO comes before it. A nested CreateEx from a handler finds it
// consumed already.
ThreadSlot<Window>& WindowBeingCreated() {
  static ThreadSlot<Window> slot;
  return slot;
}
}  // namespace

Window::~Window() {
  HWND wnd = m_hWnd;
  Detach();
  if (wnd && ::IsWindow(wnd)) ::DestroyWindow(wnd);
}

ATOM Window::RegisterWindowClass(WNDCLASSEXA wc) {
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &Window::StaticWindowProc;
  return ::RegisterClassExA(&wc);
}

BOOL Window::CreateEx(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y,
                      int width, int height, HWND parent, HMENU menu, HINSTANCE instance) {
  if (m_hWnd) return FALSE;
  Window* const outer = WindowBeingCreated().Exchange(this);
  m_bCreating = true;
  HWND wnd = ::CreateWindowExA(exStyle, className, title, style, x, y, width, height, parent, menu,
                               instance, nullptr);
  m_bCreating = false;
  WindowBeingCreated().Exchange(outer);
  if (!wnd) {
    Detach();
    return FALSE;
  }
  if (!m_hWnd) Attach(wnd);  // a class whose procedure is not ours
  return TRUE;
}

BOOL Window::DestroyWindow() { return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE; }

LRESULT Window::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  return Default(message, wParam, lParam);
}

LRESULT Window::Default(UINT message, WPARAM wParam, LPARAM lParam) {
  return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

void Window::PostNcDestroy() {}

LRESULT CALLBACK Window::StaticWindowProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
  // The caller's frames may belong to the host: nothing may unwind through them.
  Window* self = nullptr;
  try {
    self = dynamic_cast<Window*>(FromHandle(wnd));
    if (!self && WindowBeingCreated().Get()) {
      self = WindowBeingCreated().Exchange(nullptr);
      self->Attach(wnd);
    }
  } catch (...) {
    self = nullptr;
  }
  if (!self) return ::DefWindowProcA(wnd, message, wParam, lParam);

  if (message != WM_NCDESTROY) {
    try {
      // The object may be gone when this returns (a handler that destroys the
      // window); nothing here touches it afterwards.
      return self->WindowProc(message, wParam, lParam);
    } catch (...) {
      return 0;
    }
  }

  LRESULT result = 0;
  try {
    result = self->WindowProc(message, wParam, lParam);
  } catch (...) {
  }
  const bool diedInCreate = self->m_bCreating;
  self->Detach();
  if (!diedInCreate) {
    // A window that fails half-way through CreateEx must not take its object with it:
    // the creator still holds it and learns of the failure from the result.
    try {
      self->PostNcDestroy();
    } catch (...) {
    }
  }
  return result;
}

}  // namespace winui
