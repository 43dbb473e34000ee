#pragma once
// The Select Songs dialog: four condition columns (a kind and a check-list of the
// library's values of that kind), the Or/And links between them, the total playing
// time and two options. "Find Songs" (its OK command) picks the songs and hands them
// to the player through the host operations it is given. Its library snapshot is
// loaded at the window's WM_CREATE and released at its WM_DESTROY.

#include <windows.h>
#include <commctrl.h>

#include "library/library_snapshot.h"
#include "winui/check_list_box.h"
#include "winui/control.h"
#include "winui/dialog.h"
#include "winui/handles.h"

class HostOperations;

class CSelectSongsDlg : public winui::Dialog {
 public:
  // `host` must outlive the dialog.
  explicit CSelectSongsDlg(HostOperations& host, winui::Wnd* parent = nullptr);
  ~CSelectSongsDlg() override;

  // Row 1 of the message map: the text of a control's tooltip, from the string table.
  // FALSE (no text) for control id 0 and for controls without one.
  BOOL OnToolTipNotify(UINT id, NMHDR* header, LRESULT* result);

  winui::Control m_ctlHeader;
  winui::Control m_ctlSpin;
  winui::CheckListBox m_lstColumn4;
  winui::CheckListBox m_lstColumn3;
  winui::CheckListBox m_lstColumn2;
  winui::CheckListBox m_lstColumn1;

  // The values exchanged with the controls; defaults set by the constructor.
  int m_nKind1;
  int m_nKind2;
  int m_nKind3;
  int m_nKind4;
  int m_nMinutes;
  int m_nLink2;
  int m_nLink3;
  int m_nLink4;
  int m_bStartPlaying;
  int m_bAllowDuplicates;

  winui::UniqueFont m_fontHeader;

 protected:
  void DoDataExchange(winui::DataExchange& dx) override;
  BOOL OnInitDialog() override;
  // "Find Songs".
  void OnOK() override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  struct CommandRow {
    WORD code;
    WORD id;
    void (CSelectSongsDlg::*handler)();
  };
  static const CommandRow kCommandMap[];

  int OnCreate(UINT msg, WPARAM wParam, LPARAM lParam);
  void OnDestroy(UINT msg, WPARAM wParam, LPARAM lParam);
  void OnAbout();
  void OnSelchangeKind1();
  void OnSelchangeKind2();
  void OnSelchangeKind3();
  void OnSelchangeKind4();
  void OnAll1();
  void OnAll2();
  void OnAll3();
  void OnAll4();
  void OnNone1();
  void OnNone2();
  void OnNone3();
  void OnNone4();
  void OnReverse1();
  void OnReverse2();
  void OnReverse3();
  void OnReverse4();

  // Fills a column's list with the values of `kind`, all unchecked.
  void FillColumn(winui::CheckListBox& list, int kind);
  // Refills a column's list when the exchange changed its kind.
  void ChangeKind(winui::CheckListBox& list, int& kind);
  void EnlargeHeaderFont();

  HostOperations& m_host;
  LibrarySnapshot m_snapshot;
};
