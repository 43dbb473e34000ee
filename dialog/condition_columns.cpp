#include "dialog/condition_columns.h"

#include <cstdlib>

namespace tunyra {

namespace {

bool IsPlainAscii(const std::string& text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

}  // namespace

void ConditionColumn::Fill(const LibrarySnapshot& snapshot) {
  m_filledKind = -1;
  m_list.SetValues(snapshot.DisplayValues(m_kind));
  m_filledKind = m_kind;
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

ColumnCondition ConditionColumn::Condition(const LibrarySnapshot& snapshot) const {
  ColumnCondition condition;
  condition.kind = m_kind;
  // The list keeps its texts in their wide form. A value of plain ASCII comes back from
  // it unchanged in every ANSI code page, so it is taken from the snapshot instead of
  // from the list, which costs two messages per item; any other is read back as the
  // list holds it.
  const CSortedNameSet* set =
      m_list.HoldsSetValues() && m_filledKind == m_kind ? snapshot.SetOfKind(m_kind) : nullptr;
  if (set != nullptr && set->GetSize() != m_list.GetCount()) set = nullptr;
  const std::vector<int> checked = m_list.CheckedIndices();
  condition.checkedTexts.reserve(checked.size());
  for (const int i : checked) {
    std::string text = set != nullptr ? snapshot.DisplayValue(m_kind, i) : std::string();
    if (set == nullptr || !IsPlainAscii(text)) text = m_list.GetText(i);
    condition.checkedTexts.push_back(std::move(text));
  }
  return condition;
}

}  // namespace tunyra
