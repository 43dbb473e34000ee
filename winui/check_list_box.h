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
  // True while the items are those the last SetValues put in, in its order.
  bool HoldsSetValues() const { return m_valuesKnown; }
  // The indices of the items whose check state is not 0, ascending. Read from the
  // states this object gave them, without a message per item, unless a message from
  // elsewhere changed the items or their data in a way it could not follow.
  std::vector<int> CheckedIndices() const;

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

  static constexpr int kCheckSize = 13;  // the classic check box, in pixels, at 96 dpi
  // The side of the check box drawn in a row of this height: the row less a pixel above
  // and below, so that on a screen of more dots per inch, where the font and with it
  // the rows grow, the box grows too (never below the classic size).
  static int CheckSide(int rowHeight);

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  // The item under a client point, or -1; `inCheck` tells whether the point is on its box.
  int ItemFromPoint(POINT point, bool& inCheck) const;
  void ToggleFrom(int index, bool applyToSelection);
  void NoteCheck(WPARAM index, LPARAM state);
  void InvalidateItem(int index);
  bool AllowsMultipleSelection() const;
  // The width of the box column in front of the texts, margins included.
  int BoxColumnWidth() const;

  // The indices FitHorizontalExtent measures for items of these lengths.
  static std::vector<int> WidestCandidates(const std::vector<int>& lengths);

  // The list's own procedure as the wide functions call it, taken before our subclass.
  WNDPROC m_listProcW = nullptr;

  // Under Wine, where the list's item array is reserved once more (see SetValues).
  static constexpr size_t kReserveAgainAt = 65536;

  // The items to measure, known while the items are those SetValues put in.
  std::vector<int> m_widest;
  bool m_valuesKnown = false;
  // Every item's check state as SetCheck and LB_SETITEMDATA left it, while m_checksKnown:
  // a million items cannot be asked for their states one message at a time.
  std::vector<unsigned char> m_checks;
  bool m_checksKnown = false;
  // Inside a batch SetCheck only stores: invalidating item by item costs a call into
  // the window system per item, which a list of 100,000 values cannot afford.
  int m_batchDepth = 0;
};

}  // namespace winui
