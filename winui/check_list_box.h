#pragma once
// A list box with a check box in front of every item. The list must be owner-drawn
// with stored strings (LBS_OWNERDRAWFIXED | LBS_HASSTRINGS). An item's check state is
// its item data: 0 unchecked, 1 checked (2, indeterminate, is drawn but never produced
// here), so items added with LB_ADDSTRING start unchecked. A click on an item's box or
// the space bar toggles it; with several items selected, the space bar, or a click on
// the box of a selected item, gives all selected items the new state.

#include <windows.h>

#include <string>
#include <vector>

#include "winui/control.h"

namespace winui {

class CheckListBox : public Control {
 public:
  // Subclasses the list and sets the item height to fit the check box.
  bool Bind(HWND wnd) override;

  int GetCount() const;
  // The check state of an item; 0 for an index out of range.
  int GetCheck(int index) const;
  void SetCheck(int index, int state);
  // The whole text of an item, however long; "" for an index out of range.
  std::string GetText(int index) const;

  // Replaces the items with `values`, unchecked, in the order given.
  void SetValues(const std::vector<std::string>& values);

  bool DrawItem(const DRAWITEMSTRUCT& item) override;

  // Lets the horizontal scroll bar reach the end of the widest item. Only the items of
  // at least half the longest text's length are measured (at most 2000), so a list of
  // 100,000 values costs a few hundred measurements, not one per item; after SetValues
  // the lengths are known without asking the list.
  void FitHorizontalExtent();

  // Stops the list redrawing itself for a batch of changes, then repaints it once.
  class BatchUpdate {
   public:
    explicit BatchUpdate(CheckListBox& list);
    ~BatchUpdate();
    BatchUpdate(const BatchUpdate&) = delete;
    BatchUpdate& operator=(const BatchUpdate&) = delete;

   private:
    CheckListBox& m_list;
  };

  static constexpr int kCheckSize = 13;  // the classic check box, in pixels

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  // The item under a client point, or -1; `inCheck` tells whether the point is on its box.
  int ItemFromPoint(POINT point, bool& inCheck) const;
  void ToggleFrom(int index, bool applyToSelection);
  void InvalidateItem(int index);
  bool AllowsMultipleSelection() const;

  // The indices FitHorizontalExtent measures for items of these lengths.
  static std::vector<int> WidestCandidates(const std::vector<int>& lengths);

  // Under Wine, where the list's item array is reserved once more (see SetValues).
  static constexpr size_t kReserveAgainAt = 65536;

  // The items to measure, known while the items are those SetValues put in.
  std::vector<int> m_widest;
  bool m_widestKnown = false;
  // Inside a batch SetCheck only stores: invalidating item by item costs a call into
  // the window system per item, which a list of 100,000 values cannot afford.
  int m_batchDepth = 0;
};

}  // namespace winui
