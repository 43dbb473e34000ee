#include "winui/data_exchange.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <string>

#include "winui/control.h"
#include "winui/dialog.h"

namespace winui {
namespace {

std::string WindowText(HWND wnd) {
  int length = ::GetWindowTextLengthA(wnd);
  std::string text(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
  int copied = ::GetWindowTextA(wnd, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return text;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

HWND DataExchange::PrepareControl(int id) {
  m_lastControl = m_dialog.GetDlgItem(id);
  return m_lastControl;
}

void DataExchange::Fail(const char* text) {
  m_failed = true;
  m_dialog.MessageBox(text, m_dialog.MessageCaption().c_str(), MB_OK | MB_ICONEXCLAMATION);
  if (m_lastControl && ::IsWindow(m_lastControl)) {
    ::SetFocus(m_lastControl);
    char name[16] = {};
    ::GetClassNameA(m_lastControl, name, sizeof name);
    if (lstrcmpiA(name, "Edit") == 0) ::SendMessageA(m_lastControl, EM_SETSEL, 0, -1);
  }
}

std::optional<int> ParseWholeNumber(std::string_view text) {
  size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
  const size_t digitsStart = at;
  long long value = 0;
  while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
    value = value * 10 + (text[at] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) return std::nullopt;
    ++at;
  }
  if (at == digitsStart) return std::nullopt;
  while (at < text.size() && IsBlank(text[at])) ++at;
  if (at != text.size()) return std::nullopt;
  if (negative) value = -value;
  if (value > INT_MAX || value < INT_MIN) return std::nullopt;
  return static_cast<int>(value);
}

std::string RangeRefusalText(int min, int max) {
  return "Please enter a whole number from " + std::to_string(min) + " to " + std::to_string(max) + ".";
}

void DDX_Control(DataExchange& dx, int id, Control& control) {
  if (dx.Failed() || control.IsBound()) return;
  control.Bind(dx.PrepareControl(id));
}

void DDX_CBIndex(DataExchange& dx, int id, int& index) {
  if (dx.Failed()) return;
  HWND combo = dx.PrepareControl(id);
  if (dx.SaveAndValidate()) {
    index = static_cast<int>(::SendMessageA(combo, CB_GETCURSEL, 0, 0));
  } else {
    ::SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
}

void DDX_Text(DataExchange& dx, int id, int& value) {
  if (dx.Failed()) return;
  HWND edit = dx.PrepareControl(id);
  if (dx.SaveAndValidate()) {
    std::optional<int> parsed = ParseWholeNumber(WindowText(edit));
    if (!parsed) {
      dx.Fail(kNotWholeNumberText);
      return;
    }
    value = *parsed;
  } else {
    ::SetWindowTextA(edit, std::to_string(value).c_str());
  }
}

void DDV_MinMaxInt(DataExchange& dx, int value, int min, int max) {
  if (dx.Failed() || !dx.SaveAndValidate()) return;
  if (value < min || value > max) dx.Fail(RangeRefusalText(min, max).c_str());
}

void DDX_Radio(DataExchange& dx, int id, int& index) {
  if (dx.Failed()) return;
  HWND first = dx.PrepareControl(id);
  if (!first) return;
  if (dx.SaveAndValidate()) index = -1;
  // The group runs in template order from `id` to the next control that starts a group;
  // only its radio buttons count.
  int radio = 0;
  for (HWND wnd = first; wnd; wnd = ::GetWindow(wnd, GW_HWNDNEXT)) {
    if (wnd != first && (::GetWindowLongA(wnd, GWL_STYLE) & WS_GROUP)) break;
    if (!(::SendMessageA(wnd, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON)) continue;
    if (dx.SaveAndValidate()) {
      if (index == -1 && ::SendMessageA(wnd, BM_GETCHECK, 0, 0) == BST_CHECKED) index = radio;
    } else {
      ::SendMessageA(wnd, BM_SETCHECK, radio == index ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    ++radio;
  }
}

void DDX_Check(DataExchange& dx, int id, int& value) {
  if (dx.Failed()) return;
  HWND box = dx.PrepareControl(id);
  if (dx.SaveAndValidate()) {
    value = static_cast<int>(::SendMessageA(box, BM_GETCHECK, 0, 0));
  } else {
    ::SendMessageA(box, BM_SETCHECK, static_cast<WPARAM>(value), 0);
  }
}

}  // namespace winui
