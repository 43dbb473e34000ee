#pragma once
// What the buttons under a condition column do to its check-list, and reading the
// checked values back for "Find Songs".

#include <string>
#include <vector>

#include "winui/check_list_box.h"

void CheckAll(winui::CheckListBox& list);
void UncheckAll(winui::CheckListBox& list);
// Checked items become unchecked and the others checked (an indeterminate one checked).
void ReverseChecks(winui::CheckListBox& list);

// The texts of the items whose check state is not 0, in list order, each in full.
std::vector<std::string> CheckedTexts(const winui::CheckListBox& list);
