// The condition columns: kind changes, All, None and Reverse, and the check-list's own
// mouse and keyboard handling.

#include <algorithm>

#include "resources/resource.h"
#include "tests/support/dialog_test_support.h"

namespace dialog_test {
namespace {

struct Column {
  int kind;
  int list;
  int all;
  int none;
  int reverse;
};
constexpr Column kColumns[] = {
    {IDC_KIND1, IDC_LIST1, IDC_ALL1, IDC_NONE1, IDC_REVERSE1},
    {IDC_KIND2, IDC_LIST2, IDC_ALL2, IDC_NONE2, IDC_REVERSE2},
    {IDC_KIND3, IDC_LIST3, IDC_ALL3, IDC_NONE3, IDC_REVERSE3},
    {IDC_KIND4, IDC_LIST4, IDC_ALL4, IDC_NONE4, IDC_REVERSE4},
};

std::vector<int> Pattern(size_t count) {
  std::vector<int> pattern;
  for (size_t i = 0; i < count; ++i) pattern.push_back(i % 3 == 0 ? 1 : 0);
  return pattern;
}

std::vector<int> Reversed(std::vector<int> checks) {
  for (int& c : checks) c = c == 0 ? 1 : 0;
  return checks;
}

TEST_F(SelectSongsTest, KindChangeRefillsOnlyItsColumnAndDropsItsChecks) {
  ASSERT_TRUE(OpenDialog());
  std::vector<std::vector<std::string>> valuesOfKind;
  for (const Column& column : kColumns) valuesOfKind.push_back(ListTexts(column.list));
  for (int changed = 0; changed < 4; ++changed) {
    SCOPED_TRACE("column " + std::to_string(changed + 1));
    const Column& column = kColumns[changed];
    for (const Column& c : kColumns) Click(c.all);
    std::vector<std::vector<int>> before;
    for (const Column& c : kColumns) before.push_back(ListChecks(c.list));
    const int newKind = (changed + 1) % 4;
    ChooseKind(column.kind, newKind);
    EXPECT_EQ(ListTexts(column.list), valuesOfKind[newKind]);
    EXPECT_EQ(ListChecks(column.list), std::vector<int>(valuesOfKind[newKind].size(), 0));
    for (int c = 0; c < 4; ++c) {
      if (c == changed) continue;
      EXPECT_EQ(ListChecks(kColumns[c].list), before[c]) << "column " << c + 1;
    }
  }
  // Two columns showing the same kind keep independent checks.
  ChooseKind(IDC_KIND2, 0);
  ChooseKind(IDC_KIND1, 0);
  ASSERT_EQ(ListTexts(IDC_LIST1), ListTexts(IDC_LIST2));
  Click(IDC_NONE1);
  Click(IDC_ALL2);
  EXPECT_EQ(ListChecks(IDC_LIST1), std::vector<int>(valuesOfKind[0].size(), 0));
  EXPECT_EQ(ListChecks(IDC_LIST2), std::vector<int>(valuesOfKind[0].size(), 1));
}

// The scroll extent comes from the lengths the column was filled with, no longer from
// asking the list for each item's: it must still reach past every value's text.
TEST_F(SelectSongsTest, HorizontalExtentReachesPastEveryValue) {
  ASSERT_TRUE(OpenDialog());
  for (const Column& column : kColumns) {
    SCOPED_TRACE("list " + std::to_string(column.list));
    const HWND list = Item(column.list);
    const auto extent = static_cast<int>(::SendMessageA(list, LB_GETHORIZONTALEXTENT, 0, 0));
    HDC dc = ::GetDC(list);
    const HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(list, WM_GETFONT, 0, 0)));
    int widest = 0;
    for (const std::string& text : ListTexts(column.list)) {
      SIZE size{};
      ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
      widest = std::max<int>(widest, size.cx);
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(list, dc);
    ASSERT_GT(widest, 0);
    EXPECT_GE(extent, widest + 13);  // the check box stands before the text
  }
}

TEST_F(SelectSongsTest, ChoosingTheSameKindKeepsTheChecksAndChangingBackLosesThem) {
  ASSERT_TRUE(OpenDialog());
  ClickCheckBox(IDC_LIST1, 2);
  const std::vector<int> checked = ListChecks(IDC_LIST1);
  ASSERT_EQ(checked[2], 1);
  ChooseKind(IDC_KIND1, 0);
  EXPECT_EQ(ListChecks(IDC_LIST1), checked);
  ChooseKind(IDC_KIND1, 1);
  ChooseKind(IDC_KIND1, 0);
  EXPECT_EQ(ListChecks(IDC_LIST1), std::vector<int>(checked.size(), 0));
}

TEST_F(SelectSongsTest, KindChangeWithRefusedMinutesStillRefills) {
  ASSERT_TRUE(OpenDialog());
  SetMinutes("2");
  PostChooseKind(IDC_KIND3, 3);
  MessageBoxView box = WaitForMessageBox();
  EXPECT_EQ(box.text, "Please enter a whole number from 5 to 3600.");
  Answer(box, IDOK);
  EXPECT_EQ(ListTexts(IDC_LIST3), ListTexts(IDC_LIST4));
  EXPECT_EQ(FocusWindow(), Item(IDC_MINUTES));
}

TEST_F(SelectSongsTest, AllNoneAndReverseActOnEveryItemAndKeepTheSelection) {
  ASSERT_TRUE(OpenDialog());
  for (const Column& column : kColumns) {
    SCOPED_TRACE("list " + std::to_string(column.list));
    HWND list = Item(column.list);
    const size_t count = ListTexts(column.list).size();
    ASSERT_GE(count, 4u);
    ::SendMessageA(list, LB_SETSEL, TRUE, 1);
    ::SendMessageA(list, LB_SETSEL, TRUE, 2);
    Click(column.all);
    EXPECT_EQ(ListChecks(column.list), std::vector<int>(count, 1));
    Click(column.none);
    EXPECT_EQ(ListChecks(column.list), std::vector<int>(count, 0));
    // A starting pattern made through the item data, which holds the check state.
    const std::vector<int> start = Pattern(count);
    for (size_t i = 0; i < count; ++i) ::SendMessageA(list, LB_SETITEMDATA, i, start[i]);
    Click(column.reverse);
    EXPECT_EQ(ListChecks(column.list), Reversed(start));
    Click(column.reverse);
    EXPECT_EQ(ListChecks(column.list), start);
    EXPECT_EQ(::SendMessageA(list, LB_GETSELCOUNT, 0, 0), 2);
    EXPECT_GT(::SendMessageA(list, LB_GETSEL, 1, 0), 0);
    EXPECT_GT(::SendMessageA(list, LB_GETSEL, 2, 0), 0);
  }
}

TEST_F(SelectSongsTest, ColumnButtonsOnEmptyListsDoNothing) {
  TearDown();
  StartHost({});
  ASSERT_TRUE(OpenDialog());
  for (const Column& column : kColumns) {
    EXPECT_TRUE(ListTexts(column.list).empty());
    Click(column.all);
    Click(column.reverse);
    Click(column.none);
    EXPECT_TRUE(ListTexts(column.list).empty());
  }
  Settle();
  EXPECT_TRUE(::IsWindow(m_dialog));
  EXPECT_EQ(m_host->WaitForWindow(kBoxCaption, 0, "#32770"), nullptr);
}

TEST_F(SelectSongsTest, CheckBoxesToggleByMouseAndSpaceBar) {
  ASSERT_TRUE(OpenDialog());
  HWND list = Item(IDC_LIST2);
  const size_t count = ListTexts(IDC_LIST2).size();
  ClickCheckBox(IDC_LIST2, 1);
  EXPECT_EQ(ListChecks(IDC_LIST2)[1], 1);
  EXPECT_EQ(::SendMessageA(list, LB_GETSELCOUNT, 0, 0), 0) << "a click on the box selects nothing";
  ClickCheckBox(IDC_LIST2, 1);
  EXPECT_EQ(ListChecks(IDC_LIST2)[1], 0);

  // A click on the text selects and leaves the check alone.
  RECT item{};
  ::SendMessageA(list, LB_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&item));
  const LPARAM onText = MAKELPARAM(item.left + 60, (item.top + item.bottom) / 2);
  ::PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, onText);
  ::PostMessageA(list, WM_LBUTTONUP, 0, onText);
  Settle();
  EXPECT_EQ(ListChecks(IDC_LIST2), std::vector<int>(count, 0));
  EXPECT_GT(::SendMessageA(list, LB_GETSEL, 3, 0), 0);

  // The space bar toggles the selected items together.
  ::SendMessageA(list, LB_SETSEL, TRUE, 4);
  ::SendMessageA(list, LB_SETCARETINDEX, 4, FALSE);
  ::PostMessageA(list, WM_KEYDOWN, VK_SPACE, 0);
  ::PostMessageA(list, WM_CHAR, ' ', 0);
  ::PostMessageA(list, WM_KEYUP, VK_SPACE, 0);
  Settle();
  std::vector<int> expected(count, 0);
  expected[3] = expected[4] = 1;
  EXPECT_EQ(ListChecks(IDC_LIST2), expected);
  EXPECT_EQ(::SendMessageA(list, LB_GETSELCOUNT, 0, 0), 2);
  ::PostMessageA(list, WM_KEYDOWN, VK_SPACE, 0);
  Settle();
  EXPECT_EQ(ListChecks(IDC_LIST2), std::vector<int>(count, 0));
}

