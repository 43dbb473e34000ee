#pragma once
// A tooltip control over the child controls of a dialog. Every child is a tool
// identified by its window handle (TTF_IDISHWND) whose text is asked for when needed:
// the tooltip sends TTN_NEEDTEXT to the dialog, which answers or leaves it empty.

#include <windows.h>

namespace winui {

class ToolTips {
 public:
  ToolTips() = default;
  ~ToolTips() { Destroy(); }
  ToolTips(const ToolTips&) = delete;
  ToolTips& operator=(const ToolTips&) = delete;

  // Creates the tooltip (owned by `dialog`) and adds every direct child as a tool.
  // Does nothing more when it already exists.
  bool Create(HWND dialog);
  void Destroy();
  // Hands a mouse message for `dialog` or one of its controls to the tooltip (the
  // dialog's message loop calls this). The tools are not subclassed: under Wine the
  // common controls' subclass looks itself up with a server round trip at every message
  // a control receives, and filling a list of a hundred thousand values would pay it
  // for each item.
  void Relay(HWND dialog, const MSG& msg) const;
  HWND GetSafeHwnd() const { return m_wnd; }

 private:
  HWND m_wnd = nullptr;
};

}  // namespace winui
