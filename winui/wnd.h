#pragma once
// The base of every window object of ours: the window handle, the link from a handle
// back to its object, and the input filter that message loops call before dispatch.

#include <windows.h>

namespace winui {

class Wnd {
 public:
  Wnd() = default;
  virtual ~Wnd();
  Wnd(const Wnd&) = delete;
  Wnd& operator=(const Wnd&) = delete;

  HWND GetSafeHwnd() const { return m_hWnd; }

  // Called for a message addressed to this window (or to one of its child windows)
  // before it is dispatched. TRUE means the message was handled and goes no further.
  virtual BOOL PreTranslateMessage(MSG* msg);

  // The object attached to a window, or null.
  static Wnd* FromHandle(HWND wnd);

  // Offers `msg` to the objects of its window and that window's parents, innermost
  // first, until one takes it. Our modal loops call this for every message.
  static BOOL WalkPreTranslate(MSG* msg);

 protected:
  // Links the object and the window both ways; Detach undoes it. Thunks call these at
  // WM_NCCREATE / WM_INITDIALOG and WM_NCDESTROY.
  void Attach(HWND wnd);
  void Detach();

  HWND m_hWnd = nullptr;
};

}  // namespace winui
