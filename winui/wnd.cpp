#include "winui/wnd.h"

namespace winui {
namespace {
// A window property rather than GWLP_USERDATA, so the link works for dialogs and for
// windows of classes whose user data belongs to someone else.
constexpr char kObjectProperty[] = "TunyraWndObject";
}  // namespace

Wnd::~Wnd() { Detach(); }

BOOL Wnd::PreTranslateMessage(MSG*) { return FALSE; }

Wnd* Wnd::FromHandle(HWND wnd) {
  if (!wnd) return nullptr;
  return static_cast<Wnd*>(::GetPropA(wnd, kObjectProperty));
}

BOOL Wnd::WalkPreTranslate(MSG* msg) {
  for (HWND wnd = msg->hwnd; wnd; wnd = ::GetParent(wnd)) {
    if (Wnd* object = FromHandle(wnd)) {
      if (object->PreTranslateMessage(msg)) return TRUE;
    }
    if (!(::GetWindowLongA(wnd, GWL_STYLE) & WS_CHILD)) break;  // stop at the top-level window
  }
  return FALSE;
}

void Wnd::Attach(HWND wnd) {
  m_hWnd = wnd;
  if (wnd) ::SetPropA(wnd, kObjectProperty, this);
}

void Wnd::Detach() {
  if (m_hWnd && ::IsWindow(m_hWnd) && FromHandle(m_hWnd) == this) ::RemovePropA(m_hWnd, kObjectProperty);
  m_hWnd = nullptr;
}

}  // namespace winui
