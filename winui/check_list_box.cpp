#include "winui/check_list_box.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "winui/handles.h"

namespace winui {
namespace {

constexpr int kBoxMargin = 2;  // space left and right of the check box

}  // namespace

bool CheckListBox::Bind(HWND wnd) {
  if (IsBound()) return true;
  if (!Control::Bind(wnd)) return false;
  m_listProcW = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(wnd, GWLP_WNDPROC));
  Subclass();
  WindowDc dc(wnd);
  auto font = reinterpret_cast<HFONT>(Send(WM_GETFONT));
  TEXTMETRICA metrics{};
  {
    SelectedObject selected(dc.get(), font ? static_cast<HGDIOBJ>(font) : ::GetStockObject(SYSTEM_FONT));
    ::GetTextMetricsA(dc.get(), &metrics);
  }
  int height = std::max<int>(metrics.tmHeight, kCheckSize + 2);
  Send(LB_SETITEMHEIGHT, 0, MAKELPARAM(height, 0));
  return true;
}

int CheckListBox::GetCount() const {
  LRESULT count = Send(LB_GETCOUNT);
  return count > 0 ? static_cast<int>(count) : 0;
}

int CheckListBox::GetCheck(int index) const {
  LRESULT state = Send(LB_GETITEMDATA, static_cast<WPARAM>(index));
  return state == LB_ERR ? 0 : static_cast<int>(state);
}

void CheckListBox::SetCheck(int index, int state) {
  if (Send(LB_SETITEMDATA, static_cast<WPARAM>(index), state) == LB_ERR) return;
  NoteCheck(index, state);
  if (m_batchDepth == 0) InvalidateItem(index);
}

void CheckListBox::NoteCheck(WPARAM index, LPARAM state) {
  if (!m_checksKnown) return;
  if (index < m_checks.size() && state >= 0 && state <= UCHAR_MAX) {
    m_checks[index] = static_cast<unsigned char>(state);
  } else {
    // An index the list took for "every item", or a state the copy cannot hold.
    m_checksKnown = false;
    std::vector<unsigned char>().swap(m_checks);
  }
}

std::vector<int> CheckListBox::CheckedIndices() const {
  std::vector<int> checked;
  if (m_checksKnown) {
    for (size_t i = 0; i < m_checks.size(); ++i)
      if (m_checks[i] != 0) checked.push_back(static_cast<int>(i));
    return checked;
  }
  const int count = GetCount();
  for (int i = 0; i < count; ++i)
    if (GetCheck(i) != 0) checked.push_back(i);
  return checked;
}

std::string CheckListBox::GetText(int index) const {
  LRESULT length = Send(LB_GETTEXTLEN, static_cast<WPARAM>(index));
  if (length == LB_ERR || length < 0) return {};
  std::string text(static_cast<size_t>(length) + 1, '\0');
  LRESULT copied = Send(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}

void CheckListBox::FitHorizontalExtent() {
  if (!m_valuesKnown) {
    // Items that did not come from SetValues: their lengths are asked for one by one.
    const int count = GetCount();
    std::vector<int> lengths(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      LRESULT length = Send(LB_GETTEXTLEN, static_cast<WPARAM>(i));
      lengths[static_cast<size_t>(i)] = length > 0 ? static_cast<int>(length) : 0;
    }
    m_widest = WidestCandidates(lengths);
  }
  WindowDc dc(m_hWnd);
  SelectedObject font(dc.get(), reinterpret_cast<HGDIOBJ>(Send(WM_GETFONT)));
  int widest = 0;
  for (int index : m_widest) {
    const std::string text = GetText(index);
    SIZE size{};
    ::GetTextExtentPoint32A(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
    widest = std::max<int>(widest, size.cx);
  }
  // The check box, the gap before the text and a little room after it.
  Send(LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest > 0 ? widest + BoxColumnWidth() + 6 : 0));
}

std::vector<int> CheckListBox::WidestCandidates(const std::vector<int>& lengths) {
  constexpr size_t kMostMeasured = 2000;
  const int longest = lengths.empty() ? 0 : *std::max_element(lengths.begin(), lengths.end());
  std::vector<int> chosen;
  if (longest == 0) return chosen;
  for (size_t i = 0; i < lengths.size() && chosen.size() < kMostMeasured; ++i)
    if (lengths[i] * 2 >= longest) chosen.push_back(static_cast<int>(i));
  return chosen;
}

int CheckListBox::CheckSide(int rowHeight) { return std::max(kCheckSize, rowHeight - 2); }

int CheckListBox::BoxColumnWidth() const {
  const LRESULT height = Send(LB_GETITEMHEIGHT, 0);
  return CheckSide(height > 0 ? static_cast<int>(height) : 0) + 2 * kBoxMargin;
}

bool CheckListBox::AllowsMultipleSelection() const {
  return (::GetWindowLongA(m_hWnd, GWL_STYLE) & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) != 0;
}

void CheckListBox::InvalidateItem(int index) {
  RECT item{};
  if (Send(LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)) != LB_ERR) {
    ::InvalidateRect(m_hWnd, &item, FALSE);
  }
}

