#include "winui/dialog.h"

#include <commctrl.h>

#include <cstdint>
#include <cstring>

#include "winui/module_instance.h"
#include "winui/thread_sync.h"
#include "winui/control.h"
#include "winui/data_exchange.h"

namespace winui {
namespace {

// The dialog whose window is being created on this thread (the creation hook links
// the first dialog-class window it sees to it).
ThreadSlot<Dialog>& Creating() {
  static ThreadSlot<Dialog> slot;
  return slot;
}

// The numbers the initial-data records use for "add a string" (the 16-bit era's
// list and combo box messages).
constexpr std::uint16_t kInitListAddString = 0x0401;
constexpr std::uint16_t kInitComboAddString = 0x0403;
constexpr WORD kInitialDataType = 240;

BOOL CALLBACK UnbindControl(HWND child, LPARAM) {
  if (auto* control = dynamic_cast<Control*>(Wnd::FromHandle(child))) control->Unbind();
  return TRUE;
}

bool IsDialogClassWindow(HWND wnd) {
  char name[16] = {};
  return ::GetClassNameA(wnd, name, sizeof name) > 0 && std::strcmp(name, "#32770") == 0;
}

}  // namespace

Dialog::Dialog(UINT templateId, Wnd* parent, DWORD commonControls)
    : m_templateId(templateId), m_parent(parent), m_commonControls(commonControls) {}

Dialog::~Dialog() {
  if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
}

INT_PTR Dialog::DoModal() {
  // A control whose class does not exist makes the whole dialog fail to open.
  if (m_commonControls != 0) {
    INITCOMMONCONTROLSEX init{sizeof init, m_commonControls};
    ::InitCommonControlsEx(&init);
  }
  HWND owner = m_parent ? m_parent->GetSafeHwnd() : nullptr;
  m_endRequested = false;
  m_result = -1;

  Dialog* const outer = Creating().Exchange(this);
  // Linked by a creation hook, not from WM_INITDIALOG's lParam: the dialog answers the
  // messages before it too (WM_CREATE loads the Select Songs snapshot).
  m_creationHook = ::SetWindowsHookExA(WH_CBT, &Dialog::CreationHook, nullptr, ::GetCurrentThreadId());
  HWND wnd = ::CreateDialogParamA(winui::ModuleInstance(), MAKEINTRESOURCEA(m_templateId), owner,
                                  &Dialog::NullDialogProc, reinterpret_cast<LPARAM>(this));
  if (m_creationHook) ::UnhookWindowsHookEx(m_creationHook);
  m_creationHook = nullptr;
  Creating().Exchange(outer);
  if (!wnd) return -1;
  if (!m_hWnd) LinkWindow(wnd);  // no hook (it could not be set): linked late, WM_CREATE missed

  bool ownerDisabled = false;
  if (owner && ::IsWindowEnabled(owner)) {
    ::EnableWindow(owner, FALSE);
    ownerDisabled = true;
  }
  if (!m_endRequested) {
    ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
    RunModalLoop();
    m_steps.Mark("modal loop left");
  }
  // The owner must be enabled before the dialog goes, or the activation would pass to
  // some other application's window.
  if (ownerDisabled) ::EnableWindow(owner, TRUE);
  if (m_hWnd && ::IsWindow(m_hWnd)) {
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                   SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
    m_steps.Mark("window hidden");
    ::DestroyWindow(m_hWnd);
    m_steps.Mark("window destroyed after its WM_DESTROY");
  }
  m_steps.Finish();
  return m_result;
}

void Dialog::RunModalLoop() {
  const bool wide = m_wideMessages;
  MSG msg;
  while (!m_endRequested && m_hWnd && ::IsWindow(m_hWnd)) {
    const BOOL got = wide ? ::GetMessageW(&msg, nullptr, 0, 0) : ::GetMessageA(&msg, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) {
      // The host is quitting: leave, and put its own quit request back in the queue for
      // its loop (we never originate one).
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      m_result = IDCANCEL;
      break;
    }
    m_toolTips.Relay(m_hWnd, msg);
    if (Wnd::WalkPreTranslate(&msg)) continue;
    if (m_hWnd && (wide ? ::IsDialogMessageW(m_hWnd, &msg) : ::IsDialogMessageA(m_hWnd, &msg))) continue;
    ::TranslateMessage(&msg);
    if (wide) {
      ::DispatchMessageW(&msg);
    } else {
      ::DispatchMessageA(&msg);
    }
  }
}

void Dialog::EndDialog(int result) {
  m_result = result;
  m_endRequested = true;
}

bool Dialog::UpdateData(bool saveAndValidate) {
  if (!m_hWnd) return false;
  DataExchange dx(*this, saveAndValidate);
  DoDataExchange(dx);
  return !dx.Failed();
}

int Dialog::MessageBox(const char* text, const char* caption, UINT type) {
  return ::MessageBoxA(m_hWnd, text, caption, type);
}

bool Dialog::EnableToolTips(bool enable) {
  if (!enable) {
    m_toolTips.Destroy();
    return true;
  }
  return m_toolTips.Create(m_hWnd);
}

BOOL Dialog::OnInitDialog() {
  ApplyInitialData();
  UpdateData(false);
  return TRUE;
}

void Dialog::DoDataExchange(DataExchange&) {}

void Dialog::OnOK() {
  if (!UpdateData(true)) return;
  EndDialog(IDOK);
}

void Dialog::OnCancel() { EndDialog(IDCANCEL); }

bool Dialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

LRESULT Dialog::Default(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!m_defaultProc) return 0;
  return ::CallWindowProcA(m_defaultProc, m_hWnd, msg, wParam, lParam);
}

