#pragma once
// A condition column of the Select Songs dialog: the kind it tests, the check-list of the
// snapshot's values of that kind, what its All, None and Reverse buttons do to the list,
// and the condition it sets for "Find Songs".

#include "library/library_snapshot.h"
#include "picking/candidate_matching.h"
#include "winui/check_list_box.h"

namespace tunyra {

// The dialog controls of one column.
struct ConditionColumnIds {
  int kind;
  int list;
  int all;
  int none;
  int reverse;
};

class ConditionColumn {
 public:
  ConditionColumn(const ConditionColumnIds& ids, int kind) : m_ids(ids), m_kind(kind) {}

  const ConditionColumnIds& Ids() const { return m_ids; }
  winui::CheckListBox& List() { return m_list; }
  // The kind combo box's index, as the dialog's data exchange reads and writes it.
  int& Kind() { return m_kind; }

  // Shows the values of the column's kind, all unchecked.
  void Fill(const LibrarySnapshot& snapshot);
  void CheckAll();
  void UncheckAll();
  // Checked items become unchecked and the others checked (an indeterminate one checked).
  void ReverseChecks();
  // The kind and the texts of the items whose check state is not 0, in list order, each
  // in full. `snapshot` is the one the column was filled from.
  ColumnCondition Condition(const LibrarySnapshot& snapshot) const;

 private:
  ConditionColumnIds m_ids;
  int m_kind;
  int m_filledKind = -1;  // the kind whose values the list shows
  winui::CheckListBox m_list;
};

}  // namespace tunyra
