#pragma once
// The thunk for windows we create ourselves: a class whose procedure is ours, the
// object linked at the window's first message, dispatch to a virtual WindowProc, and
// PostNcDestroy after the window's last message.

#include <windows.h>

#include "winui/wnd.h"

namespace winui {

class Window : public Wnd {
 public:
  Window() = default;
  // A window that is still alive when its object goes is destroyed unlinked, so the
  // object hears nothing more from it.
  ~Window() override;

  // Registers `wc` with StaticWindowProc as its procedure. 0 on failure; GetLastError
  // tells why (ERROR_CLASS_ALREADY_EXISTS when the module has the class already).
  static ATOM RegisterWindowClass(WNDCLASSEXA wc);

  // CreateWindowExA for this object; no creation parameter is passed, the object is
  // linked at the window's first message. FALSE when no window was made.
  BOOL CreateEx(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int width,
                int height, HWND parent, HMENU menu, HINSTANCE instance);
  BOOL DestroyWindow();

  static LRESULT CALLBACK StaticWindowProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);

 protected:
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);
  // After WM_NCDESTROY, once the object is unlinked; a self-owning window deletes
  // itself here. Not called when the window dies inside CreateEx.
  virtual void PostNcDestroy();

 private:
  bool m_bCreating = false;
};

}  // namespace winui