int CheckListBox::ItemFromPoint(POINT point, bool& inCheck) const {
  inCheck = false;
  RECT client{};
  ::GetClientRect(m_hWnd, &client);
  if (!::PtInRect(&client, point)) return -1;
  // Computed from the top index rather than LB_ITEMFROMPOINT, whose answer holds only
  // 16 bits of index.
  LRESULT height = Send(LB_GETITEMHEIGHT, 0);
  if (height <= 0) return -1;
  LRESULT top = Send(LB_GETTOPINDEX);
  long long index = static_cast<long long>(top) + point.y / height;
  if (index < 0 || index >= GetCount()) return -1;
  RECT item{};
  Send(LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  inCheck = point.x >= item.left && point.x < item.left + CheckSide(static_cast<int>(height)) + 2 * kBoxMargin;
  return static_cast<int>(index);
}

void CheckListBox::ToggleFrom(int index, bool applyToSelection) {
  const int newState = GetCheck(index) == 0 ? 1 : 0;
  if (applyToSelection && AllowsMultipleSelection() && Send(LB_GETSEL, static_cast<WPARAM>(index)) > 0) {
    LRESULT selected = Send(LB_GETSELCOUNT);
    if (selected > 0) {
      BatchUpdate batch(*this);
      std::vector<int> items(static_cast<size_t>(selected));
      LRESULT got = Send(LB_GETSELITEMS, items.size(), reinterpret_cast<LPARAM>(items.data()));
      for (LRESULT i = 0; i < got; ++i) SetCheck(items[static_cast<size_t>(i)], newState);
    }
  }
  SetCheck(index, newState);
}

LRESULT CheckListBox::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      bool inCheck = false;
      POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      int index = ItemFromPoint(point, inCheck);
      if (index >= 0 && inCheck) {
        // The click on a box changes the check, not the selection.
        if (::GetFocus() != m_hWnd) ::SetFocus(m_hWnd);
        Send(LB_SETCARETINDEX, static_cast<WPARAM>(index), FALSE);
        ToggleFrom(index, true);
        return 0;
      }
      break;
    }
    case WM_KEYDOWN:
      if (wParam == VK_SPACE) {
        LRESULT caret = Send(LB_GETCARETINDEX);
        if (caret >= 0 && caret < GetCount()) ToggleFrom(static_cast<int>(caret), true);
        return 0;
      }
      break;
    case WM_CHAR:
      if (wParam == ' ') return 0;  // not a search for items starting with a blank
      break;
    case LB_SETITEMDATA: {
      const LRESULT result = Default(msg, wParam, lParam);
      if (result != LB_ERR) NoteCheck(wParam, lParam);
      return result;
    }
    case LB_ADDSTRING:
    case LB_INSERTSTRING:
    case LB_DELETESTRING:
    case LB_RESETCONTENT:
    case LB_DIR:
    case LB_ADDFILE:
    case LB_SETCOUNT:
      // The items are no longer those SetValues put in.
      m_valuesKnown = false;
      m_checksKnown = false;
      std::vector<unsigned char>().swap(m_checks);
      break;
    default:
      break;
  }
  return Default(msg, wParam, lParam);
}

