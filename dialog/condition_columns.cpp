#include "dialog/condition_columns.h"

#include <cstdlib>

void CheckAll(winui::CheckListBox& list) {
  const int count = list.GetCount();
  winui::CheckListBox::BatchUpdate batch(list);
  for (int i = 0; i < count; ++i) list.SetCheck(i, 1);
}

void UncheckAll(winui::CheckListBox& list) {
  const int count = list.GetCount();
  winui::CheckListBox::BatchUpdate batch(list);
  for (int i = 0; i < count; ++i) list.SetCheck(i, 0);
}

void ReverseChecks(winui::CheckListBox& list) {
  const int count = list.GetCount();
  winui::CheckListBox::BatchUpdate batch(list);
  for (int i = 0; i < count; ++i) list.SetCheck(i, std::abs(list.GetCheck(i) - 1));
}

std::vector<std::string> CheckedTexts(const winui::CheckListBox& list) {
  std::vector<std::string> texts;
  const int count = list.GetCount();
  for (int i = 0; i < count; ++i) {
    if (list.GetCheck(i) != 0) texts.push_back(list.GetText(i));
  }
  return texts;
}
