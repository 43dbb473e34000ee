#include "winui/control.h"

namespace winui {

Control::~Control() { Unsubclass(); }

bool Control::Bind(HWND wnd) {
  if (!wnd) return false;
  if (!m_hWnd) Attach(wnd);
  return true;
}

bool Control::DrawItem(const DRAWITEMSTRUCT&) { return false; }

void Control::Subclass() {
  if (!m_hWnd || m_previousProc) return;
  m_previousProc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Control::SubclassProc)));
}

void Control::Unsubclass() {
  if (m_hWnd && m_previousProc && ::IsWindow(m_hWnd)) {
    ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previousProc));
  }
  m_previousProc = nullptr;
  Detach();
}

LRESULT Control::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) { return Default(msg, wParam, lParam); }

LRESULT Control::Default(UINT msg, WPARAM wParam, LPARAM lParam) {
  return ::CallWindowProcA(m_previousProc, m_hWnd, msg, wParam, lParam);
}

LRESULT CALLBACK Control::SubclassProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = dynamic_cast<Control*>(Wnd::FromHandle(wnd));
  if (!self || !self->m_previousProc) return ::DefWindowProcA(wnd, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    WNDPROC previous = self->m_previousProc;
    self->Unsubclass();
    return ::CallWindowProcA(previous, wnd, msg, wParam, lParam);
  }
  // The control's frames belong to the window system: nothing may unwind through them.
  try {
    return self->WindowProc(msg, wParam, lParam);
  } catch (...) {
    return self->Default(msg, wParam, lParam);
  }
}

}  // namespace winui
