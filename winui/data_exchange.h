#pragma once
// Dialog data exchange: one DoDataExchange per dialog runs the same list of exchanges
// in both directions. Saving stops at the first refused value: the user is told why,
// the focus goes back to the control, and every later exchange does nothing.

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace winui {

class Control;
class Dialog;

class DataExchange {
 public:
  DataExchange(Dialog& dialog, bool saveAndValidate) : m_dialog(dialog), m_saveAndValidate(saveAndValidate) {}

  bool SaveAndValidate() const { return m_saveAndValidate; }
  bool Failed() const { return m_failed; }
  Dialog& GetDialog() const { return m_dialog; }

  // The control about to be exchanged (a later refusal puts the focus back on it).
  HWND PrepareControl(int id);
  // Shows `text` (owned by the dialog), focuses the prepared control (an edit box gets
  // its text selected) and marks the exchange failed.
  void Fail(const char* text);

 private:
  Dialog& m_dialog;
  bool m_saveAndValidate;
  bool m_failed = false;
  HWND m_lastControl = nullptr;
};

// A whole number as typed: optional blanks, an optional sign, decimal digits, optional
// blanks; nothing when it is anything else or does not fit an int.
std::optional<int> ParseWholeNumber(std::string_view text);

constexpr const char* kNotWholeNumberText = "Please enter a whole number.";
// "Please enter a whole number from <min> to <max>."
std::string RangeRefusalText(int min, int max);

// Binds `control` to the dialog's control `id` (the first time only).
void DDX_Control(DataExchange& dx, int id, Control& control);
// The selected entry of a combo box (-1: none).
void DDX_CBIndex(DataExchange& dx, int id, int& index);
// An int as decimal text. Saving refuses a text that is not a whole number; `value`
// then keeps what it held.
void DDX_Text(DataExchange& dx, int id, int& value);
// Inclusive range check of the value just saved; does nothing when loading.
void DDV_MinMaxInt(DataExchange& dx, int value, int min, int max);
// The index of the radio button that is on within the group that starts at `id`
// (-1: none on).
void DDX_Radio(DataExchange& dx, int id, int& index);
// A check box: 0 off, 1 on, 2 indeterminate.
void DDX_Check(DataExchange& dx, int id, int& value);

}  // namespace winui