void Dialog::ApplyInitialData() {
  HINSTANCE module = winui::ModuleInstance();
  HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(m_templateId), MAKEINTRESOURCEA(kInitialDataType));
  if (!found) return;
  HGLOBAL loaded = ::LoadResource(module, found);
  const auto* data = static_cast<const unsigned char*>(loaded ? ::LockResource(loaded) : nullptr);
  if (!data) return;
  const size_t size = ::SizeofResource(module, found);

  // Records: control id (16 bits), message (16 bits), length (32 bits), data; a zero id
  // ends the list. Records are packed, so fields are read unaligned; a record running
  // past the resource ends the walk.
  size_t at = 0;
  while (at + 2 <= size) {
    std::uint16_t id = 0;
    std::memcpy(&id, data + at, 2);
    if (id == 0 || at + 8 > size) break;
    std::uint16_t message = 0;
    std::uint32_t length = 0;
    std::memcpy(&message, data + at + 2, 2);
    std::memcpy(&length, data + at + 4, 4);
    at += 8;
    if (length > size - at) break;
    std::string text(reinterpret_cast<const char*>(data + at), length);
    at += length;
    text.resize(std::strlen(text.c_str()));  // up to the terminating NUL, if any
    UINT sent = 0;
    if (message == kInitComboAddString) sent = CB_ADDSTRING;
    if (message == kInitListAddString) sent = LB_ADDSTRING;
    if (sent) ::SendDlgItemMessageA(m_hWnd, id, sent, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
}

void Dialog::LinkWindow(HWND wnd) {
  Attach(wnd);
  m_defaultProc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Dialog::WindowProc)));
}

LRESULT CALLBACK Dialog::CreationHook(int code, WPARAM wParam, LPARAM lParam) {
  Dialog* self = Creating().Get();
  if (code == HCBT_CREATEWND && self && !self->m_hWnd) {
    HWND wnd = reinterpret_cast<HWND>(wParam);
    if (IsDialogClassWindow(wnd)) {
      HHOOK hook = self->m_creationHook;
      self->LinkWindow(wnd);
      self->m_creationHook = nullptr;
      LRESULT next = ::CallNextHookEx(hook, code, wParam, lParam);
      ::UnhookWindowsHookEx(hook);
      return next;
    }
  }
  return ::CallNextHookEx(self ? self->m_creationHook : nullptr, code, wParam, lParam);
}

INT_PTR CALLBACK Dialog::NullDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

LRESULT CALLBACK Dialog::WindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  // An owner-drawn list sends one per item as it goes, a million for a list of a
  // million values, and our controls keep nothing in their items to free: answered
  // here, without the way through the dialog's object and the default procedure, which
  // cost seconds.
  if (msg == WM_DELETEITEM) return TRUE;
  auto* self = dynamic_cast<Dialog*>(Wnd::FromHandle(wnd));
  if (!self) return ::DefDlgProcA(wnd, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    LRESULT result = self->Default(msg, wParam, lParam);
    self->m_toolTips.Destroy();
    self->Detach();
    return result;
  }
  // The host's and the window system's frames are below us: nothing may unwind.
  LRESULT result = 0;
  try {
    result = self->HandleMessage(msg, wParam, lParam);
  } catch (...) {
  }
  // Bound controls' objects outlive their windows, which go with the dialog's: they let
  // go now, after the dialog's own handling and while the windows are still there.
  if (msg == WM_DESTROY) ::EnumChildWindows(wnd, &UnbindControl, 0);
  return result;
}

LRESULT Dialog::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (OnMessage(msg, wParam, lParam, result)) return result;
  switch (msg) {
    case WM_INITDIALOG:
      return OnInitDialog();
    case WM_COMMAND:
      if (lParam == 0 || HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDOK) {
          OnOK();
          return 0;
        }
        if (LOWORD(wParam) == IDCANCEL) {
          OnCancel();
          return 0;
        }
      }
      break;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item && item->CtlType != ODT_MENU) {
        if (auto* control = dynamic_cast<Control*>(Wnd::FromHandle(item->hwndItem))) {
          if (control->DrawItem(*item)) return TRUE;
        }
      }
      break;
    }
    default:
      break;
  }
  return Default(msg, wParam, lParam);
}

}  // namespace winui
