#pragma once
// The Select Songs dialog: four condition columns (a kind and a check-list of the
// library's values of that kind), the Or/And links between them, the total playing
// time and two options. "Find Songs" (its OK command) picks the songs and hands them
// to the player through the host operations it is given. Its library snapshot is
// loaded at the window's WM_CREATE and released at its WM_DESTROY.

#include <windows.h>
#include <commctrl.h>

#include <array>

#include "dialog/condition_columns.h"
#include "library/library_snapshot.h"
#include "winui/control.h"
#include "winui/dialog.h"
#include "winui/handles.h"

class HostOperations;

namespace tunyra {

// Shown when memory runs out; the player's playlist is left as it was.
constexpr const char* kNoMemoryToOpenText = "Not enough memory to open the Select Songs dialog.";
constexpr const char* kNoMemoryToFindText = "Not enough memory to find songs.\nThe playlist has not been changed.";

class CSelectSongsDlg : public winui::Dialog {
 public:
  // `host` must outlive the dialog.
  explicit CSelectSongsDlg(HostOperations& host, winui::Wnd* parent = nullptr);
  ~CSelectSongsDlg() override;

  // The text of a control's tooltip, from the string table. FALSE (no text) for
  // control id 0 and for controls without one.
  BOOL OnToolTipNotify(UINT id, NMHDR* header, LRESULT* result);

  // The last DoModal ended at once because memory ran out while the library was loaded
  // or the columns filled; the caller tells the user (the dialog never showed).
  bool OpeningRanOutOfMemory() const { return m_openingOutOfMemory; }

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
  // Commands from a control of a condition column: the handler gets that column.
  struct ColumnCommandRow {
    WORD code;
    int ConditionColumnIds::*id;
    void (CSelectSongsDlg::*handler)(ConditionColumn& column);
  };
  static const ColumnCommandRow kColumnCommandMap[];

  int OnCreate(UINT msg, WPARAM wParam, LPARAM lParam);
  void OnDestroy(UINT msg, WPARAM wParam, LPARAM lParam);
  void OnAbout();
  // Refills the column's list when the exchange changed its kind.
  void OnSelchangeKind(ConditionColumn& column);
  void OnAll(ConditionColumn& column);
  void OnNone(ConditionColumn& column);
  void OnReverse(ConditionColumn& column);

  void EnlargeHeaderFont();

  winui::Control m_ctlHeader;
  winui::Control m_ctlSpin;
  // Left to right; each holds its check-list and the kind exchanged with its combo box.
  std::array<ConditionColumn, 4> m_columns;

  // The values exchanged with the controls; defaults set by the constructor.
  int m_nMinutes;
  int m_nLink2;
  int m_nLink3;
  int m_nLink4;
  int m_bStartPlaying;
  int m_bAllowDuplicates;

  winui::UniqueFont m_fontHeader;

  HostOperations& m_host;
  LibrarySnapshot m_snapshot;
  bool m_openingOutOfMemory = false;
};

}  // namespace tunyra