void CheckListBox::SetValues(const std::vector<std::string>& values) {
  // A library can hold a million values: no repainting per item, and the messages go
  // straight to the list's own procedure.
  Send(WM_SETREDRAW, FALSE);
  m_valuesKnown = false;
  m_checksKnown = false;
  std::vector<unsigned char>().swap(m_checks);
  Send(LB_RESETCONTENT);
  std::vector<int> lengths(values.size());
  if (!values.empty()) {
    size_t bytes = 0;
    for (const std::string& value : values) bytes += value.size() + 1;
    Send(LB_INITSTORAGE, values.size(), bytes);
  }
  // A text of plain ASCII, the same in every ANSI code page, goes in wide: the list then
  // keeps it as it comes, where an ANSI text is first converted into a block of its own
  // (a quarter of the filling time under Wine). Any other text goes as it is.
  const bool wideWay = IsSubclassed() && m_listProcW != nullptr;
  std::vector<wchar_t> wide;
  for (size_t i = 0; i < values.size(); ++i) {
    const char* text = values[i].c_str();
    // The list holds the text up to its first NUL.
    const size_t length = std::strlen(text);
    bool ascii = wideWay;
    for (size_t k = 0; ascii && k < length; ++k) ascii = static_cast<unsigned char>(text[k]) < 0x80;
    if (ascii) {
      wide.assign(text, text + length + 1);
      ::CallWindowProcW(m_listProcW, m_hWnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.data()));
    } else {
      Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    lengths[i] = static_cast<int>(std::min<size_t>(length, INT_MAX / 2));
    // Wine's list box shrinks its item array to the items it holds at the first insert
    // after LB_INITSTORAGE and then grows it 16 items at a time; every step past the
    // end of the heap block moves the whole array, so a million items took seconds,
    // growing with the square of the count. Once the array is a large heap block, its
    // shrink keeps the block, so the reservation made here lasts to the last item.
    if (i + 1 == kReserveAgainAt && values.size() > kReserveAgainAt)
      Send(LB_INITSTORAGE, values.size() - kReserveAgainAt, 0);
  }
  m_widest = WidestCandidates(lengths);
  m_valuesKnown = true;
  m_checks.assign(values.size(), 0);
  m_checksKnown = true;
  Send(WM_SETREDRAW, TRUE);
  ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

bool CheckListBox::DrawItem(const DRAWITEMSTRUCT& item) {
  if (item.CtlType != ODT_LISTBOX || item.hwndItem != m_hWnd) return false;
  HDC dc = item.hDC;
  RECT rect = item.rcItem;
  if (static_cast<int>(item.itemID) < 0) {  // empty list with the focus: only the focus
    if (item.itemState & ODS_FOCUS) ::DrawFocusRect(dc, &rect);
    return true;
  }
  const int index = static_cast<int>(item.itemID);
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;

  const int side = CheckSide(rect.bottom - rect.top);
  RECT box = rect;
  box.right = box.left + side + 2 * kBoxMargin;
  ::FillRect(dc, &box, ::GetSysColorBrush(COLOR_WINDOW));
  RECT check{box.left + kBoxMargin, rect.top + (rect.bottom - rect.top - side) / 2, 0, 0};
  check.right = check.left + side;
  check.bottom = check.top + side;
  UINT state = DFCS_BUTTONCHECK;
  const int checked = static_cast<int>(item.itemData);
  if (checked == 1) state |= DFCS_CHECKED;
  if (checked == 2) state = DFCS_BUTTON3STATE | DFCS_CHECKED;
  if (disabled) state |= DFCS_INACTIVE;
  ::DrawFrameControl(dc, &check, DFC_BUTTON, state);

  RECT textRect = rect;
  textRect.left = box.right;
  ::FillRect(dc, &textRect, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  std::string text = GetText(index);
  COLORREF oldText = ::SetTextColor(
      dc, ::GetSysColor(disabled ? COLOR_GRAYTEXT : selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  int oldMode = ::SetBkMode(dc, TRANSPARENT);
  RECT inner = textRect;
  inner.left += 2;
  ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &inner,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_LEFT);
  ::SetBkMode(dc, oldMode);
  ::SetTextColor(dc, oldText);
  if (item.itemState & ODS_FOCUS) ::DrawFocusRect(dc, &textRect);
  return true;
}

CheckListBox::BatchUpdate::BatchUpdate(CheckListBox& list) : m_list(list) {
  if (m_list.m_batchDepth++ == 0 && m_list.m_hWnd) m_list.Send(WM_SETREDRAW, FALSE);
}

CheckListBox::BatchUpdate::~BatchUpdate() {
  if (--m_list.m_batchDepth > 0 || !m_list.m_hWnd || !::IsWindow(m_list.m_hWnd)) return;
  m_list.Send(WM_SETREDRAW, TRUE);
  ::InvalidateRect(m_list.m_hWnd, nullptr, FALSE);
}

}  // namespace winui
