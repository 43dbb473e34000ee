#pragma once
// A modal dialog from a template in our module, with its own message loop. The object
// is linked to its window before WM_NCCREATE, so WM_CREATE reaches it before any
// control exists; then the template's initial data, the exchange and OnInitDialog.

#include <windows.h>

#include <string>

#include "winui/step_times.h"
#include "winui/tooltips.h"
#include "winui/wnd.h"

namespace winui {

class DataExchange;

class Dialog : public Wnd {
 public:
  // `commonControls`: the ICC_ flags of the common-control classes the template's
  // controls (and the dialog's tooltips) need; DoModal registers them before the
  // window is made, since a host need not have.
  Dialog(UINT templateId, Wnd* parent, DWORD commonControls = 0);
  ~Dialog() override;

  // Creates the window (owned by the parent, if any, which is disabled meanwhile), runs
  // the modal loop until EndDialog and destroys the window. Returns the EndDialog value,
  // or -1 when the window could not be created.
  // The modal loop takes and dispatches with the wide functions: a Unicode host's
  // windows (a character typed into one) must not be narrowed through the ANSI code page
  // on their way through our loop. Messages for ANSI windows are converted by the system
  // when dispatched. Off by default: an ANSI host gets the ANSI functions.
  void TakeMessagesAsUnicode(bool wide) { m_wideMessages = wide; }
  INT_PTR DoModal();
  void EndDialog(int result);

  // TRUE: controls to members, with validation; FALSE: members to controls. False when
  // a value was refused (the user has been told, the focus is on the control).
  bool UpdateData(bool saveAndValidate = true);

  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  int MessageBox(const char* text, const char* caption, UINT type);

  // The caption of the data exchange's refusal messages.
  const std::string& MessageCaption() const { return m_messageCaption; }

  // A tooltip over every child control; its texts come from TTN_NEEDTEXT notifications
  // to this dialog (hwndFrom is the tooltip window).
  bool EnableToolTips(bool enable);
  HWND ToolTipWindow() const { return m_toolTips.GetSafeHwnd(); }

 protected:
  // Applies the template's initial data, then UpdateData(false). TRUE: the window
  // system puts the focus on the first tab stop.
  virtual BOOL OnInitDialog();
  virtual void DoDataExchange(DataExchange& dx);
  // UpdateData(true), and on success EndDialog(IDOK).
  virtual void OnOK();
  virtual void OnCancel();

  // The dialog's message map: true when the message was handled, with its result.
  // Unhandled messages go to the base handling (WM_INITDIALOG, IDOK, IDCANCEL, owner
  // drawing) and then to the default dialog procedure. WM_DELETEITEM never comes here:
  // controls of ours keep nothing in their items to free.
  virtual bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // The default dialog procedure's answer.
  LRESULT Default(UINT msg, WPARAM wParam, LPARAM lParam);

  void SetMessageCaption(std::string caption) { m_messageCaption = std::move(caption); }

  // The benchmark's timing of the steps of opening and closing; DoModal marks the end of
  // the modal loop and of the window.
  StepTimes m_steps;

 private:
  static LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK WindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static INT_PTR CALLBACK NullDialogProc(HWND, UINT, WPARAM, LPARAM);
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  void LinkWindow(HWND wnd);
  // Sends the type-240 records of the template (strings for combo and list boxes).
  void ApplyInitialData();
  void RunModalLoop();

  UINT m_templateId;
  Wnd* m_parent;
  bool m_wideMessages = false;
  DWORD m_commonControls;
  WNDPROC m_defaultProc = nullptr;
  HHOOK m_creationHook = nullptr;
  bool m_endRequested = false;
  int m_result = -1;
  std::string m_messageCaption;
  ToolTips m_toolTips;
};

}  // namespace winui