// How many pixel rows of the first item's box column (as wide as the classic box and
// its margins) the list paints in anything but the window colour.
int PaintedBoxHeight(HWND list, int rowHeight) {
  constexpr int kColumn = 13 + 4;
  HDC screen = ::GetDC(nullptr);
  HDC dc = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, kColumn, rowHeight);
  ::ReleaseDC(nullptr, screen);
  HGDIOBJ old = ::SelectObject(dc, bitmap);
  ::SendMessageA(list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  const COLORREF window = ::GetNearestColor(dc, ::GetSysColor(COLOR_WINDOW));
  int first = -1, last = -1;
  for (int y = 0; y < rowHeight; ++y)
    for (int x = 0; x < kColumn; ++x)
      if (::GetPixel(dc, x, y) != window) {
        if (first < 0) first = y;
        last = y;
        break;
      }
  ::SelectObject(dc, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(dc);
  return first < 0 ? 0 : last - first + 1;
}

TEST_F(SelectSongsTest, CheckBoxesGrowWithTheirRows) {
  // On a screen of 144 dots per inch the rows grow with the font; a box of a fixed 13
  // pixels stayed small in them, and so did the place a click ticks it.
  ASSERT_TRUE(OpenDialog());
  HWND list = Item(IDC_LIST2);
  for (int row : {15, 22, 30}) {
    SCOPED_TRACE("rows of " + std::to_string(row) + " pixels");
    ::SendMessageA(list, LB_SETITEMHEIGHT, 0, row);
    ::SendMessageA(list, LB_SETTOPINDEX, 0, 0);
    const int height = PaintedBoxHeight(list, row);
    EXPECT_GE(height, row - 4);
    EXPECT_LE(height, row);
    const LPARAM nearRightEdge = MAKELPARAM(row - 4, row / 2);
    ::PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, nearRightEdge);
    ::PostMessageA(list, WM_LBUTTONUP, 0, nearRightEdge);
    Settle();
    EXPECT_EQ(ListChecks(IDC_LIST2)[0], 1) << "a click inside the box, near its right edge";
    Click(IDC_NONE2);
  }
}

TEST_F(SelectSongsTest, CheckBoxClicksReachItemsPastIndex65535) {
  TearDown();
  std::vector<Song> many;
  many.reserve(70000);
  for (int i = 0; i < 70000; ++i) {
    const std::string n = std::to_string(i);
    many.push_back({"C:\\m\\" + n + ".mp3", "Title " + n, "Album", "Artist", "Genre", 100});
  }
  StartHost(many);
  ASSERT_TRUE(OpenDialog());
  // A hit test that keeps only 16 bits of the index would toggle item 69999 - 65536.
  ASSERT_EQ(::SendMessageA(Item(IDC_LIST2), LB_GETCOUNT, 0, 0), 70000);
  Click(IDC_ALL2);
  Click(IDC_REVERSE2);
  ClickCheckBox(IDC_LIST2, 69999);
  HWND list = Item(IDC_LIST2);
  EXPECT_EQ(::SendMessageA(list, LB_GETITEMDATA, 69999, 0), 1);
  EXPECT_EQ(::SendMessageA(list, LB_GETITEMDATA, 69999 - 65536, 0), 0);
  EXPECT_EQ(::SendMessageA(list, LB_GETITEMDATA, 0, 0), 0);
}

}  // namespace
}  // namespace dialog_test
