#include "dialog/condition_columns.h"

#include <cstdlib>

namespace tunyra {

void ConditionColumn::Fill(const LibrarySnapshot& snapshot) {
  m_list.SetValues(snapshot.DisplayValues(m_kind));
  m_list.FitHorizontalExtent();
}

void ConditionColumn::CheckAll() {
  const int count = m_list.GetCount();
  winui::CheckListBox::BatchUpdate batch(m_list);
  for (int i = 0; i < count; ++i) m_list.SetCheck(i, 1);
}

void ConditionColumn::UncheckAll() {
  const int count = m_list.GetCount();
  winui::CheckListBox::BatchUpdate batch(m_list);
  for (int i = 0; i < count; ++i) m_list.SetCheck(i, 0);
}

void ConditionColumn::ReverseChecks() {
  const int count = m_list.GetCount();
  winui::CheckListBox::BatchUpdate batch(m_list);
  for (int i = 0; i < count; ++i) m_list.SetCheck(i, std::abs(m_list.GetCheck(i) - 1));
}

ColumnCondition ConditionColumn::Condition() const {
  ColumnCondition condition;
  condition.kind = m_kind;
  const int count = m_list.GetCount();
  for (int i = 0; i < count; ++i) {
    if (m_list.GetCheck(i) != 0) condition.checkedTexts.push_back(m_list.GetText(i));
  }
  return condition;
}

}  // namespace tunyra
