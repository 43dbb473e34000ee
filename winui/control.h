#pragma once
// A child control of a dialog, bound to an object by the data exchange. Controls that
// answer messages of their own subclass their window; the others only hold the handle.

#include <windows.h>

#include "winui/wnd.h"

namespace winui {

class Control : public Wnd {
 public:
  Control() = default;
  ~Control() override;

  // Links the object to an existing control window (once; later calls do nothing).
  // Returns false for a null window.
  virtual bool Bind(HWND wnd);
  bool IsBound() const { return m_hWnd != nullptr; }
  // Undoes Bind (and the subclass) while the window still exists: the link is a window
  // property, whose name stays referenced in the global atom table when it is still
  // there at the window's destruction.
  void Unbind() { Unsubclass(); }

  // Owner-draw messages that the parent passes back to the control that raised them.
  // True when the control drew the item.
  virtual bool DrawItem(const DRAWITEMSTRUCT& item);

  // A message to the control. A subclassed control's own procedure is called directly:
  // our subclass answers only input, and finding this object again per message (a
  // window property) would cost a call into the window system for every item of a
  // long list.
  LRESULT Send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
    if (m_previousProc) return ::CallWindowProcA(m_previousProc, m_hWnd, msg, wParam, lParam);
    return ::SendMessageA(m_hWnd, msg, wParam, lParam);
  }

 protected:
  // Replaces the control's window procedure by ours; WindowProc then sees every message.
  // Undone when the window is destroyed or the object goes first.
  void Subclass();
  bool IsSubclassed() const { return m_previousProc != nullptr; }
  virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT Default(UINT msg, WPARAM wParam, LPARAM lParam);

 private:
  static LRESULT CALLBACK SubclassProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void Unsubclass();

  WNDPROC m_previousProc = nullptr;
};

}  // namespace winui
