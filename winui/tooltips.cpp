#include "winui/tooltips.h"

#include <commctrl.h>

namespace winui {

bool ToolTips::Create(HWND dialog) {
  if (m_wnd && ::IsWindow(m_wnd)) return true;
  INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&init);
  auto instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
  m_wnd = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr, instance, nullptr);
  if (!m_wnd) return false;
  // The version-4 record size: the tool needs none of the later fields, and older
  // common controls refuse the longer record.
  for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    TOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = dialog;
    tool.uId = reinterpret_cast<UINT_PTR>(child);
    tool.lpszText = LPSTR_TEXTCALLBACKA;
    ::SendMessageA(m_wnd, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  }
  ::SendMessageA(m_wnd, TTM_ACTIVATE, TRUE, 0);
  return true;
}

void ToolTips::Relay(HWND dialog, const MSG& msg) const {
  if (!m_wnd || msg.message < WM_MOUSEFIRST || msg.message > WM_MOUSELAST) return;
  if (msg.hwnd != dialog && !::IsChild(dialog, msg.hwnd)) return;
  MSG copy = msg;
  ::SendMessageA(m_wnd, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&copy));
}

void ToolTips::Destroy() {
  if (m_wnd && ::IsWindow(m_wnd)) ::DestroyWindow(m_wnd);
  m_wnd = nullptr;
}

}  // namespace winui
